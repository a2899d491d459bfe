#include "detect/VersionCheck.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <utility>

#include "tests/fake/FakePlatformOps.h"

namespace {

struct VersionCase {
  const char* version;
  int minMajor;
  int minMinor;
  int older;
};

class VersionStringTest : public testing::TestWithParam<VersionCase> {};

TEST_P(VersionStringTest, ComparesMajorThenMinor) {
  const VersionCase& c = GetParam();
  EXPECT_EQ(c.older, IsVersionStringOlder(c.version, c.minMajor, c.minMinor))
      << '"' << c.version << "\" against " << c.minMajor << '.' << c.minMinor;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, VersionStringTest,
    testing::Values(
        VersionCase{"9, 0, 0, 0", 9, 0, 0}, VersionCase{"8.99.0.0", 9, 0, 1},
        VersionCase{"10.0.0.0", 9, 0, 0}, VersionCase{"1, 0, 5, 0", 1, 1, 1},
        VersionCase{"1, 1, 0, 0", 1, 1, 0}, VersionCase{"1.10.0.0", 1, 1, 0},
        VersionCase{"9, 0, 2, 1", 9, 0, 0},
        // The last field counts even without a separator after it.
        VersionCase{"1.1", 1, 1, 0}, VersionCase{"1.0", 1, 1, 1},
        VersionCase{"3", 3, 0, 0}, VersionCase{"2", 3, 0, 1},
        VersionCase{"3,", 3, 0, 0},
        // Only the first two fields are read.
        VersionCase{"3.0.9999", 3, 1, 1},
        // atoi's reading: leading blanks and signs, stop at other text.
        VersionCase{"  9 beta, 1", 9, 1, 0}, VersionCase{"-9.0", 9, 0, 1},
        VersionCase{"+9.0", 9, 0, 0}, VersionCase{"v9.0", 9, 0, 1},
        VersionCase{"", 0, 1, 1}, VersionCase{"", 0, 0, 0},
        VersionCase{".5", 0, 6, 1}, VersionCase{"9..", 9, 1, 1},
        // Absurd digit runs saturate instead of overflowing.
        VersionCase{"99999999999999999999.0", 9, 0, 0},
        VersionCase{"-99999999999999999999.0", 9, 0, 1},
        VersionCase{"9.99999999999999999999", 9, 5, 0}));

TEST(VersionString, TextOf260CharactersOrMoreIsNotOlder) {
  const std::string longest(259, '0');
  EXPECT_EQ(1, IsVersionStringOlder(longest.c_str(), 1, 0));
  for (std::size_t length : {260u, 261u, 5000u}) {
    const std::string text(length, '0');
    EXPECT_EQ(0, IsVersionStringOlder(text.c_str(), 1, 0)) << length;
  }
}

const std::string kFileText =
    std::string(FakePlatformOps::kPrivateFolder) + "\\probe.dll";
const char* const kFile = kFileText.c_str();

class FileVersionTest : public testing::Test {
 protected:
  void TearDown() override {
    EXPECT_EQ(0, ops.LiveBlockCount()) << "version block leaked";
    EXPECT_EQ(0, ops.badReleases);
  }
  FakePlatformOps ops;
};

TEST_F(FileVersionTest, ReadsTheFileVersionStringOfTheFirstTranslation) {
  ops.AddFileWithVersion(kFile, "2, 9, 0, 0");
  EXPECT_EQ(1, IsFileVersionOlder(ops, kFile, 3, 0));
  EXPECT_EQ(0, IsFileVersionOlder(ops, kFile, 2, 9));
}

TEST_F(FileVersionTest, FilesWithoutAUsableVersionCountAsNewEnough) {
  const std::string translation("\x09\x04\xB0\x04", 4);
  const std::string old = std::string("1.0") + '\0';
  const std::map<std::string, FakePlatformOps::VersionResource> cases = {
      {"no translation table",
       {{"\\StringFileInfo\\040904b0\\FileVersion", {old, 4}}}},
      {"translation shorter than one entry",
       {{"\\VarFileInfo\\Translation", {translation.substr(0, 3), 3}},
        {"\\StringFileInfo\\040904b0\\FileVersion", {old, 4}}}},
      {"no FileVersion string",
       {{"\\VarFileInfo\\Translation", {translation, 4}},
        {"\\StringFileInfo\\040904b0\\ProductVersion", {old, 4}}}},
      {"FileVersion under another translation",
       {{"\\VarFileInfo\\Translation", {translation, 4}},
        {"\\StringFileInfo\\041104b0\\FileVersion", {old, 4}}}},
  };
  for (const auto& [name, resource] : cases) {
    ops.AddVersionedFile(kFile, resource);
    EXPECT_EQ(0, IsFileVersionOlder(ops, kFile, 9, 0)) << name;
  }
  ops.AddFile(kFile);
  EXPECT_EQ(0, IsFileVersionOlder(ops, kFile, 9, 0)) << "no version resource";
  EXPECT_EQ(0, IsFileVersionOlder(ops, "C:\\missing.dll", 9, 0));
}

TEST_F(FileVersionTest, OnlyTheFirstTranslationIsUsed) {
  // German first, then US English; only the German string is consulted.
  const std::string translations("\x07\x04\xE4\x04\x09\x04\xB0\x04", 8);
  ops.AddVersionedFile(
      kFile,
      {{"\\VarFileInfo\\Translation", {translations, 8}},
       {"\\StringFileInfo\\040704e4\\FileVersion", {std::string("9.5", 4), 4}},
       {"\\StringFileInfo\\040904b0\\FileVersion",
        {std::string("1.0", 4), 4}}});
  EXPECT_EQ(0, IsFileVersionOlder(ops, kFile, 9, 0));
}

TEST_F(FileVersionTest, UnterminatedStringIsReadOnlyUpToItsLength) {
  // Reported length 1 of "8.5": only "8" is the string, read as 8.0.
  const std::string translation("\x09\x04\xB0\x04", 4);
  ops.AddVersionedFile(
      kFile, {{"\\VarFileInfo\\Translation", {translation, 4}},
              {"\\StringFileInfo\\040904b0\\FileVersion", {"8.5", 1}}});
  EXPECT_EQ(1, IsFileVersionOlder(ops, kFile, 8, 1));
}

TEST_F(FileVersionTest, OverlongStringCountsAsNewEnough) {
  ops.AddFileWithVersion(kFile, "1." + std::string(300, '0'));
  EXPECT_EQ(0, IsFileVersionOlder(ops, kFile, 9, 0));
  // The longest string that is read, and the shortest that is not; each
  // handed out in a block of its own size, so a copy one byte too long
  // shows under AddressSanitizer.
  ops.AddFileWithVersion(kFile, "1." + std::string(257, '0'));
  EXPECT_EQ(1, IsFileVersionOlder(ops, kFile, 9, 0));
  ops.AddFileWithVersion(kFile, "1." + std::string(258, '0'));
  EXPECT_EQ(0, IsFileVersionOlder(ops, kFile, 9, 0));
}

// A corrupt resource directory or version block: the system is never asked
// to read the block (the sizes are those GetFileVersionInfoSizeA can give
// for a resource of at most 64 KiB, its ANSI copy included).
TEST_F(FileVersionTest, MalformedResourceIsNeverReadAndCountsAsNewEnough) {
  using Op = FakePlatformOps::Op;
  const struct {
    const char* name;
    FakePlatformOps::VersionQuirks quirks;
    int older;
    int blockReads;
    int queries;
  } cases[] = {
      {"largest possible size", {2 * 0xFFFFul + 4, std::nullopt}, 1, 1, 2},
      {"size beyond any version resource",
       {2 * 0xFFFFul + 5, std::nullopt},
       0,
       0,
       0},
      {"size from a wrapped sum", {0xFFFFFFE4ul, std::nullopt}, 0, 0, 0},
      {"length field beyond the block", {std::nullopt, 0xFFFF}, 0, 1, 0},
      {"length field zero", {std::nullopt, 0}, 0, 1, 0},
  };
  for (const auto& c : cases) {
    FakePlatformOps malformed;
    malformed.AddFileWithVersion(kFile, "1.0");
    malformed.SetVersionQuirks(kFile, c.quirks);
    EXPECT_EQ(c.older, IsFileVersionOlder(malformed, kFile, 9, 0)) << c.name;
    EXPECT_EQ(c.blockReads, malformed.CallCount(Op::GetVersionInfo)) << c.name;
    EXPECT_EQ(c.queries, malformed.CallCount(Op::QueryVersionValue)) << c.name;
    EXPECT_EQ(0, malformed.LiveBlockCount()) << c.name;
  }
}

TEST_F(FileVersionTest, AnyFailingStepCountsAsNewEnough) {
  using Op = FakePlatformOps::Op;
  const std::pair<Op, int> failures[] = {
      {Op::GetVersionInfoSize, 0}, {Op::AllocateZeroed, 0},
      {Op::GetVersionInfo, 0},     {Op::QueryVersionValue, 0},  // translation
      {Op::QueryVersionValue, 1},                               // FileVersion
  };
  ops.AddFileWithVersion(kFile, "1.0");
  ASSERT_EQ(1, IsFileVersionOlder(ops, kFile, 9, 0));
  for (const auto& [op, call] : failures) {
    FakePlatformOps failing;
    failing.AddFileWithVersion(kFile, "1.0");
    failing.FailCall(op, call);
    EXPECT_EQ(0, IsFileVersionOlder(failing, kFile, 9, 0))
        << FakePlatformOps::NameOf(op) << " call " << call;
    if (op != Op::QueryVersionValue) {
      EXPECT_EQ(0, failing.CallCount(Op::QueryVersionValue))
          << "a block that was not read is never queried";
    }
    EXPECT_EQ(0, failing.LiveBlockCount()) << FakePlatformOps::NameOf(op);
    EXPECT_EQ(0, failing.badReleases);
  }
}

}  // namespace
