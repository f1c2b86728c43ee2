// What an MTA:SA server answers on its query port (the game port plus 123),
// as pure functions: one datagram in, the reply out. The serving thread owns
// the socket (mta_server.cpp).
//
// The query is "s". The reply is "EYE1", then texts each after one length
// byte that counts itself: "mta", the game port, the name, the game type,
// the map, the version, the password flag ("1" or "0"), the players and the
// maximum; then rule pairs up to an empty key; then the player records, each
// a flags byte and the texts it names (0x01 name, 0x02 team, 0x04 skin,
// 0x08 score, 0x10 ping, 0x20 time). Texts are UTF-8.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "wire_writer.h"
#include "world.h"

namespace morvane::gamesim {

// The query port of a game port, and the other way round.
inline constexpr std::uint16_t kMtaQueryPortOffset = 123;

Datagram BuildMtaReply(const SimMta& server, std::uint16_t game_port);

// Answers one datagram: the reply to "s", nothing for anything else.
std::vector<Datagram> AnswerMtaQuery(std::span<const std::uint8_t> bytes, const SimMta& server,
                                     std::uint16_t game_port);

}  // namespace morvane::gamesim
