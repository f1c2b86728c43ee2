// MTA:SA's server query, over UDP on the game port plus 123. Pure code: the
// datagram to send, and a received datagram in, plain values out.
//
// The query is the one byte "s". The reply is "EYE1", then texts, each after
// one length byte that counts itself ("\x04mta" is "mta"): the game, the game
// port, the server name, the game type, the map, the version, the password
// flag ("1" or "0"), the players and the maximum players; then rule pairs
// (key, value) up to an empty key; then one record per player: a flags byte
// that says which texts follow (0x01 name, 0x02 team, 0x04 skin, 0x08 score,
// 0x10 ping, 0x20 time), each after its length byte. Texts are UTF-8. A large
// server may send no player records at all.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace morvane {

inline constexpr std::array<std::uint8_t, 1> kMtaQuery = {'s'};

// A text the record does not carry, and one it carries empty, are both empty.
struct MtaPlayer {
  std::string name;
  std::string score;
  std::string ping;
};

struct MtaStatus {
  std::string name;
  std::string game_type;
  std::string map;
  std::string version;
  bool password = false;  // A password flag other than "0" or empty.
  std::uint32_t players = 0;
  std::uint32_t max_players = 0;
  // At most `players` records: the whole ones before the end of the datagram.
  std::vector<MtaPlayer> player_list;
  // The datagram ended inside the rules or inside a player record.
  bool cut = false;
};

// The reply, when the datagram starts "EYE1" and holds every text up to the
// maximum players whole; nothing otherwise: a cut count would show a number
// that was not sent. A length byte of 0, which cannot count itself, reads as
// an empty text one byte long. A player record cut off by the end of the
// datagram is dropped, with every record after it.
std::optional<MtaStatus> ParseMtaReply(std::span<const std::uint8_t> datagram);

}  // namespace morvane
