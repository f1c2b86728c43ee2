// FiveM and RedM: the getinfo reply, the players.json body, the HTTP reply
// reader it comes through (every reply cut at every byte), and the pace of
// getinfo queries per address.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "games/fivem.h"
#include "games/http_reply.h"
#include "scan/query_pace.h"
#include "support/fixtures.h"

namespace morvane {
namespace {

using Bytes = std::vector<std::uint8_t>;
Bytes Of(std::string_view text) { return Bytes(text.begin(), text.end()); }

std::string Show(const HttpReply& reply) {
  switch (reply.state) {
    case HttpState::kIncomplete:
      return "incomplete";
    case HttpState::kInvalid:
      return "invalid";
    case HttpState::kComplete:
      break;
  }
  return std::to_string(reply.status) + " " + reply.body;
}

TEST(Fivem, InfoReplies) {
  const std::string head = "\xFF\xFF\xFF\xFFinfoResponse\n";
  const std::pair<std::string, std::string> cases[] = {
      {head + "\\sv_maxclients\\48\\clients\\3\\challenge\\Ab9\\hostname\\^1Red ^7Hills"
              "\\gametype\\Roleplay\\mapname\\redm-map-one\\iv\\1",
       "Red Hills|redm-map-one|Roleplay|Ab9|3/48"},
      // The info line ends at a newline or NUL; a last key without its value.
      {head + "\\hostname\\A\\clients\\-2\nmapname\\x", "A||||0/0"},
      {head + "\\clients\\99999999999\\hostname", "||||4294967295/0"},
      {"\xFF\xFF\xFF\xFFinfoResponse\\mapname\\m", "|m|||0/0"},
      {"\xFF\xFF\xFF\xFFstatusResponse\n\\hostname\\A", "none"},
      {"\xFF\xFF\xFF\xFFinfoRespons", "none"}};
  for (const auto& [reply, values] : cases) {
    const auto info = ParseFivemInfo(Of(reply));
    EXPECT_EQ(info ? info->name + "|" + info->map + "|" + info->mod + "|" + info->challenge + "|" +
                         std::to_string(info->clients) + "/" + std::to_string(info->max_clients)
                   : "none",
              values)
        << reply;
  }
  const std::string challenge = MakeFivemChallenge(0x0123456789ABCDEFull);
  EXPECT_EQ(challenge.size(), kFivemChallengeLength);
  EXPECT_EQ(
      challenge.find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789"),
      std::string::npos);
  EXPECT_NE(challenge, MakeFivemChallenge(0x0123456789ABCDEEull));
}

TEST(Fivem, PlayersJson) {
  const std::pair<std::string, std::string> cases[] = {
      {R"([{"name":"Ann","ping":35,"id":1},{"name":"Бо","ping":-1},{"ping":"7"},3,{"name":1}])",
       "Ann 35,Бо -1, , ,"},
      {"[]", ""},
      {"{}", "none"},
      {"[", "none"},
      {"", "none"},
      {"[\"\xFF\"]", "none"}};
  for (const auto& [json, players] : cases) {
    const auto list = ParseFivemPlayersJson(json);
    std::string shown = list ? "" : "none";
    for (const auto& player : list ? *list : std::vector<FivemPlayer>{}) {
      shown += player.name + " " + player.ping + ",";
    }
    EXPECT_EQ(shown, players) << json;
  }
}

// Every reply, cut at any byte before its end, reads as incomplete while the
// connection is open; whole, it reads as given, once closed too.
TEST(HttpReply, RepliesWholeAndCutAtEveryByte) {
  const std::pair<std::string, std::string> cases[] = {
      {"HTTP/1.1 200 OK\r\nContent-Type: application/json\r\ncontent-LENGTH: 2\r\n\r\n[]",
       "200 []"},
      {"HTTP/1.0 200 OK\nServer: x\n\n[1,2]", "200 [1,2]"},  // to the close, bare LF
      {"HTTP/1.1 200 OK\r\nTransfer-Encoding: Chunked\r\n\r\n3;ext=1\r\n[{}\r\n"
       "B \r\n,{\"a\":\"b\"}]\r\n0\r\nX-Trailer: 1\r\n\r\n",
       "200 [{},{\"a\":\"b\"}]"},
      {"HTTP/1.1 100 Continue\r\n\r\nHTTP/1.1 404 Not Found\r\nContent-Length: 1\r\n\r\nN",
       "404 N"},
      {"HTTP/1.1 204\r\n\r\n", "204 "},
      {"HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\nContent-Length: 99\r\n\r\n0\r\n\r\n",
       "200 "},
  };
  for (const auto& [text, shown] : cases) {
    const Bytes reply = Of(text);
    const bool to_close = text.find("HTTP/1.0") == 0;
    EXPECT_EQ(Show(ReadHttpReply(reply, true)), shown) << text;
    test::ForEachCut(reply, [&](std::span<const std::uint8_t> cut, std::size_t n) {
      if (n == reply.size()) {
        EXPECT_EQ(Show(ReadHttpReply(cut, false)), to_close ? "incomplete" : shown);
        return;
      }
      const HttpReply open = ReadHttpReply(cut, false);
      // A Content-Length reply is whole at its last byte, before any close.
      EXPECT_EQ(Show(open), "incomplete") << text;
    });
  }
}

TEST(HttpReply, InvalidReplies) {
  const std::string big(kMaxHttpReplyBytes, 'x');
  const std::pair<std::string, bool> cases[] = {
      {"SSH-2.0-OpenSSH\r\n", false},  // no HTTP at all: known at once
      {"HTTP/2 200\r\n\r\n", false},   // no status line of HTTP/1.x
      {"HTTP/1.1 2000 OK\r\n\r\n", false},
      {"HTTP/1.1 200 OK\r\nBad header\r\n\r\n", false},
      {"HTTP/1.1 200 OK\r\nX: 1\r\n folded\r\n\r\n", false},
      {"HTTP/1.1 200 OK\r\nContent-Length: 2\r\nContent-Length: 3\r\n\r\n[]", false},
      {"HTTP/1.1 200 OK\r\nContent-Length: -1\r\n\r\n", false},
      {"HTTP/1.1 200 OK\r\nContent-Length: 300000\r\n\r\n", false},  // past the bound
      {"HTTP/1.1 200 OK\r\nTransfer-Encoding: gzip\r\n\r\n", false},
      {"HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\nzz\r\n", false},
      {"HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n2\r\n[]x\r\n", false},
      {"HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n100000\r\n", false},
      {"HTTP/1.1 200 OK\r\nContent-Length: 5\r\n\r\n[]", true},  // the close cuts the body
      {"HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n2\r\n[]\r\n", true},
      {"HTTP/1.1 200 OK\r\n\r\n" + big, false},  // the whole reply is past the bound
  };
  for (const auto& [text, only_when_closed] : cases) {
    EXPECT_EQ(Show(ReadHttpReply(Of(text), true)), "invalid") << text.substr(0, 60);
    EXPECT_EQ(Show(ReadHttpReply(Of(text), false)), only_when_closed ? "incomplete" : "invalid")
        << text.substr(0, 60);
  }
}

TEST(QueryPace, NoMoreThanTwoQueriesToOneAddressInASecond) {
  platform::SocketAddress a{platform::kAddressFamilyInet, 0x1234, 0x0100007F, {}};
  platform::SocketAddress other_port = a;
  other_port.port_be = 0x1235;
  QueryPace pace;
  // {target, time asked, earliest send}; each send goes at its earliest.
  const struct {
    const platform::SocketAddress* target;
    std::int64_t now;
    std::int64_t earliest;
  } steps[] = {{&a, 0, 0},       {&a, 333, 333},   {&a, 667, 1000},  {&other_port, 667, 667},
               {&a, 1001, 1333}, {&a, 5000, 5000}, {&a, 5000, 5000}, {&a, 5000, 6000}};
  for (const auto& step : steps) {
    const std::int64_t at = pace.EarliestSend(*step.target, step.now);
    EXPECT_EQ(at, step.earliest) << step.now;
    pace.Record(*step.target, at);
  }
}

}  // namespace
}  // namespace morvane
