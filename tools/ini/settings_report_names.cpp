#include "ini/settings_report_names.h"

#include <algorithm>
#include <array>
#include <optional>
#include <string>
#include <utility>

#include "common/text.h"
#include "settings/settings_keys.h"

namespace morvane {
namespace {

constexpr std::u16string_view kEventPrefix = u"event_";

// A section header no settings file holds: the noncharacters U+FDD0 and
// U+FDD1 never stand in text. Put in front of the text, it collects the
// lines before the file's first section, which the parser otherwise drops.
constexpr std::u16string_view kPreludeHeader = u"[\uFDD0 before the first section \uFDD1]\n";
constexpr std::u16string_view kPreludeName = u"\uFDD0 before the first section \uFDD1";

enum class SectionKind { kMain, kVirtUser, kEvent, kMisnumberedEvent, kOther };

struct SectionClass {
  SectionKind kind = SectionKind::kOther;
  std::size_t number = 0;  // kEvent and kMisnumberedEvent
};

std::string U8(std::u16string_view text) { return Utf16ToUtf8(text); }
std::string Quoted(std::u16string_view text) { return "\"" + U8(text) + "\""; }

// The plug-in looks sections up as "Event_" and the number in decimal, so
// "Event_01" or a number too large to reach is never looked up.
SectionClass ClassifySection(std::u16string_view name) {
  if (EqualsIgnoringAsciiCase(name, u"Main")) return {SectionKind::kMain};
  if (EqualsIgnoringAsciiCase(name, u"VirtUser")) return {SectionKind::kVirtUser};
  if (name.size() <= kEventPrefix.size() ||
      !EqualsIgnoringAsciiCase(name.substr(0, kEventPrefix.size()), kEventPrefix)) {
    return {SectionKind::kOther};
  }
  const std::u16string_view digits = name.substr(kEventPrefix.size());
  if (digits.size() > 9 || !std::all_of(digits.begin(), digits.end(),
                                        [](char16_t c) { return c >= u'0' && c <= u'9'; })) {
    return {SectionKind::kOther};
  }
  std::size_t number = 0;
  for (char16_t c : digits) number = number * 10 + static_cast<std::size_t>(c - u'0');
  const bool canonical = digits.size() == 1 || digits.front() != u'0';
  return {canonical ? SectionKind::kEvent : SectionKind::kMisnumberedEvent, number};
}

std::string EventName(std::size_t n) { return "Event_" + std::to_string(n); }

bool IsKnown(KeySection section, std::u16string_view key) {
  return FindKey(section, key) != nullptr;
}

std::vector<std::u16string_view> KeyNames(KeySection section) {
  std::vector<std::u16string_view> names;
  for (const SettingKey& key : KeysOf(section)) names.push_back(key.name);
  return names;
}

// The nearest name when it is close enough to be a slip of the fingers: at
// most two edits, and fewer than half the letters of the name.
template <typename Names>
std::optional<std::u16string> Nearest(std::u16string_view name, const Names& candidates) {
  std::optional<std::u16string> best;
  std::size_t best_distance = 3;
  for (const auto& candidate : candidates) {
    const std::size_t distance = NameDistance(name, candidate);
    if (distance < best_distance && distance * 2 < std::max<std::size_t>(name.size(), 2)) {
      best_distance = distance;
      best = std::u16string(candidate);
    }
  }
  return best;
}

std::string KnownKeysOf(SectionKind kind) {
  return kind == SectionKind::kMain       ? "[Main]"
         : kind == SectionKind::kVirtUser ? "[VirtUser]"
                                          : "an Event_N section";
}

void CheckKey(SectionKind kind, std::u16string_view section, std::u16string_view key,
              std::vector<Finding>& findings) {
  const std::string where = "[" + U8(section) + "] " + U8(key);
  if (key.empty()) {
    findings.push_back({Severity::kWarning, FindingKind::kUnknownKey, "[" + U8(section) + "]",
                        "a line begins with \"=\": it has no key and is never read."});
    return;
  }
  std::optional<std::u16string> nearest;
  switch (kind) {
    case SectionKind::kMain:
      if (IsKnown(KeySection::kMain, key)) return;
      nearest = Nearest(key, KeyNames(KeySection::kMain));
      break;
    case SectionKind::kVirtUser:
      if (IsKnown(KeySection::kVirtUser, key)) return;
      nearest = Nearest(key, KeyNames(KeySection::kVirtUser));
      break;
    default:
      if (IsKnown(KeySection::kEvent, key)) return;
      nearest = Nearest(key, KeyNames(KeySection::kEvent));
      break;
  }
  std::string text = "unknown key: the plug-in never reads it.";
  if (nearest) {
    text += " Did you mean " + U8(*nearest) + "?";
  } else if (kind != SectionKind::kMain && IsKnown(KeySection::kMain, key)) {
    text += " " + U8(key) + " is a key of [Main].";
  } else if (kind != SectionKind::kVirtUser && IsKnown(KeySection::kVirtUser, key)) {
    text += " " + U8(key) + " is a key of [VirtUser].";
  } else if (kind != SectionKind::kEvent && kind != SectionKind::kMisnumberedEvent &&
             IsKnown(KeySection::kEvent, key)) {
    text += " " + U8(key) + " is a key of the Event_N sections.";
  } else {
    text += " The keys of " + KnownKeysOf(kind) + " are listed in the configuration guide.";
  }
  findings.push_back({Severity::kWarning, FindingKind::kUnknownKey, where, text});
}

void CheckLinesWithoutEquals(const IniFile::Section& section,
                             const std::vector<std::u16string>& lines,
                             std::vector<Finding>& findings) {
  for (const std::u16string& line : lines) {
    findings.push_back({Severity::kWarning, FindingKind::kLineWithoutEquals,
                        "[" + U8(section.name) + "]",
                        "the line " + Quoted(line) + " has no \"=\": it is never read."});
  }
}

void CheckUnknownSection(const IniFile::Section& section, std::vector<Finding>& findings) {
  std::vector<std::u16string> candidates = {u"Main", u"VirtUser"};
  // "Event1" or "Evnt_1" was meant as an event section: offer the event of
  // the same number.
  std::size_t digits = 0;
  while (digits < section.name.size() && section.name[section.name.size() - 1 - digits] >= u'0' &&
         section.name[section.name.size() - 1 - digits] <= u'9') {
    ++digits;
  }
  if (digits != 0 && digits <= 9) {
    candidates.push_back(u"Event_" + section.name.substr(section.name.size() - digits));
  }
  std::string text = "unknown section: the plug-in never reads it";
  const std::size_t keys = section.entries.size();
  if (keys != 0) text += " nor its " + std::to_string(keys) + (keys == 1 ? " key" : " keys");
  text += ".";
  if (auto nearest = Nearest(section.name, candidates)) {
    text += " Did you mean [" + U8(*nearest) + "]?";
  }
  findings.push_back(
      {Severity::kWarning, FindingKind::kUnknownSection, "[" + U8(section.name) + "]", text});
}

void CheckPrelude(std::u16string_view text, std::vector<Finding>& findings) {
  std::u16string with_header(kPreludeHeader);
  with_header += text;
  const ParsedSettings parsed = ParseForReport(with_header);
  if (parsed.file.Sections().empty() || parsed.file.Sections().front().name != kPreludeName) {
    return;
  }
  const IniFile::Section& prelude = parsed.file.Sections().front();
  auto add = [&](const std::u16string& line) {
    findings.push_back({Severity::kWarning, FindingKind::kLineBeforeSections, "",
                        "the line " + Quoted(line) +
                            " stands before the first section header: it is never read."});
  };
  for (const auto& entry : prelude.entries) add(entry.key + u"=" + entry.value);
  for (const auto& line : parsed.lines_without_equals.front()) add(line);
}

}  // namespace

ParsedSettings ParseForReport(std::u16string_view text) {
  ParsedSettings parsed;
  auto& lines = parsed.lines_without_equals;
  parsed.file = IniFile::ParseText(
      text, [&lines](IniFile::LineKind kind, std::size_t section, std::u16string_view line) {
        if (section >= lines.size()) lines.resize(section + 1);
        if (kind == IniFile::LineKind::kSectionHeader) {
          lines[section].clear();
        } else {
          lines[section].emplace_back(line);
        }
      });
  lines.resize(parsed.file.Sections().size());
  return parsed;
}

std::size_t NameDistance(std::u16string_view a, std::u16string_view b) {
  const std::u16string x = LowerAsciiLetters(a);
  const std::u16string y = LowerAsciiLetters(b);
  // Three rows of the edit table suffice: a swap of two neighbours looks two
  // rows back.
  const std::size_t width = y.size() + 1;
  std::vector<std::size_t> before(width), previous(width), current(width);
  for (std::size_t j = 0; j < width; ++j) previous[j] = j;
  for (std::size_t i = 1; i <= x.size(); ++i) {
    current[0] = i;
    for (std::size_t j = 1; j < width; ++j) {
      const std::size_t replace = previous[j - 1] + (x[i - 1] == y[j - 1] ? 0 : 1);
      current[j] = std::min({previous[j] + 1, current[j - 1] + 1, replace});
      if (i > 1 && j > 1 && x[i - 1] == y[j - 2] && x[i - 2] == y[j - 1]) {
        current[j] = std::min(current[j], before[j - 2] + 1);
      }
    }
    std::swap(before, previous);
    std::swap(previous, current);
  }
  return previous[y.size()];
}

void AddNameFindings(std::u16string_view text, const ParsedSettings& parsed,
                     std::size_t loaded_events, std::string_view table_end,
                     std::vector<Finding>& findings) {
  CheckPrelude(text, findings);
  const auto& sections = parsed.file.Sections();
  for (std::size_t index = 0; index < sections.size(); ++index) {
    const IniFile::Section& section = sections[index];
    const SectionClass name = ClassifySection(section.name);
    switch (name.kind) {
      case SectionKind::kOther:
        CheckUnknownSection(section, findings);
        continue;
      case SectionKind::kMisnumberedEvent:
        findings.push_back({Severity::kWarning, FindingKind::kEventNeverRead,
                            "[" + U8(section.name) + "]",
                            "never read: the plug-in looks for [" + EventName(name.number) +
                                "], written without leading zeros."});
        break;
      case SectionKind::kEvent:
        // The section where the table stops is reported with the values.
        if (name.number > loaded_events) {
          findings.push_back({Severity::kWarning, FindingKind::kEventNeverRead,
                              "[" + U8(section.name) + "]",
                              "never read: the event table stops at " + EventName(loaded_events) +
                                  " (" + std::string(table_end) + ")."});
        }
        break;
      default:
        break;
    }
    for (const auto& entry : section.entries)
      CheckKey(name.kind, section.name, entry.key, findings);
    CheckLinesWithoutEquals(section, parsed.lines_without_equals[index], findings);
  }
}

}  // namespace morvane
