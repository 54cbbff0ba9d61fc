#include "shell/ZPHQuitDeadline.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

namespace {

// The process is stuck after the quit began: before the quit completed the
// deadline ends it as failed; once it completed (only the libraries' own
// teardown is left), with the quit's status.
void stuckAfterTheQuit(int completedStatus)
{
  ZPHQuitDeadline deadline(100);
  deadline.arm();
  if (completedStatus >= 0)
    deadline.quitCompleted(completedStatus);
  std::this_thread::sleep_for(std::chrono::seconds(30));
  std::_Exit(42);
}

}  // namespace

TEST(QuitDeadlineDeathTest, EndsAStuckProcessWithTheQuitsStatusOnceTheQuitCompleted)
{
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(stuckAfterTheQuit(-1), ::testing::ExitedWithCode(1), "did not end within its deadline of 100 ms");
  EXPECT_EXIT(stuckAfterTheQuit(0), ::testing::ExitedWithCode(0), "the quit completed, but the libraries");
  EXPECT_EXIT(stuckAfterTheQuit(3), ::testing::ExitedWithCode(3), "the quit completed");
}
