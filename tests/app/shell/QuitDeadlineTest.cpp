#include "shell/ZPHQuitDeadline.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
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

// The quit waits for the user's changes: the deadline holds meanwhile and
// then goes on with the time it had left; a hold that is never released
// ends at its own bound.
void heldWhileTheUsersChangesRun(bool released)
{
  ZPHQuitDeadline deadline(100);
  deadline.arm();
  deadline.hold(released ? 60000 : 200);
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  std::fprintf(stderr, "still running when the changes are done\n");
  if (released)
    deadline.release();
  std::this_thread::sleep_for(std::chrono::seconds(30));
  std::_Exit(42);
}

// The quit completed and main() returned, but a handler run at the exit
// waits on: the process's own deadline still ends the process.
void stuckAtTheExit()
{
  ZPHQuitDeadline& deadline = ZPHQuitDeadline::forTheProcess(100);
  deadline.arm();
  deadline.quitCompleted(0);
  std::atexit([] {
    std::this_thread::sleep_for(std::chrono::seconds(30));
    std::_Exit(42);
  });
  std::exit(0);
}

}  // namespace

TEST(QuitDeadlineDeathTest, EndsAStuckProcessWithTheQuitsStatusOnceTheQuitCompleted)
{
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(stuckAfterTheQuit(-1), ::testing::ExitedWithCode(1), "did not end within its deadline of 100 ms");
  EXPECT_EXIT(stuckAfterTheQuit(0), ::testing::ExitedWithCode(0), "the quit completed, but the libraries");
  EXPECT_EXIT(stuckAfterTheQuit(3), ::testing::ExitedWithCode(3), "the quit completed");
  EXPECT_EXIT(stuckAtTheExit(), ::testing::ExitedWithCode(0), "the quit completed, but the libraries");
}

TEST(QuitDeadlineDeathTest, AHoldStopsTheClockUntilReleasedAndForAtMostItsBound)
{
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(heldWhileTheUsersChangesRun(true), ::testing::ExitedWithCode(1),
              "still running when the changes are done\n.*did not end within its deadline of 100 ms");
  EXPECT_EXIT(heldWhileTheUsersChangesRun(false), ::testing::ExitedWithCode(1), "did not end within its deadline");
}
