#include "foundation/CBGeometry.h"
#include "foundation/CBLocks.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <thread>

TEST(Locks, CreateLockUnlockDestroy)
{
  pthread_mutex_t lock;
  ASSERT_EQ(CBLockCreate(&lock), 0);
  int counter = 0;
  std::thread other([&] {
    for (int i = 0; i < 1000; ++i) {
      ASSERT_EQ(CBLockLock(&lock), 0);
      ++counter;
      ASSERT_EQ(CBLockUnlock(&lock), 0);
    }
  });
  for (int i = 0; i < 1000; ++i) {
    ASSERT_EQ(CBLockLock(&lock), 0);
    ++counter;
    ASSERT_EQ(CBLockUnlock(&lock), 0);
  }
  other.join();
  EXPECT_EQ(counter, 2000);
  EXPECT_EQ(CBLockDestroy(&lock), 0);

  pthread_mutex_t recursive;
  ASSERT_EQ(CBLockCreateRecursive(&recursive), 0);
  EXPECT_EQ(CBLockLock(&recursive), 0);
  EXPECT_EQ(CBLockLock(&recursive), 0);
  EXPECT_EQ(CBLockUnlock(&recursive), 0);
  EXPECT_EQ(CBLockUnlock(&recursive), 0);
  EXPECT_EQ(CBLockUnlock(&recursive), EPERM);  // no longer held: the error comes back
  EXPECT_EQ(CBLockDestroy(&recursive), 0);

  EXPECT_EQ(CBLockCreate(nullptr), EINVAL);
  EXPECT_EQ(CBLockLock(nullptr), EINVAL);
}

TEST(LocksDeathTest, OrExitFamilyEndsTheProcessWithTheMessage)
{
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  pthread_mutex_t lock;
  ASSERT_EQ(CBLockCreateRecursive(&lock), 0);
  lockOrExit(&lock, "not reached");
  unlockOrExit(&lock, "not reached");
  EXPECT_EXIT(unlockOrExit(&lock, "unlock of the feed database lock failed"), ::testing::ExitedWithCode(255),
              "unlock of the feed database lock failed");
  EXPECT_EXIT(lockOrExit(nullptr, "no lock"), ::testing::ExitedWithCode(255), "no lock");
  destroyLockOrExit(&lock, "not reached");
}

TEST(Geometry, Centring)
{
  const QRectF rect(3, 4, 10, 10);
  const QRectF container(0, 0, 25, 25);
  EXPECT_EQ(CGRectCenteredInRect(rect, container), QRectF(7.5, 7.5, 10, 10));
  EXPECT_EQ(CGRectCenteredHorizontallyInRect(rect, container), QRectF(7.5, 4, 10, 10));
  EXPECT_EQ(CGRectCenteredVerticallyInRect(rect, container), QRectF(3, 7.5, 10, 10));
  EXPECT_EQ(CGRectCenteredInRect(QRectF(0, 0, 30, 5), QRectF(10, 20, 20, 10)), QRectF(5, 22.5, 30, 5));
  CBLogCGRect("centred", CGRectCenteredInRect(rect, container));
}
