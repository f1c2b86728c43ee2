#include "scan/reply_templates.h"

#include <algorithm>
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
  const std::u16string name = platform::FromAnsi(values.name);
  const std::u16string map = platform::FromAnsi(values.map);
  const std::u16string mod = platform::FromAnsi(values.mod);
  const std::u16string players = Decimal(values.players);
  const std::u16string max_players = Decimal(values.max_players);
  const std::u16string ping = AsciiToUtf16(std::to_string(values.ping_ms));
  const Placeholder fills[] = {
      {u"%pass%", values.password ? kPasswordMark : u""},
      {u"%addr%", address},
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
                          std::uint16_t players) {
  const std::u16string count = Decimal(players);
  const Placeholder fills[] = {{u"%addr%", address}, {u"%pl%", count}};
  return FillTemplate(pl_title, fills);
}

std::u16string FillPlayerLine(std::u16string_view format, std::string_view name,
                              std::string_view score, std::string_view time) {
  const std::u16string name16 = platform::FromAnsi(name);
  const std::u16string score16 = platform::FromAnsi(score);
  const std::u16string time16 = platform::FromAnsi(time);
  const Placeholder fills[] = {
      {u"%plname%", name16}, {u"%plscore%", score16}, {u"%pltime%", time16}};
  return FillTemplate(format, fills);
}

std::u16string FillAddress(std::u16string_view text, std::u16string_view address) {
  const Placeholder fills[] = {{u"%addr%", address}};
  return FillTemplate(text, fills);
}

std::u16string FillOffline(std::u16string_view text, std::u16string_view address) {
  const Placeholder fills[] = {{u"%addr%", address}, {u"%ping%", u""}};
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
  parts_.push_back({PartKind::kPiece, std::u16string(piece)});
}

void ReplyText::AppendHeader(std::int32_t address_index, std::u16string_view header) {
  parts_.push_back({PartKind::kHeader, std::u16string(header), address_index});
}

void ReplyText::AppendNoPlayers() { parts_.push_back({PartKind::kNoPlayers, kNoPlayersText}); }

void ReplyText::AppendPlayerLine(std::u16string_view line, bool first_of_reply) {
  parts_.push_back({PartKind::kPlayerLine, std::u16string(line), 0, first_of_reply});
}

void ReplyText::Append(const ReplyText& other) {
  parts_.insert(parts_.end(), other.parts_.begin(), other.parts_.end());
}

std::u16string ReplyText::Text() const {
  std::u16string text;
  for (const Part& part : parts_) {
    switch (part.kind) {
      case PartKind::kPiece:
        if (!text.empty()) text += request_.Delimiter;
        break;
      case PartKind::kHeader:
        if (part.address_index != 1) text += request_.Delimiter;
        break;
      case PartKind::kNoPlayers:
        break;
      case PartKind::kPlayerLine:
        if (!part.first_of_reply) text += request_.PlDelimiter;
        break;
    }
    text += part.text;
  }
  return text;
}

}  // namespace morvane
