#include "mta_replies.h"

#include <string>
#include <string_view>

namespace morvane::gamesim {
namespace {

// A length byte counts itself, so a text holds at most 254 bytes.
void Text(WireWriter& out, std::string_view text) {
  text = text.substr(0, 254);
  out.U8(static_cast<std::uint8_t>(text.size() + 1)).Text(text);
}

}  // namespace

Datagram BuildMtaReply(const SimMta& server, std::uint16_t game_port) {
  WireWriter out;
  out.Text("EYE1");
  for (const std::string& text :
       {std::string("mta"), std::to_string(game_port), server.name, server.game_type, server.map,
        server.version, std::string(server.password ? "1" : "0"), std::to_string(server.players),
        std::to_string(server.max_players)}) {
    Text(out, text);
  }
  for (const auto& [key, value] : server.rules) {
    Text(out, key);
    Text(out, value);
  }
  Text(out, "");
  for (const SimMtaPlayer& player : server.records) {
    out.U8(player.flags);
    const std::string* texts[] = {&player.name,  &player.team, &player.skin,
                                  &player.score, &player.ping, &player.time};
    for (int field = 0; field < 6; ++field) {
      if (player.flags & (1 << field)) Text(out, *texts[field]);
    }
  }
  return out.Take();
}

std::vector<Datagram> AnswerMtaQuery(std::span<const std::uint8_t> bytes, const SimMta& server,
                                     std::uint16_t game_port) {
  if (bytes.size() != 1 || bytes[0] != 's') return {};
  return {BuildMtaReply(server, game_port)};
}

}  // namespace morvane::gamesim
