// The auto-reset event, the thread with a waitable end and sleeping, on the
// standard library's threads.
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "platform/platform.h"

namespace morvane::platform {
namespace {

// Waits on the condition until done() holds or the time is up; a negative
// time waits without limit. Returns done() at the end. The lock is held.
template <typename Done>
bool WaitFor(std::condition_variable& changed, std::unique_lock<std::mutex>& lock,
             std::int32_t milliseconds, Done done) {
  if (milliseconds < 0) {
    changed.wait(lock, done);
    return true;
  }
  return changed.wait_for(lock, std::chrono::milliseconds(milliseconds), done);
}

}  // namespace

// ---------------------------------------------------------------------------
// AutoResetEvent

struct AutoResetEvent::State {
  std::mutex mutex;  // Guards signalled.
  std::condition_variable changed;
  bool signalled = false;
};

AutoResetEvent::AutoResetEvent() : state_(std::make_unique<State>()) {}

AutoResetEvent::~AutoResetEvent() = default;

void AutoResetEvent::Set() {
  {
    std::lock_guard lock(state_->mutex);
    state_->signalled = true;
  }
  // One waiter is released per signal, as with an auto-reset event.
  state_->changed.notify_one();
}

bool AutoResetEvent::Wait(std::int32_t milliseconds) {
  std::unique_lock lock(state_->mutex);
  if (!WaitFor(state_->changed, lock, milliseconds, [this] { return state_->signalled; })) {
    return false;
  }
  // The wait that sees the signal consumes it.
  state_->signalled = false;
  return true;
}

// ---------------------------------------------------------------------------
// Thread

namespace {

// What the body's thread shares with the handle. The thread itself keeps this
// alive rather than the handle's State, so that a thread outliving its handle
// never destroys the std::thread it runs on.
struct EndSignal {
  std::mutex mutex;  // Guards ended.
  std::condition_variable changed;
  bool ended = false;
};

}  // namespace

struct Thread::State {
  std::shared_ptr<EndSignal> end = std::make_shared<EndSignal>();
  std::thread thread;

  ~State() {
    if (!thread.joinable()) return;
    if (thread.get_id() == std::this_thread::get_id()) {
      thread.detach();
      return;
    }
    // A handle dropped while the body still runs lets the thread go on alone,
    // as closing a Windows thread handle does: the plug-in waits a bounded
    // time for its worker when it stops and must then return to the host,
    // neither blocking it nor ending the process (std::thread's destructor
    // would call std::terminate).
    bool ended = false;
    {
      std::lock_guard lock(end->mutex);
      ended = end->ended;
    }
    if (ended) {
      thread.join();
    } else {
      thread.detach();
    }
  }
};

Thread::Thread(std::function<void()> body) : state_(std::make_shared<State>()) {
  state_->thread = std::thread([end = state_->end, body = std::move(body)] {
    if (body) body();
    {
      std::lock_guard lock(end->mutex);
      end->ended = true;
    }
    end->changed.notify_all();
  });
}

Thread::~Thread() = default;

Thread::Thread(Thread&&) noexcept = default;

Thread& Thread::operator=(Thread&&) noexcept = default;

bool Thread::WaitForEnd(std::int32_t milliseconds) {
  // A handle that never started a thread has nothing left to wait for.
  if (!state_) return true;
  EndSignal& end = *state_->end;
  std::unique_lock lock(end.mutex);
  return WaitFor(end.changed, lock, milliseconds, [&end] { return end.ended; });
}

void SleepMilliseconds(std::int32_t milliseconds) {
  // Sleep takes a DWORD: a negative value is a very long (INFINITE) sleep.
  std::this_thread::sleep_for(std::chrono::milliseconds(static_cast<std::uint32_t>(milliseconds)));
}

}  // namespace morvane::platform
