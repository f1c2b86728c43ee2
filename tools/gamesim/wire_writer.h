// The simulators' one way of writing a datagram or a reply on a stream:
// numbers in either byte order, VarInts, strings with or without their NUL,
// raw bytes. The counterpart of morvane::ByteReader, for the answering side.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>
#include <utility>
#include <vector>

namespace morvane::gamesim {

using Datagram = std::vector<std::uint8_t>;

class WireWriter {
 public:
  WireWriter& U8(std::uint8_t value);
  WireWriter& U16LE(std::uint16_t value);
  WireWriter& U32LE(std::uint32_t value);
  WireWriter& I32LE(std::int32_t value);
  WireWriter& U64LE(std::uint64_t value);
  WireWriter& U16BE(std::uint16_t value);
  WireWriter& U64BE(std::uint64_t value);
  // Minecraft's VarInt: 7 bits a byte, least significant group first, the
  // high bit set on every byte but the last; a negative value takes 5 bytes.
  WireWriter& VarInt(std::int32_t value);
  // An IEEE single in the byte order of the numbers around it.
  WireWriter& F32LE(float value);
  WireWriter& Bytes(std::span<const std::uint8_t> bytes);
  // The text's bytes alone, without a terminator.
  WireWriter& Text(std::string_view text);
  // The text's bytes and a NUL.
  WireWriter& CString(std::string_view text);

  std::size_t Size() const { return bytes_.size(); }
  Datagram Take() { return std::move(bytes_); }

 private:
  Datagram bytes_;
};

}  // namespace morvane::gamesim
