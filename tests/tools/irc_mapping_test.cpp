// Host codes to IRC actions and IRC messages to the plug-in's records.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/byte_reader.h"
#include "console_host/chat_records.h"
#include "irc/code_mapping.h"

namespace morvane::irc {
namespace {

using console_host::HostMode;
using console_host::RecordWriter;
using Kind = IrcAction::Kind;

IrcAction Map(std::int32_t code, const RecordWriter& record, HostMode mode) {
  return MapHostCall(console_host::DecodePluginCall(code, record.Bytes()), mode);
}

TEST(IrcMapping, HostCallsBecomeActionsOfTheirMode) {
  struct Case {
    std::int32_t code;
    RecordWriter record;
    HostMode mode;
    Kind kind;
    const char* command;
    TargetKind target_kind;
    std::u16string user;
    std::u16string target;
  } cases[] = {
      {50, RecordWriter().Text(u"main").Int(1).Text(u"hi"), HostMode::kDirect, Kind::kSay,
       "PRIVMSG", TargetKind::kChannel, u"", u"main"},
      {61, RecordWriter().Text(u"games").Text(u"hi"), HostMode::kDirect, Kind::kSay, "NOTICE",
       TargetKind::kChannelOrUser, u"", u"games"},
      {1020, RecordWriter().Text(u"Bot").Int(1).Text(u"main").Text(u"hi"), HostMode::kVirtualUser,
       Kind::kSay, "PRIVMSG", TargetKind::kChannel, u"Bot", u"main"},
      {1026, RecordWriter().Text(u"Bot").Text(u"main").Int(1).Int(0), HostMode::kVirtualUser,
       Kind::kJoin, "", TargetKind::kChannel, u"Bot", u"main"},
      // A code of the other mode does nothing.
      {50, RecordWriter().Text(u"main").Int(1).Text(u"hi"), HostMode::kVirtualUser, Kind::kIgnore, "",
       TargetKind::kChannel, u"", u""},
      {1026, RecordWriter().Text(u"Bot").Text(u"main").Int(1).Int(0), HostMode::kDirect,
       Kind::kIgnore, "", TargetKind::kChannel, u"", u""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.code);
    IrcAction action = Map(c.code, c.record, c.mode);
    EXPECT_EQ(action.kind, c.kind);
    if (action.kind == Kind::kIgnore) {
      EXPECT_FALSE(action.note.empty());
      continue;
    }
    EXPECT_EQ(action.command, c.command);
    EXPECT_EQ(action.user, c.user);
    EXPECT_EQ(action.target, c.target);
    if (action.kind == Kind::kSay) {
      EXPECT_EQ(action.target_kind, c.target_kind);
      EXPECT_EQ(action.text, u"hi");
    }
  }
}

TEST(IrcMapping, NamesThatCannotBeTargetsAreRefused) {
  EXPECT_EQ(IrcChannelName(u"main"), "#main");
  EXPECT_EQ(IrcChannelName(u"игры"), "#игры");
  for (const char16_t* bad : {u"", u"a b", u"a,b", u"a\r\nQUIT :x", u"a\x07"}) {
    EXPECT_EQ(IrcChannelName(bad), "");
  }
  EXPECT_EQ(IrcNickName(u"alice"), "alice");
  for (const char16_t* bad : {u"", u"#main", u":x", u"a b", u"a,b"})
    EXPECT_EQ(IrcNickName(bad), "");
}

// The fields of a delivered record, as the plug-in reads them.
struct Delivered {
  std::int32_t code = 0;
  std::vector<std::u16string> texts;  // every text field, in order
};

Delivered Read(const console_host::Delivery& delivery) {
  Delivered out{delivery.code, {}};
  ByteReader reader(delivery.record);
  // 5: user(name, ip, icon) channel int text; 1070: addressee, then as 5;
  // 10: user kind text; 1061: addressee user text.
  auto text = [&] { out.texts.push_back(console_host::ReadRecordText(reader)); };
  if (delivery.code == 1070 || delivery.code == 1061) text();
  text();
  text();
  reader.ReadI32LE();  // the sender's icon
  if (delivery.code == 5 || delivery.code == 1070) {
    text();
    reader.ReadI32LE();
  }
  if (delivery.code == 10) {
    EXPECT_EQ(reader.ReadI32LE(), 3);
  }
  text();
  EXPECT_TRUE(reader.AtEnd());
  return out;
}

TEST(IrcMapping, MessagesReachThePluginAsItsRecords) {
  const std::vector<std::u16string> joined = {u"Main", u"games"};
  struct Case {
    std::string line;
    HostMode mode;
    std::int32_t code;  // 0: nothing is delivered
    std::vector<std::u16string> texts;
  } cases[] = {
      {":alice!~a@10.0.0.5 PRIVMSG #main :!gs hl 1.2.3.4",
       HostMode::kDirect,
       5,
       {u"alice", u"10.0.0.5", u"Main", u"/gs hl 1.2.3.4"}},
      {":alice!~a@10.0.0.5 PRIVMSG #Games :!servers",
       HostMode::kDirect,
       5,
       {u"alice", u"10.0.0.5", u"games", u"!servers"}},
      {":bob!b@h PRIVMSG #other :привет",
       HostMode::kDirect,
       5,
       {u"bob", u"h", u"other", u"привет"}},
      {":bob!b@h PRIVMSG MorvaneBot :!reload", HostMode::kDirect, 10, {u"bob", u"h", u"/reload"}},
      {":alice!a@h PRIVMSG #main :!gs sa x",
       HostMode::kVirtualUser,
       1070,
       {u"Bot", u"alice", u"h", u"Main", u"/gs sa x"}},
      {":alice!a@h PRIVMSG morvanebot :hi",
       HostMode::kVirtualUser,
       1061,
       {u"Bot", u"alice", u"h", u"hi"}},
      // Not chat text for the plug-in: CTCP, notices, other targets and
      // commands, a message without a sender.
      {":alice!a@h PRIVMSG #main :\x01VERSION\x01", HostMode::kDirect, 0, {}},
      {":alice!a@h NOTICE #main :!gs hl x", HostMode::kDirect, 0, {}},
      {":alice!a@h PRIVMSG someone :!gs hl x", HostMode::kDirect, 0, {}},
      {":alice!a@h PRIVMSG &local :x", HostMode::kDirect, 0, {}},
      {":alice!a@h JOIN #main", HostMode::kDirect, 0, {}},
      {":alice!a@h PRIVMSG #main", HostMode::kDirect, 0, {}},
      {"PRIVMSG #main :x", HostMode::kDirect, 0, {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.line);
    auto message = ParseIrcLine(c.line);
    ASSERT_TRUE(message);
    IncomingContext context{c.mode, u"Bot", "MorvaneBot", "!", joined};
    auto delivery = MapIrcMessage(*message, context);
    ASSERT_EQ(delivery.has_value(), c.code != 0);
    if (!delivery) continue;
    Delivered got = Read(*delivery);
    EXPECT_EQ(got.code, c.code);
    EXPECT_EQ(got.texts, c.texts);
  }
}

}  // namespace
}  // namespace morvane::irc
