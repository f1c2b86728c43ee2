// What a SA-MP server answers to its query datagrams, as pure functions: one
// query in, the reply out. The serving thread owns the socket
// (samp_server.cpp).
//
// A query is "SAMP", the four bytes of the server's IPv4 address and its
// port as the client typed them (servers do not check them), and an opcode.
// Every reply starts with those 11 bytes echoed. Numbers are little-endian;
// texts are 8-bit, Windows-1251 here.
#pragma once

#include <algorithm>
#include <cstdint>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "common/byte_reader.h"
#include "cp1251.h"
#include "wire_writer.h"
#include "world.h"

namespace morvane::gamesim {

inline constexpr std::size_t kSampHeaderSize = 11;
// The ping query carries 4 bytes of the client's own after the opcode.
inline constexpr std::size_t kSampPingSize = 4;

// Byte lengths of names and rule texts are one byte wide.
inline std::string ShortText(const std::string& utf8) {
  std::string text = Utf8ToCp1251(utf8);
  if (text.size() > 255) text.resize(255);
  return text;
}

inline WireWriter SampHeader(std::span<const std::uint8_t> query) {
  WireWriter out;
  out.Bytes(query.first(kSampHeaderSize));
  return out;
}

// 'i': the password byte, players and maximum (16 bits each), then the host
// name, the game mode and the language, each after a 32-bit length.
inline Datagram BuildSampInfo(std::span<const std::uint8_t> query, const SimServer& server) {
  WireWriter out = SampHeader(query);
  out.U8(server.password ? 1 : 0);
  out.U16LE(static_cast<std::uint16_t>(server.players.size())).U16LE(server.max_players);
  for (const std::string& text : {server.name, server.game, server.language}) {
    const std::string encoded = Utf8ToCp1251(text);
    out.U32LE(static_cast<std::uint32_t>(encoded.size())).Text(encoded);
  }
  return out.Take();
}

// 'r': a 16-bit count, then name and value, each after a one-byte length.
inline Datagram BuildSampRules(std::span<const std::uint8_t> query, const SimServer& server) {
  const std::vector<std::pair<std::string, std::string>> rules = {
      {"lagcomp", "On"},
      {"mapname", server.map},
      {"version", server.version},
      {"weather", "10"},
      {"weburl", "www.sa-mp.com"},
      {"worldtime", "12:00"},
  };
  WireWriter out = SampHeader(query);
  out.U16LE(static_cast<std::uint16_t>(rules.size()));
  for (const auto& [name, value] : rules) {
    const std::string encoded = ShortText(value);
    out.U8(static_cast<std::uint8_t>(name.size())).Text(name);
    out.U8(static_cast<std::uint8_t>(encoded.size())).Text(encoded);
  }
  return out.Take();
}

// Player ids are one byte wide, so a list holds at most 256 players.
inline std::size_t SampListed(const SimServer& server) {
  return std::min<std::size_t>(server.players.size(), 256);
}

// 'c': a 16-bit count, then per player the name after a one-byte length and
// the score.
inline Datagram BuildSampClients(std::span<const std::uint8_t> query, const SimServer& server) {
  WireWriter out = SampHeader(query);
  out.U16LE(static_cast<std::uint16_t>(SampListed(server)));
  for (std::size_t i = 0; i < SampListed(server); ++i) {
    const std::string name = ShortText(server.players[i].name);
    out.U8(static_cast<std::uint8_t>(name.size())).Text(name).I32LE(server.players[i].score);
  }
  return out.Take();
}

// 'd': a 16-bit count, then per player the id, the name after a one-byte
// length, the score and the ping.
inline Datagram BuildSampPlayers(std::span<const std::uint8_t> query, const SimServer& server) {
  WireWriter out = SampHeader(query);
  out.U16LE(static_cast<std::uint16_t>(SampListed(server)));
  for (std::size_t i = 0; i < SampListed(server); ++i) {
    const SimPlayer& player = server.players[i];
    const std::string name = ShortText(player.name);
    out.U8(static_cast<std::uint8_t>(i)).U8(static_cast<std::uint8_t>(name.size())).Text(name);
    out.I32LE(player.score).I32LE(player.ping);
  }
  return out.Take();
}

inline std::vector<Datagram> AnswerSampQuery(std::span<const std::uint8_t> bytes,
                                             const SimServer& server) {
  ByteReader reader(bytes);
  const auto magic = reader.ReadBytes(4);
  if (magic.size() != 4 || !std::equal(magic.begin(), magic.end(), "SAMP")) return {};
  reader.Skip(6);
  const std::uint8_t opcode = reader.ReadU8();
  if (reader.Exhausted()) return {};
  switch (opcode) {
    case 'i':
      return {BuildSampInfo(bytes, server)};
    case 'r':
      return {BuildSampRules(bytes, server)};
    case 'c':
      return {BuildSampClients(bytes, server)};
    case 'd':
      return {BuildSampPlayers(bytes, server)};
    case 'p':
      // The ping reply is the query itself, its 4 bytes included.
      if (reader.ReadBytes(kSampPingSize).size() != kSampPingSize) return {};
      return {Datagram(bytes.begin(), bytes.begin() + kSampHeaderSize + kSampPingSize)};
    default:
      break;
  }
  return {};
}

}  // namespace morvane::gamesim
