// Periodic events and channel joining.
#include <gtest/gtest.h>

#include "plugin/channels.h"
#include "plugin/event_timer.h"
#include "plugin/plugin_state.h"
#include "support/core_fixture.h"

namespace morvane::test {
namespace {

class PeriodicEvents : public CoreTest {
 protected:
  // One tick a second for the given number of seconds; returns how many
  // requests were queued.
  std::size_t TickFor(int seconds) {
    std::size_t before = Queued().size();
    for (int i = 0; i < seconds; ++i) {
      AdvanceSeconds(1);
      EventTimerProc(plugin_);
    }
    return Queued().size() - before;
  }
};

constexpr char16_t kEvery60[] =
    u"[Main]\r\nMaxQueue=1000\r\n"
    u"[Event_0]\r\nType=3\r\nDelay=60\r\nSource=main\r\nAddr=a\r\nGame=hl\r\nTitle=T\r\n";

TEST_F(PeriodicEvents, FireAtTheFirstTickThenEverySixtySeconds) {
  ASSERT_EQ(Start(FakeHostMode::kDirect, kEvery60), 1);
  EXPECT_NE(plugin_.timer_id, 0u);
  EventTimerProc(plugin_);
  auto queued = Queued();
  ASSERT_EQ(queued.size(), 1u);
  EXPECT_EQ(queued[0].ChOrUser, u"main");
  EXPECT_EQ(queued[0].OutTitle, u"T");
  EXPECT_EQ(TickFor(59), 0u);
  EXPECT_EQ(TickFor(1), 1u);
  EXPECT_EQ(TickFor(120), 2u);
}

TEST_F(PeriodicEvents, DelayDefaultsToFiveAndNegativeFiresEveryTick) {
  ASSERT_EQ(Start(FakeHostMode::kDirect,
                  u"[Main]\r\nMaxQueue=1000\r\n"
                  u"[Event_0]\r\nType=3\r\nAddr=five\r\nGame=hl\r\n"
                  u"[Event_1]\r\nType=3\r\nDelay=-1\r\nAddr=always\r\nGame=hl\r\n"),
            1);
  EXPECT_EQ(plugin_.event_table[0].Delay, 5);
  EXPECT_EQ(TickFor(10), 2u + 10u);
}

TEST_F(PeriodicEvents, NothingWhileOfflineThenDueEventsAtTheNextTick) {
  FakeHost::Instance().SetConnectionAnswer(0);
  ASSERT_EQ(Start(FakeHostMode::kDirect, kEvery60), 1);
  EXPECT_EQ(TickFor(100), 0u);
  StatusNotification(true);
  EXPECT_EQ(TickFor(1), 1u);
  StatusNotification(false);
  EXPECT_EQ(TickFor(100), 0u);
}

TEST_F(PeriodicEvents, AFullQueueLosesTheRequestAndTheEventWaitsAWholeInterval) {
  ASSERT_EQ(
      Start(FakeHostMode::kDirect,
            u"[Main]\r\nMaxQueue=0\r\n[Event_0]\r\nType=3\r\nDelay=60\r\nAddr=a\r\nGame=hl\r\n"),
      1);
  EventTimerProc(plugin_);
  EXPECT_NE(plugin_.event_table[0].LastUse, 0);
  plugin_.settings.MaxQueue = 10;
  EXPECT_EQ(TickFor(59), 0u);
  EXPECT_EQ(TickFor(1), 1u);
}

TEST_F(PeriodicEvents, NoTimerWithoutPeriodicEventsAndReloadReplacesIt) {
  ASSERT_EQ(
      Start(FakeHostMode::kDirect,
            u"[Main]\r\nAdmUsers=root\r\n[Event_0]\r\nType=0\r\nMsg=x\r\nAddr=a\r\nGame=hl\r\n"),
      1);
  EXPECT_EQ(plugin_.timer_id, 0u);
  WriteSettings(u"[Main]\r\nAdmUsers=root\r\n[Event_0]\r\nType=3\r\nAddr=a\r\nGame=hl\r\n");
  PrivateMessage(u"root", u"/reload");
  EXPECT_NE(plugin_.timer_id, 0u);
  WriteSettings(u"[Main]\r\nAdmUsers=root\r\n");
  PrivateMessage(u"root", u"/reload");
  EXPECT_EQ(plugin_.timer_id, 0u);
  Stop();
  EXPECT_EQ(plugin_.timer_id, 0u);
}

TEST_F(PeriodicEvents, GameIsPassedAsWrittenSoCapitalsAreDropped) {
  ASSERT_EQ(Start(FakeHostMode::kDirect, u"[Event_0]\r\nType=3\r\nAddr=a\r\nGame=HL\r\n"), 1);
  EventTimerProc(plugin_);
  EXPECT_TRUE(Queued().empty());
}

class Joining : public CoreTest {};

TEST_F(Joining, DirectModeJoinsEveryPieceInOrderUntrimmed) {
  ASSERT_EQ(Start(FakeHostMode::kDirect, u"[Main]\r\nChannels=main| games|\r\n"), 1);
  auto joins = FakeHost::Instance().CallsWithCode(67);
  ASSERT_EQ(joins.size(), 3u);
  EXPECT_EQ(DecodeRecord(joins[0].record, "it")[1], u"main");
  EXPECT_EQ(DecodeRecord(joins[1].record, "it")[1], u" games");
  EXPECT_EQ(DecodeRecord(joins[2].record, "it")[1], u"");
}

TEST_F(Joining, EmptyChannelsJoinsOneEmptyName) {
  ASSERT_EQ(Start(FakeHostMode::kDirect, u"[Main]\r\nChannels=\r\n"), 1);
  auto joins = FakeHost::Instance().CallsWithCode(67);
  ASSERT_EQ(joins.size(), 1u);
  EXPECT_EQ(DecodeRecord(joins[0].record, "it"), (std::vector<std::u16string>{u"1", u""}));
}

TEST_F(Joining, VirtualUserJoinsConfiguredChannelsAndLeavesTheOthers) {
  FakeHost::Instance().SetChannelsAnswer(
      Concat({RecordInt(4), RecordText(u"main"), RecordInt(0), RecordText(u""), RecordText(u"Main"),
              RecordInt(5), RecordText(u"x"), RecordText(u"games"), RecordInt(0), RecordText(u""),
              RecordText(u"old"), RecordInt(0), RecordText(u"")}));
  ASSERT_EQ(Start(FakeHostMode::kVirtualUser, u"[Main]\r\nChannels=main|games\r\n"), 1);
  EXPECT_TRUE(FakeHost::Instance().CallsWithCode(1026).empty()) << "joins wait for the 1078";
  StatusNotification(true, u"Morvane");
  EXPECT_TRUE(plugin_.online);
  auto joins = FakeHost::Instance().CallsWithCode(1026);
  ASSERT_EQ(joins.size(), 2u);
  EXPECT_EQ(DecodeRecord(joins[0].record, "ttii"),
            (std::vector<std::u16string>{u"Morvane", u"main", u"1", u"0"}));
  EXPECT_EQ(DecodeRecord(joins[1].record, "ttii")[1], u"games");
  auto leaves = FakeHost::Instance().CallsWithCode(1027);
  ASSERT_EQ(leaves.size(), 2u);
  EXPECT_EQ(DecodeRecord(leaves[0].record, "tt"),
            (std::vector<std::u16string>{u"Morvane", u"Main"}));
  EXPECT_EQ(DecodeRecord(leaves[1].record, "tt")[1], u"old");

  // A 1078 for someone else changes nothing.
  FakeHost::Instance().ClearCalls();
  StatusNotification(true, u"morvane");
  EXPECT_TRUE(FakeHost::Instance().Calls().empty());
  StatusNotification(false, u"Morvane");
  EXPECT_FALSE(plugin_.online);
}

TEST_F(Joining, AShortChannelListIsReadUpToItsLastWholeEntry) {
  auto answer = Concat({RecordInt(3), RecordText(u"a"), RecordInt(0), RecordText(u""),
                        RecordText(u"b"), RecordInt(0), RecordText(u"")});
  answer.push_back(0x05);  // the third entry is cut short
  FakeHost::Instance().SetChannelsAnswer(answer);
  ASSERT_EQ(Start(FakeHostMode::kVirtualUser), 1);
  StatusNotification(true, u"Morvane");
  auto leaves = FakeHost::Instance().CallsWithCode(1027);
  ASSERT_EQ(leaves.size(), 2u);
  EXPECT_EQ(DecodeRecord(leaves[1].record, "tt")[1], u"b");

  for (auto bad : {std::vector<std::uint8_t>{}, RecordInt(0), RecordInt(-3),
                   std::vector<std::uint8_t>{1, 0}}) {
    FakeHost::Instance().SetChannelsAnswer(bad);
    FakeHost::Instance().ClearCalls();
    StatusNotification(true, u"Morvane");
    EXPECT_TRUE(FakeHost::Instance().CallsWithCode(1027).empty());
    EXPECT_EQ(FakeHost::Instance().CallsWithCode(1026).size(), 1u);
  }
}

}  // namespace
}  // namespace morvane::test
