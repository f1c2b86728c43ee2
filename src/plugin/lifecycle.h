// The five exports other than PluginProcess, as the core implements them. The
// export shims (exports.cpp) hold the entry lock and catch everything; these
// functions assume the host's thread.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "morvane/plugin_api.h"
#include "plugin/plugin_state.h"

namespace morvane {

std::int32_t StartPlugin(PluginState& state, std::int32_t plugin_id, MorvaneHostCallback callback,
                         MorvaneHostQuery query);
void StopPlugin(PluginState& state);
// The answer for a data code; size is what the host said its buffer holds.
std::int32_t GetPluginData(std::int32_t code, void* buffer, std::int32_t size);
void ShowPluginOptions(PluginState& state);
std::int32_t ShowPluginAbout();

// The directory of the module file with a trailing path delimiter (or the
// tests' folder, when they set one).
std::u16string ComputeModuleDirectory(const PluginState& state);

inline constexpr char16_t kDisplayName[] = u"Morvane";
inline constexpr char16_t kAboutText[] =
    u"Morvane v1.08\r\n"
    u"Game-server queries for your chat: Source, Quake 3 family, SA-MP and TCP.\r\n"
    u"Settings: Morvane.ini beside the plug-in.";

}  // namespace morvane
