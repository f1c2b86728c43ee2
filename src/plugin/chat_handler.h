// PluginProcess: what the host tells the plug-in about the chat.
#pragma once

#include <cstdint>

#include "plugin/plugin_state.h"

namespace morvane {

// Decodes the host record of the given code (nothing at or past record_length
// is read) and acts on it. Runs on the host's thread.
void ProcessHostMessage(PluginState& state, std::int32_t code, const void* record,
                        std::int32_t record_length);

}  // namespace morvane
