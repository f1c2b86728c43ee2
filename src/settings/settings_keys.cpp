#include "settings/settings_keys.h"

#include <algorithm>

#include "common/text.h"
#include "settings/settings_values.h"

namespace morvane {
namespace {

using enum KeySection;
using enum KeyType;
using enum TextHandling;
using enum EventRule;

constexpr SettingKey kMainKeys[] = {
    {kMain, u"Channels", kText, kDefaultChannels, 0, kAsRead, kAlways, &MainSettings::Channels},
    {kMain, u"ChScanEn", kBoolean, {}, 1, kAsRead, kAlways, &MainSettings::ChScanEn},
    {kMain, u"PmScanEn", kBoolean, {}, 1, kAsRead, kAlways, &MainSettings::PmScanEn},
    {kMain, u"MsgType", kBoolean, {}, 1, kAsRead, kAlways, &MainSettings::MsgType},
    {kMain, u"Delay", kInteger, {}, 0, kAsRead, kAlways, &MainSettings::Delay},
    {kMain, u"TimeOut", kInteger, {}, 1000, kAsRead, kAlways, &MainSettings::TimeOut},
    {kMain, u"MaxQueue", kInteger, {}, 20, kAsRead, kAlways, &MainSettings::MaxQueue},
    {kMain, u"MaxAddr", kInteger, {}, 32, kAsRead, kAlways, &MainSettings::MaxAddr},
    {kMain, u"Parallel", kInteger, {}, 256, kAsRead, kAlways, &MainSettings::Parallel},
    {kMain, u"Retries", kInteger, {}, 2, kAsRead, kAlways, &MainSettings::Retries},
    {kMain, u"Requests", kInteger, {}, 4, kAsRead, kAlways, &MainSettings::Requests},
    {kMain, u"MaxPlayers", kInteger, {}, 64, kAsRead, kAlways, &MainSettings::MaxPlayers},
    {kMain, u"MaxReply", kInteger, {}, 8000, kAsRead, kAlways, &MainSettings::MaxReply},
    {kMain, u"Format", kText, kDefaultFormat, 0, kMarkersEmptyGivesDefault, kAlways,
     &MainSettings::Format},
    {kMain, u"OfflineFormat", kText, kDefaultOfflineFormat, 0, kMarkersEmptyGivesDefault, kAlways,
     &MainSettings::OfflineFormat},
    {kMain, u"TCPFormat", kText, kDefaultTcpFormat, 0, kMarkersEmptyGivesDefault, kAlways,
     &MainSettings::TCPFormat},
    {kMain, u"PlFormat", kText, kDefaultPlFormat, 0, kMarkersEmptyGivesDefault, kAlways,
     &MainSettings::PlFormat},
    {kMain, u"PlTitle", kText, kDefaultPlTitle, 0, kMarkers, kAlways, &MainSettings::PlTitle},
    {kMain, u"Delimiter", kText, kDefaultDelimiter, 0, kMarkers, kAlways, &MainSettings::Delimiter},
    {kMain, u"PlDelimiter", kText, kDefaultPlDelimiter, 0, kMarkers, kAlways,
     &MainSettings::PlDelimiter},
    {kMain, u"PlMoreFormat", kText, kDefaultPlMoreFormat, 0, kMarkersEmptyGivesDefault, kAlways,
     &MainSettings::PlMoreFormat},
    {kMain, u"CutText", kText, kDefaultCutText, 0, kMarkersEmptyGivesDefault, kAlways,
     &MainSettings::CutText},
    {kMain, u"PlHiddenText", kText, kDefaultPlHiddenText, 0, kMarkersEmptyGivesDefault, kAlways,
     &MainSettings::PlHiddenText},
    {kMain, u"AnsiValues", kBoolean, {}, 0, kAsRead, kAlways, &MainSettings::AnsiValues},
    // Split at every "|" into the admin list.
    {kMain, u"AdmUsers", kText, u"", 0, kAsRead, kAlways, {}},
};

constexpr SettingKey kVirtUserKeys[] = {
    {kVirtUser, u"Name", kText, kDefaultVirtUserName, 0, kAsRead, kAlways, &VirtUserValues::Name},
    {kVirtUser, u"IP", kText, kDefaultVirtUserIp, 0, kAsRead, kAlways, &VirtUserValues::IP},
    {kVirtUser, u"Password", kText, kDefaultVirtUserPassword, 0, kAsRead, kAlways,
     &VirtUserValues::Password},
};

// In the order a load reads them: Type decides which keys are read, Game the
// Format default, and Msg (or its absence) the periodic Delay.
constexpr SettingKey kEventKeys[] = {
    {kEvent, u"Type", kInteger, {}, 0, kAsRead, kAlways, &TEvent::EventType},
    {kEvent, u"Game", kText, u"", 0, kAsRead, kAlways, &TEvent::Game},
    {kEvent, u"Delay", kInteger, {}, 0, kAsRead, kAlways, &TEvent::Delay},
    {kEvent, u"TimeOut", kInteger, {}, 1000, kAsRead, kAlways, &TEvent::TimeOut},
    {kEvent, u"Source", kText, u"", 0, kAsRead, kUnlessAnyMessage, &TEvent::ChOrUser},
    {kEvent, u"Msg", kText, u"", 0, kMarkers, kMessageEventsOnly, &TEvent::Msg},
    {kEvent, u"Addr", kText, u"", 0, kAsRead, kAlways, &TEvent::Addr},
    {kEvent, u"Title", kText, u"", 0, kMarkers, kAlways, &TEvent::Title},
    {kEvent, u"Format", kText, kDefaultFormat, 0, kMarkersEmptyGivesDefault, kDefaultByGame,
     &TEvent::Format},
    {kEvent, u"OfflineFormat", kText, kDefaultOfflineFormat, 0, kMarkersEmptyGivesDefault, kAlways,
     &TEvent::OffFormat},
    {kEvent, u"PlTitle", kText, kDefaultPlTitle, 0, kMarkers, kAlways, &TEvent::PlTitle},
    {kEvent, u"Delimiter", kText, kDefaultDelimiter, 0, kMarkers, kAlways, &TEvent::Delimiter},
    {kEvent, u"PlDelimiter", kText, kDefaultPlDelimiter, 0, kMarkers, kAlways,
     &TEvent::PlDelimiter},
    {kEvent, u"MsgType", kInteger, {}, 1, kAsRead, kAlways, &TEvent::MsgType},
};

}  // namespace

std::u16string_view SectionName(KeySection section) {
  switch (section) {
    case kMain:
      return u"Main";
    case kVirtUser:
      return u"VirtUser";
    case kEvent:
      return u"Event_";
  }
  return {};
}

std::span<const SettingKey> KeysOf(KeySection section) {
  switch (section) {
    case kMain:
      return kMainKeys;
    case kVirtUser:
      return kVirtUserKeys;
    case kEvent:
      return kEventKeys;
  }
  return {};
}

const SettingKey* FindKey(KeySection section, std::u16string_view name) {
  const auto keys = KeysOf(section);
  const auto found = std::find_if(keys.begin(), keys.end(), [name](const SettingKey& key) {
    return EqualsIgnoringAsciiCase(key.name, name);
  });
  return found == keys.end() ? nullptr : &*found;
}

}  // namespace morvane
