// The SA-MP simulator's answers: every reply echoes the 11 query bytes, the
// information and player replies read back with the plug-in's own parsers,
// the client list and the rules with their wire layout.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "common/byte_reader.h"
#include "games/samp.h"
#include "gamesim/samp_replies.h"

namespace morvane::gamesim {
namespace {

SimServer Freeroam() {
  return {
      .name = "Морвейн Фрирум",
      .map = "San Andreas",
      .game = "Freeroam",
      .language = "Русский",
      .max_players = 50,
      .password = true,
      .version = "0.3.7-R2",
      .players = {{"Ivan_Petrov", 120, 0, 35}, {"Ann_Lee", -5, 0, 120}},
  };
}

// What other clients send: "SAMP", 127.0.0.1, port 7777, the opcode.
std::vector<std::uint8_t> Query(char opcode) {
  return {'S', 'A', 'M', 'P', 127, 0, 0, 1, 0x61, 0x1E, static_cast<std::uint8_t>(opcode)};
}

Datagram AskOne(std::span<const std::uint8_t> query, const SimServer& server = Freeroam()) {
  auto replies = AnswerSampQuery(query, server);
  EXPECT_EQ(replies.size(), 1u);
  return replies.empty() ? Datagram() : replies[0];
}

std::string Text(std::span<const std::uint8_t> bytes) {
  return std::string(bytes.begin(), bytes.end());
}

TEST(GamesimSamp, EveryReplyEchoesTheQueryHeader) {
  for (char opcode : {'i', 'r', 'c', 'd'}) {
    for (const auto& query : {Query(opcode), std::vector<std::uint8_t>(kSampInfoRequest.begin(),
                                                                       kSampInfoRequest.end())}) {
      auto asked = query;
      asked[10] = static_cast<std::uint8_t>(opcode);
      const Datagram reply = AskOne(asked);
      ASSERT_GE(reply.size(), kSampHeaderSize) << opcode;
      EXPECT_TRUE(std::equal(asked.begin(), asked.end(), reply.begin())) << opcode;
    }
  }
}

TEST(GamesimSamp, InformationReadsBackWithThePluginsParser) {
  const Datagram reply = AskOne(kSampInfoRequest);
  ASSERT_TRUE(IsSampReply(reply, kSampInfoOpcode));
  const SampInfo info = ParseSampInfo(reply);
  EXPECT_TRUE(info.password);
  EXPECT_EQ(info.players, 2);
  EXPECT_EQ(info.max_players, 50);
  EXPECT_EQ(info.host_name, Utf8ToCp1251("Морвейн Фрирум"));
  EXPECT_EQ(info.game_mode, "Freeroam");
  EXPECT_EQ(info.third, "\xD0\xF3\xF1\xF1\xEA\xE8\xE9");  // Русский in Windows-1251

  SimServer open = Freeroam();
  open.password = false;
  EXPECT_FALSE(ParseSampInfo(AskOne(kSampInfoRequest, open)).password);
}

TEST(GamesimSamp, DetailedPlayersReadBackWithThePluginsParser) {
  const Datagram reply = AskOne(kSampPlayerRequest);
  ASSERT_TRUE(IsSampReply(reply, kSampPlayerOpcode));
  const SampPlayers list = ParseSampPlayers(reply);
  EXPECT_EQ(list.count, 2);
  ASSERT_EQ(list.players.size(), 2u);
  EXPECT_EQ(list.players[1].name, "Ann_Lee");
  EXPECT_EQ(list.players[1].score, -5);
  EXPECT_EQ(list.players[1].ping, 120);

  // The ids count from 0, one byte each.
  ByteReader reader(reply);
  reader.Skip(13);
  EXPECT_EQ(reader.ReadU8(), 0);
  reader.Skip(1 + 11 + 8);
  EXPECT_EQ(reader.ReadU8(), 1);

  SimServer empty = Freeroam();
  empty.players.clear();
  const Datagram none = AskOne(kSampPlayerRequest, empty);
  EXPECT_EQ(none.size(), 13u);
  EXPECT_EQ(ParseSampPlayers(none).count, 0);
}

TEST(GamesimSamp, ClientListAndRules) {
  const Datagram clients_reply = AskOne(Query('c'));
  ByteReader clients(clients_reply);
  clients.Skip(kSampHeaderSize);
  EXPECT_EQ(clients.ReadU16LE(), 2);
  EXPECT_EQ(Text(clients.ReadBytes(clients.ReadU8())), "Ivan_Petrov");
  EXPECT_EQ(clients.ReadI32LE(), 120);
  EXPECT_EQ(Text(clients.ReadBytes(clients.ReadU8())), "Ann_Lee");
  EXPECT_EQ(clients.ReadI32LE(), -5);
  EXPECT_TRUE(clients.AtEnd());
  EXPECT_FALSE(clients.Exhausted());

  const Datagram rules_reply = AskOne(Query('r'));
  ByteReader rules(rules_reply);
  rules.Skip(kSampHeaderSize);
  const std::uint16_t count = rules.ReadU16LE();
  std::vector<std::pair<std::string, std::string>> pairs;
  for (int i = 0; i < count; ++i) {
    std::string name = Text(rules.ReadBytes(rules.ReadU8()));
    std::string value = Text(rules.ReadBytes(rules.ReadU8()));
    pairs.emplace_back(name, value);
  }
  EXPECT_TRUE(rules.AtEnd());
  EXPECT_FALSE(rules.Exhausted());
  EXPECT_NE(std::find(pairs.begin(), pairs.end(),
                      std::pair<std::string, std::string>("version", "0.3.7-R2")),
            pairs.end());
  EXPECT_NE(std::find(pairs.begin(), pairs.end(),
                      std::pair<std::string, std::string>("mapname", "San Andreas")),
            pairs.end());
}

// Cut queries, other magic words and unknown opcodes get no answer; the ping
// is answered with its own 4 bytes and nothing that followed them.
TEST(GamesimSamp, JunkAndCutQueriesGetNoAnswer) {
  const auto info = Query('i');
  for (std::size_t cut = 0; cut < info.size(); ++cut) {
    EXPECT_TRUE(AnswerSampQuery(std::span(info).first(cut), Freeroam()).empty()) << cut;
  }
  auto ping = Query('p');
  for (std::uint8_t byte : {1, 2, 3}) ping.push_back(byte);
  EXPECT_TRUE(AnswerSampQuery(ping, Freeroam()).empty()) << "a ping needs 4 bytes";
  ping.push_back(4);
  ping.push_back(5);
  const Datagram pong = AskOne(ping);
  EXPECT_EQ(pong, std::vector<std::uint8_t>(ping.begin(), ping.begin() + 15));

  for (auto query : {Query('x'), Query('I')}) {
    EXPECT_TRUE(AnswerSampQuery(query, Freeroam()).empty());
  }
  auto other = Query('i');
  other[0] = 's';
  EXPECT_TRUE(AnswerSampQuery(other, Freeroam()).empty());
}

// Names and rule texts carry a one-byte length: a longer text is cut to 255
// bytes rather than leaving a length that disagrees with what follows.
TEST(GamesimSamp, LongNamesKeepTheirLengthByteTrue) {
  SimServer server = Freeroam();
  server.players = {{std::string(300, 'x'), 7, 0, 9}};
  const SampPlayers list = ParseSampPlayers(AskOne(kSampPlayerRequest, server));
  ASSERT_EQ(list.players.size(), 1u);
  EXPECT_EQ(list.players[0].name.size(), 255u);
  EXPECT_EQ(list.players[0].score, 7);
  EXPECT_EQ(list.players[0].ping, 9);
}

}  // namespace
}  // namespace morvane::gamesim
