#include "app/InstanceGuard.h"

#include <gtest/gtest.h>

#include "tests/fake/FakePlatformOps.h"

namespace {

TEST(InstanceGuard, FirstCopyKeepsTheMutexOpenUntilReleased) {
  FakePlatformOps ops;
  OsHandle guard = nullptr;
  EXPECT_EQ(0, AcquireInstanceGuard(ops, &guard, kInstanceGuardName));
  ASSERT_NE(nullptr, guard);
  EXPECT_TRUE(ops.IsOpenHandle(guard));

  ReleaseInstanceGuard(ops, guard);
  EXPECT_EQ(nullptr, guard);
  EXPECT_EQ(0, ops.OpenHandleCount());
  ReleaseInstanceGuard(ops, guard);
  EXPECT_EQ(0, ops.badReleases) << "a second release closes nothing";

  OsHandle next = nullptr;
  EXPECT_EQ(0, AcquireInstanceGuard(ops, &next, kInstanceGuardName))
      << "a new copy may start once the first has released the guard";
}

TEST(InstanceGuard, AnotherCopyOrAFailureRefusesAndHoldsNothing) {
  FakePlatformOps running;
  running.HoldMutexElsewhere(kInstanceGuardName);
  FakePlatformOps failing;
  failing.FailCall(FakePlatformOps::Op::CreateNamedMutex);
  for (FakePlatformOps* ops : {&running, &failing}) {
    OsHandle guard = reinterpret_cast<OsHandle>(0x1);
    EXPECT_EQ(1, AcquireInstanceGuard(*ops, &guard, kInstanceGuardName));
    EXPECT_EQ(nullptr, guard);
    EXPECT_EQ(0, ops->OpenHandleCount());
    EXPECT_EQ(0, ops->badReleases);
  }
}

// A user who may not create machine-wide names carries on unless another
// copy made the name; anyone else is refused while another copy holds it.
TEST(InstanceGuard, MachineGuardIsSkippedOnlyWhereItCannotBeCreated) {
  const struct {
    const char* name;
    bool heldElsewhere;
    bool denied;
    int refused;
    bool holds;
  } cases[] = {
      {"free", false, false, 0, true},
      {"held by another session", true, false, 1, false},
      {"no right to create it, none exists", false, true, 0, false},
      {"no right to open the one that exists", true, true, 1, false},
  };
  for (const auto& c : cases) {
    FakePlatformOps ops;
    if (c.heldElsewhere) ops.HoldMutexElsewhere(kMachineGuardName);
    if (c.denied) ops.deniedMutexPrefix = "Global\\";
    OsHandle guard = nullptr;
    EXPECT_EQ(c.refused, AcquireMachineGuard(ops, &guard)) << c.name;
    EXPECT_EQ(c.holds, guard != nullptr) << c.name;
    EXPECT_EQ(c.holds ? 1 : 0, ops.OpenHandleCount()) << c.name;
  }
}

TEST(InstanceGuard, OnlyTheSameNameCollides) {
  FakePlatformOps ops;
  ops.HoldMutexElsewhere("SOME_OTHER_TOOL");
  OsHandle guard = nullptr;
  EXPECT_EQ(0, AcquireInstanceGuard(ops, &guard, kInstanceGuardName));
}

}  // namespace
