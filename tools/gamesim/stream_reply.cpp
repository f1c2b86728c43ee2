#include "stream_reply.h"

#include <algorithm>

namespace morvane::gamesim {

std::vector<Datagram> SplitIntoSegments(const Datagram& reply, int segments) {
  const std::size_t count = std::clamp<std::size_t>(static_cast<std::size_t>(std::max(segments, 1)),
                                                    1, std::max<std::size_t>(reply.size(), 1));
  std::vector<Datagram> pieces;
  std::size_t start = 0;
  for (std::size_t i = 0; i < count; ++i) {
    const std::size_t end = reply.size() * (i + 1) / count;
    pieces.emplace_back(reply.begin() + static_cast<std::ptrdiff_t>(start),
                        reply.begin() + static_cast<std::ptrdiff_t>(end));
    start = end;
  }
  return pieces;
}

bool SendAll(platform::Socket client, std::span<const std::uint8_t> bytes) {
  while (!bytes.empty()) {
    const int sent = platform::Send(client, bytes);
    if (sent <= 0) return false;
    bytes = bytes.subspan(static_cast<std::size_t>(sent));
  }
  return true;
}

}  // namespace morvane::gamesim
