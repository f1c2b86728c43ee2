// The Quake 3 family simulator's answers, read back with the plug-in's own
// parser, plus what ioq3 does that the plug-in never sees: "getinfo", the
// echoed challenge, the command compared without regard to case.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "games/quake3.h"
#include "gamesim/quake3_replies.h"

namespace morvane::gamesim {
namespace {

SimServer Arena() {
  return {
      .name = "^2Морвейн ^7Арена",
      .map = "q3dm17",
      .folder = "baseq3",
      .max_players = 16,
      .password = true,
      .version = "ioq3 1.36 linux-x86_64",
      .players = {{"^3Ann", 15, 0, 48}, {"Борис", -2, 0, 120}, {"Sarge", 4, 0, 0, true}},
  };
}

std::vector<std::uint8_t> Bytes(const std::string& text) {
  return std::vector<std::uint8_t>(text.begin(), text.end());
}

std::string Text(const Datagram& datagram) { return std::string(datagram.begin(), datagram.end()); }

std::string AskText(const std::string& query, const SimServer& server = Arena()) {
  const auto replies = AnswerQuake3Query(Bytes(query), server);
  if (replies.size() != 1) return "(" + std::to_string(replies.size()) + " replies)";
  return Text(replies[0]);
}

TEST(GamesimQuake3, StatusReplyReadsBackWithThePluginsParser) {
  const auto replies = AnswerQuake3Query(kQuake3StatusRequest, Arena());
  ASSERT_EQ(replies.size(), 1u);
  ASSERT_TRUE(IsQuake3StatusReply(replies[0]));

  const Quake3Status summary = ParseQuake3Status(replies[0], false);
  EXPECT_EQ(summary.name, Utf8ToCp1251("Морвейн Арена"));
  EXPECT_EQ(summary.map, "q3dm17");
  EXPECT_EQ(summary.mod, "baseq3");
  EXPECT_EQ(summary.max_players, 16);
  EXPECT_EQ(summary.player_count, 3);

  const Quake3Status list = ParseQuake3Status(replies[0], true);
  ASSERT_EQ(list.players.size(), 3u);
  EXPECT_EQ(list.players[0].name, "Ann");
  EXPECT_EQ(list.players[0].score, "15");
  EXPECT_EQ(list.players[0].ping, "48");
  EXPECT_EQ(list.players[1].name, "\xC1\xEE\xF0\xE8\xF1");  // Борис in Windows-1251
  EXPECT_EQ(list.players[1].score, "-2");
  EXPECT_EQ(list.players[2].ping, "0");

  const std::string text = Text(replies[0]);
  EXPECT_NE(text.find("\\g_needpass\\1"), std::string::npos);
  EXPECT_EQ(text.find("\\challenge\\"), std::string::npos) << "no challenge was asked";
  EXPECT_EQ(text.back(), '\n');
}

TEST(GamesimQuake3, EmptyServerEndsWithTheInfoLine) {
  SimServer empty = Arena();
  empty.players.clear();
  const auto replies = AnswerQuake3Query(kQuake3StatusRequest, empty);
  ASSERT_EQ(replies.size(), 1u);
  const Quake3Status status = ParseQuake3Status(replies[0], true);
  EXPECT_EQ(status.player_count, 0);
  EXPECT_TRUE(status.players.empty());
}

TEST(GamesimQuake3, InfoReplyAsIoq3ListsItForBrowsers) {
  const std::string text = AskText("\xFF\xFF\xFF\xFFgetinfo xyz\n");
  ASSERT_EQ(text.rfind("\xFF\xFF\xFF\xFFinfoResponse\n\\challenge\\xyz\\", 0), 0u) << text;
  EXPECT_EQ(Quake3InfoValue(text, "hostname"), Utf8ToCp1251("^2Морвейн ^7Арена"));
  EXPECT_EQ(Quake3InfoValue(text, "clients"), "3");
  EXPECT_EQ(Quake3InfoValue(text, "g_humanplayers"), "2");
  EXPECT_EQ(Quake3InfoValue(text, "sv_maxclients"), "16");
  EXPECT_EQ(Quake3InfoValue(text, "g_needpass"), "1");
  EXPECT_NE(text.back(), '\n');
}

// ioq3 tokenises the command line: the command in any case, the argument
// echoed as "challenge", quotes allowed, an overlong argument refused, and a
// value it cannot store in an info string left out.
TEST(GamesimQuake3, CommandLines) {
  const struct {
    std::string query;
    std::string start;      // The reply starts with this; empty: no reply.
    std::string challenge;  // The echoed challenge; empty: none.
  } cases[] = {
      {"\xFF\xFF\xFF\xFFgetstatus", "\xFF\xFF\xFF\xFFstatusResponse\n", ""},
      {"\xFF\xFF\xFF\xFFGetStatus 42", "\xFF\xFF\xFF\xFFstatusResponse\n", "42"},
      {"\xFF\xFF\xFF\xFFgetstatus  \"a b\"\n", "\xFF\xFF\xFF\xFFstatusResponse\n", "a b"},
      {"\xFF\xFF\xFF\xFFgetinfo\n", "\xFF\xFF\xFF\xFFinfoResponse\n", ""},
      {"\xFF\xFF\xFF\xFFgetinfo a\\b", "\xFF\xFF\xFF\xFFinfoResponse\n", ""},
      {"\xFF\xFF\xFF\xFFgetinfo " + std::string(128, 'c'), "\xFF\xFF\xFF\xFFinfoResponse\n",
       std::string(128, 'c')},
      {"\xFF\xFF\xFF\xFFgetinfo " + std::string(129, 'c'), "", ""},
      {"\xFF\xFF\xFF\xFF getstatus", "\xFF\xFF\xFF\xFFstatusResponse\n", ""},
      {"\xFF\xFF\xFF\xFFgetstatusx", "", ""},
      {"\xFF\xFF\xFF\xFF\ngetstatus", "", ""},
      {"\xFF\xFF\xFF\xFF", "", ""},
      {"\xFF\xFF\xFFgetstatus", "", ""},
      {"getstatus", "", ""},
      {"", "", ""},
  };
  for (const auto& c : cases) {
    const auto replies = AnswerQuake3Query(Bytes(c.query), Arena());
    if (c.start.empty()) {
      EXPECT_TRUE(replies.empty()) << c.query;
      continue;
    }
    ASSERT_EQ(replies.size(), 1u) << c.query;
    const std::string text = Text(replies[0]);
    EXPECT_EQ(text.rfind(c.start, 0), 0u) << c.query;
    EXPECT_EQ(Quake3InfoValue(text, "challenge"), c.challenge) << c.query;
  }
}

// A name with a double quote or a line break would end the player line
// early: it is replaced, so each player keeps one line.
TEST(GamesimQuake3, PlayerNamesCannotBreakTheirLine) {
  SimServer server = Arena();
  server.players = {{"a\"b", 1, 0, 5}, {"c\nd", 2, 0, 6}};
  const auto replies = AnswerQuake3Query(kQuake3StatusRequest, server);
  ASSERT_EQ(replies.size(), 1u);
  const Quake3Status status = ParseQuake3Status(replies[0], true);
  EXPECT_EQ(status.player_count, 2);
  ASSERT_EQ(status.players.size(), 2u);
  EXPECT_EQ(status.players[0].name, "a.b");
  EXPECT_EQ(status.players[1].name, "c.d");
}

TEST(GamesimQuake3, Windows1251) {
  const struct {
    std::string utf8;
    std::string cp1251;
  } cases[] = {
      {"Ann", "Ann"}, {"АЯая", "\xC0\xDF\xE0\xFF"}, {"Ёё", "\xA8\xB8"},
      {"Zoë", "Zo?"}, {"€№", "\x88\xB9"},           {"ä", "?"},
  };
  for (const auto& c : cases) EXPECT_EQ(Utf8ToCp1251(c.utf8), c.cp1251) << c.utf8;
}

}  // namespace
}  // namespace morvane::gamesim
