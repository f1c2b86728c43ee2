// The datagrams of a fuzz input, as reply_fuzz and games_fuzz read them: each
// a 16-bit little-endian length and that many bytes (a length past the end
// takes what is left).
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace morvane::fuzz {

// Hands each datagram to on_datagram, in a buffer of exactly its size so that
// a read past it is caught, until on_datagram returns false.
template <typename OnDatagram>
void ForEachFramedDatagram(std::span<const std::uint8_t> rest, OnDatagram on_datagram) {
  while (rest.size() >= 2) {
    const std::size_t length = std::min<std::size_t>(rest[0] | (rest[1] << 8), rest.size() - 2);
    const std::vector<std::uint8_t> datagram(rest.begin() + 2, rest.begin() + 2 + length);
    rest = rest.subspan(2 + length);
    if (!on_datagram(std::span<const std::uint8_t>(datagram))) return;
  }
}

}  // namespace morvane::fuzz
