// What a SA-MP server answers to its query datagrams, as pure functions: one
// query in, the reply out. The serving thread owns the socket
// (samp_server.cpp).
//
// A query is "SAMP", the four bytes of the server's IPv4 address and its
// port as the client typed them (servers do not check them), and an opcode.
// Every reply starts with those 11 bytes echoed. Numbers are little-endian;
// texts are 8-bit, Windows-1251 here.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "wire_writer.h"
#include "world.h"

namespace morvane::gamesim {

inline constexpr std::size_t kSampHeaderSize = 11;
// The ping query carries 4 bytes of the client's own after the opcode.
inline constexpr std::size_t kSampPingSize = 4;

// The replies below take the query whole: each starts with its first 11
// bytes, so a query must hold at least that many (AnswerSampQuery checks).

// 'i': the password byte, players and maximum (16 bits each), then the host
// name, the game mode and the language, each after a 32-bit length.
Datagram BuildSampInfo(std::span<const std::uint8_t> query, const SimServer& server);

// 'r': a 16-bit count, then name and value, each after a one-byte length.
Datagram BuildSampRules(std::span<const std::uint8_t> query, const SimServer& server);

// 'c': a 16-bit count, then per player the name after a one-byte length and
// the score.
Datagram BuildSampClients(std::span<const std::uint8_t> query, const SimServer& server);

// 'd': a 16-bit count, then per player the id, the name after a one-byte
// length, the score and the ping.
Datagram BuildSampPlayers(std::span<const std::uint8_t> query, const SimServer& server);

// Answers one query. An open.mp server leaves "d" unanswered.
std::vector<Datagram> AnswerSampQuery(std::span<const std::uint8_t> bytes, const SimServer& server,
                                      bool openmp = false);

}  // namespace morvane::gamesim
