// LoadSettings: reads Morvane.ini beside the module into the plug-in's state
// and tells the host who the plug-in is (the virtual user's log-in, or the
// direct-mode connection query and channel joins).
#pragma once

namespace morvane {

// Runs on the host's thread only. False in exactly one case: virtual-user mode
// with an empty virtual user Name or Password.
bool LoadSettings();

}  // namespace morvane
