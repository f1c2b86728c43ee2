#include "admin_trust.h"

#include "irc_text.h"

namespace morvane::irc {
namespace {

// Beyond this many users the oldest knowledge is dropped rather than grown.
constexpr std::size_t kMostTracked = 10000;

}  // namespace

bool IsReloadRequest(std::string_view text, std::string_view trigger) {
  return LowerAscii(ApplyTrigger(text, trigger)) == "/reload";
}

bool IsTrustedAdmin(std::string_view prefix, std::string_view account,
                    const std::vector<std::string>& admin_accounts,
                    const std::vector<std::string>& admin_masks) {
  if (!account.empty()) {
    for (const std::string& admin : admin_accounts) {
      if (!admin.empty() && IrcEqual(admin, account)) return true;
    }
  }
  // Only a whole nick!user@host is matched: a server's or a bare nick's
  // prefix would let "*" stand for what the server never said.
  const Prefix from = SplitPrefix(prefix);
  if (from.user.empty() || from.host.empty()) return false;
  for (const std::string& mask : admin_masks) {
    if (!mask.empty() && MaskMatches(mask, prefix)) return true;
  }
  return false;
}

void AccountTracker::Note(const IrcMessage& message) {
  const std::string nick = IrcLower(SplitPrefix(message.prefix).nick);
  if (nick.empty()) return;
  const std::string& command = message.command;
  auto set = [&](const std::string& account) {
    if (account.empty() || account == "*") {
      accounts_.erase(nick);
    } else {
      if (accounts_.size() >= kMostTracked) accounts_.clear();
      accounts_[nick] = account;
    }
  };
  if (auto tag = IrcTag(message, "account")) {
    set(*tag);
  }
  if (command == "JOIN" && message.params.size() >= 3) {
    set(message.params[1]);  // extended-join: channel, account or "*", real name
  } else if (command == "ACCOUNT") {
    set(IrcParam(message, 0));
  } else if (command == "NICK") {
    auto found = accounts_.find(nick);
    if (found == accounts_.end()) return;
    std::string account = found->second;
    accounts_.erase(found);
    accounts_[IrcLower(IrcParam(message, 0))] = account;
  } else if (command == "QUIT") {
    accounts_.erase(nick);
  }
}

std::string AccountTracker::AccountOf(const IrcMessage& message, bool account_tags,
                                      bool account_notify) const {
  if (account_tags) return IrcTag(message, "account").value_or(std::string());
  if (!account_notify) return {};
  auto found = accounts_.find(IrcLower(SplitPrefix(message.prefix).nick));
  return found == accounts_.end() ? std::string() : found->second;
}

}  // namespace morvane::irc
