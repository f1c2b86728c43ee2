// Reply templates: fills, joining rules and the time text.
#include <gtest/gtest.h>

#include "common/text.h"
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

TEST(Fills, SummaryFillsEveryPlaceholderOfTheTemplate) {
  const std::u16string format = u"%name% (%addr%) %pl%/%plmax% %map% %pass%";
  EXPECT_EQ(FillSummary(format, u"1.2.3.4:27016", Arena(true)),
            u"Arena (1.2.3.4:27016) 5/16 de_dust2 [pass]");
  EXPECT_EQ(FillSummary(format, u"1.2.3.4:27016", Arena(false)),
            u"Arena (1.2.3.4:27016) 5/16 de_dust2 ");

  ServerValues empty;
  EXPECT_EQ(FillSummary(u"[%name%][%map%][%mod%]", u"a", empty), u"[][][]");
  EXPECT_EQ(FillSummary(u"%pl%%plmax% %%pl% 100% %Name% %", u"a", Arena(false)),
            u"516 %5 100% %Name% %");
}

// A fill scanned what the step before had put in, so a server's value that
// held placeholders was expanded again: 250 x "%map%" in the name and
// 250 x "%mod%" in the map made a message of millions of characters. Values
// are copied as they are, whoever sent them.
TEST(Fills, ValuesPutInAreNeverFilledAgain) {
  ServerValues hostile = Arena(false);
  hostile.name = "X%map%";
  hostile.map = "%mod%%pl%";
  hostile.mod = "%addr%";
  EXPECT_EQ(FillSummary(u"%name%|%map%|%mod%", u"%name%:1", hostile), u"X%map%|%mod%%pl%|%addr%");
  EXPECT_EQ(FillSummary(u"%addr%", u"1.2.3.4:27015%name%", hostile), u"1.2.3.4:27015%name%");
  EXPECT_EQ(FillHeader(u"%addr% %pl%", u"h%pl%", 3), u"h%pl% 3");
  EXPECT_EQ(FillPlayerLine(u"%plname% %plscore% %pltime%", "%plscore%", "%pltime%", "%plname%"),
            u"%plscore% %pltime% %plname%");
  EXPECT_EQ(FillAddress(u"%addr%%addr%", u"%addr%"), u"%addr%%addr%");

  std::string many;
  for (int i = 0; i < 250; ++i) many += "%map%";
  hostile.name = many;
  hostile.map = std::string(250 * 5, '%');
  EXPECT_EQ(FillSummary(u"%name% %map%", u"a", hostile).size(), 2 * 1250u + 1);
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

// Kinds whose texts are UTF-8 keep every character, those that no code page
// holds included, are cleaned alike, and count players past 65535.
TEST(Fills, Utf8TextsAndFullCountsPassInFull) {
  ServerValues values;
  values.name = "\xE2\x9C\xAA Sky\nblock \xD0\x9C\xD0\xB8\xD1\x80";  // "✪ Sky", LF, "block Мир"
  values.coding = TextCoding::kUtf8;
  values.players = 26307;
  values.max_players = 200000;
  EXPECT_EQ(FillSummary(u"%name% %pl%/%plmax%", u"", values), u"✪ Sky block Мир 26307/200000");
  EXPECT_EQ(FillPlayerLine(u"%plname%|%plscore%", "\xE2\x98\x86Steve", "", "", TextCoding::kUtf8),
            u"☆Steve|");
  EXPECT_EQ(FillHeader(u"%pl%", u"", 200000), u"200000");
}

// Every value is cleaned once it is text: 93 94 80 9A, in the range of the
// C1 controls, are “ ” Ђ љ in 1251 and stay. The templates' own markup and
// line breaks stay as written.
TEST(Fills, ValuesAndTheTypedAddressAreCleanedTheTemplatesNot) {
  ServerValues values;
  values.name = std::string("\x93" "Arena\x94\r\n[b]x\0y", 15);
  values.map = "\x80\x9A";
  EXPECT_EQ(FillSummary(u"[b]%name%[/b]\r\n%map% %addr%", u"1.2.3.4\n[B]:1", values),
            u"[b]“Arena”  xy[/b]\r\nЂљ 1.2.3.4 :1");
  EXPECT_EQ(FillPlayerLine(u"%plname%|%plscore%|%pltime%", "A\nB", "1\t2", "[/b]"), u"A B|1 2|");
  EXPECT_EQ(FillHeader(u"%addr%", u"h\x01", 1), u"h");
  EXPECT_EQ(FillOffline(u"%addr% off", u"a\rb"), u"a b off");
  EXPECT_EQ(FillMorePlayers(u"+%plmore% (%addr%) %pl%", u"h\n", 7), u"+7 (h ) %pl%");
}

TEST(TimeText, HoursMinutesDotSeconds) {
  const struct {
    float seconds;
    const char* text;
  } cases[] = {
      {0.0f, "00:00:00"},       {-1.0f, "00:00:00"},   {-5.0f, "00:00:00"},
      {59.4f, "00:00.59"},      {59.6f, "00:01.00"},   {90.0f, "00:01.30"},
      {3599.0f, "00:59.59"},    {3600.0f, "01:00.00"}, {86399.0f, "23:59.59"},
      {360000.0f, "100:00.00"}, {0.5f, "00:00.00"},    {1.5f, "00:00.02"},
      {2.5f, "00:00.02"},       {125.0f, "00:02.05"},  {3725.0f, "01:02.05"},
  };
  for (const auto& c : cases) EXPECT_EQ(TimeText(c.seconds), c.text) << c.seconds;
  EXPECT_EQ(TimeText(std::numeric_limits<float>::quiet_NaN()), "00:00:00");
  EXPECT_EQ(TimeText(std::numeric_limits<float>::infinity()), "00:00:00");
  EXPECT_EQ(TimeText(1e19f), "00:00:00");
}

ScanRequest Request() {
  ScanRequest request;
  request.Delimiter = u" | ";
  request.PlDelimiter = u", ";
  return request;
}

TEST(ReplyText, PlainKindsJoinWithTheDelimiterEvenForAnEmptyPiece) {
  ScanRequest request = Request();
  ReplyText output(request);
  output.AppendPiece(u"a is offline");
  output.AppendPiece(u"b summary");
  output.AppendPiece(u"");
  EXPECT_EQ(output.Text(), u"a is offline | b summary | ");
}

TEST(ReplyText, PlayerListsJoinLinesAndServersDifferently) {
  ScanRequest request = Request();
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

// A reply of any length went to the host whole: one "/gs codpl" of 32 busy
// servers made a message of 10 MB. Replies are cut after their last whole
// line that fits, with the marker line, all within the limit.
TEST(CutReply, EndsWithTheLastWholeLineThatFitsAndTheMarker) {
  const std::u16string three = u"\r\nline one\r\nline two\r\nline three";  // 32 units
  const struct {
    std::u16string text;
    std::int32_t limit;
    std::u16string out;
  } cases[] = {
      {three, 0, three},
      {three, -1, three},
      {three, 32, three},
      {three, 31, u"\r\nline one\r\nline two\r\n[cut]"},
      {three, 27, u"\r\nline one\r\nline two\r\n[cut]"},
      {three, 26, u"\r\nline one\r\n[cut]"},
      {three, 8, u"\r\n[cut]"},  // the empty title line alone fits
      {u"one\ntwo\nthree and more", 14, u"one\ntwo\r\n[cut]"},  // a lone LF is a break too
      // A line longer than the whole limit is cut to the room left.
      {u"\r\n" + std::u16string(40, u'x'), 20, u"\r\n" + std::u16string(11, u'x') + u"\r\n[cut]"},
      {std::u16string(40, u'x'), 20, std::u16string(13, u'x') + u"\r\n[cut]"},
      // ... but never between the two halves of a character.
      {std::u16string(9, u'x') + u"\U0001F642" + u"yyyyyyy", 17,
       std::u16string(9, u'x') + u"\r\n[cut]"},
      {std::u16string(10, u'x') + u"\U0001F642" + u"yyyyyy", 17,
       std::u16string(10, u'x') + u"\r\n[cut]"},
      // Not even the marker line fits: as much of the marker as does.
      {three, 6, u"[cut]"},
      {three, 3, u"[cu"},
  };
  for (const auto& c : cases) {
    const std::u16string out = CutReply(c.text, c.limit, u"[cut]");
    EXPECT_EQ(out, c.out) << Utf16ToUtf8(c.text) << " to " << c.limit;
    if (c.limit > 0) {
      EXPECT_LE(out.size(), static_cast<std::size_t>(c.limit));
    }
  }
}

// The whole reply was built before it was cut, so a flood of long player
// lists took memory without bound: a ReplyText keeps no part that starts
// past the limit.
TEST(ReplyText, KeepsNothingPastMaxReply) {
  ScanRequest request = Request();
  request.MaxReply = 100;
  ReplyText item(request);
  for (int i = 0; i < 1000; ++i) item.AppendPlayerLine(std::u16string(30, u'p'), i == 0);
  EXPECT_EQ(item.Text().size(), 4 * 30 + 3 * 2u) << "the part that passes the limit is kept";
  ReplyText whole(request);
  whole.AppendPiece(std::u16string(90, u's'));
  whole.Append(item);
  EXPECT_EQ(whole.Text().size(), 90 + 30u);
}

}  // namespace
}  // namespace morvane
