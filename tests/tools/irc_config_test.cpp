// morvane-irc's settings: the TOML file, the flags over it, the secrets from
// the environment, and the log's time stamps.
#include <gtest/gtest.h>

#include <cstdio>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "irc/irc_config.h"
#include "irc/irc_log.h"
#include "irc/irc_options.h"

namespace morvane::irc {
namespace {

constexpr char kFullFile[] = R"(
[server]
host = "irc.example.net"
port = 7000
tls = true
tls_fingerprint = "ab:CD:ef:01:23:45:67:89:ab:cd:ef:01:23:45:67:89:ab:cd:ef:01:23:45:67:89:ab:cd:ef:01:23:45:67:89"
tls_certificate = "/etc/morvane/bot.pem"
password = "from-file"
[identity]
nick = "Morvane"
sasl = "external"
account = ""
[bridge]
virtual = true
trigger = "§"
usage_notice = false
[channel_keys]
"#Extra" = "sekrit"
other = "k2"
[admins]
accounts = ["alice", "bob"]
masks = ["*!*@staff.example.net"]
[rate]
burst = 2
interval_ms = 1500
queue_lines = 20
commands_per_minute = 3
ignore_seconds = 60
rejoin_seconds = 30
)";

TEST(IrcConfig, ReadsEveryKindOfKey) {
  IrcOptions options;
  std::string error;
  ASSERT_TRUE(ReadIrcConfigText(kFullFile, "bot.toml", options, error)) << error;
  EXPECT_EQ(options.host, "irc.example.net");
  EXPECT_EQ(options.port, 7000);
  EXPECT_TRUE(options.tls);
  EXPECT_EQ(options.sasl, SaslMechanism::kExternal);
  EXPECT_TRUE(options.account.empty());
  EXPECT_TRUE(options.virtual_mode);
  EXPECT_EQ(options.trigger, "§");
  EXPECT_FALSE(options.usage_notice);
  EXPECT_EQ(options.channel_keys,
            (std::map<std::string, std::string>{{"#extra", "sekrit"}, {"#other", "k2"}}));
  EXPECT_EQ(options.admin_accounts, (std::vector<std::string>{"alice", "bob"}));
  EXPECT_EQ(options.rate.interval, std::chrono::milliseconds(1500));
  EXPECT_EQ(options.rate.rejoin_after, std::chrono::seconds(30));
}

// A mistake in the file is an error naming the place and the key, never a
// silently ignored setting.
TEST(IrcConfig, NamesTheLineAndKeyOfEveryMistake) {
  struct Case {
    const char* text;
    const char* want;
  } cases[] = {
      {"[server]\nhots = \"x\"\n", "f.toml:2:1: unknown key server.hots"},
      {"[server]\nport = \"6697\"\n", "f.toml:2:8: server.port must be an integer"},
      {"[server]\nport = 70000\n", "f.toml:2:8: server.port: must be from 1 to 65535"},
      {"[servers]\nhost = \"x\"\n", "f.toml:1:2: unknown section or key \"servers\""},
      {"nick = \"x\"\n", "f.toml:1:1: unknown section or key \"nick\""},
      {"[identity]\nnick = \"a b\"\n", "f.toml:2:8: identity.nick: \"a b\" cannot be an IRC nick"},
      {"[identity]\nsasl = \"PLAIN\"\n", "identity.sasl: takes \"plain\""},
      {"[server]\ntls_fingerprint = \"abcd\"\n",
       "server.tls_fingerprint: takes the certificate's SHA-256"},
      {"[bridge]\nvirtual = 1\n", "bridge.virtual must be true or false"},
      {"[bridge]\ntrigger = \"!!\"\n", "bridge.trigger: takes one visible character"},
      {"[admins]\naccounts = [\"a\", 2]\n", "admins.accounts must be an array of strings"},
      {"[admins]\nmasks = [\"\"]\n", "admins.masks: takes a nick!user@host mask"},
      {"[channel_keys]\n\"#a b\" = \"k\"\n", "channel_keys.#a b: \"#a b\" cannot be a channel"},
      {"[channel_keys]\nextra = \"a,b\"\n", "the key of #extra cannot be empty"},
      {"[rate]\nburst = 0\n", "rate.burst: must be from 1 to 100"},
      {"[server]\nhost = \"a\"\nhost = \"b\"\n", "f.toml:3:"},
      {"[server\n", "f.toml:1:"},
  };
  for (const auto& c : cases) {
    IrcOptions options;
    std::string error;
    EXPECT_FALSE(ReadIrcConfigText(c.text, "f.toml", options, error)) << c.text;
    EXPECT_NE(error.find(c.want), std::string::npos) << c.text << "\n  gave: " << error;
  }
}

// The full file without its TLS keys, which a build without TLS (Windows)
// refuses.
std::string FileWithoutTls() {
  std::string text;
  std::istringstream lines(kFullFile);
  for (std::string line; std::getline(lines, line);) {
    if (line.starts_with("tls")) continue;
    text += (line == "sasl = \"external\"" ? std::string("sasl = \"none\"") : line) + "\n";
  }
  return text;
}

TEST(IrcOptions, FlagsOverTheFileAndSecretsFromTheEnvironment) {
  const auto path = std::filesystem::temp_directory_path() / "morvane_irc_config_test.toml";
  std::ofstream(path) << FileWithoutTls();
  std::map<std::string, std::string> environment;
  auto lookup = [&environment](const char* name) -> std::optional<std::string> {
    auto it = environment.find(name);
    return it == environment.end() ? std::nullopt : std::optional(it->second);
  };
  auto parse = [&](std::vector<std::string> args, std::string& error) {
    return ParseIrcOptions(args, error, lookup);
  };
  std::string error;
  auto options = parse({"--config", path.string(), "--nick", "Other", "--admin-account", "carol",
                        "--channel-key", "extra=new", "--server", "irc.other.net"},
                       error);
  ASSERT_TRUE(options) << error;
  EXPECT_EQ(options->nick, "Other");
  EXPECT_EQ(options->host, "irc.other.net");
  EXPECT_EQ(options->port, 7000);  // the file's, as the flag named none
  EXPECT_EQ(options->trigger, "§");
  EXPECT_EQ(options->admin_accounts, (std::vector<std::string>{"alice", "bob", "carol"}));
  EXPECT_EQ(options->channel_keys.at("#extra"), "new");
  EXPECT_EQ(options->password, "from-file");
  EXPECT_TRUE(options->warnings.empty());

  environment = {{kPasswordVariable, "from-env"}, {kAccountPasswordVariable, "acct"}};
  options = parse({"--config", path.string(), "--sasl", "plain"}, error);
  ASSERT_TRUE(options) << error;
  EXPECT_EQ(options->password, "from-env");
  EXPECT_EQ(options->account_password, "acct");
  options = parse({"--config", path.string(), "--password", "from-flag"}, error);
  ASSERT_TRUE(options) << error;
  EXPECT_EQ(options->password, "from-flag");
  ASSERT_EQ(options->warnings.size(), 1u);
  EXPECT_NE(options->warnings[0].find(kPasswordVariable), std::string::npos);
  std::filesystem::remove(path);

  environment.clear();
  struct Case {
    std::vector<std::string> args;
    const char* want;
  } bad[] = {
      {{"--config", path.string()}, "does not exist"},
      {{"--server", "h", "--nick", "n", "--sasl", "plain"}, "MORVANE_IRC_ACCOUNT_PASSWORD"},
      {{"--server", "h", "--nick", "n", "--tls-ca", "ca.pem"}, "need --tls"},
      {{"--server", "h", "--nick", "n", "--tls-fingerprint", "12:34"}, "--tls-fingerprint: takes"},
      {{"--server", "h", "--nick", "n", "--channel-key", "extra"},
       "--channel-key: takes CHANNEL=KEY"},
      {{"--server", "h", "--nick", "n", "--admin-mask", ""}, "--admin-mask: takes"},
      {{"--server", "h", "--nick", "n", "--account-password", "x"}, "unknown option"},
      {{"--server", "h"}, "a server and a nick are needed"},
  };
  for (const auto& c : bad) {
    EXPECT_FALSE(parse(c.args, error)) << c.want;
    EXPECT_NE(error.find(c.want), std::string::npos) << error;
  }
}

TEST(IrcLog, TimesAreIso8601WithTheOffset) {
  std::tm local{};
  local.tm_year = 2026 - 1900;
  local.tm_mon = 11;
  local.tm_mday = 9;
  local.tm_hour = 15;
  local.tm_min = 4;
  local.tm_sec = 5;
  EXPECT_EQ(IsoTimeText(local, 123, 0, Fraction::kMilliseconds), "2026-12-09T15:04:05.123+00:00");
  EXPECT_EQ(IsoTimeText(local, 7, 330, Fraction::kMilliseconds), "2026-12-09T15:04:05.007+05:30");
  EXPECT_EQ(IsoTimeText(local, 999, -210, Fraction::kNone), "2026-12-09T15:04:05-03:30");
  const std::string now = LocalTimeText(std::chrono::system_clock::now(), Fraction::kMilliseconds);
  EXPECT_EQ(now.size(), 29u) << now;
}

}  // namespace
}  // namespace morvane::irc
