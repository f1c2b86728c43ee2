#include "scan/query_pace.h"

#include <algorithm>
#include <limits>

namespace morvane {
namespace {

constexpr std::int64_t kNever = std::numeric_limits<std::int64_t>::min() / 2;
// The targets are pruned once there are this many: at one send a
// millisecond, the map holds about a window's worth.
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
  return std::max(now, found->second.front() + kPaceWindowMs);
}

void QueryPace::Record(const platform::SocketAddress& target, std::int64_t now) {
  if (sent_.size() > kPruneAbove) Prune(now);
  auto [entry, added] = sent_.try_emplace(Key(target));
  if (added) entry->second.fill(kNever);
  auto& times = entry->second;
  std::shift_left(times.begin(), times.end(), 1);
  times.back() = now;
}

void QueryPace::Prune(std::int64_t now) {
  std::erase_if(sent_,
                [now](const auto& entry) { return entry.second.back() + kPaceWindowMs <= now; });
}

}  // namespace morvane
