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

// A user who may write in the capture application's folder swaps it for a
// link to another folder of theirs while the write is checked (Wine follows
// a Unix symbolic link in its prefix as Windows follows a junction): the
// kept bytes are put back nowhere, and the run says so. (A rename from
// Linux bypasses Wine: the folder vrpset holds cannot be renamed by a
// Windows process, as on Windows.) swap_on_write.py,
// which full_volume.sh starts, swaps the folder the moment the profile API
// has written the file; the check of a 1 MB file takes far longer. Where
// the swap cannot be made, or lands after the restore, the case is skipped,
// never passed.
TEST_F(FullVolumeE2E, NothingIsPutBackWhereTheFolderWasSwappedForALink) {
  if (std::getenv("VRP_SWAP_WATCHER") == nullptr) {
    GTEST_SKIP() << "no folder-swapping watcher: full_volume.sh starts one";
  }
  const std::string volume = std::getenv("VRP_FULL_VOLUME");
  std::string original = "[Special]\r\nEnableVeloRidePass=0\r\n";
  for (int i = 0; original.size() < (1u << 20); ++i) {
    original += "[Unit" + std::to_string(i) + "]\r\nDpi=300\r\n";
  }
  ScannerInstall::WriteFile(install.CaptureIni(), original);
  CreateDirectoryA((volume + "\\Decoy").c_str(), nullptr);
  ScannerInstall::WriteFile(volume + "\\Decoy\\UnitPrefs.ini", "decoy");
  ScannerInstall::WriteFile(volume + "\\arm", "");
  for (int wait = 0; !ScannerInstall::ReadFile(volume + "\\armed"); ++wait) {
    if (wait == 1000) GTEST_SKIP() << "the watcher did not arm";
    Sleep(10);
  }
  FillVolume();
  // /force: Wine names no NT device for the tmpfs, so whether LumoraApp.exe
  // runs from it cannot be told, which counts as running.
  const ConsoleRun run =
      RunConsoleProgram("vrpset.exe", "set on /force /fo json");
  if (!ScannerInstall::ReadFile(volume + "\\swapped")) {
    GTEST_SKIP() << "the watcher did not swap the folder";
  }
  const auto json = nlohmann::json::parse(run.out);
  const std::string result =
      json.at("targets").at(2).at("files").at(0).at("result");
  if (result == "failed") {
    GTEST_SKIP() << "the swap landed after the file was put back";
  }
  EXPECT_EQ(7u, run.status) << "a file that may be damaged has its own status";
  EXPECT_EQ("failed, not restored", result);
  const auto decoy =
      ScannerInstall::ReadFile(volume + "\\Decoy\\UnitPrefs.ini");
  EXPECT_TRUE(decoy == std::optional<std::string>("decoy"))
      << "nothing is written where the path leads after the swap; it holds "
      << (decoy ? std::to_string(decoy->size()) + " bytes" : "no file");
}

}  // namespace
