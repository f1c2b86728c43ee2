// The one-second event timer that fires the periodic events.
#pragma once

namespace morvane {

// Starts the timer (period 1000 ms) and stores its id; stops a running one
// first, so there is never more than one.
void StartEventTimer();
// Kills the timer when one runs; its id becomes 0.
void StopEventTimer();

// The timer's procedure: queues every periodic event that is due, while the
// plug-in's user is online.
void EventTimerProc();

}  // namespace morvane
