// The event table in the settings report: each event the plug-in loads, with
// its effective fields, and where and why the table stops.
#include <algorithm>
#include <array>
#include <string>

#include "common/text.h"
#include "ini/settings_report_builder.h"
#include "scan/address_item.h"
#include "scan/scan_item.h"

namespace morvane::report_detail {
namespace {

std::u16string EventSection(std::size_t n) {
  return u"Event_" + Decimal(static_cast<std::int64_t>(n));
}

std::string EventTypeMeaning(std::int32_t type) {
  switch (type) {
    case 0:
      return "channel-message event: fires when a channel message equals Msg";
    case 1:
      return "private-message event: fires when a private message equals Msg";
    case 2:
      return "any-message event: fires on any message equal to Msg, status notices included";
    case 3:
      return "periodic event: fires every Delay seconds while the plug-in's user is online";
    default:
      return "not an event type: never fires";
  }
}

std::string GameName(std::uint8_t game) {
  switch (game) {
    case kGameSource:
      return "Source engine server over UDP";
    case kGameQuake3:
      return "Quake 3 family server over UDP";
    case kGameSamp:
      return "SA-MP server over UDP";
    case kGameMinecraft:
      return "Minecraft Java Edition server over TCP";
    case kGameBedrock:
      return "Minecraft Bedrock Edition server over UDP";
    case kGameMta:
      return "MTA:SA server over UDP";
    case kGameFivem:
      return "FiveM or RedM server over UDP";
    default:
      return "TCP port probe";
  }
}

// What the kind asks for, and where when the address names no port.
std::string KindMeaning(std::u16string_view word) {
  const std::optional<ServerKind> kind = ServerKindFromWord(word);
  if (!kind) return {};
  const std::string what = kind->TCP       ? "whether a TCP port is open"
                           : kind->Players ? "the player list of a "
                                           : "the summary of a ";
  const std::string port = std::to_string(DefaultPort(kind->Game));
  std::string meaning = what + (kind->TCP ? "" : GameName(kind->Game)) + "; default port " + port;
  if (kind->Game == kGameMinecraft) {
    meaning += ", or the one the host's _minecraft._tcp service record names";
  }
  if (kind->Game == kGameMta) meaning += "; the query goes to the game port plus 123";
  if (kind->Game == kGameFivem && kind->Players) {
    meaning += "; the names come from /players.json over TCP on the same port";
  }
  if (kind->Game == kGameFivem) meaning += "; at most two getinfo queries a second to one server";
  return meaning;
}

// Every kind word, as the warnings list them.
std::string KindList() {
  std::string list;
  for (const KindWord& entry : ServerKindWords()) {
    if (!list.empty()) list += ", ";
    list += U8(entry.word);
  }
  return list;
}

// What an event's value means, where a sentence helps.
std::string EventRemark(const IniFile& file, std::u16string_view section, const TEvent& event,
                        std::u16string_view key) {
  const bool periodic = event.EventType == event_type::kPeriodic;
  if (key == u"Type") return EventTypeMeaning(event.EventType);
  if (key == u"Delay") {
    if (periodic && IntegerOr(file.Value(section, u"Delay"), 0) == 0) {
      return "a periodic event's Delay of 0 (or none) becomes 5";
    }
    if (!periodic && event.Delay <= 0) return "no least time between two firings";
    return {};
  }
  if (key == u"TimeOut") return "milliseconds per server";
  if (key == u"Game") return KindMeaning(event.Game);
  if (key == u"MsgType") return ReplyModeMeaning(event.MsgType);
  if (key != u"Source") return {};
  if (periodic) return "where the report goes";
  if (event.ChOrUser.empty()) {
    return event.EventType == event_type::kChannelMessage ? "empty: listens in every channel"
                                                          : "empty: listens to every user";
  }
  return event.EventType == event_type::kChannelMessage
             ? "the channels listened to, \"|\" between them"
             : "the users listened to, \"|\" between them";
}

}  // namespace

void ReportBuilder::ReadEvent(std::size_t n, const TEvent& event) {
  const std::u16string section = EventSection(n);
  EventReport entry;
  entry.number = n;
  entry.section = section;
  for (const auto& found : file_.Sections()) {
    if (EqualsIgnoringAsciiCase(found.name, section)) entry.section = found.name;
  }
  // The keys the load read for this event's type, in the order it read them.
  for (const SettingKey& key : KeysOf(KeySection::kEvent)) {
    if (key.rule == EventRule::kUnlessAnyMessage && event.EventType == event_type::kAnyMessage) {
      continue;
    }
    if (key.rule == EventRule::kMessageEventsOnly && event.EventType >= event_type::kPeriodic) {
      continue;
    }
    AddKey(entry.fields, section, key, StoredValue(event, key),
           EventRemark(file_, section, event, key.name));
  }
  report_.events.push_back(std::move(entry));
  CheckEvent(section, event);
}

void ReportBuilder::CheckEvent(std::u16string_view section, const TEvent& event) {
  const bool periodic = event.EventType == event_type::kPeriodic;
  const bool message_event = event.EventType >= 0 && event.EventType < event_type::kPeriodic;
  if (!message_event && !periodic) {
    Add(Severity::kWarning, FindingKind::kEventType, Where(section, u"Type"),
        std::to_string(event.EventType) +
            " is not an event type (0 channel message, 1 private message, 2 any message, "
            "3 periodic): this event never fires.");
  }
  if (!ServerKindFromWord(event.Game)) {
    std::string text = Quoted(event.Game) + " is not a server kind (" + KindList() +
                       "; compared exactly): every request of this event is dropped.";
    const std::u16string lowered = LowerAsciiLetters(event.Game);
    if (ServerKindFromWord(lowered)) {
      text += " Write it in small letters: " + U8(lowered) + ".";
    }
    Add(Severity::kWarning, FindingKind::kEventGame, Where(section, u"Game"), text);
  }
  if (event.MsgType < 0 || event.MsgType > 3) {
    Add(Severity::kWarning, FindingKind::kEventMsgType, Where(section, u"MsgType"),
        std::to_string(event.MsgType) +
            " is not a reply mode (0 to 3): the reply of this event is never delivered.");
  } else if (message_event && event.MsgType == 3) {
    Add(Severity::kWarning, FindingKind::kEventMsgType, Where(section, u"MsgType"),
        "a message event with reply mode 3 is never tried: it never fires.");
  }
  CheckTimeOut(section, event.TimeOut, event.Game == u"tcp" ? TimeOutUse::kTcp : TimeOutUse::kUdp);
  CheckPlaceholders(section, u"Format", event.Format, FormatRoleOfGame(event.Game));
  CheckPlaceholders(section, u"OfflineFormat", event.OffFormat, TemplateRole::kOffline);
  CheckPlaceholders(section, u"PlTitle", event.PlTitle, TemplateRole::kHeader);
  if (event.Addr.empty()) {
    Add(Severity::kWarning, FindingKind::kEventAddr, Where(section, u"Addr"),
        "empty: there is no server to ask, so nothing is ever posted.");
  }
  if (periodic) {
    if (event.Delay < 0) {
      Add(Severity::kWarning, FindingKind::kEventDelay, Where(section, u"Delay"),
          "a negative interval makes the periodic event fire every second.");
    }
    if (event.ChOrUser.empty()) {
      Add(Severity::kWarning, FindingKind::kEventSource, Where(section, u"Source"),
          "a periodic event's report goes to the channel or user named in Source, and Source is "
          "empty or missing.");
    } else if (event.ChOrUser.find(u'|') != std::u16string::npos) {
      Add(Severity::kWarning, FindingKind::kEventSource, Where(section, u"Source"),
          "a periodic event's Source is not split at \"|\": the report goes to one target named " +
              Quoted(event.ChOrUser) + ".");
    }
    if (file_.Value(section, u"Msg")) {
      Add(Severity::kWarning, FindingKind::kKeyNotRead, Where(section, u"Msg"),
          "a periodic event has no trigger: Msg is never read.");
    }
  }
  if (event.EventType == event_type::kAnyMessage && file_.Value(section, u"Source")) {
    Add(Severity::kWarning, FindingKind::kKeyNotRead, Where(section, u"Source"),
        "an any-message event (Type 2) has no source filter: Source is never read.");
  }
  if ((event.EventType == 0 || event.EventType == 1) && event.Msg.empty()) {
    Add(Severity::kNote, FindingKind::kEventMsg, Where(section, u"Msg"),
        "empty: the event fires only on a message with no text.");
  }
}

void ReportBuilder::ReadTableEnd(std::size_t n) {
  const std::u16string section = EventSection(n);
  if (!file_.HasSection(section)) {
    report_.table_end = "no section " + U8(section);
    return;
  }
  std::vector<std::string> missing;
  for (std::u16string_view key : {u"Type", u"Addr", u"Game"}) {
    if (!file_.Value(section, key)) missing.push_back(U8(key));
  }
  std::string keys;
  for (std::size_t i = 0; i < missing.size(); ++i) {
    if (i != 0) keys += i + 1 == missing.size() ? " and " : ", ";
    keys += missing[i];
  }
  const std::string lacks = std::string(missing.size() == 1 ? "no key " : "no keys ") + keys;
  report_.table_end = "the section " + U8(section) + " has " + lacks;
  Add(Severity::kWarning, FindingKind::kEventTableEnd, "[" + U8(section) + "]",
      "the section has " + lacks +
          " (Type, Addr and Game must all be present): the event table stops here, so this "
          "event and every one after it are never read.");
}

}  // namespace morvane::report_detail
