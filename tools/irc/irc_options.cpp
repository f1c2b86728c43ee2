#include "irc_options.h"

#include <charconv>
#include <cstdlib>

#include "common/text.h"
#include "irc_line.h"
#include "irc_transport.h"

namespace morvane::irc {
namespace {

constexpr std::uint16_t kPlainPort = 6667;
constexpr std::uint16_t kTlsPort = 6697;

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
bool ParseServer(const std::string& value, IrcOptions& options, std::string& error) {
  std::string host = value;
  std::optional<std::string> port;
  if (value.starts_with('[')) {
    std::size_t close = value.find(']');
    std::string rest = close == std::string::npos ? value : value.substr(close + 1);
    if (close == std::string::npos || (!rest.empty() && !rest.starts_with(':'))) {
      error = "--server: \"" + value + "\" is not [ADDRESS]:PORT";
      return false;
    }
    host = value.substr(1, close - 1);
    if (!rest.empty()) port = rest.substr(1);
  } else if (std::size_t colon = value.find(':');
             colon != std::string::npos && colon == value.rfind(':')) {
    host = value.substr(0, colon);
    port = value.substr(colon + 1);
  }
  if (host.empty()) {
    error = "--server needs a host name or address";
    return false;
  }
  if (port && !ParsePort(*port, options.port)) {
    error = "--server: \"" + *port + "\" is not a port from 1 to 65535";
    return false;
  }
  options.host = host;
  return true;
}

// The trigger is one character, which may take several bytes in UTF-8.
bool OneCharacter(const std::string& text) {
  if (text.empty() || !IsValidUtf8(text)) return false;
  std::u16string units = Utf8ToUtf16(text);
  if (units.size() == 1) return units[0] > u' ';
  return units.size() == 2 && units[0] >= 0xD800 && units[0] <= 0xDBFF;
}

}  // namespace

std::optional<IrcOptions> ParseIrcOptions(const std::vector<std::string>& args,
                                          std::string& error) {
  IrcOptions options;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg == "--help" || arg == "-h") {
      options.help = true;
      return options;
    }
    if (arg == "--virtual") {
      options.virtual_mode = true;
      continue;
    }
    if (arg == "--tls") {
      options.tls = true;
      continue;
    }
    bool takes_value = arg == "--server" || arg == "--nick" || arg == "--module" ||
                       arg == "--trigger" || arg == "--password" || arg == "--realname" ||
                       arg == "--tls-ca" || arg == "--tls-fingerprint" || arg == "--tls-cert" ||
                       arg == "--tls-key" || arg == "--sasl" || arg == "--account" ||
                       arg == "--admin-account" || arg == "--admin-mask";
    if (!takes_value) {
      error = "unknown option \"" + arg + "\" (see --help)";
      return std::nullopt;
    }
    if (i + 1 >= args.size()) {
      error = arg + " needs a value (see --help)";
      return std::nullopt;
    }
    const std::string& value = args[++i];
    if (arg == "--server") {
      if (!ParseServer(value, options, error)) return std::nullopt;
    } else if (arg == "--nick") {
      if (!IsMiddleParam(value) || value.find_first_of(",#&") != std::string::npos) {
        error = "--nick: \"" + value + "\" cannot be an IRC nick";
        return std::nullopt;
      }
      options.nick = value;
    } else if (arg == "--module") {
      options.module_path = value;
    } else if (arg == "--trigger") {
      if (!OneCharacter(value)) {
        error = "--trigger takes one visible character, not \"" + value + "\"";
        return std::nullopt;
      }
      options.trigger = value;
    } else if (arg == "--password") {
      options.password = value;
    } else if (arg == "--tls-ca") {
      options.tls_ca = value;
    } else if (arg == "--tls-fingerprint") {
      if (NormalizeFingerprint(value).empty()) {
        error = "--tls-fingerprint: \"" + value + "\" is not a SHA-256 in hex";
        return std::nullopt;
      }
      options.tls_fingerprint = value;
    } else if (arg == "--tls-cert") {
      options.tls_certificate = value;
    } else if (arg == "--tls-key") {
      options.tls_key = value;
    } else if (arg == "--sasl") {
      if (value == "plain") {
        options.sasl = SaslMechanism::kPlain;
      } else if (value == "external") {
        options.sasl = SaslMechanism::kExternal;
      } else if (value == "none") {
        options.sasl = SaslMechanism::kNone;
      } else {
        error = "--sasl takes plain, external or none, not \"" + value + "\"";
        return std::nullopt;
      }
    } else if (arg == "--account") {
      if (!IsMiddleParam(value)) {
        error = "--account: \"" + value + "\" cannot be an account name";
        return std::nullopt;
      }
      options.account = value;
    } else if (arg == "--admin-account") {
      options.admin_accounts.push_back(value);
    } else if (arg == "--admin-mask") {
      options.admin_masks.push_back(value);
    } else {
      options.realname = value;
    }
  }
  if (options.host.empty() || options.nick.empty()) {
    error = "--server and --nick are needed (see --help)";
    return std::nullopt;
  }
  if (options.tls && !TlsAvailable()) {
    error = "--tls: this build has no TLS";
    return std::nullopt;
  }
  if (options.port == 0) options.port = options.tls ? kTlsPort : kPlainPort;
  // The account's password is never a flag: it would show in the process list.
  if (const char* password = std::getenv("MORVANE_IRC_ACCOUNT_PASSWORD");
      password != nullptr && options.account_password.empty()) {
    options.account_password = password;
  }
  if (options.account_password.find_first_of(std::string_view("\0\r\n", 3)) != std::string::npos) {
    error = "the account password cannot hold a line break";
    return std::nullopt;
  }
  if (options.sasl == SaslMechanism::kPlain && options.account_password.empty()) {
    options.warnings.push_back(
        "SASL PLAIN without an account password (MORVANE_IRC_ACCOUNT_PASSWORD)");
  }
  if (options.sasl == SaslMechanism::kExternal &&
      (!options.tls || options.tls_certificate.empty())) {
    options.warnings.push_back("SASL EXTERNAL needs TLS and a client certificate (--tls-cert)");
  }
  for (const std::string* text : {&options.password, &options.realname}) {
    if (text->find_first_of(std::string_view("\0\r\n", 3)) != std::string::npos) {
      error = "--password and --realname cannot hold a line break";
      return std::nullopt;
    }
  }
  if (!options.password.empty() && !IsMiddleParam(options.password)) {
    error = "--password cannot hold a blank or start with \":\"";
    return std::nullopt;
  }
  return options;
}

std::string IrcUsage() {
  return R"(usage: morvane-irc --server HOST[:PORT] --nick NICK [options]

Connects the Morvane plug-in module to an IRC server: the plug-in answers
in the channels it joins and in private messages, as a chat host would let
it. Runs until interrupted (Ctrl-C, SIGTERM), then stops the plug-in and
quits. Logs what it does on standard error.

options:
  --server HOST[:PORT] the IRC server (port 6667, or 6697 with --tls;
                       an IPv6 address with a port as [ADDR]:PORT)
  --nick NICK          the host's own user; in direct mode the plug-in
                       speaks as this nick ("_" is added while it is taken)
  --module PATH        the module to load (default: Morvane.so, or
                       Morvane.dll on Windows, beside this program)
  --virtual            virtual-user mode: the plug-in logs in a user of its
                       own ([VirtUser] Name in Morvane.ini), which gets a
                       second connection under that nick
  --trigger CHAR       what chat users type instead of "/" (default: !):
                       "!gs hl 192.0.2.1:27015" reaches the plug-in as
                       "/gs hl 192.0.2.1:27015", "!reload" as "/reload"
  --tls                connect with TLS (the server's certificate is checked
                       against the system's trusted ones)
  --password PASS      the server password
  --realname TEXT      the real name shown for the connections
  --help               this text

Channels of Morvane.ini are IRC channels without the "#": Channels=main|games
joins #main and #games.

exit status: 0 after an interrupt, 1 when the plug-in refuses to start or
the server refuses the nick, 2 for a bad command line or a module that cannot
be loaded.
)";
}

}  // namespace morvane::irc
