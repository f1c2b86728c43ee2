#include "minecraft_bedrock_replies.h"

#include <algorithm>

#include "common/byte_reader.h"

namespace morvane::gamesim {
namespace {

constexpr std::uint8_t kUnconnectedPing = 0x01;
constexpr std::uint8_t kUnconnectedPingOpen = 0x02;
constexpr std::uint8_t kUnconnectedPong = 0x1C;

// Game modes as the pong numbers them.
int GameModeNumber(const std::string& mode) {
  if (mode == "Creative") return 0;
  if (mode == "Adventure") return 2;
  return 1;
}

}  // namespace

std::string BuildBedrockStatusText(const SimMinecraft& server, std::uint16_t port,
                                   std::optional<int> fields) {
  const std::string values[kBedrockFields] = {
      "MCPE",
      server.motd,
      std::to_string(server.protocol),
      server.version,
      std::to_string(server.online),
      std::to_string(server.max_players),
      std::to_string(server.server_id),
      server.level_name,
      server.game_mode,
      std::to_string(GameModeNumber(server.game_mode)),
      std::to_string(port),
      "-1",
  };
  std::string text;
  if (!fields) {
    for (const std::string& value : values) text += value + ";";
    return text;
  }
  const int count = std::clamp(*fields, 0, kBedrockFields);
  for (int i = 0; i < count; ++i) text += (i == 0 ? "" : ";") + values[i];
  return text;
}

Datagram BuildBedrockPong(std::uint64_t time, const SimMinecraft& server, const std::string& text) {
  WireWriter out;
  out.U8(kUnconnectedPong).U64BE(time).U64BE(server.server_id).Bytes(kBedrockMagic);
  const std::size_t size = std::min<std::size_t>(text.size(), 0xFFFF);
  out.U16BE(static_cast<std::uint16_t>(size)).Text(std::string_view(text).substr(0, size));
  return out.Take();
}

std::vector<Datagram> AnswerBedrockPing(std::span<const std::uint8_t> bytes,
                                        const SimMinecraft& server, std::uint16_t port,
                                        std::optional<int> fields) {
  ByteReader reader(bytes);
  const std::uint8_t id = reader.ReadU8();
  std::uint64_t time = 0;
  for (int i = 0; i < 8; ++i) time = time << 8 | reader.ReadU8();
  const auto magic = reader.ReadBytes(kBedrockMagic.size());
  reader.Skip(8);  // the client's id
  if (reader.Exhausted() || (id != kUnconnectedPing && id != kUnconnectedPingOpen) ||
      !std::equal(magic.begin(), magic.end(), kBedrockMagic.begin(), kBedrockMagic.end())) {
    return {};
  }
  return {BuildBedrockPong(time, server, BuildBedrockStatusText(server, port, fields))};
}

}  // namespace morvane::gamesim
