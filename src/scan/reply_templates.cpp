#include "scan/reply_templates.h"

#include <cmath>
#include <cstdio>

#include "common/text.h"
#include "platform/platform.h"

namespace morvane {
namespace {

std::u16string Decimal(std::uint32_t value) { return AsciiToUtf16(std::to_string(value)); }

void AppendTwoDigits(std::string& out, std::int64_t value) {
  if (value < 10) out.push_back('0');
  out += std::to_string(value);
}

}  // namespace

std::u16string ReplacePlaceholder(std::u16string_view text, std::u16string_view placeholder,
                                  std::u16string_view value) {
  return ReplaceAll(text, placeholder, value);
}

std::u16string FillSummary(std::u16string_view format, std::u16string_view address,
                           const ServerValues& values) {
  std::u16string text = ReplacePlaceholder(format, u"%pass%", values.password ? kPasswordMark : u"");
  text = ReplacePlaceholder(text, u"%addr%", address);
  text = ReplacePlaceholder(text, u"%name%", platform::FromAnsi(values.name));
  text = ReplacePlaceholder(text, u"%map%", platform::FromAnsi(values.map));
  text = ReplacePlaceholder(text, u"%pl%", Decimal(values.players));
  text = ReplacePlaceholder(text, u"%plmax%", Decimal(values.max_players));
  return ReplacePlaceholder(text, u"%mod%", platform::FromAnsi(values.mod));
}

std::u16string FillHeader(std::u16string_view pl_title, std::u16string_view address,
                          std::uint16_t players) {
  std::u16string text = ReplacePlaceholder(pl_title, u"%addr%", address);
  return ReplacePlaceholder(text, u"%pl%", Decimal(players));
}

std::u16string FillPlayerLine(std::u16string_view format, std::string_view name,
                              std::string_view score, std::string_view time) {
  std::u16string text = ReplacePlaceholder(format, u"%plname%", platform::FromAnsi(name));
  text = ReplacePlaceholder(text, u"%plscore%", platform::FromAnsi(score));
  return ReplacePlaceholder(text, u"%pltime%", platform::FromAnsi(time));
}

std::u16string FillAddress(std::u16string_view text, std::u16string_view address) {
  return ReplacePlaceholder(text, u"%addr%", address);
}

std::string TimeText(float seconds) {
  constexpr double kLimit = 9223372036854775808.0;  // 2^63
  const double s = seconds;
  if (s == 0 || s < 0 || !std::isfinite(s) || std::fabs(s) >= kLimit) return "00:00:00";
  // Halves go to the even neighbour, as the default rounding mode does.
  const auto total = static_cast<std::int64_t>(std::nearbyint(s));
  std::string out;
  AppendTwoDigits(out, total / 3600);
  out.push_back(':');
  AppendTwoDigits(out, (total / 60) % 60);
  out.push_back('.');
  AppendTwoDigits(out, total % 60);
  return out;
}

void ReplyText::AppendPiece(std::u16string_view piece) {
  if (!text_.empty()) text_ += request_.Delimiter;
  text_ += piece;
}

void ReplyText::AppendHeader(std::int32_t address_index, std::u16string_view header) {
  if (address_index != 1) text_ += request_.Delimiter;
  text_ += header;
}

void ReplyText::AppendNoPlayers() { text_ += kNoPlayersText; }

void ReplyText::AppendPlayerLine(std::u16string_view line, bool first_of_reply) {
  if (!first_of_reply) text_ += request_.PlDelimiter;
  text_ += line;
}

}  // namespace morvane
