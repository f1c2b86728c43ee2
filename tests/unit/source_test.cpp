// Source and GoldSrc replies: hand-written datagrams for each rule, every
// reply cut at every byte, and captures of real servers.
#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "games/source.h"
#include "support/fixtures.h"

namespace morvane {
namespace {

using test::DatagramBuilder;
using test::ForEachCut;
using test::LoadCapture;
using test::LoadSingleCapture;

std::vector<std::uint8_t> ArenaInfo(std::uint8_t visibility) {
  // clang-format off
  return DatagramBuilder()
      .U32(0xFFFFFFFF)
      .U8(0x49)                   // type 'I'
      .U8(17)                     // protocol version
      .CString("Arena")           // server name
      .CString("de_dust2")        // map
      .CString("cstrike")         // game folder
      .CString("Counter-Strike")  // game description
      .U16(10)                    // application id
      .U8(5)                      // players
      .U8(16)                     // maximum players
      .U8(0)                      // bots
      .U8('d')                    // server type
      .U8('l')                    // environment
      .U8(visibility);
  // clang-format on
}

std::vector<std::uint8_t> AnnAndBob(std::uint8_t count) {
  // clang-format off
  return DatagramBuilder()
      .U32(0xFFFFFFFF)
      .U8(0x44)    // type 'D'
      .U8(count)   // records announced
      .U8(0).CString("Ann").I32(10).F32(125.0f)     // index, name, score, duration
      .U8(1).CString("Bob").I32(-3).F32(3725.0f);
  // clang-format on
}

TEST(SourceQuery, TypeByteAloneDecides) {
  const struct {
    std::vector<std::uint8_t> reply;
    SourceReplyType type;
  } cases[] = {
      {{0xFF, 0xFF, 0xFF, 0xFF, 0x49}, SourceReplyType::kInfo},
      {{0xFF, 0xFF, 0xFF, 0xFF, 0x6D}, SourceReplyType::kInfo},
      {{0x00, 0x01, 0x02, 0x03, 0x49}, SourceReplyType::kInfo},  // header not checked
      {{0xFF, 0xFF, 0xFF, 0xFF, 0x41, 1, 2, 3, 4}, SourceReplyType::kChallenge},
      {{0xFF, 0xFF, 0xFF, 0xFF, 0x44, 0}, SourceReplyType::kPlayers},
      {{0xFF, 0xFF, 0xFF, 0xFF, 0x45}, SourceReplyType::kUnrecognised},  // rules
      {{0xFF, 0xFF, 0xFF, 0x49}, SourceReplyType::kUnrecognised},        // 4 bytes
      {{}, SourceReplyType::kUnrecognised},
  };
  for (const auto& c : cases) EXPECT_EQ(ClassifySourceReply(c.reply), c.type);
}

TEST(SourceQuery, NewFormInfoAndItsPasswordByte) {
  const struct {
    std::uint8_t visibility;
    bool password;
  } cases[] = {{1, true}, {0, false}, {2, false}};
  for (const auto& c : cases) {
    SourceInfo info = ParseSourceInfo(ArenaInfo(c.visibility));
    EXPECT_EQ(info.name, "Arena");
    EXPECT_EQ(info.map, "de_dust2");
    EXPECT_EQ(info.mod, "Counter-Strike");
    EXPECT_EQ(info.players, 5);
    EXPECT_EQ(info.max_players, 16);
    EXPECT_EQ(info.password, c.password);
  }
}

TEST(SourceQuery, OldFormInfoSkipsTheServerAddress) {
  // clang-format off
  std::vector<std::uint8_t> reply = DatagramBuilder()
      .U32(0xFFFFFFFF)
      .U8(0x6D)                   // type 'm'
      .CString("1.2.3.4:27015")   // the server's own address
      .CString("Arena")
      .CString("de_dust2")
      .CString("cstrike")
      .CString("Counter-Strike")  // no application id in this form
      .U8(5).U8(16)               // players, maximum
      .U8(47).U8('d').U8('l')     // protocol, server type, environment
      .U8(1);                     // visibility
  // clang-format on
  SourceInfo info = ParseSourceInfo(reply);
  EXPECT_EQ(info.name, "Arena");
  EXPECT_EQ(info.map, "de_dust2");
  EXPECT_EQ(info.mod, "Counter-Strike");
  EXPECT_EQ(info.players, 5);
  EXPECT_EQ(info.max_players, 16);
  EXPECT_TRUE(info.password);
}

TEST(SourceQuery, ChallengeIsEchoedInBothRequests) {
  std::vector<std::uint8_t> reply = {0xFF, 0xFF, 0xFF, 0xFF, 0x41, 0x4B, 0xA1, 0xD5, 0x22};
  SourceChallenge challenge = ParseSourceChallenge(reply);
  EXPECT_EQ(challenge, (SourceChallenge{0x4B, 0xA1, 0xD5, 0x22}));
  EXPECT_EQ(MakeSourcePlayerRequest(challenge),
            (std::array<std::uint8_t, 9>{0xFF, 0xFF, 0xFF, 0xFF, 'U', 0x4B, 0xA1, 0xD5, 0x22}));
  // A challenge cut short keeps the bytes that came.
  std::vector<std::uint8_t> cut(reply.begin(), reply.begin() + 7);
  EXPECT_EQ(ParseSourceChallenge(cut), (SourceChallenge{0x4B, 0xA1, 0, 0}));
}

TEST(SourceQuery, PlayerRecordsUpToTheCountOrTheEnd) {
  SourcePlayers two = ParseSourcePlayers(AnnAndBob(2));
  EXPECT_EQ(two.count, 2);
  EXPECT_FALSE(two.names_hidden);
  ASSERT_EQ(two.players.size(), 2u);
  EXPECT_EQ(two.players[0].name, "Ann");
  EXPECT_EQ(two.players[0].score, 10);
  EXPECT_EQ(two.players[0].duration, 125.0f);
  EXPECT_EQ(two.players[1].name, "Bob");
  EXPECT_EQ(two.players[1].score, -3);
  EXPECT_EQ(two.players[1].duration, 3725.0f);

  // The count byte is reported as sent; the records end with the datagram.
  SourcePlayers five = ParseSourcePlayers(AnnAndBob(5));
  EXPECT_EQ(five.count, 5);
  EXPECT_EQ(five.players.size(), 2u);
  // A smaller count stops early.
  EXPECT_EQ(ParseSourcePlayers(AnnAndBob(1)).players.size(), 1u);
}

TEST(SourceQuery, EmptyServersAndHiddenNames) {
  auto reply = [](std::uint8_t count, std::vector<std::string> names) {
    DatagramBuilder builder;
    builder.U32(0xFFFFFFFF).U8(0x44).U8(count);
    for (const std::string& name : names) builder.U8(0).CString(name).I32(1).F32(1);
    return std::vector<std::uint8_t>(builder);
  };
  const struct {
    const char* what;
    std::vector<std::uint8_t> reply;
    std::size_t listed;
    bool hidden;
  } cases[] = {
      {"count 0", AnnAndBob(0), 0, false},
      {"count 0, an unnamed record", reply(0, {""}), 0, false},
      // CS2 and Rust count their players and name none of them.
      {"every name empty", reply(3, {"", "", ""}), 0, true},
      {"counted, no records", reply(3, {}), 0, true},
      {"an unnamed record first, a named one after", reply(2, {"", "Bob"}), 2, false},
      {"an unnamed record among named ones", reply(3, {"Ann", "", "Bob"}), 3, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const SourcePlayers players = ParseSourcePlayers(c.reply);
    EXPECT_EQ(players.players.size(), c.listed);
    EXPECT_EQ(players.names_hidden, c.hidden);
  }
}

TEST(SourceQuery, CountsFromTheKeywords) {
  const struct {
    const char* keywords;
    std::optional<std::uint32_t> players, max_players;
  } cases[] = {
      {"mp575,cp547,ptrak,qp17,v2336", 547, 575},
      {"oxide,modded,mp50,cp0,v1344", 0, 50},
      {"cp300", 300, std::nullopt},
      {"cpu,mp,cp-1,cp1x,xcp5,mp 9", std::nullopt, std::nullopt},
      {"cp9999999999", UINT32_MAX, std::nullopt},
      {"cp12345678901", UINT32_MAX, std::nullopt},
      {"cp7,cp8", 8, std::nullopt},
      {"", std::nullopt, std::nullopt},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.keywords);
    const KeywordCounts counts = ParseKeywordCounts(c.keywords);
    EXPECT_EQ(counts.players, c.players);
    EXPECT_EQ(counts.max_players, c.max_players);
  }
}

TEST(SourceQuery, CutRecordIsListedWithMissingBytesAsZero) {
  std::vector<std::uint8_t> reply = AnnAndBob(2);
  reply.resize(reply.size() - 6);  // Bob keeps 2 bytes of his score, no duration.
  SourcePlayers players = ParseSourcePlayers(reply);
  ASSERT_EQ(players.players.size(), 2u);
  EXPECT_EQ(players.players[1].name, "Bob");
  EXPECT_EQ(players.players[1].score, 0xFFFD);  // -3 without its two high bytes
  EXPECT_EQ(players.players[1].duration, 0.0f);
}

TEST(SourceQuery, EveryCutReadsOnlyWhatCameAndKeepsPrefixes) {
  SourceInfo full_info = ParseSourceInfo(ArenaInfo(1));
  ForEachCut(ArenaInfo(1), [&](std::span<const std::uint8_t> cut, std::size_t) {
    SourceInfo info = ParseSourceInfo(cut);
    EXPECT_TRUE(full_info.name.starts_with(info.name));
    EXPECT_TRUE(full_info.map.starts_with(info.map));
    EXPECT_TRUE(full_info.mod.starts_with(info.mod));
    EXPECT_TRUE(info.players == 0 || info.players == full_info.players);
    EXPECT_TRUE(info.max_players == 0 || info.max_players == full_info.max_players);
  });
  SourcePlayers full = ParseSourcePlayers(AnnAndBob(2));
  ForEachCut(AnnAndBob(2), [&](std::span<const std::uint8_t> cut, std::size_t n) {
    SourcePlayers players = ParseSourcePlayers(cut);
    EXPECT_EQ(players.count, n > 5 ? 2 : 0);
    ASSERT_LE(players.players.size(), full.players.size());
    for (std::size_t i = 0; i < players.players.size(); ++i) {
      EXPECT_TRUE(full.players[i].name.starts_with(players.players[i].name));
      if (i + 1 < players.players.size()) {
        EXPECT_EQ(players.players[i].score, full.players[i].score);
      }
    }
  });
}

class SourceCaptureTest : public test::CaptureTest {};

TEST_F(SourceCaptureTest, InfoRepliesOfRealServers) {
  const struct {
    const char* file;
    std::string name, map, mod;
    int players, max_players;
    bool password;
  } cases[] = {
      {"psq_csgo", "BombGame by xPaw & Co.", "de_dust2", "Counter-Strike: Global Offensive", 0, 16,
       false},
      {"psq_gmod_cyrillic",  // UTF-8, returned raw
       "\xD0\x93\xD0\xBE\xD1\x80\xD0\xBE\xD0\xB4 \xD0\x98\xD0\xBD\xD0\xBD\xD0\xBE\xD0\xB2\xD0\xB0"
       "\xD1\x86\xD0\xB8\xD0\xB9 | \xD0\xA0\xD1\x83\xD1\x81\xD1\x81\xD0\xBA\xD0\xB8\xD0\xB9 DarkRP",
       "rp_bangclaw", "DarkRP", 33, 40, false},
      {"psq_tf2", " FirePowered.org | Unusual Trade | !jackpot", "trade_unusual_center_v3",
       "Unusual Trading", 32, 32, false},
      {"psq_theship", "RKSzone.com | US Chicago | The Ship | Hunt", "atalanta", "The Ship", 27, 32,
       false},
      {"libssq_info_css", "game2xs.com Counter-Strike Source #1", "de_dust",
       "Counter-Strike: Source", 5, 16, false},
      {"libssq_info_tf2",
       std::string(24, '\x01') +
           "skial.com | PAYLOAD+ | US \xE2\x96\x88\xE2\x96\x88\xE2\x96\x88\xE2\x96\x88",
       "pl_badwater_pro_v12_skial", "\xE2\x96\x88\xE2\x96\x88 Skial \xE2\x96\x88\xE2\x96\x88", 32,
       32, false},
      // Rust: the keywords' counts, not the bytes' (94/125, 0/50, 86/63).
      {"gameq_rust_1_cp93_mp125", "RUSTICITY :: BATTLEFIELD|10X|KITS|GUNS|MEGALOOT",
       "Procedural Map", "rust_server", 93, 125, false},
      {"gameq_rust_2_port49505_cp0_mp50",
       "AuNz Rust Is Life Wiped every Friday 500x,TP,Insta,Stacks,Rads", "Procedural Map",
       "rust_server", 0, 50, false},
      {"gameq_rust_3_cp547_mp575", "UKN.GG - US Training Grounds - Main", "UKN Map", "Rust", 547,
       575, false},
      {"gameq_l4d_1_protocol7", "5th Dimension [Versus]", "l4d_vs_hospital05_rooftop",
       "L4D - Versus", 8, 10, false},
      // GoldSrc's old form.
      {"psq_hltv", "Castle Mortimus:0", "op4_kbase", "HLTV", 0, 1, false},
      {"psq_svencoop_nonsteam", "ClanSC #3 - Engage [Logros]", "sc_doc", "Sven Co-op 4.8", 0, 16,
       true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.file);
    std::vector<std::uint8_t> reply = LoadSingleCapture(std::string("a2s_info/") + c.file + ".hex");
    ASSERT_EQ(ClassifySourceReply(reply), SourceReplyType::kInfo);
    SourceInfo info = ParseSourceInfo(reply);
    EXPECT_EQ(info.name, c.name);
    EXPECT_EQ(info.map, c.map);
    EXPECT_EQ(info.mod, c.mod);
    EXPECT_EQ(info.players, c.players);
    EXPECT_EQ(info.max_players, c.max_players);
    EXPECT_EQ(info.password, c.password);
  }
}

TEST_F(SourceCaptureTest, ACutExtraDataFieldIsIgnored) {
  // Every cut of a Rust reply gives the bytes' counts (94/125) or, once the
  // keywords are whole, theirs (93/125): never a count read from elsewhere.
  const std::vector<std::uint8_t> reply = LoadSingleCapture("a2s_info/gameq_rust_1_cp93_mp125.hex");
  ForEachCut(reply, [&](std::span<const std::uint8_t> cut, std::size_t) {
    const SourceInfo info = ParseSourceInfo(cut);
    EXPECT_TRUE(info.players == 0 || info.players == 94 || info.players == 93) << info.players;
    EXPECT_TRUE(info.max_players == 0 || info.max_players == 125) << info.max_players;
  });
}

TEST_F(SourceCaptureTest, ChallengeExchangeOfARealServer) {
  std::vector<std::uint8_t> challenge =
      LoadSingleCapture("a2s_challenge/libssq_chall_example_0.hex");
  EXPECT_EQ(ClassifySourceReply(challenge), SourceReplyType::kChallenge);
  EXPECT_EQ(ParseSourceChallenge(challenge), (SourceChallenge{0x4B, 0xA1, 0xD5, 0x22}));

  // Request, challenge, request with the challenge appended, info reply.
  auto exchange = LoadCapture("a2s_challenge/sqc_issue20_tf2_exchange.hex");
  ASSERT_EQ(exchange.size(), 4u);
  EXPECT_EQ(exchange[0].bytes,
            std::vector<std::uint8_t>(kSourceInfoRequest.begin(), kSourceInfoRequest.end()));
  ASSERT_EQ(ClassifySourceReply(exchange[1].Span()), SourceReplyType::kChallenge);
  auto repeated = MakeSourceInfoRequest(ParseSourceChallenge(exchange[1].Span()));
  EXPECT_EQ(exchange[2].bytes, std::vector<std::uint8_t>(repeated.begin(), repeated.end()));
  SourceInfo info = ParseSourceInfo(exchange[3].Span());
  EXPECT_EQ(info.name, "LinuxGSM");
  EXPECT_EQ(info.map, "koth_harvest_event");
  EXPECT_EQ(info.mod, "Team Fortress");
  EXPECT_EQ(info.max_players, 32);
}

TEST_F(SourceCaptureTest, PlayerReplyOfARealServer) {
  SourcePlayers players =
      ParseSourcePlayers(LoadSingleCapture("a2s_player/libssq_player_example_0.hex"));
  ASSERT_EQ(players.players.size(), 2u);
  EXPECT_EQ(players.players[0].name, "[D]---->T.N.W<----");
  EXPECT_EQ(players.players[0].score, 14);
  EXPECT_NEAR(players.players[0].duration, 514.370361, 1e-4);
  EXPECT_EQ(players.players[1].name, "Killer !!!");
  EXPECT_EQ(players.players[1].score, 5);
  EXPECT_NEAR(players.players[1].duration, 434.284454, 1e-4);
}

TEST_F(SourceCaptureTest, SplitFragmentsAreNotTakenForReplies) {
  // A split reply starts FE FF FF FF and its byte 4 is the low byte of the
  // split id, here 0x84: neither fragment is a reply of its own.
  auto fragments = LoadCapture("a2s_player/psq_csgo_split2.hex");
  ASSERT_EQ(fragments.size(), 2u);
  for (const auto& fragment : fragments) {
    EXPECT_EQ(ClassifySourceReply(fragment.Span()), SourceReplyType::kUnrecognised);
  }
  // The first fragment's payload (after the 12-byte split header) is a player
  // reply that the fragment's end cuts off: the records before the cut read
  // as the server sent them.
  SourcePlayers payload = ParseSourcePlayers(fragments[0].Span().subspan(12));
  EXPECT_EQ(payload.count, 58);
  ASSERT_GE(payload.players.size(), 2u);
  EXPECT_LT(payload.players.size(), 58u);
  EXPECT_EQ(payload.players[0].name, "Zien");
  EXPECT_EQ(static_cast<int>(payload.players[0].duration), 11538);
  EXPECT_EQ(payload.players[1].name,
            "\xEF\xBC\xA4\xEF\xBD\x8F\xEF\xBD\x86\xEF\xBD\x86\xEF\xBD\x99");
}

}  // namespace
}  // namespace morvane
