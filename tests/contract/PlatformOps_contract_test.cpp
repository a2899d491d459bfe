// What the program's logic relies on from each platform operation. The same
// suite runs against the fake on the host and against Win32 under Wine, so
// the fake cannot drift from the real API.
#include <gtest/gtest.h>

#ifdef _WIN32
#include <windows.h>
// After windows.h:
#include <aclapi.h>
#endif

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>

#include "tests/contract/ContractWorld.h"

namespace {

class PlatformContract : public testing::Test {
 protected:
  std::unique_ptr<ContractWorld> world = MakeContractWorld();
  PlatformOps& ops = world->Ops();
  const std::string root = world->Root();
};

TEST_F(PlatformContract, WindowsDirectoryHasNoTrailingBackslash) {
  char dir[kPathBufferSize];
  const unsigned length = ops.GetWindowsDir(dir, sizeof dir);
  ASSERT_GT(length, 0u);
  ASSERT_LT(length, sizeof dir);
  EXPECT_EQ(length, std::strlen(dir));
  EXPECT_NE('\\', dir[length - 1]);

  char small[3];
  EXPECT_GT(ops.GetWindowsDir(small, sizeof small), sizeof small - 1)
      << "a buffer too small must be told apart from success";
}

TEST_F(PlatformContract, RegistryValueComesBackWithTypeAndSize) {
  const std::string dir = std::string("C:\\Lumora") + '\0';
  world->SetRegistryValue("InstallDir", reg_type::kString, dir);
  unsigned char buffer[kPathBufferSize];
  unsigned long size = sizeof buffer;
  unsigned long type = 0;
  ASSERT_EQ(0, ops.ReadRegistryValue(world->RegistryKey().c_str(), "InstallDir",
                                     buffer, &size, &type));
  EXPECT_EQ(reg_type::kString, type);
  EXPECT_EQ(dir.size(), size);
  EXPECT_EQ(dir, std::string(reinterpret_cast<char*>(buffer), size));
}

TEST_F(PlatformContract, RegistryBinaryValueIsNotTerminatedForUs) {
  world->SetRegistryValue("InstallDir", reg_type::kBinary, "C:\\Lu");
  unsigned char buffer[kPathBufferSize];
  std::memset(buffer, 'z', sizeof buffer);
  unsigned long size = sizeof buffer;
  unsigned long type = 0;
  ASSERT_EQ(0, ops.ReadRegistryValue(world->RegistryKey().c_str(), "InstallDir",
                                     buffer, &size, &type));
  EXPECT_EQ(reg_type::kBinary, type);
  EXPECT_EQ(5u, size);
  EXPECT_EQ('z', buffer[5]);
}

TEST_F(PlatformContract, RegistryValueTooLargeForTheBufferFails) {
  world->SetRegistryValue("InstallDir", reg_type::kString,
                          std::string(300, 'd') + '\0');
  unsigned char buffer[kPathBufferSize];
  unsigned long size = sizeof buffer;
  unsigned long type = 0;
  EXPECT_EQ(static_cast<long>(os_error::kMoreData),
            ops.ReadRegistryValue(world->RegistryKey().c_str(), "InstallDir",
                                  buffer, &size, &type));
}

TEST_F(PlatformContract, MissingRegistryKeyOrValueFails) {
  unsigned char buffer[kPathBufferSize];
  unsigned long size = sizeof buffer;
  unsigned long type = 0;
  EXPECT_NE(0, ops.ReadRegistryValue("SOFTWARE\\VRPNoSuchKey", "InstallDir",
                                     buffer, &size, &type));
  world->SetRegistryValue("Other", reg_type::kString, std::string("x") + '\0');
  size = sizeof buffer;
  EXPECT_NE(0, ops.ReadRegistryValue(world->RegistryKey().c_str(), "InstallDir",
                                     buffer, &size, &type));
}

TEST_F(PlatformContract, VersionStringOfTheFirstTranslation) {
  const std::string path = root + "\\probe.ds";
  world->InstallProbe(path, kTwain9);
  const unsigned long size = ops.GetVersionInfoSize(path.c_str());
  ASSERT_GT(size, 0u);
  void* block = ops.AllocateZeroed(size);
  ASSERT_NE(nullptr, block);
  ASSERT_NE(0, ops.GetVersionInfo(path.c_str(), size, block));

  const void* data = nullptr;
  unsigned length = 0;
  ASSERT_NE(0, ops.QueryVersionValue(block, "\\VarFileInfo\\Translation", &data,
                                     &length));
  ASSERT_GE(length, 4u);
  std::uint16_t language = 0;
  std::uint16_t codePage = 0;
  std::memcpy(&language, data, 2);
  std::memcpy(&codePage, static_cast<const char*>(data) + 2, 2);
  EXPECT_EQ(0x0409, language);
  EXPECT_EQ(0x04B0, codePage);

  // The resource names its block "040904B0"; the query is in lower case.
  ASSERT_NE(
      0, ops.QueryVersionValue(block, "\\StringFileInfo\\040904b0\\FileVersion",
                               &data, &length));
  EXPECT_EQ(kTwain9.fileVersion,
            std::string(static_cast<const char*>(data),
                        strnlen(static_cast<const char*>(data), length)));
  EXPECT_EQ(
      0, ops.QueryVersionValue(block, "\\StringFileInfo\\040904b0\\NoSuchValue",
                               &data, &length));
  ops.FreeBlock(block);
}

TEST_F(PlatformContract, FileWithoutVersionResourceHasNoVersionBlock) {
  world->WriteTextFile(root + "\\plain.exe", "not a program");
  EXPECT_EQ(0u, ops.GetVersionInfoSize((root + "\\plain.exe").c_str()));
  EXPECT_EQ(0u, ops.GetVersionInfoSize((root + "\\missing.exe").c_str()));
}

TEST_F(PlatformContract, IniIntegerDefaultsToZero) {
  const std::string path = root + "\\UnitPrefs.ini";
  EXPECT_EQ(0, ops.ReadIniInt("Special", "EnableVeloRidePass", path.c_str()));
  world->WriteTextFile(path,
                       "[Special]\r\nOne=1\r\nTwo=2\r\nWord=abc\r\n"
                       "Spaced =  1  \r\n[Other]\r\nEnableVeloRidePass=1\r\n");
  const struct {
    const char* section;
    const char* key;
    int value;
  } cases[] = {{"Special", "One", 1},    {"special", "ONE", 1},
               {"Special", "Two", 2},    {"Special", "Word", 0},
               {"Special", "Spaced", 1}, {"Special", "Missing", 0},
               {"Missing", "One", 0},    {"Special", "EnableVeloRidePass", 0}};
  for (const auto& c : cases) {
    EXPECT_EQ(c.value, ops.ReadIniInt(c.section, c.key, path.c_str()))
        << c.section << '/' << c.key;
  }
}

TEST_F(PlatformContract, IniWriteCreatesTheFileInAnExistingDirectory) {
  const std::string path = root + "\\UnitPrefs.ini";
  ASSERT_NE(0, ops.WriteIniString("Special", "EnableVeloRidePass", "1",
                                  path.c_str()));
  EXPECT_EQ(1, ops.ReadIniInt("Special", "EnableVeloRidePass", path.c_str()));
  ASSERT_NE(0, ops.WriteIniString("Special", "EnableVeloRidePass", "0",
                                  path.c_str()));
  EXPECT_EQ(0, ops.ReadIniInt("Special", "EnableVeloRidePass", path.c_str()));
  EXPECT_TRUE(world->ReadTextFile(path).has_value());
}

TEST_F(PlatformContract, IniWriteKeepsTheRestOfTheFile) {
  const std::string path = root + "\\UnitPrefs.ini";
  world->WriteTextFile(path,
                       "; scanner preferences\r\n[General]\r\nDpi=300\r\n"
                       "[Special]\r\nEnableVeloRidePass=1\r\nOther=7\r\n"
                       "[Tail]\r\nLast=5\r\n");
  ASSERT_NE(0, ops.WriteIniString("Special", "EnableVeloRidePass", "0",
                                  path.c_str()));
  ASSERT_NE(0, ops.WriteIniString("Added", "Key", "9", path.c_str()));
  EXPECT_EQ(0, ops.ReadIniInt("Special", "EnableVeloRidePass", path.c_str()));
  EXPECT_EQ(300, ops.ReadIniInt("General", "Dpi", path.c_str()));
  EXPECT_EQ(7, ops.ReadIniInt("Special", "Other", path.c_str()));
  EXPECT_EQ(5, ops.ReadIniInt("Tail", "Last", path.c_str()));
  EXPECT_EQ(9, ops.ReadIniInt("Added", "Key", path.c_str()));
  const auto text = world->ReadTextFile(path);
  ASSERT_TRUE(text.has_value());
  EXPECT_NE(std::string::npos, text->find("; scanner preferences"));
}

TEST_F(PlatformContract, IniWriteIntoAMissingDirectoryFails) {
  const std::string path = root + "\\missing\\UnitPrefs.ini";
  EXPECT_EQ(0, ops.WriteIniString("Special", "EnableVeloRidePass", "1",
                                  path.c_str()));
  EXPECT_FALSE(world->ReadTextFile(path).has_value());
}

TEST_F(PlatformContract, IniStringIsReadAsOnDisk) {
  const std::string path = root + "\\UnitPrefs.ini";
  std::string value = "stale";
  ASSERT_NE(0, ops.ReadIniString("Special", "EnableVeloRidePass", path.c_str(),
                                 &value));
  EXPECT_EQ("", value);
  EXPECT_FALSE(world->ReadTextFile(path).has_value())
      << "reading a missing file does not create it";

  world->WriteTextFile(path,
                       "; head\r\n[General]\r\nDpi = 300\r\n\r\n"
                       "[Special]\r\n; note\r\nEnableVeloRidePass = 1 \r\n");
  ASSERT_NE(0, ops.ReadIniString("special", "enableveloridepass", path.c_str(),
                                 &value));
  EXPECT_EQ("1", value);
  ASSERT_NE(0, ops.ReadIniString("Special", "Missing", path.c_str(), &value));
  EXPECT_EQ("", value);

  // What another program leaves on disk is what the next read sees.
  ASSERT_NE(0, ops.WriteIniString("Special", "EnableVeloRidePass", "0",
                                  path.c_str()));
  world->WriteTextFile(path, "[Special]\r\nEnableVeloRidePass=7\r\n");
  ASSERT_NE(0, ops.ReadIniString("Special", "EnableVeloRidePass", path.c_str(),
                                 &value));
  EXPECT_EQ("7", value);
}

// A folder a user may change is opened however its path is spelled, but
// never through a link; a file in it only relative to its handle. A file
// to be rewritten keeps other writers out, and has one name alone.
TEST_F(PlatformContract, FilesInUsersFoldersAreReachedThroughHandlesAlone) {
  OsHandle folder = nullptr;
  std::string slashed = root;
  std::replace(slashed.begin(), slashed.end(), '\\', '/');
  for (const std::string& spelling : {root + "\\", slashed, root + "\\x\\.."}) {
    ASSERT_EQ(OpenOutcome::kOpened, ops.OpenFolder(spelling.c_str(), &folder))
        << spelling;
    ops.CloseOsHandle(folder);
  }
  EXPECT_EQ(OpenOutcome::kMissing,
            ops.OpenFolder((root + "\\missing").c_str(), &folder));
  world->MakeDirectory(root + "\\target");
  world->LinkFolder(root + "\\linked", root + "\\target");
  EXPECT_EQ(OpenOutcome::kLeadsElsewhere,
            ops.OpenFolder((root + "\\linked").c_str(), &folder));

  world->HoldFolderForDeleting(root);
  ASSERT_EQ(OpenOutcome::kOpened, ops.OpenFolder(root.c_str(), &folder))
      << "a user's handle with delete access stops no run";
  OsHandle file = nullptr;
  OsHandle other = nullptr;
  int created = 0;
  auto open = [&](const char* name, FileUse use, OsHandle* opened) {
    return ops.OpenFileIn(folder, name, use, opened, &created);
  };
  EXPECT_EQ(OpenOutcome::kMissing,
            open("UnitPrefs.ini", FileUse::kRead, &file));
  ASSERT_EQ(OpenOutcome::kOpened,
            open("UnitPrefs.ini", FileUse::kRewrite, &file));
  EXPECT_EQ(1, created);
  const std::string binary("[A]\nx=1\n\0binary", 16);
  ASSERT_NE(0, ops.RewriteOpenedFile(file, std::string(5000, 'z')));
  ASSERT_NE(0, ops.RewriteOpenedFile(file, binary));
  std::string bytes;
  ASSERT_NE(0, ops.ReadOpenedFile(file, binary.size(), &bytes));
  EXPECT_EQ(binary, bytes) << "a longer file shrinks";
  EXPECT_EQ(0, ops.ReadOpenedFile(file, binary.size() - 1, &bytes));
  EXPECT_EQ(OpenOutcome::kInUse,
            open("UnitPrefs.ini", FileUse::kRewrite, &other));
  ASSERT_EQ(OpenOutcome::kOpened, open("UNITPREFS.INI", FileUse::kRead, &other))
      << "a reader gets in";
  ops.CloseOsHandle(other);
  ops.CloseOsHandle(file);
  EXPECT_EQ(binary, world->ReadTextFile(root + "\\UnitPrefs.ini"));

  world->LinkFile(root + "\\UnitPrefs.ini", root + "\\Alias.ini");
  EXPECT_EQ(OpenOutcome::kLeadsElsewhere,
            open("UnitPrefs.ini", FileUse::kRewrite, &file));
  ASSERT_EQ(OpenOutcome::kOpened, open("Alias.ini", FileUse::kRead, &file));
  ops.CloseOsHandle(file);
  ASSERT_EQ(OpenOutcome::kOpened, open("Other.ini", FileUse::kRewrite, &file));
  ASSERT_NE(0, ops.DeleteOpenedFile(file));
  ops.CloseOsHandle(file);
  ops.CloseOsHandle(folder);
  EXPECT_FALSE(world->ReadTextFile(root + "\\Other.ini").has_value());
}

// A folder below an opened one, as a user's VirtualStore folder is reached
// from the profile folder: one plain component after another, none a
// link; its final path the same however the opened folder was spelled.
TEST_F(PlatformContract, FoldersBelowAnOpenedFolderFollowNoLink) {
  world->MakeDirectory(root + "\\a\\b");
  world->MakeDirectory(root + "\\target");
  world->LinkFolder(root + "\\a\\linked", root + "\\target");
  std::string slashed = root;
  std::replace(slashed.begin(), slashed.end(), '\\', '/');
  std::string expected;
  for (const std::string& spelling : {root, slashed, root + "\\x\\.."}) {
    OsHandle base = nullptr;
    ASSERT_EQ(OpenOutcome::kOpened, ops.OpenFolder(spelling.c_str(), &base));
    std::string final;
    ASSERT_NE(0, ops.FolderFinalPath(base, &final));
    if (expected.empty()) expected = final;
    EXPECT_EQ(expected, final) << spelling;
    const struct {
      const char* relative;
      OpenOutcome outcome;
    } rows[] = {
        {"a\\b", OpenOutcome::kOpened},
        {"A", OpenOutcome::kOpened},
        {"a\\missing", OpenOutcome::kMissing},
        {"a\\linked", OpenOutcome::kLeadsElsewhere},
        {"a\\..\\a\\b", OpenOutcome::kFailed},
        {"..", OpenOutcome::kFailed},
        {"", OpenOutcome::kFailed},
        {"a\\\\b", OpenOutcome::kFailed},
        {"a\\.", OpenOutcome::kFailed},
        {"\\a", OpenOutcome::kFailed},
        {"C:\\a", OpenOutcome::kFailed},
    };
    for (const auto& row : rows) {
      OsHandle folder = nullptr;
      EXPECT_EQ(row.outcome, ops.OpenFolderBelow(base, row.relative, &folder))
          << row.relative;
      if (row.outcome != OpenOutcome::kOpened) continue;
      std::string below;
      EXPECT_NE(0, ops.FolderFinalPath(folder, &below));
      EXPECT_EQ(0, below.rfind(final + "\\", 0)) << below;
      ops.CloseOsHandle(folder);
    }
    ops.CloseOsHandle(base);
  }
  // A user's copy is updated where it is, and never made where it is not.
  OsHandle base = nullptr;
  OsHandle file = nullptr;
  int created = 0;
  ASSERT_EQ(OpenOutcome::kOpened, ops.OpenFolder(root.c_str(), &base));
  EXPECT_EQ(
      OpenOutcome::kMissing,
      ops.OpenFileIn(base, "Copy.ini", FileUse::kUpdate, &file, &created));
  EXPECT_FALSE(world->ReadTextFile(root + "\\Copy.ini").has_value());
  world->WriteTextFile(root + "\\Copy.ini", "[Special]\r\n");
  ASSERT_EQ(
      OpenOutcome::kOpened,
      ops.OpenFileIn(base, "Copy.ini", FileUse::kUpdate, &file, &created));
  EXPECT_EQ(0, created);
  ops.CloseOsHandle(file);
  ops.CloseOsHandle(base);
}

// Windows' profile functions get a private copy, which goes with its folder.
TEST_F(PlatformContract, PrivateCopiesAreReadAndRemovedWithTheirFolder) {
  std::string copy;
  ASSERT_NE(
      0, ops.WritePrivateCopy("UnitPrefs.ini",
                              "[Special]\r\nEnableVeloRidePass=1\r\n", &copy));
  EXPECT_EQ(1, ops.ReadIniInt("Special", "EnableVeloRidePass", copy.c_str()));
  ASSERT_NE(0, ops.WriteIniString("Special", "EnableVeloRidePass", "0",
                                  copy.c_str()));
  std::string bytes;
  ASSERT_NE(0, ops.ReadPrivateCopy(copy, &bytes));
  EXPECT_NE(std::string::npos, bytes.find("EnableVeloRidePass=0"));
  ops.RemovePrivateFolder();
  EXPECT_FALSE(world->ReadTextFile(copy).has_value());
}

#ifdef _WIN32
// The private folder under a temporary folder whose name the ANSI code page
// cannot spell: its copies go through the profile and version functions;
// it cannot be taken away while held; a copy another program holds stops
// only itself from going, and the folder it kept is removed by the next
// run. Then its security, where Windows keeps it.
TEST_F(PlatformContract, Win32PrivateFolderAcl) {
  const std::wstring temp =
      std::wstring(root.begin(), root.end()) + L"\\\u03a4\u03b5\u03bc\u03c0";
  ASSERT_TRUE(CreateDirectoryW(temp.c_str(), nullptr));
  wchar_t oldTmp[MAX_PATH] = L"";
  ASSERT_LT(GetEnvironmentVariableW(L"TMP", oldTmp, MAX_PATH), DWORD{MAX_PATH});
  ASSERT_TRUE(SetEnvironmentVariableW(L"TMP", temp.c_str()));
  struct Restore {
    const wchar_t* tmp;
    ~Restore() { SetEnvironmentVariableW(L"TMP", *tmp ? tmp : nullptr); }
  } restore = {oldTmp};
  auto wide = [](const std::string& utf8) {
    std::wstring text(utf8.size(), L'\0');
    text.resize(MultiByteToWideChar(CP_UTF8, 0, utf8.data(),
                                    static_cast<int>(utf8.size()), &text[0],
                                    static_cast<int>(text.size())));
    return text;
  };
  world->InstallProbe(root + "\\probe.ds", kTwain9);
  std::string copy;
  std::string probe;
  std::wstring folders[2];
  for (int round = 0; round < 2; ++round) {
    ASSERT_NE(0,
              ops.WritePrivateCopy("UnitPrefs.ini", "[S]\r\nk=1\r\n", &copy));
    ASSERT_NE(
        0, ops.WritePrivateCopy(
               "probe.ds", *world->ReadTextFile(root + "\\probe.ds"), &probe));
    folders[round] = wide(copy).substr(0, wide(copy).rfind(L'\\'));
    ASSERT_EQ(temp, folders[round].substr(0, temp.size()));
    EXPECT_EQ(INVALID_HANDLE_VALUE,
              CreateFileW(
                  folders[round].c_str(), DELETE,
                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                  nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr))
        << "nobody renames or removes the folder while it is held";
    EXPECT_EQ(1, ops.ReadIniInt("S", "k", copy.c_str()));
    ASSERT_NE(0, ops.WriteIniString("S", "k", "2", copy.c_str()));
    std::string value;
    ASSERT_NE(0, ops.ReadIniString("S", "k", copy.c_str(), &value));
    EXPECT_EQ("2", value);
    const unsigned long size = ops.GetVersionInfoSize(probe.c_str());
    std::string block(size, '\0');
    const void* data = nullptr;
    unsigned length = 0;
    ASSERT_NE(0, ops.GetVersionInfo(probe.c_str(), size, &block[0]));
    ASSERT_NE(0, ops.QueryVersionValue(
                     block.data(), "\\StringFileInfo\\040904b0\\FileVersion",
                     &data, &length));
    EXPECT_STREQ(kTwain9.fileVersion, static_cast<const char*>(data));
    // Another program's handle on one copy: the other copy still goes, and
    // the folder it keeps is the next run's to remove.
    const std::wstring held = wide(round == 0 ? copy : probe);
    const std::wstring other = wide(round == 0 ? probe : copy);
    const HANDLE holder = CreateFileW(held.c_str(), GENERIC_READ, 0, nullptr,
                                      OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, holder);
    ops.RemovePrivateFolder();
    CloseHandle(holder);
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(other.c_str()));
    EXPECT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(held.c_str()));
  }

  // Wine keeps no security descriptor of a folder: it makes one up from
  // the Unix mode and owner (the user; a DACL for SYSTEM and the user; no
  // label), so neither the owner nor the label nor the removal of a folder
  // an earlier run left can be seen there. This part speaks for Windows
  // alone, where NtCreateFile gives the new folder the security descriptor
  // of its OBJECT_ATTRIBUTES (Microsoft's NtCreateFile documentation) and a
  // caller may set a mandatory label up to its own integrity level
  // ("Mandatory Integrity Control").
  if (GetProcAddress(GetModuleHandleA("ntdll.dll"), "wine_get_version")) {
    GTEST_SKIP() << "Wine keeps no security descriptor of a folder";
  }
  unsigned char admins[SECURITY_MAX_SID_SIZE];
  DWORD adminsSize = sizeof admins;
  BOOL elevated = FALSE;
  ASSERT_TRUE(CreateWellKnownSid(WinBuiltinAdministratorsSid, nullptr, admins,
                                 &adminsSize));
  ASSERT_TRUE(CheckTokenMembership(nullptr, admins, &elevated));
  ASSERT_NE(0, ops.WritePrivateCopy("UnitPrefs.ini", "", &copy));
  for (const std::wstring& folder : folders) {
    EXPECT_EQ(elevated != FALSE,
              GetFileAttributesW(folder.c_str()) == INVALID_FILE_ATTRIBUTES)
        << "a folder an earlier run left, owned by Administrators, goes";
  }
  PSID owner = nullptr;
  PACL acl = nullptr;
  PACL sacl = nullptr;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  ASSERT_EQ(
      ERROR_SUCCESS,
      GetNamedSecurityInfoW(
          wide(copy).substr(0, wide(copy).rfind(L'\\')).c_str(), SE_FILE_OBJECT,
          OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION |
              LABEL_SECURITY_INFORMATION,
          &owner, nullptr, &acl, &sacl, &descriptor));
  SECURITY_DESCRIPTOR_CONTROL control = 0;
  DWORD revision = 0;
  ASSERT_TRUE(GetSecurityDescriptorControl(descriptor, &control, &revision));
  EXPECT_TRUE(control & SE_DACL_PROTECTED);
  ASSERT_EQ(elevated ? 2 : 3, acl->AceCount);
  const WELL_KNOWN_SID_TYPE kinds[] = {WinLocalSystemSid,
                                       WinBuiltinAdministratorsSid};
  for (DWORD index = 0; index < 2; ++index) {
    ACCESS_ALLOWED_ACE* ace = nullptr;
    ASSERT_TRUE(GetAce(acl, index, reinterpret_cast<void**>(&ace)));
    EXPECT_TRUE(IsWellKnownSid(&ace->SidStart, kinds[index])) << index;
  }
  if (elevated) {
    EXPECT_TRUE(IsWellKnownSid(owner, WinBuiltinAdministratorsSid) ||
                IsWellKnownSid(owner, WinLocalSystemSid));
    SYSTEM_MANDATORY_LABEL_ACE* label = nullptr;
    ASSERT_TRUE(sacl != nullptr &&
                GetAce(sacl, 0, reinterpret_cast<void**>(&label)));
    EXPECT_TRUE(IsWellKnownSid(&label->SidStart, WinHighLabelSid));
    EXPECT_EQ(DWORD{SYSTEM_MANDATORY_LABEL_NO_WRITE_UP}, label->Mask);
  } else {
    ACCESS_ALLOWED_ACE* caller = nullptr;
    ASSERT_TRUE(GetAce(acl, 2, reinterpret_cast<void**>(&caller)));
    EXPECT_TRUE(EqualSid(&caller->SidStart, owner));
  }
  LocalFree(descriptor);
  ops.RemovePrivateFolder();
}

// Whether a program runs: this one does; a copy of it of the same name does
// not, until it is started, and then also under another path and another
// file name (hard links of the started file).
TEST_F(PlatformContract, Win32ProgramRunning) {
  OsHandle folder = nullptr;
  world->MakeDirectory(root + "\\sub");
  char self[MAX_PATH];
  ASSERT_NE(0u, GetModuleFileNameA(nullptr, self, MAX_PATH));
  const char* slash = std::strrchr(self, '\\');
  ASSERT_NE(nullptr, slash);
  const std::string exe = slash + 1;
  ASSERT_TRUE(CopyFileA(self, (root + "\\sub\\" + exe).c_str(), TRUE));
  // SeDebugPrivilege, enabled for the look, is put back as it was.
  auto debugging = [] {
    HANDLE token = nullptr;
    PRIVILEGE_SET debug = {1, PRIVILEGE_SET_ALL_NECESSARY, {}};
    BOOL enabled = FALSE;
    EXPECT_TRUE(OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token) &&
                LookupPrivilegeValueW(nullptr, L"SeDebugPrivilege",
                                      &debug.Privilege[0].Luid) &&
                PrivilegeCheck(token, &debug, &enabled));
    CloseHandle(token);
    return enabled;
  };
  auto running = [&](const std::string& dir, const std::string& name = "") {
    OsHandle program = nullptr;
    int created = 0;
    EXPECT_EQ(OpenOutcome::kOpened, ops.OpenFolder(dir.c_str(), &folder));
    EXPECT_EQ(OpenOutcome::kOpened,
              ops.OpenFileIn(folder, (name.empty() ? exe : name).c_str(),
                             FileUse::kAttributes, &program, &created));
    const BOOL debuggingBefore = debugging();
    const int answer = ops.IsProgramRunning(program);
    EXPECT_EQ(debuggingBefore, debugging());
    ops.CloseOsHandle(program);
    ops.CloseOsHandle(folder);
    return answer;
  };
  EXPECT_EQ(1, running(std::string(self, slash - self)));
  EXPECT_EQ(0, running(root + "\\sub"));
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION started = {};
  std::string line = root + "\\sub\\" + exe;
  ASSERT_TRUE(CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE,
                             CREATE_SUSPENDED, nullptr, nullptr, &startup,
                             &started));
  world->MakeDirectory(root + "\\named");
  world->LinkFile(line, root + "\\named\\" + exe);
  EXPECT_EQ(1, running(root + "\\named"));
  world->LinkFile(line, root + "\\named\\other.exe");
  EXPECT_EQ(1, running(root + "\\named", "other.exe"));
  TerminateProcess(started.hProcess, 0);
  WaitForSingleObject(started.hProcess, 10000);
  CloseHandle(started.hThread);
  CloseHandle(started.hProcess);
}

// Spellings Windows alone has: a drive root, "\\?\", a subst drive.
TEST_F(PlatformContract, Win32FolderSpellings) {
  OsHandle folder = nullptr;
  world->MakeDirectory(root + "\\sub");
  // The folder's final path, as VirtualStore copies are found by it.
  auto finalPath = [&](const std::string& spelling) {
    std::string path = "not opened";
    if (ops.OpenFolder(spelling.c_str(), &folder) != OpenOutcome::kOpened) {
      return path;
    }
    if (!ops.FolderFinalPath(folder, &path)) path = "no final path";
    ops.CloseOsHandle(folder);
    return path;
  };
  auto opens = [&](const std::string& spelling) {
    return finalPath(spelling) != "not opened";
  };
  EXPECT_EQ("C:\\", finalPath("C:\\"));
  const std::string sub = finalPath(root + "\\sub");
  EXPECT_EQ(sub, finalPath("\\\\?\\" + root + "\\sub"));
  world->MakeDirectory(root + "\\A long name");
  char shortName[MAX_PATH];
  const DWORD length =
      GetShortPathNameA((root + "\\A long name").c_str(), shortName, MAX_PATH);
  ASSERT_TRUE(length > 0 && length < MAX_PATH);
  EXPECT_EQ(finalPath(root + "\\A long name"), finalPath(shortName))
      << shortName;

  // While a drive leads into the folder (and for a moment after), Wine
  // names what lies there by that drive.
  const std::string drive = MapDrive(root);
  ASSERT_NE("", drive);
  EXPECT_TRUE(opens(drive + "\\sub"));
  UnmapDrive(drive);
}
#endif

TEST_F(PlatformContract, EnvironmentVariablesExpandWithinTheBuffer) {
  char buffer[kPathBufferSize];
  const unsigned long length =
      ops.ExpandEnvironment("%ProgramFiles%\\Lumora", buffer, sizeof buffer);
  ASSERT_GT(length, 0u);
  ASSERT_LE(length, sizeof buffer);
  EXPECT_EQ(length, std::strlen(buffer) + 1);
  EXPECT_EQ(nullptr, std::strchr(buffer, '%'));
  EXPECT_EQ(0, std::strcmp(buffer + length - 8, "\\Lumora"));
  char small[4];
  EXPECT_GT(
      ops.ExpandEnvironment("%ProgramFiles%\\Lumora", small, sizeof small),
      sizeof small);
}

TEST_F(PlatformContract, SecondMutexOfTheSameNameReportsAlreadyExists) {
  const std::string name = world->UniqueMutexName();
  unsigned long firstError = 0;
  OsHandle first = ops.CreateNamedMutex(name.c_str(), &firstError);
  ASSERT_NE(nullptr, first);
  EXPECT_NE(os_error::kAlreadyExists, firstError);
  unsigned long secondError = 0;
  OsHandle second = ops.CreateNamedMutex(name.c_str(), &secondError);
  ASSERT_NE(nullptr, second);
  EXPECT_EQ(os_error::kAlreadyExists, secondError);
  ops.CloseOsHandle(second);
  ops.CloseOsHandle(first);

  unsigned long againError = 0;
  OsHandle again = ops.CreateNamedMutex(name.c_str(), &againError);
  ASSERT_NE(nullptr, again);
  EXPECT_NE(os_error::kAlreadyExists, againError)
      << "closing every handle frees the name";
  ops.CloseOsHandle(again);
}

// The writer lock's mutex: ours is owned by Administrators and opens again
// for us; one another user made so that we may not open it is refused as
// access denied.
TEST_F(PlatformContract, AdminOnlyMutexIsOursAndASquattedOneIsDenied) {
  const std::string name = world->UniqueMutexName() + "_WRITER";
  unsigned long firstError = 0;
  OsHandle first = ops.CreateAdminOnlyMutex(name.c_str(), &firstError);
  ASSERT_NE(nullptr, first);
  EXPECT_NE(os_error::kAlreadyExists, firstError);
  EXPECT_EQ(1, ops.IsOwnedByAdministrators(first));
  unsigned long secondError = 0;
  OsHandle second = ops.CreateAdminOnlyMutex(name.c_str(), &secondError);
  ASSERT_NE(nullptr, second);
  EXPECT_EQ(os_error::kAlreadyExists, secondError);
  EXPECT_EQ(1, ops.IsOwnedByAdministrators(second));
  ops.CloseOsHandle(second);
  ops.CloseOsHandle(first);

  const std::string squatted = world->UniqueMutexName() + "_SQUATTED";
  world->SquatMutex(squatted);
  unsigned long deniedError = 0;
  EXPECT_EQ(nullptr, ops.CreateAdminOnlyMutex(squatted.c_str(), &deniedError));
  EXPECT_EQ(os_error::kAccessDenied, deniedError);
}

TEST_F(PlatformContract, TokenGroupsAskForTheirSizeFirst) {
  OsHandle token = nullptr;
  ASSERT_NE(0, ops.OpenProcessTokenForQuery(&token));
  unsigned long needed = 0;
  unsigned long error = 0;
  EXPECT_EQ(0, ops.GetTokenGroups(token, nullptr, 0, &needed, &error));
  EXPECT_EQ(os_error::kInsufficientBuffer, error);
  ASSERT_GE(needed, sizeof(TokenGroupList));

  void* buffer = ops.AllocateZeroed(needed);
  ASSERT_NE(nullptr, buffer);
  ASSERT_NE(0, ops.GetTokenGroups(token, buffer, needed, &needed, &error));
  ops.CloseOsHandle(token);

  const auto* list = static_cast<const TokenGroupList*>(buffer);
  const TokenGroupEntry* groups = list->groups;
  ASSERT_GT(list->groupCount, 0u);
  OsSid administrators = nullptr;
  ASSERT_NE(0, ops.AllocateAdministratorsSid(&administrators));
  EXPECT_NE(0, ops.EqualSids(administrators, administrators));
  int matches = 0;
  for (std::uint32_t i = 0; i < list->groupCount; ++i) {
    ASSERT_NE(nullptr, groups[i].sid);
    matches += ops.EqualSids(groups[i].sid, administrators);
  }
  // The test runs as an administrator: on Wine always, on the fake by
  // default. The group is listed once and nothing else equals it.
  EXPECT_EQ(1, matches);
  ops.FreeOsSid(administrators);
  ops.FreeBlock(buffer);
}

TEST_F(PlatformContract, AllocatedBlocksAreZeroFilled) {
  auto* block = static_cast<unsigned char*>(ops.AllocateZeroed(4096));
  ASSERT_NE(nullptr, block);
  for (int i = 0; i < 4096; ++i) ASSERT_EQ(0, block[i]) << i;
  ops.FreeBlock(block);
}

}  // namespace
