#include "games/mta.h"

#include <algorithm>
#include <string_view>

#include "common/byte_reader.h"
#include "common/text.h"

namespace morvane {
namespace {

constexpr std::string_view kMagic = "EYE1";

enum PlayerFlag : std::uint8_t {
  kName = 0x01,
  kTeam = 0x02,
  kSkin = 0x04,
  kScore = 0x08,
  kPing = 0x10,
  kTime = 0x20,
};

// One text after its length byte, which counts itself; 0 is taken as 1. A
// text the datagram cuts short reads as empty and exhausts the reader.
std::string ReadText(ByteReader& reader) {
  const std::uint8_t length = reader.ReadU8();
  const auto bytes = reader.ReadBytes(length > 1 ? length - 1u : 0u);
  return std::string(bytes.begin(), bytes.end());
}

// The text when the flags say it is there, empty otherwise.
std::string ReadField(ByteReader& reader, std::uint8_t flags, PlayerFlag field) {
  if ((flags & field) == 0) return {};
  return ReadText(reader);
}

}  // namespace

std::optional<MtaStatus> ParseMtaReply(std::span<const std::uint8_t> datagram) {
  ByteReader reader(datagram);
  const auto magic = reader.ReadBytes(kMagic.size());
  if (!std::ranges::equal(magic, kMagic, [](std::uint8_t a, char b) {
        return a == static_cast<std::uint8_t>(b);
      })) {
    return std::nullopt;
  }
  MtaStatus status;
  (void)ReadText(reader);  // The game, "mta".
  (void)ReadText(reader);  // The game port.
  status.name = ReadText(reader);
  status.game_type = ReadText(reader);
  status.map = ReadText(reader);
  status.version = ReadText(reader);
  const std::string password = ReadText(reader);
  status.password = !password.empty() && password != "0";
  status.players = ParsePlayerCount(ReadText(reader));
  status.max_players = ParsePlayerCount(ReadText(reader));
  if (reader.Exhausted()) return std::nullopt;

  // The rules are not shown; an empty key ends them.
  while (!reader.AtEnd() && !ReadText(reader).empty()) (void)ReadText(reader);
  while (!reader.AtEnd() && status.player_list.size() < status.players) {
    const std::uint8_t flags = reader.ReadU8();
    MtaPlayer player;
    player.name = ReadField(reader, flags, kName);
    (void)ReadField(reader, flags, kTeam);
    (void)ReadField(reader, flags, kSkin);
    player.score = ReadField(reader, flags, kScore);
    player.ping = ReadField(reader, flags, kPing);
    (void)ReadField(reader, flags, kTime);
    // A record the datagram cut off would show texts that were never sent.
    if (reader.Exhausted()) break;
    status.player_list.push_back(std::move(player));
  }
  status.cut = reader.Exhausted();
  return status;
}

}  // namespace morvane
