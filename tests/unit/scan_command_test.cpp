// The "/gs " command: parsing, switches, flood delay and the request it queues.
#include <gtest/gtest.h>

#include "common/text.h"
#include "plugin/chat_handler.h"
#include "plugin/plugin_state.h"
#include "plugin/scan_command.h"
#include "support/core_fixture.h"

namespace morvane::test {
namespace {

TEST(ParseScanCommand, BlanksAreU0020OnlyAndTheKindNeedsABlankAfterIt) {
  const struct {
    std::u16string text;
    std::u16string kind;
    std::u16string address;
  } cases[] = {
      {u"/gs hl 192.0.2.1:27015", u"hl", u"192.0.2.1:27015"},
      {u"/gs   hl    192.0.2.1", u"hl", u"192.0.2.1"},
      {u"/gs hl", u"", u""},
      {u"/gs hl ", u"hl", u""},
      {u"/gs hl  ", u"hl", u" "},  // only blanks left: the second blank is the address
      {u"/gs ", u"", u""},
      {u"/gs    ", u"", u""},
      {u"/gs", u"", u""},
      {u"/gsx hl a", u"", u""},
      {u"/gs\thl a", u"", u""},
      {u"/gs hl\ta b", u"hl\ta", u"b"},
      {u"/gs hl a b, c ,d", u"hl", u"a b, c ,d"},
      {u"/gs hl a\r\nb", u"hl", u"a\r\nb"},  // a line break stays in the address
  };
  for (const auto& c : cases) {
    ScanCommand command = ParseScanCommand(c.text);
    EXPECT_EQ(command.kind, c.kind) << testing::PrintToString(c.text);
    EXPECT_EQ(command.address, c.address) << testing::PrintToString(c.text);
  }
}

class ScanCommandTest : public CoreTest {};

TEST_F(ScanCommandTest, ChannelCommandQueuesTheMainTemplates) {
  ASSERT_EQ(Start(FakeHostMode::kDirect), 1);
  ChannelMessage(u"main", u"alice", u"/gs hl 192.0.2.1:27015");
  auto queued = Queued();
  ASSERT_EQ(queued.size(), 1u);
  const ScanRequest& item = queued[0];
  const MainSettings& main = plugin_.settings;
  EXPECT_EQ(item.Addr, u"192.0.2.1:27015");
  EXPECT_EQ(item.ChOrUser, u"main");
  EXPECT_EQ(item.OutTitle, u"\r\n");
  EXPECT_EQ(item.Format, main.Format);
  EXPECT_EQ(item.OffFormat, main.OfflineFormat);
  EXPECT_EQ(item.PlTitle, u"");
  EXPECT_EQ(item.Delimiter, u"\r\n");
  EXPECT_EQ(item.PlDelimiter, u"\r\n");
  EXPECT_EQ(item.MsgType, 1);
  EXPECT_EQ(item.TimeOut, 1000);
  EXPECT_EQ(item.Game, kGameSource);
  EXPECT_FALSE(item.Players);
  EXPECT_FALSE(item.TCP);
}

TEST_F(ScanCommandTest, CapitalsAreLoweredAndPlayerKindsTakeThePlayerTemplates) {
  ASSERT_EQ(Start(FakeHostMode::kVirtualUser, u"[Main]\r\nMsgType=0\r\n"), 1);
  ChannelMessage(u"main", u"alice", u"/GS HLPL 192.0.2.1");
  auto queued = Queued();
  ASSERT_EQ(queued.size(), 1u);
  EXPECT_EQ(queued[0].Addr, u"192.0.2.1");
  EXPECT_EQ(queued[0].Format, u"%pltime% - %plscore% - %plname%");
  EXPECT_EQ(queued[0].PlTitle, u"[b]Игроки сервера %addr% (%pl%):[/b]\r\n");
  EXPECT_TRUE(queued[0].Players);
  EXPECT_EQ(queued[0].MsgType, 0);
}

TEST_F(ScanCommandTest, PrivateTcpCommandRepliesToTheSender) {
  ASSERT_EQ(Start(FakeHostMode::kDirect, u"[Main]\r\nTCPFormat=%addr% up\r\nTimeOut=250\r\n"), 1);
  PrivateMessage(u"Alice", u"/gs tcp 192.0.2.1:80");
  auto queued = Queued();
  ASSERT_EQ(queued.size(), 1u);
  EXPECT_EQ(queued[0].ChOrUser, u"Alice");
  EXPECT_EQ(queued[0].OutTitle, u"");
  EXPECT_EQ(queued[0].MsgType, 2);
  EXPECT_EQ(queued[0].Format, u"%addr% up");
  EXPECT_EQ(queued[0].PlTitle, u"");
  EXPECT_EQ(queued[0].TimeOut, 250);
  EXPECT_TRUE(queued[0].TCP);
  EXPECT_EQ(queued[0].Game, kGameTcp);
}

TEST_F(ScanCommandTest, KindsOutsideTheSevenStartTheFloodDelayButQueueNothing) {
  ASSERT_EQ(Start(FakeHostMode::kDirect, u"[Main]\r\nDelay=10\r\n"), 1);
  ChannelMessage(u"main", u"alice", u"/gs xyz 192.0.2.1");
  EXPECT_TRUE(Queued().empty());
  EXPECT_NE(plugin_.last_scan_command_time, 0);
  ChannelMessage(u"main", u"alice", u"/gs hl 192.0.2.1");
  EXPECT_TRUE(Queued().empty()) << "inside the flood delay";
  // "tcppl" ends in "pl" but is no kind.
  AdvanceSeconds(10);
  ChannelMessage(u"main", u"alice", u"/gs tcppl 192.0.2.1");
  EXPECT_TRUE(Queued().empty());
}

TEST_F(ScanCommandTest, FloodDelayRefusesNineSecondsAndAcceptsTen) {
  ASSERT_EQ(Start(FakeHostMode::kDirect, u"[Main]\r\nDelay=10\r\n"), 1);
  ChannelMessage(u"main", u"alice", u"/gs hl a");
  ASSERT_EQ(Queued().size(), 1u);
  AdvanceSeconds(9);
  ChannelMessage(u"main", u"alice", u"/gs hl b");
  EXPECT_EQ(Queued().size(), 1u);
  AdvanceSeconds(1);
  ChannelMessage(u"main", u"alice", u"/gs hl c");
  ASSERT_EQ(Queued().size(), 2u);
  EXPECT_EQ(Queued()[1].Addr, u"c");
}

// One "/gs" could name as many addresses as a message holds: a thousand silent
// servers held the worker for a thousand time-outs, and "/gs tcp" probed
// hundreds of ports for anyone in the channel. A longer list is refused as a
// full queue refuses it; events are never capped.
TEST_F(ScanCommandTest, MaxAddrCapsTheAddressesOfAChatCommandOnly) {
  auto list = [](int items) {
    std::u16string addresses = u"a";
    for (int i = 1; i < items; ++i) addresses += u", a";
    return addresses;
  };
  const struct {
    std::u16string settings;
    int items;
    bool queued;
  } cases[] = {
      {u"", 32, true},
      {u"", 33, false},
      {u"MaxAddr=2\r\n", 2, true},
      {u"MaxAddr=2\r\n", 3, false},
      {u"MaxAddr=0\r\n", 500, true},
      {u"MaxAddr=-1\r\n", 500, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(Utf16ToUtf8(c.settings) + std::to_string(c.items));
    ASSERT_EQ(Start(FakeHostMode::kDirect, u"[Main]\r\nDelay=10\r\nMaxQueue=100\r\n" + c.settings +
                                           u"[Event_0]\r\nType=0\r\nMsg=!all\r\nGame=hl\r\nAddr=" +
                                           list(40) + u"\r\n"),
              1);
    ChannelMessage(u"main", u"alice", u"/gs hl " + list(c.items));
    EXPECT_EQ(Queued().size(), c.queued ? 1u : 0u);
    EXPECT_NE(plugin_.last_scan_command_time, 0) << "the flood delay starts either way";
    ChannelMessage(u"main", u"alice", u"!all");
    EXPECT_EQ(Queued().size(), c.queued ? 2u : 1u) << "an event's 40 addresses are not capped";
    Stop();
  }
}

TEST_F(ScanCommandTest, IgnoredCommandsLeaveTheFloodDelayAlone) {
  ASSERT_EQ(Start(FakeHostMode::kDirect, u"[Main]\r\nDelay=10\r\n"), 1);
  for (std::u16string text : {u"/gs hl", u"/gs hl ", u"/gs", u"/gshl a", u"gs hl a"}) {
    ChannelMessage(u"main", u"alice", text);
  }
  EXPECT_EQ(plugin_.last_scan_command_time, 0);
  ChannelMessage(u"main", u"alice", u"/gs hl  ");
  ASSERT_EQ(Queued().size(), 1u);
  EXPECT_EQ(Queued()[0].Addr, u" ");
}

TEST_F(ScanCommandTest, SwitchesTurnEachMessageClassOff) {
  ASSERT_EQ(Start(FakeHostMode::kDirect, u"[Main]\r\nChScanEn=0\r\n"), 1);
  ChannelMessage(u"main", u"alice", u"/gs hl a");
  EXPECT_TRUE(Queued().empty());
  PrivateMessage(u"alice", u"/gs hl a");
  EXPECT_EQ(Queued().size(), 1u);

  Stop();
  ASSERT_EQ(Start(FakeHostMode::kDirect, u"[Main]\r\nPmScanEn=0\r\n"), 1);
  PrivateMessage(u"alice", u"/gs hl a");
  EXPECT_TRUE(Queued().empty());
  ChannelMessage(u"main", u"alice", u"/gs hl a");
  EXPECT_EQ(Queued().size(), 1u);
}

TEST_F(ScanCommandTest, DirectPrivateMessagesOfAnotherKindAndOtherModesCodesAreIgnored) {
  ASSERT_EQ(Start(FakeHostMode::kDirect), 1);
  auto sender = Concat({RecordText(u"alice"), RecordText(u""), RecordInt(0)});
  Process(10, Concat({sender, RecordInt(2), RecordText(u"/gs hl a")}));
  Process(1061, Concat({RecordText(u"x"), sender, RecordText(u"/gs hl a")}));
  Process(1070, Concat({RecordText(u"x"), sender, RecordText(u"main"), RecordInt(0),
                        RecordText(u"/gs hl a")}));
  EXPECT_TRUE(Queued().empty());
}

TEST_F(ScanCommandTest, ShortOrJunkRecordsNeverReadPastTheirLength) {
  ASSERT_EQ(Start(FakeHostMode::kDirect), 1);
  auto full = Concat({RecordText(u"alice"), RecordText(u"ip"), RecordInt(0), RecordText(u"main"),
                      RecordInt(0), RecordText(u"/gs hl a")});
  for (std::size_t cut = 0; cut < full.size(); ++cut) {
    std::vector<std::uint8_t> part(full.begin(), full.begin() + static_cast<std::ptrdiff_t>(cut));
    Process(5, part);
  }
  // Only the whole record can carry the whole command.
  EXPECT_TRUE(Queued().empty());
  std::vector<std::uint8_t> junk = {0xFF, 0xFF, 0xFF, 0x7F, 1, 2, 3};
  for (std::int32_t code : {3, 5, 10, 1061, 1070, 1078, 1079, 0, -1}) Process(code, junk);
  ProcessHostMessage(plugin_, 5, nullptr, 100);  // a null record reads as empty
  Process(5, full);
  EXPECT_EQ(Queued().size(), 1u);
}

}  // namespace
}  // namespace morvane::test
