// The simulators' one way of writing a datagram: little-endian numbers,
// strings with or without their NUL, raw bytes. The counterpart of
// morvane::ByteReader, for the answering side.
#pragma once

#include <bit>
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

namespace morvane::gamesim {

using Datagram = std::vector<std::uint8_t>;

class WireWriter {
 public:
  WireWriter& U8(std::uint8_t value) {
    bytes_.push_back(value);
    return *this;
  }
  WireWriter& U16LE(std::uint16_t value) {
    bytes_.push_back(static_cast<std::uint8_t>(value));
    bytes_.push_back(static_cast<std::uint8_t>(value >> 8));
    return *this;
  }
  WireWriter& U32LE(std::uint32_t value) {
    for (int shift = 0; shift < 32; shift += 8) {
      bytes_.push_back(static_cast<std::uint8_t>(value >> shift));
    }
    return *this;
  }
  WireWriter& I32LE(std::int32_t value) { return U32LE(static_cast<std::uint32_t>(value)); }
  // An IEEE single in the byte order of the numbers around it.
  WireWriter& F32LE(float value) { return U32LE(std::bit_cast<std::uint32_t>(value)); }
  WireWriter& Bytes(std::span<const std::uint8_t> bytes) {
    bytes_.insert(bytes_.end(), bytes.begin(), bytes.end());
    return *this;
  }
  // The text's bytes alone, without a terminator.
  WireWriter& Text(std::string_view text) {
    bytes_.insert(bytes_.end(), text.begin(), text.end());
    return *this;
  }
  // The text's bytes and a NUL.
  WireWriter& CString(std::string_view text) { return Text(text).U8(0); }

  std::size_t Size() const { return bytes_.size(); }
  Datagram Take() { return std::move(bytes_); }

 private:
  Datagram bytes_;
};

}  // namespace morvane::gamesim
