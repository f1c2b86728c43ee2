// The command-line switches that change how a simulated server answers. They
// apply to every service named after them on the command line, until --plain
// clears them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

namespace morvane::gamesim {

// When a Source or GoldSrc server wants the client's challenge back.
enum class ChallengePolicy {
  kNone,     // --no-challenge: every request is answered at once, as old servers did.
  kPlayers,  // The default: player and rules requests need the challenge.
  kAll,      // --challenge: the info request needs it too, as current servers do.
};

// Which Minecraft: Java Edition servers a Java simulator plays.
enum class JavaEra {
  kModern,     // 1.7 and later: the status exchange, and the legacy ping too.
  kLegacy,     // --legacy: 1.4 to 1.6, the legacy ping alone.
  kOldLegacy,  // --old-legacy: before 1.4, "motd§online§max" alone.
};

struct ServiceSwitches {
  bool silent = false;                  // --silent: receive and never answer.
  std::optional<std::size_t> truncate;  // --truncate N: cut every reply to N bytes.
  bool junk = false;                    // --junk: decoys from another port before each reply.
  int flood = 0;                        // --flood N: N decoys from the same port after it.
  std::optional<int> players;           // --players N: this many players.
  bool split = false;                   // --split: Source player replies always split.
  ChallengePolicy challenge = ChallengePolicy::kPlayers;
  bool password = false;  // --password: every server has a password.
  // --hostile-names: every server's name holds a CTCP request and IRC
  // formatting codes, as a server may name itself to reach a chat's wire.
  bool hostile_names = false;
  // --openmp: SA-MP servers answer as open.mp does: never the detailed
  // player list ("d"), only the client list ("c").
  bool openmp = false;
  // --manifest: Quake 3 family status replies hold an info value with
  // newlines in it, as ioquake3 sends fs_manifest.
  bool manifest = false;
  // --teams: Quake 3 family player lines carry a team number before the name.
  bool teams = false;
  // --delay MS or MIN-MAX: every reply leaves this long after its query; a
  // range is spread evenly over the services named after it.
  std::int32_t delay_min_ms = 0;
  std::int32_t delay_max_ms = 0;
  int delay_group = 0;        // which --delay gave the range
  std::int32_t delay_ms = 0;  // this service's own, once the range is spread
  // --loss PERCENT: this share of the queries received is ignored, chosen by
  // a generator seeded from --seed and the service's place on the command
  // line, so that runs repeat.
  int loss_percent = 0;
  std::uint32_t seed = 1;

  // Minecraft: Java Edition.
  JavaEra java_era = JavaEra::kModern;
  // --segments N: each reply leaves in N writes with a pause between them,
  // so that the client reads it in as many pieces.
  int segments = 1;
  // --chat-description: the description as a chat component, not a string.
  bool chat_description = false;
  int favicon_kb = 0;                  // --favicon KB: a favicon this large.
  std::optional<int> sample;           // --sample N: N names in the sample.
  std::optional<std::int32_t> online;  // --online N: N players online.
  // Minecraft: Bedrock Edition. --fields N: the pong's text holds only its
  // first N fields, with no ";" after the last.
  std::optional<int> fields;

  // FiveM and RedM: how /players.json answers. --list-error: 403, as a
  // server that hides its list; --list-empty: an empty array while players
  // are on; --chunked: the body in chunks; --http10: an HTTP/1.0 reply that
  // ends with the close; --endless: a reply that never ends (its body falls
  // short of its length and the connection stays open).
  enum class FivemList { kShown, kError, kEmpty };
  FivemList fivem_list = FivemList::kShown;
  bool chunked = false;
  bool http10 = false;
  bool endless = false;
};

}  // namespace morvane::gamesim
