// Real servers' replies, replayed from a loopback server to the worker with
// its real protocol handlers: what reaches the host for each kind.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <sstream>

#include "common/text.h"
#include "platform/platform.h"
#include "platform/program_support.h"
#include "support/core_fixture.h"
#include "support/fixtures.h"
#include "support/udp_responder.h"

namespace morvane::test {
namespace {

class Replay : public CoreTest {
 protected:
  void SetUp() override {
    with_worker_ = true;
    CoreTest::SetUp();
    // After the base's set-up, whose tear-down runs for a skipped test too.
    if (!FixturesPresent()) GTEST_SKIP() << "no fixtures beside the project";
    ASSERT_EQ(Start(FakeHostMode::kDirect), 1);
    FakeHost::Instance().ClearCalls();
  }

  // Asks one server and returns the delivered text (the record's last field).
  std::u16string Ask(std::uint16_t port, std::u16string_view kind, std::u16string_view format,
                     std::u16string_view pl_title = u"", std::int32_t retries = 0) {
    return AskAt(LoopbackAddress(port), kind, format, pl_title, retries);
  }
  std::u16string AskAt(std::u16string address, std::u16string_view kind, std::u16string_view format,
                       std::u16string_view pl_title = u"", std::int32_t retries = 0) {
    FakeHost::Instance().ClearCalls();
    const std::int32_t timeout = timeout_;
    AddScanItem(plugin_, kind,
                {.Addr = std::move(address),
                 .ChOrUser = u"main",
                 .OutTitle = {},
                 .Format = std::u16string(format),
                 .PlTitle = std::u16string(pl_title),
                 .OffFormat = u"%addr% offline",
                 .Delimiter = u" / ",
                 .PlDelimiter = u"; ",
                 .MsgType = 0,
                 .TimeOut = timeout,
                 .Parallel = 1,
                 .Retries = retries,
                 .MaxPlayers = max_players_,
                 .PlMoreFormat = u"+%plmore%",
                 .PlHiddenText = u"hidden",
                 .AnsiValues = ansi_values_});
    if (!FakeHost::Instance().WaitForCalls(50, 1, 10000)) return u"(nothing delivered)";
    auto calls = FakeHost::Instance().CallsWithCode(50);
    return DecodeRecord(calls.at(0).record, "tit").back();
  }

  std::int32_t max_players_ = 0;
  bool ansi_values_ = false;
  std::int32_t timeout_ = 400;
};

Response Reply(const std::vector<std::uint8_t>& bytes) { return Response{{bytes}}; }

TEST_F(Replay, SourceInfoWithACyrillicName) {
  auto reply = LoadSingleCapture("a2s_info/psq_gmod_cyrillic.hex");
  UdpResponder server([&](const Datagram&) { return Reply(reply); });
  // The default ANSI code page (1251) holds Cyrillic.
  EXPECT_EQ(Ask(server.Port(), u"hl", u"%name%|%map%|%mod%|%pl%/%plmax%|%pass%"),
            u"Город Инноваций | Русский DarkRP|rp_bangclaw|DarkRP|33/40|");
}

TEST_F(Replay, GoldSrcOldFormInfo) {
  auto reply = LoadSingleCapture("a2s_info/psq_svencoop_nonsteam.hex");
  UdpResponder server([&](const Datagram&) { return Reply(reply); });
  std::u16string text = Ask(server.Port(), u"hl", u"%name%|%map%|%pl%/%plmax%");
  EXPECT_NE(text.find(u"|"), std::u16string::npos) << Utf16ToUtf8(text);
  EXPECT_EQ(text.find(u"offline"), std::u16string::npos) << Utf16ToUtf8(text);
}

TEST_F(Replay, CurrentServersChallengeTheInfoRequest) {
  // The capture: T -> challenge -> T with the challenge appended -> info.
  auto exchange = LoadCapture("a2s_challenge/sqc_issue20_tf2_exchange.hex");
  ASSERT_EQ(exchange.size(), 4u);
  UdpResponder server([&](const Datagram& query) {
    if (query == exchange[0].bytes) return Reply(exchange[1].bytes);
    if (query == exchange[2].bytes) return Reply(exchange[3].bytes);
    return Response{};
  });
  EXPECT_EQ(Ask(server.Port(), u"hl", u"%name% on %map%"), u"LinuxGSM on koth_harvest_event");
  auto queries = server.Queries();
  ASSERT_EQ(queries.size(), 2u);
  EXPECT_EQ(queries[1], exchange[2].bytes) << "the info request again, 29 bytes with the challenge";
}

TEST_F(Replay, SourcePlayersAfterAChallenge) {
  auto challenge = LoadSingleCapture("a2s_challenge/libssq_chall_example_0.hex");
  auto players = LoadSingleCapture("a2s_player/libssq_player_example_0.hex");
  UdpResponder server([&](const Datagram& query) {
    const Datagram first = {0xFF, 0xFF, 0xFF, 0xFF, 0x55, 0xFF, 0xFF, 0xFF, 0xFF};
    return Reply(query == first ? challenge : players);
  });
  EXPECT_EQ(Ask(server.Port(), u"hlpl", u"%plname% %plscore% %pltime%", u"[%pl%] "),
            u"[2] [D]---->T.N.W<---- 14 00:08.34; Killer !!! 5 00:07.14");
  auto queries = server.Queries();
  ASSERT_EQ(queries.size(), 2u);
  std::vector<std::uint8_t> with_challenge = {0xFF, 0xFF, 0xFF, 0xFF, 0x55};
  with_challenge.insert(with_challenge.end(), challenge.begin() + 5, challenge.begin() + 9);
  EXPECT_EQ(queries[1], with_challenge);
}

// A busy server's player reply passes one datagram and comes in pieces: it
// was not put back together, so "hlpl" to any busy server gave the offline
// text. The real pieces, last first and one twice, give all 58 players.
TEST_F(Replay, ASplitPlayerReplyIsPutBackTogether) {
  auto fragments = LoadCapture("a2s_player/psq_csgo_split2.hex");
  ASSERT_EQ(fragments.size(), 2u);
  UdpResponder server([&](const Datagram&) {
    return Response{{fragments[1].bytes, fragments[1].bytes, fragments[0].bytes}};
  });
  const std::u16string players = Ask(server.Port(), u"hlpl", u"%plname%", u"[%pl%] ");
  EXPECT_EQ(players.substr(0, 11), u"[58] Zien; ") << Utf16ToUtf8(players);
  EXPECT_EQ(std::count(players.begin(), players.end(), u';'), 57);
}

// Pieces were forgotten when the query went out again, so a piece that came
// late, after the repeat, never completed its reply: here the first query
// gets piece 1 alone, and the repeat piece 0.
TEST_F(Replay, ASplitReplyJoinsAcrossARepeatOfTheQuery) {
  auto fragments = LoadCapture("a2s_player/psq_csgo_split2.hex");
  ASSERT_EQ(fragments.size(), 2u);
  int answered = 0;  // only the responder's thread counts
  UdpResponder server(
      [&](const Datagram&) { return Reply(fragments[answered++ == 0 ? 1 : 0].bytes); });
  const std::u16string players = Ask(server.Port(), u"hlpl", u"%plname%", u"[%pl%] ", 1);
  EXPECT_EQ(players.substr(0, 11), u"[58] Zien; ") << Utf16ToUtf8(players);
}

TEST_F(Replay, Quake3SummaryAndPlayers) {
  auto reply =
      LoadSingleCapture("q3_status/pyq3sl_server__parses_response_packet_with_players.hex");
  UdpResponder server([&](const Datagram&) { return Reply(reply); });
  EXPECT_EQ(Ask(server.Port(), u"cod", u"%name%|%map%|%mod%|%pl%/%plmax%|%pass%"),
            u"Thunder CTF|q3ctf1|baseq3|14/32|");
  std::u16string players = Ask(server.Port(), u"codpl", u"%plname%:%plscore%:%pltime%", u"(%pl%)");
  EXPECT_EQ(players.substr(0, 13), u"(14)Fo:0:64; ") << Utf16ToUtf8(players);
}

TEST_F(Replay, SampInfoAndPlayers) {
  auto info = LoadSingleCapture("samp/mick88_convoytrucking_i.hex");
  auto detail = LoadSingleCapture("samp/mick88_convoytrucking_d.hex");
  UdpResponder server([&](const Datagram& query) {
    return Reply(query.size() == 11 && query[10] == 'd' ? detail : info);
  });
  EXPECT_EQ(Ask(server.Port(), u"sa", u"%name%|%mod%|%map%|%pl%/%plmax%|%pass%"),
            u"Convoy Trucking|Convoy Trucking 3.4.4|English|12/100|");
  std::u16string players = Ask(server.Port(), u"sapl", u"%plname%", u"%pl%: ", 2);
  EXPECT_EQ(players.substr(0, 4), u"12: ") << Utf16ToUtf8(players);
  EXPECT_EQ(std::count(players.begin(), players.end(), u';'), 11);
  EXPECT_EQ(server.Queries().back()[10], 'd') << "a server that answers \"d\" is asked no more";
}

// open.mp answers the information query as SA-MP does but never the detailed
// player list, so "sapl" showed a live open.mp server as offline. Once "d"
// has had no answer, the repeats ask for the client list: names and scores.
TEST_F(Replay, OpenMpPlayersComeFromTheClientList) {
  auto clients = LoadSingleCapture("samp/mick88_convoytrucking_c.hex");
  UdpResponder openmp([&](const Datagram& query) {
    return query.size() == 11 && query[10] == 'c' ? Reply(clients) : Response{};
  });
  const std::u16string players =
      Ask(openmp.Port(), u"sapl", u"%plname% %plscore% [%pltime%]", u"%pl%: ", 2);
  EXPECT_EQ(players.substr(0, 28), u"12: pedr$$Nn157 18271 []; Su") << Utf16ToUtf8(players);
  EXPECT_EQ(std::count(players.begin(), players.end(), u';'), 11);
  const auto queries = openmp.Queries();
  ASSERT_GE(queries.size(), 2u);
  EXPECT_EQ(queries[0][10], 'd');
  EXPECT_EQ(queries[1][10], 'c');
  // Without repeats there is no second query: offline, as ever.
  EXPECT_EQ(Ask(openmp.Port(), u"sapl", u"%plname%"), LoopbackAddress(openmp.Port()) + u" offline");
}

// A player list went out whole, however long: one "/gs codpl" of 32 busy
// servers made 418,977 lines. Each kind now stops at MaxPlayers lines, and
// one more says how many were left out.
TEST_F(Replay, PlayerListsStopAtMaxPlayers) {
  const auto source = LoadCapture("a2s_player/psq_csgo_split2.hex");
  const auto quake3 =
      LoadSingleCapture("q3_status/pyq3sl_server__parses_response_packet_with_players.hex");
  const auto samp = LoadSingleCapture("samp/mick88_convoytrucking_d.hex");
  const struct {
    const char16_t* kind;
    Response reply;
    const char16_t* format;
    const char16_t* players;
  } cases[] = {
      // Scores, since most of these names are in scripts no code page holds.
      {u"hlpl", Response{{source[0].bytes, source[1].bytes}}, u"%plscore%", u"[58] 0; 0; 0; +55"},
      {u"codpl", Reply(quake3), u"%plname%", u"[14] Fo; MonyMakr; WitDvil; +11"},
      {u"sapl", Reply(samp), u"%plname%", u"[12] pedr$$Nn157; SuBa; Chocolate; +9"},
  };
  max_players_ = 3;
  for (const auto& c : cases) {
    UdpResponder server([&c](const Datagram&) { return c.reply; });
    EXPECT_EQ(Ask(server.Port(), c.kind, c.format, u"[%pl%] "), c.players);
  }
}

// Today's Source servers: Rust counts past 255 in its keywords, Rust and CS2
// name none of their players, and names in any script reach the chat whole
// unless AnsiValues asks for the code page (1251 here).
TEST_F(Replay, TodaysSourceServers) {
  const struct {
    const char* capture;
    const char16_t* kind;
    bool ansi;
    const char16_t* format;
    std::u16string expected;
  } cases[] = {
      {"a2s_info/gameq_rust_3_cp547_mp575.hex", u"hl", false, u"%pl%/%plmax%", u"547/575"},
      {"a2s_player/gameq_rust_1_player_94_empty_names.hex", u"hlpl", false, u"%plname%",
       u"[94] hidden"},
      {"a2s_info/libssq_info_tf2.hex", u"hl", false, u"%mod%", u"██ Skial ██"},
      {"a2s_info/libssq_info_tf2.hex", u"hl", true, u"%mod%", u"?? Skial ??"},
      {"a2s_info/psq_gmod_cyrillic.hex", u"hl", true, u"%map%|%mod%", u"rp_bangclaw|DarkRP"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.capture);
    const auto reply = LoadSingleCapture(c.capture);
    UdpResponder server([&reply](const Datagram&) { return Reply(reply); });
    ansi_values_ = c.ansi;
    EXPECT_EQ(Ask(server.Port(), c.kind, c.format, u"[%pl%] "), c.expected);
  }
  ansi_values_ = false;
  // Three empty names among 25 others are listed as they come.
  const auto csgo = LoadSingleCapture("a2s_player/gameq_csgo_2_player_utf8_names.hex");
  UdpResponder server([&csgo](const Datagram&) { return Reply(csgo); });
  const std::u16string players = Ask(server.Port(), u"hlpl", u"%plname%", u"[%pl%] ");
  EXPECT_NE(players.find(u"; ☜☆☞ Zooopey ☜☆☞; "), std::u16string::npos) << Utf16ToUtf8(players);
  EXPECT_NE(players.find(u"; 丸てい; "), std::u16string::npos);
  EXPECT_TRUE(players.ends_with(u"; rufi0; Loea; ; sw1tch; ")) << Utf16ToUtf8(players);
}

// MTA:SA answers on the game port plus 123, and the address names the game
// port. Real replies: a UTF-8 name, empty scores, rules before the records.
TEST_F(Replay, MtaServers) {
  const auto spanish = LoadSingleCapture("mta/gameq_mta_1_sx_cnr_spanish.hex");
  const auto owl = LoadSingleCapture("mta/gameq_mta_2_owlgaming_rules.hex");
  const struct {
    const char16_t* kind;
    const Datagram& reply;
    const char16_t* format;
    const char16_t* expected;
  } cases[] = {
      {u"mta", spanish, u"%name%|%map%|%mod%|%pl%/%plmax%|%pass%",
       u"SX - CnR/DM/RP [proyectosx.net] [Español] [Trabajos|Gangs|Turf|Casas|Criminales vs "
       u"Policias]|SX|SX CnR/DM/RP|203/512|"},
      {u"mtapl", spanish, u"%plname% [%plscore%] %pltime%",
       u"[203] Laucha [] 154; |XS|Skrim [] 231; DeNix [] 273; +200"},
      {u"mtapl", owl, u"%plname% [%plscore%] %pltime%",
       u"[122] Douglas_Schrader [442] 60; Elroy_Robinson [206] 128; Jonah_Russo [252] 147; +119"},
  };
  max_players_ = 3;
  for (const auto& c : cases) {
    UdpResponder server([&c](const Datagram& query) {
      return query == Datagram{'s'} ? Reply(c.reply) : Response{};
    });
    EXPECT_EQ(Ask(static_cast<std::uint16_t>(server.Port() - 123), c.kind, c.format, u"[%pl%] "),
              c.expected);
  }
}

std::vector<Datagram> Reads(const std::string& capture) {
  std::vector<Datagram> reads;
  for (const auto& read : LoadCapture(capture)) reads.push_back(read.bytes);
  return reads;
}

// Real Minecraft servers: Java status replies in the TCP reads they came in
// (a 15 KB favicon, a chat-component description, a sample of text lines
// while nobody plays), a server that answers only the legacy ping, and
// Bedrock pongs, whose time the replay answers with the ping's own.
TEST_F(Replay, MinecraftServers) {
  const auto legacy = LoadSingleCapture("minecraft_java/mcstatus_legacy_1_4_2_kick.hex");
  const struct {
    const char16_t* kind;
    std::vector<Datagram> reads;  // the Java reply, or the Bedrock pong
    bool legacy_only;             // closes on anything but the legacy ping
    std::int32_t retries;
    const char16_t* format;
    std::u16string expected;
  } cases[] = {
      {u"mc", Reads("minecraft_java/gamedig_hypixel_status_3reads.hex"), false, 0,
       u"%name%|%map%|%pl%/%plmax%|%mod%|%pass%",
       u"Hypixel Network [1.8/1.21] SB 0.24.1 - BONUS COINS + XP|Requires MC 1.8 / 1.21|"
       u"26307/200000|Minecraft|"},
      {u"mcpl", Reads("minecraft_java/gamedig_hypixel_status_3reads.hex"), false, 0, u"%plname%",
       u"[26307] hidden"},
      {u"mc", Reads("minecraft_java/gamedig_sopelmc_status_3reads.hex"), false, 0,
       u"%name%|%map%|%pl%/%plmax%",
       u"SOPELMC.PL > dc.sopelmc.pl [1.16.4-1.21.x] Start serwera Survival bez P2W w lutym!|"
       u"Uzyj wersji od 1.16.4-1.21.x|0/100"},
      {u"mcpl", Reads("minecraft_java/gamedig_sopelmc_status_3reads.hex"), false, 0, u"%plname%",
       u"[0] Нет игроков"},
      {u"mc", Reads("minecraft_java/mcstatus_vanilla_1_8_pre1_status.hex"), false, 0,
       u"%name%|%map%|%pl%/%plmax%", u"A Minecraft Server|1.8-pre1|0/20"},
      {u"mc", {legacy}, true, 2, u"%name%|%map%|%pl%/%plmax%", u"A Minecraft Server|1.4.2|0/20"},
      {u"mc", {legacy}, true, 0, u"%name%", u"%a offline"},
      // Cut short by the server's close: no answer, and no repeat to ask again.
      {u"mc",
       {Reads("minecraft_java/gamedig_hypixel_status_3reads.hex").at(0)},
       false,
       0,
       u"%name%",
       u"%a offline"},
      {u"mcbe", Reads("minecraft_bedrock/gameq_minecraftbe_2_pikanetwork.hex"), false, 0,
       u"%name%|%map%|%pl%/%plmax%|%mod%",
       u"✪ PikaNetwork ➟ 1.8 - 1.19 ✪|❤ LIFESTEAL release | OPFACTIONS reset ❤|1021/6500|1.19.21"},
      {u"mcbe", Reads("minecraft_bedrock/gameq_minecraftbe_3_bridges_duels.hex"), false, 0,
       u"%map%|%pl%/%plmax%|%mod%", u"C|18605/55000|1"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.expected));
    std::u16string got;
    if (std::u16string_view(c.kind) == u"mcbe") {
      UdpResponder server([&c](const Datagram& ping) {
        Datagram pong = c.reads.at(0);
        std::copy(ping.begin() + 1, ping.begin() + 9, pong.begin() + 1);
        return Reply(pong);
      });
      got = Ask(server.Port(), c.kind, c.format, u"[%pl%] ", c.retries);
    } else {
      StreamResponder server([&c](const Datagram& query) {
        if (c.legacy_only && query.at(0) != 0xFE) return Response{};
        return Response{c.reads, false, 20};
      });
      got = Ask(server.Port(), c.kind, c.format, u"[%pl%] ", c.retries);
      if (got.ends_with(u" offline")) got = u"%a offline";
    }
    EXPECT_EQ(got, c.expected);
  }
}

// An address without a port names a Java server by its host's service
// record: the plug-in connects where the record points, and the handshake
// carries the name as the user typed it, which proxies route by.
TEST_F(Replay, MinecraftAddressWithoutAPortFollowsTheServiceRecord) {
  const auto reply = Reads("minecraft_java/mcstatus_vanilla_1_8_pre1_status.hex");
  StreamResponder server([&reply](const Datagram&) { return Response{reply}; });
  const std::uint16_t port = server.Port();
  platform::SetServiceResolverForTesting(
      [port](std::u16string_view name) -> std::optional<platform::ServiceRecord> {
        if (name != u"_minecraft._tcp.play.example.test") return std::nullopt;
        return platform::ServiceRecord{u"node7.example.test", port};
      });
  platform::SetNameResolverForTesting([](std::u16string_view host) -> std::string {
    return host == u"node7.example.test" ? "127.0.0.1" : "";
  });
  EXPECT_EQ(AskAt(u"play.example.test", u"mc", u"%name% %pl%/%plmax%"), u"A Minecraft Server 0/20");
  ASSERT_EQ(server.Queries().size(), 1u);
  const Datagram handshake = server.Queries()[0];
  const std::string host = "play.example.test";
  EXPECT_NE(std::search(handshake.begin(), handshake.end(), host.begin(), host.end()),
            handshake.end());
  for (int i = 0; i < 200 && !platform::SettleNameLookups(); ++i) platform::SleepMilliseconds(10);
  platform::SetServiceResolverForTesting(nullptr);
  platform::SetNameResolverForTesting(nullptr);
}

// A FiveM getinfo reply answers the query's own challenge (the captures
// echo "xxx"): FF FF FF FF "getinfo " is 12 bytes, the challenge follows.
Datagram EchoChallenge(const Datagram& reply, const Datagram& query) {
  std::string text(reply.begin(), reply.end());
  const std::size_t at = text.find("\\challenge\\xxx") + 11;
  text.replace(at, 3, std::string(query.begin() + 12, query.end()));
  return Bytes(text);
}

std::string HttpReplyWith(std::string_view status, std::string_view body) {
  return "HTTP/1.1 " + std::string(status) + "\r\nContent-Length: " + std::to_string(body.size()) +
         "\r\nConnection: close\r\n\r\n" + std::string(body);
}

TEST_F(Replay, FivemServers) {
  const struct {
    const char* capture;
    const char16_t* expected;
  } cases[] = {
      {"fivem/gameq_gta5m_1_inforesponse.hex",
       u"State of Union RP | State Wide RP | Civilian Jobs | ServerHostedMenu | Robbery's! | Now "
       u"Hiring!|fivem-map-skater|Freeroam|4/30|"},
      {"fivem/gameq_gta5m_2_inforesponse.hex",
       u"LIGHT 'EM UP ROLEPLAY|fivem-map-skater|Freeroam|0/30|"},
      {"fivem/gameq_gta5m_3_inforesponse.hex",
       u"San Andreas County RP | Grand Opening Now Hiring | "
       u"sasrpcommunity.enjin.com|fivem-map-skater|"
       u"Freeroam|0/30|"}};
  for (const auto& c : cases) {
    const auto reply = LoadSingleCapture(c.capture);
    UdpResponder server(
        [&reply](const Datagram& query) { return Reply(EchoChallenge(reply, query)); });
    EXPECT_EQ(Ask(server.Port(), u"fivem", u"%name%|%map%|%mod%|%pl%/%plmax%|%pass%"), c.expected);
    // The reply as captured echoes another client's challenge: not taken.
    UdpResponder blind([&reply](const Datagram&) { return Reply(reply); });
    EXPECT_EQ(Ask(blind.Port(), u"fivem", u"%name%"), LoopbackAddress(blind.Port()) + u" offline");
  }
}

// The player list comes from players.json over HTTP, the count from getinfo
// sent beside it; either may fail alone.
TEST_F(Replay, FivemPlayerLists) {
  const auto busy = LoadSingleCapture("fivem/gameq_gta5m_1_inforesponse.hex");   // 4 clients
  const auto empty = LoadSingleCapture("fivem/gameq_gta5m_2_inforesponse.hex");  // 0 clients
  std::ifstream file(FixturesDir() + "/fivem/opengsq_lostcityrp_players.json");
  const std::string players = (std::stringstream() << file.rdbuf()).str();
  const std::u16string lines =
      u"rossowsean 72; Toni. M 30; Caro18 46; Ne551 30; HaCoMu 33; MikeS 22; Nice 32";
  const std::string chunked = "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n";
  const struct {
    const Datagram* info;           // none: getinfo goes unanswered
    std::vector<std::string> http;  // the reply's writes; none: nothing listens
    std::int32_t hold_ms;           // the connection stays open this long after them
    std::u16string expected;
  } cases[] = {
      {&busy, {HttpReplyWith("200 OK", players)}, 0, u"[4] " + lines},
      {&busy,
       {chunked + "5\r\n[{\"na\r\n", "15\r\nme\":\"Ann\",\"ping\":35}]\r\n0\r\n\r\n"},
       0,
       u"[4] Ann 35"},
      {&busy, {HttpReplyWith("403 Forbidden", "no")}, 0, u"[4] hidden"},
      {&busy, {HttpReplyWith("200 OK", "[]")}, 0, u"[4] hidden"},
      {&empty, {HttpReplyWith("200 OK", "[]")}, 0, u"[0] Нет игроков"},
      {&busy, {}, 0, u"[4] hidden"},  // refused
      {&busy,
       {"HTTP/1.1 200 OK\r\nContent-Length: 90\r\n\r\n[{"},
       900,
       u"[4] hidden"},  // never ends
      {nullptr, {HttpReplyWith("200 OK", players)}, 0, u"[7] " + lines},
      {nullptr, {HttpReplyWith("403 Forbidden", "")}, 0, u"offline"},
      {nullptr, {}, 0, u"offline"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.expected));
    // The HTTP side listens on the UDP side's port number, which another
    // program's connection may hold over TCP: then both try another.
    std::optional<UdpResponder> udp;
    std::optional<StreamResponder> tcp;
    for (int attempt = 0; attempt < 5 && (!udp || (tcp && tcp->Port() != udp->Port())); ++attempt) {
      tcp.reset();
      udp.emplace([&c](const Datagram& query) {
        return c.info ? Reply(EchoChallenge(*c.info, query)) : Response{};
      });
      if (c.http.empty()) break;
      tcp.emplace(
          [&c](const Datagram&) {
            std::vector<Datagram> writes;
            for (const auto& piece : c.http) writes.push_back(Bytes(piece));
            // The pause after each write holds the connection open.
            return Response{writes, false, c.hold_ms > 0 ? c.hold_ms : 20};
          },
          udp->Port());
    }
    ASSERT_TRUE(!tcp || tcp->Port() == udp->Port()) << "no port free for both";
    std::u16string got = Ask(udp->Port(), u"fivempl", u"%plname% %pltime%%plscore%", u"[%pl%] ");
    if (got.ends_with(u" offline")) got = u"offline";
    EXPECT_EQ(got, c.expected);
    if (tcp) {
      ASSERT_FALSE(tcp->Queries().empty()) << "no GET arrived";
      const Datagram query = tcp->Queries().front();
      const std::string get(query.begin(), query.end());
      EXPECT_TRUE(get.starts_with(
          "GET /players.json HTTP/1.1\r\nHost: 127.0.0.1:" + std::to_string(udp->Port()) + "\r\n"))
          << get;
      EXPECT_NE(get.find("\r\nConnection: close\r\n"), std::string::npos);
    }
  }
}

// FiveM servers drop getinfo queries beyond about two a second from one
// address: three items naming one server, each with its repeats, never send
// it a third within a second.
TEST_F(Replay, FivemGetinfoKeepsThePacePerAddress) {
  UdpResponder silent([](const Datagram&) { return Response{}; });
  const std::u16string address = LoopbackAddress(silent.Port());
  timeout_ = 700;
  AskAt(address + u"," + address + u"," + address, u"fivem", u"%name%", u"", 2);
  const auto times = silent.QueryTimes();
  ASSERT_GE(times.size(), 4u);
  for (std::size_t i = 2; i < times.size(); ++i) {
    // Loopback delivery may bunch two arrivals by a little.
    EXPECT_GE(times[i] - times[i - 2], std::chrono::milliseconds(980)) << i;
  }
}

}  // namespace
}  // namespace morvane::test
