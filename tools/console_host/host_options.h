// The console host's command line.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "chat_records.h"

namespace morvane::console_host {

struct HostOptions {
  std::string module_path;  // empty: the module beside the host executable
  HostMode mode = HostMode::kDirect;
  std::string user = "host";  // the host's own user, who speaks in direct mode
  bool offline = false;       // the host's user starts disconnected
  std::string script_path;    // empty: standard input
  std::int32_t plugin_id = 1;
  std::vector<std::string> virtual_user_channels;  // listed in the answer to query 1080
  bool help = false;
};

// Parses the arguments after the program name. On a bad argument returns
// nothing and sets error to a one-line reason.
std::optional<HostOptions> ParseHostOptions(const std::vector<std::string>& args,
                                            std::string& error);

// The --help text, ending in a line break.
std::string HostUsage();

}  // namespace morvane::console_host
