// The bridge's identity on a network: the capabilities it negotiates, the
// nick it falls back on, and whom it trusts to reload the plug-in.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "irc/admin_trust.h"
#include "irc/capabilities.h"
#include "irc/nick_choice.h"
#include "irc/sasl.h"

namespace morvane::irc {
namespace {

using Lines = std::vector<std::string>;

Lines Cap(CapNegotiator& caps, const std::string& line) { return caps.OnCap(*ParseIrcLine(line)); }

TEST(Capabilities, RequestsWhatIsUsedAndEndsAfterSasl) {
  CapNegotiator caps("plain");
  EXPECT_EQ(caps.Begin(), "CAP LS 302");
  // A listing over two lines; sasl names its mechanisms.
  EXPECT_EQ(Cap(caps, ":s CAP * LS * :multi-prefix sasl=EXTERNAL,PLAIN chghost"), Lines{});
  EXPECT_EQ(Cap(caps, ":s CAP * LS :account-tag batch"),
            (Lines{"CAP REQ :multi-prefix sasl account-tag"}));
  EXPECT_EQ(Cap(caps, ":s CAP * ACK :multi-prefix sasl account-tag"), Lines{});
  EXPECT_TRUE(caps.SaslReady());
  caps.SaslStarted();
  EXPECT_EQ(caps.SaslDone(), Lines{"CAP END"});
  EXPECT_TRUE(caps.Enabled("account-tag"));
  // Later offers and withdrawals.
  EXPECT_EQ(Cap(caps, ":s CAP bot NEW :away-notify foo"), Lines{"CAP REQ :away-notify"});
  EXPECT_EQ(Cap(caps, ":s CAP bot ACK :away-notify"), Lines{});
  Cap(caps, ":s CAP bot DEL :account-tag");
  EXPECT_FALSE(caps.Enabled("account-tag"));
}

TEST(Capabilities, EndsWithoutWhatIsRefusedOrMissing) {
  CapNegotiator caps("PLAIN");
  caps.Begin();
  // A mechanism the server lacks: no sasl asked, nothing else to ask.
  EXPECT_EQ(Cap(caps, ":s CAP * LS :sasl=EXTERNAL batch"), Lines{"CAP END"});
  caps.Begin();
  EXPECT_EQ(Cap(caps, ":s CAP * LS :server-time extended-join"),
            Lines{"CAP REQ :server-time extended-join"});
  // A refused request is asked again cap by cap; the end waits for all.
  EXPECT_EQ(Cap(caps, ":s CAP * NAK :server-time extended-join"),
            (Lines{"CAP REQ :server-time", "CAP REQ :extended-join"}));
  EXPECT_EQ(Cap(caps, ":s CAP * NAK :server-time"), Lines{});
  EXPECT_EQ(Cap(caps, ":s CAP * ACK :extended-join"), Lines{"CAP END"});
  EXPECT_TRUE(caps.Ended());
}

TEST(Sasl, PlainAnswerInPiecesOf400) {
  EXPECT_EQ(AuthenticateLines(SaslPlainAnswer("bot", "pw")),
            Lines{"AUTHENTICATE Ym90AGJvdABwdw=="});
  EXPECT_EQ(AuthenticateLines(""), Lines{"AUTHENTICATE +"});
  // 300 bytes are 400 characters of base64: a full piece, then "+".
  Lines lines = AuthenticateLines(std::string(300, 'x'));
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0].size(), 13u + 400u);
  EXPECT_EQ(lines[1], "AUTHENTICATE +");
  EXPECT_EQ(AuthenticateLines(std::string(301, 'x')).size(), 2u);
}

TEST(NickChoice, VariantsStayWithinTheServersLength) {
  struct Case {
    std::string wanted;
    std::size_t max_length;
    Lines taken;  // what follows each "in use"
  } cases[] = {
      {"Morvane", 0, {"Morvane_", "Morvane__", "Morvane1", "Morvane2"}},
      {"Morvane", 8, {"Morvane_", "Morvan__", "Morvane1"}},
      {"abcdefghij", 10, {"abcdefghi_", "abcdefgh__", "abcdefghi1"}},
  };
  for (const auto& c : cases) {
    NickChooser chooser(c.wanted, "Morvane");
    chooser.SetMaxLength(c.max_length);
    EXPECT_EQ(chooser.Restart(), c.wanted);
    for (const auto& next : c.taken) EXPECT_EQ(chooser.Taken(), next) << c.wanted;
  }
  // Before NICKLEN is known, a variant refused for its length is cut to
  // the wanted nick's length.
  NickChooser chooser(std::string(30, 'n'), "Morvane");
  chooser.Restart();
  EXPECT_EQ(chooser.Taken(), std::string(30, 'n') + "_");
  EXPECT_EQ(chooser.Refused(), std::string(29, 'n') + "_");
  EXPECT_EQ(chooser.Taken(), std::string(28, 'n') + "__");
}

TEST(NickChoice, RefusedNicksGetAValidFormThenTheFallback) {
  EXPECT_EQ(ValidNickForm("Морвейн"), "Morvejn");
  EXPECT_EQ(ValidNickForm("Щука Ёж-2"), "SchukaEzh-2");
  EXPECT_EQ(ValidNickForm("9-Bot ü"), "Bot");
  EXPECT_EQ(ValidNickForm("日本"), "");

  NickChooser cyrillic("Морвейн", "host_v");
  cyrillic.Restart();
  EXPECT_EQ(cyrillic.Refused(), "Morvejn");
  EXPECT_EQ(cyrillic.Wanted(), "Morvejn");
  EXPECT_EQ(cyrillic.Taken(), "Morvejn_");

  NickChooser nothing("日本", "host_v");
  nothing.Restart();
  EXPECT_EQ(nothing.Refused(), "host_v");
  EXPECT_EQ(nothing.Refused(), "host_v1");
  EXPECT_EQ(nothing.Refused(), "host_v2");
  EXPECT_EQ(nothing.Restart(), "日本");
}

TEST(AdminTrust, AccountsAndMasks) {
  const std::vector<std::string> accounts = {"Boss"};
  const std::vector<std::string> masks = {"*!*@staff.example.net", "ops?!~op@10.0.0.*"};
  struct Case {
    const char* prefix;
    const char* account;
    bool trusted;
  } cases[] = {
      {"boss!u@h", "", false},  // the nick alone proves nothing
      {"anyone!u@h", "boss", true},
      {"boss!u@h", "bossy", false},
      {"x!y@STAFF.example.NET", "", true},
      {"x!y@evil.staff.example.net.com", "", false},
      {"ops1!~op@10.0.0.7", "", true},
      {"ops12!~op@10.0.0.7", "", false},
      {"staff.example.net", "", false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(IsTrustedAdmin(c.prefix, c.account, accounts, masks), c.trusted) << c.prefix;
  }
  EXPECT_TRUE(IsReloadRequest("!RELOAD", "!"));
  EXPECT_TRUE(IsReloadRequest("/reload", "!"));
  EXPECT_FALSE(IsReloadRequest("!reload now", "!"));
}

TEST(AdminTrust, TracksAccountsFromJoinsAndNotices) {
  AccountTracker tracker;
  auto note = [&](const char* line) { tracker.Note(*ParseIrcLine(line)); };
  auto of = [&](const char* line, bool tags, bool notify) {
    return tracker.AccountOf(*ParseIrcLine(line), tags, notify);
  };
  note(":boss!u@h JOIN #main boss :Real Name");
  note(":eve!u@h JOIN #main * :Eve");
  EXPECT_EQ(of(":boss!u@h PRIVMSG bot :!reload", false, true), "boss");
  EXPECT_EQ(of(":boss!u@h PRIVMSG bot :!reload", false, false), "");
  EXPECT_EQ(of(":eve!u@h PRIVMSG bot :!reload", false, true), "");
  note(":boss!u@h NICK Boss2");
  EXPECT_EQ(of(":boss2!u@h PRIVMSG bot :x", false, true), "boss");
  note(":Boss2!u@h ACCOUNT *");
  EXPECT_EQ(of(":boss2!u@h PRIVMSG bot :x", false, true), "");
  // With account-tag, the tag alone counts, escapes undone.
  EXPECT_EQ(of("@account=a\\sb :eve!u@h PRIVMSG bot :x", true, true), "a b");
  EXPECT_EQ(of(":boss!u@h PRIVMSG bot :x", true, true), "");
}

}  // namespace
}  // namespace morvane::irc
