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
// The longest reply delay: ten seconds.
constexpr std::int32_t kMaxDelayMs = 10000;
constexpr int kMaxSegments = 1000;
// A favicon of 2 MiB is eight times what a client takes as a status reply.
constexpr int kMaxFaviconKb = 2048;
constexpr int kMaxSample = 1000;
constexpr int kMaxOnline = 2147483647;

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
  } else if (arg == "--hostile-names") {
    switches.hostile_names = true;
  } else if (arg == "--openmp") {
    switches.openmp = true;
  } else if (arg == "--manifest") {
    switches.manifest = true;
  } else if (arg == "--teams") {
    switches.teams = true;
  } else if (arg == "--legacy") {
    switches.java_era = JavaEra::kLegacy;
  } else if (arg == "--old-legacy") {
    switches.java_era = JavaEra::kOldLegacy;
  } else if (arg == "--chat-description") {
    switches.chat_description = true;
  } else if (arg == "--list-error") {
    switches.fivem_list = ServiceSwitches::FivemList::kError;
  } else if (arg == "--list-empty") {
    switches.fivem_list = ServiceSwitches::FivemList::kEmpty;
  } else if (arg == "--chunked") {
    switches.chunked = true;
  } else if (arg == "--http10") {
    switches.http10 = true;
  } else if (arg == "--endless") {
    switches.endless = true;
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

// "MS" or "MIN-MAX", each from 0 to kMaxDelayMs.
bool ParseDelay(const std::string& value, ServiceSwitches& switches, std::string& error) {
  const std::size_t dash = value.find('-');
  std::int32_t low = 0;
  std::int32_t high = 0;
  bool parsed = false;
  if (dash == std::string::npos) {
    parsed = ParseWhole(value, low);
    high = low;
  } else {
    parsed = ParseWhole(std::string_view(value).substr(0, dash), low) &&
             ParseWhole(std::string_view(value).substr(dash + 1), high);
  }
  if (!parsed || low < 0 || high < low || high > kMaxDelayMs) {
    error = "--delay takes milliseconds, or a range MIN-MAX, from 0 to " +
            std::to_string(kMaxDelayMs) + ", not \"" + value + "\"";
    return false;
  }
  switches.delay_min_ms = low;
  switches.delay_max_ms = high;
  return true;
}

// Each --delay range is spread evenly over the services that it applies to,
// in their order on the command line: the first gets the least, the last the
// most.
void SpreadDelays(std::vector<ServiceRequest>& services) {
  std::map<int, std::vector<ServiceSwitches*>> groups;
  for (auto& service : services) {
    if (service.switches.delay_group != 0) {
      groups[service.switches.delay_group].push_back(&service.switches);
    }
  }
  for (auto& [group, members] : groups) {
    const std::size_t n = members.size();
    for (std::size_t i = 0; i < n; ++i) {
      ServiceSwitches& s = *members[i];
      const std::int64_t span = s.delay_max_ms - s.delay_min_ms;
      s.delay_ms =
          s.delay_min_ms +
          static_cast<std::int32_t>(
              n < 2 ? 0 : span * static_cast<std::int64_t>(i) / static_cast<std::int64_t>(n - 1));
    }
  }
}

}  // namespace

bool ParseCommandLine(const std::vector<std::string>& args, std::span<const ServiceKind> kinds,
                      CommandLine& out, std::string& error) {
  ServiceSwitches switches;
  std::map<const ServiceKind*, int> instances;
  int delay_groups = 0;
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
    const bool valued = arg == "--for" || arg == "--truncate" || arg == "--flood" ||
                        arg == "--players" || arg == "--delay" || arg == "--loss" ||
                        arg == "--seed" || arg == "--segments" || arg == "--favicon" ||
                        arg == "--sample" || arg == "--online" || arg == "--fields";
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
    if (arg == "--delay") {
      if (!ParseDelay(value, switches, error)) return false;
      switches.delay_group = ++delay_groups;
      continue;
    }
    if (arg == "--seed") {
      if (!ParseWhole(value, switches.seed)) {
        error = "--seed takes a whole number from 0 to 4294967295, not \"" + value + "\"";
        return false;
      }
      continue;
    }
    int number = 0;
    if (arg == "--loss") {
      if (!ParseBounded(arg, value, 0, 100, number, error)) return false;
      switches.loss_percent = number;
    } else if (arg == "--truncate") {
      if (!ParseBounded(arg, value, 0, 65535, number, error)) return false;
      switches.truncate = static_cast<std::size_t>(number);
    } else if (arg == "--flood") {
      if (!ParseBounded(arg, value, 0, kMaxFlood, number, error)) return false;
      switches.flood = number;
    } else if (arg == "--segments") {
      if (!ParseBounded(arg, value, 1, kMaxSegments, number, error)) return false;
      switches.segments = number;
    } else if (arg == "--favicon") {
      if (!ParseBounded(arg, value, 0, kMaxFaviconKb, number, error)) return false;
      switches.favicon_kb = number;
    } else if (arg == "--sample") {
      if (!ParseBounded(arg, value, 0, kMaxSample, number, error)) return false;
      switches.sample = number;
    } else if (arg == "--online") {
      if (!ParseBounded(arg, value, 0, kMaxOnline, number, error)) return false;
      switches.online = number;
    } else if (arg == "--fields") {
      if (!ParseBounded(arg, value, 0, 12, number, error)) return false;
      switches.fields = number;
    } else {
      if (!ParseBounded(arg, value, 0, kMaxPlayers, number, error)) return false;
      switches.players = number;
    }
  }
  if (out.services.empty()) {
    error = "no service asked for";
    return false;
  }
  SpreadDelays(out.services);
  for (std::size_t i = 0; i < out.services.size(); ++i) {
    out.services[i].switches.seed += static_cast<std::uint32_t>(i);
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
      "  --truncate N        cut every reply datagram to N bytes (Minecraft Java:\n"
      "                      close the connection after N bytes)\n"
      "  --junk              before each reply, send junk and a decoy reply from\n"
      "                      another port of 127.0.0.1\n"
      "  --flood N           after each reply, send N decoy replies from the same port\n"
      "  --players N         serve N players (0 to 255): the world's first ones,\n"
      "                      then made-up ones (Minecraft: N online, the sample\n"
      "                      lists up to 12 of them, as vanilla servers do)\n"
      "  --split             Source, GoldSrc: send player and rules replies as split\n"
      "                      packets, last first and one twice (long replies are\n"
      "                      always split, in order)\n"
      "  --challenge         Source, GoldSrc: answer the info request with a\n"
      "                      challenge first, as current servers do (player and\n"
      "                      rules requests always want one)\n"
      "  --no-challenge      Source, GoldSrc: answer every request at once, as old\n"
      "                      servers did\n"
      "  --password          every server has a password\n"
      "  --hostile-names     Source, GoldSrc, Quake 3, SA-MP: every server's name\n"
      "                      holds a CTCP request (0x01) and IRC colour, bold,\n"
      "                      underline and reset codes\n"
      "  --openmp            SA-MP: answer as open.mp does, never the detailed\n"
      "                      player list (d), only the client list (c)\n"
      "  --manifest          Quake 3 family: an info value with newlines in it, as\n"
      "                      ioquake3 sends fs_manifest, before the other keys\n"
      "  --teams             Quake 3 family: a team number before each player's name\n"
      "  --legacy            Minecraft Java: a server of 1.4 to 1.6 (version 1.6.4,\n"
      "                      protocol 78): answer the legacy ping (FE 01) alone,\n"
      "                      close the connection on anything else\n"
      "  --old-legacy        Minecraft Java: a server before 1.4: answer the legacy\n"
      "                      ping alone, as \"motd\u00A7online\u00A7max\"\n"
      "  --segments N        Minecraft Java, FiveM's HTTP: write each reply in N\n"
      "                      pieces, with a short pause between them\n"
      "  --chat-description  Minecraft Java: the description as a chat component\n"
      "                      (coloured extra parts, codes written as \\u00a7)\n"
      "  --favicon KB        Minecraft Java: a base64 favicon KB KiB long (0 to 2048)\n"
      "  --sample N          Minecraft Java: N names in the player sample, whatever\n"
      "                      the count online (0: an empty sample, names hidden)\n"
      "  --online N          Minecraft: N players online (0 to 2147483647), the\n"
      "                      sample unchanged\n"
      "  --fields N          Minecraft Bedrock: only the first N of the pong's 12\n"
      "                      fields, with no \";\" after the last\n"
      "  --list-error        FiveM: /players.json answers 403 Forbidden\n"
      "  --list-empty        FiveM: /players.json answers [] while players are on\n"
      "  --chunked           FiveM: HTTP bodies in chunks\n"
      "  --http10            FiveM: HTTP/1.0 replies without a length, ended by the\n"
      "                      close\n"
      "  --endless           FiveM: an HTTP reply that never ends: its body falls\n"
      "                      short of its length, the connection stays open\n"
      "  --delay MS          send every reply MS milliseconds after its query; a\n"
      "                      range MIN-MAX is spread evenly over the services\n"
      "                      named after it (round trips at internet distance)\n"
      "  --loss PERCENT      UDP: ignore this share of the queries received\n"
      "  --seed N            where the losses start, so that runs repeat (default 1)\n"
      "  --plain             clear every switch\n"
      "\n"
      "exit status: 0 after a normal run, 1 when a port cannot be opened,\n"
      "2 for a bad command line.\n";
  return text;
}

}  // namespace morvane::gamesim
