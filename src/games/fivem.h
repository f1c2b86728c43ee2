// FiveM and RedM servers (both run the same server program). Pure code: the
// getinfo datagram and the parsers of its reply and of the player list; the
// worker owns the sockets.
//
// The info query is FF FF FF FF "getinfo " and a challenge, over UDP to the
// game port. The server echoes the challenge up to its first blank or
// newline, and answers with one datagram: FF FF FF FF "infoResponse", a
// newline, then backslash-separated keys and values ("\sv_maxclients\32
// \clients\4\challenge\...\hostname\...\gametype\...\mapname\...\iv\..."),
// the texts in UTF-8. The host name may carry the "^N" colour codes of the
// Quake 3 family. A server answers about two such queries a second from one
// address (after a burst of ten) and drops the rest.
//
// The player list is HTTP GET /players.json on the same port number over
// TCP: a JSON array of objects with at least "name" (a string) and "ping"
// (an integer, milliseconds). Servers that hide it answer with an error
// status, or with an empty array while players are connected.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace morvane {

// The challenge's length in letters and digits: ten hold 59 random bits.
inline constexpr std::size_t kFivemChallengeLength = 10;

// A challenge of letters and digits drawn from the random bits given.
std::string MakeFivemChallenge(std::uint64_t random);

// FF FF FF FF "getinfo " and the challenge, without a terminator.
std::vector<std::uint8_t> MakeFivemInfoRequest(std::string_view challenge);

struct FivemInfo {
  std::string name;       // hostname, its colour codes removed
  std::string map;        // mapname
  std::string mod;        // gametype
  std::string challenge;  // as the server echoed it
  std::uint32_t clients = 0;
  std::uint32_t max_clients = 0;
};

// The reply's values, or nothing when it does not start with FF FF FF FF
// "infoResponse". The keys and values run from the first backslash to the
// end of the datagram or the first newline or NUL after the header; a key
// without its value reads as empty. The counts are decimal digits only (a
// negative or unreadable count is 0; a larger one than 32 bits holds is
// clamped).
std::optional<FivemInfo> ParseFivemInfo(std::span<const std::uint8_t> datagram);

struct FivemPlayer {
  std::string name;
  std::string ping;  // decimal, or empty when the entry has no integer ping
};

// The players.json body: the entries of a JSON array that are objects, in
// order (an entry's name is empty when it has none). Nothing for text that
// is not a JSON array.
std::optional<std::vector<FivemPlayer>> ParseFivemPlayersJson(std::string_view json);

}  // namespace morvane
