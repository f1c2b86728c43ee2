// morvane-irc's command line.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace morvane::irc {

struct IrcOptions {
  std::string host;
  std::uint16_t port = 0;  // 0 until parsed: 6667, or 6697 with --tls
  std::string nick;
  std::string module_path;  // empty: the module beside the program
  bool virtual_mode = false;
  std::string trigger = "!";
  bool tls = false;
  std::string password;
  std::string realname = "Morvane game-server queries";
  bool help = false;
};

// Parses the arguments after the program name. On a bad argument returns
// nothing and sets error to a one-line reason.
std::optional<IrcOptions> ParseIrcOptions(const std::vector<std::string>& args, std::string& error);

// The --help text, ending in a line break.
std::string IrcUsage();

}  // namespace morvane::irc
