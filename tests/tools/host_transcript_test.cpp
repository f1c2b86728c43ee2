// The console host's reading of the plug-in's calls and the transcript lines
// it prints for them. The end-to-end tests compare these lines, and the
// records come from the plug-in, so a faulty record must show, not crash.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "console_host/chat_records.h"
#include "console_host/plugin_call.h"

namespace morvane::console_host {
namespace {

std::string Render(std::int32_t code, const RecordWriter& writer,
                   HostMode mode = HostMode::kDirect) {
  return RenderHostCall(DecodePluginCall(code, writer.Bytes()), u"host", mode);
}

TEST(HostTranscript, RendersEveryKnownCallAsAChatLine) {
  struct Case {
    std::int32_t code;
    RecordWriter record;
    HostMode mode;
    const char* expected;
  };
  const Case cases[] = {
      {50, RecordWriter().Text(u"main").Int(1).Text(u"pl"), HostMode::kDirect, "[#main] <host> pl"},
      {50, RecordWriter().Text(u"main").Int(0).Text(u"pl"), HostMode::kDirect,
       "[#main] <host> (type 0) pl"},
      {70, RecordWriter().Text(u"alice").Int(0).Text(u"hi"), HostMode::kDirect,
       "[@alice] <host> hi"},
      {61, RecordWriter().Text(u"main").Text(u"m3"), HostMode::kDirect, "[mode3 main] <host> m3"},
      {67, RecordWriter().Int(1).Text(u"main"), HostMode::kDirect, "* host joins #main"},
      {1020, RecordWriter().Text(u"Morvane").Int(1).Text(u"main").Text(u"x"), HostMode::kVirtualUser,
       "[#main] <Morvane> x"},
      {1022, RecordWriter().Text(u"Morvane").Int(0).Text(u"bob").Text(u"x"), HostMode::kVirtualUser,
       "[@bob] <Morvane> x"},
      {1023, RecordWriter().Text(u"Morvane").Text(u"bob").Text(u"x"), HostMode::kVirtualUser,
       "[mode3 bob] <Morvane> x"},
      {1026, RecordWriter().Text(u"Morvane").Text(u"main").Int(1).Int(0), HostMode::kVirtualUser,
       "* Morvane joins #main"},
      {1027, RecordWriter().Text(u"Morvane").Text(u"old"), HostMode::kVirtualUser,
       "* Morvane leaves #old"},
      {1001, RecordWriter().Text(u"Morvane").Text(u"N/A").Int(0).Text(u"secret").Int(0),
       HostMode::kVirtualUser, "* Morvane logs in (IP N/A)"},
      {1002, RecordWriter().Text(u"Old"), HostMode::kVirtualUser, "* Old logs out"},
      {4242, RecordWriter().Int(7).Int(8), HostMode::kDirect, "* host call 4242 (8 bytes)"},
      {-1, RecordWriter(), HostMode::kVirtualUser, "* host call -1 (0 bytes)"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Render(c.code, c.record, c.mode), c.expected) << "code " << c.code;
  }
}

TEST(HostTranscript, MultiLineTextsContinueUnderAMarker) {
  // A channel reply starts with the CR LF title, so its first line is empty.
  auto reply = RecordWriter().Text(u"main").Int(1).Text(u"\r\na  -  b\r\n\r\nc\rd\ne");
  EXPECT_EQ(Render(50, reply),
            "[#main] <host>\n"
            "  | a  -  b\n"
            "  |\n"
            "  | c\n"
            "  | d\n"
            "  | e");
}

TEST(HostTranscript, ControlCharactersAreShownNotSentToTheTerminal) {
  std::u16string text = u"a\x1B[31mb\tc";
  text.push_back(u'\0');
  text += u"\x7F\x9B";
  text.push_back(static_cast<char16_t>(0xD800));  // a lone surrogate
  auto record = RecordWriter().Text(u"ma\nin").Int(1).Text(text);
  EXPECT_EQ(Render(50, record), "[#ma\\x0Ain] <host> a\\x1B[31mb\tc\\x00\\x7F\\x9B\xEF\xBF\xBD");
  EXPECT_EQ(EscapeForTranscript(u"x\r\ny"), "x\\x0D\\x0Ay");
}

TEST(HostTranscript, FaultyRecordsAreMarkedAndNeverReadPastTheirEnd) {
  // Each record is cut at every byte: the decoder must stay inside it and the
  // line must say it was short.
  RecordWriter full;
  full.Text(u"Morvane").Int(1).Text(u"main").Text(u"report");
  const auto& bytes = full.Bytes();
  for (std::size_t cut = 0; cut < bytes.size(); ++cut) {
    std::vector<std::uint8_t> shorter(bytes.begin(), bytes.begin() + cut);
    PluginCall call = DecodePluginCall(1020, shorter);
    EXPECT_TRUE(call.short_record) << "cut at " << cut;
    EXPECT_EQ(call.extra_bytes, 0u);
    EXPECT_NE(RenderHostCall(call, u"host", HostMode::kVirtualUser).find("[short record]"),
              std::string::npos);
  }
  EXPECT_FALSE(DecodePluginCall(1020, bytes).short_record);

  // A count far larger than the record, and bytes past the last field.
  auto huge = RecordWriter().Text(u"main").Int(1).Int(0x7FFFFFFF).Int(0);
  EXPECT_EQ(Render(50, huge), "[#main] <host> [short record]");
  auto longer = RecordWriter().Int(1).Text(u"main").Int(9).Int(9);
  EXPECT_EQ(Render(67, longer), "* host joins #main [8 extra bytes]");
}

TEST(HostTranscript, ACodeOfTheOtherModeIsMarked) {
  EXPECT_EQ(Render(1027, RecordWriter().Text(u"V").Text(u"old"), HostMode::kDirect),
            "* V leaves #old [virtual-mode code in direct mode]");
  EXPECT_EQ(Render(67, RecordWriter().Int(1).Text(u"main"), HostMode::kVirtualUser),
            "* host joins #main [direct-mode code in virtual mode]");
}

}  // namespace
}  // namespace morvane::console_host
