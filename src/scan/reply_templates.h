// Reply templates: the texts a request's templates become once a server has
// answered, and the rules that join them into the one output text a request
// delivers.
//
// Every value from a server, and the address a chat user typed, is cleaned
// (CleanValueText) as it goes in, so no value can break a line, cut the
// message short or make markup; the templates' own text stays as written.
//
// Placeholders are case-sensitive words in percent signs. Each fill walks its
// template once, from left to right: a placeholder is recognised only in the
// template's own text, and a value put in (a server's name, the typed
// address, a count) is copied as it is and never looked at again. So a server
// named "%map%" shows that name, and no reply can make a fill grow beyond the
// sum of its values. A placeholder the fill does not list stays as written.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "scan/scan_item.h"

namespace morvane {

// How a server's texts are held until they go into a template: 8-bit in the
// system's ANSI code page (the kinds whose servers send 8-bit text, and
// Source, whose UTF-8 is held in the code page), or UTF-8 in full (the kinds
// whose texts are UTF-8 and never pass through the code page).
enum class TextCoding { kAnsi, kUtf8 };

// What a summary shows of one server.
struct ServerValues {
  std::string name;
  std::string map;
  std::string mod;
  TextCoding coding = TextCoding::kAnsi;
  // Full numbers: a large network announces a maximum of 200000.
  std::uint32_t players = 0;
  std::uint32_t max_players = 0;
  bool password = false;
  // The round trip of the query that got the reply, in milliseconds.
  std::int64_t ping_ms = 0;
};

inline constexpr char16_t kNoPlayersText[] = u"Нет игроков";
inline constexpr char16_t kPasswordMark[] = u"[pass]";

// One placeholder of a fill and its value; an empty value removes it.
struct Placeholder {
  std::u16string_view name;  // with its percent signs: "%name%"
  std::u16string_view value;
};
// Every occurrence of each placeholder, in one pass over the text.
std::u16string FillTemplate(std::u16string_view text, std::span<const Placeholder> fills);

// "%pass%", "%addr%", "%name%", "%map%", "%pl%", "%plmax%", "%mod%".
std::u16string FillSummary(std::u16string_view format, std::u16string_view address,
                           const ServerValues& values);
// "%addr%", then "%pl%".
std::u16string FillHeader(std::u16string_view pl_title, std::u16string_view address,
                          std::uint32_t players);
// "%plname%", "%plscore%", "%pltime%"; the values are 8-bit texts held as
// coding says.
std::u16string FillPlayerLine(std::u16string_view format, std::string_view name,
                              std::string_view score, std::string_view time,
                              TextCoding coding = TextCoding::kAnsi);
// The line after the last player line MaxPlayers lets through: "%plmore%"
// (how many players were left out) and "%addr%".
std::u16string FillMorePlayers(std::u16string_view format, std::u16string_view address,
                               std::size_t left_out);
// "%addr%" only: the TCP online text.
std::u16string FillAddress(std::u16string_view text, std::u16string_view address);
// The offline text: "%addr%", and "%ping%" empty, since nothing came back.
std::u16string FillOffline(std::u16string_view text, std::u16string_view address);

// A player's connection time in seconds as hours:minutes.seconds, two digits
// each (hours of 100 or more in full), rounded half to even. Zero, -1, any
// other negative time, and what is not a finite number below 2^63 give
// "00:00:00".
std::string TimeText(float seconds);

// The output text of one request, with its joining rules. The worker serves
// the address items of a request side by side, so each item writes a
// ReplyText of its own, and the request's text takes them in address order
// (Append): the joiners then fall exactly as if the items had been served in
// turn. A ReplyText keeps no part that would start beyond the request's
// MaxReply, so a request's memory stays bounded by it however much the
// servers send.
class ReplyText {
 public:
  explicit ReplyText(const ScanRequest& request) : request_(request) {}

  // A summary, an offline text or a TCP online text: directly when the text
  // is empty, otherwise after `Delimiter` (an empty piece still adds it).
  void AppendPiece(std::u16string_view piece);
  // A player-list header: directly for the request's first address item,
  // after `Delimiter` for every later one, empty output or not.
  void AppendHeader(std::int32_t address_index, std::u16string_view header);
  // "Нет игроков", or the line of a server that hides its players' names,
  // directly.
  void AppendNoPlayers(std::u16string_view text = kNoPlayersText);
  // A player line: the first of a reply directly, each further one after
  // `PlDelimiter`.
  void AppendPlayerLine(std::u16string_view line, bool first_of_reply);
  // Everything another ReplyText holds (an address item's), as if each of
  // its pieces were appended here.
  void Append(const ReplyText& other);

  // The text with every joiner in place.
  std::u16string Text() const;
  bool Empty() const { return Text().empty(); }

 private:
  enum class PartKind { kPiece, kHeader, kNoPlayers, kPlayerLine };
  struct Part {
    PartKind kind = PartKind::kPiece;
    std::u16string text;
    std::int32_t address_index = 0;  // headers
    bool first_of_reply = false;     // player lines
  };

  // The joiner the part gets after what comes before it, which is empty or
  // not.
  std::u16string_view JoinerBefore(const Part& part, bool text_empty) const;
  void Add(Part part);

  const ScanRequest& request_;
  std::vector<Part> parts_;
  std::size_t length_ = 0;  // of the parts and their joiners so far
  bool full_ = false;       // past MaxReply: nothing more is kept
};

// A reply (its title included) bounded by max_reply UTF-16 code units (0 or
// less: no limit): a longer one ends with the last whole line that fits,
// then a line break and the marker line, all within the limit. A line
// longer than the whole limit is cut, at a character boundary, to the room
// left before the marker.
std::u16string CutReply(std::u16string text, std::int32_t max_reply, std::u16string_view marker);

}  // namespace morvane
