#include "source_replies.h"

#include <algorithm>
#include <string>
#include <utility>

#include "common/byte_reader.h"

namespace morvane::gamesim {
namespace {

WireWriter SingleHeader(char type) {
  WireWriter out;
  out.U32LE(0xFFFFFFFF).U8(static_cast<std::uint8_t>(type));
  return out;
}

}  // namespace

SourceQuery ReadSourceQuery(std::span<const std::uint8_t> bytes, SourceForm form) {
  SourceQuery query;
  ByteReader reader(bytes);
  if (reader.ReadU32LE() != 0xFFFFFFFF) return query;
  const std::uint8_t type = reader.ReadU8();
  if (reader.Exhausted()) return query;
  auto take_challenge = [&] {
    auto challenge = reader.ReadBytes(4);
    if (challenge.size() != 4) return false;
    std::copy(challenge.begin(), challenge.end(), query.challenge.begin());
    query.has_challenge = true;
    return true;
  };
  switch (type) {
    case 'T': {
      const std::string_view text = reader.ReadCString();
      if (reader.Exhausted() || text != kSourceInfoPayload) return query;
      query.type = SourceQueryType::kInfo;
      take_challenge();
      return query;
    }
    case 'U':
      if (take_challenge()) query.type = SourceQueryType::kPlayers;
      return query;
    case 'V':
      if (take_challenge()) query.type = SourceQueryType::kRules;
      return query;
    case 'W':
      query.type = SourceQueryType::kGetChallenge;
      return query;
    default:
      break;
  }
  if (form != SourceForm::kGoldSrc) return query;
  // "details", "players" and "rules", ended by a NUL, a newline or nothing.
  reader.Seek(4);
  std::string_view word = reader.ReadCString();
  if (!word.empty() && word.back() == '\n') word.remove_suffix(1);
  if (word == "details") query.type = SourceQueryType::kInfo;
  if (word == "players") query.type = SourceQueryType::kPlayers;
  if (word == "rules") query.type = SourceQueryType::kRules;
  // The old commands predate challenges: a pass for any policy.
  query.has_challenge = false;
  return query;
}

ChallengeBytes ChallengeToBytes(std::uint32_t challenge) {
  return {static_cast<std::uint8_t>(challenge), static_cast<std::uint8_t>(challenge >> 8),
          static_cast<std::uint8_t>(challenge >> 16), static_cast<std::uint8_t>(challenge >> 24)};
}

std::uint32_t ChallengeFor(std::uint32_t secret, std::uint32_t address, std::uint16_t port) {
  std::uint32_t h = secret ^ 0x9E3779B9u;
  for (std::uint32_t part : {address, static_cast<std::uint32_t>(port)}) {
    h ^= part;
    h *= 0x85EBCA6Bu;
    h ^= h >> 13;
    h *= 0xC2B2AE35u;
    h ^= h >> 16;
  }
  return h == 0xFFFFFFFF ? 0x5EED0001u : h;
}

Datagram BuildSourceChallenge(const ChallengeBytes& challenge) {
  return SingleHeader('A').Bytes(challenge).Take();
}

Datagram BuildSourceInfo(const SimServer& server, std::uint16_t port) {
  WireWriter out = SingleHeader('I');
  out.U8(17).CString(server.name).CString(server.map).CString(server.folder).CString(server.game);
  out.U16LE(server.app_id);
  if (server.wide_counts) {
    out.U8(static_cast<std::uint8_t>(server.players.size()));
    out.U8(static_cast<std::uint8_t>(server.max_players));
  } else {
    out.U8(static_cast<std::uint8_t>(std::min<std::size_t>(server.players.size(), 255)));
    out.U8(static_cast<std::uint8_t>(std::min<int>(server.max_players, 255)));
  }
  out.U8(static_cast<std::uint8_t>(std::min(server.Bots(), 255)));
  out.U8('d').U8('l').U8(server.password ? 1 : 0).U8(server.vac ? 1 : 0);
  out.CString(server.version);
  if (server.keywords.empty() && !server.wide_counts) return out.U8(0).Take();
  std::string keywords = server.keywords;
  if (server.wide_counts) {
    keywords = "mp" + std::to_string(server.max_players) + ",cp" +
               std::to_string(server.players.size()) + "," + keywords;
  }
  // The game port, the steam id, the keywords and the game id.
  out.U8(0x80 | 0x10 | 0x20 | 0x01).U16LE(port).U64LE(0x01A0000000000000ULL + port);
  return out.CString(keywords).U64LE(server.app_id).Take();
}

Datagram BuildGoldSrcInfo(const SimServer& server, std::uint16_t port) {
  WireWriter out = SingleHeader('m');
  out.CString("127.0.0.1:" + std::to_string(port));
  out.CString(server.name).CString(server.map).CString(server.folder).CString(server.game);
  out.U8(static_cast<std::uint8_t>(std::min<std::size_t>(server.players.size(), 255)));
  out.U8(static_cast<std::uint8_t>(std::min<int>(server.max_players, 255)));
  out.U8(47).U8('d').U8('l').U8(server.password ? 1 : 0).U8(0).U8(server.vac ? 1 : 0);
  out.U8(static_cast<std::uint8_t>(std::min(server.Bots(), 255)));
  return out.Take();
}

Datagram BuildSourcePlayers(const SimServer& server, SourceForm form) {
  WireWriter out = SingleHeader('D');
  const std::size_t count = std::min<std::size_t>(server.players.size(), 255);
  out.U8(static_cast<std::uint8_t>(count));
  for (std::size_t i = 0; i < count; ++i) {
    const SimPlayer& player = server.players[i];
    out.U8(form == SourceForm::kGoldSrc ? static_cast<std::uint8_t>(i + 1) : 0);
    out.CString(server.hide_names ? std::string() : player.name);
    out.I32LE(player.score).F32LE(player.duration);
  }
  return out.Take();
}

Datagram BuildSourceRules(const SimServer& server) {
  const std::vector<std::pair<std::string, std::string>> rules = {
      {"mp_friendlyfire", "0"},
      {"mp_timelimit", "30"},
      {"sv_password", server.password ? "1" : "0"},
      {"sv_tags", "morvane,simulator"},
  };
  WireWriter out = SingleHeader('E');
  out.U16LE(static_cast<std::uint16_t>(rules.size()));
  for (const auto& [name, value] : rules) out.CString(name).CString(value);
  return out.Take();
}

std::vector<Datagram> SplitSourceReply(const Datagram& reply, SourceForm form,
                                       std::uint32_t sequence, std::size_t pieces) {
  const std::size_t most = form == SourceForm::kGoldSrc ? 15 : 255;
  std::size_t chunk = (reply.size() + pieces - 1) / std::max<std::size_t>(pieces, 1);
  chunk = std::clamp<std::size_t>(chunk, 1, kSourceSplitPayload);
  std::size_t total = std::min((reply.size() + chunk - 1) / chunk, most);
  if (total == 0) total = 1;
  chunk = std::max(chunk, (reply.size() + total - 1) / total);
  const std::uint32_t id = ((sequence & 0x7FFFFF) << 8) | 0x01;
  std::vector<Datagram> packets;
  for (std::size_t number = 0; number < total; ++number) {
    WireWriter out;
    out.U32LE(0xFFFFFFFE).U32LE(id);
    if (form == SourceForm::kGoldSrc) {
      out.U8(static_cast<std::uint8_t>((number << 4) | total));
    } else {
      out.U8(static_cast<std::uint8_t>(total)).U8(static_cast<std::uint8_t>(number));
      out.U16LE(kSourceSplitSize);
    }
    const std::size_t begin = std::min(number * chunk, reply.size());
    const std::size_t end = std::min(begin + chunk, reply.size());
    out.Bytes(std::span(reply).subspan(begin, end - begin));
    packets.push_back(out.Take());
  }
  return packets;
}

std::vector<Datagram> AnswerSourceQuery(std::span<const std::uint8_t> bytes,
                                        const SourceSetup& setup, const ChallengeBytes& expected,
                                        std::uint32_t sequence) {
  const SourceQuery query = ReadSourceQuery(bytes, setup.form);
  const bool challenged = query.has_challenge && query.challenge == expected;
  auto needs_challenge = [&](bool info) {
    if (challenged || setup.challenge == ChallengePolicy::kNone) return false;
    if (info && setup.challenge != ChallengePolicy::kAll) return false;
    // The old text commands of GoldSrc carry no challenge field at all.
    return bytes.size() >= 5 && (bytes[4] == 'T' || bytes[4] == 'U' || bytes[4] == 'V');
  };
  auto maybe_split = [&](Datagram reply) {
    if (setup.split) {
      // Three pieces, last first and the middle one twice: a client must
      // take pieces in any order and skip a repeat.
      auto pieces = SplitSourceReply(reply, setup.form, sequence, 3);
      std::reverse(pieces.begin(), pieces.end());
      if (pieces.size() >= 2) pieces.insert(pieces.begin() + 1, pieces[1]);
      return pieces;
    }
    if (reply.size() <= kSourceMaxSinglePacket) return std::vector<Datagram>{std::move(reply)};
    return SplitSourceReply(reply, setup.form, sequence, 1);
  };
  switch (query.type) {
    case SourceQueryType::kUnknown:
      return {};
    case SourceQueryType::kGetChallenge:
      return {BuildSourceChallenge(expected)};
    case SourceQueryType::kInfo:
      if (needs_challenge(true)) return {BuildSourceChallenge(expected)};
      if (setup.form == SourceForm::kGoldSrc) return {BuildGoldSrcInfo(setup.server, setup.port)};
      return {BuildSourceInfo(setup.server, setup.port)};
    case SourceQueryType::kPlayers:
      if (needs_challenge(false)) return {BuildSourceChallenge(expected)};
      return maybe_split(BuildSourcePlayers(setup.server, setup.form));
    case SourceQueryType::kRules:
      if (needs_challenge(false)) return {BuildSourceChallenge(expected)};
      return maybe_split(BuildSourceRules(setup.server));
  }
  return {};
}

}  // namespace morvane::gamesim
