// The JSON that servers answer with, read with nlohmann/json: the status of a
// Java server and the player list of a FiveM server. The one file of the
// plug-in that uses it. Nothing here throws: the parser reports bad text
// as a discarded value (exceptions off in the call), and the reads go through
// find, the is_* tests and get_ptr, which yield end or null for a value of
// another type. A value is never copied: a copy would recurse as deep as the
// text nests.
#include "games/fivem.h"
#include "games/minecraft_java.h"

#include <limits>
#include <string>

#include <nlohmann/json.hpp>

// Since 3.10 the parser and the destructor keep their own stacks, so a reply
// of a quarter of a million "[" costs memory in proportion, never the
// worker's stack.
static_assert(NLOHMANN_JSON_VERSION_MAJOR > 3 ||
                  (NLOHMANN_JSON_VERSION_MAJOR == 3 && NLOHMANN_JSON_VERSION_MINOR >= 10),
              "nlohmann/json 3.10 or later: older versions destroy nested values recursively");

namespace morvane {
namespace {

using Json = nlohmann::json;

// Chat components nest through "extra" and arrays. Real descriptions are a
// few levels deep; parts nested deeper than this are left out.
constexpr int kMaxComponentDepth = 32;

const Json* Member(const Json& object, const char* key) {
  if (!object.is_object()) return nullptr;
  auto it = object.find(key);
  return it == object.end() ? nullptr : &*it;
}

const std::string* StringMember(const Json& object, const char* key) {
  const Json* member = Member(object, key);
  return member ? member->get_ptr<const std::string*>() : nullptr;
}

// A component's text and then its extra parts, in order. A translated
// component shows its key: the plug-in has no client's language files.
void AppendComponent(const Json& component, int depth, std::string& out) {
  if (depth > kMaxComponentDepth) return;
  if (const auto* text = component.get_ptr<const std::string*>()) {
    out += *text;
    return;
  }
  if (component.is_array()) {
    for (const Json& part : component) AppendComponent(part, depth + 1, out);
    return;
  }
  if (const auto* text = StringMember(component, "text")) {
    out += *text;
  } else if (const auto* key = StringMember(component, "translate")) {
    out += *key;
  }
  if (const Json* extra = Member(component, "extra")) AppendComponent(*extra, depth + 1, out);
}

// A count may come as an integer or a float; negative is 0 and beyond 32
// bits is the largest count.
std::uint32_t CountOf(const Json* value) {
  constexpr std::uint32_t kMax = std::numeric_limits<std::uint32_t>::max();
  if (value == nullptr) return 0;
  // Unsigned first: nlohmann takes an unsigned value for an integer too.
  if (const auto* u = value->get_ptr<const Json::number_unsigned_t*>()) {
    return *u > kMax ? kMax : static_cast<std::uint32_t>(*u);
  }
  if (const auto* i = value->get_ptr<const Json::number_integer_t*>()) {
    if (*i < 0) return 0;
    return static_cast<std::uint64_t>(*i) > kMax ? kMax : static_cast<std::uint32_t>(*i);
  }
  if (const auto* f = value->get_ptr<const Json::number_float_t*>()) {
    if (!(*f > 0)) return 0;
    return *f >= static_cast<double>(kMax) ? kMax : static_cast<std::uint32_t>(*f);
  }
  return 0;
}

}  // namespace

std::optional<MinecraftStatus> ParseJavaStatusJson(std::string_view json) {
  const Json root = Json::parse(json.begin(), json.end(), nullptr, false);
  if (root.is_discarded() || !root.is_object()) return std::nullopt;

  MinecraftStatus status;
  if (const Json* description = Member(root, "description")) {
    std::string motd;
    AppendComponent(*description, 0, motd);
    status.motd = StripFormattingCodes(motd);
  }
  if (const Json* version = Member(root, "version")) {
    if (const auto* name = StringMember(*version, "name")) {
      status.version = StripFormattingCodes(*name);
    }
  }
  if (const Json* players = Member(root, "players")) {
    status.online = CountOf(Member(*players, "online"));
    status.max_players = CountOf(Member(*players, "max"));
    if (const Json* sample = Member(*players, "sample"); sample && sample->is_array()) {
      for (const Json& player : *sample) {
        if (const auto* name = StringMember(player, "name")) {
          status.sample.push_back(StripFormattingCodes(*name));
        }
      }
    }
  }
  return status;
}

std::optional<std::vector<FivemPlayer>> ParseFivemPlayersJson(std::string_view json) {
  const Json root = Json::parse(json.begin(), json.end(), nullptr, false);
  if (root.is_discarded() || !root.is_array()) return std::nullopt;
  std::vector<FivemPlayer> players;
  for (const Json& entry : root) {
    if (!entry.is_object()) continue;
    FivemPlayer player;
    if (const auto* name = StringMember(entry, "name")) player.name = *name;
    // The ping is an integer of milliseconds; anything else shows nothing.
    if (const Json* ping = Member(entry, "ping")) {
      if (const auto* u = ping->get_ptr<const Json::number_unsigned_t*>()) {
        player.ping = std::to_string(*u);
      } else if (const auto* i = ping->get_ptr<const Json::number_integer_t*>()) {
        player.ping = std::to_string(*i);
      }
    }
    players.push_back(std::move(player));
  }
  return players;
}

}  // namespace morvane
