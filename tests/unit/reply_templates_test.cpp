// Reply templates: fills, joining rules and the time text.
#include <gtest/gtest.h>

#include "scan/reply_templates.h"

namespace morvane {
namespace {

ServerValues Arena(bool password) {
  ServerValues values;
  values.name = "Arena";
  values.map = "de_dust2";
  values.mod = "Counter-Strike";
  values.players = 5;
  values.max_players = 16;
  values.password = password;
  return values;
}

TEST(Fills, SummaryReplacesInOrderSoValuesMayHoldLaterPlaceholders) {
  const std::u16string format = u"%name% (%addr%) %pl%/%plmax% %map% %pass%";
  EXPECT_EQ(FillSummary(format, u"1.2.3.4:27016", Arena(true)),
            u"Arena (1.2.3.4:27016) 5/16 de_dust2 [pass]");
  EXPECT_EQ(FillSummary(format, u"1.2.3.4:27016", Arena(false)),
            u"Arena (1.2.3.4:27016) 5/16 de_dust2 ");

  ServerValues tricky = Arena(false);
  tricky.name = "%map% on %pass%";  // %map% comes later and is replaced; %pass% came earlier
  EXPECT_EQ(FillSummary(u"%name%|%pl%|%pl%|%Name%", u"a", tricky), u"de_dust2 on %pass%|5|5|%Name%");
  ServerValues empty;
  EXPECT_EQ(FillSummary(u"[%name%][%map%][%mod%]", u"a", empty), u"[][][]");
}

TEST(Fills, OfflineAndOnlineReplaceTheAddressOnly) {
  EXPECT_EQ(FillAddress(u"%addr% is down %name%", u"1.2.3.4"), u"1.2.3.4 is down %name%");
  EXPECT_EQ(FillHeader(u"%addr% (%pl%) %plmax%", u"h:1", 3), u"h:1 (3) %plmax%");
  EXPECT_EQ(FillPlayerLine(u"%pltime% - %plscore% - %plname%", "Ann", "-3", "00:02.05"),
            u"00:02.05 - -3 - Ann");
}

TEST(Fills, ServerTextsAreReadInTheAnsiCodePage) {
  ServerValues values;
  values.name = "\xCF\xF0\xE8\xE2\xE5\xF2";  // "Привет" in Windows-1251, the default here
  EXPECT_EQ(FillSummary(u"%name%", u"", values), u"Привет");
}

TEST(TimeText, HoursMinutesDotSeconds) {
  const struct {
    float seconds;
    const char* text;
  } cases[] = {
      {0.0f, "00:00:00"},     {-1.0f, "00:00:00"},    {-5.0f, "00:00:00"},
      {59.4f, "00:00.59"},    {59.6f, "00:01.00"},    {90.0f, "00:01.30"},
      {3599.0f, "00:59.59"},  {3600.0f, "01:00.00"},  {86399.0f, "23:59.59"},
      {360000.0f, "100:00.00"}, {0.5f, "00:00.00"},   {1.5f, "00:00.02"},
      {2.5f, "00:00.02"},     {125.0f, "00:02.05"},   {3725.0f, "01:02.05"},
  };
  for (const auto& c : cases) EXPECT_EQ(TimeText(c.seconds), c.text) << c.seconds;
  EXPECT_EQ(TimeText(std::numeric_limits<float>::quiet_NaN()), "00:00:00");
  EXPECT_EQ(TimeText(std::numeric_limits<float>::infinity()), "00:00:00");
  EXPECT_EQ(TimeText(1e19f), "00:00:00");
}

TScanItem Request() {
  TScanItem request;
  request.Delimiter = u" | ";
  request.PlDelimiter = u", ";
  return request;
}

TEST(ReplyText, PlainKindsJoinWithTheDelimiterEvenForAnEmptyPiece) {
  TScanItem request = Request();
  ReplyText output(request);
  output.AppendPiece(u"a is offline");
  output.AppendPiece(u"b summary");
  output.AppendPiece(u"");
  EXPECT_EQ(output.Text(), u"a is offline | b summary | ");
}

TEST(ReplyText, PlayerListsJoinLinesAndServersDifferently) {
  TScanItem request = Request();
  ReplyText output(request);
  output.AppendHeader(1, u"H1:");
  output.AppendPlayerLine(u"Ann", true);
  output.AppendPlayerLine(u"Bob", false);
  output.AppendHeader(2, u"H2:");
  output.AppendNoPlayers();
  EXPECT_EQ(output.Text(), u"H1:Ann, Bob | H2:Нет игроков");

  // Without headers the second server's first line follows with no joiner.
  ReplyText bare(request);
  bare.AppendPlayerLine(u"Ann", true);
  bare.AppendPlayerLine(u"Cid", true);
  EXPECT_EQ(bare.Text(), u"AnnCid");

  // A header for a later item gets the delimiter even when nothing came before.
  ReplyText late(request);
  late.AppendHeader(2, u"H2:");
  EXPECT_EQ(late.Text(), u" | H2:");
}

}  // namespace
}  // namespace morvane
