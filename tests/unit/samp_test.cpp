// SA-MP replies: hand-written datagrams for each rule, length fields that lie,
// every reply cut at every byte, and captures.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "games/samp.h"
#include "support/fixtures.h"

namespace morvane {
namespace {

using test::DatagramBuilder;
using test::ForEachCut;
using test::LoadSingleCapture;

// "SAMP", the address and port the client put in, the opcode.
DatagramBuilder Header(char opcode) {
  DatagramBuilder header;
  header.Text("SAMP").U8(127).U8(0).U8(0).U8(1).U16(7777).U8(opcode);
  return header;
}

std::vector<std::uint8_t> TestInfo(std::uint8_t password) {
  // clang-format off
  return Header('i')
      .U8(password)              // password byte
      .U16(5).U16(50)            // players, maximum players
      .I32(4).Text("Test")       // host name
      .I32(8).Text("Freeroam")   // game mode
      .I32(2).Text("EN");        // third string
  // clang-format on
}

std::vector<std::uint8_t> TwoPlayers(std::uint16_t count) {
  // clang-format off
  return Header('d')
      .U16(count)                                // player count
      .U8(0).U8(3).Text("Ann").I32(-5).I32(120)  // id, name length, name, score, ping
      .U8(7).U8(3).Text("Bob").I32(42).I32(33);
  // clang-format on
}

TEST(SampQuery, OpcodeInByte10AloneDecides) {
  EXPECT_TRUE(IsSampReply(TestInfo(0), 'i'));
  EXPECT_FALSE(IsSampReply(TestInfo(0), 'd'));  // an info reply to a player query
  std::vector<std::uint8_t> other_header = TestInfo(0);
  other_header[0] = 'X';
  EXPECT_TRUE(IsSampReply(other_header, 'i'));
  std::vector<std::uint8_t> ten_bytes = other_header;
  ten_bytes.resize(10);
  EXPECT_FALSE(IsSampReply(ten_bytes, 'i'));
  EXPECT_FALSE(IsSampReply(ten_bytes, '\0'));
}

TEST(SampQuery, InfoFieldsAndAnyNonZeroPasswordByte) {
  const struct {
    std::uint8_t byte;
    bool password;
  } cases[] = {{1, true}, {0, false}, {2, true}, {0xFF, true}};
  for (const auto& c : cases) {
    SampInfo info = ParseSampInfo(TestInfo(c.byte));
    EXPECT_EQ(info.password, c.password);
    EXPECT_EQ(info.players, 5);
    EXPECT_EQ(info.max_players, 50);
    EXPECT_EQ(info.host_name, "Test");
    EXPECT_EQ(info.game_mode, "Freeroam");
    EXPECT_EQ(info.third, "EN");
  }
}

TEST(SampQuery, LengthsThatLieStayInsideTheDatagram) {
  // A negative length reads as an empty text; the next length follows it.
  // clang-format off
  SampInfo negative = ParseSampInfo(Header('i').U8(0).U16(1).U16(2)
                                        .I32(-7)                   // host name
                                        .I32(3).Text("Mod")        // game mode
                                        .I32(0)                    // third string
                                        .Bytes());
  // clang-format on
  EXPECT_EQ(negative.host_name, "");
  EXPECT_EQ(negative.game_mode, "Mod");
  EXPECT_EQ(negative.third, "");

  // A length past the end keeps what is there; the fields after it are empty.
  // clang-format off
  SampInfo oversized = ParseSampInfo(Header('i').U8(0).U16(1).U16(2)
                                         .I32(0x7FFFFFFF).Text("Host")
                                         .I32(3).Text("Mod")
                                         .Bytes());
  // clang-format on
  EXPECT_EQ(oversized.host_name, std::string("Host\x03\0\0\0Mod", 11));
  EXPECT_EQ(oversized.game_mode, "");
  EXPECT_EQ(oversized.third, "");
  EXPECT_EQ(oversized.max_players, 2);
}

TEST(SampQuery, PlayerRecords) {
  SampPlayers players = ParseSampPlayers(TwoPlayers(2));
  EXPECT_EQ(players.count, 2);
  ASSERT_EQ(players.players.size(), 2u);
  EXPECT_EQ(players.players[0].name, "Ann");
  EXPECT_EQ(players.players[0].score, -5);
  EXPECT_EQ(players.players[0].ping, 120);
  EXPECT_EQ(players.players[1].name, "Bob");
  EXPECT_EQ(players.players[1].score, 42);

  // The announced count is kept when fewer records follow.
  SampPlayers three = ParseSampPlayers(TwoPlayers(3));
  EXPECT_EQ(three.count, 3);
  EXPECT_EQ(three.players.size(), 2u);

  SampPlayers none = ParseSampPlayers(Header('d').U16(0).Bytes());
  EXPECT_EQ(none.count, 0);
  EXPECT_TRUE(none.players.empty());

  // A record whose name length runs past the end is dropped whole.
  // clang-format off
  SampPlayers cut = ParseSampPlayers(Header('d').U16(2).U8(0).U8(1).Text("A").I32(1).I32(2)
                                         .U8(1).U8(200).Text("Bob").I32(3).I32(4).Bytes());
  // clang-format on
  ASSERT_EQ(cut.players.size(), 1u);
  EXPECT_EQ(cut.players[0].name, "A");
}

TEST(SampQuery, EveryCutReadsOnlyWhatCameAndKeepsWholeRecords) {
  SampInfo full_info = ParseSampInfo(TestInfo(1));
  ForEachCut(TestInfo(1), [&](std::span<const std::uint8_t> cut, std::size_t) {
    SampInfo info = ParseSampInfo(cut);
    EXPECT_TRUE(full_info.host_name.starts_with(info.host_name));
    EXPECT_TRUE(full_info.game_mode.starts_with(info.game_mode));
    EXPECT_TRUE(full_info.third.starts_with(info.third));
  });
  SampPlayers full = ParseSampPlayers(TwoPlayers(2));
  ForEachCut(TwoPlayers(2), [&](std::span<const std::uint8_t> cut, std::size_t n) {
    SampPlayers players = ParseSampPlayers(cut);
    EXPECT_EQ(players.count, n >= 13 ? 2 : 0);
    // Ann's record ends at byte 26, Bob's at 39.
    EXPECT_EQ(players.players.size(), n >= 39 ? 2u : n >= 26 ? 1u : 0u);
    for (std::size_t i = 0; i < players.players.size(); ++i) {
      EXPECT_EQ(players.players[i].name, full.players[i].name);
      EXPECT_EQ(players.players[i].ping, full.players[i].ping);
    }
  });
}

class SampCaptureTest : public test::CaptureTest {};

TEST_F(SampCaptureTest, InfoRepliesOfRealAndHandMadeServers) {
  SampInfo convoy = ParseSampInfo(LoadSingleCapture("samp/mick88_convoytrucking_i.hex"));
  EXPECT_FALSE(convoy.password);
  EXPECT_EQ(convoy.players, 12);
  EXPECT_EQ(convoy.max_players, 100);
  EXPECT_EQ(convoy.host_name, "Convoy Trucking");
  EXPECT_EQ(convoy.game_mode, "Convoy Trucking 3.4.4");
  EXPECT_EQ(convoy.third, "English");

  // Windows-1251 bytes come back as they were sent.
  std::vector<std::uint8_t> reply = LoadSingleCapture("synthetic/samp_i_cp1251.hex");
  ASSERT_TRUE(IsSampReply(reply, kSampInfoOpcode));
  SampInfo cyrillic = ParseSampInfo(reply);
  EXPECT_EQ(cyrillic.players, 3);
  EXPECT_EQ(cyrillic.max_players, 50);
  EXPECT_EQ(cyrillic.host_name, "\xC3\xEE\xF0\xEE\xE4 \xD2\xE5\xF1\xF2");  // "Город Тест"
  EXPECT_EQ(cyrillic.game_mode, "RolePlay");
  EXPECT_EQ(cyrillic.third, "\xD0\xF3\xF1\xF1\xEA\xE8\xE9");  // "Русский"

  // Replies to the other opcodes are not taken for either.
  for (const char* file :
       {"samp/mick88_convoytrucking_r.hex", "samp/mick88_convoytrucking_c.hex"}) {
    reply = LoadSingleCapture(file);
    EXPECT_FALSE(IsSampReply(reply, kSampInfoOpcode)) << file;
    EXPECT_FALSE(IsSampReply(reply, kSampPlayerOpcode)) << file;
  }
}

TEST_F(SampCaptureTest, PlayerRepliesOfRealAndHandMadeServers) {
  const struct {
    const char* name;
    std::int32_t score, ping;
  } expected[] = {
      {"pedr$$Nn157", 18271, 252},
      {"SuBa", 924, 56},
      {"Chocolate", 7767, 24},
      {"biieL$iNn157", 18265, 228},
      {"Martin80nik", 10192, 72},
      {"NadoVGs(AFK)", 5162, 212},
      {"Otto", 102, 106},
      {"Kristo_Rand", 1, 80},
      {"abeceda", 2, 58},
      {"katerina", 0, 70},
      {"Jonas_Nicholls_II", 27701, 66},
      {"Murs_Beten", 641, 55},
  };
  std::vector<std::uint8_t> reply = LoadSingleCapture("samp/mick88_convoytrucking_d.hex");
  ASSERT_TRUE(IsSampReply(reply, kSampPlayerOpcode));
  SampPlayers convoy = ParseSampPlayers(reply);
  EXPECT_EQ(convoy.count, 12);
  ASSERT_EQ(convoy.players.size(), std::size(expected));
  for (std::size_t i = 0; i < std::size(expected); ++i) {
    EXPECT_EQ(convoy.players[i].name, expected[i].name);
    EXPECT_EQ(convoy.players[i].score, expected[i].score);
    EXPECT_EQ(convoy.players[i].ping, expected[i].ping);
  }

  SampPlayers cyrillic = ParseSampPlayers(LoadSingleCapture("synthetic/samp_d_cp1251.hex"));
  ASSERT_EQ(cyrillic.players.size(), 1u);
  EXPECT_EQ(cyrillic.players[0].name, "\xC2\xE0\xF1\xFF");  // "Вася"
  EXPECT_EQ(cyrillic.players[0].score, 5);
  EXPECT_EQ(cyrillic.players[0].ping, 33);
}

}  // namespace
}  // namespace morvane
