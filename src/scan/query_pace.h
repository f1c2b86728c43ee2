// The pace of the queries that a server counts against the address it comes
// from: a FiveM or RedM server answers about two getinfo queries a second
// from one address and drops the rest, so the worker never sends one server
// (address and port) more than kPacedQueries of them within kPaceWindowMs,
// whichever requests and address items they belong to. The worker owns the
// one pace (TGameScan) and hands it to every round; only the worker's thread
// touches it.
#pragma once

#include <cstdint>
#include <unordered_map>

#include "platform/platform.h"
#include "scan/recent_sends.h"

namespace morvane {

inline constexpr int kPacedQueries = 2;
inline constexpr std::int64_t kPaceWindowMs = 1000;

class QueryPace {
 public:
  // The earliest time at or after now at which one more query may go to the
  // target.
  std::int64_t EarliestSend(const platform::SocketAddress& target, std::int64_t now) const;
  // A query went to the target at now (a time the pace allowed).
  void Record(const platform::SocketAddress& target, std::int64_t now);

 private:
  static std::uint64_t Key(const platform::SocketAddress& target);
  // Forgets the targets that had no query within the window.
  void Prune(std::int64_t now);

  // The times of the last kPacedQueries queries to each target.
  std::unordered_map<std::uint64_t, RecentSends<kPacedQueries>> sent_;
};

}  // namespace morvane
