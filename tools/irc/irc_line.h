// IRC protocol lines: reading what the server sends and writing what the
// bridge sends. Pure text in, values out; no sockets. A line from the server
// is untrusted: a malformed one is reported as such and never half-read.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace morvane::irc {

// The longest line the protocol allows, its CR LF included.
inline constexpr std::size_t kMaxLineBytes = 512;

// One message: "@tags :prefix COMMAND param param :trailing".
struct IrcMessage {
  std::string prefix;               // without the leading ':'; empty when the server gave none
  std::string command;              // upper case as sent; a numeric stays three digits
  std::vector<std::string> params;  // the trailing parameter is the last one
  // The message tags ("@account=alice;time=..."), their values unescaped; a
  // tag without a value maps to "". Of a key given twice the last counts.
  std::map<std::string, std::string, std::less<>> tags;
};

// Reads one line without its CR LF; its tags are read too. Nothing for a line that is empty, holds
// a NUL, CR or LF, has an empty prefix or no command, or a command that is
// neither letters nor three digits.
std::optional<IrcMessage> ParseIrcLine(std::string_view line);

// The parts of a prefix "nick!user@host". A server's own prefix has no '!'
// and no '@': all of it is the nick, and user and host are empty.
struct Prefix {
  std::string nick;
  std::string user;
  std::string host;
};
Prefix SplitPrefix(std::string_view prefix);

// True when a text can stand as a middle parameter: not empty, no blank,
// no ':' in front, no NUL, CR or LF. Targets (channels, nicks) must be one.
bool IsMiddleParam(std::string_view text);

// Writes a command line without CR LF: the middle parameters as they are,
// the trailing one after " :". The caller has checked the middle ones with
// IsMiddleParam and keeps NUL, CR and LF out of the trailing one.
std::string FormatIrcLine(std::string_view command, const std::vector<std::string>& middle,
                          std::optional<std::string_view> trailing = std::nullopt);

// Nick and channel names compare without case, with the server's default
// "rfc1459" mapping: A-Z and []\~ are the capitals of a-z and {}|^.
bool IrcEqual(std::string_view a, std::string_view b);
// The message's parameter at index i; empty when it has fewer.
std::string IrcParam(const IrcMessage& message, std::size_t i);
std::string IrcLower(std::string_view text);
// Whether an IRC mask, with "*" (any run) and "?" (any one character),
// matches a text such as nick!user@host, compared as IRC compares nicks.
bool MaskMatches(std::string_view mask, std::string_view text);
// The value of a message tag; nothing when the message does not carry it.
std::optional<std::string> IrcTag(const IrcMessage& message, std::string_view key);

}  // namespace morvane::irc
