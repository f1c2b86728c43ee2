// Loading the plug-in module the way a careful host does: every export
// resolved by name, a clear message naming the missing export and the file,
// and the module released on every failure path.
#pragma once

#include <string>

#include "morvane/plugin_api.h"
#include "platform/platform.h"
#include "platform/program_support.h"

namespace morvane::console_host {

struct PluginExports {
  decltype(&::PluginStart) start = nullptr;
  decltype(&::PluginStop) stop = nullptr;
  decltype(&::PluginProcess) process = nullptr;
  decltype(&::PluginGetData) get_data = nullptr;
  decltype(&::PluginShowOptions) show_options = nullptr;
  decltype(&::PluginShowAbout) show_about = nullptr;
};

// The module beside the running executable: Morvane.so, or Morvane.dll on
// Windows.
std::string DefaultModulePath();

// Loads the module and resolves all six exports. On failure the module is not
// loaded afterwards, and error holds one line naming the file and, when an
// export is missing, the export.
bool LoadPluginModule(const std::string& path, platform::LoadedModule& module,
                      PluginExports& exports, std::string& error);

// The plug-in's display name (PluginGetData code 2810), empty when it gives
// none. The answer is read like any untrusted record.
std::u16string QueryDisplayName(const PluginExports& exports);

}  // namespace morvane::console_host
