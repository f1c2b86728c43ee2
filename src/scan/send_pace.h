// The pace of everything the worker sends (query datagrams and connects),
// across every request it serves at once: at least kSendSpacingUs between
// two sends, and at most kBurstSends within any kBurstWindowUs. A long list
// thus leaves in short bursts (64 sends in 16 ms, then a pause to the end of
// the window: 1,280 a second at most) and never floods the network or the
// link the host runs on. Only the worker's thread touches it.
#pragma once

#include <cstddef>
#include <cstdint>

#include "scan/recent_sends.h"

namespace morvane {

inline constexpr std::int64_t kSendSpacingUs = 250;
inline constexpr std::int64_t kBurstWindowUs = 50'000;
inline constexpr std::size_t kBurstSends = 64;

class SendPace {
 public:
  // The earliest time (microseconds of the steady clock) at which the next
  // send may leave.
  std::int64_t NextUs() const;
  // A send left at `at` (a time NextUs allowed).
  void Record(std::int64_t at);

 private:
  RecentSends<kBurstSends> sent_;
};

}  // namespace morvane
