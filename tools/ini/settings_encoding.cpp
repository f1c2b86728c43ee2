#include "ini/settings_encoding.h"

#include <algorithm>
#include <string_view>

#include "common/byte_reader.h"
#include "common/code_pages.h"
#include "common/text.h"

namespace morvane {
namespace {

bool StartsWith(std::span<const std::uint8_t> bytes, std::initializer_list<std::uint8_t> mark) {
  ByteReader reader(bytes);
  for (std::uint8_t expected : mark) {
    if (reader.AtEnd() || reader.ReadU8() != expected) return false;
  }
  return true;
}

bool IsValidUtf8(std::span<const std::uint8_t> bytes) {
  return morvane::IsValidUtf8(
      std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
}

enum class ByteOrder { kLittle, kBig };

std::u16string DecodeUtf16(std::span<const std::uint8_t> bytes, ByteOrder order) {
  ByteReader reader(bytes);
  std::u16string text;
  text.reserve(bytes.size() / 2);
  while (reader.Remaining() >= 2) {
    const std::uint16_t unit = reader.ReadU16LE();
    text.push_back(order == ByteOrder::kLittle
                       ? static_cast<char16_t>(unit)
                       : static_cast<char16_t>((unit >> 8) | ((unit & 0xFF) << 8)));
  }
  return text;
}

std::size_t MarkLength(SettingsEncoding encoding) {
  switch (encoding) {
    case SettingsEncoding::kUtf16LeWithMark:
    case SettingsEncoding::kUtf16BeWithMark:
      return 2;
    case SettingsEncoding::kUtf8WithMark:
      return 3;
    default:
      return 0;
  }
}

}  // namespace

SettingsEncoding DetectSettingsEncoding(std::span<const std::uint8_t> bytes) {
  if (bytes.empty()) return SettingsEncoding::kEmpty;
  if (StartsWith(bytes, {0xFF, 0xFE})) return SettingsEncoding::kUtf16LeWithMark;
  if (StartsWith(bytes, {0xFE, 0xFF})) return SettingsEncoding::kUtf16BeWithMark;
  if (StartsWith(bytes, {0xEF, 0xBB, 0xBF})) return SettingsEncoding::kUtf8WithMark;

  // Section headers, key names and "=" are ASCII, so a settings file in
  // UTF-16 has a NUL in the high byte of many of its code units: the odd
  // bytes in little-endian order, the even ones in big-endian order. Text in
  // an 8-bit encoding has no NUL at all.
  ByteReader reader(bytes);
  std::size_t zeros_at_even = 0;
  std::size_t zeros_at_odd = 0;
  while (!reader.AtEnd()) {
    const bool odd = reader.Position() % 2 == 1;
    if (reader.ReadU8() != 0) continue;
    ++(odd ? zeros_at_odd : zeros_at_even);
  }
  const std::size_t units = bytes.size() / 2;
  // One code unit in eight with a NUL high byte is far more than stray NULs
  // give, and far less than the ASCII part of any real settings file.
  if (zeros_at_odd > 2 * zeros_at_even && zeros_at_odd * 8 >= units) {
    return SettingsEncoding::kUtf16Le;
  }
  if (zeros_at_even > 2 * zeros_at_odd && zeros_at_even * 8 >= units) {
    return SettingsEncoding::kUtf16Be;
  }

  bool ascii = true;
  for (std::uint8_t byte : bytes) ascii = ascii && byte < 0x80;
  if (ascii) return SettingsEncoding::kAscii;
  return IsValidUtf8(bytes) ? SettingsEncoding::kUtf8 : SettingsEncoding::kEightBit;
}

std::string_view SettingsEncodingName(SettingsEncoding encoding) {
  switch (encoding) {
    case SettingsEncoding::kEmpty:
      return "empty (no bytes)";
    case SettingsEncoding::kUtf16LeWithMark:
      return "UTF-16LE with a byte-order mark (FF FE)";
    case SettingsEncoding::kUtf16Le:
      return "UTF-16LE without a byte-order mark";
    case SettingsEncoding::kUtf16BeWithMark:
      return "UTF-16BE with a byte-order mark (FE FF)";
    case SettingsEncoding::kUtf16Be:
      return "UTF-16BE without a byte-order mark";
    case SettingsEncoding::kUtf8WithMark:
      return "UTF-8 with a byte-order mark (EF BB BF)";
    case SettingsEncoding::kUtf8:
      return "UTF-8 without a byte-order mark";
    case SettingsEncoding::kAscii:
      return "8-bit ASCII (one byte per character)";
    case SettingsEncoding::kEightBit:
      return "8-bit, not UTF-8 (taken as Windows-1251)";
  }
  return "unknown";
}

bool PluginReadsEncoding(SettingsEncoding encoding) {
  return encoding == SettingsEncoding::kEmpty || encoding == SettingsEncoding::kUtf16LeWithMark ||
         encoding == SettingsEncoding::kUtf16Le;
}

std::u16string DecodeWindows1251(std::span<const std::uint8_t> bytes) {
  return DecodeSingleByte(
      std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()), kWindows1251);
}

std::u16string DecodeAs(std::span<const std::uint8_t> bytes, SettingsEncoding encoding) {
  const std::size_t mark = MarkLength(encoding);
  const auto body = bytes.size() >= mark ? bytes.subspan(mark) : bytes.subspan(bytes.size());
  switch (encoding) {
    case SettingsEncoding::kEmpty:
      return {};
    case SettingsEncoding::kUtf16LeWithMark:
    case SettingsEncoding::kUtf16Le:
      return DecodeUtf16(body, ByteOrder::kLittle);
    case SettingsEncoding::kUtf16BeWithMark:
    case SettingsEncoding::kUtf16Be:
      return DecodeUtf16(body, ByteOrder::kBig);
    case SettingsEncoding::kUtf8WithMark:
    case SettingsEncoding::kUtf8:
    case SettingsEncoding::kAscii:
      return Utf8ToUtf16(std::string_view(reinterpret_cast<const char*>(body.data()), body.size()));
    case SettingsEncoding::kEightBit:
      return DecodeWindows1251(body);
  }
  return {};
}

std::vector<std::uint8_t> EncodeUtf16LeWithMark(std::u16string_view text) {
  std::vector<std::uint8_t> bytes;
  bytes.reserve(2 + text.size() * 2);
  bytes.push_back(0xFF);
  bytes.push_back(0xFE);
  for (char16_t unit : text) {
    bytes.push_back(static_cast<std::uint8_t>(unit & 0xFF));
    bytes.push_back(static_cast<std::uint8_t>(unit >> 8));
  }
  return bytes;
}

ConvertedSettings ConvertToPluginEncoding(std::span<const std::uint8_t> bytes) {
  ConvertedSettings converted;
  converted.from = DetectSettingsEncoding(bytes);
  switch (converted.from) {
    case SettingsEncoding::kUtf16LeWithMark:
      converted.bytes.assign(bytes.begin(), bytes.end());
      converted.unchanged = true;
      return converted;
    case SettingsEncoding::kUtf16Le:
      // The bytes are already what the plug-in reads; only the mark is new,
      // so nothing of the text (an odd last byte included) is rewritten.
      converted.bytes.resize(bytes.size() + 2);
      converted.bytes[0] = 0xFF;
      converted.bytes[1] = 0xFE;
      std::copy(bytes.begin(), bytes.end(), converted.bytes.begin() + 2);
      return converted;
    default:
      converted.bytes = EncodeUtf16LeWithMark(DecodeAs(bytes, converted.from));
      return converted;
  }
}

}  // namespace morvane
