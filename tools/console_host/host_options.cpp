#include "host_options.h"

#include <charconv>

namespace morvane::console_host {

std::optional<HostOptions> ParseHostOptions(const std::vector<std::string>& args,
                                            std::string& error) {
  HostOptions options;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg == "--help" || arg == "-h") {
      options.help = true;
      continue;
    }
    if (arg == "--offline") {
      options.offline = true;
      continue;
    }
    bool takes_value = arg == "--module" || arg == "--mode" || arg == "--user" ||
                       arg == "--script" || arg == "--id" || arg == "--vu-channel";
    if (!takes_value) {
      error = "unknown option \"" + arg + "\" (see --help)";
      return std::nullopt;
    }
    if (i + 1 >= args.size()) {
      error = arg + " needs a value (see --help)";
      return std::nullopt;
    }
    const std::string& value = args[++i];
    if (arg == "--module") {
      options.module_path = value;
    } else if (arg == "--mode") {
      if (value != "direct" && value != "virtual") {
        error = "--mode takes direct or virtual, not \"" + value + "\"";
        return std::nullopt;
      }
      options.mode = value == "virtual" ? HostMode::kVirtualUser : HostMode::kDirect;
    } else if (arg == "--user") {
      if (value.empty()) {
        error = "--user needs a name";
        return std::nullopt;
      }
      options.user = value;
    } else if (arg == "--script") {
      options.script_path = value;
    } else if (arg == "--id") {
      std::int32_t id = 0;
      auto [next, status] = std::from_chars(value.data(), value.data() + value.size(), id);
      if (value.empty() || status != std::errc() || next != value.data() + value.size()) {
        error = "--id takes a 32-bit integer, not \"" + value + "\"";
        return std::nullopt;
      }
      options.plugin_id = id;
    } else {
      options.virtual_user_channels.push_back(value);
    }
  }
  return options;
}

std::string HostUsage() {
  return R"(usage: morvane-host [options]

Loads the Morvane plug-in module, plays its chat host and prints every call
the plug-in makes as a chat line. Chat lines are read from standard input or
from a script file.

options:
  --module PATH       the module to load (default: Morvane.so, or Morvane.dll
                      on Windows, beside this program)
  --mode MODE         direct: the plug-in speaks as the host's user (default);
                      virtual: it logs in a virtual user of its own
  --user NAME         the host's own user name, who speaks in direct mode
                      (default: host)
  --offline           the host's user starts disconnected
  --script FILE       read the chat lines from FILE instead of standard input
  --id N              the plug-in id handed to PluginStart (default: 1)
  --vu-channel NAME   a channel the host already lists for the virtual user
                      (repeatable), so the plug-in leaves the ones it does not
                      want
  --help              this text

input lines:
  #main alice: text   a channel message from alice in #main
  @alice: text        a private message from alice to the plug-in's user
  alice(10.0.0.5)     a sender may carry an address text (default: N/A)
  !online [NAME]      the plug-in's user (or, in virtual mode, NAME) connects
  !offline [NAME]     ... or disconnects
  !wait SECONDS       let replies and timers arrive (fractions allowed)
  !about  !options    call PluginShowAbout or PluginShowOptions
  !quit               stop (as does the end of the input)
  // comment          blank lines and comments are ignored

output: "> " echoes an input line, "-- " is the host's own note, "[#chan]",
"[@user]" and "* " lines are the plug-in's calls; "  | " continues a
multi-line message.

exit status: 0 after a normal run, 1 when the plug-in refused to start,
2 for a bad command line or a module that cannot be loaded.
)";
}

}  // namespace morvane::console_host
