#include "ini_command_line.h"

namespace morvane::ini {

std::optional<IniCommand> ParseIniCommandLine(const std::vector<std::string>& args,
                                              std::string& error) {
  if (args.empty()) {
    error = "no command given";
    return std::nullopt;
  }
  const std::string& verb = args.front();
  if (verb == "help" || verb == "--help" || verb == "-h") {
    if (args.size() != 1) {
      error = "\"" + verb + "\" takes no arguments";
      return std::nullopt;
    }
    return IniCommand{};
  }
  if (verb == "check" || verb == "--check-ini") {
    if (args.size() != 2) {
      error = "\"" + verb + "\" takes one path: the settings file to inspect";
      return std::nullopt;
    }
    return IniCommand{IniCommand::Kind::kCheck, args[1], {}};
  }
  if (verb == "write" || verb == "--write-ini") {
    if (args.size() != 3) {
      error = "\"" + verb + "\" takes two paths: the file to read and the file to write";
      return std::nullopt;
    }
    return IniCommand{IniCommand::Kind::kWrite, args[1], args[2]};
  }
  error = "unknown command \"" + verb + "\"";
  return std::nullopt;
}

std::string IniUsage() {
  return "usage: morvane-ini check PATH       (also: --check-ini PATH)\n"
         "       morvane-ini write IN OUT     (also: --write-ini IN OUT)\n"
         "       morvane-ini help\n"
         "\n"
         "check  reads a Morvane.ini with the plug-in's own code and shows the encoding,\n"
         "       every value the plug-in will use (and which are defaults), the\n"
         "       administrators, the event table and where it stops, and what will not\n"
         "       work. Exit status: 0 read as intended, 1 warnings, 2 file not readable.\n"
         "write  reads IN in any encoding (UTF-8, UTF-16LE or UTF-16BE, with or without a\n"
         "       byte-order mark; other 8-bit text is taken as Windows-1251) and writes\n"
         "       the same text to OUT as UTF-16LE with a byte-order mark, the only\n"
         "       encoding the plug-in reads. OUT may be IN. Exit status: 0 written, 2 not.\n";
}

}  // namespace morvane::ini
