// The thread timer, the entry lock, the auto-reset event and the thread.
//
// On Windows a timer procedure runs only while the thread that started the
// timer dispatches messages, so every wait for ticks here is PumpMessages,
// and timers are started and killed on the test's own thread.
#include <atomic>
#include <chrono>
#include <memory>
#include <thread>

#include <gtest/gtest.h>

#include "platform/platform.h"
#include "platform/program_support.h"

namespace morvane::platform {
namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

constexpr std::uint32_t kPeriodMs = 50;
constexpr milliseconds kEarlyMargin{60};

// What the timer procedures count.
std::atomic<int> ticks{0};
std::atomic<int> other_ticks{0};
std::atomic<std::uint32_t> self_killing_id{0};

void CountTick() { ++ticks; }
void CountOtherTick() { ++other_ticks; }
void KillOwnTimer() {
  ++ticks;
  KillThreadTimer(self_killing_id.load());
}

// Pumps messages until the count reaches at least `target`, for at most
// five seconds. Returns the count.
int PumpUntil(const std::atomic<int>& count, int target) {
  const auto give_up = Clock::now() + std::chrono::seconds(5);
  while (count.load() < target && Clock::now() < give_up) PumpMessages(10);
  return count.load();
}

class ThreadTimerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ticks = 0;
    other_ticks = 0;
  }
};

TEST_F(ThreadTimerTest, TicksAboutOnceAPeriodUntilKilled) {
  const std::uint32_t id = StartThreadTimer(kPeriodMs, &CountTick);
  ASSERT_NE(id, 0u);
  const auto start = Clock::now();
  EXPECT_GE(PumpUntil(ticks, 3), 3);
  // Three ticks cannot come before three periods have passed.
  EXPECT_GE(Clock::now() - start, milliseconds(3 * kPeriodMs) - kEarlyMargin);
  KillThreadTimer(id);

  const int after_kill = ticks.load();
  PumpMessages(4 * kPeriodMs);
  EXPECT_EQ(ticks.load(), after_kill);
}

// Nothing is pumped while the lock is held (a sleep instead): on Windows the
// procedure runs on this thread and would pass the recursive lock; here the
// timer thread must stay out while this thread holds it.
TEST_F(ThreadTimerTest, NeverTicksWhileTheEntryLockIsHeld) {
  const std::uint32_t id = StartThreadTimer(kPeriodMs, &CountTick);
  ASSERT_NE(id, 0u);
  ASSERT_GE(PumpUntil(ticks, 1), 1);
  int held_count = 0;
  {
    std::lock_guard lock(EntryLock());
    held_count = ticks.load();
    SleepMilliseconds(3 * kPeriodMs);
    EXPECT_EQ(ticks.load(), held_count);
  }
  // Once the lock is free the ticks come again.
  EXPECT_GT(PumpUntil(ticks, held_count + 1), held_count);
  KillThreadTimer(id);
}

// An export that stops the timer holds the entry lock while it does; the
// timer, waiting for the same lock, must let the kill finish.
TEST_F(ThreadTimerTest, KillWhileHoldingTheEntryLockReturns) {
  const std::uint32_t id = StartThreadTimer(10, &CountTick);
  ASSERT_NE(id, 0u);
  ASSERT_GE(PumpUntil(ticks, 1), 1);
  int killed_at = 0;
  {
    std::lock_guard lock(EntryLock());
    // Give the timer time to start waiting for the lock.
    SleepMilliseconds(50);
    KillThreadTimer(id);
    killed_at = ticks.load();
  }
  PumpMessages(100);
  EXPECT_EQ(ticks.load(), killed_at);
}

TEST_F(ThreadTimerTest, TimersAreIndependentAndIdsAreNotReused) {
  const std::uint32_t first = StartThreadTimer(kPeriodMs, &CountTick);
  const std::uint32_t second = StartThreadTimer(kPeriodMs, &CountOtherTick);
  ASSERT_NE(first, 0u);
  ASSERT_NE(second, 0u);
  EXPECT_NE(first, second);

  KillThreadTimer(first);
  KillThreadTimer(first);  // A second kill of the same id does nothing.
  KillThreadTimer(0);
  const int first_count = ticks.load();
  const int second_count = other_ticks.load();
  EXPECT_GT(PumpUntil(other_ticks, second_count + 2), second_count + 1);
  EXPECT_EQ(ticks.load(), first_count);

  const std::uint32_t third = StartThreadTimer(kPeriodMs, &CountTick);
  EXPECT_NE(third, first);
  EXPECT_NE(third, second);
  KillThreadTimer(second);
  KillThreadTimer(third);
}

TEST_F(ThreadTimerTest, ProcedureMayKillItsOwnTimer) {
  {
    // Held so that no tick can come before the id is stored.
    std::lock_guard lock(EntryLock());
    self_killing_id = StartThreadTimer(20, &KillOwnTimer);
  }
  ASSERT_NE(self_killing_id.load(), 0u);
  EXPECT_GE(PumpUntil(ticks, 1), 1);
  PumpMessages(150);
  EXPECT_EQ(ticks.load(), 1);
  KillThreadTimer(self_killing_id.load());  // Already gone: nothing happens.
}

TEST(EntryLockTest, IsRecursiveAndExcludesOtherThreads) {
  auto& lock = EntryLock();
  lock.lock();
  ASSERT_TRUE(lock.try_lock());  // The same thread again.
  bool other_got_it = true;
  std::thread other([&] {
    other_got_it = lock.try_lock();
    if (other_got_it) lock.unlock();
  });
  other.join();
  EXPECT_FALSE(other_got_it);
  lock.unlock();
  lock.unlock();
}

// A thread that may not wait for the lock without end gives up once its test
// holds (Notify makes it test again), and takes the lock once it is let go;
// WaitUntil ends on a Notify after the change it waits for, or at its deadline.
TEST(EntryLockTest, WaitersGiveUpWhenToldAndTakeTheLockWhenItIsLetGo) {
  auto& lock = EntryLock();
  std::atomic<bool> give_up{false};
  std::atomic<int> took{-1};
  auto waiter = [&] {
    took = lock.LockUnless([&give_up] { return give_up.load(); }) ? 1 : 0;
    if (took == 1) lock.unlock();
  };
  for (const bool told : {true, false}) {
    give_up = false;
    took = -1;
    lock.lock();
    std::thread other(waiter);
    SleepMilliseconds(50);
    EXPECT_EQ(took.load(), -1) << "still waiting";
    if (told) {
      give_up = true;
      lock.Notify();
    }
    lock.unlock();
    other.join();
    EXPECT_EQ(took.load(), told ? 0 : 1);
  }

  std::atomic<bool> done{false};
  std::thread setter([&] {
    SleepMilliseconds(50);
    done = true;
    lock.Notify();
  });
  EXPECT_TRUE(lock.WaitUntil([&done] { return done.load(); }, Clock::now() + milliseconds(5000)));
  setter.join();
  EXPECT_FALSE(lock.WaitUntil([] { return false; }, Clock::now() + milliseconds(20)));
}

TEST(AutoResetEventTest, EachSignalReleasesOneWait) {
  AutoResetEvent event;
  EXPECT_FALSE(event.Wait(0));
  event.Set();
  event.Set();  // Signals do not add up.
  EXPECT_TRUE(event.Wait(0));
  EXPECT_FALSE(event.Wait(0));

  const auto start = Clock::now();
  EXPECT_FALSE(event.Wait(200));
  EXPECT_GE(Clock::now() - start, milliseconds(200) - kEarlyMargin);
}

TEST(AutoResetEventTest, SignalFromAnotherThreadEndsAnUnlimitedWait) {
  AutoResetEvent event;
  std::thread setter([&event] {
    std::this_thread::sleep_for(milliseconds(100));
    event.Set();
  });
  EXPECT_TRUE(event.Wait(kInfinite));
  setter.join();
  EXPECT_FALSE(event.Wait(0));
}

TEST(ThreadTest, EndCanBeWaitedForAndStaysKnownAfterwards) {
  auto release = std::make_shared<AutoResetEvent>();
  Thread thread([release] { release->Wait(5000); });
  ASSERT_TRUE(thread.Started());
  EXPECT_FALSE(thread.WaitForEnd(0));
  EXPECT_FALSE(thread.WaitForEnd(50));
  release->Set();
  EXPECT_TRUE(thread.WaitForEnd(5000));
  EXPECT_TRUE(thread.WaitForEnd(0));
  EXPECT_TRUE(thread.WaitForEnd(kInfinite));

  // A moved handle still waits for the same thread.
  Thread moved = std::move(thread);
  EXPECT_TRUE(moved.WaitForEnd(0));
}

// The plug-in waits a bounded time for its worker and then lets the handle
// go; the thread must run on to its end on its own.
TEST(ThreadTest, DroppedHandleLetsTheBodyFinish) {
  auto release = std::make_shared<AutoResetEvent>();
  auto finished = std::make_shared<AutoResetEvent>();
  {
    Thread thread([release, finished] {
      release->Wait(5000);
      finished->Set();
    });
    EXPECT_FALSE(thread.WaitForEnd(20));
  }
  release->Set();
  EXPECT_TRUE(finished->Wait(5000));
}

}  // namespace
}  // namespace morvane::platform
