// Placeholders that a template holds but its fill never replaces: a word in
// percent signs that is no placeholder at all (the plug-in's are written in
// small letters), or one that another template takes (the player's name in a
// summary, the round trip in a player line). Such a word stays in the reply
// as written.
#include <algorithm>
#include <array>
#include <string>

#include "ini/settings_report_builder.h"

namespace morvane::report_detail {
namespace {

constexpr std::array<std::u16string_view, 12> kPlaceholders = {
    u"addr", u"name",   u"map",     u"pl",     u"plmax", u"mod",
    u"pass", u"ping",   u"plname",  u"plscore", u"pltime", u"plmore"};

std::span<const std::u16string_view> TakenBy(TemplateRole role) {
  static constexpr std::u16string_view kSummary[] = {u"pass", u"addr",  u"name", u"map",
                                                     u"pl",   u"plmax", u"mod",  u"ping"};
  static constexpr std::u16string_view kHeader[] = {u"addr", u"pl"};
  static constexpr std::u16string_view kPlayerLine[] = {u"plname", u"plscore", u"pltime"};
  static constexpr std::u16string_view kOnline[] = {u"addr"};
  static constexpr std::u16string_view kOffline[] = {u"addr", u"ping"};
  static constexpr std::u16string_view kMorePlayers[] = {u"plmore", u"addr"};
  switch (role) {
    case TemplateRole::kSummary:
      return kSummary;
    case TemplateRole::kHeader:
      return kHeader;
    case TemplateRole::kPlayerLine:
      return kPlayerLine;
    case TemplateRole::kOnline:
      return kOnline;
    case TemplateRole::kOffline:
      return kOffline;
    case TemplateRole::kMorePlayers:
      return kMorePlayers;
    case TemplateRole::kFixed:
      return {};
  }
  return {};
}

std::string TakenList(TemplateRole role) {
  if (TakenBy(role).empty()) return "no placeholder";
  std::string list;
  for (std::u16string_view word : TakenBy(role)) {
    if (!list.empty()) list += ", ";
    list += "%" + U8(word) + "%";
  }
  return list;
}

bool IsLetter(char16_t c) { return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z'); }

}  // namespace

TemplateRole FormatRoleOfGame(std::u16string_view game) {
  if (game == u"tcp") return TemplateRole::kOnline;
  if (game.ends_with(u"pl")) return TemplateRole::kPlayerLine;
  return TemplateRole::kSummary;
}

void ReportBuilder::CheckPlaceholders(std::u16string_view section, std::u16string_view key,
                                      std::u16string_view text, TemplateRole role) {
  const auto taken = TakenBy(role);
  std::vector<std::u16string_view> seen;
  for (std::size_t at = text.find(u'%'); at != std::u16string_view::npos;
       at = text.find(u'%', at + 1)) {
    std::size_t end = at + 1;
    while (end < text.size() && IsLetter(text[end])) ++end;
    if (end == at + 1 || end >= text.size() || text[end] != u'%') continue;
    const std::u16string_view word = text.substr(at + 1, end - at - 1);
    if (std::find(taken.begin(), taken.end(), word) != taken.end()) continue;
    if (std::find(seen.begin(), seen.end(), word) != seen.end()) continue;
    seen.push_back(word);
    const std::string quoted = Quoted(u"%" + std::u16string(word) + u"%");
    const bool known =
        std::find(kPlaceholders.begin(), kPlaceholders.end(), word) != kPlaceholders.end();
    const std::u16string lowered = LowerAsciiLetters(word);
    std::string text_of_finding =
        known ? quoted + " is not filled in here and stays as written; this text takes " +
                    TakenList(role) + "."
              : quoted + " is no placeholder and stays as written.";
    if (!known &&
        std::find(kPlaceholders.begin(), kPlaceholders.end(), lowered) != kPlaceholders.end()) {
      text_of_finding += " Placeholders are written in small letters: %" + U8(lowered) + "%.";
    }
    Add(Severity::kWarning, FindingKind::kPlaceholder, Where(section, key), text_of_finding);
    // The rest of the word's text is looked at again from its closing sign.
    at = end - 1;
  }
}

}  // namespace morvane::report_detail
