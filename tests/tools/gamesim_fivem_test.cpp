// The FiveM simulator's answers read back with the plug-in's own parsers:
// the challenge echoed as the real server does, the HTTP replies of every
// switch, and the getinfo allowance of ten at once per client.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "games/fivem.h"
#include "games/http_reply.h"
#include "gamesim/fivem_replies.h"
#include "gamesim/fivem_server.h"
#include "platform/program_support.h"

namespace morvane::gamesim {
namespace {

SimServer Roleplay() {
  return {.name = "^1Red ^7Hills",
          .map = "redm-map-one",
          .folder = "CitizenFX",
          .game = "Roleplay",
          .max_players = 32,
          .version = "7",
          .players = {{.name = "Борис", .ping = 62}, {.name = "A\"\\\n", .ping = 5}}};
}

TEST(GamesimFivem, GetinfoEchoesTheChallengeToItsFirstBlank) {
  const std::pair<std::string, std::string> cases[] = {{"getinfo Ab9x", "Ab9x"},
                                                       {"getinfo xxx", "xxx"},
                                                       {"getinfo ab cd", "ab"},
                                                       {std::string("getinfo xxx\0", 12), "xxx"},
                                                       {"getinfo", ""}};
  for (const auto& [text, challenge] : cases) {
    const std::string query = "\xFF\xFF\xFF\xFF" + text;
    const auto replies = AnswerFivemGetinfo(Datagram(query.begin(), query.end()), Roleplay());
    ASSERT_EQ(replies.size(), 1u) << text;
    const auto info = ParseFivemInfo(replies[0]);
    ASSERT_TRUE(info);
    EXPECT_EQ(info->challenge, challenge);
    EXPECT_EQ(info->name + "|" + info->map + "|" + info->mod + "|" + std::to_string(info->clients) +
                  "/" + std::to_string(info->max_clients),
              "Red Hills|redm-map-one|Roleplay|2/32");
  }
  EXPECT_TRUE(
      AnswerFivemGetinfo(Datagram{0xFF, 0xFF, 0xFF, 0xFF, 'g', 'e', 't'}, Roleplay()).empty());
}

TEST(GamesimFivem, PlayersJsonUnderEverySwitch) {
  using List = ServiceSwitches::FivemList;
  const struct {
    List list;
    bool chunked, http10, endless;
    std::string shown;
  } cases[] = {
      {List::kShown, false, false, false, "200 Борис 62,A\"\\\n 5,"},
      {List::kShown, true, false, false, "200 Борис 62,A\"\\\n 5,"},
      {List::kShown, false, true, false, "200 Борис 62,A\"\\\n 5,"},
      {List::kEmpty, false, false, false, "200 "},
      {List::kError, false, false, false, "403 none"},
      {List::kShown, false, false, true, "incomplete"},
  };
  for (const auto& c : cases) {
    ServiceSwitches switches;
    switches.fivem_list = c.list;
    switches.chunked = c.chunked;
    switches.http10 = c.http10;
    switches.endless = c.endless;
    const std::string reply =
        AnswerFivemHttp("GET /players.json HTTP/1.1\r\n\r\n", Roleplay(), switches);
    const HttpReply read = ReadHttpReply(Datagram(reply.begin(), reply.end()), !c.endless);
    std::string shown =
        read.state == HttpState::kComplete ? std::to_string(read.status) + " " : "incomplete";
    if (read.state == HttpState::kComplete) {
      const auto players = ParseFivemPlayersJson(read.body);
      if (!players) shown += "none";
      for (const auto& player : players.value_or(std::vector<FivemPlayer>{})) {
        shown += player.name + " " + player.ping + ",";
      }
    }
    EXPECT_EQ(shown, c.shown);
  }
}

TEST(GamesimFivem, TenGetinfoAtOnceThenNone) {
  platform::StartSocketLibrary();
  FivemServer server(Roleplay(), {});
  std::string error;
  ASSERT_TRUE(server.Open(0, error)) << error;
  server.Start();
  const platform::Socket client = platform::OpenSocket(platform::SocketType::kUdp);
  platform::SocketAddress to{platform::kAddressFamilyInet,
                             platform::HostToNetwork16(server.Port()),
                             platform::ParseIpv4("127.0.0.1"),
                             {}};
  const auto query = MakeFivemInfoRequest("c");
  for (int i = 0; i < 14; ++i) platform::SendTo(client, query, to);
  int answered = 0;
  std::vector<std::uint8_t> buffer(2048);
  platform::SocketAddress from;
  while (platform::WaitReadable(client, 300) == platform::WaitResult::kReady &&
         platform::ReceiveFrom(client, buffer, from) > 0) {
    ++answered;
  }
  EXPECT_EQ(answered, 10);
  platform::CloseSocket(client);
  server.Stop();
}

}  // namespace
}  // namespace morvane::gamesim
