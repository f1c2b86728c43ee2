// The worker's rounds: the items of a request side by side and joined in
// address order, requests side by side, paced queries, retries, name
// lookups, and stops that cut a round short.
#include "worker_fixture.h"

#include "scan/send_pace.h"

namespace morvane::test {
namespace {

std::u16string Addresses(std::initializer_list<std::u16string> items) {
  std::u16string joined;
  for (const auto& item : items) joined += (joined.empty() ? u"" : u", ") + item;
  return joined;
}

double MillisecondsBetween(std::chrono::steady_clock::time_point a,
                           std::chrono::steady_clock::time_point b) {
  return std::chrono::duration<double, std::milli>(b - a).count();
}

// A server that answers "slow" after slow_ms, one that answers "fast" at
// once, and one that never answers.
// Each is known by its loopback address.
struct SlowFastDead {
  explicit SlowFastDead(int slow_ms)
      : slow_server([slow_ms](const Datagram&) {
          platform::SleepMilliseconds(slow_ms);
          return Response{{Bytes("OKslow")}};
        }) {}
  UdpResponder slow_server;
  UdpResponder fast_server{[](const Datagram&) { return Response{{Bytes("OKfast")}}; }};
  UdpResponder dead_server{[](const Datagram&) { return Response{}; }};
  const std::u16string slow = LoopbackAddress(slow_server.Port());
  const std::u16string fast = LoopbackAddress(fast_server.Port());
  const std::u16string dead = LoopbackAddress(dead_server.Port());
};

// Items in flight side by side answer in any order; the reply is joined in
// address order, with its delimiters, headers and player lines as if the
// items had been served in turn, and the whole takes one time-out, not the
// sum of them.
TEST_F(Worker, ConcurrentItemsAreJoinedInAddressOrder) {
  const SlowFastDead at(600);
  const std::u16string addresses =
      Addresses({at.slow, u"no-such-host.invalid", at.fast, at.dead, at.fast});
  const auto began = std::chrono::steady_clock::now();
  Ask(addresses, u"hl", 1, 1000, u"", 8, 0);
  Ask(addresses, u"hlpl", 1, 1000, u"[H]", 8, 0);
  ASSERT_TRUE(WaitForIdle());
  EXPECT_LT(MillisecondsBetween(began, std::chrono::steady_clock::now()), 2 * 1600.0)
      << "two requests, each about one time-out long";
  EXPECT_EQ(Delivered(), (std::vector<std::u16string>{
                             u"T:" + at.slow + u" is slow | " + at.fast + u" is fast | " + at.dead +
                                 u" off | " + at.fast + u" is fast",
                             u"T:[H]slow | [H]fast | " + at.dead + u" off | [H]fast"}));
}

// The worker's sends, whichever requests they belong to, leave at least
// 250 us apart and at most 64 within any 50 ms: a burst, then a pause.
TEST(SendPace, OneIn250UsAndAtMost64In50Ms) {
  SendPace pace;
  std::vector<std::int64_t> sent;
  for (int i = 0; i < 200; ++i) {
    sent.push_back(std::max<std::int64_t>(pace.NextUs(), 1'000'000));
    pace.Record(sent.back());
  }
  const struct {
    std::size_t index;
    std::int64_t at;
  } expected[] = {{0, 1'000'000},  {1, 1'000'250},   {63, 1'015'750},           {64, 1'050'000},
                  {65, 1'050'250}, {128, 1'100'000}, {199, 1'150'000 + 7 * 250}};
  for (const auto& e : expected) EXPECT_EQ(sent[e.index], e.at) << "send " << e.index;
  for (std::size_t i = 1; i < sent.size(); ++i) ASSERT_GE(sent[i] - sent[i - 1], 250);
  for (std::size_t i = 64; i < sent.size(); ++i) ASSERT_GE(sent[i] - sent[i - 64], 50'000);
}

TEST_F(Worker, RequestsSideBySideShareThePaceOfSends) {
  UdpResponder silent([](const Datagram&) { return Response{}; });
  std::u16string fifty = LoopbackAddress(silent.Port());
  for (int i = 1; i < 50; ++i) fifty += u"," + LoopbackAddress(silent.Port());
  requests_ = 2;
  Ask(fifty, u"hl", 1, 300, u"", 100, 0);
  Ask(fifty, u"hl", 1, 300, u"", 100, 0);
  ASSERT_TRUE(WaitForIdle());
  const auto times = silent.QueryTimes();
  ASSERT_EQ(times.size(), 100u);
  // A hundred sends fill a window and start the next: the last leaves about
  // 59 ms after the first (two requests each with a pace of its own would
  // send them all in 13 ms). The responder's thread may note the first query
  // late (it was asleep), never the last early: 24 ms are left for that.
  EXPECT_GE(MillisecondsBetween(times.front(), times.back()), 35.0);
}

// With Requests above 1 a short request is served beside a long one and
// answered first; inside each, the address order holds as ever. With
// Requests 1 the requests are served one after another, in queue order.
TEST_F(Worker, AShortRequestBesideALongOneKeepsEachReplysOrder) {
  const SlowFastDead at(300);
  const std::u16string long_reply =
      u"T:" + at.dead + u" off | " + at.slow + u" is slow | " + at.fast + u" is fast";
  const std::u16string short_reply = u"T:" + at.fast + u" is fast";
  for (const std::int32_t requests : {4, 1}) {
    SCOPED_TRACE(testing::Message() << "Requests " << requests);
    FakeHost::Instance().ClearCalls();
    requests_ = requests;
    Ask(Addresses({at.dead, at.slow, at.fast}), u"hl", 1, 800, u"", 2, 0);
    Ask(at.fast, u"hl", 1, 800, u"", 2, 0);
    ASSERT_TRUE(WaitForIdle());
    const std::vector<std::u16string> in_order =
        requests == 1 ? std::vector{long_reply, short_reply} : std::vector{short_reply, long_reply};
    EXPECT_EQ(Delivered(), in_order);
  }
}

// A stop ends every request in service at once, undelivered, with the
// queue emptied, however long their servers' time-outs.
TEST_F(Worker, AStopEndsEveryRequestInService) {
  UdpResponder dead([](const Datagram&) { return Response{}; });
  requests_ = 4;
  for (int i = 0; i < 3; ++i) Ask(LoopbackAddress(dead.Port()), u"hl", 1, 60000, u"", 4);
  for (int i = 0; i < 300 && dead.Queries().size() < 3; ++i) platform::SleepMilliseconds(10);
  ASSERT_EQ(dead.Queries().size(), 3u) << "three requests in service at once";
  const auto began = std::chrono::steady_clock::now();
  Stop();
  EXPECT_LT(MillisecondsBetween(began, std::chrono::steady_clock::now()), 500.0);
  EXPECT_EQ(plugin_.queue->Count(), 0);
  EXPECT_TRUE(FakeHost::Instance().CallsWithCode(50).empty());
}

// A query with no usable reply goes out again at a third and at two thirds
// of TimeOut after its step began, at most Retries times; the item still
// gives up TimeOut after its last step began. A challenge starts a new step,
// whose query is repeated in turn.
TEST_F(Worker, RetriesPerStepLeaveTheDeadlineWhereItWas) {
  const struct {
    std::int32_t retries;
    bool challenge;
    std::vector<Datagram> queries;
  } cases[] = {
      {0, false, {Bytes("Q")}},
      {1, false, {Bytes("Q"), Bytes("Q")}},
      {2, false, {Bytes("Q"), Bytes("Q"), Bytes("Q")}},
      {5, false, {Bytes("Q"), Bytes("Q"), Bytes("Q")}},  // only two fit in a time-out
      {2, true, {Bytes("Q"), Bytes("A"), Bytes("A"), Bytes("A")}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.retries << (c.challenge ? " with a challenge" : ""));
    FakeHost::Instance().ClearCalls();
    UdpResponder server([&c](const Datagram& query) {
      if (c.challenge && query == Bytes("Q")) return Response{{Bytes("CH")}};
      return Response{};
    });
    const auto began = std::chrono::steady_clock::now();
    Ask(LoopbackAddress(server.Port()), u"hl", 1, 600, u"", 1, c.retries);
    ASSERT_TRUE(WaitForIdle());
    const double took = MillisecondsBetween(began, std::chrono::steady_clock::now());
    EXPECT_EQ(server.Queries(), c.queries);
    const auto times = server.QueryTimes();
    // The responder notes each query when its thread gets to it, which under
    // Wine can be some tens of milliseconds late: the bounds allow for it.
    const std::size_t step = c.challenge ? 1 : 0;
    for (std::size_t i = step + 1; i < times.size(); ++i) {
      EXPECT_GE(MillisecondsBetween(times[step], times[i]),
                200.0 * static_cast<double>(i - step) - 50)
          << "repeat " << i - step;
    }
    EXPECT_GE(took, 590.0);
    EXPECT_LT(took, 1150.0) << "a repeat moved the deadline";
    EXPECT_EQ(Delivered(),
              std::vector<std::u16string>{u"T:" + LoopbackAddress(server.Port()) + u" off"});
  }
}

// A server's values reached the host as they came: a NUL in a name ended the
// whole message (a host record's text stops at its first NUL) and a line
// break let the server write a line of its own choosing. And a reply of any
// length went out whole.
TEST_F(Worker, ServerTextCannotForgeChatTextAndLongRepliesAreCut) {
  UdpResponder server([](const Datagram&) {
    return Response{{Bytes(std::string_view("OKA\0B\r\n<admin> [b]x", 19))}};
  });
  const std::u16string at = LoopbackAddress(server.Port());
  const std::u16string one = at + u" is AB  <admin> x";
  Ask(at + u"," + at, u"hl", 1, 300, u"", 2, 0);
  ASSERT_TRUE(WaitForIdle());
  EXPECT_EQ(Delivered(), std::vector<std::u16string>{u"T:" + one + u" | " + one});

  FakeHost::Instance().ClearCalls();
  max_reply_ = 40;
  Ask(at + u"," + at, u"hl", 1, 300, u"", 2, 0);
  ASSERT_TRUE(WaitForIdle());
  EXPECT_EQ(Delivered(), std::vector<std::u16string>{(u"T:" + one + u" | " + one).substr(0, 33) +
                                                     u"\r\n[cut]"});
}

// Names were looked up one after another before the first query, and nothing
// cut a lookup short: eight names that hung 2 s each held the worker 16 s,
// and every request behind it. Each name is now asked once per request, side
// by side, and an item's TimeOut covers its lookup.
TEST_F(Worker, NamesAreLookedUpSideBySideWithinEachItemsTimeOut) {
  UdpResponder server([](const Datagram&) { return Response{{Bytes("OKup")}}; });
  const std::u16string port = AsciiToUtf16(std::to_string(server.Port()));
  std::u16string addresses = u"up.test:" + port + u", gone.test:" + port;
  std::u16string expected = u"T:up.test:" + port + u" is up";
  for (int i = 1; i <= 8; ++i) {
    const std::u16string hangs = u"hangs" + AsciiToUtf16(std::to_string(i)) + u".test:" + port;
    addresses += u", " + hangs;
    expected += u" | " + hangs + u" off";
  }
  addresses += u", up.test:" + port;
  expected += u" | up.test:" + port + u" is up";
  const auto began = std::chrono::steady_clock::now();
  Ask(addresses, u"hl", 1, 300, u"", 64, 0);
  Ask(LoopbackAddress(server.Port()));
  ASSERT_TRUE(WaitForIdle(3000)) << "the hanging names held the worker";
  EXPECT_LT(MillisecondsBetween(began, std::chrono::steady_clock::now()), 1000.0);
  // The name that does not resolve writes nothing, as ever.
  EXPECT_EQ(Delivered(), (std::vector<std::u16string>{
                             expected, u"T:" + LoopbackAddress(server.Port()) + u" is up"}));
  const auto asked = resolver_->Asked();
  EXPECT_EQ(asked.size(), 10u) << "each distinct name once";
  EXPECT_EQ(std::count(asked.begin(), asked.end(), u"up.test"), 1);
}

TEST_F(Worker, AStopIsNeverHeldByANameLookup) {
  Ask(u"hangs.test:1", u"hl", 1, 60000);
  for (int i = 0; i < 200 && resolver_->Asked().empty(); ++i) platform::SleepMilliseconds(10);
  ASSERT_FALSE(resolver_->Asked().empty());
  const auto began = std::chrono::steady_clock::now();
  Stop();
  EXPECT_LT(MillisecondsBetween(began, std::chrono::steady_clock::now()), 500.0);
  EXPECT_FALSE(platform::SettleNameLookups()) << "the lookup outlives the stop";
  EXPECT_TRUE(FakeHost::Instance().Calls().empty());
}

// A stop that ran out of its bound while a reply callback came back late
// freed the request queued behind it while the worker copied it, and the
// host crashed. The worker copies the request under the queue lock: whether
// the late callback lets it take the next request before the stop's end, or
// the worker is held right after taking one until the stop has freed the
// queue, it reads only its own copy (run under ASan and TSan).
TEST_F(Worker, AStopThatRunsOutLeavesTheWorkerOnlyItsOwnData) {
  UdpResponder server([](const Datagram&) { return Response{{Bytes("OKx")}}; });
  for (const bool late_callback : {true, false}) {
    SCOPED_TRACE(late_callback ? "a late reply callback" : "held after taking a request");
    struct Timing {
      std::atomic<int> takes{0};
      std::atomic<bool> stopping{false};
      std::atomic<bool> stopped{false};
      std::chrono::steady_clock::time_point stop_began;
    };
    auto timing = std::make_shared<Timing>();
    auto wait_for = [](const std::atomic<bool>& flag) {
      for (int i = 0; i < 600 && !flag; ++i) platform::SleepMilliseconds(5);
    };
    plugin_.worker.SetTakeHookForTesting([timing, wait_for] {
      if (++timing->takes == 2) wait_for(timing->stopped);
    });
    // Started again, so that the worker runs the hook.
    ASSERT_EQ(Start(FakeHostMode::kDirect, u"[Main]\r\nChannels=main\r\n"), 1);
    FakeHost::Instance().SetHook([timing, wait_for, late_callback](std::int32_t code, auto&) {
      if (code != 50 || !late_callback) return;
      wait_for(timing->stopping);
      // Back in the last milliseconds of the stop's 1000 ms.
      std::this_thread::sleep_until(timing->stop_began + std::chrono::milliseconds(985));
    });
    Ask(LoopbackAddress(server.Port()));
    Ask(LoopbackAddress(server.Port()));
    if (late_callback) {
      ASSERT_TRUE(FakeHost::Instance().WaitForCalls(50, 1, 5000));
    } else {
      for (int i = 0; i < 500 && timing->takes < 2; ++i) platform::SleepMilliseconds(10);
    }
    timing->stop_began = std::chrono::steady_clock::now();
    timing->stopping = true;
    Stop();
    timing->stopped = true;
    EXPECT_LT(MillisecondsBetween(timing->stop_began, std::chrono::steady_clock::now()), 1500.0);
    EXPECT_EQ(plugin_.queue->Count(), 0);
    // The worker ends on its own, having read only its copy.
    platform::SleepMilliseconds(200);
    EXPECT_EQ(FakeHost::Instance().CallsWithCode(50).size(), 1u) << "the first reply alone";
    plugin_.worker.SetTakeHookForTesting(nullptr);
    FakeHost::Instance().Reset();
  }
}

}  // namespace
}  // namespace morvane::test
