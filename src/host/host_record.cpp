#include "host/host_record.h"

namespace morvane {
namespace {

std::size_t CountUpToNul(std::u16string_view text) {
  std::size_t n = text.find(u'\0');
  return n == std::u16string_view::npos ? text.size() : n;
}

void StoreInt(std::uint8_t* at, std::int32_t value) {
  auto v = static_cast<std::uint32_t>(value);
  at[0] = static_cast<std::uint8_t>(v);
  at[1] = static_cast<std::uint8_t>(v >> 8);
  at[2] = static_cast<std::uint8_t>(v >> 16);
  at[3] = static_cast<std::uint8_t>(v >> 24);
}

void StoreUnits(std::uint8_t* at, std::u16string_view units) {
  for (char16_t c : units) {
    *at++ = static_cast<std::uint8_t>(c);
    *at++ = static_cast<std::uint8_t>(c >> 8);
  }
}

}  // namespace

std::int32_t ReadInt(ByteReader& record) { return record.ReadI32LE(); }

std::u16string ReadText(ByteReader& record) {
  std::int32_t count = record.ReadI32LE();
  if (count <= 0) return {};
  // Only whole code units that were really received are taken.
  auto bytes = record.ReadBytesClamped(static_cast<std::size_t>(count) * 2);
  std::u16string text(bytes.size() / 2, u'\0');
  for (std::size_t i = 0; i < text.size(); ++i) {
    text[i] = static_cast<char16_t>(bytes[2 * i] | (bytes[2 * i + 1] << 8));
  }
  return text;
}

TUser ReadUser(ByteReader& record) {
  TUser user;
  user.Name = ReadText(record);
  user.IP = ReadText(record);
  user.Icon = ReadInt(record);
  return user;
}

void AppendInt(HostRecord& record, std::int32_t value) {
  std::size_t at = record.size();
  record.resize(at + 4);
  StoreInt(record.data() + at, value);
}

void AppendText(HostRecord& record, std::u16string_view text) {
  auto units = text.substr(0, CountUpToNul(text));
  std::size_t at = record.size();
  record.resize(at + 4 + 2 * units.size());
  StoreInt(record.data() + at, static_cast<std::int32_t>(units.size()));
  StoreUnits(record.data() + at + 4, units);
}

std::size_t TextFieldSize(std::u16string_view text) { return 4 + 2 * CountUpToNul(text); }

void PutInt(std::span<std::uint8_t> buffer, std::size_t& offset, std::int32_t value) {
  if (offset > buffer.size() || buffer.size() - offset < 4) return;
  StoreInt(buffer.data() + offset, value);
  offset += 4;
}

void PutText(std::span<std::uint8_t> buffer, std::size_t& offset, std::u16string_view text) {
  std::size_t size = TextFieldSize(text);
  if (offset > buffer.size() || buffer.size() - offset < size) return;
  auto units = text.substr(0, CountUpToNul(text));
  StoreInt(buffer.data() + offset, static_cast<std::int32_t>(units.size()));
  StoreUnits(buffer.data() + offset + 4, units);
  offset += size;
}

}  // namespace morvane
