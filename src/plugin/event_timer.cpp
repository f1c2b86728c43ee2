#include "plugin/event_timer.h"

#include "common/date_time.h"
#include "platform/platform.h"
#include "plugin/add_scan_item.h"

namespace morvane {

namespace {

// The system calls the procedure from its message loop (or the POSIX
// stand-in's timer thread): nothing may escape into it.
void GuardedEventTimerProc(PluginState& state) noexcept {
  try {
    EventTimerProc(state);
  } catch (...) {
  }
}

}  // namespace

void StartEventTimer(PluginState& state) {
  StopEventTimer(state);
  state.timer_id = platform::StartThreadTimer(1000, [&state] { GuardedEventTimerProc(state); });
}

void StopEventTimer(PluginState& state) {
  if (state.timer_id == 0) return;
  platform::KillThreadTimer(state.timer_id);
  state.timer_id = 0;
}

void EventTimerProc(PluginState& state) {
  if (!state.online) return;
  for (TEvent& event : state.event_table) {
    if (event.EventType != event_type::kPeriodic) continue;
    const double now = platform::NowDateTime();
    // A negative Delay never holds an event back: it fires at every tick.
    if (event.LastUse != 0 &&
        WholeSecondsBetween(now, event.LastUse) < static_cast<std::int64_t>(event.Delay)) {
      continue;
    }
    AddScanItem(state, event.Game, EventRequest(event, event.ChOrUser, state.settings));
    // Set whether or not the queue took the request: a refused one waits a
    // whole interval.
    event.LastUse = now;
  }
}

}  // namespace morvane
