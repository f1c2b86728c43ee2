#include "scan/query_pace.h"

#include <algorithm>

namespace morvane {
namespace {

// The targets are pruned once there are this many, so that the map holds
// about the targets of one window.
constexpr std::size_t kPruneAbove = 64;

}  // namespace

std::uint64_t QueryPace::Key(const platform::SocketAddress& target) {
  return (static_cast<std::uint64_t>(target.address_be) << 16) | target.port_be;
}

std::int64_t QueryPace::EarliestSend(const platform::SocketAddress& target,
                                     std::int64_t now) const {
  const auto found = sent_.find(Key(target));
  if (found == sent_.end()) return now;
  // The query after the oldest of the last ones waits until that one has
  // left the window.
  const auto oldest = found->second.OldestOfFull();
  return oldest ? std::max(now, *oldest + kPaceWindowMs) : now;
}

void QueryPace::Record(const platform::SocketAddress& target, std::int64_t now) {
  if (sent_.size() > kPruneAbove) Prune(now);
  sent_[Key(target)].Record(now);
}

void QueryPace::Prune(std::int64_t now) {
  std::erase_if(sent_, [now](const auto& entry) {
    return entry.second.Last().value_or(now) + kPaceWindowMs <= now;
  });
}

}  // namespace morvane
