// The five exports other than PluginProcess, as the core implements them. The
// export shims (exports.cpp) hold the entry lock and catch everything; these
// functions assume the host's thread.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "morvane/plugin_api.h"

namespace morvane {

std::int32_t StartPlugin(std::int32_t plugin_id, MorvaneHostCallback callback,
                         MorvaneHostQuery query);
void StopPlugin();
// The answer for a data code; size is what the host said its buffer holds.
std::int32_t GetPluginData(std::int32_t code, void* buffer, std::int32_t size);
void ShowPluginOptions();
std::int32_t ShowPluginAbout();

// The directory of the module file with a trailing path delimiter.
std::u16string ComputeModuleDirectory();
// Tests that link the core run inside their own executable, whose folder they
// share: they point the plug-in at a folder of their own. Empty restores the
// module's folder.
void SetModuleDirectoryForTesting(std::u16string directory);
// Tests of the queue and of chat handling look at queued requests: they start
// the plug-in without its worker.
void SetWorkerEnabledForTesting(bool enabled);

inline constexpr char16_t kDisplayName[] = u"Morvane";
inline constexpr char16_t kAboutText[] =
    u"Morvane v1.08\r\n"
    u"Game-server queries for your chat: Source, Quake 3 family, SA-MP and TCP.\r\n"
    u"Settings: Morvane.ini beside the plug-in.";

}  // namespace morvane
