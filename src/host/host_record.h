// Host records: the packed byte strings that cross the host boundary in both
// directions. Fields follow each other without gaps: an integer is 4 bytes,
// little-endian, signed; a text is a 32-bit count of UTF-16 code units and then
// that many UTF-16LE units, no terminator. A count of 0 or less is the empty
// text and has no units after it.
//
// Received records are untrusted: they are read through a ByteReader bounded by
// the length the host gave, so a short record reads as empty values.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "common/byte_reader.h"

namespace morvane {

// A chat user inside a received record.
struct TUser {
  std::u16string Name;
  std::u16string IP;
  std::int32_t Icon = 0;  // Read and not used.
};

using HostRecord = std::vector<std::uint8_t>;

// The integer at the reader's position; 0 when fewer than 4 bytes are left.
std::int32_t ReadInt(ByteReader& record);
// A text field. A count of 0 or less gives the empty text and consumes only
// the count; a count that runs past the end gives what is there (whole code
// units only) and exhausts the reader.
std::u16string ReadText(ByteReader& record);
// `Name`, `IP`, `Icon`.
TUser ReadUser(ByteReader& record);

// Grows the record by 4 bytes and stores the value there.
void AppendInt(HostRecord& record, std::int32_t value);
// Stores the text's code units up to its first NUL (a text that starts with
// NUL counts 0) behind their count.
void AppendText(HostRecord& record, std::u16string_view text);

// The same encodings written into a buffer that the host supplies, at a
// running offset, without growing it. The caller has checked that the whole
// answer fits; a field that would not fit is not written.
void PutInt(std::span<std::uint8_t> buffer, std::size_t& offset, std::int32_t value);
void PutText(std::span<std::uint8_t> buffer, std::size_t& offset, std::u16string_view text);

// The size of a text field holding this text.
std::size_t TextFieldSize(std::u16string_view text);

}  // namespace morvane
