#include "games/source.h"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <optional>
#include <string_view>
#include <utility>

#include "common/byte_reader.h"
#include "common/text.h"

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

// The Ship (application 2400) sends its game mode, witness count and witness
// time after the VAC byte.
constexpr std::uint16_t kTheShipAppId = 2400;

// The flags of the extra data, in the order their fields come.
constexpr std::uint8_t kExtraPort = 0x80;
constexpr std::uint8_t kExtraSteamId = 0x10;
constexpr std::uint8_t kExtraSpectator = 0x40;
constexpr std::uint8_t kExtraKeywords = 0x20;

// A NUL-terminated string that is whole, or nothing.
std::optional<std::string_view> ReadWholeString(ByteReader& reader) {
  const std::string_view text = reader.ReadCString();
  if (reader.Exhausted()) return std::nullopt;
  return text;
}

// The keywords of an info reply's extra data, the reader standing just past
// the visibility byte; empty when the reply has none, or when they or a field
// before them are cut short.
std::string_view ReadKeywords(ByteReader& reader, std::uint16_t app_id) {
  reader.Skip(1);  // VAC.
  if (app_id == kTheShipAppId) reader.Skip(3);
  if (!ReadWholeString(reader)) return {};  // The version.
  const std::uint8_t flags = reader.ReadU8();
  if (reader.Exhausted()) return {};
  if (flags & kExtraPort) reader.Skip(2);
  if (flags & kExtraSteamId) reader.Skip(8);
  if (flags & kExtraSpectator) {
    reader.Skip(2);
    if (!ReadWholeString(reader)) return {};
  }
  if (!(flags & kExtraKeywords) || reader.Exhausted()) return {};
  return ReadWholeString(reader).value_or(std::string_view());
}

// The number of a count tag: two letters and decimal digits, the largest
// 32-bit number for more than that holds.
std::optional<std::uint32_t> TagNumber(std::string_view tag) {
  if (tag.size() < 3) return std::nullopt;
  const std::string_view digits = tag.substr(2);
  if (!std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; })) {
    return std::nullopt;
  }
  return ParsePlayerCount(digits);
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
  const std::uint16_t app_id = type == kInfoType ? reader.ReadU16LE() : 0;
  info.players = reader.ReadU8();
  info.max_players = reader.ReadU8();
  reader.Skip(3);  // Bots (or the protocol), the server type and the environment.
  info.password = reader.ReadU8() == 1;
  if (type != kInfoType) return info;
  const KeywordCounts counts = ParseKeywordCounts(ReadKeywords(reader, app_id));
  if (counts.players) info.players = *counts.players;
  if (counts.max_players) info.max_players = *counts.max_players;
  return info;
}

KeywordCounts ParseKeywordCounts(std::string_view keywords) {
  KeywordCounts counts;
  while (!keywords.empty()) {
    const std::size_t comma = keywords.find(',');
    const std::string_view tag = keywords.substr(0, comma);
    keywords = comma == std::string_view::npos ? std::string_view() : keywords.substr(comma + 1);
    const auto number = TagNumber(tag);
    if (!number) continue;
    if (tag.starts_with("cp")) counts.players = number;
    if (tag.starts_with("mp")) counts.max_players = number;
  }
  return counts;
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
  bool any_name = false;
  for (int i = 0; i < result.count; ++i) {
    // The next record needs more than its index byte.
    if (reader.Remaining() <= 1) break;
    (void)reader.ReadU8();  // The record's index.
    SourcePlayer player;
    player.name = ReadString(reader);
    any_name = any_name || !player.name.empty();
    // A record cut off by the end keeps the bytes that came.
    player.score = static_cast<std::int32_t>(reader.ReadU32LEPadded());
    player.duration = std::bit_cast<float>(reader.ReadU32LEPadded());
    result.players.push_back(std::move(player));
  }
  if (!any_name) {
    result.names_hidden = result.count > 0;
    result.players.clear();
  }
  return result;
}

}  // namespace morvane
