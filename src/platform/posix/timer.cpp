// The thread timer's stand-in. Windows runs a SetTimer procedure in the
// message loop of the thread that started it, so it never runs at the same
// time as an export. Here each timer has a thread of its own that takes the
// entry lock before each tick, which gives the same exclusion.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>
#include <utility>

#include "platform/platform.h"
#include "platform/program_support.h"
#include "platform/immortal.h"

namespace morvane::platform {
namespace {

using Clock = std::chrono::steady_clock;

// SetTimer raises a shorter period to USER_TIMER_MINIMUM (10 ms).
constexpr std::uint32_t kMinimumPeriodMs = 10;
constexpr std::uint32_t kMaximumPeriodMs = 0x7FFFFFFF;

struct TimerState {
  std::uint32_t period_ms = 0;
  TimerProc proc;
  std::atomic<bool> stop{false};
  std::mutex mutex;  // Guards nothing but the wake-up; stop is atomic.
  std::condition_variable wake;
  std::thread thread;  // Touched only by StartThreadTimer and KillThreadTimer.
};

// The live timers by id, and the next id. Ids start at 1 and are never
// reused, so a stale id can never kill a newer timer.
struct TimerTable {
  std::mutex mutex;  // Guards timers and next_id.
  std::map<std::uint32_t, std::shared_ptr<TimerState>> timers;
  std::uint32_t next_id = 1;
};

TimerTable& Timers() {
  // Never destroyed: a host that exits without killing its timers would
  // otherwise destroy running std::threads, which ends the process.
  static Immortal<TimerTable> table;
  return table.Get();
}

// Takes the entry lock, giving up once the timer is stopped. The thread that
// kills a timer usually holds the entry lock (an export), so the timer never
// waits for the lock without end: the kill wakes it (Notify), and it gives up.
bool LockUnlessStopped(TimerState& timer) {
  return EntryLock().LockUnless([&timer] { return timer.stop.load(); });
}

void RunTimer(const std::shared_ptr<TimerState>& timer) {
  const auto period = std::chrono::milliseconds(timer->period_ms);
  auto next_tick = Clock::now() + period;
  for (;;) {
    {
      std::unique_lock lock(timer->mutex);
      timer->wake.wait_until(lock, next_tick, [&timer] { return timer->stop.load(); });
    }
    if (timer->stop.load()) return;
    if (Clock::now() < next_tick) continue;  // Woken early without a stop.
    if (!LockUnlessStopped(*timer)) return;
    // The stop flag is looked at again under the lock: a kill that came while
    // this thread waited for the lock must not be followed by a tick.
    if (!timer->stop.load()) timer->proc();
    EntryLock().unlock();
    if (timer->stop.load()) return;
    // Like WM_TIMER, ticks that were missed while the lock was held do not
    // pile up: at most one runs late, then the rhythm starts again.
    next_tick += period;
    const auto now = Clock::now();
    if (next_tick <= now) next_tick = now + period;
  }
}

}  // namespace

std::uint32_t StartThreadTimer(std::uint32_t period_ms, TimerProc proc) {
  if (!proc) return 0;
  auto timer = std::make_shared<TimerState>();
  timer->period_ms = std::clamp(period_ms, kMinimumPeriodMs, kMaximumPeriodMs);
  timer->proc = std::move(proc);

  TimerTable& table = Timers();
  std::lock_guard lock(table.mutex);
  if (table.next_id == 0) return 0;  // All 2^32 - 1 ids have been handed out.
  try {
    timer->thread = std::thread([timer] { RunTimer(timer); });
  } catch (const std::system_error&) {
    return 0;
  }
  const std::uint32_t id = table.next_id++;
  table.timers.emplace(id, std::move(timer));
  return id;
}

void KillThreadTimer(std::uint32_t timer_id) {
  std::shared_ptr<TimerState> timer;
  {
    TimerTable& table = Timers();
    std::lock_guard lock(table.mutex);
    const auto found = table.timers.find(timer_id);
    if (found == table.timers.end()) return;
    timer = std::move(found->second);
    table.timers.erase(found);
  }
  {
    // Setting the flag under the wake mutex means the timer thread cannot
    // miss the notification between its check and its wait.
    std::lock_guard lock(timer->mutex);
    timer->stop.store(true);
  }
  timer->wake.notify_all();
  // A tick that waits for the entry lock tests the flag again.
  EntryLock().Notify();
  if (timer->thread.get_id() == std::this_thread::get_id()) {
    // Killed from its own procedure: the thread ends once the procedure
    // returns, and no later tick runs.
    timer->thread.detach();
    return;
  }
  timer->thread.join();
}

void PumpMessages(std::int32_t milliseconds) {
  // No message loop here: the timers run on their own threads.
  if (milliseconds <= 0) return;
  std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

}  // namespace morvane::platform
