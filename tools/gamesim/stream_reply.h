// What the simulators that answer over TCP share: a reply cut into segments,
// as a server whose writes the network splits sends it, and a write of all
// of a segment.
#pragma once

#include <span>
#include <vector>

#include "platform/platform.h"
#include "wire_writer.h"

namespace morvane::gamesim {

// A reply cut into at most segments pieces of nearly equal size, in order.
std::vector<Datagram> SplitIntoSegments(const Datagram& reply, int segments);

// Writes every byte, however many sends it takes; false once a send fails.
bool SendAll(platform::Socket client, std::span<const std::uint8_t> bytes);

}  // namespace morvane::gamesim
