#include "games/minecraft_java.h"

#include <limits>
#include <string>
#include <utility>

#include "common/byte_reader.h"
#include "common/text.h"

namespace morvane {
namespace {

constexpr std::size_t kMaxVarIntBytes = 5;
constexpr std::uint8_t kLegacyPingFirst[] = {0xFE, 0x01, 0xFA};
constexpr std::u16string_view kLegacyPingChannel = u"MC|PingHost";
// 1.6.2's protocol number; a 1.6 server answers the ping whatever it is.
constexpr std::uint8_t kLegacyPingProtocol = 74;
constexpr std::uint8_t kLegacyKickId = 0xFF;
constexpr char16_t kSectionSign = u'\u00A7';
// "§1" and a NUL open the kick text of servers since 1.4; six fields follow
// from there on: that mark, protocol, version, message, online, maximum.
constexpr std::u16string_view kLegacyKickMark = std::u16string_view(u"\u00A71\0", 3);
constexpr std::size_t kLegacyKickFields = 6;

void AppendVarInt(std::vector<std::uint8_t>& out, std::uint32_t value) {
  while (value >= 0x80) {
    out.push_back(static_cast<std::uint8_t>(value | 0x80));
    value >>= 7;
  }
  out.push_back(static_cast<std::uint8_t>(value));
}

void AppendU16BE(std::vector<std::uint8_t>& out, std::uint16_t value) {
  out.push_back(static_cast<std::uint8_t>(value >> 8));
  out.push_back(static_cast<std::uint8_t>(value));
}

void AppendUtf16BE(std::vector<std::uint8_t>& out, std::u16string_view text) {
  AppendU16BE(out, static_cast<std::uint16_t>(text.size()));
  for (char16_t c : text) AppendU16BE(out, c);
}

std::uint16_t ReadU16BE(ByteReader& reader) {
  auto bytes = reader.ReadBytes(2);
  if (bytes.empty()) return 0;
  return static_cast<std::uint16_t>(bytes[0] << 8 | bytes[1]);
}

enum class VarIntState {
  kValue,
  kCut,      // the bytes ended before the VarInt did
  kTooLong,  // more than five bytes, or bits past 32
};

struct VarInt {
  VarIntState state = VarIntState::kCut;
  std::uint32_t value = 0;
};

VarInt ReadVarInt(ByteReader& reader) {
  std::uint32_t value = 0;
  for (std::size_t i = 0; i < kMaxVarIntBytes; ++i) {
    if (reader.AtEnd()) return {};
    std::uint8_t byte = reader.ReadU8();
    // The fifth byte holds bits 28 to 31 alone; more would not fit 32 bits.
    if (i == kMaxVarIntBytes - 1 && byte > 0x0F) return {VarIntState::kTooLong, 0};
    value |= static_cast<std::uint32_t>(byte & 0x7F) << (7 * i);
    if ((byte & 0x80) == 0) return {VarIntState::kValue, value};
  }
  return {VarIntState::kTooLong, 0};
}

// A length: a VarInt read as a signed 32-bit number that must not be negative.
bool IsLength(const VarInt& v) {
  return v.state == VarIntState::kValue &&
         v.value <= static_cast<std::uint32_t>(std::numeric_limits<std::int32_t>::max());
}

// Where the code point that starts at pos ends: its lead byte and the
// continuation bytes that follow it, as many as the lead announces. A byte
// that starts no sequence counts alone.
std::size_t CodePointEnd(std::string_view utf8, std::size_t pos) {
  if (pos >= utf8.size()) return utf8.size();
  const auto lead = static_cast<unsigned char>(utf8[pos++]);
  std::size_t extra = 0;
  if (lead >= 0xC0 && lead < 0xE0) extra = 1;
  if (lead >= 0xE0 && lead < 0xF0) extra = 2;
  if (lead >= 0xF0 && lead < 0xF8) extra = 3;
  while (extra > 0 && pos < utf8.size() && (static_cast<unsigned char>(utf8[pos]) & 0xC0) == 0x80) {
    ++pos;
    --extra;
  }
  return pos;
}

MinecraftStatus StatusOf(std::u16string_view version, std::u16string_view motd,
                         std::u16string_view online, std::u16string_view max_players) {
  MinecraftStatus status;
  status.version = StripFormattingCodes(Utf16ToUtf8(version));
  status.motd = StripFormattingCodes(Utf16ToUtf8(motd));
  status.online = ParsePlayerCount(Utf16ToUtf8(online));
  status.max_players = ParsePlayerCount(Utf16ToUtf8(max_players));
  return status;
}

// The kick text of either form; nothing for a text of neither (a plain
// kick message such as "Outdated server!").
std::optional<MinecraftStatus> ParseLegacyKickText(std::u16string_view text) {
  if (text.starts_with(kLegacyKickMark)) {
    std::vector<std::u16string> fields = SplitKeepingEmpty(text, u'\0');
    if (fields.size() < kLegacyKickFields) return std::nullopt;
    return StatusOf(fields[2], fields[3], fields[4], fields[5]);
  }
  // Before 1.4: "motd§online§max". The counts follow the last two signs, so
  // a message that carries colour codes of its own keeps them until the
  // codes are stripped.
  std::size_t last = text.rfind(kSectionSign);
  if (last == std::u16string_view::npos || last == 0) return std::nullopt;
  std::size_t before = text.rfind(kSectionSign, last - 1);
  if (before == std::u16string_view::npos) return std::nullopt;
  return StatusOf({}, text.substr(0, before), text.substr(before + 1, last - before - 1),
                  text.substr(last + 1));
}

}  // namespace

std::vector<std::uint8_t> MakeJavaStatusRequest(std::string_view host, std::uint16_t port) {
  std::vector<std::uint8_t> handshake;
  AppendVarInt(handshake, 0);  // packet id
  AppendVarInt(handshake, static_cast<std::uint32_t>(kJavaStatusProtocol));
  AppendVarInt(handshake, static_cast<std::uint32_t>(host.size()));
  handshake.insert(handshake.end(), host.begin(), host.end());
  AppendU16BE(handshake, port);
  AppendVarInt(handshake, 1);  // next state: status

  std::vector<std::uint8_t> out;
  AppendVarInt(out, static_cast<std::uint32_t>(handshake.size()));
  out.insert(out.end(), handshake.begin(), handshake.end());
  // The status request: length 1, id 0.
  out.push_back(0x01);
  out.push_back(0x00);
  return out;
}

std::vector<std::uint8_t> MakeLegacyPing(std::string_view host, std::uint16_t port) {
  std::u16string host16 = Utf8ToUtf16(host);
  // The data length (protocol byte, host, port) must fit its 16 bits.
  constexpr std::size_t kMaxHostUnits = (0xFFFF - 7) / 2;
  if (host16.size() > kMaxHostUnits) host16.resize(kMaxHostUnits);

  std::vector<std::uint8_t> out(std::begin(kLegacyPingFirst), std::end(kLegacyPingFirst));
  AppendUtf16BE(out, kLegacyPingChannel);
  AppendU16BE(out, static_cast<std::uint16_t>(7 + 2 * host16.size()));
  out.push_back(kLegacyPingProtocol);
  AppendUtf16BE(out, host16);
  AppendU16BE(out, 0);  // the int32 port's upper half
  AppendU16BE(out, port);
  return out;
}

JavaStatusFrame ReadJavaStatusFrame(std::span<const std::uint8_t> received) {
  constexpr JavaStatusFrame kInvalid{FrameState::kInvalid, {}};
  constexpr JavaStatusFrame kIncomplete{FrameState::kIncomplete, {}};
  ByteReader reader(received);
  VarInt length = ReadVarInt(reader);
  if (length.state == VarIntState::kCut) return kIncomplete;
  if (!IsLength(length) || length.value > kMaxJavaStatusBytes - reader.Position()) return kInvalid;

  // The packet's fields are read inside its length: a VarInt that runs to
  // the packet's end is malformed once the whole packet is here, and only
  // unfinished before.
  const bool whole = length.value <= reader.Remaining();
  const JavaStatusFrame cut = whole ? kInvalid : kIncomplete;
  ByteReader packet = reader.SubReader(length.value);
  VarInt id = ReadVarInt(packet);
  if (id.state == VarIntState::kCut) return cut;
  if (id.state != VarIntState::kValue || id.value != 0) return kInvalid;
  VarInt text_length = ReadVarInt(packet);
  if (text_length.state == VarIntState::kCut) return cut;
  if (!IsLength(text_length) || text_length.value > length.value - packet.Position())
    return kInvalid;
  if (!whole) return kIncomplete;
  auto text = packet.ReadBytes(text_length.value);
  return {FrameState::kComplete,
          std::string_view(reinterpret_cast<const char*>(text.data()), text.size())};
}

LegacyKick ReadLegacyKick(std::span<const std::uint8_t> received) {
  ByteReader reader(received);
  if (reader.AtEnd()) return {};
  if (reader.ReadU8() != kLegacyKickId) return {FrameState::kInvalid, {}};
  if (reader.Remaining() < 2) return {};
  std::size_t units = ReadU16BE(reader);
  if (reader.Remaining() / 2 < units) return {};
  std::u16string text;
  text.reserve(units);
  for (std::size_t i = 0; i < units; ++i) text.push_back(static_cast<char16_t>(ReadU16BE(reader)));
  std::optional<MinecraftStatus> status = ParseLegacyKickText(text);
  if (!status) return {FrameState::kInvalid, {}};
  return {FrameState::kComplete, std::move(*status)};
}

std::string StripFormattingCodes(std::string_view utf8) {
  constexpr std::string_view kSectionSignUtf8 = "\xC2\xA7";
  std::string out;
  out.reserve(utf8.size());
  std::size_t pos = 0;
  while (pos < utf8.size()) {
    if (utf8.substr(pos, 2) == kSectionSignUtf8) {
      pos = CodePointEnd(utf8, pos + 2);
      continue;
    }
    out.push_back(utf8[pos++]);
  }
  return out;
}

}  // namespace morvane
