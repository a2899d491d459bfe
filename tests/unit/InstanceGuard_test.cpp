#include "guards/InstanceGuard.h"

#include <gtest/gtest.h>

#include "guards/WriterLock.h"
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

// The writer lock in session 1 and in session 0 (where deployment engines
// run and the session namespace is the global one): held by another copy
// it refuses; squatted by someone else it is done without; the session
// guard never counts as it.
TEST(WriterLockTest, HoldsInEverySessionAndCannotBeSquatted) {
  using Held = FakePlatformOps::HeldObject;
  const Held byAdministrators;
  const Held bySystem{FakePlatformOps::kSystemSid, true, true};
  const Held deniesUs{FakePlatformOps::kUserSid, false, true};
  const Held byUser{FakePlatformOps::kUserSid, true, true};
  const Held notAMutex{FakePlatformOps::kUserSid, true, false};
  const struct {
    const char* name;
    unsigned long session;
    const char* heldName;  // nullptr: nothing held
    Held held;
    bool creationFails;
    WriterLock outcome;
  } rows[] = {
      {"free", 1, nullptr, {}, false, WriterLock::kHeld},
      {"session 0, the dialog's guard held",
       0,
       kInstanceGuardName,
       {},
       false,
       WriterLock::kHeld},
      {"session 0, free", 0, nullptr, {}, false, WriterLock::kHeld},
      {"another copy", 1, kWriterLockName, byAdministrators, false,
       WriterLock::kBusy},
      {"another copy as SYSTEM, in session 0", 0, kWriterLockName, bySystem,
       false, WriterLock::kBusy},
      {"squatted, denying us", 1, kWriterLockName, deniesUs, false,
       WriterLock::kSquatted},
      {"squatted, owned by a user", 0, kWriterLockName, byUser, false,
       WriterLock::kSquatted},
      {"squatted by another kind of object", 1, kWriterLockName, notAMutex,
       false, WriterLock::kSquatted},
      {"cannot be created", 1, nullptr, {}, true, WriterLock::kBusy},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    FakePlatformOps ops;
    ops.sessionId = row.session;
    if (row.heldName != nullptr) ops.HoldMutexElsewhere(row.heldName, row.held);
    if (row.creationFails) {
      ops.FailCall(FakePlatformOps::Op::CreateAdminOnlyMutex);
    }
    OsHandle lock = nullptr;
    EXPECT_EQ(row.outcome, AcquireWriterLock(ops, &lock));
    const bool holds = row.outcome == WriterLock::kHeld;
    EXPECT_EQ(holds, lock != nullptr);
    EXPECT_EQ(holds ? 1 : 0, ops.OpenHandleCount());
    // The dialog takes both: in session 0 too they are two objects.
    OsHandle guard = nullptr;
    EXPECT_EQ(row.heldName == kInstanceGuardName ? 1 : 0,
              AcquireInstanceGuard(ops, &guard, kInstanceGuardName));
    ReleaseInstanceGuard(ops, guard);
    ReleaseInstanceGuard(ops, lock);
    EXPECT_EQ(0, ops.badReleases);
  }
}

TEST(InstanceGuard, OnlyTheSameNameCollides) {
  FakePlatformOps ops;
  ops.HoldMutexElsewhere("SOME_OTHER_TOOL");
  OsHandle guard = nullptr;
  EXPECT_EQ(0, AcquireInstanceGuard(ops, &guard, kInstanceGuardName));
}

}  // namespace
