#include "samp_replies.h"

#include <algorithm>
#include <string>
#include <utility>

#include "common/byte_reader.h"

namespace morvane::gamesim {
namespace {

// Byte lengths of names and rule texts are one byte wide.
std::string ShortText(const std::string& utf8) {
  std::string text = Utf8ToCp1251(utf8);
  if (text.size() > 255) text.resize(255);
  return text;
}

WireWriter SampHeader(std::span<const std::uint8_t> query) {
  WireWriter out;
  out.Bytes(query.first(kSampHeaderSize));
  return out;
}

// Player ids are one byte wide, so a list holds at most 256 players.
std::size_t SampListed(const SimServer& server) {
  return std::min<std::size_t>(server.players.size(), 256);
}

}  // namespace

Datagram BuildSampInfo(std::span<const std::uint8_t> query, const SimServer& server) {
  WireWriter out = SampHeader(query);
  out.U8(server.password ? 1 : 0);
  out.U16LE(static_cast<std::uint16_t>(server.players.size())).U16LE(server.max_players);
  for (const std::string& text : {server.name, server.game, server.language}) {
    const std::string encoded = Utf8ToCp1251(text);
    out.U32LE(static_cast<std::uint32_t>(encoded.size())).Text(encoded);
  }
  return out.Take();
}

Datagram BuildSampRules(std::span<const std::uint8_t> query, const SimServer& server) {
  const std::vector<std::pair<std::string, std::string>> rules = {
      {"lagcomp", "On"}, {"mapname", server.map},     {"version", server.version},
      {"weather", "10"}, {"weburl", "www.sa-mp.com"}, {"worldtime", "12:00"},
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

Datagram BuildSampClients(std::span<const std::uint8_t> query, const SimServer& server) {
  WireWriter out = SampHeader(query);
  out.U16LE(static_cast<std::uint16_t>(SampListed(server)));
  for (std::size_t i = 0; i < SampListed(server); ++i) {
    const std::string name = ShortText(server.players[i].name);
    out.U8(static_cast<std::uint8_t>(name.size())).Text(name).I32LE(server.players[i].score);
  }
  return out.Take();
}

Datagram BuildSampPlayers(std::span<const std::uint8_t> query, const SimServer& server) {
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

std::vector<Datagram> AnswerSampQuery(std::span<const std::uint8_t> bytes, const SimServer& server,
                                      bool openmp) {
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
      if (openmp) return {};
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
