// Message events and "/reload": what fires, in which order, and who may reload.
#include <gtest/gtest.h>

#include "plugin/plugin_state.h"
#include "support/core_fixture.h"

namespace morvane::test {
namespace {

class ChatEvents : public CoreTest {};

constexpr char16_t kStatusEvent[] =
    u"[Event_0]\r\nType=2\r\nMsgType=2\r\nAddr=status.example\r\nGame=hl\r\n";

TEST_F(ChatEvents, AnyMessageEventWithEmptyTriggerFiresOnStatusNotifications) {
  ASSERT_EQ(Start(FakeHostMode::kVirtualUser, kStatusEvent), 1);
  StatusNotification(true, u"bob");
  auto queued = Queued();
  ASSERT_EQ(queued.size(), 1u);
  EXPECT_EQ(queued[0].ChOrUser, u"bob") << "MsgType 2 replies to the user of the record";
  EXPECT_EQ(queued[0].MsgType, 2);
  StatusNotification(false, u"carol");
  ASSERT_EQ(Queued().size(), 2u);
  EXPECT_EQ(Queued()[1].ChOrUser, u"carol");
}

TEST_F(ChatEvents, DirectStatusFiresTooWithAnEmptySender) {
  ASSERT_EQ(Start(FakeHostMode::kDirect, kStatusEvent), 1);
  StatusNotification(true);
  ASSERT_EQ(Queued().size(), 1u);
  EXPECT_EQ(Queued()[0].ChOrUser, u"");
}

TEST_F(ChatEvents, EventsWithTheSameTriggerAllFireInTableOrder) {
  ASSERT_EQ(Start(FakeHostMode::kDirect,
                  u"[Event_0]\r\nType=0\r\nMsg=!Servers\r\nAddr=first\r\nGame=hl\r\nTitle=a:;b\r\n"
                  u"[Event_1]\r\nType=2\r\nMsg=!servers\r\nAddr=second\r\nGame=cod\r\nMsgType=0\r\n"
                  u"[Event_2]\r\nType=1\r\nMsg=!servers\r\nAddr=private-only\r\nGame=hl\r\n"
                  u"[Event_3]\r\nType=0\r\nMsg=!servers\r\nAddr=never\r\nGame=hl\r\nMsgType=3\r\n"),
            1);
  ChannelMessage(u"main", u"alice", u"!SERVERS");
  auto queued = Queued();
  ASSERT_EQ(queued.size(), 2u);
  EXPECT_EQ(queued[0].Addr, u"first");
  EXPECT_EQ(queued[0].OutTitle, u"a\r\nb");
  EXPECT_EQ(queued[0].ChOrUser, u"main");
  EXPECT_EQ(queued[0].MsgType, 1);
  EXPECT_EQ(queued[1].Addr, u"second");
  EXPECT_EQ(queued[1].Game, 1);
  EXPECT_EQ(queued[1].MsgType, 0);
}

TEST_F(ChatEvents, TriggerIsTheWholeTextAndCyrillicCapitalsAreNotLowered) {
  ASSERT_EQ(Start(FakeHostMode::kDirect,
                  u"[Event_0]\r\nType=0\r\nMsg=сервер\r\nAddr=a\r\nGame=hl\r\n"
                  u"[Event_1]\r\nType=0\r\nMsg=!s\r\nAddr=b\r\nGame=hl\r\n"),
            1);
  ChannelMessage(u"main", u"alice", u"СЕРВЕР");
  ChannelMessage(u"main", u"alice", u"!s now");
  ChannelMessage(u"main", u"alice", u" !s");
  EXPECT_TRUE(Queued().empty());
  ChannelMessage(u"main", u"alice", u"сервер");
  EXPECT_EQ(Queued().size(), 1u);
}

TEST_F(ChatEvents, SourcePiecesAreTrimmedButCompareCaseSensitively) {
  ASSERT_EQ(Start(FakeHostMode::kDirect,
                  u"[Event_0]\r\nType=0\r\nMsg=!s\r\nSource= main | games \r\nAddr=a\r\nGame=hl\r\n"
                  u"[Event_1]\r\nType=1\r\nMsg=!s\r\nSource=Bob\r\nAddr=b\r\nGame=hl\r\n"),
            1);
  ChannelMessage(u"games", u"alice", u"!s");
  ChannelMessage(u"main", u"alice", u"!s");
  ChannelMessage(u"Main", u"alice", u"!s");
  ChannelMessage(u"other", u"alice", u"!s");
  ASSERT_EQ(Queued().size(), 2u);
  EXPECT_EQ(Queued()[0].ChOrUser, u"games");
  EXPECT_EQ(Queued()[1].ChOrUser, u"main");
  PrivateMessage(u"bob", u"!s");
  PrivateMessage(u"Bob", u"!s");
  ASSERT_EQ(Queued().size(), 3u);
  EXPECT_EQ(Queued()[2].Addr, u"b");
  EXPECT_EQ(Queued()[2].ChOrUser, u"Bob");
}

TEST_F(ChatEvents, EventDelayHoldsAnEventBack) {
  ASSERT_EQ(Start(FakeHostMode::kDirect,
                  u"[Event_0]\r\nType=0\r\nMsg=!s\r\nDelay=30\r\nAddr=a\r\nGame=hl\r\n"),
            1);
  ChannelMessage(u"main", u"alice", u"!s");
  AdvanceSeconds(29);
  ChannelMessage(u"main", u"alice", u"!s");
  EXPECT_EQ(Queued().size(), 1u);
  AdvanceSeconds(1);
  ChannelMessage(u"main", u"alice", u"!s");
  EXPECT_EQ(Queued().size(), 2u);
}

TEST_F(ChatEvents, AMessageCanFireEventsAndBeACommand) {
  ASSERT_EQ(
      Start(FakeHostMode::kDirect, u"[Event_0]\r\nType=0\r\nMsg=/gs hl x\r\nAddr=event\r\nGame=hl\r\n"),
      1);
  ChannelMessage(u"main", u"alice", u"/gs hl x");
  ASSERT_EQ(Queued().size(), 2u);
  EXPECT_EQ(Queued()[0].Addr, u"event");
  EXPECT_EQ(Queued()[1].Addr, u"x");
}

class Reload : public CoreTest {};

TEST_F(Reload, AnAdministratorByNameOrAddressReloadsInPrivateOnly) {
  ASSERT_EQ(Start(FakeHostMode::kDirect, u"[Main]\r\nAdmUsers=Alice|10.1.1.1\r\nTimeOut=100\r\n"), 1);
  WriteSettings(u"[Main]\r\nAdmUsers=Alice|10.1.1.1\r\nTimeOut=200\r\n");
  ChannelMessage(u"main", u"Alice", u"/reload");
  PrivateMessage(u"Alice", u"/reload ");
  PrivateMessage(u"alice", u"/reload");
  EXPECT_EQ(plugin_.settings.TimeOut, 100);
  PrivateMessage(u"Alice", u"/RELOAD");
  EXPECT_EQ(plugin_.settings.TimeOut, 200);
  WriteSettings(u"[Main]\r\nAdmUsers=Alice|10.1.1.1\r\nTimeOut=300\r\n");
  PrivateMessage(u"mallory", u"/reload", u"10.1.1.1");
  EXPECT_EQ(plugin_.settings.TimeOut, 300);
}

TEST_F(Reload, ReloadByAnAdministratorFiresNoEventAndQueuesNothing) {
  ASSERT_EQ(Start(FakeHostMode::kDirect,
                  u"[Main]\r\nAdmUsers=Alice\r\n[Event_0]\r\nType=1\r\nMsg=/"
                  u"reload\r\nAddr=a\r\nGame=hl\r\n"),
            1);
  PrivateMessage(u"Alice", u"/reload");
  EXPECT_TRUE(Queued().empty());
  PrivateMessage(u"Bob", u"/reload");
  EXPECT_EQ(Queued().size(), 1u) << "from anyone else it is an ordinary message";
}

// The fault mended here: an empty admin entry (from an empty AdmUsers, "||" or
// a trailing "|") used to match a sender whose name or address is empty.
TEST_F(Reload, EmptyAdminEntriesAdmitNoOne) {
  for (std::u16string admins : {u"AdmUsers=", u"AdmUsers=Alice||Bob", u"AdmUsers=Alice|"}) {
    ASSERT_EQ(Start(FakeHostMode::kDirect, u"[Main]\r\nTimeOut=100\r\n" + admins + u"\r\n"), 1);
    WriteSettings(u"[Main]\r\nTimeOut=200\r\n");
    PrivateMessage(u"", u"/reload", u"");
    PrivateMessage(u"nobody", u"/reload", u"");
    EXPECT_EQ(plugin_.settings.TimeOut, 100) << testing::PrintToString(admins);
    Stop();
  }
}

}  // namespace
}  // namespace morvane::test
