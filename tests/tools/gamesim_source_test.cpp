// The Source and GoldSrc simulators' answers, read back with the plug-in's
// own parsers and with the wire layout of the fields the plug-in skips: the
// simulators must speak the real protocol, not only what the plug-in reads.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "common/byte_reader.h"
#include "games/source.h"
#include "gamesim/source_replies.h"

namespace morvane::gamesim {
namespace {

SimServer Arena() {
  return {
      .name = "Морвейн Арена",
      .map = "de_dust2",
      .folder = "cstrike",
      .game = "Counter-Strike: Source",
      .app_id = 240,
      .max_players = 24,
      .password = true,
      .vac = true,
      .version = "1.0.0.71",
      .players = {{"Ann", 10, 125.0f, 35},
                  {"Борис", -3, 3725.5f, 62},
                  {"BOT Zed", 0, 7322.4f, 0, true}},
  };
}

const ChallengeBytes kExpected = {0x12, 0x34, 0x56, 0x78};
const ChallengeBytes kWrong = {0x12, 0x34, 0x56, 0x79};

std::vector<Datagram> Ask(std::span<const std::uint8_t> query, ChallengePolicy policy,
                          SourceForm form = SourceForm::kSource, bool split = false) {
  const SourceSetup setup{
      .server = Arena(), .form = form, .challenge = policy, .split = split, .port = 27016};
  return AnswerSourceQuery(query, setup, kExpected, 7);
}

TEST(GamesimSource, NewFormInfoCarriesEveryField) {
  const Datagram reply = BuildSourceInfo(Arena());
  ASSERT_EQ(ClassifySourceReply(reply), SourceReplyType::kInfo);
  const SourceInfo info = ParseSourceInfo(reply);
  EXPECT_EQ(info.name, "Морвейн Арена");
  EXPECT_EQ(info.map, "de_dust2");
  EXPECT_EQ(info.mod, "Counter-Strike: Source");
  EXPECT_EQ(info.players, 3);
  EXPECT_EQ(info.max_players, 24);
  EXPECT_TRUE(info.password);

  ByteReader reader(reply);
  EXPECT_EQ(reader.ReadU32LE(), 0xFFFFFFFFu);
  EXPECT_EQ(reader.ReadU8(), 'I');
  EXPECT_EQ(reader.ReadU8(), 17);  // protocol
  for (int i = 0; i < 3; ++i) reader.ReadCString();
  EXPECT_EQ(reader.ReadCString(), "Counter-Strike: Source");
  EXPECT_EQ(reader.ReadU16LE(), 240);  // application id
  reader.Skip(2);                      // players, maximum
  EXPECT_EQ(reader.ReadU8(), 1);       // bots
  EXPECT_EQ(reader.ReadU8(), 'd');     // dedicated
  EXPECT_EQ(reader.ReadU8(), 'l');     // Linux
  EXPECT_EQ(reader.ReadU8(), 1);       // visibility: password
  EXPECT_EQ(reader.ReadU8(), 1);       // VAC
  EXPECT_EQ(reader.ReadCString(), "1.0.0.71");
  EXPECT_EQ(reader.ReadU8(), 0);  // extra data flag
  EXPECT_TRUE(reader.AtEnd());
  EXPECT_FALSE(reader.Exhausted());
}

TEST(GamesimSource, OldFormInfoStartsWithTheServersAddress) {
  SimServer server = Arena();
  server.password = false;
  const Datagram reply = BuildGoldSrcInfo(server, 27016);
  const SourceInfo info = ParseSourceInfo(reply);
  EXPECT_EQ(info.name, "Морвейн Арена");
  EXPECT_EQ(info.mod, "Counter-Strike: Source");
  EXPECT_EQ(info.players, 3);
  EXPECT_EQ(info.max_players, 24);
  EXPECT_FALSE(info.password);

  ByteReader reader(reply);
  reader.Skip(4);
  EXPECT_EQ(reader.ReadU8(), 'm');
  EXPECT_EQ(reader.ReadCString(), "127.0.0.1:27016");
  for (int i = 0; i < 4; ++i) reader.ReadCString();
  reader.Skip(2);                  // players, maximum
  EXPECT_EQ(reader.ReadU8(), 47);  // protocol
  EXPECT_EQ(reader.ReadU8(), 'd');
  EXPECT_EQ(reader.ReadU8(), 'l');
  EXPECT_EQ(reader.ReadU8(), 0);  // visibility
  EXPECT_EQ(reader.ReadU8(), 0);  // not a mod
  EXPECT_EQ(reader.ReadU8(), 1);  // VAC
  EXPECT_EQ(reader.ReadU8(), 1);  // bots
  EXPECT_TRUE(reader.AtEnd());
  EXPECT_FALSE(reader.Exhausted());
}

TEST(GamesimSource, PlayerReplyListsEveryPlayer) {
  for (SourceForm form : {SourceForm::kSource, SourceForm::kGoldSrc}) {
    const SourcePlayers reply = ParseSourcePlayers(BuildSourcePlayers(Arena(), form));
    EXPECT_EQ(reply.count, 3);
    EXPECT_FALSE(reply.names_hidden);
    ASSERT_EQ(reply.players.size(), 3u);
    EXPECT_EQ(reply.players[1].name, "Борис");
    EXPECT_EQ(reply.players[1].score, -3);
    EXPECT_EQ(reply.players[1].duration, 3725.5f);
    EXPECT_EQ(reply.players[2].duration, 7322.4f);
  }
  SimServer empty = Arena();
  empty.players.clear();
  EXPECT_TRUE(ParseSourcePlayers(BuildSourcePlayers(empty, SourceForm::kSource)).players.empty());
}

// Which reply each request gets under each challenge policy: 'A' is a
// challenge, 'I' the info reply, 'D' the player list, 'E' the rules.
TEST(GamesimSource, ChallengePolicies) {
  const auto info = std::vector<std::uint8_t>(kSourceInfoRequest.begin(), kSourceInfoRequest.end());
  const auto info_right = MakeSourceInfoRequest(kExpected);
  const auto info_wrong = MakeSourceInfoRequest(kWrong);
  const auto players =
      std::vector<std::uint8_t>(kSourcePlayerRequest.begin(), kSourcePlayerRequest.end());
  const auto players_right = MakeSourcePlayerRequest(kExpected);
  const auto players_wrong = MakeSourcePlayerRequest(kWrong);
  const std::vector<std::uint8_t> rules_right = {0xFF, 0xFF, 0xFF, 0xFF, 'V',
                                                 0x12, 0x34, 0x56, 0x78};
  const std::vector<std::uint8_t> rules_bare = {0xFF, 0xFF, 0xFF, 0xFF, 'V',
                                                0xFF, 0xFF, 0xFF, 0xFF};
  const struct {
    const char* what;
    std::span<const std::uint8_t> query;
    char none, players, all;
  } cases[] = {
      {"info", info, 'I', 'I', 'A'},
      {"info with the challenge", info_right, 'I', 'I', 'I'},
      {"info with a wrong challenge", info_wrong, 'I', 'I', 'A'},
      {"players asking for a challenge", players, 'D', 'A', 'A'},
      {"players with the challenge", players_right, 'D', 'D', 'D'},
      {"players with a wrong challenge", players_wrong, 'D', 'A', 'A'},
      {"rules with the challenge", rules_right, 'E', 'E', 'E'},
      {"rules asking for a challenge", rules_bare, 'E', 'A', 'A'},
  };
  for (const auto& c : cases) {
    const std::pair<ChallengePolicy, char> policies[] = {{ChallengePolicy::kNone, c.none},
                                                         {ChallengePolicy::kPlayers, c.players},
                                                         {ChallengePolicy::kAll, c.all}};
    for (const auto& [policy, type] : policies) {
      const auto replies = Ask(c.query, policy);
      ASSERT_EQ(replies.size(), 1u) << c.what;
      ASSERT_GE(replies[0].size(), 5u) << c.what;
      EXPECT_EQ(replies[0][4], type) << c.what << ", policy " << static_cast<int>(policy);
      if (type == 'A') {
        EXPECT_EQ(ParseSourceChallenge(replies[0]), kExpected) << c.what;
      }
    }
  }
}

// The exchange the plug-in runs for a player list: the bare request, the
// challenge, the request again with it, the list.
TEST(GamesimSource, PlayerExchangeWithTheClientsParsers) {
  auto first = Ask(kSourcePlayerRequest, ChallengePolicy::kAll);
  ASSERT_EQ(first.size(), 1u);
  ASSERT_EQ(ClassifySourceReply(first[0]), SourceReplyType::kChallenge);
  const auto again = MakeSourcePlayerRequest(ParseSourceChallenge(first[0]));
  auto second = Ask(again, ChallengePolicy::kAll);
  ASSERT_EQ(second.size(), 1u);
  ASSERT_EQ(ClassifySourceReply(second[0]), SourceReplyType::kPlayers);
  EXPECT_EQ(ParseSourcePlayers(second[0]).players.size(), 3u);
}

TEST(GamesimSource, ChallengeDependsOnTheClientAndIsNeverTheAskingValue) {
  EXPECT_NE(ChallengeFor(1, 0x0100007F, 5000), ChallengeFor(1, 0x0100007F, 5001));
  EXPECT_NE(ChallengeFor(1, 0x0100007F, 5000), ChallengeFor(2, 0x0100007F, 5000));
  EXPECT_EQ(ChallengeFor(1, 0x0100007F, 5000), ChallengeFor(1, 0x0100007F, 5000));
  for (std::uint32_t secret = 0; secret < 20000; ++secret) {
    ASSERT_NE(ChallengeFor(secret, 0x0100007F, 27005), 0xFFFFFFFFu);
  }
}

// Reassembles split packets by their headers, checking each header on the
// way; returns the payloads joined in packet order.
Datagram Reassemble(const std::vector<Datagram>& packets, SourceForm form) {
  std::map<int, Datagram> payloads;
  for (const Datagram& packet : packets) {
    ByteReader reader(packet);
    EXPECT_EQ(reader.ReadU32LE(), 0xFFFFFFFEu);
    const std::uint32_t id = reader.ReadU32LE();
    EXPECT_EQ(id & 0x80000000u, 0u) << "the compression bit must stay clear";
    int total = 0;
    int number = 0;
    if (form == SourceForm::kGoldSrc) {
      const std::uint8_t byte = reader.ReadU8();
      total = byte & 0x0F;
      number = byte >> 4;
    } else {
      total = reader.ReadU8();
      number = reader.ReadU8();
      EXPECT_EQ(reader.ReadU16LE(), kSourceSplitSize);
    }
    EXPECT_LE(total, static_cast<int>(packets.size()));
    auto rest = reader.ReadBytes(reader.Remaining());
    if (payloads.count(number) != 0) {
      EXPECT_EQ(payloads[number], Datagram(rest.begin(), rest.end())) << "a repeat differs";
    }
    payloads[number] = Datagram(rest.begin(), rest.end());
  }
  Datagram whole;
  for (const auto& [number, payload] : payloads)
    whole.insert(whole.end(), payload.begin(), payload.end());
  return whole;
}

// A split reply must reassemble to the single reply, and no packet of it may
// pass for a reply of its own with a client that reads byte 4 alone: the
// plug-in gives such a server its offline text.
TEST(GamesimSource, SplitRepliesReassembleAndNoPacketPassesForAReply) {
  SimServer crowded = Arena();
  for (int i = 0; i < 120; ++i)
    crowded.players.push_back({"Player_" + std::to_string(i), i, 60.0f * i, 0});
  const auto request = MakeSourcePlayerRequest(kExpected);
  for (SourceForm form : {SourceForm::kSource, SourceForm::kGoldSrc}) {
    for (std::uint32_t sequence : {0x41u, 0x44u, 0x49u, 0x6Du, 0xFFFFFFFFu}) {
      const Datagram single = BuildSourcePlayers(Arena(), form);
      const auto forced = SplitSourceReply(single, form, sequence, 2);
      ASSERT_EQ(forced.size(), 2u);
      EXPECT_EQ(Reassemble(forced, form), single);
      for (const Datagram& packet : forced) {
        EXPECT_EQ(ClassifySourceReply(packet), SourceReplyType::kUnrecognised);
      }
    }
    const Datagram long_reply = BuildSourcePlayers(crowded, form);
    const SourceSetup setup{
        .server = crowded, .form = form, .challenge = ChallengePolicy::kPlayers};
    const auto packets = AnswerSourceQuery(request, setup, kExpected, 3);
    ASSERT_GT(packets.size(), 1u) << "a reply above the packet size goes out split";
    for (const Datagram& packet : packets) EXPECT_LE(packet.size(), kSourceMaxSinglePacket);
    EXPECT_EQ(Reassemble(packets, form), long_reply);
  }
  // --split splits even the smallest reply in three, sends the pieces last
  // first and the middle one twice; the info reply is never split.
  const auto shuffled =
      Ask(MakeSourcePlayerRequest(kExpected), ChallengePolicy::kPlayers, SourceForm::kSource, true);
  ASSERT_EQ(shuffled.size(), 4u);
  EXPECT_EQ(shuffled[1], shuffled[2]);
  EXPECT_EQ(Reassemble(shuffled, SourceForm::kSource),
            BuildSourcePlayers(Arena(), SourceForm::kSource));
  EXPECT_EQ(Ask(kSourceInfoRequest, ChallengePolicy::kPlayers, SourceForm::kSource, true).size(),
            1u);
}

TEST(GamesimSource, GoldSrcAlsoKnowsTheOldTextCommands) {
  const std::string details =
      "\xFF\xFF\xFF\xFF"
      "details";
  const std::string players = std::string(
      "\xFF\xFF\xFF\xFF"
      "players\n");
  auto bytes = [](const std::string& text) {
    return std::vector<std::uint8_t>(text.begin(), text.end());
  };
  auto info = Ask(bytes(details), ChallengePolicy::kAll, SourceForm::kGoldSrc);
  ASSERT_EQ(info.size(), 1u);
  EXPECT_EQ(info[0][4], 'm');
  auto list = Ask(bytes(players), ChallengePolicy::kAll, SourceForm::kGoldSrc);
  ASSERT_EQ(list.size(), 1u);
  EXPECT_EQ(list[0][4], 'D');
  EXPECT_TRUE(Ask(bytes(details), ChallengePolicy::kNone, SourceForm::kSource).empty());
}

// Every cut of a valid query and a table of junk get no answer; the whole
// queries do. Nothing here may read past the datagram.
TEST(GamesimSource, JunkAndCutQueriesGetNoAnswer) {
  const auto info = MakeSourceInfoRequest(kExpected);
  const auto players = MakeSourcePlayerRequest(kExpected);
  for (std::span<const std::uint8_t> query : {std::span<const std::uint8_t>(kSourceInfoRequest),
                                              std::span<const std::uint8_t>(players)}) {
    for (std::size_t cut = 0; cut < query.size(); ++cut) {
      EXPECT_TRUE(Ask(query.first(cut), ChallengePolicy::kNone).empty()) << "cut at " << cut;
    }
    EXPECT_FALSE(Ask(query, ChallengePolicy::kNone).empty());
  }
  // Info with 1 to 3 stray bytes behind it is still an info request, without
  // a challenge.
  for (std::size_t cut = kSourceInfoRequest.size() + 1; cut < info.size(); ++cut) {
    const auto replies = Ask(std::span(info).first(cut), ChallengePolicy::kAll);
    ASSERT_EQ(replies.size(), 1u);
    EXPECT_EQ(replies[0][4], 'A');
  }
  const std::vector<std::vector<std::uint8_t>> junk = {
      {},
      {0xFF},
      {0xFF, 0xFF, 0xFF, 0xFF},
      {0xFE, 0xFF, 0xFF, 0xFF, 'T'},
      {0xFF, 0xFF, 0xFF, 0xFF, 'T', 'S', 'o', 'u', 'r', 'c', 'e', 0},
      {0xFF, 0xFF, 0xFF, 0xFF, 'I', 17, 'x', 0},
      {0xFF, 0xFF, 0xFF, 0xFF, 'Z', 0, 0, 0, 0},
  };
  for (const auto& query : junk) {
    EXPECT_TRUE(Ask(query, ChallengePolicy::kNone, SourceForm::kGoldSrc).empty());
  }
}

}  // namespace
}  // namespace morvane::gamesim
