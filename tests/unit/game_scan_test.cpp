// The worker's query frame, driven through the queue with a handler of the
// test's own against loopback servers: acceptance, offline text, deadlines,
// draining, delivery and stopping.
#include "worker_fixture.h"

namespace morvane::test {
namespace {

TEST_F(Worker, OfflineThenSummaryJoinedInOneMessage) {
  UdpResponder silent([](const Datagram&) { return Response{}; });
  UdpResponder server([](const Datagram&) { return Response{{Bytes("OKArena")}}; });
  Ask(LoopbackAddress(silent.Port()) + u" , " + LoopbackAddress(server.Port()));
  ASSERT_TRUE(WaitForIdle());
  auto calls = FakeHost::Instance().CallsWithCode(50);
  ASSERT_EQ(calls.size(), 1u);
  auto fields = DecodeRecord(calls[0].record, "tit");
  EXPECT_EQ(fields[0], u"main");
  EXPECT_EQ(fields[1], u"1") << "MsgType 1 sets the type flag";
  EXPECT_EQ(fields[2], u"T:" + LoopbackAddress(silent.Port()) + u" off | " +
                           LoopbackAddress(server.Port()) + u" is Arena");
  EXPECT_EQ(server.Queries(), std::vector<Datagram>{Bytes("Q")});
}

TEST_F(Worker, AReplyFromAnotherPortOfTheTargetIsIgnored) {
  UdpResponder server([](const Datagram&) { return Response{{Bytes("OKx")}, true}; });
  Ask(LoopbackAddress(server.Port()));
  ASSERT_TRUE(WaitForIdle());
  EXPECT_EQ(Delivered(),
            std::vector<std::u16string>{u"T:" + LoopbackAddress(server.Port()) + u" off"});
  EXPECT_EQ(seen_.load(), 0) << "the handler never saw it";
}

TEST_F(Worker, UnresolvableItemsWriteNothingButStillCount) {
  UdpResponder server([](const Datagram&) { return Response{{Bytes("OKBob")}}; });
  Ask(u"no-such-host.invalid, " + LoopbackAddress(server.Port()), u"hlpl", 2, 300, u"[H]");
  ASSERT_TRUE(WaitForIdle());
  // The second item's header gets the delimiter although nothing came before.
  EXPECT_EQ(Delivered(70), std::vector<std::u16string>{u"T: | [H]Bob"});
}

TEST_F(Worker, EmptyOutputAndUndeliverableModesSendNothingButLeaveTheQueue) {
  UdpResponder server([](const Datagram&) { return Response{{Bytes("OKx")}}; });
  Ask(u"no-such-host.invalid,,");
  Ask(LoopbackAddress(server.Port()), u"hl", 4);
  Ask(LoopbackAddress(server.Port()), u"hl", -1);
  ASSERT_TRUE(WaitForIdle());
  EXPECT_TRUE(FakeHost::Instance().Calls().empty());
  Ask(LoopbackAddress(server.Port()), u"hl", 3);
  Ask(LoopbackAddress(server.Port()), u"hl", 0);
  ASSERT_TRUE(WaitForIdle());
  ASSERT_EQ(FakeHost::Instance().CallsWithCode(61).size(), 1u);
  EXPECT_EQ(DecodeRecord(FakeHost::Instance().CallsWithCode(50).at(0).record, "tit")[1], u"0");
}

// The faults mended here: every ignored datagram used to restart the receive
// time-out, and the drain ran for as long as datagrams kept coming, so a
// server streaming junk held the worker and every later request for ever.
TEST_F(Worker, JunkStreamsAndFloodsCannotHoldTheWorker) {
  // Ten seconds of junk, one datagram every 50 ms, against a time-out of 300.
  UdpResponder junk([](const Datagram&) {
    Response response;
    response.datagrams.assign(200, Bytes("junk"));
    response.pause_ms = 50;
    return response;
  });
  auto flooding = [](const Datagram&) {
    Response response{{Bytes("OKflood")}};
    for (int i = 0; i < 500; ++i) response.datagrams.push_back(Bytes("more"));
    return response;
  };
  UdpResponder flood(flooding);
  UdpResponder flood_too(flooding);
  Ask(LoopbackAddress(junk.Port()));
  Ask(LoopbackAddress(flood.Port()));
  // Two floods in flight side by side: each item drains at most its own 32.
  Ask(LoopbackAddress(flood.Port()) + u"," + LoopbackAddress(flood_too.Port()), u"hl", 1, 300, u"",
      2, 2);
  ASSERT_TRUE(WaitForIdle(5000)) << "a junk stream held the worker";
  auto texts = Delivered();
  ASSERT_EQ(texts.size(), 3u);
  EXPECT_EQ(texts[0], u"T:" + LoopbackAddress(junk.Port()) + u" off");
  EXPECT_EQ(texts[1], u"T:" + LoopbackAddress(flood.Port()) + u" is flood");
  EXPECT_EQ(texts[2], u"T:" + LoopbackAddress(flood.Port()) + u" is flood | " +
                          LoopbackAddress(flood_too.Port()) + u" is flood");
}

TEST_F(Worker, AChallengeIsAnsweredAtMostTwiceAnItem) {
  UdpResponder server([](const Datagram&) { return Response{{Bytes("CH")}}; });
  Ask(LoopbackAddress(server.Port()));
  ASSERT_TRUE(WaitForIdle());
  EXPECT_EQ(server.Queries(), (std::vector<Datagram>{Bytes("Q"), Bytes("A"), Bytes("A")}));
  EXPECT_EQ(Delivered().size(), 1u);

  UdpResponder once(
      [](const Datagram& q) { return Response{{Bytes(q == Bytes("Q") ? "CH" : "OKok")}}; });
  Ask(LoopbackAddress(once.Port()));
  ASSERT_TRUE(WaitForIdle());
  EXPECT_EQ(Delivered().back(), u"T:" + LoopbackAddress(once.Port()) + u" is ok");
}

TEST_F(Worker, TimeOutZeroWaitsWithoutLimitForTheReply) {
  std::atomic<bool> answer{false};
  UdpResponder late([&](const Datagram&) {
    // Answers after a pause longer than any default time-out.
    platform::SleepMilliseconds(1500);
    return Response{{Bytes("OKlate")}};
  });
  Ask(LoopbackAddress(late.Port()), u"hl", 1, 0);
  ASSERT_TRUE(WaitForIdle());
  EXPECT_EQ(Delivered(),
            std::vector<std::u16string>{u"T:" + LoopbackAddress(late.Port()) + u" is late"});
}

TEST_F(Worker, TcpProbeOnlineAndOffline) {
  platform::Socket listener = platform::OpenLoopbackServer(platform::SocketType::kTcp, 0);
  const auto open_port = platform::LocalPort(listener);
  // A port that was just free: nothing listens there.
  platform::Socket probe = platform::OpenLoopbackServer(platform::SocketType::kTcp, 0);
  const auto closed_port = platform::LocalPort(probe);
  platform::CloseSocket(probe);
  AddScanItem(plugin_, u"tcp",
              {.Addr = LoopbackAddress(open_port) + u"," + LoopbackAddress(closed_port),
               .ChOrUser = u"main",
               .OutTitle = {},
               .Format = u"%addr% up %name%",
               .PlTitle = {},
               .OffFormat = u"%addr% down",
               .Delimiter = u" | ",
               .PlDelimiter = {},
               .MsgType = 1,
               .TimeOut = 300});
  ASSERT_TRUE(WaitForIdle());
  EXPECT_EQ(Delivered(), std::vector<std::u16string>{LoopbackAddress(open_port) + u" up %name% | " +
                                                     LoopbackAddress(closed_port) + u" down"});
  platform::CloseSocket(listener);
}

TEST_F(Worker, StopCutsARequestShortAndNothingIsDeliveredAfterIt) {
  UdpResponder silent([](const Datagram&) { return Response{}; });
  std::u16string ten = LoopbackAddress(silent.Port());
  for (int i = 1; i < 10; ++i) ten += u"," + LoopbackAddress(silent.Port());
  Ask(ten, u"hl", 1, 60000, u"", 10, 2);
  Ask(LoopbackAddress(silent.Port()), u"hl", 1, 60000);
  // Let the worker get into its wait, then stop.
  for (int i = 0; i < 200 && silent.Queries().empty(); ++i) platform::SleepMilliseconds(10);
  Stop();
  EXPECT_EQ(plugin_.queue->Count(), 0);
  platform::SleepMilliseconds(200);
  EXPECT_TRUE(FakeHost::Instance().Calls().empty());
}

}  // namespace
}  // namespace morvane::test
