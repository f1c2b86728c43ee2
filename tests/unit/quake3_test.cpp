// Quake 3 family status replies: the header test, the info lookup, colour
// codes, player lines, every reply cut at every byte, and real captures.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "games/quake3.h"
#include "support/fixtures.h"

namespace morvane {
namespace {

using test::BytesOf;
using test::ForEachCut;
using test::LoadSingleCapture;

const std::string kHeader = "\xFF\xFF\xFF\xFFstatusResponse\n";

Quake3Status Summary(const std::string& reply) { return ParseQuake3Status(BytesOf(reply), false); }
Quake3Status Players(const std::string& reply) { return ParseQuake3Status(BytesOf(reply), true); }

// The rule as stated: delete the first "^" and the character after it, then
// search again from the start.
std::string RemoveColourCodesNaively(std::string text) {
  for (std::size_t caret; (caret = text.find('^')) != std::string::npos;) text.erase(caret, 2);
  return text;
}

TEST(Quake3Query, HeaderMustMatchExactly) {
  const struct {
    std::string reply;
    bool accepted;
  } cases[] = {
      {kHeader + "\\mapname\\q3dm17\n", true},
      {"\xFF\xFF\xFF\xFFstatusResponse", true},                       // nothing after the header
      {"\xFF\xFF\xFF\xFFStatusResponse\n", false},                    // letter case
      {"\xFF\xFF\xFF\xFF\x01statusResponse\n", false},                // another engine's header
      {"\xFF\xFF\xFF\xFFstatusRespons", false},                       // 17 bytes
      {std::string("\xFF\xFF\xFF\xFFstatus\0esponse\n", 20), false},  // NUL ends the text
      {"", false},
  };
  for (const auto& c : cases)
    EXPECT_EQ(IsQuake3StatusReply(BytesOf(c.reply)), c.accepted) << c.reply;
}

TEST(Quake3Query, InfoValueNeedsBackslashesOnBothSides) {
  const std::string text =
      kHeader + "\\sv_mapname\\x\\mapname\\harbour\\g\\1\\g\\2\\e\\\\last\\end\n1 2 \"a\\b\"\n";
  const struct {
    const char* key;
    const char* value;
  } cases[] = {
      {"mapname", "harbour"},  // not the tail of sv_mapname
      {"g", "1"},              // the first occurrence wins
      {"e", ""},               // an empty value
      {"last", "end"},         // the info line's last value stops at its newline
      {"absent", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(Quake3InfoValue(text, c.key), c.value) << c.key;
  EXPECT_EQ(Quake3InfoValue("\\k\\v", "k"), "v");  // runs to the end of the text
  EXPECT_EQ(Quake3InfoValue("\\k\\", "k"), "");
}

TEST(Quake3Query, ColourCodes) {
  const struct {
    const char* in;
    const char* out;
  } cases[] = {
      {"^1Big ^7Server", "Big Server"},
      {"^^7Ann", "7Ann"},
      {"^1R^7ed", "Red"},
      {"Tom^", "Tom"},
      {"^", ""},
      {"plain", "plain"},
  };
  for (const auto& c : cases) EXPECT_EQ(RemoveColourCodes(c.in), c.out) << c.in;

  // The one-pass form against the rule as stated, on random texts rich in carets.
  std::mt19937 random(20240601);
  const char alphabet[] = {'^', '^', '^', '7', 'a', '\n'};
  for (int round = 0; round < 2000; ++round) {
    std::string text(random() % 24, ' ');
    for (char& c : text) c = alphabet[random() % sizeof alphabet];
    ASSERT_EQ(RemoveColourCodes(text), RemoveColourCodesNaively(text)) << text;
  }
  EXPECT_EQ(RemoveColourCodes(std::string(65536, '^')), "");
}

TEST(Quake3Query, SummaryValues) {
  Quake3Status status = Summary(kHeader +
                                "\\sv_hostname\\^1Big ^7Server\\mapname\\harbour\\gamename\\main"
                                "\\sv_maxclients\\18\n");
  EXPECT_EQ(status.name, "Big Server");
  EXPECT_EQ(status.map, "harbour");
  EXPECT_EQ(status.mod, "main");
  EXPECT_EQ(status.max_players, 18);
  EXPECT_EQ(status.player_count, 0);
  EXPECT_FALSE(status.has_player_section);
  EXPECT_TRUE(status.players.empty());  // the summary reads no player line
}

TEST(Quake3Query, MaxClientsKeepsTheLow16Bits) {
  const struct {
    std::string info;
    std::uint16_t max_players;
  } cases[] = {
      {"\\sv_maxclients\\18", 18},
      {"\\sv_maxclients\\-1", 65535},
      {"\\sv_maxclients\\+5", 5},
      {"\\sv_maxclients\\65537", 1},
      {"\\sv_maxclients\\abc", 0},
      {"\\sv_maxclients\\", 0},
      {"\\sv_maxclients\\1 8", 0},
      {"\\sv_maxclients\\-", 0},
      {"\\other\\18", 0},
      {"\\sv_maxclients\\99999999999999999999", 65535},  // 10^20 - 1 mod 2^16
  };
  for (const auto& c : cases)
    EXPECT_EQ(Summary(kHeader + c.info + "\n").max_players, c.max_players) << c.info;
}

TEST(Quake3Query, PlayerLines) {
  Quake3Status status = Players(kHeader +
                                "\\mapname\\q3dm17\n"
                                "12 50 \"^2Tom\"\n"
                                "-1 999 \"\"\n"  // empty quotes: empty name
                                "0 7 \"Ann Lee\"\n");
  EXPECT_EQ(status.player_count, 3);
  EXPECT_TRUE(status.has_player_section);
  ASSERT_EQ(status.players.size(), 3u);
  EXPECT_EQ(status.players[0].score, "12");
  EXPECT_EQ(status.players[0].ping, "50");
  EXPECT_EQ(status.players[0].name, "Tom");
  EXPECT_EQ(status.players[1].score, "-1");
  EXPECT_EQ(status.players[1].name, "");
  EXPECT_EQ(status.players[2].name, "Ann Lee");
  EXPECT_TRUE(status.map.empty());  // the player list reads no info value
}

// Some engines of the family write a team number between the ping and the
// name: it was read as the ping, and the ping as the score.
TEST(Quake3Query, NumbersBetweenThePingAndTheNameAreSkipped) {
  const struct {
    std::string line;
    std::string score, ping, name;
  } cases[] = {
      {"12 50 1 \"Ann\"", "12", "50", "Ann"},
      {"12 50 1 2 \"^1Big \"Boss\"\"", "12", "50", "Big \"Boss\""},
      {"-3  40   0 \"\"", "-3", "40", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.line);
    const Quake3Status status = Players(kHeader + "\\k\\v\n" + c.line + "\n");
    ASSERT_EQ(status.players.size(), 1u);
    EXPECT_EQ(status.players[0].score, c.score);
    EXPECT_EQ(status.players[0].ping, c.ping);
    EXPECT_EQ(status.players[0].name, c.name);
  }
}

TEST(Quake3Query, MalformedLinesAreDroppedWithoutTakingFromOtherLines) {
  const struct {
    std::string section;
    std::uint16_t count;
    std::vector<std::string> names;
  } cases[] = {
      {"1", 0, {}},                          // a single byte: no line
      {"12 50 \"Tom\"", 0, {}},              // cut before its newline
      {"1 2 \"A\"\n12 50 \"Tom", 1, {"A"}},  // the last line cut
      {"nospace\n1 2 \"A\"\n", 2, {"A"}},    // no space at all
      {"12 50\n1 2 \"A\"\n", 2, {"A"}},      // one space only
      {"\n\n1 2 \"A\"\n", 3, {"A"}},         // empty lines
      {"1 2 \n3 4 \"B\"\n", 2, {"", "B"}},   // no name field
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.section);
    Quake3Status status = Players(kHeader + "\\k\\v\n" + c.section);
    EXPECT_TRUE(status.has_player_section);
    EXPECT_EQ(status.player_count, c.count);
    ASSERT_EQ(status.players.size(), c.names.size());
    for (std::size_t i = 0; i < c.names.size(); ++i) EXPECT_EQ(status.players[i].name, c.names[i]);
  }
}

TEST(Quake3Query, InfoLineWithoutNewlineHasNoPlayers) {
  Quake3Status status = Players(kHeader + "\\mapname\\q3dm17");
  EXPECT_FALSE(status.has_player_section);
  EXPECT_EQ(status.player_count, 0);
  EXPECT_TRUE(status.players.empty());
}

TEST(Quake3Query, NulEndsTheTextButNotThePlayerSection) {
  // Fields are cut from the text before the NUL; the lines are found in all
  // received bytes.
  std::string reply = kHeader + "\\mapname\\q3dm17\n" + "1 2 \"A\"\n" + "3 4 \"B" +
                      std::string(1, '\0') + "C\"\n" + "5 6 \"x\"\n";
  EXPECT_EQ(Summary(reply).map, "q3dm17");
  Quake3Status status = Players(reply);
  EXPECT_EQ(status.player_count, 3);
  ASSERT_EQ(status.players.size(), 3u);
  EXPECT_EQ(status.players[0].name, "A");
  EXPECT_EQ(status.players[1].score, "3");
  EXPECT_EQ(status.players[1].name, "B");
  EXPECT_EQ(status.players[2].score, "");
  EXPECT_EQ(status.players[2].ping, "");
  EXPECT_EQ(status.players[2].name, "");
  // A key after a NUL is not found.
  EXPECT_EQ(Summary(kHeader + "\\mapname\\q3dm17" + std::string(1, '\0') +
                    "\\gamename\\hidden\n1 2 \"A\"\n")
                .mod,
            "");
}

class Quake3CaptureTest : public test::CaptureTest {};

TEST_F(Quake3CaptureTest, EveryCutReadsOnlyWhatCameAndKeepsWholeLines) {
  std::vector<std::uint8_t> reply =
      LoadSingleCapture("q3_status/pyq3sl_server__parses_response_packet_with_players.hex");
  Quake3Status full = ParseQuake3Status(reply, true);
  Quake3Status full_summary = ParseQuake3Status(reply, false);
  ForEachCut(reply, [&](std::span<const std::uint8_t> cut, std::size_t n) {
    EXPECT_EQ(IsQuake3StatusReply(cut), n >= 18);
    Quake3Status summary = ParseQuake3Status(cut, false);
    EXPECT_TRUE(full_summary.name.starts_with(summary.name));
    EXPECT_TRUE(full_summary.map.starts_with(summary.map));
    EXPECT_TRUE(full_summary.mod.starts_with(summary.mod));
    Quake3Status status = ParseQuake3Status(cut, true);
    ASSERT_LE(status.players.size(), full.players.size());
    EXPECT_EQ(status.players.size(), status.player_count);  // only whole lines count
    for (std::size_t i = 0; i < status.players.size(); ++i) {
      EXPECT_EQ(status.players[i].score, full.players[i].score);
      EXPECT_EQ(status.players[i].ping, full.players[i].ping);
      EXPECT_EQ(status.players[i].name, full.players[i].name);
    }
  });
}

TEST_F(Quake3CaptureTest, RepliesOfRealServers) {
  const struct {
    const char* file;
    const char* name;
    const char* map;
    const char* mod;
    std::uint16_t max_players;
    std::uint16_t player_count;
  } cases[] = {
      {"pyq3sl_server__parses_response_packet_with_players", "Thunder CTF", "q3ctf1", "baseq3", 32,
       14},
      {"pyq3sl_server__parses_response_packet_without_players", "! Tigers DM17 baseq3", "q3dm17",
       "excessiveplus", 20, 0},
      {"pyq3sl_server__does_not_strip_colors_if_color_stripping_is_disabled",
       "! Tigers DM17 baseq3", "", "excessiveplus", 0, 14},
      // A value of this server holds newlines (fs_manifest): the info
      // section still runs to the newline after its last backslash, so the
      // keys after that value are found and the 12 players counted right.
      {"pyq3sl_server__parses_ioquake_response_packet", "The Quake CTF (VQ3)", "13camp", "cpma", 24,
       12},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.file);
    std::vector<std::uint8_t> reply =
        LoadSingleCapture(std::string("q3_status/") + c.file + ".hex");
    ASSERT_TRUE(IsQuake3StatusReply(reply));
    Quake3Status status = ParseQuake3Status(reply, false);
    EXPECT_EQ(status.name, c.name);
    EXPECT_EQ(status.map, c.map);
    EXPECT_EQ(status.mod, c.mod);
    EXPECT_EQ(status.max_players, c.max_players);
    EXPECT_EQ(status.player_count, c.player_count);
  }
}

TEST_F(Quake3CaptureTest, PlayerListsOfRealServers) {
  Quake3Status ctf = ParseQuake3Status(
      LoadSingleCapture("q3_status/pyq3sl_server__parses_response_packet_with_players.hex"), true);
  ASSERT_EQ(ctf.players.size(), 14u);
  EXPECT_EQ(ctf.players[0].name, "Fo");       // ^1Fo
  EXPECT_EQ(ctf.players[2].name, "WitDvil");  // Wit^1Dvil
  EXPECT_EQ(ctf.players[5].name, "Doo Doo");
  EXPECT_EQ(ctf.players[8].score, "14");
  EXPECT_EQ(ctf.players[8].ping, "0");
  EXPECT_EQ(ctf.players[13].name, "Jos");
  EXPECT_EQ(ctf.players[13].ping, "107");

  // The embedded newlines of a value no longer pass for players: the twelve
  // real ones, "^z0^7UnnamedPlayer" giving "0UnnamedPlayer" as other readers
  // do.
  Quake3Status io = ParseQuake3Status(
      LoadSingleCapture("q3_status/pyq3sl_server__parses_ioquake_response_packet.hex"), true);
  ASSERT_EQ(io.players.size(), 12u);
  EXPECT_EQ(io.players[0].score, "10");
  EXPECT_EQ(io.players[0].name, "0UnnamedPlayer");
  EXPECT_EQ(io.players[1].name, "1Andreas");
  EXPECT_EQ(io.players[3].name, "3x736C");
  EXPECT_EQ(io.players[8].name, "10tom");
  EXPECT_EQ(io.players[11].score, "7");
  EXPECT_EQ(io.players[11].ping, "210");
  EXPECT_EQ(io.players[11].name, "14chilote");

  // Another engine's header is not this reply.
  EXPECT_FALSE(IsQuake3StatusReply(LoadSingleCapture(
      "q3_status/pyq3sl_medalofhonorserver__parses_response_packet_with_players.hex")));
}

}  // namespace
}  // namespace morvane
