// The Quake 3 family status query: the datagram the worker sends and the
// parser of the "statusResponse" that comes back. Pure code: one received
// datagram in, plain values out; the worker owns the socket.
//
// The request is FF FF FF FF "getstatus"; the server answers with one
// datagram and asks for no challenge. A reply is the header FF FF FF FF
// "statusResponse" and a newline, an info section of backslash-separated keys
// and values ended by a newline, then one line per player: score, a space,
// ping, a space, the name in double quotes, a newline (some engines put a team
// number before the name). The info section ends at the first newline after
// the datagram's last backslash, since a value may hold newlines and a player
// name no backslash. Texts are returned as the 8-bit bytes the server sent.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace morvane {

// FF FF FF FF "getstatus", without a terminator.
inline constexpr std::array<std::uint8_t, 13> kQuake3StatusRequest = {
    0xFF, 0xFF, 0xFF, 0xFF, 'g', 'e', 't', 's', 't', 'a', 't', 'u', 's'};

// True when the reply text (the bytes up to the first NUL) starts with
// FF FF FF FF "statusResponse", letter case included.
bool IsQuake3StatusReply(std::span<const std::uint8_t> reply);

// The value of the first "\key\" anywhere in the reply text. It ends at the
// next backslash or newline, or at the end of the text; empty when the key is
// absent or its value is empty.
std::string Quake3InfoValue(std::string_view reply_text, std::string_view key);

// Deletes every colour code: a "^" and the one character after it, taken from
// the left, so "^^7Ann" gives "7Ann". A "^" at the very end goes alone.
std::string RemoveColourCodes(std::string_view text);

struct Quake3Status {
  // Filled for the summary only.
  std::string name;               // sv_hostname, colour codes removed.
  std::string map;                // mapname
  std::string mod;                // gamename
  std::uint16_t max_players = 0;  // sv_maxclients, low 16 bits; 0 when not a number.

  // The number of newlines after the info section, in all received bytes.
  std::uint16_t player_count = 0;
  // False when no newline ends the info section, or nothing follows it: the
  // caller then reports an empty server.
  bool has_player_section = false;

  // Filled for the player list only. Each field as the server sent it; the
  // name without its quotes and colour codes.
  struct Player {
    std::string score;
    std::string ping;
    std::string name;
  };
  std::vector<Player> players;
};

// Parses a reply that IsQuake3StatusReply accepted (any bytes are safe). For
// the summary (players false) it reads the info string; for the player list
// the player lines. A player line without both its spaces or its closing
// newline is dropped. The player count is filled either way.
Quake3Status ParseQuake3Status(std::span<const std::uint8_t> reply, bool players);

}  // namespace morvane
