// The one-second event timer that fires the periodic events.
#pragma once

#include "plugin/plugin_state.h"

namespace morvane {

// Starts the timer (period 1000 ms) and stores its id; stops a running one
// first, so there is never more than one. Its procedure works on the given
// state, which must outlive the timer: StopEventTimer ends it.
void StartEventTimer(PluginState& state);
// Kills the timer when one runs; its id becomes 0.
void StopEventTimer(PluginState& state);

// The timer's procedure: queues every periodic event that is due, while the
// plug-in's user is online.
void EventTimerProc(PluginState& state);

}  // namespace morvane
