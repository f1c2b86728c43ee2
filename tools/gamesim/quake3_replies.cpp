#include "quake3_replies.h"

#include <string_view>
#include <utility>

#include "common/byte_reader.h"

namespace morvane::gamesim {
namespace {

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; };
    if (lower(a[i]) != lower(b[i])) return false;
  }
  return true;
}

// An info string: "\key\value" pairs. ioq3 refuses to store a value that
// holds a backslash, a semicolon or a double quote, and an empty value
// removes its key; such pairs are left out here too.
std::string InfoString(const std::vector<std::pair<std::string, std::string>>& pairs) {
  std::string out;
  for (const auto& [key, value] : pairs) {
    if (value.empty() || value.find_first_of("\\;\"") != std::string::npos) continue;
    out += "\\" + key + "\\" + value;
  }
  return out;
}

// A player name goes out between double quotes on a line of its own, so a
// quote or a line break inside it would end it early: servers replace them.
std::string PlayerLineName(const std::string& name) {
  std::string out = Utf8ToCp1251(name);
  for (char& c : out) {
    if (c == '"' || c == '\n' || c == '\r' || c == '\0') c = '.';
  }
  return out;
}

std::vector<std::pair<std::string, std::string>> Quake3ServerInfo(const SimServer& server) {
  return {
      {"sv_hostname", Utf8ToCp1251(server.name)},
      {"mapname", server.map},
      {"gamename", server.folder},
      {"sv_maxclients", std::to_string(server.max_players)},
      {"g_needpass", server.password ? "1" : "0"},
      {"g_gametype", "0"},
      {"protocol", "68"},
      {"version", server.version},
      {"sv_privateClients", "0"},
      {"sv_floodProtect", "1"},
      {"fraglimit", "20"},
      {"timelimit", "0"},
  };
}

}  // namespace

Quake3Query ReadQuake3Query(std::span<const std::uint8_t> bytes) {
  Quake3Query query;
  ByteReader reader(bytes);
  if (reader.ReadU32LE() != 0xFFFFFFFF) return query;
  std::string_view line = reader.ReadCString();
  line = line.substr(0, line.find('\n'));
  std::vector<std::string_view> words;
  std::size_t pos = 0;
  while (pos < line.size() && words.size() < 2) {
    while (pos < line.size() && static_cast<unsigned char>(line[pos]) <= ' ') ++pos;
    if (pos >= line.size()) break;
    if (line[pos] == '"') {
      const std::size_t close = line.find('"', pos + 1);
      const std::size_t end = close == std::string_view::npos ? line.size() : close;
      words.push_back(line.substr(pos + 1, end - pos - 1));
      pos = end + 1;
      continue;
    }
    const std::size_t start = pos;
    while (pos < line.size() && static_cast<unsigned char>(line[pos]) > ' ') ++pos;
    words.push_back(line.substr(start, pos - start));
  }
  if (words.empty()) return query;
  if (words.size() > 1) {
    if (words[1].size() > kQuake3MaxChallenge) return query;
    query.challenge = std::string(words[1]);
  }
  if (EqualsIgnoringCase(words[0], "getstatus")) query.type = Quake3QueryType::kStatus;
  if (EqualsIgnoringCase(words[0], "getinfo")) query.type = Quake3QueryType::kInfo;
  return query;
}

Datagram BuildQuake3Status(const SimServer& server, const std::string& challenge,
                           const Quake3Variant& variant) {
  auto pairs = Quake3ServerInfo(server);
  if (variant.manifest) {
    // Before the name and the counts, so that those come after the newlines.
    pairs.insert(pairs.begin(), {"fs_manifest",
                                 "baseq3/pak0.pk3@1566731103@479493658\n"
                                 " baseq3/pak1.pk3@298122907@7587\n "});
  }
  pairs.emplace_back("challenge", challenge);
  std::string text = "statusResponse\n" + InfoString(pairs) + "\n";
  int index = 0;
  for (const SimPlayer& player : server.players) {
    text += std::to_string(player.score) + " " + std::to_string(player.ping) + " ";
    if (variant.teams) text += std::to_string(1 + index++ % 2) + " ";
    text += "\"" + PlayerLineName(player.name) + "\"\n";
  }
  return WireWriter().U32LE(0xFFFFFFFF).Text(text).Take();
}

Datagram BuildQuake3Info(const SimServer& server, const std::string& challenge) {
  int humans = 0;
  for (const SimPlayer& player : server.players) humans += player.bot ? 0 : 1;
  const std::string info = InfoString({
      {"challenge", challenge},
      {"gamename", "Quake3Arena"},
      {"protocol", "68"},
      {"hostname", Utf8ToCp1251(server.name)},
      {"mapname", server.map},
      {"clients", std::to_string(server.players.size())},
      {"g_humanplayers", std::to_string(humans)},
      {"sv_maxclients", std::to_string(server.max_players)},
      {"gametype", "0"},
      {"pure", "1"},
      {"g_needpass", server.password ? "1" : "0"},
      {"game", server.folder == "baseq3" ? "" : server.folder},
  });
  return WireWriter().U32LE(0xFFFFFFFF).Text("infoResponse\n" + info).Take();
}

std::vector<Datagram> AnswerQuake3Query(std::span<const std::uint8_t> bytes,
                                        const SimServer& server, const Quake3Variant& variant) {
  const Quake3Query query = ReadQuake3Query(bytes);
  switch (query.type) {
    case Quake3QueryType::kStatus:
      return {BuildQuake3Status(server, query.challenge, variant)};
    case Quake3QueryType::kInfo:
      return {BuildQuake3Info(server, query.challenge)};
    case Quake3QueryType::kUnknown:
      break;
  }
  return {};
}

}  // namespace morvane::gamesim
