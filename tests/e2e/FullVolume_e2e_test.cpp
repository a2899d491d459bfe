// OK on a volume with no free space left, on the real program under Wine:
// Wine's profile API then cuts the file short and still reports success.
// The capture application is installed on a small tmpfs that
// full_volume.sh mounts into the Wine prefix and names in
// VRP_FULL_VOLUME; without it the cases are skipped.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
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

}  // namespace
