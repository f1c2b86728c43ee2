#include "fivem_replies.h"

#include <algorithm>

namespace morvane::gamesim {
namespace {

constexpr std::string_view kGetinfo = "\xFF\xFF\xFF\xFFgetinfo";

// A JSON string: quotes, backslashes and control characters escaped; the
// world's texts are UTF-8 already.
std::string JsonString(std::string_view text) {
  std::string out = "\"";
  for (char c : text) {
    if (c == '"' || c == '\\') {
      out += '\\';
      out += c;
    } else if (static_cast<unsigned char>(c) < 0x20) {
      constexpr char kHex[] = "0123456789abcdef";
      out += "\\u00";
      out += kHex[(c >> 4) & 0xF];
      out += kHex[c & 0xF];
    } else {
      out += c;
    }
  }
  return out + "\"";
}

std::string PlayersJson(const SimServer& server, const ServiceSwitches& switches) {
  std::string json = "[";
  if (switches.fivem_list == ServiceSwitches::FivemList::kEmpty) return "[]";
  for (std::size_t i = 0; i < server.players.size(); ++i) {
    const SimPlayer& player = server.players[i];
    if (i > 0) json += ",";
    json += "{\"endpoint\":\"127.0.0.1\",\"id\":" + std::to_string(i + 1) +
            ",\"identifiers\":[\"license:" + std::string(40, 'x') +
            "\"],\"name\":" + JsonString(player.name) + ",\"ping\":" + std::to_string(player.ping) +
            "}";
  }
  return json + "]";
}

std::string InfoJson(const SimServer& server) {
  return "{\"enhancedHostSupport\":true,\"resources\":[\"mapmanager\",\"chat\"],\"server\":"
         "\"FXServer-master SERVER v1.0.0.7290 linux\",\"vars\":{\"sv_maxClients\":\"" +
         std::to_string(server.max_players) + "\",\"sv_projectName\":" + JsonString(server.name) +
         "},\"version\":" + server.version + "}";
}

std::string DynamicJson(const SimServer& server) {
  return "{\"clients\":" + std::to_string(server.players.size()) +
         ",\"gametype\":" + JsonString(server.game) + ",\"hostname\":" + JsonString(server.name) +
         ",\"iv\":\"" + server.version + "\",\"mapname\":" + JsonString(server.map) +
         ",\"sv_maxclients\":\"" + std::to_string(server.max_players) + "\"}";
}

std::string Hex(std::size_t value) {
  constexpr char kHex[] = "0123456789ABCDEF";
  std::string out;
  do {
    out.insert(out.begin(), kHex[value % 16]);
    value /= 16;
  } while (value != 0);
  return out;
}

// The body in chunks of up to 64 bytes, the first with an extension, and a
// trailer after the last.
std::string Chunked(std::string_view body) {
  std::string out;
  for (std::size_t at = 0; at < body.size(); at += 64) {
    const std::string_view chunk = body.substr(at, 64);
    out += Hex(chunk.size()) + (at == 0 ? ";sim=1" : "") + "\r\n";
    out.append(chunk);
    out += "\r\n";
  }
  return out + "0\r\nX-Sim-Trailer: 1\r\n\r\n";
}

}  // namespace

std::vector<Datagram> AnswerFivemGetinfo(std::span<const std::uint8_t> query,
                                         const SimServer& server) {
  const std::string_view text(reinterpret_cast<const char*>(query.data()), query.size());
  if (!text.starts_with(kGetinfo)) return {};
  std::string_view challenge = text.substr(kGetinfo.size());
  if (!challenge.empty() && challenge.front() == ' ') challenge.remove_prefix(1);
  challenge = challenge.substr(0, challenge.find_first_of(std::string_view(" \n\0", 3)));
  WireWriter reply;
  reply.U32LE(0xFFFFFFFF)
      .Text("infoResponse\n")
      .Text("\\sv_maxclients\\" + std::to_string(server.max_players))
      .Text("\\clients\\" + std::to_string(server.players.size()))
      .Text("\\challenge\\")
      .Text(challenge)
      .Text("\\gamename\\" + server.folder + "\\protocol\\4\\hostname\\" + server.name)
      .Text("\\gametype\\" + server.game + "\\mapname\\" + server.map + "\\iv\\" + server.version);
  return {reply.Take()};
}

std::string AnswerFivemHttp(std::string_view request, const SimServer& server,
                            const ServiceSwitches& switches) {
  const std::size_t path_end = request.find(' ', 4);
  const std::string_view path =
      request.starts_with("GET ") ? request.substr(4, path_end - 4) : std::string_view();
  std::string status = "200 OK";
  std::string body;
  if (path == "/players.json") {
    if (switches.fivem_list == ServiceSwitches::FivemList::kError) {
      status = "403 Forbidden";
      body = "Forbidden";
    } else {
      body = PlayersJson(server, switches);
    }
  } else if (path == "/info.json") {
    body = InfoJson(server);
  } else if (path == "/dynamic.json") {
    body = DynamicJson(server);
  } else {
    status = "404 Not Found";
    body = "Not Found";
  }
  std::string reply = (switches.http10 ? "HTTP/1.0 " : "HTTP/1.1 ") + status +
                      "\r\nContent-Type: application/json\r\nServer: morvane-gamesim\r\n";
  if (switches.http10) return reply + "\r\n" + body;
  // The simulator closes every connection after one reply, and says so: a
  // client that kept it for its next request would find it closed.
  reply += "Connection: close\r\n";
  if (switches.chunked) return reply + "Transfer-Encoding: chunked\r\n\r\n" + Chunked(body);
  reply += "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n";
  // A reply that never ends sends half its body and no more.
  if (switches.endless) return reply + body.substr(0, body.size() / 2);
  return reply + body;
}

}  // namespace morvane::gamesim
