// The request queue: kinds, the MaxQueue bound, order, and what PluginStop frees.
#include <gtest/gtest.h>

#include <thread>

#include "scan/request_queue.h"
#include "support/core_fixture.h"

namespace morvane::test {
namespace {

TEST(ServerKind, TheSevenWordsExactlyAndNothingElse) {
  const struct {
    std::u16string word;
    bool accepted;
    std::uint8_t game;
    bool players;
    bool tcp;
  } cases[] = {
      {u"hl", true, 0, false, false},   {u"hlpl", true, 0, true, false},
      {u"cod", true, 1, false, false},  {u"codpl", true, 1, true, false},
      {u"sa", true, 2, false, false},   {u"sapl", true, 2, true, false},
      {u"tcp", true, 255, false, true}, {u"", false, 0, false, false},
      {u"HL", false, 0, false, false},  {u"tcppl", false, 0, false, false},
      {u"hl ", false, 0, false, false}, {u"pl", false, 0, false, false},
  };
  for (const auto& c : cases) {
    auto kind = ServerKindFromWord(c.word);
    ASSERT_EQ(kind.has_value(), c.accepted) << testing::PrintToString(c.word);
    if (!kind) continue;
    EXPECT_EQ(kind->Game, c.game);
    EXPECT_EQ(kind->Players, c.players);
    EXPECT_EQ(kind->TCP, c.tcp);
  }
}

class QueueTest : public CoreTest {
 protected:
  void Add(std::u16string_view addr, std::u16string_view kind = u"hl") {
    AddScanItem(plugin_, kind,
                {.Addr = std::u16string(addr),
                 .ChOrUser = u"main",
                 .OutTitle = {},
                 .Format = u"f",
                 .PlTitle = {},
                 .OffFormat = u"off",
                 .Delimiter = u",",
                 .PlDelimiter = u";",
                 .MsgType = 1,
                 .TimeOut = 1000});
  }
};

TEST_F(QueueTest, MaxQueueZeroOrNegativeRefusesEverythingAndNeverWakes) {
  for (std::u16string limit : {u"0", u"-5"}) {
    ASSERT_EQ(Start(FakeHostMode::kDirect, u"[Main]\r\nMaxQueue=" + limit + u"\r\n"), 1);
    Add(u"a");
    EXPECT_TRUE(Queued().empty());
    EXPECT_FALSE(plugin_.queue->WakeEvent()->Wait(0)) << "no signal for a refused request";
    Stop();
  }
}

TEST_F(QueueTest, TheTwentyFirstIsDroppedAndAcceptedAgainOnceOneIsDone) {
  ASSERT_EQ(Start(FakeHostMode::kDirect), 1);
  for (int i = 0; i < 20; ++i) Add(u"x");
  Add(u"21st");
  EXPECT_EQ(plugin_.queue->Count(), 20);
  plugin_.queue->PopHead();
  Add(u"22nd");
  EXPECT_EQ(plugin_.queue->Count(), 20);
  EXPECT_EQ(Queued().back().Addr, u"22nd");
}

TEST_F(QueueTest, TheRequestInServiceStillCounts) {
  ASSERT_EQ(Start(FakeHostMode::kDirect, u"[Main]\r\nMaxQueue=1\r\n"), 1);
  Add(u"in service");
  ASSERT_TRUE(plugin_.queue->TakeNext(0));
  Add(u"second");
  EXPECT_EQ(plugin_.queue->Count(), 1);
  EXPECT_EQ(Queued().at(0).Addr, u"in service");
}

TEST_F(QueueTest, FirstInFirstOutAndUnknownKindsDropped) {
  ASSERT_EQ(Start(FakeHostMode::kDirect), 1);
  Add(u"A");
  Add(u"B", u"HL");
  Add(u"B");
  Add(u"C", u"sapl");
  auto queued = Queued();
  ASSERT_EQ(queued.size(), 3u);
  EXPECT_EQ(queued[0].Addr, u"A");
  EXPECT_EQ(queued[1].Addr, u"B");
  EXPECT_EQ(queued[2].Addr, u"C");
  EXPECT_TRUE(queued[2].Players);
  for (const char16_t* expected : {u"A", u"B", u"C"}) {
    const auto head = plugin_.queue->TakeNext(0);
    ASSERT_TRUE(head);
    EXPECT_EQ(head->request.Addr, expected);
    plugin_.queue->Remove(head->ticket);
  }
  EXPECT_EQ(plugin_.queue->Count(), 0);
  Add(u"D");
  EXPECT_EQ(plugin_.queue->TakeNext(0)->request.Addr, u"D")
      << "the tail is reset once the queue empties";
}

TEST_F(QueueTest, OneSignalPerQueuedRequest) {
  ASSERT_EQ(Start(FakeHostMode::kDirect), 1);
  auto wake = plugin_.queue->WakeEvent();
  ASSERT_NE(wake, nullptr);
  EXPECT_FALSE(wake->Wait(0));
  Add(u"a");
  EXPECT_TRUE(wake->Wait(0));
  EXPECT_FALSE(wake->Wait(0)) << "auto-reset";
}

TEST_F(QueueTest, StopFreesEverythingAndAStartAcceptsMaxQueueAgain) {
  ASSERT_EQ(Start(FakeHostMode::kDirect, u"[Main]\r\nMaxQueue=3\r\n"), 1);
  for (int i = 0; i < 5; ++i) Add(u"x");
  EXPECT_EQ(plugin_.queue->Count(), 3);
  Stop();
  EXPECT_EQ(plugin_.queue->Count(), 0);
  EXPECT_FALSE(plugin_.queue->TakeNext(0));
  EXPECT_EQ(plugin_.queue->WakeEvent(), nullptr);
  ASSERT_EQ(Start(FakeHostMode::kDirect, u"[Main]\r\nMaxQueue=3\r\n"), 1);
  for (int i = 0; i < 3; ++i) Add(u"y");
  EXPECT_EQ(plugin_.queue->Count(), 3);
}

// A worker that ended late after a stop popped whatever was at the head, which
// after a new start is a request of the new queue: the worker pops only the
// request it served, of the queue it took it from.
TEST_F(QueueTest, APopAfterAClearLeavesTheNewHeadAlone) {
  ASSERT_EQ(Start(FakeHostMode::kDirect), 1);
  Add(u"served");
  const auto served = plugin_.queue->TakeNext(0);
  ASSERT_TRUE(served);
  plugin_.queue->Clear();
  Add(u"new");
  plugin_.queue->Remove(served->ticket);
  ASSERT_EQ(Queued().size(), 1u);
  EXPECT_EQ(Queued()[0].Addr, u"new");
}

TEST_F(QueueTest, RequestsQueuedWithoutAWorkerWaitForStop) {
  // A refused start leaves no wake event; requests still queue and are freed
  // by PluginStop.
  ASSERT_EQ(Start(FakeHostMode::kVirtualUser, u"[VirtUser]\r\nName=\r\n"), 0);
  Add(u"x");
  EXPECT_EQ(plugin_.queue->Count(), 1);
  Stop();
  EXPECT_EQ(plugin_.queue->Count(), 0);
}

TEST_F(QueueTest, ProducerAndConsumerOnTwoThreads) {
  // The consumer side as the worker uses it: wait, take a copy of the head,
  // unlink it. Run under TSan in make check.
  ASSERT_EQ(Start(FakeHostMode::kDirect, u"[Main]\r\nMaxQueue=1000\r\n"), 1);
  auto wake = plugin_.queue->WakeEvent();
  constexpr int kRequests = 300;
  std::thread consumer([&] {
    int served = 0;
    while (served < kRequests) {
      if (!wake->Wait(5000)) break;
      while (const auto head = plugin_.queue->TakeNext(0)) {
        EXPECT_EQ(head->request.Addr, u"r");
        plugin_.queue->Remove(head->ticket);
        ++served;
      }
    }
    EXPECT_EQ(served, kRequests);
  });
  for (int i = 0; i < kRequests; ++i) Add(u"r");
  consumer.join();
  EXPECT_EQ(plugin_.queue->Count(), 0);
}

}  // namespace
}  // namespace morvane::test
