// The Source engine query: the datagrams the worker sends to a Source or
// GoldSrc server and the parsers of the replies it gets back. Pure code: one
// received datagram in, plain values out; the worker owns the socket.
//
// Every datagram but a piece of a split reply starts with the connectionless
// header FF FF FF FF; a reply's byte 4 is its type. Numbers are little-endian,
// strings end with a NUL.
//   info request     "TSource Engine Query", NUL
//   info (0x49)      protocol, name, map, game folder, game description,
//                    int16 application id, players, max players, bots,
//                    server type, environment, visibility (1: password), ...
//   info (0x6D)      the GoldSrc form: the server's address string, name, map,
//                    game folder, game description, players, max players,
//                    protocol, server type, environment, visibility, ...
//   player request   'U' and a 4-byte challenge (FF FF FF FF: none yet)
//   players (0x44)   count, then per player: index, name, int32 score,
//                    float32 seconds connected
//   challenge (0x41) 4 challenge bytes
// A server that wants a challenge answers the first request with one; the
// player request is sent again with those bytes in place of FF FF FF FF, the
// info request with them appended. A reply too long for one datagram comes in
// pieces (source_split.h).
//
// Strings are returned as the raw bytes the server sent (UTF-8 on the wire);
// turning them into the plug-in's text is the caller's business.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace morvane {

// "TSource Engine Query" behind the connectionless header, with its NUL.
inline constexpr std::array<std::uint8_t, 25> kSourceInfoRequest = {
    0xFF, 0xFF, 0xFF, 0xFF, 'T', 'S', 'o', 'u', 'r', 'c', 'e', ' ', 'E',
    'n',  'g',  'i',  'n',  'e', ' ', 'Q', 'u', 'e', 'r', 'y', 0x00};

// The player request carries a challenge in bytes 5 to 8; FF FF FF FF asks the
// server to hand out a challenge first.
inline constexpr std::array<std::uint8_t, 9> kSourcePlayerRequest = {0xFF, 0xFF, 0xFF, 0xFF, 'U',
                                                                     0xFF, 0xFF, 0xFF, 0xFF};

using SourceChallenge = std::array<std::uint8_t, 4>;

// Current servers answer a bare info request with a challenge and serve the
// info reply only when the request is repeated with those 4 bytes appended.
std::array<std::uint8_t, 29> MakeSourceInfoRequest(const SourceChallenge& challenge);

// The player request with the server's challenge in bytes 5 to 8.
std::array<std::uint8_t, 9> MakeSourcePlayerRequest(const SourceChallenge& challenge);

enum class SourceReplyType { kUnrecognised, kInfo, kChallenge, kPlayers };

// The reply's byte 4 alone decides its type; bytes 0 to 3 play no part. A
// datagram of fewer than 5 bytes is unrecognised.
SourceReplyType ClassifySourceReply(std::span<const std::uint8_t> reply);

struct SourceInfo {
  std::string name;
  std::string map;
  std::string mod;  // The game description.
  // The count bytes, or the keywords' counts where they give them.
  std::uint32_t players = 0;
  std::uint32_t max_players = 0;
  bool password = false;
};

// An info reply of either form: 0x49 (Source) or 0x6D (GoldSrc, which starts
// with the server's own address). A string ends at its NUL or at the end of
// the datagram; a byte beyond the end reads as 0. Any other type byte gives
// empty values.
//
// A Source reply may end in extra data, its fields in this order, each there
// when its flag is set: the game port (0x80), the steam id (0x10), the
// spectator port and name (0x40), the keywords (0x20) and the game id (0x01).
// Rust servers, which have more players than a byte holds, put the counts in
// the keywords as the tags "cp<number>" (players) and "mp<number>" (maximum):
// where those tags are, their counts stand in for the bytes', whatever the
// game. A field cut short by the end of the datagram, and every field after
// it, is left unread.
SourceInfo ParseSourceInfo(std::span<const std::uint8_t> reply);

struct KeywordCounts {
  std::optional<std::uint32_t> players;      // "cp<number>"
  std::optional<std::uint32_t> max_players;  // "mp<number>"
};
// The counts of a comma-separated keywords text: a tag of "cp" or "mp" and
// decimal digits only; a number past 32 bits is the largest one.
KeywordCounts ParseKeywordCounts(std::string_view keywords);

// The 4 challenge bytes at offsets 5 to 8, as sent; missing ones are 0.
SourceChallenge ParseSourceChallenge(std::span<const std::uint8_t> reply);

struct SourcePlayer {
  std::string name;
  std::int32_t score = 0;
  float duration = 0;  // Seconds connected.
};

struct SourcePlayers {
  std::uint8_t count = 0;  // The reply's count byte, whatever follows it.
  // Players are counted, but not one record names one: CS2 and Rust servers
  // send every record with an empty name.
  bool names_hidden = false;
  std::vector<SourcePlayer> players;
};

// A player reply (0x44). At most count records are listed, empty names
// among them as they come; the list ends at the end of the datagram, and a
// record cut off by it is still listed with its missing bytes read as 0.
// When the count is above 0 and no record has a name, the list is empty and
// names_hidden is set.
SourcePlayers ParseSourcePlayers(std::span<const std::uint8_t> reply);

}  // namespace morvane
