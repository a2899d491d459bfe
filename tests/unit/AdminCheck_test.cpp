#include "guards/AdminCheck.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/fake/FakePlatformOps.h"

namespace {

using Op = FakePlatformOps::Op;
constexpr const char* kAdmins = FakePlatformOps::kAdministratorsSid;
constexpr std::uint32_t kEnabled = 0x7;    // mandatory, enabled by default
constexpr std::uint32_t kDenyOnly = 0x10;  // SE_GROUP_USE_FOR_DENY_ONLY
constexpr std::uint32_t kDisabled = 0x0;

// Everything the test handed out is given back, exactly once.
void ExpectNothingLeaked(const FakePlatformOps& ops) {
  EXPECT_EQ(0, ops.OpenHandleCount()) << "token left open";
  EXPECT_EQ(0, ops.LiveSidCount()) << "SID not freed";
  EXPECT_EQ(0, ops.LiveBlockCount()) << "group buffer not freed";
  EXPECT_EQ(0, ops.badReleases);
}

struct GroupsCase {
  const char* name;
  std::vector<FakePlatformOps::TokenGroup> groups;
  int administrator;
};

class AdminGroupsTest : public testing::TestWithParam<GroupsCase> {};

TEST_P(AdminGroupsTest, CountsTheSidOnlyWhereAccessChecksDo) {
  FakePlatformOps ops;
  ops.tokenGroups = GetParam().groups;
  EXPECT_EQ(GetParam().administrator, IsAdministrator(ops));
  EXPECT_TRUE(ops.debugOutput.empty());
  ExpectNothingLeaked(ops);
}

INSTANTIATE_TEST_SUITE_P(
    Groups, AdminGroupsTest,
    testing::Values(
        GroupsCase{"First", {{kAdmins, kEnabled}, {"S-1-1-0", kEnabled}}, 1},
        GroupsCase{"Middle",
                   {{"S-1-1-0", kEnabled},
                    {kAdmins, kEnabled},
                    {"S-1-5-32-545", kEnabled}},
                   1},
        GroupsCase{"Last",
                   {{"S-1-1-0", kEnabled},
                    {"S-1-5-11", kEnabled},
                    {kAdmins, kEnabled}},
                   1},
        GroupsCase{
            "DenyOnly", {{"S-1-1-0", kEnabled}, {kAdmins, kDenyOnly}}, 0},
        GroupsCase{"Disabled", {{kAdmins, kDisabled}}, 0},
        GroupsCase{
            "Absent", {{"S-1-1-0", kEnabled}, {"S-1-5-32-545", kEnabled}}, 0},
        GroupsCase{"LookalikeSid", {{"S-1-5-32-5440", kEnabled}}, 0},
        GroupsCase{"NoGroups", {}, 0}),
    [](const auto& info) { return std::string(info.param.name); });

struct FailureCase {
  const char* name;
  Op op;
  int call;
  const char* debugOutput;  // null: nothing
};

class AdminFailureTest : public testing::TestWithParam<FailureCase> {};

TEST_P(AdminFailureTest, AnyFailureMeansNotAnAdministrator) {
  FakePlatformOps ops;
  ops.FailCall(GetParam().op, GetParam().call);
  EXPECT_EQ(0, IsAdministrator(ops));
  const std::vector<std::string> expected =
      GetParam().debugOutput ? std::vector<std::string>{GetParam().debugOutput}
                             : std::vector<std::string>{};
  EXPECT_EQ(expected, ops.debugOutput);
  ExpectNothingLeaked(ops);
}

INSTANTIATE_TEST_SUITE_P(
    Failures, AdminFailureTest,
    testing::Values(
        FailureCase{"OpenToken", Op::OpenProcessToken, 0, nullptr},
        FailureCase{"SizeQueryOtherError", Op::GetTokenGroups, 0,
                    "GetTokenInformation return UNKOWN ERROR  first call!\n"},
        FailureCase{"Allocation", Op::AllocateZeroed, 0, nullptr},
        FailureCase{"SecondQuery", Op::GetTokenGroups, 1, nullptr},
        FailureCase{"SidConstruction", Op::AllocateAdministratorsSid, 0,
                    nullptr}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(AdminCheck, SizeQueryThatSucceedsIsTold) {
  FakePlatformOps ops;
  ops.tokenQueryWithoutBufferSucceeds = true;
  EXPECT_EQ(0, IsAdministrator(ops));
  EXPECT_EQ(
      std::vector<std::string>{"GetTokenInformation return TRUE first call!\n"},
      ops.debugOutput);
  ExpectNothingLeaked(ops);
}

}  // namespace
