#include "irc_line.h"

#include <algorithm>

namespace morvane::irc {
namespace {

bool IsLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

bool ValidCommand(std::string_view command) {
  if (command.empty()) return false;
  if (std::all_of(command.begin(), command.end(), IsLetter)) return true;
  return command.size() == 3 && std::all_of(command.begin(), command.end(), IsDigit);
}

// The next word up to a blank; the view moves past the word and the blanks
// that follow it. Several blanks between parameters count as one, as most
// servers and clients accept.
std::string_view NextWord(std::string_view& rest) {
  std::size_t end = rest.find(' ');
  std::string_view word = rest.substr(0, end);
  rest.remove_prefix(end == std::string_view::npos ? rest.size() : end);
  while (!rest.empty() && rest.front() == ' ') rest.remove_prefix(1);
  return word;
}

char LowerChar(char c) {
  if (c >= 'A' && c <= 'Z') return static_cast<char>(c - 'A' + 'a');
  switch (c) {
    case '[':
      return '{';
    case ']':
      return '}';
    case '\\':
      return '|';
    case '~':
      return '^';
    default:
      return c;
  }
}

// A tag's value with its escapes undone: "\:" is ';', "\s" a blank, "\\"
// a backslash, "\r" and "\n" CR and LF; a backslash before another
// character is dropped, and so is one at the end.
std::string UnescapeTagValue(std::string_view value) {
  std::string out;
  out.reserve(value.size());
  for (std::size_t i = 0; i < value.size(); ++i) {
    if (value[i] != '\\') {
      out += value[i];
      continue;
    }
    if (++i == value.size()) break;
    switch (value[i]) {
      case ':':
        out += ';';
        break;
      case 's':
        out += ' ';
        break;
      case 'r':
        out += '\r';
        break;
      case 'n':
        out += '\n';
        break;
      default:
        out += value[i];
        break;
    }
  }
  return out;
}

void ReadTags(std::string_view text, IrcMessage& message) {
  while (!text.empty()) {
    std::size_t end = text.find(';');
    std::string_view tag = text.substr(0, end);
    text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    std::size_t equals = tag.find('=');
    std::string_view key = tag.substr(0, equals);
    if (key.empty()) continue;
    message.tags[std::string(key)] =
        equals == std::string_view::npos ? std::string() : UnescapeTagValue(tag.substr(equals + 1));
  }
}

}  // namespace

std::optional<IrcMessage> ParseIrcLine(std::string_view line) {
  if (line.find_first_of(std::string_view("\0\r\n", 3)) != std::string_view::npos) {
    return std::nullopt;
  }
  std::string_view rest = line;
  while (!rest.empty() && rest.front() == ' ') rest.remove_prefix(1);
  IrcMessage message;
  if (!rest.empty() && rest.front() == '@') {
    ReadTags(NextWord(rest).substr(1), message);
  }
  if (!rest.empty() && rest.front() == ':') {
    rest.remove_prefix(1);
    std::string_view prefix = NextWord(rest);
    if (prefix.empty()) return std::nullopt;
    message.prefix = prefix;
  }
  std::string_view command = NextWord(rest);
  if (!ValidCommand(command)) return std::nullopt;
  message.command = command;
  while (!rest.empty()) {
    if (rest.front() == ':') {
      message.params.emplace_back(rest.substr(1));
      break;
    }
    message.params.emplace_back(NextWord(rest));
  }
  return message;
}

Prefix SplitPrefix(std::string_view prefix) {
  Prefix out;
  std::size_t at = prefix.find('@');
  std::string_view nick_user = prefix.substr(0, at);
  if (at != std::string_view::npos) out.host = prefix.substr(at + 1);
  std::size_t bang = nick_user.find('!');
  out.nick = nick_user.substr(0, bang);
  if (bang != std::string_view::npos) out.user = nick_user.substr(bang + 1);
  return out;
}

bool IsMiddleParam(std::string_view text) {
  if (text.empty() || text.front() == ':') return false;
  return text.find_first_of(std::string_view(" \0\r\n", 4)) == std::string_view::npos;
}

std::string FormatIrcLine(std::string_view command, const std::vector<std::string>& middle,
                          std::optional<std::string_view> trailing) {
  std::string line(command);
  for (const auto& param : middle) {
    line += ' ';
    line += param;
  }
  if (trailing) {
    line += " :";
    line += *trailing;
  }
  return line;
}

bool IrcEqual(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return LowerChar(x) == LowerChar(y);
         });
}

std::string IrcLower(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = LowerChar(c);
  return out;
}

std::string IrcParam(const IrcMessage& message, std::size_t i) {
  return i < message.params.size() ? message.params[i] : std::string();
}

std::optional<std::string> IrcTag(const IrcMessage& message, std::string_view key) {
  auto found = message.tags.find(key);
  if (found == message.tags.end()) return std::nullopt;
  return found->second;
}

bool MaskMatches(std::string_view mask, std::string_view text) {
  const std::string m = IrcLower(mask);
  const std::string t = IrcLower(text);
  // Greedy matching with a return to the last "*".
  std::size_t mi = 0, ti = 0, star = std::string::npos, after_star = 0;
  while (ti < t.size()) {
    if (mi < m.size() && (m[mi] == '?' || m[mi] == t[ti])) {
      ++mi;
      ++ti;
    } else if (mi < m.size() && m[mi] == '*') {
      star = mi++;
      after_star = ti;
    } else if (star != std::string::npos) {
      mi = star + 1;
      ti = ++after_star;
    } else {
      return false;
    }
  }
  while (mi < m.size() && m[mi] == '*') ++mi;
  return mi == m.size();
}

}  // namespace morvane::irc
