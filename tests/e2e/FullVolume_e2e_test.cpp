// OK on a volume with no free space left, on the real program under Wine:
// Wine's profile API then cuts the file short and still reports success.
// The capture application is installed on a small tmpfs that
// full_volume.sh mounts into the Wine prefix and names in
// VRP_FULL_VOLUME; without it the cases are skipped.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>

#include "tests/e2e/E2ETest.h"

namespace {

class FullVolumeE2E : public E2ETest {
 protected:
  void SetUp() override {
    const char* volume = std::getenv("VRP_FULL_VOLUME");
    if (volume == nullptr) {
      GTEST_SKIP() << "no full volume: tests/e2e/full_volume.sh mounts one";
    }
    install.InstallTwain(kTwain9);
    install.InstallCapture(kLumora11, std::string(volume) + "\\Lumora");
  }

  // Takes the last free byte of the volume.
  void FillVolume() {
    std::ofstream filler(install.CaptureIni() + ".filler", std::ios::binary);
    const std::string block(4096, 'f');
    while (filler.write(block.data(), block.size())) {
    }
    filler.clear();
    while (filler.put('f') && filler.flush()) {
    }
  }

  // Checks the option on, presses OK and expects the capture application
  // under "Error" and TWAIN under "End".
  void RunAndExpectCaptureReported() {
    AppDriver app;
    ExpectBox(app, "Warning", std::string(kAbsentHeader) + "    ISIS\n");
    ExpectBox(app, "Warning", kCloseAppWarning);
    const AppWindow dialog = ExpectMainDialog(app);
    app.ClickCheck(dialog);
    app.Press(dialog, IDOK);
    ExpectBox(app, "Error", "INI file write error!\n\n    Lumora\n");
    ExpectBox(app, "End", std::string(kChangedHeader) + "    TWAIN\n");
    ExpectEndsQuietly(app);
    EXPECT_EQ(1, ScannerInstall::ReadOption(install.TwainIni()));
  }
};

TEST_F(FullVolumeE2E, FileThatCannotBeRewrittenIsPutBackAndReported) {
  // The key is missing, so the file must grow past the 10 bytes left in
  // its last 4 KiB page, and a few hundred sections come after [Special]:
  // the cut falls far from the key.
  constexpr std::size_t kSize = 3 * 4096 - 10;
  std::string original = "[Special]\r\nDuplex=1\r\n";
  for (int i = 0; original.size() < kSize - 100; ++i) {
    original += "[Section" + std::to_string(i) + "]\r\nKey=value " +
                std::to_string(i) + "\r\n";
  }
  original += "[Last]\r\nKey=";
  original += std::string(kSize - original.size() - 2, 'v') + "\r\n";
  ScannerInstall::WriteFile(install.CaptureIni(), original);
  FillVolume();
  RunAndExpectCaptureReported();
  const auto after = ScannerInstall::ReadFile(install.CaptureIni());
  ASSERT_TRUE(after.has_value());
  EXPECT_TRUE(*after == original)
      << "the file is back byte for byte: " << after->size() << " bytes of "
      << original.size() << ", ending \"" << after->substr(after->size() - 20)
      << "\"";
}

TEST_F(FullVolumeE2E, FileThatCouldNotBeCreatedIsRemovedAndReported) {
  FillVolume();
  RunAndExpectCaptureReported();
  EXPECT_FALSE(ScannerInstall::ReadFile(install.CaptureIni()).has_value())
      << "no empty file is left behind";
}

// A user who may change the capture application's folder, played by
// hold_opens.py, which full_volume.sh starts: it sees every open of a file
// on the volume while the kernel holds it (fanotify), and moves things
// then. Its word on what it did is read once the run is over.
struct UserMove {
  ConsoleRun run;
  bool swapped;
  int decoyFilesOpened;
};

class UserMovesE2E : public FullVolumeE2E {
 protected:
  void SetUp() override {
    FullVolumeE2E::SetUp();
    if (IsSkipped()) return;
    const char* control = std::getenv("VRP_USER_CONTROL");
    if (control == nullptr) GTEST_SKIP() << "full_volume.sh starts the user";
    control_ = control;
    decoy_ = std::string(std::getenv("VRP_FULL_VOLUME")) + "\\Decoy";
    CreateDirectoryA(decoy_.c_str(), nullptr);
  }

  UserMove RunWhileTheUserMoves(const std::string& command,
                                const std::string& arguments) {
    ScannerInstall::WriteFile(decoy_ + "\\UnitPrefs.ini", "decoy");
    const int filesBefore = FilesIn(decoy_);
    Signal("arm", command, "armed");
    UserMove move = {RunConsoleProgram("vrpset.exe", arguments), false, -1};
    Signal("disarm", "", "disarmed");
    const std::string result =
        ScannerInstall::ReadFile(control_ + "\\result").value_or("");
    move.swapped = result.rfind("swapped", 0) == 0;
    move.decoyFilesOpened = std::atoi(result.c_str() + result.find('\n') + 1);
    EXPECT_EQ("decoy", ScannerInstall::ReadFile(decoy_ + "\\UnitPrefs.ini"))
        << "the user's file is never written";
    EXPECT_EQ(filesBefore, FilesIn(decoy_))
        << "no file is made in the user's folder";
    return move;
  }

  std::string decoy_;

 private:
  void Signal(const char* file, const std::string& text, const char* answer) {
    DeleteFileA((control_ + "\\" + answer).c_str());
    ScannerInstall::WriteFile(control_ + "\\" + file, text);
    for (int wait = 0; !ScannerInstall::ReadFile(control_ + "\\" + answer);
         ++wait) {
      ASSERT_LT(wait, 1000) << "the user did not answer " << file;
      Sleep(10);
    }
  }

  static int FilesIn(const std::string& folder) {
    WIN32_FIND_DATAA found;
    const HANDLE search = FindFirstFileA((folder + "\\*").c_str(), &found);
    int files = 0;
    for (BOOL more = search != INVALID_HANDLE_VALUE; more;
         more = FindNextFileA(search, &found)) {
      files += (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
    }
    if (search != INVALID_HANDLE_VALUE) FindClose(search);
    return files;
  }

  std::string control_;
};

// Each open of the application's UnitPrefs.ini held in turn while the user
// swaps the file for a second name of the user's file, or the folder for a
// link to the user's folder: the run goes on with what it opened, and
// neither writes the user's file nor makes one in the user's folder.
TEST_F(UserMovesE2E, AMoveWhileAnOpenWaitsReachesNoFileOfTheUsers) {
  for (const char* kind : {"file", "folder"}) {
    int swaps = 0;
    for (int open = 1; open <= 4; ++open) {
      SCOPED_TRACE(std::string(kind) + " at open " + std::to_string(open));
      ScannerInstall::WriteFile(install.CaptureIni(),
                                "[Special]\r\nEnableVeloRidePass=0\r\n");
      const UserMove move = RunWhileTheUserMoves(
          "swap " + std::to_string(open) + " " + kind, "set on /force");
      swaps += move.swapped;
      EXPECT_TRUE(move.run.status == 0 || move.run.status == 4)
          << move.run.status << move.run.err;
    }
    EXPECT_GE(swaps, 2) << "the program opens the file at least twice";
  }
}

// A folder link planted before the run: no verb opens a file behind it.
TEST_F(UserMovesE2E, NoVerbOpensAFileBehindAFolderLinkPlantedBeforeIt) {
  ScannerInstall::CopyProbe(kLumora11, decoy_ + "\\LumoraApp.exe");
  for (const char* verb : {"query", "test on", "detect", "set on /force"}) {
    SCOPED_TRACE(verb);
    const UserMove move = RunWhileTheUserMoves("plant", verb);
    EXPECT_TRUE(move.swapped);
    EXPECT_EQ(0, move.decoyFilesOpened);
  }
}

}  // namespace
