// What a Source or GoldSrc server answers to the connectionless queries, as
// pure functions: one query datagram in, the reply datagrams out. The serving
// thread owns the socket (source_server.cpp); the tests call these directly.
//
// Every number is little-endian; strings are UTF-8 and end with a NUL. A
// single-packet reply starts with FF FF FF FF and its type byte.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

#include "service_switches.h"
#include "wire_writer.h"
#include "world.h"

namespace morvane::gamesim {

enum class SourceForm {
  kSource,   // New-form info reply 0x49, Source split packets.
  kGoldSrc,  // Old-form info reply 0x6D, GoldSrc split packets.
};

using ChallengeBytes = std::array<std::uint8_t, 4>;

enum class SourceQueryType { kUnknown, kInfo, kPlayers, kRules, kGetChallenge };

struct SourceQuery {
  SourceQueryType type = SourceQueryType::kUnknown;
  bool has_challenge = false;
  ChallengeBytes challenge{};
};

inline constexpr std::string_view kSourceInfoPayload = "Source Engine Query";
// A reply longer than this goes out split, as servers keep their datagrams
// below the usual path MTU.
inline constexpr std::size_t kSourceMaxSinglePacket = 1400;
// The payload of one split packet, and the size a Source split header states.
inline constexpr std::size_t kSourceSplitPayload = 1236;
inline constexpr std::uint16_t kSourceSplitSize = 1248;

// Reads one query. Unknown or malformed queries come back as kUnknown and get
// no answer: A2S_INFO must carry its whole string with the NUL (4 challenge
// bytes may follow), A2S_PLAYER and A2S_RULES their 4 challenge bytes. GoldSrc
// servers also know the text commands of their engine's first years.
SourceQuery ReadSourceQuery(std::span<const std::uint8_t> bytes, SourceForm form);

// The challenge's four bytes in the order they travel (little-endian).
ChallengeBytes ChallengeToBytes(std::uint32_t challenge);

// A server derives each client's challenge from the client's address and a
// secret of its own, so it keeps no table. FF FF FF FF is what a client sends
// to ask for one, so it is never handed out.
std::uint32_t ChallengeFor(std::uint32_t secret, std::uint32_t address, std::uint16_t port);

Datagram BuildSourceChallenge(const ChallengeBytes& challenge);

// A2S_INFO's new form: protocol 17, the four strings, the application id,
// the counts, dedicated ('d') on Linux ('l'), visibility, VAC, the version
// and an extra-data flag of 0 (no optional fields follow); a server with
// keywords sends them in the extra data, after the game port and a steam id
// and before the game id.
Datagram BuildSourceInfo(const SimServer& server, std::uint16_t port = 0);

// The old form of GoldSrc servers: their own address first, no application
// id, protocol 47 after the counts, then the mod flag (0: the base game),
// VAC and bots.
Datagram BuildGoldSrcInfo(const SimServer& server, std::uint16_t port);

// A2S_PLAYER: the count, then per player an index, the name, the score and
// the seconds connected. Source servers write 0 for every index; GoldSrc
// counts from 1.
Datagram BuildSourcePlayers(const SimServer& server, SourceForm form);

// A2S_RULES: a 16-bit count and name/value string pairs.
Datagram BuildSourceRules(const SimServer& server);

// Splits a reply into split packets: FE FF FF FF, the reply's id, then
// Source: the packet total, the packet number and the split size;
// GoldSrc: one byte, the packet number in its high and the total in its low
// four bits. The first payload starts with the single-packet header. pieces
// is the least number of packets wanted; a longer reply gets more.
//
// The id's low byte sits where a single reply has its type byte, so it is
// always 01: no packet of a split reply can pass for a reply of its own.
std::vector<Datagram> SplitSourceReply(const Datagram& reply, SourceForm form,
                                       std::uint32_t sequence, std::size_t pieces);

struct SourceSetup {
  SimServer server;
  SourceForm form = SourceForm::kSource;
  ChallengePolicy challenge = ChallengePolicy::kPlayers;
  // Player and rules replies always go out split: three pieces, sent last
  // first, with the middle one twice.
  bool split = false;
  std::uint16_t port = 0;  // The server's own, for the GoldSrc address string.
};

// Answers one query. expected is the challenge this client must send back;
// sequence numbers split replies.
std::vector<Datagram> AnswerSourceQuery(std::span<const std::uint8_t> bytes,
                                        const SourceSetup& setup, const ChallengeBytes& expected,
                                        std::uint32_t sequence);

}  // namespace morvane::gamesim
