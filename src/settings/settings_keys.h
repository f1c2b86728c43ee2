// Every key of Morvane.ini in one table: its section, name, type, default and
// what a load does with it. The plug-in's reader (ReadSettingsValues) and the
// settings inspector both walk this table, so a key added here is read, shown
// and checked alike.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <variant>

namespace morvane {

struct MainSettings;
struct VirtUserValues;
struct TEvent;

enum class KeySection { kMain, kVirtUser, kEvent };

// The section's name; for events the prefix of "Event_0", "Event_1" ...
std::u16string_view SectionName(KeySection section);

enum class KeyType {
  kText,
  // Decimal with an optional sign, or hexadecimal after "$", "0x" or "0X",
  // within the signed 32-bit range; anything else leaves the default.
  kInteger,
  // An integer key: 0 is false, any other integer true.
  kBoolean,
};

enum class TextHandling {
  // The trimmed value as written; a missing key gives the default untouched.
  kAsRead,
  // Markers applied to the value, or to the default when the key is missing;
  // an empty value stays empty.
  kMarkers,
  // As kMarkers, but an empty value gives the default, with the blank marker
  // applied to it.
  kMarkersEmptyGivesDefault,
};

// When an event's section is read for a key: the keys of [Main] and
// [VirtUser] are always read.
enum class EventRule {
  kAlways,
  // "Source": not for an any-message event (Type 2), which has no filter.
  kUnlessAnyMessage,
  // "Msg": message events only (Type below 3); a periodic event (Type 3)
  // whose Delay is 0 gets 5 in its place.
  kMessageEventsOnly,
  // "Format": the default follows Game ("tcp", a word ending in "pl", or any
  // other), always the built-in texts, never [Main]'s.
  kDefaultByGame,
};

// Where a load stores the key's value. AdmUsers is split into the admin list
// and has no field.
using SettingField =
    std::variant<std::monostate, std::u16string MainSettings::*, std::int32_t MainSettings::*,
                 bool MainSettings::*, std::u16string VirtUserValues::*, std::u16string TEvent::*,
                 std::int32_t TEvent::*>;

struct SettingKey {
  KeySection section = KeySection::kMain;
  std::u16string_view name;
  KeyType type = KeyType::kText;
  std::u16string_view text_default;  // texts, before the markers
  std::int32_t number_default = 0;   // integers and Booleans
  TextHandling handling = TextHandling::kAsRead;
  EventRule rule = EventRule::kAlways;
  SettingField field;
};

// The keys of one section, in the order a load reads them.
std::span<const SettingKey> KeysOf(KeySection section);

// The key of that name (A-Z and a-z taken as equal), or nullptr.
const SettingKey* FindKey(KeySection section, std::u16string_view name);

}  // namespace morvane
