// The entry lock, the same on both builds: a recursive lock made of a mutex
// and a condition, so that a thread can wait for the lock and for a change of
// something else at once, which no system lock offers.
#include "platform/immortal.h"
#include "platform/platform.h"

namespace morvane::platform {

void ReentrantLock::lock() {
  const std::thread::id me = std::this_thread::get_id();
  std::unique_lock lock(mutex_);
  changed_.wait(lock, [this, me] { return FreeFor(me); });
  TakeFor(me);
}

bool ReentrantLock::try_lock() {
  const std::thread::id me = std::this_thread::get_id();
  std::lock_guard lock(mutex_);
  if (!FreeFor(me)) return false;
  TakeFor(me);
  return true;
}

void ReentrantLock::unlock() {
  {
    std::lock_guard lock(mutex_);
    if (--depth_ == 0) owner_ = std::thread::id();
  }
  changed_.notify_all();
}

bool ReentrantLock::LockUnless(const std::function<bool()>& give_up) {
  const std::thread::id me = std::this_thread::get_id();
  std::unique_lock lock(mutex_);
  bool gave_up = false;
  changed_.wait(lock, [&] {
    gave_up = give_up();
    return gave_up || FreeFor(me);
  });
  if (gave_up) return false;
  TakeFor(me);
  return true;
}

bool ReentrantLock::WaitUntil(const std::function<bool()>& done,
                              std::chrono::steady_clock::time_point deadline) {
  std::unique_lock lock(mutex_);
  return changed_.wait_until(lock, deadline, done);
}

void ReentrantLock::Notify() {
  // Taken and let go at once: a waiter that has tested but not yet begun to
  // wait holds the mutex, so the notification cannot slip in between.
  { std::lock_guard lock(mutex_); }
  changed_.notify_all();
}

ReentrantLock& EntryLock() {
  // Never destroyed: a timer thread or a detached worker may still take it
  // while the process runs its exit handlers.
  static Immortal<ReentrantLock> lock;
  return lock.Get();
}

}  // namespace morvane::platform
