#include "wire_writer.h"

#include <bit>

namespace morvane::gamesim {

WireWriter& WireWriter::U8(std::uint8_t value) {
  bytes_.push_back(value);
  return *this;
}

WireWriter& WireWriter::U16LE(std::uint16_t value) {
  bytes_.push_back(static_cast<std::uint8_t>(value));
  bytes_.push_back(static_cast<std::uint8_t>(value >> 8));
  return *this;
}

WireWriter& WireWriter::U32LE(std::uint32_t value) {
  for (int shift = 0; shift < 32; shift += 8) {
    bytes_.push_back(static_cast<std::uint8_t>(value >> shift));
  }
  return *this;
}

WireWriter& WireWriter::U64LE(std::uint64_t value) {
  for (int shift = 0; shift < 64; shift += 8) {
    bytes_.push_back(static_cast<std::uint8_t>(value >> shift));
  }
  return *this;
}

WireWriter& WireWriter::I32LE(std::int32_t value) {
  return U32LE(static_cast<std::uint32_t>(value));
}

WireWriter& WireWriter::U16BE(std::uint16_t value) {
  bytes_.push_back(static_cast<std::uint8_t>(value >> 8));
  bytes_.push_back(static_cast<std::uint8_t>(value));
  return *this;
}

WireWriter& WireWriter::U64BE(std::uint64_t value) {
  for (int shift = 56; shift >= 0; shift -= 8) {
    bytes_.push_back(static_cast<std::uint8_t>(value >> shift));
  }
  return *this;
}

WireWriter& WireWriter::VarInt(std::int32_t value) {
  auto bits = static_cast<std::uint32_t>(value);
  while (bits >= 0x80) {
    bytes_.push_back(static_cast<std::uint8_t>(bits | 0x80));
    bits >>= 7;
  }
  bytes_.push_back(static_cast<std::uint8_t>(bits));
  return *this;
}

WireWriter& WireWriter::F32LE(float value) { return U32LE(std::bit_cast<std::uint32_t>(value)); }

WireWriter& WireWriter::Bytes(std::span<const std::uint8_t> bytes) {
  bytes_.insert(bytes_.end(), bytes.begin(), bytes.end());
  return *this;
}

WireWriter& WireWriter::Text(std::string_view text) {
  bytes_.insert(bytes_.end(), text.begin(), text.end());
  return *this;
}

WireWriter& WireWriter::CString(std::string_view text) { return Text(text).U8(0); }

}  // namespace morvane::gamesim
