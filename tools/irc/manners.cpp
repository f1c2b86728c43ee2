#include "manners.h"

#include <algorithm>
#include <vector>

#include "common/text.h"
#include "irc_log.h"
#include "irc_text.h"
#include "scan/scan_item.h"

#ifndef MORVANE_VERSION
#define MORVANE_VERSION "unknown"
#endif

namespace morvane::irc {
namespace {

constexpr char kCtcp = '\x01';
constexpr auto kAnswerEvery = std::chrono::seconds(10);
// Past this many users answered within 10 s, the bridge answers nobody new
// until some have waited their 10 s out.
constexpr std::size_t kMaxRemembered = 512;
// A PING's argument is echoed up to this many bytes.
constexpr std::size_t kMaxPingBytes = 64;

// The words of a text, split at blanks.
std::vector<std::string_view> Words(std::string_view text) {
  std::vector<std::string_view> words;
  while (!text.empty()) {
    const std::size_t start = text.find_first_not_of(' ');
    if (start == std::string_view::npos) break;
    text.remove_prefix(start);
    const std::size_t end = std::min(text.find(' '), text.size());
    words.push_back(text.substr(0, end));
    text.remove_prefix(end);
  }
  return words;
}

bool IsKindWord(std::string_view word) {
  const std::string lower = LowerAscii(word);
  return std::any_of(ServerKindWords().begin(), ServerKindWords().end(),
                     [&](const KindWord& kind) { return Utf16ToUtf8(kind.word) == lower; });
}

// A PING argument as it may be echoed: no control bytes, at most
// kMaxPingBytes, never cut inside a UTF-8 character.
std::string EchoablePing(std::string_view argument) {
  std::string echo;
  for (char c : argument) {
    if (static_cast<unsigned char>(c) >= 0x20) echo += c;
  }
  if (echo.size() <= kMaxPingBytes) return echo;
  std::size_t cut = kMaxPingBytes;
  while (cut > 0 && (static_cast<unsigned char>(echo[cut]) & 0xC0) == 0x80) --cut;
  return echo.substr(0, cut);
}

}  // namespace

std::string_view BridgeVersion() { return MORVANE_VERSION; }

Manners::Manners(std::string trigger, UsageNotice usage)
    : trigger_(std::move(trigger)), usage_(usage) {}

std::string Manners::UsageText() const {
  std::string kinds;
  for (const KindWord& kind : ServerKindWords()) {
    if (!kinds.empty()) kinds += ", ";
    kinds += Utf16ToUtf8(kind.word);
  }
  return "usage: " + trigger_ + "gs KIND ADDRESS[:PORT] \u2014 kinds: " + kinds + " \u2014 e.g. " +
         trigger_ + "gs hl 192.0.2.1:27015";
}

std::optional<std::string> Manners::Answer(const IrcMessage& message, Clock::time_point now) {
  if (message.command != "PRIVMSG") return std::nullopt;
  const Prefix sender = SplitPrefix(message.prefix);
  if (sender.nick.empty() || sender.user.empty() || !IsMiddleParam(sender.nick))
    return std::nullopt;
  const std::string text = IrcParam(message, 1);
  std::optional<std::string> answer;
  if (text.starts_with(kCtcp)) {
    answer = CtcpAnswer(text, now);
  } else if (usage_ == UsageNotice::kOn && NeedsUsage(text)) {
    answer = UsageText();
  }
  if (!answer) return std::nullopt;
  if (!TakeTurn(sender.host.empty() ? sender.nick : sender.host, now)) return std::nullopt;
  return FormatIrcLine("NOTICE", {sender.nick}, *answer);
}

std::optional<std::string> Manners::CtcpAnswer(std::string_view request,
                                               Clock::time_point now) const {
  // "\x01COMMAND argument\x01"; the closing byte is often left out.
  request.remove_prefix(1);
  if (request.ends_with(kCtcp)) request.remove_suffix(1);
  const std::size_t blank = std::min(request.find(' '), request.size());
  const std::string command(request.substr(0, blank));
  const std::string_view argument = request.substr(std::min(blank + 1, request.size()));
  std::string reply;
  if (command == "VERSION") {
    reply = "VERSION morvane-irc " + std::string(BridgeVersion()) + " (Morvane plug-in host)";
  } else if (command == "PING") {
    reply = "PING " + EchoablePing(argument);
    if (reply.back() == ' ') reply.pop_back();
  } else if (command == "TIME") {
    reply = "TIME " + LocalTimeText(now, Fraction::kNone);
  } else if (command == "CLIENTINFO") {
    reply = "CLIENTINFO ACTION CLIENTINFO PING TIME VERSION";
  } else {
    return std::nullopt;
  }
  return kCtcp + reply + kCtcp;
}

// "!help", "!gs" alone, "!gs" with a word that is no kind, or a kind with no
// address after it: the plug-in would say nothing to any of them.
bool Manners::NeedsUsage(std::string_view text) const {
  if (trigger_.empty() || !text.starts_with(trigger_)) return false;
  const std::vector<std::string_view> words = Words(text.substr(trigger_.size()));
  if (words.empty() || text.substr(trigger_.size()).starts_with(' ')) return false;
  const std::string command = LowerAscii(words[0]);
  if (command == "help") return true;
  if (command != "gs") return false;
  return words.size() < 3 || !IsKindWord(words[1]);
}

bool Manners::TakeTurn(const std::string& who, Clock::time_point now) {
  auto fresh = [&](Clock::time_point then) { return then <= now && now - then < kAnswerEvery; };
  if (auto it = answered_.find(who); it != answered_.end() && fresh(it->second)) return false;
  if (answered_.size() >= kMaxRemembered) {
    std::erase_if(answered_, [&](const auto& entry) { return !fresh(entry.second); });
    if (answered_.size() >= kMaxRemembered) return false;
  }
  answered_[who] = now;
  return true;
}

}  // namespace morvane::irc
