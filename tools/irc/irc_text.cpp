#include "irc_text.h"

#include <algorithm>

#include "common/text.h"

namespace morvane::irc {
namespace {

constexpr std::size_t kMinPieceBytes = 8;

bool IsContinuationByte(char c) { return (static_cast<unsigned char>(c) & 0xC0) == 0x80; }

bool StartsWithIgnoringAsciiCase(std::string_view text, std::string_view word) {
  if (text.size() < word.size()) return false;
  for (std::size_t i = 0; i < word.size(); ++i) {
    char c = text[i];
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (c != word[i]) return false;
  }
  return true;
}

bool ShowsNothing(std::string_view line) {
  return std::all_of(line.begin(), line.end(), [](char c) { return c == ' ' || c == kBold; });
}

// Whether bold is open after the text, given whether it was open before.
bool BoldAfter(std::string_view text, bool open) {
  return (std::count(text.begin(), text.end(), kBold) % 2 == 1) != open;
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

bool IsHexDigit(char c) { return IsDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); }

// How many bytes of text at the start of rest are a run of up to `most`
// characters that pass the test.
std::size_t RunOf(std::string_view rest, std::size_t most, bool (*test)(char)) {
  std::size_t n = 0;
  while (n < most && n < rest.size() && test(rest[n])) ++n;
  return n;
}

// The bytes a formatting code takes after its control byte: a colour's
// "NN" or "NN,NN" (one or two digits each), a hex colour's "RRGGBB" or
// "RRGGBB,RRGGBB". A comma that no colour follows is text.
std::size_t FormattingArguments(char control, std::string_view rest) {
  const bool hex = control == '';
  auto test = hex ? IsHexDigit : IsDigit;
  const std::size_t most = hex ? 6 : 2;
  const std::size_t foreground = RunOf(rest, most, test);
  if (foreground == 0 || (hex && foreground != most)) return 0;
  if (foreground >= rest.size() || rest[foreground] != ',') return foreground;
  const std::size_t background = RunOf(rest.substr(foreground + 1), most, test);
  if (background == 0 || (hex && background != most)) return foreground;
  return foreground + 1 + background;
}

// The plug-in's text as UTF-8 lines: line breaks split, bold marks
// converted. Every other control byte is dropped, with the arguments of the
// colour codes: a server name or a template could otherwise colour, hide or
// underline what follows, or wrap it in CTCP, and NUL would cut the line.
std::vector<std::string> Lines(std::u16string_view text) {
  std::string utf8 = Utf16ToUtf8(text);
  std::vector<std::string> lines(1);
  for (std::size_t i = 0; i < utf8.size(); ++i) {
    char c = utf8[i];
    if (c == '\r' || c == '\n') {
      if (c == '\r' && i + 1 < utf8.size() && utf8[i + 1] == '\n') ++i;
      lines.emplace_back();
      continue;
    }
    std::string_view rest(utf8.data() + i, utf8.size() - i);
    if (rest.starts_with("[b]") || rest.starts_with("[/b]")) {
      lines.back() += kBold;
      i += rest[1] == '/' ? 3 : 2;
      continue;
    }
    if (static_cast<unsigned char>(c) < 0x20) {
      if (c == '\x03' || c == '\x04') i += FormattingArguments(c, rest.substr(1));
      continue;
    }
    lines.back() += c;
  }
  return lines;
}

}  // namespace

std::vector<std::string> ToIrcMessages(std::u16string_view text, std::size_t max_bytes) {
  max_bytes = std::max(max_bytes, kMinPieceBytes);
  std::vector<std::string> out;
  bool bold = false;
  for (const std::string& line : Lines(text)) {
    if (ShowsNothing(line)) {
      bold = BoldAfter(line, bold);
      continue;
    }
    std::string_view rest = line;
    while (!rest.empty()) {
      std::string piece = bold ? std::string(1, kBold) : std::string();
      std::size_t room = max_bytes - piece.size();
      std::size_t cut = std::min(room, rest.size());
      // Never inside a character: back up to the start of the one the cut
      // would split.
      while (cut < rest.size() && cut > 0 && IsContinuationByte(rest[cut])) --cut;
      if (cut == 0) cut = std::min(room, rest.size());
      bold = BoldAfter(rest.substr(0, cut), bold);
      piece += rest.substr(0, cut);
      rest.remove_prefix(cut);
      out.push_back(std::move(piece));
    }
  }
  return out;
}

std::string ApplyTrigger(std::string_view text, std::string_view trigger) {
  if (trigger.empty() || !text.starts_with(trigger)) return std::string(text);
  std::string_view rest = text.substr(trigger.size());
  if (!StartsWithIgnoringAsciiCase(rest, "gs ") && !StartsWithIgnoringAsciiCase(rest, "reload")) {
    return std::string(text);
  }
  return "/" + std::string(rest);
}

std::string LowerAscii(std::string_view text) {
  std::string lower(text);
  for (char& c : lower) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return lower;
}

}  // namespace morvane::irc
