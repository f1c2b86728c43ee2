// One input line of the console host, read from standard input or a script:
//
//   #main alice: text           a channel message from alice in #main
//   @alice: text                a private message from alice
//   alice(10.0.0.5)             either sender may carry an address text
//   !online [NAME]  !offline [NAME]
//   !wait SECONDS   !about  !options  !quit
//   // comment, and blank lines, are ignored
//
// Exactly one blank after the colon is dropped; every other blank of the
// message text is kept, so commands with odd spacing can be typed as they are.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "chat_records.h"

namespace morvane::console_host {

enum class LineKind {
  kIgnored,         // blank or a comment
  kChannelMessage,  // channel, user, text
  kPrivateMessage,  // user, text
  kOnline,          // user when named
  kOffline,         // user when named
  kWait,            // wait_ms
  kAbout,
  kOptions,
  kQuit,
  kError,  // error
};

struct ScriptLine {
  LineKind kind = LineKind::kIgnored;
  std::u16string channel;
  ChatUser user;
  bool user_named = false;  // !online and !offline: a user was named
  std::u16string text;
  std::int32_t wait_ms = 0;
  std::string error;
};

// The address text of a sender given without one.
inline constexpr std::u16string_view kDefaultUserIp = u"N/A";
// The longest !wait, so that a typing error cannot hang a test run for hours.
inline constexpr double kMaxWaitSeconds = 3600;
// Longer lines are refused rather than sent.
inline constexpr std::size_t kMaxLineBytes = 64 * 1024;

// Reads one line (without its line break; a trailing CR is dropped).
ScriptLine ParseScriptLine(std::string_view raw);

}  // namespace morvane::console_host
