// JoinChannels: brings the plug-in's user into the configured channels
// whenever the host reports it connected.
#pragma once

#include "plugin/plugin_state.h"

namespace morvane {

// Direct mode: code 67 for every piece of "Channels". Virtual-user mode: code
// 1026 for every piece, then code 1027 for every channel that the host lists
// for the virtual user (query 1080) and that no piece names exactly. False
// when the host stopped the plug-in from inside one of these calls: nothing
// more is sent, and the caller must do nothing more either.
[[nodiscard]] bool JoinChannels(const PluginState& state);

}  // namespace morvane
