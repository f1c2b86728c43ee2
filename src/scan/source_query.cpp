#include "scan/source_query.h"

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
constexpr std::size_t kPlayerCountOffset = 5;
// Byte 6 is the first record's index; its name starts at 7.
constexpr std::size_t kFirstPlayerNameOffset = 7;
// Score (4) and duration (4), then the next record's index byte (1).
constexpr std::size_t kPlayerRecordTail = 9;

// A little-endian 32-bit number at an absolute offset, each byte beyond the
// datagram read as 0, so a number cut by the end keeps the bytes that came.
std::uint32_t U32At(const ByteReader& reader, std::size_t pos) {
  std::uint32_t value = 0;
  for (std::size_t i = 0; i < 4; ++i) {
    value |= static_cast<std::uint32_t>(reader.ByteAt(pos + i)) << (8 * i);
  }
  return value;
}

// A string runs up to its NUL or the end of the datagram; the next field
// starts right after the NUL, so after an unterminated string it lies past the
// end and reads as 0.
std::string ReadString(ByteReader& reader, std::size_t& pos) {
  reader.Seek(pos);
  std::string_view text = reader.ReadCString();
  pos += text.size() + 1;
  return std::string(text);
}

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
  ByteReader reader(reply);
  SourceInfo info;
  std::uint8_t type = reader.ByteAt(kTypeOffset);
  std::size_t pos = 0;
  if (type == kOldInfoType) {
    // The old form leads with the server's own address, which nobody shows.
    pos = 5;
    (void)ReadString(reader, pos);
  } else if (type == kInfoType) {
    pos = 6;  // Past the protocol version byte.
  } else {
    return info;
  }
  info.name = ReadString(reader, pos);
  info.map = ReadString(reader, pos);
  (void)ReadString(reader, pos);  // The game folder.
  info.mod = ReadString(reader, pos);
  if (type == kInfoType) pos += 2;  // The application id.
  info.players = reader.ByteAt(pos);
  info.max_players = reader.ByteAt(pos + 1);
  // Bots (or protocol), server type and environment sit in between.
  info.password = reader.ByteAt(pos + 5) == 1;
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
  ByteReader reader(reply);
  SourcePlayers result;
  result.count = reader.ByteAt(kPlayerCountOffset);
  result.players.reserve(result.count);
  // A first record with an empty name stands for an empty server, whatever
  // the count byte says.
  if (result.count == 0 || reader.ByteAt(kFirstPlayerNameOffset) == 0) {
    result.no_players = true;
    return result;
  }
  std::size_t pos = kFirstPlayerNameOffset;
  for (int i = 0; i < result.count; ++i) {
    SourcePlayer player;
    player.name = ReadString(reader, pos);
    player.score = static_cast<std::int32_t>(U32At(reader, pos));
    player.duration = std::bit_cast<float>(U32At(reader, pos + 4));
    result.players.push_back(std::move(player));
    pos += kPlayerRecordTail;
    if (pos >= reader.Size()) break;
  }
  return result;
}

}  // namespace morvane
