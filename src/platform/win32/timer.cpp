// The thread timer on Windows: SetTimer with no window, so its procedure runs
// in the message loop of the thread that started it (the host's thread, the
// same thread that runs the exports), and a message pump for threads that have
// no loop of their own (the console host and the tests).
#include <windows.h>

#include <map>
#include <utility>

#include "platform/platform.h"
#include "platform/program_support.h"

namespace morvane::platform {
namespace {

// Running timers by the id SetTimer gave them. KillTimer leaves a WM_TIMER
// that is already queued in place, so the trampoline looks the id up and a
// killed timer's late message finds nothing to run. Guarded by TimerTableLock.
std::map<UINT_PTR, TimerProc>& TimerTable() {
  static std::map<UINT_PTR, TimerProc> table;
  return table;
}

std::mutex& TimerTableLock() {
  static std::mutex lock;
  return lock;
}

// The procedure runs on the thread that dispatches the message, which is the
// thread that runs the exports; it must not take the entry lock (the exports
// hold it while a nested loop may dispatch) and needs none.
void CALLBACK TimerProcTrampoline(HWND, UINT, UINT_PTR id, DWORD) {
  TimerProc proc;
  {
    const std::lock_guard guard(TimerTableLock());
    const auto found = TimerTable().find(id);
    if (found == TimerTable().end()) {
      return;
    }
    // A copy: the procedure may kill its own timer, which erases the entry.
    proc = found->second;
  }
  proc();
}

}  // namespace

std::uint32_t StartThreadTimer(std::uint32_t period_ms, TimerProc proc) {
  if (!proc) {
    return 0;
  }
  // The table lock is held across SetTimer so that no tick can look the new
  // id up before it is in the table; a tick is only dispatched by this thread
  // anyway, so this is belt and braces.
  const std::lock_guard guard(TimerTableLock());
  const UINT_PTR id = SetTimer(nullptr, 0, period_ms, TimerProcTrampoline);
  if (id == 0) {
    return 0;
  }
  TimerTable()[id] = std::move(proc);
  return static_cast<std::uint32_t>(id);
}

void KillThreadTimer(std::uint32_t timer_id) {
  if (timer_id == 0) {
    return;
  }
  KillTimer(nullptr, timer_id);
  const std::lock_guard guard(TimerTableLock());
  TimerTable().erase(timer_id);
}

void PumpMessages(std::int32_t milliseconds) {
  // GetTickCount64 does not wrap, so the deadline arithmetic is plain.
  const ULONGLONG deadline =
      GetTickCount64() + static_cast<ULONGLONG>(milliseconds < 0 ? 0 : milliseconds);
  for (;;) {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
      if (message.message == WM_QUIT) {
        // The quit request belongs to the thread's real loop: post it again
        // for that loop and stop pumping, as a nested loop should.
        PostQuitMessage(static_cast<int>(message.wParam));
        return;
      }
      TranslateMessage(&message);
      DispatchMessageW(&message);
    }
    const ULONGLONG now = GetTickCount64();
    if (now >= deadline) {
      return;
    }
    MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(deadline - now), QS_ALLINPUT);
  }
}

}  // namespace morvane::platform
