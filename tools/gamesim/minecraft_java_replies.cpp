#include "minecraft_java_replies.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <optional>
#include <string_view>

#include "common/byte_reader.h"
#include "common/text.h"

namespace morvane::gamesim {
namespace {

// The protocol number a 1.7 or later server states in a legacy kick.
constexpr std::int32_t kModernLegacyProtocol = 127;
constexpr std::uint8_t kLegacyPing = 0xFE;
constexpr std::uint8_t kLegacyPayload = 0x01;
constexpr std::uint8_t kLegacyPluginMessage = 0xFA;
constexpr std::uint8_t kLegacyKick = 0xFF;
constexpr std::int32_t kStatusPacketId = 0;
constexpr std::int32_t kPingPacketId = 1;
constexpr std::int32_t kNextStateStatus = 1;
constexpr std::size_t kPingPayloadSize = 8;
constexpr std::string_view kSection = "\u00A7";

// The names of the colour codes §0 to §f, as chat components give them.
constexpr std::array<std::string_view, 16> kColourNames = {
    "black", "dark_blue",    "dark_green", "dark_aqua", "dark_red", "dark_purple",
    "gold",  "gray",         "dark_gray",  "blue",      "green",    "aqua",
    "red",   "light_purple", "yellow",     "white"};

std::optional<std::size_t> ColourIndex(char code) {
  if (code >= '0' && code <= '9') return static_cast<std::size_t>(code - '0');
  if (code >= 'a' && code <= 'f') return static_cast<std::size_t>(code - 'a' + 10);
  return std::nullopt;
}

// A JSON string. Only what JSON requires is escaped, so other texts keep
// their UTF-8 bytes; escape_section writes every "§" as \u00a7.
std::string Quoted(std::string_view text, bool escape_section = false) {
  std::string out = "\"";
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (escape_section && text.substr(i).starts_with(kSection)) {
      out += "\\u00a7";
      i += kSection.size() - 1;
    } else if (c == '"' || c == '\\') {
      out += '\\';
      out += c;
    } else if (c == '\n') {
      out += "\\n";
    } else if (static_cast<unsigned char>(c) < 0x20) {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\u%04x", static_cast<unsigned>(c));
      out += escaped;
    } else {
      out += c;
    }
  }
  return out + "\"";
}

std::string Base64(std::span<const std::uint8_t> bytes) {
  static constexpr char kAlphabet[] =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  out.reserve((bytes.size() + 2) / 3 * 4);
  for (std::size_t i = 0; i < bytes.size(); i += 3) {
    const std::size_t n = std::min<std::size_t>(3, bytes.size() - i);
    std::uint32_t group = static_cast<std::uint32_t>(bytes[i]) << 16;
    if (n > 1) group |= static_cast<std::uint32_t>(bytes[i + 1]) << 8;
    if (n > 2) group |= bytes[i + 2];
    for (std::size_t k = 0; k < 4; ++k) {
      out += k <= n ? kAlphabet[(group >> (18 - 6 * k)) & 0x3F] : '=';
    }
  }
  return out;
}

// A data URL of the given length: base64 of bytes that start like a PNG
// file. Servers send 64 by 64 icons of a few KiB; some send far more.
std::string Favicon(int kib) {
  const std::size_t text_size = static_cast<std::size_t>(kib) * 1024;
  std::vector<std::uint8_t> bytes = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  while (bytes.size() < text_size / 4 * 3)
    bytes.push_back(static_cast<std::uint8_t>(bytes.size() * 7));
  return "data:image/png;base64," + Base64(bytes);
}

enum class VarIntRead { kDone, kIncomplete, kInvalid };

// At most five bytes; a longer one is no VarInt of 32 bits.
VarIntRead ReadVarInt(ByteReader& reader, std::int32_t& value) {
  std::uint32_t bits = 0;
  for (int i = 0; i < 5; ++i) {
    const std::uint8_t byte = reader.ReadU8();
    if (reader.Exhausted()) return VarIntRead::kIncomplete;
    bits |= static_cast<std::uint32_t>(byte & 0x7F) << (7 * i);
    if ((byte & 0x80) == 0) {
      value = static_cast<std::int32_t>(bits);
      return VarIntRead::kDone;
    }
  }
  return VarIntRead::kInvalid;
}

std::uint16_t ReadU16BE(ByteReader& reader) {
  const std::uint8_t high = reader.ReadU8();
  return static_cast<std::uint16_t>(high << 8 | reader.ReadU8());
}

JavaStep CloseNow() { return {.consumed = 0, .reply = {}, .close = true}; }

// The legacy ping: answered once its parts have come (or stopped coming),
// in the form the ping asks for; a server before 1.4 answers the FE alone.
JavaStep StepLegacyPing(std::span<const std::uint8_t> received, bool quiet,
                        const JavaSetup& setup) {
  const auto answer = [&](LegacyForm form) {
    const std::int32_t protocol =
        setup.era == JavaEra::kModern ? kModernLegacyProtocol : setup.server.protocol;
    return JavaStep{.consumed = received.size(),
                    .reply = BuildLegacyKick(setup.server, form, protocol),
                    .close = true};
  };
  if (setup.era == JavaEra::kOldLegacy) return answer(LegacyForm::kOld);
  if (received.size() < 2) return quiet ? answer(LegacyForm::kOld) : JavaStep{};
  if (received[1] != kLegacyPayload) return answer(LegacyForm::kOld);
  if (received.size() < 3) return quiet ? answer(LegacyForm::kVersioned) : JavaStep{};
  if (received[2] != kLegacyPluginMessage) return answer(LegacyForm::kVersioned);
  // The plugin message: a channel name of n UTF-16 code units, then m bytes.
  ByteReader reader(received.subspan(3));
  reader.Skip(2 * static_cast<std::size_t>(ReadU16BE(reader)));
  reader.Skip(ReadU16BE(reader));
  if (reader.Exhausted() && !quiet) return {};
  return answer(LegacyForm::kVersioned);
}

}  // namespace

std::string BuildChatComponentJson(const std::string& motd) {
  struct Piece {
    std::size_t colour = 0;
    std::string text;
  };
  std::string own;
  std::vector<Piece> parts;
  for (std::size_t i = 0; i < motd.size(); ++i) {
    const std::string_view rest = std::string_view(motd).substr(i);
    if (rest.size() > kSection.size() && rest.starts_with(kSection)) {
      if (const auto colour = ColourIndex(rest[kSection.size()])) {
        parts.push_back({*colour, {}});
        i += kSection.size();
        continue;
      }
    }
    (parts.empty() ? own : parts.back().text) += motd[i];
  }
  std::string json = "{\"text\":" + Quoted(own, true) + ",\"extra\":[";
  for (std::size_t i = 0; i < parts.size(); ++i) {
    json += (i == 0 ? "" : ",");
    json += "{\"color\":\"" + std::string(kColourNames[parts[i].colour]) +
            "\",\"text\":" + Quoted(parts[i].text, true) + "}";
  }
  return json + "]}";
}

std::string BuildJavaStatusJson(const SimMinecraft& server, const JavaStatusLook& look) {
  std::string json = "{\"version\":{\"name\":" + Quoted(server.version) +
                     ",\"protocol\":" + std::to_string(server.protocol) + "}";
  json += ",\"players\":{\"max\":" + std::to_string(server.max_players) +
          ",\"online\":" + std::to_string(server.online);
  if (server.sample) {
    json += ",\"sample\":[";
    for (std::size_t i = 0; i < server.sample->size(); ++i) {
      // Made-up ids of the form a client checks: 8-4-4-4-12 hexadecimal digits.
      char id[48];
      std::snprintf(id, sizeof id, "4d6f7276-616e-4500-8000-%012llx",
                    static_cast<unsigned long long>(i + 1));
      json += (i == 0 ? "{\"name\":" : ",{\"name\":") + Quoted((*server.sample)[i]) + ",\"id\":\"" +
              id + "\"}";
    }
    json += "]";
  }
  json += "},\"description\":";
  json += look.chat_description ? BuildChatComponentJson(server.motd) : Quoted(server.motd);
  if (look.favicon_kb > 0) json += ",\"favicon\":\"" + Favicon(look.favicon_kb) + "\"";
  return json + ",\"enforcesSecureChat\":true}";
}

Datagram BuildJavaStatusPacket(const std::string& json) {
  WireWriter body;
  body.VarInt(kStatusPacketId).VarInt(static_cast<std::int32_t>(json.size())).Text(json);
  const Datagram payload = body.Take();
  WireWriter out;
  out.VarInt(static_cast<std::int32_t>(payload.size())).Bytes(payload);
  return out.Take();
}

Datagram BuildLegacyKick(const SimMinecraft& server, LegacyForm form, std::int32_t protocol) {
  const std::string online = std::to_string(server.online);
  const std::string max = std::to_string(server.max_players);
  std::string text;
  if (form == LegacyForm::kOld) {
    text = server.motd + std::string(kSection) + online + std::string(kSection) + max;
  } else {
    using namespace std::string_literals;
    text = std::string(kSection) + "1\0"s + std::to_string(protocol) + "\0"s + server.version +
           "\0"s + server.motd + "\0"s + online + "\0"s + max;
  }
  std::u16string units = Utf8ToUtf16(text);
  if (units.size() > 0xFFFF) units.resize(0xFFFF);
  WireWriter out;
  out.U8(kLegacyKick).U16BE(static_cast<std::uint16_t>(units.size()));
  for (const char16_t unit : units) out.U16BE(unit);
  return out.Take();
}

JavaStep StepJavaExchange(std::span<const std::uint8_t> received, JavaPhase& phase, bool quiet,
                          const JavaSetup& setup) {
  if (received.empty()) return {};
  if (phase == JavaPhase::kHandshake && received[0] == kLegacyPing) {
    return StepLegacyPing(received, quiet, setup);
  }
  // A server before 1.7 reads the first byte as a packet id it has no use for.
  if (setup.era != JavaEra::kModern) return CloseNow();

  ByteReader reader(received);
  std::int32_t length = 0;
  const VarIntRead framing = ReadVarInt(reader, length);
  if (framing == VarIntRead::kIncomplete) return {};
  if (framing == VarIntRead::kInvalid || length <= 0 ||
      static_cast<std::size_t>(length) > kMaxJavaRequestBytes) {
    return CloseNow();
  }
  if (reader.Remaining() < static_cast<std::size_t>(length)) return {};
  const std::size_t consumed = reader.Position() + static_cast<std::size_t>(length);
  ByteReader packet = reader.SubReader(static_cast<std::size_t>(length));
  std::int32_t id = -1;
  if (ReadVarInt(packet, id) != VarIntRead::kDone) return CloseNow();

  if (phase == JavaPhase::kHandshake) {
    std::int32_t protocol = 0;
    std::int32_t host_size = 0;
    std::int32_t next_state = 0;
    if (id != kStatusPacketId || ReadVarInt(packet, protocol) != VarIntRead::kDone ||
        ReadVarInt(packet, host_size) != VarIntRead::kDone || host_size < 0) {
      return CloseNow();
    }
    packet.Skip(static_cast<std::size_t>(host_size) + 2);  // the host, then the port
    if (ReadVarInt(packet, next_state) != VarIntRead::kDone || !packet.AtEnd() ||
        next_state != kNextStateStatus) {
      return CloseNow();
    }
    phase = JavaPhase::kStatus;
    return {.consumed = consumed, .reply = {}, .close = false};
  }
  if (id == kStatusPacketId && phase == JavaPhase::kStatus && packet.AtEnd()) {
    phase = JavaPhase::kAnswered;
    return {.consumed = consumed,
            .reply = BuildJavaStatusPacket(BuildJavaStatusJson(setup.server, setup.look)),
            .close = false};
  }
  if (id == kPingPacketId && packet.Remaining() == kPingPayloadSize) {
    // The pong carries the ping's 8 bytes unchanged.
    WireWriter pong;
    pong.VarInt(1 + static_cast<std::int32_t>(kPingPayloadSize)).VarInt(kPingPacketId);
    pong.Bytes(packet.ReadBytes(kPingPayloadSize));
    return {.consumed = consumed, .reply = pong.Take(), .close = true};
  }
  return CloseNow();
}

}  // namespace morvane::gamesim
