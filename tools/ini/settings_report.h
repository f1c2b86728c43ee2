// What the plug-in will make of a settings file, for the settings inspector
// (morvane-ini check). The plug-in is silent by design: a file in the wrong
// encoding, a misspelt key or a gap in the event numbering just gives
// defaults. The report reads the bytes with the plug-in's own code (IniFile,
// ReadSettingsValues, ReadEvent, the integer and Boolean readers), so the
// values it shows are the values the plug-in loads, and adds what the plug-in
// never says: where a default came from, what is never read and what can
// never work. Pure: bytes in, a report out; the tool prints it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "ini/settings_encoding.h"
#include "settings/settings_values.h"

namespace morvane {

// Why a key has the value it has.
enum class ValueOrigin {
  kFile,               // the value written in the file
  kMissing,            // no such key (or no such section): the default
  kEmptyGivesDefault,  // written empty, and this text then takes its default
  kNotAnInteger,       // written, but not an integer in range: the default
};

// One key as the plug-in will use it.
struct ReportValue {
  std::u16string key;
  // What the plug-in stores: a text with its markers applied, an integer in
  // decimal, a Boolean as "true" or "false".
  std::u16string value;
  bool is_text = false;
  ValueOrigin origin = ValueOrigin::kFile;
  // The value as written in the file, when the plug-in could not use it.
  std::u16string written;
  // A sentence about the value (UTF-8), such as what an event type means.
  std::string remark;
};

enum class Severity { kNote, kWarning };

enum class FindingKind {
  kEncoding,            // not an encoding the plug-in reads
  kTextCut,             // a NUL character ends the text early
  kOddByte,             // an odd last byte, which is no code unit
  kLineBeforeSections,  // a line before the first section: never read
  kUnknownSection,
  kUnknownKey,
  kLineWithoutEquals,
  kKeyNotRead,  // a known key that this event's type does not read
  kNotAnInteger,
  kQueueRefusesAll,  // MaxQueue 0 or less
  kTimeOut,          // 0 (no limit) or negative (a very long wait)
  kEmptyVirtUser,    // Name or Password present but empty
  kAdminList,
  kChannels,
  kEventTableEnd,   // the section where the table stops exists but lacks a key
  kEventNeverRead,  // an Event_N section beyond the end of the table
  kEventGame,
  kEventType,
  kEventMsgType,
  kEventAddr,
  kEventSource,
  kEventDelay,
  kEventMsg,
  kPlaceholder,  // a word in percent signs that the template's fill leaves as it is
};

struct Finding {
  Severity severity = Severity::kWarning;
  FindingKind kind = FindingKind::kUnknownKey;
  // Where, such as "[Main] TimeOt" (UTF-8); empty for the file as a whole.
  std::string where;
  // What happens, as one or two sentences (UTF-8).
  std::string text;
};

struct EventReport {
  std::size_t number = 0;
  // The section's name as written in the file.
  std::u16string section;
  std::vector<ReportValue> fields;
};

struct SettingsReport {
  SettingsEncoding encoding = SettingsEncoding::kEmpty;
  std::size_t byte_count = 0;
  std::vector<ReportValue> main;
  // [VirtUser] as a load in virtual-user mode reads it.
  std::vector<ReportValue> virt_user;
  // In virtual-user mode the plug-in would refuse to start (empty Name or
  // Password), and then loads no events.
  bool virtual_user_refused = false;
  // AdmUsers split at every "|", as the plug-in keeps it.
  std::vector<std::u16string> admin_list;
  std::vector<EventReport> events;
  // Why the event table stops where it does (UTF-8), such as "no section
  // Event_2".
  std::string table_end;
  std::vector<Finding> findings;

  std::size_t WarningCount() const;
  bool HasWarnings() const { return WarningCount() != 0; }
};

SettingsReport InspectSettings(std::span<const std::uint8_t> bytes);

// The value of the key in a list of report values, or nullptr.
const ReportValue* FindReportValue(const std::vector<ReportValue>& values, std::u16string_view key);

// The number of single-character edits (insert, delete, replace, swap of two
// neighbours) between two names, with A-Z and a-z taken as equal.
std::size_t NameDistance(std::u16string_view a, std::u16string_view b);

}  // namespace morvane
