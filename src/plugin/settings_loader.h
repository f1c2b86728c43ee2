// LoadSettings: reads Morvane.ini beside the module into the plug-in's state
// and tells the host who the plug-in is (the virtual user's log-in, or the
// direct-mode connection query and channel joins).
#pragma once

#include "plugin/plugin_state.h"

namespace morvane {

// Runs on the host's thread only. False for virtual-user mode with an empty
// virtual user Name or Password, and when the host stopped the plug-in from
// inside one of the calls the load makes (the load then ends at once).
bool LoadSettings(PluginState& state);

}  // namespace morvane
