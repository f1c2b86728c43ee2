// The values of Morvane.ini as the plug-in uses them: [Main], the admin list,
// the event table and [VirtUser], read from a parsed IniFile into plain
// structs with every default and load-time conversion applied, as the key
// table (settings_keys.h) gives them. Pure: the loader (LoadSettings) does the
// file access, the host calls, the timer and the global state on top of this.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "settings/ini_file.h"
#include "settings/settings_keys.h"

namespace morvane {

// The built-in texts, before the markers are applied. The two blanks on each
// side of the first "-" in the "%addr%  -  " texts belong to them.
inline constexpr std::u16string_view kDefaultChannels = u"main";
inline constexpr std::u16string_view kDefaultFormat =
    u"%addr%  -  %name% - %map% - %pl%/%plmax% - %mod%";
inline constexpr std::u16string_view kDefaultOfflineFormat = u"%addr%  -  сервер офлайн";
inline constexpr std::u16string_view kDefaultTcpFormat = u"%addr%  -  сервер онлайн";
inline constexpr std::u16string_view kDefaultPlFormat = u"%pltime% - %plscore% - %plname%";
inline constexpr std::u16string_view kDefaultPlTitle = u"[b]Игроки сервера %addr% (%pl%):[/b]:;";
inline constexpr std::u16string_view kDefaultDelimiter = u":;";
inline constexpr std::u16string_view kDefaultPlDelimiter = u":;";
inline constexpr std::u16string_view kDefaultPlMoreFormat = u"... и ещё %plmore%";
inline constexpr std::u16string_view kDefaultCutText = u"... ответ сокращён";
inline constexpr std::u16string_view kDefaultPlHiddenText = u"Имена игроков скрыты сервером";
inline constexpr std::u16string_view kDefaultVirtUserName = u"Morvane";
inline constexpr std::u16string_view kDefaultVirtUserIp = u"N/A";
inline constexpr std::u16string_view kDefaultVirtUserPassword = u"PineMarshGlow";

// A value cannot hold a line break, so templates carry two markers: every
// ":;" becomes CR LF, then every "&&" becomes one blank. Both scan left to
// right without overlap, so "&&&" gives a blank followed by "&".
std::u16string ApplyMarkers(std::u16string_view text);

// Integer keys: decimal with an optional sign, or hexadecimal after "$", "0x"
// or "0X", within the signed 32-bit range. Anything else, an empty value and
// a missing key leave the fallback.
std::int32_t IntegerOr(std::optional<std::u16string_view> value, std::int32_t fallback);
// Boolean keys are integer keys: 0 is false, any other integer true; a value
// that is not an integer (such as "false") leaves the fallback.
bool BooleanOr(std::optional<std::u16string_view> value, bool fallback);

// A key as a load stores it, from the section of that name (an event's
// section is "Event_N"). A text's default may be given in place of the
// table's: an event's Format follows its Game.
std::u16string ReadTextKey(const IniFile& file, std::u16string_view section, const SettingKey& key,
                           std::u16string_view default_text);
std::u16string ReadTextKey(const IniFile& file, std::u16string_view section, const SettingKey& key);
std::int32_t ReadIntegerKey(const IniFile& file, std::u16string_view section,
                            const SettingKey& key);
bool ReadBooleanKey(const IniFile& file, std::u16string_view section, const SettingKey& key);

// [Main]. Field names are the key names; every default is the one a missing
// key gives, with the markers already applied (so a default-made MainSettings
// equals what a missing file gives).
struct MainSettings {
  std::u16string Channels = std::u16string(kDefaultChannels);
  bool ChScanEn = true, PmScanEn = true, MsgType = true;
  std::int32_t Delay = 0, TimeOut = 1000, MaxQueue = 20;
  // The most address items one chat "/gs" may name; 0 or less: no limit.
  std::int32_t MaxAddr = 32;
  // How many address items of one request are asked at once (1 or less: one
  // after another), and how often a query that got no usable reply goes out
  // again (0 or less: never). Events take these too.
  std::int32_t Parallel = 256, Retries = 2;
  // How many requests the worker serves at once, their items sharing the
  // Parallel places in flight (1 or less: one after another, in queue order).
  std::int32_t Requests = 4;
  // The most player lines one server adds to a reply, and the most
  // characters (UTF-16 code units) of one reply as sent, the cut marker
  // included; 0 or less: no limit. Events take these too.
  std::int32_t MaxPlayers = 64, MaxReply = 8000;
  std::u16string Format = ApplyMarkers(kDefaultFormat);
  std::u16string OfflineFormat = ApplyMarkers(kDefaultOfflineFormat);
  std::u16string TCPFormat = ApplyMarkers(kDefaultTcpFormat);
  std::u16string PlFormat = ApplyMarkers(kDefaultPlFormat);
  std::u16string PlTitle = ApplyMarkers(kDefaultPlTitle);
  std::u16string Delimiter = ApplyMarkers(kDefaultDelimiter);
  std::u16string PlDelimiter = ApplyMarkers(kDefaultPlDelimiter);
  // The line after the last player line MaxPlayers lets through: how many
  // players were left out ("%plmore%").
  std::u16string PlMoreFormat = ApplyMarkers(kDefaultPlMoreFormat);
  // The line that ends a reply cut at MaxReply.
  std::u16string CutText = ApplyMarkers(kDefaultCutText);
  // In place of the player lines of a server that counts its players but
  // hides their names ("%addr%").
  std::u16string PlHiddenText = ApplyMarkers(kDefaultPlHiddenText);
  // Source servers' texts pass through the system's ANSI code page, as they
  // once did, instead of going into the reply in full.
  bool AnsiValues = false;

  bool operator==(const MainSettings&) const = default;
};

// What a missing file gives.
MainSettings DefaultMainSettings();

// The event types: what makes an event fire.
namespace event_type {
inline constexpr std::int32_t kChannelMessage = 0;
inline constexpr std::int32_t kPrivateMessage = 1;
inline constexpr std::int32_t kAnyMessage = 2;
inline constexpr std::int32_t kPeriodic = 3;
}  // namespace event_type

// The built-in Format of an event, by its Game word compared exactly: "tcp"
// takes the TCP text, a word ending in "pl" the player line, anything else
// the summary.
std::u16string_view DefaultEventFormat(std::u16string_view game);

// One configured event, from section "Event_N".
struct TEvent {
  std::int32_t EventType = 0, Delay = 0, MsgType = 1, TimeOut = 1000;
  double LastUse = 0;  // TDateTime; 0 means never. Every load sets it to 0.
  std::u16string ChOrUser, Msg, Addr, Title, Format, OffFormat, PlTitle, Game, Delimiter,
      PlDelimiter;

  bool operator==(const TEvent&) const = default;
};

// [VirtUser]: the identity the virtual user logs in with.
struct VirtUserValues {
  std::u16string Name = std::u16string(kDefaultVirtUserName);
  std::u16string IP = std::u16string(kDefaultVirtUserIp);
  std::u16string Password = std::u16string(kDefaultVirtUserPassword);

  bool operator==(const VirtUserValues&) const = default;
};

struct SettingsValues {
  MainSettings main;
  // AdmUsers split at every "|", pieces untrimmed and empty ones kept: an
  // empty or missing AdmUsers gives one empty entry.
  std::vector<std::u16string> admin_list;
  // Event_0, Event_1 ... up to the first N whose section lacks Type, Addr or
  // Game.
  std::vector<TEvent> events;
  // Whether any loaded event is periodic (EventType 3), so the timer must run.
  bool has_periodic_event = false;
  // Read only in virtual-user mode; the defaults otherwise.
  VirtUserValues virt_user;
};

// Reads a settings file in the loader's order. A default-made IniFile stands
// for a missing file.
SettingsValues ReadSettingsValues(const IniFile& file, bool virtual_user_mode);

// The event whose section is "Event_N", or nothing when that section lacks
// Type, Addr or Game (a key with an empty value counts as present).
std::optional<TEvent> ReadEvent(const IniFile& file, std::size_t n);

}  // namespace morvane
