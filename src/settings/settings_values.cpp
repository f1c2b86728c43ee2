#include "settings/settings_values.h"

#include <string>
#include <type_traits>
#include <variant>

#include "common/text.h"

namespace morvane {
namespace {

// A periodic event without an interval fires every five seconds.
constexpr std::int32_t kPeriodicDefaultDelay = 5;

// Stores the key's value in its field of values, when the field is one of
// that struct's.
template <typename Values>
void ReadInto(Values& values, const IniFile& file, std::u16string_view section,
              const SettingKey& key, std::u16string_view text_default) {
  std::visit(
      [&](auto field) {
        using Field = decltype(field);
        if constexpr (std::is_same_v<Field, std::u16string Values::*>) {
          values.*field = ReadTextKey(file, section, key, text_default);
        } else if constexpr (std::is_same_v<Field, std::int32_t Values::*>) {
          values.*field = ReadIntegerKey(file, section, key);
        } else if constexpr (std::is_same_v<Field, bool Values::*>) {
          values.*field = ReadBooleanKey(file, section, key);
        }
      },
      key.field);
}

MainSettings ReadMain(const IniFile& file) {
  MainSettings main;
  const std::u16string_view section = SectionName(KeySection::kMain);
  for (const SettingKey& key : KeysOf(KeySection::kMain)) {
    ReadInto(main, file, section, key, key.text_default);
  }
  return main;
}

VirtUserValues ReadVirtUser(const IniFile& file) {
  VirtUserValues user;
  const std::u16string_view section = SectionName(KeySection::kVirtUser);
  for (const SettingKey& key : KeysOf(KeySection::kVirtUser)) {
    ReadInto(user, file, section, key, key.text_default);
  }
  return user;
}

std::u16string EventSectionName(std::size_t n) {
  std::u16string name(SectionName(KeySection::kEvent));
  name += AsciiToUtf16(std::to_string(n));
  return name;
}

}  // namespace

std::u16string ApplyMarkers(std::u16string_view text) {
  return ReplaceAll(ReplaceAll(text, u":;", u"\r\n"), u"&&", u" ");
}

std::int32_t IntegerOr(std::optional<std::u16string_view> value, std::int32_t fallback) {
  if (!value) return fallback;
  return ParseInt32(*value).value_or(fallback);
}

bool BooleanOr(std::optional<std::u16string_view> value, bool fallback) {
  if (!value) return fallback;
  auto number = ParseInt32(*value);
  if (!number) return fallback;
  return *number != 0;
}

std::u16string_view DefaultEventFormat(std::u16string_view game) {
  if (game == u"tcp") return kDefaultTcpFormat;
  if (game.ends_with(u"pl")) return kDefaultPlFormat;
  return kDefaultFormat;
}

std::int32_t ReadIntegerKey(const IniFile& file, std::u16string_view section,
                            const SettingKey& key) {
  return IntegerOr(file.Value(section, key.name), key.number_default);
}

bool ReadBooleanKey(const IniFile& file, std::u16string_view section, const SettingKey& key) {
  return BooleanOr(file.Value(section, key.name), key.number_default != 0);
}

std::u16string ReadTextKey(const IniFile& file, std::u16string_view section,
                           const SettingKey& key) {
  return ReadTextKey(file, section, key, key.text_default);
}

std::u16string ReadTextKey(const IniFile& file, std::u16string_view section, const SettingKey& key,
                           std::u16string_view default_text) {
  auto value = file.Value(section, key.name);
  if (key.handling == TextHandling::kAsRead) return std::u16string(value.value_or(default_text));
  if (!value) return ApplyMarkers(default_text);
  // The line-break marker never turns a text empty, so testing the value as
  // written is the same as testing it after that marker.
  if (value->empty() && key.handling == TextHandling::kMarkersEmptyGivesDefault) {
    return ReplaceAll(default_text, u"&&", u" ");
  }
  return ApplyMarkers(*value);
}

MainSettings DefaultMainSettings() { return ReadMain(IniFile()); }

std::optional<TEvent> ReadEvent(const IniFile& file, std::size_t n) {
  const std::u16string section = EventSectionName(n);
  if (!file.Value(section, u"Type") || !file.Value(section, u"Addr") ||
      !file.Value(section, u"Game")) {
    return std::nullopt;
  }
  TEvent event;
  event.LastUse = 0;
  for (const SettingKey& key : KeysOf(KeySection::kEvent)) {
    std::u16string_view text_default = key.text_default;
    switch (key.rule) {
      case EventRule::kAlways:
        break;
      case EventRule::kUnlessAnyMessage:
        if (event.EventType == event_type::kAnyMessage) continue;
        break;
      case EventRule::kMessageEventsOnly:
        if (event.EventType < event_type::kPeriodic) break;
        // Only an interval of exactly 0 is replaced; a negative one stays
        // and makes the event fire at every tick.
        if (event.EventType == event_type::kPeriodic && event.Delay == 0) {
          event.Delay = kPeriodicDefaultDelay;
        }
        continue;
      case EventRule::kDefaultByGame:
        text_default = DefaultEventFormat(event.Game);
        break;
    }
    ReadInto(event, file, section, key, text_default);
  }
  return event;
}

SettingsValues ReadSettingsValues(const IniFile& file, bool virtual_user_mode) {
  SettingsValues values;
  if (virtual_user_mode) values.virt_user = ReadVirtUser(file);
  values.main = ReadMain(file);
  values.admin_list = SplitKeepingEmpty(
      file.Value(SectionName(KeySection::kMain), u"AdmUsers").value_or(u""), u'|');
  // A gap in the numbering ends the table; every event needs its own section,
  // so the walk ends after at most as many steps as the file has sections.
  for (std::size_t n = 0;; ++n) {
    auto event = ReadEvent(file, n);
    if (!event) break;
    if (event->EventType == event_type::kPeriodic) values.has_periodic_event = true;
    values.events.push_back(std::move(*event));
  }
  return values;
}

}  // namespace morvane
