#include "command_line.h"

#include <charconv>
#include <map>

namespace morvane::gamesim {
namespace {

// The longest --for: a day, so that a typing error cannot leave a simulator
// running for ever.
constexpr double kMaxRunSeconds = 86400;
constexpr int kMaxFlood = 1000;
// A Source player reply counts its players in one byte.
constexpr int kMaxPlayers = 255;

template <typename T>
bool ParseWhole(std::string_view text, T& value) {
  auto [next, status] = std::from_chars(text.data(), text.data() + text.size(), value);
  return !text.empty() && status == std::errc() && next == text.data() + text.size();
}

// Switches without a value; each changes the switches of what follows.
bool ApplyFlag(std::string_view arg, ServiceSwitches& switches) {
  if (arg == "--silent") {
    switches.silent = true;
  } else if (arg == "--junk") {
    switches.junk = true;
  } else if (arg == "--split") {
    switches.split = true;
  } else if (arg == "--challenge") {
    switches.challenge = ChallengePolicy::kAll;
  } else if (arg == "--no-challenge") {
    switches.challenge = ChallengePolicy::kNone;
  } else if (arg == "--password") {
    switches.password = true;
  } else if (arg == "--plain") {
    switches = ServiceSwitches();
  } else {
    return false;
  }
  return true;
}

bool ParseBounded(const std::string& arg, const std::string& value, int low, int high, int& out,
                  std::string& error) {
  if (ParseWhole(value, out) && out >= low && out <= high) return true;
  error = arg + " takes a whole number from " + std::to_string(low) + " to " +
          std::to_string(high) + ", not \"" + value + "\"";
  return false;
}

}  // namespace

bool ParseCommandLine(const std::vector<std::string>& args, std::span<const ServiceKind> kinds,
                      CommandLine& out, std::string& error) {
  ServiceSwitches switches;
  std::map<const ServiceKind*, int> instances;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg == "--help" || arg == "-h") {
      out.help = true;
      return true;
    }
    if (ApplyFlag(arg, switches)) continue;
    const ServiceKind* kind = nullptr;
    for (const auto& candidate : kinds) {
      if (candidate.option == arg) kind = &candidate;
    }
    const bool valued =
        arg == "--for" || arg == "--truncate" || arg == "--flood" || arg == "--players";
    if (kind == nullptr && !valued) {
      error = "unknown option \"" + arg + "\"";
      return false;
    }
    if (i + 1 >= args.size()) {
      error = arg + " needs a value";
      return false;
    }
    const std::string& value = args[++i];
    if (kind != nullptr) {
      std::uint16_t port = 0;
      if (!ParseWhole(value, port)) {
        error = arg + " takes a port from 0 to 65535, not \"" + value + "\"";
        return false;
      }
      out.services.push_back({kind, port, switches, instances[kind]++});
      continue;
    }
    if (arg == "--for") {
      if (!ParseWhole(value, out.run_seconds) ||
          !(out.run_seconds > 0 && out.run_seconds <= kMaxRunSeconds)) {
        error = "--for takes a number of seconds above 0 and up to 86400, not \"" + value + "\"";
        return false;
      }
      continue;
    }
    int number = 0;
    if (arg == "--truncate") {
      if (!ParseBounded(arg, value, 0, 65535, number, error)) return false;
      switches.truncate = static_cast<std::size_t>(number);
    } else if (arg == "--flood") {
      if (!ParseBounded(arg, value, 0, kMaxFlood, number, error)) return false;
      switches.flood = number;
    } else {
      if (!ParseBounded(arg, value, 0, kMaxPlayers, number, error)) return false;
      switches.players = number;
    }
  }
  if (out.services.empty()) {
    error = "no service asked for";
    return false;
  }
  return true;
}

std::string Usage(std::span<const ServiceKind> kinds) {
  std::string text =
      "usage: morvane-gamesim [SWITCH...] SERVICE PORT... [--for SECONDS]\n"
      "\n"
      "Serves game-server simulators on 127.0.0.1. PORT 0 picks a free port.\n"
      "Prints \"KIND 127.0.0.1:PORT\" per service, then \"ready\".\n"
      "Runs for SECONDS, or without --for until standard input ends.\n"
      "\n"
      "services (each may be given more than once; repeated game servers of one\n"
      "kind take that kind's servers of the built-in world in turn):\n";
  for (const auto& kind : kinds) {
    text += "  " + std::string(kind.option) + " PORT";
    text.append(kind.option.size() < 16 ? 16 - kind.option.size() : 1, ' ');
    text += std::string(kind.help) + "\n";
  }
  text +=
      "\n"
      "switches (they apply to every service named after them, until --plain):\n"
      "  --silent            receive queries and never answer\n"
      "  --truncate N        cut every reply datagram to N bytes\n"
      "  --junk              before each reply, send junk and a decoy reply from\n"
      "                      another port of 127.0.0.1\n"
      "  --flood N           after each reply, send N decoy replies from the same port\n"
      "  --players N         serve N players (0 to 255): the world's first ones,\n"
      "                      then made-up ones\n"
      "  --split             Source, GoldSrc: send player and rules replies as split\n"
      "                      packets (long replies are always split)\n"
      "  --challenge         Source, GoldSrc: answer the info request with a\n"
      "                      challenge first, as current servers do (player and\n"
      "                      rules requests always want one)\n"
      "  --no-challenge      Source, GoldSrc: answer every request at once, as old\n"
      "                      servers did\n"
      "  --password          every server has a password\n"
      "  --plain             clear every switch\n"
      "\n"
      "exit status: 0 after a normal run, 1 when a port cannot be opened,\n"
      "2 for a bad command line.\n";
  return text;
}

}  // namespace morvane::gamesim
