// The plug-in's state: one object per loaded module, owned by the exports
// (exports.cpp) and passed down to everything they call. Tests that link the
// core make one of their own.
//
// Ownership. The host's thread (every export, the settings load, channel
// joining and the event timer's procedure, which never runs beside an export)
// alone reads and writes everything here. The worker thread touches none of
// it but the request queue, which has its own lock and which the worker
// shares: what else it needs travels in each request, and the host link keeps
// its own copies behind its own locks (host/host_link.h).
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "scan/game_scan.h"
#include "scan/request_queue.h"
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

  // The request queue, shared with the worker.
  const std::shared_ptr<RequestQueue> queue = std::make_shared<RequestQueue>();
  WorkerHandle worker;
  // Whether PluginStart started the socket library, for PluginStop to stop.
  bool socket_library_started = false;

  // Tests that link the core run inside their own executable, whose folder
  // they share: they point the plug-in at a folder of their own (empty: the
  // module's folder).
  std::u16string module_directory_for_testing;
  // Tests of the queue and of chat handling look at queued requests: they
  // start the plug-in without its worker.
  bool worker_enabled_for_testing = true;
};

}  // namespace morvane
