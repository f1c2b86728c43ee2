// The console host's input lines and the records it builds from them.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "console_host/chat_records.h"
#include "console_host/script_line.h"

namespace morvane::console_host {
namespace {

std::vector<std::uint8_t> Bytes(std::initializer_list<int> values) {
  std::vector<std::uint8_t> out;
  for (int v : values) out.push_back(static_cast<std::uint8_t>(v));
  return out;
}

struct MessageCase {
  const char* line;
  LineKind kind;
  const char16_t* channel;
  const char16_t* name;
  const char16_t* ip;
  const char16_t* text;
};

TEST(HostScriptLine, ReadsMessagesKeepingTheTextsBlanks) {
  const MessageCase cases[] = {
      {"#main alice: /gs hl 127.0.0.1:27015", LineKind::kChannelMessage, u"main", u"alice", u"N/A",
       u"/gs hl 127.0.0.1:27015"},
      // Only the one blank after the colon goes; the plug-in's parser must
      // see every other blank, trailing ones included.
      {"#main alice:  /gs   hl    x  ", LineKind::kChannelMessage, u"main", u"alice", u"N/A",
       u" /gs   hl    x  "},
      {"#main alice:/gs", LineKind::kChannelMessage, u"main", u"alice", u"N/A", u"/gs"},
      {"#main alice:", LineKind::kChannelMessage, u"main", u"alice", u"N/A", u""},
      {"  #lobby   bob(10.0.0.5) : hi", LineKind::kChannelMessage, u"lobby", u"bob", u"10.0.0.5",
       u"hi"},
      {"#main John Smith: a: b", LineKind::kChannelMessage, u"main", u"John Smith", u"N/A",
       u"a: b"},
      {"#main alice(): x", LineKind::kChannelMessage, u"main", u"alice", u"", u"x"},
      {"#главный Пётр: Привет\r", LineKind::kChannelMessage, u"главный", u"Пётр", u"N/A",
       u"Привет"},
      {"@alice: /reload", LineKind::kPrivateMessage, u"", u"alice", u"N/A", u"/reload"},
      {"@alice(192.0.2.7): /reload ", LineKind::kPrivateMessage, u"", u"alice", u"192.0.2.7",
       u"/reload "},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.line);
    ScriptLine line = ParseScriptLine(c.line);
    ASSERT_EQ(line.kind, c.kind) << line.error;
    EXPECT_EQ(line.channel, c.channel);
    EXPECT_EQ(line.user.name, c.name);
    EXPECT_EQ(line.user.ip, c.ip);
    EXPECT_EQ(line.text, c.text);
  }
}

TEST(HostScriptLine, ReadsCommandsAndIgnoresCommentsAndBlankLines) {
  EXPECT_EQ(ParseScriptLine("").kind, LineKind::kIgnored);
  EXPECT_EQ(ParseScriptLine(" \t\r").kind, LineKind::kIgnored);
  EXPECT_EQ(ParseScriptLine("  // #main alice: not sent").kind, LineKind::kIgnored);
  EXPECT_EQ(ParseScriptLine("!quit").kind, LineKind::kQuit);
  EXPECT_EQ(ParseScriptLine("!about").kind, LineKind::kAbout);
  EXPECT_EQ(ParseScriptLine("!options").kind, LineKind::kOptions);

  ScriptLine online = ParseScriptLine("!online");
  EXPECT_EQ(online.kind, LineKind::kOnline);
  EXPECT_FALSE(online.user_named);
  ScriptLine bob = ParseScriptLine("!offline  bob(10.1.2.3) ");
  EXPECT_EQ(bob.kind, LineKind::kOffline);
  EXPECT_TRUE(bob.user_named);
  EXPECT_EQ(bob.user.name, u"bob");
  EXPECT_EQ(bob.user.ip, u"10.1.2.3");

  const std::pair<const char*, std::int32_t> waits[] = {
      {"!wait 2", 2000},       {"!wait 0.5", 500},  {"!wait 0", 0},
      {"!wait 3600", 3600000}, {"!wait 0.0004", 0}, {"!wait 1.25", 1250}};
  for (const auto& [text, ms] : waits) {
    ScriptLine wait = ParseScriptLine(text);
    ASSERT_EQ(wait.kind, LineKind::kWait) << text << ": " << wait.error;
    EXPECT_EQ(wait.wait_ms, ms) << text;
  }
}

TEST(HostScriptLine, RefusesWhatItCannotReadWithAReason) {
  const char* bad[] = {
      "main alice: hi",       // no "#" or "@"
      "# alice: hi",          // empty channel
      "#main alice hi",       // no colon
      "#main: hi",            // no sender
      "#main : hi",           // empty sender
      "#main (1.2.3.4): hi",  // a sender with an address but no name
      "@: hi",                // empty private sender
      "@alice hi",            // no colon
      "!wait",                // no number
      "!wait -1",             // negative
      "!wait 3601",           // too long
      "!wait 2s",             // junk after the number
      "!wait inf",
      "!wait nan",
      "!quit now",
      "!bogus",
      "!online ()",
  };
  for (const char* text : bad) {
    ScriptLine line = ParseScriptLine(text);
    EXPECT_EQ(line.kind, LineKind::kError) << text;
    EXPECT_FALSE(line.error.empty()) << text;
  }
  EXPECT_NE(ParseScriptLine("hello").error.find("expected #channel user: text"), std::string::npos);
  std::string long_line = "#main alice: " + std::string(kMaxLineBytes, 'x');
  EXPECT_EQ(ParseScriptLine(long_line).kind, LineKind::kError);
}

TEST(HostRecords, BuildsEachDeliveryInBothModes) {
  const ChatUser alice{u"al", u"ip"};
  // Direct channel message: user [name][ip][icon 0], channel, 0, text.
  Delivery direct = BuildChannelMessage(HostMode::kDirect, u"ignored", alice, u"m", u"x");
  EXPECT_EQ(direct.code, 5);
  EXPECT_EQ(direct.record, Bytes({2, 0, 0, 0, 'a', 0, 'l', 0,  // Name "al"
                                  2, 0, 0, 0, 'i', 0, 'p', 0,  // IP "ip"
                                  0, 0, 0, 0,                  // Icon
                                  1, 0, 0, 0, 'm', 0,          // channel "m"
                                  0, 0, 0, 0,                  // skipped integer
                                  1, 0, 0, 0, 'x', 0}));       // text "x"

  // Virtual channel message: the virtual user's name comes first.
  Delivery virtual_channel = BuildChannelMessage(HostMode::kVirtualUser, u"V", alice, u"m", u"");
  EXPECT_EQ(virtual_channel.code, 1070);
  EXPECT_EQ(virtual_channel.record,
            Bytes({1,   0, 0, 0, 'V', 0, 2, 0, 0, 0, 'a', 0, 'l', 0, 2, 0, 0, 0, 'i', 0,
                   'p', 0, 0, 0, 0,   0, 1, 0, 0, 0, 'm', 0, 0,   0, 0, 0, 0, 0, 0,   0}));

  // Direct private message: user, message kind 3, text.
  Delivery direct_private = BuildPrivateMessage(HostMode::kDirect, u"", alice, u"x");
  EXPECT_EQ(direct_private.code, 10);
  EXPECT_EQ(direct_private.record, Bytes({2, 0, 0, 0, 'a', 0, 'l', 0, 2, 0, 0, 0, 'i', 0,   'p',
                                          0, 0, 0, 0, 0,   3, 0,   0, 0, 1, 0, 0, 0,   'x', 0}));

  Delivery virtual_private = BuildPrivateMessage(HostMode::kVirtualUser, u"", alice, u"x");
  EXPECT_EQ(virtual_private.code, 1061);
  EXPECT_EQ(virtual_private.record, Bytes({0, 0,   0, 0,   2, 0, 0, 0, 'a', 0, 'l', 0, 2, 0,   0,
                                           0, 'i', 0, 'p', 0, 0, 0, 0, 0,   1, 0,   0, 0, 'x', 0}));

  EXPECT_EQ(BuildStatus(true).code, 3);
  EXPECT_EQ(BuildStatus(true).record, Bytes({2, 0, 0, 0}));
  EXPECT_EQ(BuildStatus(false).record, Bytes({0, 0, 0, 0}));
  EXPECT_EQ(BuildUserPresence(alice, true).code, 1078);
  EXPECT_EQ(BuildUserPresence(alice, false).code, 1079);
  EXPECT_EQ(BuildUserPresence(alice, false).record,
            Bytes({2, 0, 0, 0, 'a', 0, 'l', 0, 2, 0, 0, 0, 'i', 0, 'p', 0, 0, 0, 0, 0}));
}

TEST(HostRecords, TextsAreCountedInUtf16UnitsNotBytes) {
  RecordWriter writer;
  writer.Text(u"Я\U0001F600").Int(-2);
  EXPECT_EQ(writer.Bytes(), Bytes({3, 0, 0, 0, 0x2F, 0x04, 0x3D, 0xD8, 0x00, 0xDE,  // 3 units
                                   0xFE, 0xFF, 0xFF, 0xFF}));                       // -2
  ByteReader reader(writer.Bytes());
  EXPECT_EQ(ReadRecordText(reader), u"Я\U0001F600");
  EXPECT_EQ(reader.ReadI32LE(), -2);
  EXPECT_FALSE(reader.Exhausted());
}

TEST(HostRecords, ReadingATextNeverPassesTheRecordsEnd) {
  struct Case {
    std::vector<std::uint8_t> bytes;
    std::u16string text;
    bool exhausted;
  };
  const Case cases[] = {
      {Bytes({0, 0, 0, 0}), u"", false},
      {Bytes({0xFF, 0xFF, 0xFF, 0xFF}), u"", false},         // negative count: empty
      {Bytes({2, 0, 0, 0, 'a', 0, 'b'}), u"", true},         // one byte short
      {Bytes({0xFF, 0xFF, 0xFF, 0x7F, 'a', 0}), u"", true},  // count far past the end
      {Bytes({0x00, 0x00, 0x00, 0x80}), u"", false},         // the most negative count
      {Bytes({1, 0}), u"", true},                            // the count itself cut
  };
  for (const auto& c : cases) {
    ByteReader reader(c.bytes);
    EXPECT_EQ(ReadRecordText(reader), c.text);
    EXPECT_EQ(reader.Exhausted(), c.exhausted);
    EXPECT_LE(reader.Position(), c.bytes.size());
  }
}

}  // namespace
}  // namespace morvane::console_host
