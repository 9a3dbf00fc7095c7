#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <thread>

#include "xps2img/conversion/watchdog.h"

namespace {

using namespace std::chrono_literals;
using Clock = Watchdog::Clock;

// Every action runs at its own time whatever the order it was watched in and whatever was
// cancelled before it: the watchdog sleeps until the earliest action it knows of, so one due
// sooner must wake it, and one cancelled must not keep the next from running.
TEST(Watchdog, ActionsRunAtTheirTimeUnlessCancelled) {
  Watchdog watchdog;
  auto start = Clock::now();
  auto ranAfter = [start](std::promise<Clock::duration>& ran) {
    return [&ran, start] { ran.set_value(Clock::now() - start); };
  };

  // Watched far off first, then one due soon: the soon one does not wait for the far one.
  std::promise<Clock::duration> far, soon;
  auto farId = watchdog.Watch(start + 60s, ranAfter(far));
  std::this_thread::sleep_for(100ms);  // the watchdog is asleep until the far one
  watchdog.Watch(start + 150ms, ranAfter(soon));
  auto soonRan = soon.get_future();
  ASSERT_EQ(soonRan.wait_for(20s), std::future_status::ready);
  EXPECT_GE(soonRan.get(), 150ms);

  // The action being waited for is cancelled and a later one watched: the later one runs.
  std::atomic<bool> cancelledRan = false;
  auto cancelled = watchdog.Watch(Clock::now() + 100ms, [&cancelledRan] { cancelledRan = true; });
  std::promise<Clock::duration> later;
  watchdog.Watch(Clock::now() + 300ms, ranAfter(later));
  watchdog.Cancel(cancelled);
  auto laterRan = later.get_future();
  ASSERT_EQ(laterRan.wait_for(20s), std::future_status::ready);
  EXPECT_GE(laterRan.get(), 300ms);
  EXPECT_FALSE(cancelledRan);

  // Nothing waiting: a new action wakes the watchdog.
  watchdog.Cancel(farId);
  std::this_thread::sleep_for(100ms);
  std::promise<Clock::duration> alone;
  watchdog.Watch(Clock::now() + 10ms, ranAfter(alone));
  EXPECT_EQ(alone.get_future().wait_for(20s), std::future_status::ready);
}

}  // namespace
