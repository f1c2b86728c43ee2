#include "scan/reply_templates.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "common/text.h"
#include "platform/platform.h"

namespace morvane {
namespace {

std::u16string Decimal(std::uint32_t value) { return AsciiToUtf16(std::to_string(value)); }

// A server's 8-bit value as it goes into a template: decoded from the ANSI
// code page first, so that the code page's own characters in 80 to 9F (“ ”
// Ђ љ in 1251) stay, and then cleaned.
std::u16string CleanAnsiValue(std::string_view value) {
  return CleanValueText(platform::FromAnsi(value));
}

std::u16string CleanValue(std::string_view value, TextCoding coding) {
  if (coding == TextCoding::kUtf8) return CleanValueText(Utf8ToUtf16(value));
  return CleanAnsiValue(value);
}

void AppendTwoDigits(std::string& out, std::int64_t value) {
  if (value < 10) out.push_back('0');
  out += std::to_string(value);
}

}  // namespace

std::u16string FillTemplate(std::u16string_view text, std::span<const Placeholder> fills) {
  std::u16string out;
  out.reserve(text.size());
  std::size_t at = 0;
  for (;;) {
    const std::size_t percent = text.find(u'%', at);
    if (percent == std::u16string_view::npos) {
      out.append(text.substr(at));
      return out;
    }
    out.append(text.substr(at, percent - at));
    const std::u16string_view rest = text.substr(percent);
    // Every placeholder ends in "%", so no two of them start alike: at most
    // one matches here.
    const auto match = std::find_if(fills.begin(), fills.end(), [rest](const Placeholder& fill) {
      return rest.starts_with(fill.name);
    });
    if (match == fills.end()) {
      out.push_back(u'%');
      at = percent + 1;
      continue;
    }
    out.append(match->value);
    at = percent + match->name.size();
  }
}

std::u16string FillSummary(std::u16string_view format, std::u16string_view address,
                           const ServerValues& values) {
  const std::u16string address_text = CleanValueText(address);
  const std::u16string name = CleanValue(values.name, values.coding);
  const std::u16string map = CleanValue(values.map, values.coding);
  const std::u16string mod = CleanValue(values.mod, values.coding);
  const std::u16string players = Decimal(values.players);
  const std::u16string max_players = Decimal(values.max_players);
  const std::u16string ping = AsciiToUtf16(std::to_string(values.ping_ms));
  const Placeholder fills[] = {
      {u"%pass%", values.password ? kPasswordMark : u""},
      {u"%addr%", address_text},
      {u"%name%", name},
      {u"%map%", map},
      {u"%pl%", players},
      {u"%plmax%", max_players},
      {u"%mod%", mod},
      {u"%ping%", ping},
  };
  return FillTemplate(format, fills);
}

std::u16string FillHeader(std::u16string_view pl_title, std::u16string_view address,
                          std::uint32_t players) {
  const std::u16string address_text = CleanValueText(address);
  const std::u16string count = Decimal(players);
  const Placeholder fills[] = {{u"%addr%", address_text}, {u"%pl%", count}};
  return FillTemplate(pl_title, fills);
}

std::u16string FillPlayerLine(std::u16string_view format, std::string_view name,
                              std::string_view score, std::string_view time, TextCoding coding) {
  const std::u16string name16 = CleanValue(name, coding);
  const std::u16string score16 = CleanValue(score, coding);
  const std::u16string time16 = CleanValue(time, coding);
  const Placeholder fills[] = {
      {u"%plname%", name16}, {u"%plscore%", score16}, {u"%pltime%", time16}};
  return FillTemplate(format, fills);
}

std::u16string FillMorePlayers(std::u16string_view format, std::u16string_view address,
                               std::size_t left_out) {
  const std::u16string address_text = CleanValueText(address);
  const std::u16string count = AsciiToUtf16(std::to_string(left_out));
  const Placeholder fills[] = {{u"%plmore%", count}, {u"%addr%", address_text}};
  return FillTemplate(format, fills);
}

std::u16string FillAddress(std::u16string_view text, std::u16string_view address) {
  const std::u16string address_text = CleanValueText(address);
  const Placeholder fills[] = {{u"%addr%", address_text}};
  return FillTemplate(text, fills);
}

std::u16string FillOffline(std::u16string_view text, std::u16string_view address) {
  const std::u16string address_text = CleanValueText(address);
  const Placeholder fills[] = {{u"%addr%", address_text}, {u"%ping%", u""}};
  return FillTemplate(text, fills);
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
  Add({PartKind::kPiece, std::u16string(piece)});
}

void ReplyText::AppendHeader(std::int32_t address_index, std::u16string_view header) {
  Add({PartKind::kHeader, std::u16string(header), address_index});
}

void ReplyText::AppendNoPlayers(std::u16string_view text) {
  Add({PartKind::kNoPlayers, std::u16string(text)});
}

void ReplyText::AppendPlayerLine(std::u16string_view line, bool first_of_reply) {
  Add({PartKind::kPlayerLine, std::u16string(line), 0, first_of_reply});
}

void ReplyText::Append(const ReplyText& other) {
  for (const Part& part : other.parts_) Add(part);
}

std::u16string_view ReplyText::JoinerBefore(const Part& part, bool text_empty) const {
  switch (part.kind) {
    case PartKind::kPiece:
      if (text_empty) return {};
      return request_.Delimiter;
    case PartKind::kHeader:
      if (part.address_index == 1) return {};
      return request_.Delimiter;
    case PartKind::kNoPlayers:
      return {};
    case PartKind::kPlayerLine:
      if (part.first_of_reply) return {};
      return request_.PlDelimiter;
  }
  return {};
}

void ReplyText::Add(Part part) {
  if (full_) return;
  // What the part adds here is never more than what it adds to the
  // request's whole reply: once this passes MaxReply, every later part would
  // be cut off the reply anyway, and is not kept.
  length_ += JoinerBefore(part, length_ == 0).size() + part.text.size();
  parts_.push_back(std::move(part));
  if (request_.MaxReply > 0 && length_ > static_cast<std::size_t>(request_.MaxReply)) full_ = true;
}

std::u16string ReplyText::Text() const {
  std::u16string text;
  for (const Part& part : parts_) {
    text += JoinerBefore(part, text.empty());
    text += part.text;
  }
  return text;
}

namespace {

constexpr std::u16string_view kLineBreak = u"\r\n";

bool IsHighSurrogate(char16_t c) { return c >= 0xD800 && c <= 0xDBFF; }

// The largest length up to `length` that does not split a surrogate pair.
std::size_t CharacterBoundary(std::u16string_view text, std::size_t length) {
  if (length >= text.size()) return text.size();
  if (length > 0 && IsHighSurrogate(text[length - 1])) return length - 1;
  return length;
}

}  // namespace

std::u16string CutReply(std::u16string text, std::int32_t max_reply, std::u16string_view marker) {
  if (max_reply <= 0 || text.size() <= static_cast<std::size_t>(max_reply)) return text;
  const auto limit = static_cast<std::size_t>(max_reply);
  // Not even the marker line fits: the marker alone, as much of it as fits.
  if (kLineBreak.size() + marker.size() > limit) {
    return std::u16string(marker.substr(0, CharacterBoundary(marker, limit)));
  }
  // The room for the reply's own text before the marker line.
  const std::size_t room = limit - kLineBreak.size() - marker.size();
  std::size_t kept = 0;
  std::size_t line_start = 0;
  for (;;) {
    const std::size_t line_feed = text.find(u'\n', line_start);
    // A line ends before its break, CR LF or a lone LF.
    std::size_t line_end = line_feed == std::u16string::npos ? text.size() : line_feed;
    if (line_end > line_start && text[line_end - 1] == u'\r') --line_end;
    if (line_end <= room && line_feed != std::u16string::npos) {
      kept = line_end;
      line_start = line_feed + 1;
      continue;
    }
    // The first line that does not fit. One that is longer than the whole
    // limit would never fit: as much of it as there is room for is kept.
    if (line_end - line_start > limit) {
      const std::size_t cut = CharacterBoundary(text, room);
      if (cut > line_start) kept = cut;
    }
    break;
  }
  text.erase(kept);
  text += kLineBreak;
  text += marker;
  return text;
}

}  // namespace morvane
