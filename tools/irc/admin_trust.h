// Who may reload the plug-in's settings from IRC. The plug-in trusts a
// bare nick, which anyone can take while it is free; the bridge passes a
// reload on only from a sender logged in to one of the admins' services
// accounts, or whose nick!user@host matches one of the admins' masks.
#pragma once

#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "irc_line.h"

namespace morvane::irc {

// Whether a text is a reload for the plug-in, typed with the trigger or "/".
bool IsReloadRequest(std::string_view text, std::string_view trigger);

// account: the sender's services account; empty when not logged in (or
// not known).
bool IsTrustedAdmin(std::string_view prefix, std::string_view account,
                    const std::vector<std::string>& admin_accounts,
                    const std::vector<std::string>& admin_masks);

// The services accounts of the users a connection sees, as the server
// tells them: in JOIN with extended-join, in ACCOUNT with account-notify,
// and in the "account" tag of their messages with account-tag.
class AccountTracker {
 public:
  void Note(const IrcMessage& message);
  // The sender's account: the message's own tag when the server tags
  // messages (account_tags), else what was last heard while the server
  // reports changes (account_notify: without it a log-out goes unheard);
  // empty for none.
  std::string AccountOf(const IrcMessage& message, bool account_tags, bool account_notify) const;
  void Clear() { accounts_.clear(); }

 private:
  std::map<std::string, std::string> accounts_;  // IrcLower(nick) -> account
};

}  // namespace morvane::irc
