#include "games/source.h"

#include <algorithm>
#include <bit>
#include <string_view>
#include <utility>

#include "common/byte_reader.h"

namespace morvane {
namespace {

constexpr std::size_t kTypeOffset = 4;
constexpr std::uint8_t kInfoType = 0x49;       // 'I'
constexpr std::uint8_t kOldInfoType = 0x6D;    // 'm', the GoldSrc form
constexpr std::uint8_t kChallengeType = 0x41;  // 'A'
constexpr std::uint8_t kPlayersType = 0x44;    // 'D'

constexpr std::size_t kChallengeOffset = 5;

// The reader past the header (bytes 0 to 3 play no part) and the type byte.
ByteReader AfterType(std::span<const std::uint8_t> reply, std::uint8_t& type) {
  ByteReader reader(reply);
  reader.Skip(kTypeOffset);
  type = reader.ReadU8();
  return reader;
}

// A string runs up to its NUL or the end of the datagram; after an
// unterminated one every later field reads as empty or 0.
std::string ReadString(ByteReader& reader) { return std::string(reader.ReadCString()); }

}  // namespace

std::array<std::uint8_t, 29> MakeSourceInfoRequest(const SourceChallenge& challenge) {
  std::array<std::uint8_t, 29> request{};
  std::copy(kSourceInfoRequest.begin(), kSourceInfoRequest.end(), request.begin());
  std::copy(challenge.begin(), challenge.end(), request.begin() + kSourceInfoRequest.size());
  return request;
}

std::array<std::uint8_t, 9> MakeSourcePlayerRequest(const SourceChallenge& challenge) {
  std::array<std::uint8_t, 9> request = kSourcePlayerRequest;
  std::copy(challenge.begin(), challenge.end(), request.begin() + kChallengeOffset);
  return request;
}

SourceReplyType ClassifySourceReply(std::span<const std::uint8_t> reply) {
  if (reply.size() <= kTypeOffset) return SourceReplyType::kUnrecognised;
  switch (ByteReader(reply).ByteAt(kTypeOffset)) {
    case kInfoType:
    case kOldInfoType:
      return SourceReplyType::kInfo;
    case kChallengeType:
      return SourceReplyType::kChallenge;
    case kPlayersType:
      return SourceReplyType::kPlayers;
    default:
      return SourceReplyType::kUnrecognised;
  }
}

SourceInfo ParseSourceInfo(std::span<const std::uint8_t> reply) {
  std::uint8_t type = 0;
  ByteReader reader = AfterType(reply, type);
  SourceInfo info;
  if (type == kOldInfoType) {
    // The old form leads with the server's own address, which nobody shows.
    (void)ReadString(reader);
  } else if (type == kInfoType) {
    reader.Skip(1);  // The protocol version.
  } else {
    return info;
  }
  info.name = ReadString(reader);
  info.map = ReadString(reader);
  (void)ReadString(reader);  // The game folder.
  info.mod = ReadString(reader);
  if (type == kInfoType) reader.Skip(2);  // The application id.
  info.players = reader.ReadU8();
  info.max_players = reader.ReadU8();
  reader.Skip(3);  // Bots (or the protocol), the server type and the environment.
  info.password = reader.ReadU8() == 1;
  return info;
}

SourceChallenge ParseSourceChallenge(std::span<const std::uint8_t> reply) {
  ByteReader reader(reply);
  SourceChallenge challenge{};
  for (std::size_t i = 0; i < challenge.size(); ++i) {
    challenge[i] = reader.ByteAt(kChallengeOffset + i);
  }
  return challenge;
}

SourcePlayers ParseSourcePlayers(std::span<const std::uint8_t> reply) {
  std::uint8_t type = 0;
  ByteReader reader = AfterType(reply, type);
  SourcePlayers result;
  result.count = reader.ReadU8();
  result.players.reserve(result.count);
  for (int i = 0; i < result.count; ++i) {
    (void)reader.ReadU8();  // The record's index.
    SourcePlayer player;
    player.name = ReadString(reader);
    // A first record with an empty name stands for an empty server, whatever
    // the count byte says.
    if (i == 0 && player.name.empty()) break;
    // A record cut off by the end keeps the bytes that came.
    player.score = static_cast<std::int32_t>(reader.ReadU32LEPadded());
    player.duration = std::bit_cast<float>(reader.ReadU32LEPadded());
    result.players.push_back(std::move(player));
    // The next record needs more than its index byte.
    if (reader.Remaining() <= 1) break;
  }
  result.no_players = result.players.empty();
  return result;
}

}  // namespace morvane
