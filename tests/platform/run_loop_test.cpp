#include "platform/foundation/run_loop.h"

#include <gtest/gtest.h>
#include <unistd.h>

namespace {

TEST(RunLoop, RepeatingTimerSleepsBetweenFirings) {
  NSRunLoop& loop = NSRunLoop::mainRunLoop();
  int fired = 0;
  const unsigned long before = loop.wakeups();
  auto timer = NSTimer::scheduledTimerWithTimeInterval(
      0.005,
      [&] {
        if (++fired == 5) loop.stop();
      },
      true);
  loop.run();
  EXPECT_EQ(fired, 5);
  // One wake-up per firing: the loop waits in poll() rather than spinning.
  EXPECT_LE(loop.wakeups() - before, 6u);
  timer->invalidate();
}

TEST(RunLoop, OneShotTimerFiresOnceAndReadSourcesAreServed) {
  NSRunLoop& loop = NSRunLoop::mainRunLoop();
  int ends[2];
  ASSERT_EQ(pipe(ends), 0);
  int oneShot = 0;
  std::string received;
  NSTimer::scheduledTimerWithTimeInterval(
      0.001,
      [&] {
        ++oneShot;
        (void)!write(ends[1], "x", 1);
      },
      false);
  loop.addReadSource(ends[0], [&] {
    char c;
    if (read(ends[0], &c, 1) == 1) received.push_back(c);
    if (ends[1] >= 0) close(ends[1]);  // the next pass sees the hang-up and drops the source
    ends[1] = -1;
  });
  loop.run();  // returns when nothing is left that could wake it
  EXPECT_EQ(oneShot, 1);
  EXPECT_EQ(received, "x");
  close(ends[0]);
}

}  // namespace
