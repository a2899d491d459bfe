#include "detect/StartupWarning.h"

#include <gtest/gtest.h>

#include <string>

namespace {

constexpr const char* kOldHeader =
    "The version of the following application or driver is old.\n"
    "The setting is ignored for following  application or driver. \n\n";
constexpr const char* kAbsentHeader =
    "The following application or driver is not installed.\n\n";

struct WarningCase {
  const char* name;
  TargetFlags found;   // TWAIN, ISIS, capture application
  TargetFlags tooOld;
  std::string text;
};

class StartupWarningTest : public testing::TestWithParam<WarningCase> {};

TEST_P(StartupWarningTest, TextIsExact) {
  MessageText warning;
  warning.Append("leftover");
  BuildStartupWarning(GetParam().found, GetParam().tooOld, warning);
  EXPECT_EQ(GetParam().text, warning.text);
}

const std::string kOld = kOldHeader;
const std::string kAbsent = kAbsentHeader;

INSTANTIATE_TEST_SUITE_P(
    Outcomes, StartupWarningTest,
    testing::Values(
        WarningCase{"AllFound", {1, 1, 1}, {0, 0, 0}, ""},
        WarningCase{"NothingInstalled",
                    {0, 0, 0},
                    {0, 0, 0},
                    kAbsent + "    TWAIN\n    ISIS\n    Lumora\n"},
        WarningCase{"TypicalRun", {1, 1, 0}, {0, 0, 0},
                    kAbsent + "    Lumora\n"},
        WarningCase{"OneOldTwoAbsent",
                    {0, 0, 0},
                    {0, 1, 0},
                    kOld + "    ISIS\n\n" + kAbsent + "    TWAIN\n    Lumora\n"},
        WarningCase{"AllTooOld",
                    {0, 0, 0},
                    {1, 1, 1},
                    kOld + "    TWAIN\n    ISIS\n    Lumora\n\n"},
        WarningCase{"OldAndFound", {0, 1, 1}, {1, 0, 0},
                    kOld + "    TWAIN\n\n"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(StartupWarning, LongestTextFitsItsBuffer) {
  // Every target in the longest section: the old-version one.
  const TargetFlags none = {0, 0, 0};
  const TargetFlags all = {1, 1, 1};
  MessageText warning;
  BuildStartupWarning(none, all, warning);
  EXPECT_LT(std::string(warning.text).size(), sizeof warning.text);
  EXPECT_EQ('\n', std::string(warning.text).back());
}

TEST(MessageText, NeverOverflowsAndKeepsWholeParts) {
  MessageText message;
  const std::string part(100, 'x');
  for (int i = 0; i < 5; ++i) message.Append(part.c_str());
  EXPECT_EQ(std::string(200, 'x'), message.text);
}

}  // namespace
