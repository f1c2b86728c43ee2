#include "games/quake3.h"

#include <algorithm>
#include <optional>
#include <utility>

#include "common/byte_reader.h"

namespace morvane {
namespace {

constexpr std::string_view kStatusHeader = "\xFF\xFF\xFF\xFFstatusResponse";
// Byte 18 is the newline after the header; the info line starts at 19.
constexpr std::size_t kInfoLineOffset = 19;
constexpr std::uint8_t kNewline = 0x0A;
constexpr std::uint8_t kSpace = 0x20;

// The reply text ends at the first NUL. Keys and field texts come from it;
// the newlines and spaces that divide the player section are searched in all
// received bytes.
std::string_view TextUpToNul(std::span<const std::uint8_t> reply) {
  ByteReader reader(reply);
  return reader.ReadCString();
}

// The first position in [from, to) holding the byte, if any.
std::optional<std::size_t> FindByte(const ByteReader& reader, std::uint8_t byte, std::size_t from,
                                    std::size_t to) {
  to = std::min(to, reader.Size());
  if (from >= to) return std::nullopt;
  const auto data = reader.Data();
  const auto* found = std::find(data.data() + from, data.data() + to, byte);
  if (found == data.data() + to) return std::nullopt;
  return static_cast<std::size_t>(found - data.data());
}

// The bytes [from, to) as far as they lie inside the reply text: a field past
// a NUL in the reply reads as empty.
std::string_view FieldView(std::string_view text, std::size_t from, std::size_t to) {
  to = std::min(to, text.size());
  if (from >= to) return {};
  return text.substr(from, to - from);
}

// sv_maxclients as a decimal integer with an optional sign, kept to its low
// 16 bits (so "-1" gives 65535); anything else gives 0. Working modulo 2^16
// throughout gives those bits for a number of any length.
std::uint16_t ParseLow16(std::string_view text) {
  bool negative = false;
  if (!text.empty() && (text.front() == '-' || text.front() == '+')) {
    negative = text.front() == '-';
    text.remove_prefix(1);
  }
  if (text.empty()) return 0;
  std::uint16_t value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return 0;
    value = static_cast<std::uint16_t>(value * 10u + static_cast<unsigned>(c - '0'));
  }
  return negative ? static_cast<std::uint16_t>(0u - value) : value;
}

// A line with its name in double quotes after two numbers or more: the first
// number is the score, the second the ping, any between them and the name
// (some engines of the family write a team there) are skipped.
std::optional<Quake3Status::Player> ParseQuotedLine(std::string_view text, std::size_t begin,
                                                    std::size_t end) {
  const std::string_view line = FieldView(text, begin, end);
  const std::size_t open = line.find('"');
  const std::size_t close = line.rfind('"');
  if (open == std::string_view::npos || close == open) return std::nullopt;
  std::vector<std::string_view> numbers;
  for (std::size_t at = 0; at < open;) {
    const std::size_t space = std::min(line.find(' ', at), open);
    if (space > at) numbers.push_back(line.substr(at, space - at));
    at = space + 1;
  }
  if (numbers.size() < 2) return std::nullopt;
  Quake3Status::Player player;
  player.score = std::string(numbers[0]);
  player.ping = std::string(numbers[1]);
  player.name = RemoveColourCodes(line.substr(open + 1, close - open - 1));
  return player;
}

// One player line [begin, end), end being its newline. A line of numbers and
// a quoted name is read by them; any other line field by field, each field
// taking the byte it starts on, whatever it is, and running to the next
// space. A field never reaches past its own line.
std::optional<Quake3Status::Player> ParsePlayerLine(const ByteReader& reader, std::string_view text,
                                                    std::size_t begin, std::size_t end) {
  if (auto quoted = ParseQuotedLine(text, begin, end)) return quoted;
  std::optional<std::size_t> score_end = FindByte(reader, kSpace, begin + 1, end);
  if (!score_end) return std::nullopt;
  std::size_t ping_begin = *score_end + 1;
  if (ping_begin >= end) return std::nullopt;
  std::optional<std::size_t> ping_end = FindByte(reader, kSpace, ping_begin + 1, end);
  if (!ping_end) return std::nullopt;

  Quake3Status::Player player;
  player.score = std::string(FieldView(text, begin, *score_end));
  player.ping = std::string(FieldView(text, ping_begin, *ping_end));
  // The name field is quoted: its first and last bytes are dropped, so a
  // field of two bytes or fewer leaves nothing.
  std::size_t name_begin = *ping_end + 1;
  if (end - name_begin > 2) {
    player.name = RemoveColourCodes(FieldView(text, name_begin + 1, end - 1));
  }
  return player;
}

}  // namespace

bool IsQuake3StatusReply(std::span<const std::uint8_t> reply) {
  // The header holds no NUL, so a NUL within its 18 bytes fails the match.
  return TextUpToNul(reply).substr(0, kStatusHeader.size()) == kStatusHeader;
}

std::string Quake3InfoValue(std::string_view reply_text, std::string_view key) {
  std::string pattern;
  pattern.reserve(key.size() + 2);
  pattern.append(1, '\\').append(key).append(1, '\\');
  std::size_t found = reply_text.find(pattern);
  if (found == std::string_view::npos) return {};
  std::string_view value = reply_text.substr(found + pattern.size());
  // The info string's last value ends with the info line: it must not run on
  // into the player lines.
  return std::string(value.substr(0, value.find_first_of("\\\n")));
}

std::string RemoveColourCodes(std::string_view text) {
  // Deleting the first "^" and its follower leaves no "^" before that point,
  // so searching again from the start is the same as one pass from the left
  // that drops each "^" together with the character after it. Names without
  // a "^" are copied whole.
  std::size_t caret = text.find('^');
  if (caret == std::string_view::npos) return std::string(text);
  std::string out(text.substr(0, caret));
  out.reserve(text.size());
  for (std::size_t i = caret; i < text.size(); ++i) {
    if (text[i] == '^') {
      ++i;
      continue;
    }
    out.push_back(text[i]);
  }
  return out;
}

Quake3Status ParseQuake3Status(std::span<const std::uint8_t> reply, bool players) {
  ByteReader reader(reply);
  std::string_view text = TextUpToNul(reply);
  Quake3Status status;

  // The player section starts after the first newline that follows the last
  // backslash of the datagram: a player name cannot hold a backslash, but a
  // value of the info section may hold newlines (ioquake3 sends fs_manifest
  // so), which would end the info line early.
  const auto data = reader.Data();
  const auto last_backslash = std::find(data.rbegin(), data.rend(), '\\');
  std::size_t info_from = kInfoLineOffset;
  if (last_backslash != data.rend()) {
    info_from = std::max(info_from, static_cast<std::size_t>(data.rend() - last_backslash));
  }
  std::optional<std::size_t> info_end = FindByte(reader, kNewline, info_from, reader.Size());
  std::size_t section = info_end ? *info_end + 1 : reader.Size();
  status.has_player_section = section < reader.Size();
  status.player_count = static_cast<std::uint16_t>(
      std::count(data.begin() + static_cast<std::ptrdiff_t>(section), data.end(), kNewline));

  if (!players) {
    // The keys are looked up in the info section alone.
    const std::string_view info = text.substr(0, std::min(text.size(), section));
    status.name = RemoveColourCodes(Quake3InfoValue(info, "sv_hostname"));
    status.map = Quake3InfoValue(info, "mapname");
    status.mod = Quake3InfoValue(info, "gamename");
    status.max_players = ParseLow16(Quake3InfoValue(info, "sv_maxclients"));
    return status;
  }

  // A lone last byte starts no line. A line that the end of the datagram cuts
  // off (no newline) is dropped and ends the list; a malformed line before it
  // is dropped on its own.
  status.players.reserve(status.player_count);
  for (std::size_t pos = section; pos + 1 < reader.Size();) {
    std::optional<std::size_t> line_end = FindByte(reader, kNewline, pos, reader.Size());
    if (!line_end) break;
    if (auto player = ParsePlayerLine(reader, text, pos, *line_end)) {
      status.players.push_back(std::move(*player));
    }
    pos = *line_end + 1;
  }
  return status;
}

}  // namespace morvane
