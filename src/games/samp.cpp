#include "games/samp.h"

#include <utility>

#include "common/byte_reader.h"

namespace morvane {
namespace {

constexpr std::size_t kOpcodeOffset = 10;
constexpr std::size_t kInfoOffset = 11;     // Password byte, then the counts.
constexpr std::size_t kPlayersOffset = 11;  // Player count, then the records.

// A 32-bit length and that many bytes. A negative length reads as 0; a length
// beyond the datagram keeps what is there and leaves the reader at the end.
std::string ReadLengthPrefixed(ByteReader& reader) {
  std::int32_t length = reader.ReadI32LE();
  if (length <= 0) return {};
  auto bytes = reader.ReadBytesClamped(static_cast<std::size_t>(length));
  return std::string(bytes.begin(), bytes.end());
}

SampPlayers ParsePlayerRecords(std::span<const std::uint8_t> reply, bool detailed) {
  ByteReader reader(reply);
  reader.Seek(kPlayersOffset);
  SampPlayers result;
  result.count = reader.ReadU16LE();
  for (int i = 0; i < result.count && !reader.AtEnd(); ++i) {
    if (detailed) (void)reader.ReadU8();  // The player id.
    std::uint8_t name_length = reader.ReadU8();
    auto name = reader.ReadBytes(name_length);
    SampPlayer player;
    player.name.assign(name.begin(), name.end());
    player.score = reader.ReadI32LE();
    if (detailed) player.ping = reader.ReadI32LE();
    // A record the datagram cut off would show numbers that were never sent.
    if (reader.Exhausted()) break;
    result.players.push_back(std::move(player));
  }
  return result;
}

}  // namespace

bool IsSampReply(std::span<const std::uint8_t> reply, char opcode) {
  if (reply.size() <= kOpcodeOffset) return false;
  return ByteReader(reply).ByteAt(kOpcodeOffset) == static_cast<std::uint8_t>(opcode);
}

SampInfo ParseSampInfo(std::span<const std::uint8_t> reply) {
  ByteReader reader(reply);
  reader.Seek(kInfoOffset);
  SampInfo info;
  info.password = reader.ReadU8() != 0;
  info.players = reader.ReadU16LE();
  info.max_players = reader.ReadU16LE();
  info.host_name = ReadLengthPrefixed(reader);
  info.game_mode = ReadLengthPrefixed(reader);
  info.third = ReadLengthPrefixed(reader);
  return info;
}

SampPlayers ParseSampPlayers(std::span<const std::uint8_t> reply) {
  return ParsePlayerRecords(reply, true);
}

SampPlayers ParseSampClients(std::span<const std::uint8_t> reply) {
  return ParsePlayerRecords(reply, false);
}

}  // namespace morvane
