#include "irc_config.h"

#include <toml++/toml.h>
#include <algorithm>
#include <cstdint>
#include <exception>
#include <vector>

#include "ini/ini_commands.h"
#include "platform/platform.h"
#include "platform/program_support.h"

namespace morvane::irc {
namespace {

constexpr std::string_view kSections[] = {"server",       "identity", "bridge",
                                          "channel_keys", "admins",   "rate"};

enum class Type { kString, kBoolean, kInteger, kStrings };

// A key's value, of the key's type.
struct Value {
  std::string text;
  bool on = false;
  std::int64_t number = 0;
  std::vector<std::string> list;
};

using Apply = bool (*)(IrcOptions&, const Value&, std::string& why);

struct Key {
  std::string_view section;
  std::string_view name;
  Type type;
  Apply apply;
};

bool InRange(std::int64_t value, std::int64_t low, std::int64_t high, std::string& why) {
  if (value >= low && value <= high) return true;
  why = "must be from " + std::to_string(low) + " to " + std::to_string(high);
  return false;
}

bool CheckEach(const std::vector<std::string>& list, bool (*check)(std::string_view, std::string&),
               std::string& why) {
  for (const std::string& item : list) {
    if (!check(item, why)) return false;
  }
  return true;
}

// Every key of the sections with fixed keys ([channel_keys] names channels).
const Key kKeys[] = {
    {"server", "host", Type::kString,
     [](IrcOptions& o, const Value& v, std::string& why) {
       std::string host = v.text;
       if (host.size() > 2 && host.front() == '[' && host.back() == ']')
         host = host.substr(1, host.size() - 2);
       if (host.empty() || host.find_first_of(" \t\r\n") != std::string::npos) {
         why = "needs a host name or address";
         return false;
       }
       o.host = host;
       return true;
     }},
    {"server", "port", Type::kInteger,
     [](IrcOptions& o, const Value& v, std::string& why) {
       if (!InRange(v.number, 1, 65535, why)) return false;
       o.port = static_cast<std::uint16_t>(v.number);
       return true;
     }},
    {"server", "tls", Type::kBoolean,
     [](IrcOptions& o, const Value& v, std::string&) { return o.tls = v.on, true; }},
    {"server", "tls_ca", Type::kString,
     [](IrcOptions& o, const Value& v, std::string&) { return o.tls_ca = v.text, true; }},
    {"server", "tls_fingerprint", Type::kString,
     [](IrcOptions& o, const Value& v, std::string& why) {
       return CheckFingerprint(v.text, why) && (o.tls_fingerprint = v.text, true);
     }},
    {"server", "tls_certificate", Type::kString,
     [](IrcOptions& o, const Value& v, std::string&) { return o.tls_certificate = v.text, true; }},
    {"server", "tls_key", Type::kString,
     [](IrcOptions& o, const Value& v, std::string&) { return o.tls_key = v.text, true; }},
    {"server", "password", Type::kString,
     [](IrcOptions& o, const Value& v, std::string&) { return o.password = v.text, true; }},
    {"identity", "nick", Type::kString,
     [](IrcOptions& o, const Value& v, std::string& why) {
       return CheckNick(v.text, why) && (o.nick = v.text, true);
     }},
    {"identity", "realname", Type::kString,
     [](IrcOptions& o, const Value& v, std::string&) { return o.realname = v.text, true; }},
    {"identity", "sasl", Type::kString,
     [](IrcOptions& o, const Value& v, std::string& why) {
       auto mechanism = SaslFromName(v.text);
       if (!mechanism) {
         why = "takes \"plain\", \"external\" or \"none\", not \"" + v.text + "\"";
         return false;
       }
       o.sasl = *mechanism;
       return true;
     }},
    {"identity", "account", Type::kString,
     [](IrcOptions& o, const Value& v, std::string& why) {
       // Empty stands for the nick, as when the key is left out.
       return v.text.empty() || (CheckAccount(v.text, why) && (o.account = v.text, true));
     }},
    {"identity", "account_password", Type::kString,
     [](IrcOptions& o, const Value& v, std::string&) { return o.account_password = v.text, true; }},
    {"bridge", "module", Type::kString,
     [](IrcOptions& o, const Value& v, std::string&) { return o.module_path = v.text, true; }},
    {"bridge", "virtual", Type::kBoolean,
     [](IrcOptions& o, const Value& v, std::string&) { return o.virtual_mode = v.on, true; }},
    {"bridge", "trigger", Type::kString,
     [](IrcOptions& o, const Value& v, std::string& why) {
       return CheckTrigger(v.text, why) && (o.trigger = v.text, true);
     }},
    {"bridge", "usage_notice", Type::kBoolean,
     [](IrcOptions& o, const Value& v, std::string&) { return o.usage_notice = v.on, true; }},
    {"admins", "accounts", Type::kStrings,
     [](IrcOptions& o, const Value& v, std::string& why) {
       if (!CheckEach(v.list, CheckAccount, why)) return false;
       o.admin_accounts.insert(o.admin_accounts.end(), v.list.begin(), v.list.end());
       return true;
     }},
    {"admins", "masks", Type::kStrings,
     [](IrcOptions& o, const Value& v, std::string& why) {
       if (!CheckEach(v.list, CheckAdminMask, why)) return false;
       o.admin_masks.insert(o.admin_masks.end(), v.list.begin(), v.list.end());
       return true;
     }},
    {"rate", "burst", Type::kInteger,
     [](IrcOptions& o, const Value& v, std::string& why) {
       return InRange(v.number, 1, 100, why) && (o.rate.burst = static_cast<int>(v.number), true);
     }},
    {"rate", "interval_ms", Type::kInteger,
     [](IrcOptions& o, const Value& v, std::string& why) {
       return InRange(v.number, 0, 60000, why) &&
              (o.rate.interval = std::chrono::milliseconds(v.number), true);
     }},
    {"rate", "queue_lines", Type::kInteger,
     [](IrcOptions& o, const Value& v, std::string& why) {
       return InRange(v.number, 1, 10000, why) &&
              (o.rate.queue_lines = static_cast<int>(v.number), true);
     }},
    {"rate", "commands_per_minute", Type::kInteger,
     [](IrcOptions& o, const Value& v, std::string& why) {
       return InRange(v.number, 1, 1000, why) &&
              (o.rate.commands_per_minute = static_cast<int>(v.number), true);
     }},
    {"rate", "ignore_seconds", Type::kInteger,
     [](IrcOptions& o, const Value& v, std::string& why) {
       return InRange(v.number, 0, 86400, why) &&
              (o.rate.ignore_for = std::chrono::seconds(v.number), true);
     }},
    {"rate", "rejoin_seconds", Type::kInteger,
     [](IrcOptions& o, const Value& v, std::string& why) {
       return InRange(v.number, 1, 3600, why) &&
              (o.rate.rejoin_after = std::chrono::seconds(v.number), true);
     }},
};

std::string_view TypeName(Type type) {
  switch (type) {
    case Type::kString:
      return "a string";
    case Type::kBoolean:
      return "true or false";
    case Type::kInteger:
      return "an integer";
    case Type::kStrings:
      return "an array of strings";
  }
  return "";
}

class Reader {
 public:
  Reader(const std::string& source, IrcOptions& options, std::string& error)
      : source_(source), options_(options), error_(error) {}

  bool Read(const toml::table& root) {
    for (auto&& [name, node] : root) {
      const std::string section(name.str());
      if (std::find(std::begin(kSections), std::end(kSections), section) == std::end(kSections)) {
        return Fail(name.source(), "unknown section or key \"" + section +
                                       "\" (the sections: server, identity, bridge, channel_keys, "
                                       "admins, rate)");
      }
      const toml::table* table = node.as_table();
      if (table == nullptr)
        return Fail(node.source(), section + " must be a section ([" + section + "])");
      if (!ReadSection(section, *table)) return false;
    }
    return true;
  }

 private:
  bool ReadSection(const std::string& section, const toml::table& table) {
    for (auto&& [name, node] : table) {
      const std::string key = section + "." + std::string(name.str());
      std::string why;
      if (section == "channel_keys") {
        const auto* key_text = node.as_string();
        if (key_text == nullptr) return Fail(node.source(), key + " must be a string");
        if (!AddChannelKey(options_, name.str(), key_text->get(), why)) {
          return Fail(node.source(), key + ": " + why);
        }
        continue;
      }
      const Key* known = Find(section, name.str());
      if (known == nullptr) return Fail(name.source(), "unknown key " + key);
      Value value;
      if (!Take(*known, node, value)) {
        return Fail(node.source(), key + " must be " + std::string(TypeName(known->type)));
      }
      if (!known->apply(options_, value, why)) return Fail(node.source(), key + ": " + why);
    }
    return true;
  }

  static const Key* Find(std::string_view section, std::string_view name) {
    for (const Key& key : kKeys) {
      if (key.section == section && key.name == name) return &key;
    }
    return nullptr;
  }

  static bool Take(const Key& known, const toml::node& node, Value& value) {
    switch (known.type) {
      case Type::kString:
        if (!node.is_string()) return false;
        value.text = node.as_string()->get();
        return true;
      case Type::kBoolean:
        if (!node.is_boolean()) return false;
        value.on = node.as_boolean()->get();
        return true;
      case Type::kInteger:
        if (!node.is_integer()) return false;
        value.number = node.as_integer()->get();
        return true;
      case Type::kStrings: {
        const toml::array* array = node.as_array();
        if (array == nullptr) return false;
        for (const toml::node& item : *array) {
          if (!item.is_string()) return false;
          value.list.push_back(item.as_string()->get());
        }
        return true;
      }
    }
    return false;
  }

  bool Fail(const toml::source_region& where, const std::string& reason) {
    error_ = source_ + ":" + std::to_string(where.begin.line) + ":" +
             std::to_string(where.begin.column) + ": " + reason;
    return false;
  }

  const std::string& source_;
  IrcOptions& options_;
  std::string& error_;
};

}  // namespace

bool ReadIrcConfigText(std::string_view text, const std::string& source, IrcOptions& options,
                       std::string& error) {
  toml::table root;
  try {
    root = toml::parse(text, source);
  } catch (const toml::parse_error& parse_error) {
    const auto& where = parse_error.source().begin;
    error = source + ":" + std::to_string(where.line) + ":" + std::to_string(where.column) + ": " +
            std::string(parse_error.description());
    return false;
  }
  return Reader(source, options, error).Read(root);
}

bool ReadIrcConfigFile(const std::string& path, IrcOptions& options, std::string& error) {
  std::vector<std::uint8_t> bytes;
  switch (platform::ReadWholeFile(ini::PathFromArgument(path), bytes)) {
    case platform::ReadFileResult::kRead:
      break;
    case platform::ReadFileResult::kMissing:
      error = "the configuration file " + path + " does not exist";
      return false;
    case platform::ReadFileResult::kUnreadable:
      error = "the configuration file " + path +
              " cannot be read (a folder, no permission, or too large)";
      return false;
  }
  return ReadIrcConfigText(
      std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()), path, options,
      error);
}

}  // namespace morvane::irc
