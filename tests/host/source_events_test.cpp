// The kernel's power-supply events: which folder gets them, and what the host does when their
// socket fails.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include "host/app/source_pump.h"
#include "host/sources/sysfs_source.h"
#include "platform/foundation/run_loop.h"
#include "tests/support/temp_dir.h"

namespace host {
namespace {

TEST(SysfsSourceEvents, EverySpellingOfTheKernelsFolderAndNoOtherIsWatched) {
  if (SysfsSource(SysfsSource::kDefaultFolder).eventDescriptor() < 0) {
    GTEST_SKIP() << "no kernel-event socket here";
  }
  testing_support::TempDir copy;
  const struct {
    std::string folder;
    bool watched;
  } cases[] = {
      {"/sys/class/power_supply/", true},
      {"/sys//class/power_supply", true},
      {"/sys/class/../class/power_supply/.", true},
      {"/sys/class/power_supply/..", false},
      {copy.path(), false},
      {copy.path() + "/absent", false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(SysfsSource(c.folder).eventDescriptor() >= 0, c.watched) << c.folder;
  }
}

TEST(SysfsSourceEvents, AReopenedSocketIsFollowedByAReadingAtOnce) {
  SysfsSource kernel(SysfsSource::kDefaultFolder);
  if (kernel.eventDescriptor() < 0) GTEST_SKIP() << "no kernel-event socket here";
  kernel.tick(0);
  EXPECT_GT(kernel.secondsUntilNextLook(), 0);
  kernel.reopenEvents();
  EXPECT_GE(kernel.eventDescriptor(), 0);
  EXPECT_EQ(kernel.secondsUntilNextLook(), 0) << "events were lost: the folder is read at once";
}

// Events arrive on a descriptor that fails once (the write end of a pipe whose reader is gone
// reports POLLERR, as a netlink socket does after an overrun), then on a fresh one.
class FailingEvents : public BatterySource {
 public:
  FailingEvents() : BatterySource(1) {
    int ends[2];
    EXPECT_EQ(pipe2(ends, O_CLOEXEC), 0);
    close(ends[0]);
    fd_ = ends[1];
  }
  ~FailingEvents() override {
    close(fd_);
    if (writer_ >= 0) close(writer_);
  }
  std::optional<brimwell::Plist> tick(double) override { return std::nullopt; }
  double simulatedSeconds() const override { return 0; }
  double secondsUntilNextLook() const override { return 3600; }
  int eventDescriptor() const override { return fd_; }
  void reopenEvents() override {
    int ends[2];
    EXPECT_EQ(pipe2(ends, O_CLOEXEC), 0);
    // Under the old number, as a socket reopened after closing the old one usually is.
    EXPECT_EQ(dup3(ends[0], fd_, O_CLOEXEC), fd_);
    close(ends[0]);
    writer_ = ends[1];
    ++reopened;
  }
  void announce() { EXPECT_EQ(write(writer_, "x", 1), 1); }

  int reopened = 0;

 private:
  int fd_ = -1;
  int writer_ = -1;
};

TEST(SourcePumpEvents, AFailedEventDescriptorIsReopenedAndLookedAtOnce) {
  NSRunLoop& loop = NSRunLoop::mainRunLoop();
  FailingEvents source;
  int looks = 0, looksAfterReopening = 0;
  bool announced = false;
  SourcePump pump(source, [&](double) {
    ++looks;
    if (source.reopened == 1 && !announced) {
      looksAfterReopening = looks;
      source.announce();  // an event on the fresh descriptor
      announced = true;
    } else if (announced) {
      loop.stop();
    }
  });
  const auto guard = NSTimer::scheduledTimerWithTimeInterval(
      5, [&] { loop.stop(); }, false);
  loop.run();
  guard->invalidate();
  EXPECT_EQ(source.reopened, 1);
  EXPECT_EQ(looksAfterReopening, 2) << "the look with the error, then one at once";
  EXPECT_EQ(looks, 3) << "the event on the fresh descriptor was seen";
}

}  // namespace
}  // namespace host
