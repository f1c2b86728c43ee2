// morvane-ini's command line: one command and its paths.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace morvane::ini {

struct IniCommand {
  enum class Kind { kHelp, kCheck, kWrite };
  Kind kind = Kind::kHelp;
  std::string input;   // check: the file to inspect; write: the file to read
  std::string output;  // write: the file to write
};

// Reads the arguments (without the program name). On a bad command line
// returns nothing with a one-line reason in error.
std::optional<IniCommand> ParseIniCommandLine(const std::vector<std::string>& args,
                                              std::string& error);

std::string IniUsage();

}  // namespace morvane::ini
