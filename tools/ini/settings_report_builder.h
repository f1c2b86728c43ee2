// The builder behind the settings report, shared by its two source files:
// settings_report.cpp ([Main], [VirtUser], the admin list, the encoding) and
// settings_report_events.cpp (the event table). Internal to the report.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include <span>
#include <type_traits>
#include <variant>
#include "common/text.h"

#include "ini/settings_report.h"
#include "settings/ini_file.h"
#include "settings/settings_keys.h"
#include "settings/settings_values.h"

namespace morvane::report_detail {

inline std::string U8(std::u16string_view text) { return Utf16ToUtf8(text); }
inline std::string Quoted(std::u16string_view text) { return "\"" + U8(text) + "\""; }
inline std::u16string Decimal(std::int64_t value) { return AsciiToUtf16(std::to_string(value)); }
inline std::string Where(std::u16string_view section, std::u16string_view key) {
  return "[" + U8(section) + "] " + U8(key);
}

// What a reply mode (MsgType) does with a reply.
std::string ReplyModeMeaning(std::int32_t mode);

// The value a load stored for the key, as the report shows it: a text as it
// is, an integer in decimal, a Boolean as "true" or "false".
template <typename Values>
std::u16string StoredValue(const Values& values, const SettingKey& key) {
  return std::visit(
      [&](auto field) -> std::u16string {
        using Field = decltype(field);
        if constexpr (std::is_same_v<Field, std::u16string Values::*>) {
          return values.*field;
        } else if constexpr (std::is_same_v<Field, std::int32_t Values::*>) {
          return Decimal(values.*field);
        } else if constexpr (std::is_same_v<Field, bool Values::*>) {
          return values.*field ? u"true" : u"false";
        } else {
          return {};
        }
      },
      key.field);
}

// Which fill a template goes through, and so which placeholders it takes.
enum class TemplateRole { kSummary, kHeader, kPlayerLine, kOnline, kOffline, kMorePlayers, kFixed };
// An event's Format by its Game word: "tcp" the online text, a word ending in
// "pl" a player line, any other a summary.
TemplateRole FormatRoleOfGame(std::u16string_view game);

// Builds the report: every value comes from the plug-in's own reading of the
// file; the builder only looks at the file again to tell where a value came
// from and what will go wrong with it.
class ReportBuilder {
 public:
  ReportBuilder(const IniFile& file, SettingsReport& report) : file_(file), report_(report) {}

  void Add(Severity severity, FindingKind kind, std::string where, std::string text);
  // A text key: its origin (missing, empty and so default, or as written).
  void AddText(std::vector<ReportValue>& out, std::u16string_view section, std::u16string_view key,
               const std::u16string& stored, TextHandling handling, std::string remark = {});
  // An integer or Boolean key: a value that is not an integer leaves the
  // default, which the plug-in does without a word; the report says so.
  void AddNumber(std::vector<ReportValue>& out, std::u16string_view section,
                 std::u16string_view key, std::u16string shown, std::string remark = {});
  // A key of the table, as its type asks.
  void AddKey(std::vector<ReportValue>& out, std::u16string_view section, const SettingKey& key,
              std::u16string stored, std::string remark = {});
  // Which requests a TimeOut applies to: [Main]'s to "/gs" of every kind, an
  // event's to its own kind.
  enum class TimeOutUse { kEveryKind, kUdp, kTcp };
  void CheckTimeOut(std::u16string_view section, std::int32_t timeout, TimeOutUse use);
  // A warning for every word in percent signs the template's fill leaves as it
  // is.
  void CheckPlaceholders(std::u16string_view section, std::u16string_view key,
                         std::u16string_view text, TemplateRole role);

  void ReadMain(const MainSettings& main);
  void ReadVirtUser(const VirtUserValues& user);
  void ReadAdminList(const std::vector<std::u16string>& admin_list);
  void ReadEvent(std::size_t n, const TEvent& event);
  void ReadTableEnd(std::size_t n);

 private:
  // Channels and AdmUsers are cut at every "|", and the pieces are not
  // trimmed.
  void CheckListPieces(std::u16string_view list, const std::string& where, FindingKind kind,
                       const std::string& empty_effect, const std::string& spaces_effect);
  void CheckEvent(std::u16string_view section, const TEvent& event);

  const IniFile& file_;
  SettingsReport& report_;
};

}  // namespace morvane::report_detail
