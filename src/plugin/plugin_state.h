// The plug-in's global state: one instance per loaded module.
//
// Ownership. The host's thread (every export, the settings load, channel
// joining and the event timer's procedure, which never runs beside an export)
// alone reads and writes everything here. The worker thread touches none of
// it: what it needs travels in each request, and the host link keeps its own
// copies behind its own locks (host/host_link.h).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "settings/settings_values.h"

namespace morvane {

// The virtual user's Name, IP and Password as last logged in with the host;
// empty before the first log-in.
struct VirtualUserIdentity {
  std::u16string Name;
  std::u16string IP;
  std::u16string Password;
};

struct PluginState {
  // Directory of the module file, ending in a path delimiter; empty until
  // first computed.
  std::u16string module_directory;
  bool online = false;
  // The event timer's id, 0 when no timer runs.
  std::uint32_t timer_id = 0;
  // Present between a load and PluginStop.
  std::optional<std::vector<std::u16string>> admin_list;
  std::vector<TEvent> event_table;
  MainSettings settings = DefaultMainSettings();
  VirtualUserIdentity identity;
  // Date-time of the last accepted "/gs " command; 0 = none yet.
  double last_scan_command_time = 0;
  // Whether a settings file has been read since the plug-in started, so that
  // a file that exists but cannot be read keeps what the last load set.
  bool settings_read = false;
};

PluginState& Plugin();

}  // namespace morvane
