#include "irc_options.h"

#include <algorithm>
#include <charconv>
#include <cstdlib>
#include <utility>

#include "common/text.h"
#include "irc_config.h"
#include "irc_line.h"
#include "irc_transport.h"

namespace morvane::irc {
namespace {

constexpr std::uint16_t kPlainPort = 6667;
constexpr std::uint16_t kTlsPort = 6697;
constexpr std::size_t kFingerprintDigits = 64;

// The flags that take a value; every other one stands alone.
constexpr std::string_view kValuedFlags[] = {
    "--server", "--nick",        "--module",        "--trigger",         "--password", "--realname",
    "--config", "--channel-key", "--tls-ca",        "--tls-fingerprint", "--tls-cert", "--tls-key",
    "--sasl",   "--account",     "--admin-account", "--admin-mask"};
constexpr std::string_view kBareFlags[] = {"--virtual", "--tls", "--no-usage-notice"};

bool ParsePort(std::string_view text, std::uint16_t& port) {
  unsigned value = 0;
  auto [next, status] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || status != std::errc() || next != text.data() + text.size()) return false;
  if (value == 0 || value > 65535) return false;
  port = static_cast<std::uint16_t>(value);
  return true;
}

// HOST, HOST:PORT, or [IPv6]:PORT (an IPv6 address alone has colons of its
// own, so a port after one needs the brackets).
bool ParseServer(const std::string& value, IrcOptions& options, std::string& why) {
  std::string host = value;
  std::optional<std::string> port;
  if (value.starts_with('[')) {
    std::size_t close = value.find(']');
    std::string rest = close == std::string::npos ? value : value.substr(close + 1);
    if (close == std::string::npos || (!rest.empty() && !rest.starts_with(':'))) {
      why = "\"" + value + "\" is not [ADDRESS]:PORT";
      return false;
    }
    host = value.substr(1, close - 1);
    if (!rest.empty()) port = rest.substr(1);
  } else if (std::size_t colon = value.find(':');
             colon != std::string::npos && colon == value.rfind(':')) {
    host = value.substr(0, colon);
    port = value.substr(colon + 1);
  }
  if (host.empty() || !IsMiddleParam(host)) {
    why = "needs a host name or address";
    return false;
  }
  if (port && !ParsePort(*port, options.port)) {
    why = "\"" + *port + "\" is not a port from 1 to 65535";
    return false;
  }
  options.host = host;
  return true;
}

bool HasLineBreakOrNul(std::string_view text) {
  return text.find_first_of(std::string_view("\0\r\n", 3)) != std::string_view::npos;
}

// One flag and its value, applied over what the file and the environment
// gave.
bool ApplyFlag(std::string_view flag, const std::string& value, IrcOptions& options,
               std::string& why) {
  auto set = [&value](std::string& field) {
    field = value;
    return true;
  };
  auto add = [&value](std::vector<std::string>& list) {
    list.push_back(value);
    return true;
  };
  if (flag == "--server") return ParseServer(value, options, why);
  if (flag == "--nick") return CheckNick(value, why) && set(options.nick);
  if (flag == "--module") return set(options.module_path);
  if (flag == "--trigger") return CheckTrigger(value, why) && set(options.trigger);
  if (flag == "--realname") return set(options.realname);
  if (flag == "--config") return true;  // read before every other flag
  if (flag == "--tls-ca") return set(options.tls_ca);
  if (flag == "--tls-cert") return set(options.tls_certificate);
  if (flag == "--tls-key") return set(options.tls_key);
  if (flag == "--tls-fingerprint")
    return CheckFingerprint(value, why) && set(options.tls_fingerprint);
  if (flag == "--account") return CheckAccount(value, why) && set(options.account);
  if (flag == "--admin-account") return CheckAccount(value, why) && add(options.admin_accounts);
  if (flag == "--admin-mask") return CheckAdminMask(value, why) && add(options.admin_masks);
  if (flag == "--sasl") {
    auto mechanism = SaslFromName(value);
    if (!mechanism) {
      why = "takes plain, external or none, not \"" + value + "\"";
      return false;
    }
    options.sasl = *mechanism;
    return true;
  }
  if (flag == "--channel-key") {
    const std::size_t equals = value.find('=');
    if (equals == std::string::npos) {
      why = "takes CHANNEL=KEY, not \"" + value + "\"";
      return false;
    }
    return AddChannelKey(options, std::string_view(value).substr(0, equals),
                         std::string_view(value).substr(equals + 1), why);
  }
  if (flag == "--password") {
    set(options.password);
    options.warnings.push_back(
        std::string("--password: every user of this machine can read the server password in the "
                    "process list; set it in the environment variable ") +
        kPasswordVariable + " or in the configuration file's server.password instead");
    return true;
  }
  if (flag == "--virtual") {
    options.virtual_mode = true;
  } else if (flag == "--tls") {
    options.tls = true;
  } else {
    options.usage_notice = false;  // --no-usage-notice
  }
  return true;
}

// What must hold once every source has been read.
bool CheckTogether(IrcOptions& options, std::string& error) {
  if (options.host.empty() || options.nick.empty()) {
    error =
        "a server and a nick are needed: --server and --nick, or host and nick in the "
        "configuration file (see --help)";
    return false;
  }
  if (options.tls && !TlsAvailable()) {
    error = "TLS: this build has no TLS";
    return false;
  }
  if (!options.tls && !(options.tls_ca.empty() && options.tls_fingerprint.empty() &&
                        options.tls_certificate.empty() && options.tls_key.empty())) {
    error = "--tls-ca, --tls-fingerprint, --tls-cert and --tls-key need --tls";
    return false;
  }
  if (!options.tls_key.empty() && options.tls_certificate.empty()) {
    error = "--tls-key needs --tls-cert, the certificate it belongs to";
    return false;
  }
  if (options.sasl == SaslMechanism::kExternal && options.tls_certificate.empty()) {
    error = "--sasl external logs in with the client certificate: it needs --tls-cert";
    return false;
  }
  if (options.sasl == SaslMechanism::kPlain && options.account_password.empty()) {
    error = std::string("--sasl plain needs the services account's password: set ") +
            kAccountPasswordVariable + " or the configuration file's identity.account_password";
    return false;
  }
  if (options.port == 0) options.port = options.tls ? kTlsPort : kPlainPort;
  if (HasLineBreakOrNul(options.password) || HasLineBreakOrNul(options.realname) ||
      HasLineBreakOrNul(options.account_password)) {
    error = "the passwords and the real name cannot hold a line break or NUL";
    return false;
  }
  if (!options.password.empty() && !IsMiddleParam(options.password)) {
    error = "the server password cannot hold a blank or start with \":\"";
    return false;
  }
  return true;
}

}  // namespace

std::optional<std::string> ProcessEnvironment(const char* name) {
  const char* value = std::getenv(name);
  if (value == nullptr) return std::nullopt;
  return std::string(value);
}

bool CheckNick(std::string_view nick, std::string& why) {
  if (IsMiddleParam(nick) && nick.find_first_of(",#&!@") == std::string_view::npos) return true;
  why = "\"" + std::string(nick) + "\" cannot be an IRC nick";
  return false;
}

// The trigger is one character, which may take several bytes in UTF-8.
bool CheckTrigger(std::string_view trigger, std::string& why) {
  const std::string text(trigger);
  bool one = false;
  if (!text.empty() && IsValidUtf8(text)) {
    std::u16string units = Utf8ToUtf16(text);
    one = units.size() == 1 ? units[0] > u' '
                            : units.size() == 2 && units[0] >= 0xD800 && units[0] <= 0xDBFF;
  }
  if (!one) why = "takes one visible character, not \"" + text + "\"";
  return one;
}

bool CheckFingerprint(std::string_view fingerprint, std::string& why) {
  std::size_t digits = 0;
  bool hex = true;
  for (char c : fingerprint) {
    if (c == ':') continue;
    ++digits;
    hex = hex && ((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'));
  }
  if (hex && digits == kFingerprintDigits) return true;
  why = "takes the certificate's SHA-256 as 64 hex digits (colons allowed), not \"" +
        std::string(fingerprint) + "\"";
  return false;
}

bool CheckAdminMask(std::string_view mask, std::string& why) {
  if (IsMiddleParam(mask)) return true;
  why = "takes a nick!user@host mask (* and ? as wildcards) without blanks, not \"" +
        std::string(mask) + "\"";
  return false;
}

bool CheckAccount(std::string_view account, std::string& why) {
  if (IsMiddleParam(account)) return true;
  why = "\"" + std::string(account) + "\" cannot be a services account name";
  return false;
}

std::optional<SaslMechanism> SaslFromName(std::string_view name) {
  if (name == "plain") return SaslMechanism::kPlain;
  if (name == "external") return SaslMechanism::kExternal;
  if (name == "none") return SaslMechanism::kNone;
  return std::nullopt;
}

bool AddChannelKey(IrcOptions& options, std::string_view channel, std::string_view key,
                   std::string& why) {
  std::string name = channel.starts_with('#') ? std::string(channel) : "#" + std::string(channel);
  if (name.size() < 2 || !IsMiddleParam(name) || name.find_first_of(",\x07") != std::string::npos) {
    why = "\"" + std::string(channel) + "\" cannot be a channel";
    return false;
  }
  if (!IsMiddleParam(key) || key.find(',') != std::string_view::npos) {
    why = "the key of " + name + " cannot be empty or hold a blank or a comma";
    return false;
  }
  options.channel_keys[IrcLower(name)] = std::string(key);
  return true;
}

std::optional<IrcOptions> ParseIrcOptions(const std::vector<std::string>& args, std::string& error,
                                          const EnvironmentLookup& environment) {
  IrcOptions options;
  std::vector<std::pair<std::string, std::string>> flags;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg == "--help" || arg == "-h") {
      options.help = true;
      return options;
    }
    if (std::find(std::begin(kBareFlags), std::end(kBareFlags), arg) != std::end(kBareFlags)) {
      flags.emplace_back(arg, "");
      continue;
    }
    if (std::find(std::begin(kValuedFlags), std::end(kValuedFlags), arg) ==
        std::end(kValuedFlags)) {
      error = "unknown option \"" + arg + "\" (see --help)";
      return std::nullopt;
    }
    if (i + 1 >= args.size()) {
      error = arg + " needs a value (see --help)";
      return std::nullopt;
    }
    flags.emplace_back(arg, args[++i]);
    if (arg == "--config") options.config_path = args[i];
  }

  if (!options.config_path.empty() && !ReadIrcConfigFile(options.config_path, options, error)) {
    return std::nullopt;
  }
  if (auto password = environment(kPasswordVariable)) options.password = *password;
  if (auto password = environment(kAccountPasswordVariable)) options.account_password = *password;
  for (const auto& [flag, value] : flags) {
    std::string why;
    if (!ApplyFlag(flag, value, options, why)) {
      error = flag + ": " + why;
      return std::nullopt;
    }
  }
  if (!CheckTogether(options, error)) return std::nullopt;
  return options;
}

std::string IrcUsage() {
  return R"(usage: morvane-irc --server HOST[:PORT] --nick NICK [options]
       morvane-irc --config FILE [options]

Connects the Morvane plug-in module to an IRC server: the plug-in answers
in the channels it joins and in private messages, as a chat host would let
it. Runs until interrupted (Ctrl-C, SIGTERM), then stops the plug-in and
quits. Logs what it does on standard error, each line with its local time
in ISO 8601 (2026-12-09T15:04:05.123+01:00).

options:
  --config FILE        read the settings from a TOML file (every key and an
                       example: docs/IRC.md); the flags below override it
  --server HOST[:PORT] the IRC server (port 6667, or 6697 with --tls;
                       an IPv6 address with a port as [ADDR]:PORT)
  --nick NICK          the host's own user; in direct mode the plug-in
                       speaks as this nick ("_" is added while it is taken)
  --realname TEXT      the real name shown for the connections
  --module PATH        the module to load (default: Morvane.so, or
                       Morvane.dll on Windows, beside this program)
  --virtual            virtual-user mode: the plug-in logs in a user of its
                       own ([VirtUser] Name in Morvane.ini), which gets a
                       second connection under that nick
  --trigger CHAR       what chat users type instead of "/" (default: !):
                       "!gs hl 192.0.2.1:27015" reaches the plug-in as
                       "/gs hl 192.0.2.1:27015", "!reload" as "/reload"
  --no-usage-notice    no usage NOTICE for "!help", "!gs" alone or "!gs"
                       with a kind the plug-in does not know
TLS:
  --tls                connect with TLS (the server's certificate is checked
                       against the system's trusted ones)
  --tls-ca FILE        also trust the CA certificates in FILE (PEM), e.g. a
                       private network's own CA or a self-signed server
  --tls-fingerprint SHA256
                       trust the server's certificate when its SHA-256 is
                       this (64 hex digits, colons allowed), whoever signed it
  --tls-cert FILE      the client certificate (PEM) shown to the server, for
                       SASL EXTERNAL or a network's certificate log-in
  --tls-key FILE       its private key (default: in the --tls-cert file)
Services and admins:
  --sasl MECH          log in to the services account with SASL: plain,
                       external (the client certificate) or none (default);
                       without SASL on the server, PLAIN falls back to
                       NickServ IDENTIFY
  --account NAME       the services account (default: the nick)
  --admin-account NAME a services account trusted to "!reload" (repeatable)
  --admin-mask MASK    a nick!user@host mask (* and ?) trusted to "!reload"
                       (repeatable); list accounts rather than nicks: anyone
                       can take a nick
  --channel-key CHANNEL=KEY
                       the key (+k) of a channel the plug-in joins
                       (repeatable; "extra" stands for "#extra")
  --password PASS      the server password; every user of the machine sees
                       it in the process list, so prefer the variable below
  --help               this text

--channel-key, --admin-account and --admin-mask add to the file's lists;
every other flag replaces the file's value.

environment:
  MORVANE_IRC_PASSWORD          the server password (over server.password)
  MORVANE_IRC_ACCOUNT_PASSWORD  the services account's password, for SASL
                                PLAIN or NickServ (over
                                identity.account_password); no flag takes it

Channels of Morvane.ini are IRC channels without the "#": Channels=main|games
joins #main and #games. At start the bridge says in its log when the
plug-in cannot read the Morvane.ini beside the module.

The bridge answers CTCP VERSION, PING, TIME and CLIENTINFO, and each user at
most once in 10 s.

exit status: 0 after an interrupt, 1 when the plug-in refuses to start or TLS
cannot be set up (a CA file, certificate or key that cannot be read), 2 for
a bad command line or configuration file or a module that cannot be loaded.
A nick that is taken or refused does not end the bridge.
)";
}

}  // namespace morvane::irc
