#include "games/minecraft_bedrock.h"

#include <algorithm>
#include <string_view>

#include "common/byte_reader.h"
#include "common/text.h"
#include "games/minecraft_java.h"

namespace morvane {
namespace {

constexpr std::uint8_t kUnconnectedPing = 0x01;
constexpr std::uint8_t kUnconnectedPong = 0x1C;

// The pong's fields by their place in the text.
enum PongField : std::size_t {
  kEdition = 0,
  kMotd = 1,
  kVersion = 3,
  kOnline = 4,
  kMaxPlayers = 5,
  kLevelName = 7,
  kFieldsRead = 8,
};

void PutU64BE(std::uint8_t* out, std::uint64_t value) {
  for (int i = 7; i >= 0; --i) {
    out[i] = static_cast<std::uint8_t>(value);
    value >>= 8;
  }
}

std::uint64_t ReadU64BE(ByteReader& reader) {
  std::uint64_t value = 0;
  for (std::uint8_t byte : reader.ReadBytes(8)) value = value << 8 | byte;
  return value;
}

std::uint16_t ReadU16BE(ByteReader& reader) {
  auto bytes = reader.ReadBytes(2);
  if (bytes.empty()) return 0;
  return static_cast<std::uint16_t>(bytes[0] << 8 | bytes[1]);
}

}  // namespace

std::array<std::uint8_t, 33> MakeBedrockPing(std::int64_t time, std::uint64_t client_id) {
  std::array<std::uint8_t, 33> ping{};
  ping[0] = kUnconnectedPing;
  PutU64BE(&ping[1], static_cast<std::uint64_t>(time));
  std::copy(kRakNetOfflineMagic.begin(), kRakNetOfflineMagic.end(), &ping[9]);
  PutU64BE(&ping[25], client_id);
  return ping;
}

std::optional<BedrockPong> ParseBedrockPong(std::span<const std::uint8_t> datagram,
                                            std::int64_t ping_time) {
  ByteReader reader(datagram);
  if (reader.ReadU8() != kUnconnectedPong) return std::nullopt;
  const auto time = static_cast<std::int64_t>(ReadU64BE(reader));
  reader.Skip(8);  // The server's id.
  auto magic = reader.ReadBytes(kRakNetOfflineMagic.size());
  std::uint16_t length = ReadU16BE(reader);
  auto text_bytes = reader.ReadBytes(length);
  // A pong to another ping (or someone else's datagram) and a cut pong are
  // no answer: a cut text would show a name or a count that was not sent.
  if (reader.Exhausted() || time != ping_time || !std::ranges::equal(magic, kRakNetOfflineMagic)) {
    return std::nullopt;
  }

  std::string_view text(reinterpret_cast<const char*>(text_bytes.data()), text_bytes.size());
  std::string_view fields[kFieldsRead];
  for (std::size_t i = 0; i < kFieldsRead && !text.empty(); ++i) {
    std::size_t end = text.find(';');
    fields[i] = text.substr(0, end);
    text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
  }
  BedrockPong pong;
  pong.edition = StripFormattingCodes(fields[kEdition]);
  pong.motd = StripFormattingCodes(fields[kMotd]);
  pong.version = StripFormattingCodes(fields[kVersion]);
  pong.level_name = StripFormattingCodes(fields[kLevelName]);
  pong.online = ParsePlayerCount(fields[kOnline]);
  pong.max_players = ParsePlayerCount(fields[kMaxPlayers]);
  return pong;
}

}  // namespace morvane
