// morvane-irc's settings: the command line, over the configuration file
// (irc_config.h), with the secrets from the environment.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace morvane::irc {

// How fast and how much the bridge sends, and how much it takes from one user.
struct RateSettings {
  int burst = 4;                            // lines that may leave at once
  std::chrono::milliseconds interval{700};  // then one line per interval, over every target
  int queue_lines = 50;                     // lines queued per target (channel or nick)
  int commands_per_minute = 6;              // per user; past it the user is ignored
  std::chrono::seconds ignore_for{120};     // for this long
  std::chrono::seconds rejoin_after{10};    // after a kick; doubled for each kick that follows
};

// How the bridge logs in to the network's services.
enum class SaslMechanism { kNone, kPlain, kExternal };

struct IrcOptions {
  // --- The server
  std::string host;
  std::uint16_t port = 0;  // 0 until parsed: 6667, or 6697 with --tls
  bool tls = false;
  std::string tls_ca;           // a CA file trusted besides the system's; empty: none
  std::string tls_fingerprint;  // the server certificate's SHA-256, hex (colons allowed); empty: none
  std::string tls_certificate;  // the client certificate (PEM) shown to the server; empty: none
  std::string tls_key;          // its key (PEM); empty: in the certificate's file
  std::string password;         // the server password (PASS)

  // --- Identity
  std::string nick;
  std::string realname = "Morvane game-server queries";
  SaslMechanism sasl = SaslMechanism::kNone;
  std::string account;           // the services account; empty: the nick
  std::string account_password;  // for SASL PLAIN, or NickServ IDENTIFY where SASL is missing

  // --- The bridge
  std::string module_path;  // empty: the module beside the program
  bool virtual_mode = false;
  std::string trigger = "!";
  bool usage_notice = true;  // "!help", "!gs" alone or with an unknown kind get a usage NOTICE
  // Channel keys by IRC channel name in lower case ("#extra" -> "sekrit").
  std::map<std::string, std::string> channel_keys;
  // Who may "!reload": services accounts, and nick!user@host masks (* and ?).
  std::vector<std::string> admin_accounts;
  std::vector<std::string> admin_masks;
  RateSettings rate;

  std::string config_path;  // --config; empty: none
  bool help = false;
  // Said once at start: a secret given on the command line, and the like.
  std::vector<std::string> warnings;
};

// The environment variables that hold the secrets, so that they never show
// in the process list.
inline constexpr char kPasswordVariable[] = "MORVANE_IRC_PASSWORD";
inline constexpr char kAccountPasswordVariable[] = "MORVANE_IRC_ACCOUNT_PASSWORD";

// An environment variable's value; nothing when it is not set.
using EnvironmentLookup = std::function<std::optional<std::string>(const char* name)>;
std::optional<std::string> ProcessEnvironment(const char* name);

// Parses the arguments after the program name. With --config, the file is
// read first and the flags override what it says; the secrets' variables
// override the file, and --password overrides them (with a warning). On a
// bad argument, an unreadable or bad file, or settings that cannot work
// together, returns nothing and sets error to a one-line reason.
std::optional<IrcOptions> ParseIrcOptions(
    const std::vector<std::string>& args, std::string& error,
    const EnvironmentLookup& environment = ProcessEnvironment);

// The checks that the flags and the configuration file share. Each returns
// false with the reason in why when the value cannot be used.
bool CheckNick(std::string_view nick, std::string& why);
bool CheckTrigger(std::string_view trigger, std::string& why);
bool CheckFingerprint(std::string_view fingerprint, std::string& why);
bool CheckAdminMask(std::string_view mask, std::string& why);
bool CheckAccount(std::string_view account, std::string& why);
std::optional<SaslMechanism> SaslFromName(std::string_view name);
// Adds a channel's key: "extra" stands for "#extra"; the name is kept as
// IRC compares it (lower case).
bool AddChannelKey(IrcOptions& options, std::string_view channel, std::string_view key,
                   std::string& why);

// The --help text, ending in a line break.
std::string IrcUsage();

}  // namespace morvane::irc
