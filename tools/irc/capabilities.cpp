#include "capabilities.h"

#include <algorithm>

namespace morvane::irc {
namespace {

// What the bridge makes use of, sasl aside.
constexpr std::string_view kUsed[] = {"multi-prefix",   "account-tag", "extended-join",
                                      "account-notify", "away-notify", "message-tags",
                                      "server-time",    "cap-notify"};
// A request line stays far below the 512 bytes of a line.
constexpr std::size_t kRequestBytes = 400;

std::vector<std::string> Words(std::string_view text) {
  std::vector<std::string> words;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find(' ', start);
    if (end == std::string_view::npos) end = text.size();
    if (end > start) words.emplace_back(text.substr(start, end - start));
    start = end + 1;
  }
  return words;
}

std::string Upper(std::string_view text) {
  std::string out(text);
  for (char& c : out) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return out;
}

}  // namespace

CapNegotiator::CapNegotiator(std::string sasl_mechanism) : sasl_mechanism_(Upper(sasl_mechanism)) {}

std::string CapNegotiator::Begin() {
  listing_.clear();
  offered_.clear();
  enabled_.clear();
  pending_.clear();
  sasl_state_ = SaslState::kNone;
  ended_ = false;
  return "CAP LS 302";
}

void CapNegotiator::Abandon() {
  ended_ = true;
  pending_.clear();
  if (sasl_state_ != SaslState::kNone) sasl_state_ = SaslState::kDone;
}

bool CapNegotiator::Offered(std::string_view cap) const {
  return std::any_of(offered_.begin(), offered_.end(),
                     [&](const auto& o) { return o.first == cap; });
}

bool CapNegotiator::Wanted(std::string_view cap, std::string_view value) const {
  if (cap == "sasl") {
    if (sasl_mechanism_.empty()) return false;
    // "sasl=PLAIN,EXTERNAL" names the mechanisms; a bare "sasl" does not.
    if (value.empty()) return true;
    std::string names(value);
    std::replace(names.begin(), names.end(), ',', ' ');
    for (const std::string& mechanism : Words(names)) {
      if (Upper(mechanism) == sasl_mechanism_) return true;
    }
    return false;
  }
  return std::find(std::begin(kUsed), std::end(kUsed), cap) != std::end(kUsed);
}

std::vector<std::string> CapNegotiator::OnCap(const IrcMessage& message) {
  // CAP <target> <subcommand> [*] :<list>
  const std::string sub = Upper(IrcParam(message, 1));
  const bool more = message.params.size() > 3 && message.params[2] == "*";
  const std::string list = IrcParam(message, more ? 3 : 2);
  if (sub == "LS" || sub == "NEW") {
    std::vector<std::string> fresh;
    for (const std::string& word : Words(list)) {
      std::size_t equals = word.find('=');
      std::string name = word.substr(0, equals);
      std::string value = equals == std::string::npos ? std::string() : word.substr(equals + 1);
      if (Offered(name)) continue;
      offered_.emplace_back(name, value);
      if (Wanted(name, value) && !Enabled(name)) fresh.push_back(name);
    }
    if (sub == "LS") {
      for (auto& name : fresh) listing_.push_back(std::move(name));
      if (more) return {};
      fresh = std::move(listing_);
      listing_.clear();
    }
    if (fresh.empty()) return sub == "LS" ? MaybeEnd() : std::vector<std::string>{};
    return Request(fresh);
  }
  if (sub == "ACK" || sub == "NAK") {
    const std::vector<std::string> caps = Words(list);
    auto answered = std::find_if(pending_.begin(), pending_.end(), [&](const auto& request) {
      return std::is_permutation(request.begin(), request.end(), caps.begin(), caps.end());
    });
    if (answered == pending_.end() && !pending_.empty()) answered = pending_.begin();
    std::vector<std::string> request;
    if (answered != pending_.end()) {
      request = *answered;
      pending_.erase(answered);
    }
    if (sub == "ACK") {
      for (const std::string& cap : caps) {
        if (cap.starts_with('-')) {
          enabled_.erase(cap.substr(1));
        } else {
          enabled_.insert(cap);
          if (cap == "sasl" && !ended_ && sasl_state_ == SaslState::kNone)
            sasl_state_ = SaslState::kReady;
        }
      }
      return MaybeEnd();
    }
    // A refusal is of the whole request: what was asked together is asked
    // once more one by one, so that the others are not lost with one.
    std::vector<std::string> lines;
    if (request.size() > 1) {
      for (const std::string& cap : request) {
        auto more_lines = Request({cap});
        lines.insert(lines.end(), more_lines.begin(), more_lines.end());
      }
      return lines;
    }
    return MaybeEnd();
  }
  if (sub == "DEL") {
    for (const std::string& cap : Words(list)) {
      enabled_.erase(cap);
      std::erase_if(offered_, [&](const auto& o) { return o.first == cap; });
    }
  }
  return {};
}

std::vector<std::string> CapNegotiator::SaslDone() {
  if (sasl_state_ == SaslState::kNone) return {};
  sasl_state_ = SaslState::kDone;
  return MaybeEnd();
}

std::vector<std::string> CapNegotiator::Request(const std::vector<std::string>& caps) {
  std::vector<std::string> lines;
  std::vector<std::string> batch;
  std::size_t bytes = 0;
  auto flush = [&] {
    if (batch.empty()) return;
    std::string joined;
    for (const std::string& cap : batch) joined += (joined.empty() ? "" : " ") + cap;
    lines.push_back(FormatIrcLine("CAP", {"REQ"}, joined));
    pending_.push_back(std::move(batch));
    batch.clear();
    bytes = 0;
  };
  for (const std::string& cap : caps) {
    if (bytes + cap.size() + 1 > kRequestBytes) flush();
    batch.push_back(cap);
    bytes += cap.size() + 1;
  }
  flush();
  return lines;
}

std::vector<std::string> CapNegotiator::MaybeEnd() {
  if (ended_ || !pending_.empty() || !listing_.empty()) return {};
  if (sasl_state_ == SaslState::kReady || sasl_state_ == SaslState::kRunning) return {};
  ended_ = true;
  return {"CAP END"};
}

}  // namespace morvane::irc
