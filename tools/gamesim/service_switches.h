// The command-line switches that change how a simulated server answers. They
// apply to every service named after them on the command line, until --plain
// clears them.
#pragma once

#include <cstddef>
#include <optional>

namespace morvane::gamesim {

// When a Source or GoldSrc server wants the client's challenge back.
enum class ChallengePolicy {
  kNone,     // --no-challenge: every request is answered at once, as old servers did.
  kPlayers,  // The default: player and rules requests need the challenge.
  kAll,      // --challenge: the info request needs it too, as current servers do.
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
};

}  // namespace morvane::gamesim
