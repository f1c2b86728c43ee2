// Events and threads on Windows.
#include <process.h>
#include <windows.h>

#include <exception>
#include <utility>

#include "platform/platform.h"

namespace morvane::platform {
namespace {

DWORD ToWaitTime(std::int32_t milliseconds) {
  return milliseconds < 0 ? INFINITE : static_cast<DWORD>(milliseconds);
}

}  // namespace

// ---------------------------------------------------------------------------
// AutoResetEvent

struct AutoResetEvent::State {
  HANDLE event = nullptr;
};

AutoResetEvent::AutoResetEvent() : state_(std::make_unique<State>()) {
  state_->event = CreateEventW(nullptr, FALSE, FALSE, nullptr);
  if (state_->event == nullptr) {
    // An event is a handful of bytes of kernel memory; a process that cannot
    // get one has no way to go on that the callers could take.
    std::terminate();
  }
}

AutoResetEvent::~AutoResetEvent() { CloseHandle(state_->event); }

void AutoResetEvent::Set() { SetEvent(state_->event); }

bool AutoResetEvent::Wait(std::int32_t milliseconds) {
  return WaitForSingleObject(state_->event, ToWaitTime(milliseconds)) == WAIT_OBJECT_0;
}

// ---------------------------------------------------------------------------
// Thread

// Shared by the Thread object and the running thread, so the body stays alive
// for the thread even when the object is dropped and the thread detached. The
// handle is closed when the last of the two lets go.
struct Thread::State {
  std::function<void()> body;
  HANDLE handle = nullptr;

  ~State() {
    if (handle != nullptr) {
      CloseHandle(handle);
    }
  }
};

namespace {

// _beginthreadex rather than CreateThread, so the C runtime sets up its
// per-thread data for the body.
unsigned __stdcall RunThreadBody(void* parameter) {
  // The thread's own start routine, handed over by the creator; it holds the
  // thread's reference to the shared state.
  const std::unique_ptr<std::function<void()>> run(static_cast<std::function<void()>*>(parameter));
  try {
    (*run)();
  } catch (...) {
    // No exception may leave a Windows thread procedure; std::thread ends the
    // process in the same case.
    std::terminate();
  }
  return 0;
}

}  // namespace

Thread::Thread(std::function<void()> body) : state_(std::make_shared<State>()) {
  state_->body = std::move(body);
  // The body's captures are let go as soon as it returns, as std::thread does,
  // not only when the last handle goes; only this thread touches it after
  // the start.
  auto run = std::make_unique<std::function<void()>>([state = state_] {
    state->body();
    state->body = nullptr;
  });
  // Created suspended, so the handle is stored before the body can run.
  const std::uintptr_t handle =
      _beginthreadex(nullptr, 0, RunThreadBody, run.get(), CREATE_SUSPENDED, nullptr);
  if (handle == 0) {
    state_.reset();
    return;
  }
  run.release();
  state_->handle = reinterpret_cast<HANDLE>(handle);
  ResumeThread(state_->handle);
}

Thread::~Thread() = default;
Thread::Thread(Thread&&) noexcept = default;
Thread& Thread::operator=(Thread&&) noexcept = default;

bool Thread::WaitForEnd(std::int32_t milliseconds) {
  if (state_ == nullptr) {
    return true;
  }
  return WaitForSingleObject(state_->handle, ToWaitTime(milliseconds)) == WAIT_OBJECT_0;
}

void SleepMilliseconds(std::int32_t milliseconds) { Sleep(milliseconds < 0 ? 0 : milliseconds); }

}  // namespace morvane::platform
