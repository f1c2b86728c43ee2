// The worker's query frame, driven through the queue with a handler of the
// test's own against loopback servers: acceptance, offline text, deadlines,
// draining, delivery and stopping.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <mutex>
#include <optional>
#include <thread>

#include "common/text.h"
#include "platform/program_support.h"
#include "plugin/lifecycle.h"
#include "scan/game_scan.h"
#include "support/core_fixture.h"
#include "support/udp_responder.h"

namespace morvane::test {
namespace {

// Takes datagrams that start with "OK" (the rest is the server name), asks
// again for "CH", ignores everything else. For player kinds it writes one line.
class TestHandler final : public ReplyHandler {
 public:
  explicit TestHandler(std::atomic<int>* datagrams_seen) : seen_(datagrams_seen) {}
  std::span<const std::uint8_t> FirstQuery(const ScanRequest&) override { return kQuery; }
  std::span<const std::uint8_t> NextQuery() override { return kAgain; }
  Verdict OnDatagram(std::span<const std::uint8_t> datagram, AddressItem& item) override {
    ++*seen_;
    std::string text(datagram.begin(), datagram.end());
    if (text.rfind("CH", 0) == 0) return Verdict::kQueryAgain;
    if (text.rfind("OK", 0) != 0) return Verdict::kIgnored;
    item.values.name = text.substr(2);
    if (item.request.Players) {
      if (!item.request.PlTitle.empty()) item.output.AppendHeader(item.index, item.request.PlTitle);
      item.output.AppendPlayerLine(AsciiToUtf16(text.substr(2)), true);
    }
    return Verdict::kAnswered;
  }

 private:
  static constexpr std::uint8_t kQuery[] = {'Q'};
  static constexpr std::uint8_t kAgain[] = {'A'};
  std::atomic<int>* seen_;
};

// A resolver of the test's own, in place of the system's while it lives, so
// that no test waits on the machine's DNS: it notes every name it is asked,
// answers "up.test" with loopback, holds a name that starts with "hangs"
// until released (at most 3 s), and answers every other name with nothing at
// once. Its end releases them and waits for their threads.
class TestResolver {
 public:
  TestResolver() {
    platform::SetNameResolverForTesting([state = state_](std::u16string_view host) -> std::string {
      {
        std::lock_guard lock(state->lock);
        state->asked.emplace_back(host);
      }
      if (host == u"up.test") return "127.0.0.1";
      if (!host.starts_with(u"hangs")) return "";
      for (int i = 0; i < 600 && !state->released; ++i) platform::SleepMilliseconds(5);
      return "127.0.0.1";
    });
  }
  ~TestResolver() {
    state_->released = true;
    for (int i = 0; i < 400 && !platform::SettleNameLookups(); ++i) platform::SleepMilliseconds(10);
    platform::SetNameResolverForTesting(nullptr);
  }
  std::vector<std::u16string> Asked() const {
    std::lock_guard lock(state_->lock);
    return state_->asked;
  }

 private:
  struct State {
    std::mutex lock;  // Guards asked.
    std::vector<std::u16string> asked;
    std::atomic<bool> released{false};
  };
  std::shared_ptr<State> state_ = std::make_shared<State>();
};

class Worker : public CoreTest {
 protected:
  void SetUp() override {
    with_worker_ = true;
    resolver_.emplace();
    plugin_.worker.SetHandlersForTesting(
        [this](std::uint8_t) { return std::make_unique<TestHandler>(&seen_); });
    CoreTest::SetUp();
    ASSERT_EQ(Start(FakeHostMode::kDirect, u"[Main]\r\nChannels=main\r\n"), 1);
    FakeHost::Instance().ClearCalls();
  }
  void TearDown() override {
    CoreTest::TearDown();
    resolver_.reset();
  }

  void Ask(std::u16string_view addr, std::u16string_view kind = u"hl", std::int32_t msg_type = 1,
           std::int32_t timeout = 300, std::u16string_view pl_title = u"",
           std::int32_t parallel = 1, std::int32_t retries = 0) {
    AddScanItem(plugin_, kind,
                {.Addr = std::u16string(addr),
                 .ChOrUser = u"main",
                 .OutTitle = u"T:",
                 .Format = u"%addr% is %name%",
                 .PlTitle = std::u16string(pl_title),
                 .OffFormat = u"%addr% off",
                 .Delimiter = u" | ",
                 .PlDelimiter = u", ",
                 .MsgType = msg_type,
                 .TimeOut = timeout,
                 .Parallel = parallel,
                 .Retries = retries,
                 .MaxReply = max_reply_,
                 .CutText = u"[cut]"});
  }
  // Waits for the queue to empty, pumping messages; true when it did.
  bool WaitForIdle(int timeout_ms = 10000) {
    for (int waited = 0; waited < timeout_ms; waited += 10) {
      if (plugin_.queue->Count() == 0) return true;
      platform::SleepMilliseconds(10);
    }
    return false;
  }
  std::vector<std::u16string> Delivered(std::int32_t code = 50, const char* layout = "tit") {
    std::vector<std::u16string> texts;
    for (const auto& call : FakeHost::Instance().CallsWithCode(code)) {
      texts.push_back(DecodeRecord(call.record, layout).back());
    }
    return texts;
  }

  std::atomic<int> seen_{0};
  std::int32_t max_reply_ = 0;
  std::optional<TestResolver> resolver_;
};


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

std::u16string Addresses(std::initializer_list<std::u16string> items) {
  std::u16string joined;
  for (const auto& item : items) joined += (joined.empty() ? u"" : u", ") + item;
  return joined;
}

double MillisecondsBetween(std::chrono::steady_clock::time_point a,
                           std::chrono::steady_clock::time_point b) {
  return std::chrono::duration<double, std::milli>(b - a).count();
}

// Items in flight side by side answer in any order; the reply is joined in
// address order, with its delimiters, headers and player lines as if the
// items had been served in turn, and the whole takes one time-out, not the
// sum of them.
TEST_F(Worker, ConcurrentItemsAreJoinedInAddressOrder) {
  UdpResponder slow([](const Datagram&) {
    platform::SleepMilliseconds(600);
    return Response{{Bytes("OKslow")}};
  });
  UdpResponder fast([](const Datagram&) { return Response{{Bytes("OKfast")}}; });
  UdpResponder dead([](const Datagram&) { return Response{}; });
  const std::u16string slow_at = LoopbackAddress(slow.Port());
  const std::u16string fast_at = LoopbackAddress(fast.Port());
  const std::u16string dead_at = LoopbackAddress(dead.Port());
  const std::u16string addresses =
      Addresses({slow_at, u"no-such-host.invalid", fast_at, dead_at, fast_at});
  const auto began = std::chrono::steady_clock::now();
  Ask(addresses, u"hl", 1, 1000, u"", 8, 0);
  Ask(addresses, u"hlpl", 1, 1000, u"[H]", 8, 0);
  ASSERT_TRUE(WaitForIdle());
  EXPECT_LT(MillisecondsBetween(began, std::chrono::steady_clock::now()), 2 * 1600.0)
      << "two requests, each about one time-out long";
  EXPECT_EQ(Delivered(), (std::vector<std::u16string>{
                             u"T:" + slow_at + u" is slow | " + fast_at + u" is fast | " + dead_at +
                                 u" off | " + fast_at + u" is fast",
                             u"T:[H]slow | [H]fast | " + dead_at + u" off | [H]fast"}));
}

// Every query of a request leaves at least a millisecond after the one
// before: a long list never bursts into the network.
TEST_F(Worker, QueriesArePaced) {
  UdpResponder silent([](const Datagram&) { return Response{}; });
  std::u16string twenty = LoopbackAddress(silent.Port());
  for (int i = 1; i < 20; ++i) twenty += u"," + LoopbackAddress(silent.Port());
  Ask(twenty, u"hl", 1, 200, u"", 20, 0);
  ASSERT_TRUE(WaitForIdle());
  const auto times = silent.QueryTimes();
  ASSERT_EQ(times.size(), 20u);
  // Nineteen gaps of a millisecond; the receiving thread may lag, so only
  // half of it is asked for.
  EXPECT_GE(MillisecondsBetween(times.front(), times.back()), 9.5);
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
