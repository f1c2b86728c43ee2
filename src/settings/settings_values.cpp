#include "settings/settings_values.h"

#include <string>

#include "common/text.h"

namespace morvane {
namespace {

constexpr std::u16string_view kMain = u"Main";
constexpr std::u16string_view kVirtUser = u"VirtUser";
constexpr std::u16string_view kEventPrefix = u"Event_";

constexpr std::int32_t kPeriodicEvent = 3;
constexpr std::int32_t kAnyMessageEvent = 2;
// A periodic event without an interval fires every five seconds.
constexpr std::int32_t kPeriodicDefaultDelay = 5;

// An event's Format default follows its Game word, compared exactly: "tcp"
// takes the TCP text, a word ending in "pl" the player line, anything else
// the summary. These are always the built-in texts, never those of [Main].
std::u16string_view DefaultEventFormat(std::u16string_view game) {
  if (game == u"tcp") return kDefaultTcpFormat;
  if (game.ends_with(u"pl")) return kDefaultPlFormat;
  return kDefaultFormat;
}

std::u16string EventSectionName(std::size_t n) {
  std::u16string name(kEventPrefix);
  name += AsciiToUtf16(std::to_string(n));
  return name;
}

MainSettings ReadMain(const IniFile& file) {
  using enum TextHandling;
  MainSettings main;
  main.Channels = ReadTextKey(file, kMain, u"Channels", kDefaultChannels, kAsRead);
  main.ChScanEn = ReadBooleanKey(file, kMain, u"ChScanEn", true);
  main.PmScanEn = ReadBooleanKey(file, kMain, u"PmScanEn", true);
  main.MsgType = ReadBooleanKey(file, kMain, u"MsgType", true);
  main.Delay = ReadIntegerKey(file, kMain, u"Delay", 0);
  main.TimeOut = ReadIntegerKey(file, kMain, u"TimeOut", 1000);
  main.MaxQueue = ReadIntegerKey(file, kMain, u"MaxQueue", 20);
  main.MaxAddr = ReadIntegerKey(file, kMain, u"MaxAddr", 32);
  main.Format = ReadTextKey(file, kMain, u"Format", kDefaultFormat, kMarkersEmptyGivesDefault);
  main.OfflineFormat = ReadTextKey(file, kMain, u"OfflineFormat", kDefaultOfflineFormat,
                                   kMarkersEmptyGivesDefault);
  main.TCPFormat =
      ReadTextKey(file, kMain, u"TCPFormat", kDefaultTcpFormat, kMarkersEmptyGivesDefault);
  main.PlFormat =
      ReadTextKey(file, kMain, u"PlFormat", kDefaultPlFormat, kMarkersEmptyGivesDefault);
  main.PlTitle = ReadTextKey(file, kMain, u"PlTitle", kDefaultPlTitle, kMarkers);
  main.Delimiter = ReadTextKey(file, kMain, u"Delimiter", kDefaultDelimiter, kMarkers);
  main.PlDelimiter = ReadTextKey(file, kMain, u"PlDelimiter", kDefaultPlDelimiter, kMarkers);
  return main;
}

VirtUserValues ReadVirtUser(const IniFile& file) {
  using enum TextHandling;
  VirtUserValues user;
  user.Name = ReadTextKey(file, kVirtUser, u"Name", kDefaultVirtUserName, kAsRead);
  user.IP = ReadTextKey(file, kVirtUser, u"IP", kDefaultVirtUserIp, kAsRead);
  user.Password = ReadTextKey(file, kVirtUser, u"Password", kDefaultVirtUserPassword, kAsRead);
  return user;
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

std::int32_t ReadIntegerKey(const IniFile& file, std::u16string_view section,
                            std::u16string_view key, std::int32_t fallback) {
  return IntegerOr(file.Value(section, key), fallback);
}

bool ReadBooleanKey(const IniFile& file, std::u16string_view section, std::u16string_view key,
                    bool fallback) {
  return BooleanOr(file.Value(section, key), fallback);
}

std::u16string ReadTextKey(const IniFile& file, std::u16string_view section,
                           std::u16string_view key, std::u16string_view default_text,
                           TextHandling handling) {
  auto value = file.Value(section, key);
  if (handling == TextHandling::kAsRead) return std::u16string(value.value_or(default_text));
  if (!value) return ApplyMarkers(default_text);
  // The line-break marker never turns a text empty, so testing the value as
  // written is the same as testing it after that marker.
  if (value->empty() && handling == TextHandling::kMarkersEmptyGivesDefault) {
    return ReplaceAll(default_text, u"&&", u" ");
  }
  return ApplyMarkers(*value);
}

MainSettings DefaultMainSettings() { return ReadMain(IniFile()); }

std::optional<TEvent> ReadEvent(const IniFile& file, std::size_t n) {
  using enum TextHandling;
  const std::u16string section = EventSectionName(n);
  if (!file.Value(section, u"Type") || !file.Value(section, u"Addr") ||
      !file.Value(section, u"Game")) {
    return std::nullopt;
  }
  // Keys are read in the loader's order: Msg decides the periodic Delay, and
  // Game decides the Format default.
  TEvent event;
  event.LastUse = 0;
  event.EventType = ReadIntegerKey(file, section, u"Type", 0);
  event.Game = ReadTextKey(file, section, u"Game", u"", kAsRead);
  event.Delay = ReadIntegerKey(file, section, u"Delay", 0);
  event.TimeOut = ReadIntegerKey(file, section, u"TimeOut", 1000);
  if (event.EventType != kAnyMessageEvent) {
    event.ChOrUser = ReadTextKey(file, section, u"Source", u"", kAsRead);
  }
  if (event.EventType < kPeriodicEvent) {
    event.Msg = ReadTextKey(file, section, u"Msg", u"", kMarkers);
  } else if (event.EventType == kPeriodicEvent && event.Delay == 0) {
    // Only an interval of exactly 0 is replaced; a negative one stays and
    // makes the event fire at every tick.
    event.Delay = kPeriodicDefaultDelay;
  }
  event.Addr = ReadTextKey(file, section, u"Addr", u"", kAsRead);
  event.Title = ReadTextKey(file, section, u"Title", u"", kMarkers);
  event.Format = ReadTextKey(file, section, u"Format", DefaultEventFormat(event.Game),
                             kMarkersEmptyGivesDefault);
  event.OffFormat = ReadTextKey(file, section, u"OfflineFormat", kDefaultOfflineFormat,
                                kMarkersEmptyGivesDefault);
  event.PlTitle = ReadTextKey(file, section, u"PlTitle", kDefaultPlTitle, kMarkers);
  event.Delimiter = ReadTextKey(file, section, u"Delimiter", kDefaultDelimiter, kMarkers);
  event.PlDelimiter = ReadTextKey(file, section, u"PlDelimiter", kDefaultPlDelimiter, kMarkers);
  event.MsgType = ReadIntegerKey(file, section, u"MsgType", 1);
  return event;
}

SettingsValues ReadSettingsValues(const IniFile& file, bool virtual_user_mode) {
  SettingsValues values;
  if (virtual_user_mode) values.virt_user = ReadVirtUser(file);
  values.main = ReadMain(file);
  values.admin_list =
      SplitKeepingEmpty(file.Value(kMain, u"AdmUsers").value_or(u""), u'|');
  // A gap in the numbering ends the table; every event needs its own section,
  // so the walk ends after at most as many steps as the file has sections.
  for (std::size_t n = 0;; ++n) {
    auto event = ReadEvent(file, n);
    if (!event) break;
    if (event->EventType == kPeriodicEvent) values.has_periodic_event = true;
    values.events.push_back(std::move(*event));
  }
  return values;
}

}  // namespace morvane
