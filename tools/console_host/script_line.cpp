#include "script_line.h"

#include <charconv>
#include <optional>

#include "common/text.h"

namespace morvane::console_host {
namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view Trim(std::string_view text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  return text;
}

// "alice" or "alice(10.0.0.5)"; nothing when the name is empty.
std::optional<ChatUser> ParseUser(std::string_view token) {
  token = Trim(token);
  ChatUser user{std::u16string(), std::u16string(kDefaultUserIp)};
  std::size_t open = token.find('(');
  if (open != std::string_view::npos && !token.empty() && token.back() == ')') {
    user.ip = Utf8ToUtf16(Trim(token.substr(open + 1, token.size() - open - 2)));
    token = Trim(token.substr(0, open));
  }
  if (token.empty()) return std::nullopt;
  user.name = Utf8ToUtf16(token);
  return user;
}

// The text after "sender:" with the one blank that follows the colon dropped.
std::u16string MessageText(std::string_view after_colon) {
  if (!after_colon.empty() && after_colon.front() == ' ') after_colon.remove_prefix(1);
  return Utf8ToUtf16(after_colon);
}

ScriptLine Error(std::string message) {
  ScriptLine line;
  line.kind = LineKind::kError;
  line.error = std::move(message);
  return line;
}

ScriptLine CannotRead(std::string_view text) {
  constexpr std::size_t kShown = 60;
  std::string shown(text.substr(0, kShown));
  if (text.size() > kShown) shown += "...";
  return Error("cannot read \"" + shown +
               "\": expected #channel user: text, @user: text or a !command");
}

ScriptLine ParseCommand(std::string_view body) {
  std::size_t end = 0;
  while (end < body.size() && !IsBlank(body[end])) ++end;
  std::string_view word = body.substr(0, end);
  std::string_view argument = Trim(body.substr(end));
  ScriptLine line;
  if (word == "online" || word == "offline") {
    line.kind = word == "online" ? LineKind::kOnline : LineKind::kOffline;
    if (argument.empty()) return line;
    auto user = ParseUser(argument);
    if (!user) return Error("!" + std::string(word) + " takes an optional user name");
    line.user = *user;
    line.user_named = true;
    return line;
  }
  if (word == "wait") {
    double seconds = -1;
    auto [next, status] =
        std::from_chars(argument.data(), argument.data() + argument.size(), seconds);
    // from_chars accepts "inf" and "nan"; the range test below refuses them.
    if (argument.empty() || status != std::errc() || next != argument.data() + argument.size() ||
        !(seconds >= 0 && seconds <= kMaxWaitSeconds)) {
      return Error("!wait takes a number of seconds from 0 to 3600, such as 2 or 0.5");
    }
    line.kind = LineKind::kWait;
    line.wait_ms = static_cast<std::int32_t>(seconds * 1000 + 0.5);
    return line;
  }
  if (word == "about" || word == "options" || word == "quit") {
    if (!argument.empty()) return Error("!" + std::string(word) + " takes no argument");
    line.kind = word == "about"     ? LineKind::kAbout
                : word == "options" ? LineKind::kOptions
                                    : LineKind::kQuit;
    return line;
  }
  return Error("unknown command \"!" + std::string(word) +
               "\": expected !online, !offline, !wait, !about, !options or !quit");
}

}  // namespace

ScriptLine ParseScriptLine(std::string_view raw) {
  if (!raw.empty() && raw.back() == '\r') raw.remove_suffix(1);
  if (raw.size() > kMaxLineBytes) return Error("line longer than 65536 bytes");
  std::string_view text = Trim(raw);
  if (text.empty() || text.starts_with("//")) return {};

  if (text.front() == '!') return ParseCommand(text.substr(1));

  if (text.front() == '@') {
    // The message text is taken from the untrimmed line so trailing blanks stay.
    std::size_t colon = raw.find(':');
    if (colon == std::string_view::npos) return CannotRead(text);
    std::size_t at = raw.find('@');
    auto user = ParseUser(raw.substr(at + 1, colon - at - 1));
    if (!user) return CannotRead(text);
    ScriptLine line;
    line.kind = LineKind::kPrivateMessage;
    line.user = *user;
    line.text = MessageText(raw.substr(colon + 1));
    return line;
  }

  if (text.front() == '#') {
    std::size_t hash = raw.find('#');
    std::size_t channel_end = hash + 1;
    while (channel_end < raw.size() && !IsBlank(raw[channel_end])) ++channel_end;
    std::string_view channel = raw.substr(hash + 1, channel_end - hash - 1);
    std::size_t colon = raw.find(':', channel_end);
    if (channel.empty() || colon == std::string_view::npos) return CannotRead(text);
    auto user = ParseUser(raw.substr(channel_end, colon - channel_end));
    if (!user) return CannotRead(text);
    // The channel is sent without its "#": the plug-in compares it with the
    // names of its Channels setting, which carry none.
    ScriptLine line;
    line.kind = LineKind::kChannelMessage;
    line.channel = Utf8ToUtf16(channel);
    line.user = *user;
    line.text = MessageText(raw.substr(colon + 1));
    return line;
  }

  return CannotRead(text);
}

}  // namespace morvane::console_host
