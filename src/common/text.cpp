#include "common/text.h"

#include <limits>
#include <optional>

namespace morvane {
namespace {

constexpr char32_t kReplacement = 0xFFFD;

void AppendUtf16(std::u16string& out, char32_t cp) {
  if (cp < 0x10000) {
    out.push_back(static_cast<char16_t>(cp));
    return;
  }
  cp -= 0x10000;
  out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
  out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
}

void AppendUtf8(std::string& out, char32_t cp) {
  if (cp < 0x80) {
    out.push_back(static_cast<char>(cp));
  } else if (cp < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else if (cp < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  }
}

int DigitValue(char16_t c) {
  if (c >= u'0' && c <= u'9') return c - u'0';
  if (c >= u'a' && c <= u'f') return c - u'a' + 10;
  if (c >= u'A' && c <= u'F') return c - u'A' + 10;
  return -1;
}

// One UTF-8 sequence at pos: its code point, or nothing when the sequence is
// cut, overlong, a surrogate or past U+10FFFF. pos moves past the bytes the
// sequence took (at least one).
std::optional<char32_t> NextUtf8(std::string_view utf8, std::size_t& pos) {
  const auto b0 = static_cast<unsigned char>(utf8[pos++]);
  if (b0 < 0x80) return b0;
  int extra = 0;
  char32_t cp = 0;
  char32_t min = 0;
  if ((b0 & 0xE0) == 0xC0) {
    extra = 1, cp = b0 & 0x1F, min = 0x80;
  } else if ((b0 & 0xF0) == 0xE0) {
    extra = 2, cp = b0 & 0x0F, min = 0x800;
  } else if ((b0 & 0xF8) == 0xF0) {
    extra = 3, cp = b0 & 0x07, min = 0x10000;
  } else {
    return std::nullopt;
  }
  int got = 0;
  while (got < extra && pos < utf8.size() &&
         (static_cast<unsigned char>(utf8[pos]) & 0xC0) == 0x80) {
    cp = (cp << 6) | (static_cast<unsigned char>(utf8[pos]) & 0x3F);
    ++pos;
    ++got;
  }
  if (got < extra || cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
    return std::nullopt;
  return cp;
}

}  // namespace

std::u16string Utf8ToUtf16(std::string_view utf8) {
  std::u16string out;
  out.reserve(utf8.size());
  // A malformed sequence is one replacement character for the bytes it took.
  for (std::size_t pos = 0; pos < utf8.size();)
    AppendUtf16(out, NextUtf8(utf8, pos).value_or(kReplacement));
  return out;
}

bool IsValidUtf8(std::string_view utf8) {
  for (std::size_t pos = 0; pos < utf8.size();) {
    if (!NextUtf8(utf8, pos)) return false;
  }
  return true;
}

std::string Utf16ToUtf8(std::u16string_view utf16) {
  std::string out;
  out.reserve(utf16.size());
  for (std::size_t i = 0; i < utf16.size(); ++i) {
    char32_t c = utf16[i];
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < utf16.size() && utf16[i + 1] >= 0xDC00 &&
        utf16[i + 1] <= 0xDFFF) {
      c = 0x10000 + ((c - 0xD800) << 10) + (utf16[i + 1] - 0xDC00);
      ++i;
    } else if (c >= 0xD800 && c <= 0xDFFF) {
      c = kReplacement;
    }
    AppendUtf8(out, c);
  }
  return out;
}

std::u16string LowerAsciiLetters(std::u16string_view text) {
  std::u16string out(text);
  for (auto& c : out) {
    if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c + (u'a' - u'A'));
  }
  return out;
}

bool EqualsIgnoringAsciiCase(std::u16string_view a, std::u16string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    char16_t x = a[i];
    char16_t y = b[i];
    if (x >= u'A' && x <= u'Z') x = static_cast<char16_t>(x + 32);
    if (y >= u'A' && y <= u'Z') y = static_cast<char16_t>(y + 32);
    if (x != y) return false;
  }
  return true;
}

std::u16string_view TrimControlAndSpace(std::u16string_view text) {
  std::size_t begin = 0;
  std::size_t end = text.size();
  while (begin < end && text[begin] <= u' ') ++begin;
  while (end > begin && text[end - 1] <= u' ') --end;
  return text.substr(begin, end - begin);
}

std::string CollapseWhitespace(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  bool blank_pending = false;
  for (const char c : text) {
    if (c == ' ' || c == '\t' || c == '\r' || c == '\n') {
      blank_pending = !out.empty();
      continue;
    }
    if (blank_pending) out.push_back(' ');
    blank_pending = false;
    out.push_back(c);
  }
  return out;
}

std::vector<std::u16string> SplitKeepingEmpty(std::u16string_view text, char16_t separator) {
  std::vector<std::u16string> pieces;
  std::size_t start = 0;
  for (;;) {
    std::size_t at = text.find(separator, start);
    if (at == std::u16string_view::npos) {
      pieces.emplace_back(text.substr(start));
      return pieces;
    }
    pieces.emplace_back(text.substr(start, at - start));
    start = at + 1;
  }
}

std::u16string ReplaceAll(std::u16string_view text, std::u16string_view what,
                          std::u16string_view with) {
  if (what.empty()) return std::u16string(text);
  std::u16string out;
  out.reserve(text.size());
  std::size_t start = 0;
  for (;;) {
    std::size_t at = text.find(what, start);
    if (at == std::u16string_view::npos) {
      out.append(text.substr(start));
      return out;
    }
    out.append(text.substr(start, at - start));
    out.append(with);
    start = at + what.size();
  }
}

std::optional<std::int64_t> ParseInteger(std::u16string_view text) {
  std::size_t i = 0;
  bool negative = false;
  if (i < text.size() && (text[i] == u'-' || text[i] == u'+')) {
    negative = text[i] == u'-';
    ++i;
  }
  int base = 10;
  if (i < text.size() && text[i] == u'$') {
    base = 16;
    ++i;
  } else if (i + 1 < text.size() && text[i] == u'0' &&
             (text[i + 1] == u'x' || text[i + 1] == u'X')) {
    base = 16;
    i += 2;
  }
  if (i == text.size()) return std::nullopt;
  // Accumulate as a negative number so that the most negative value fits.
  constexpr std::int64_t kMin = std::numeric_limits<std::int64_t>::min();
  std::int64_t value = 0;
  for (; i < text.size(); ++i) {
    int d = DigitValue(text[i]);
    if (d < 0 || d >= base) return std::nullopt;
    if (value < (kMin + d) / base) return std::nullopt;
    value = value * base - d;
  }
  if (negative) return value;
  if (value == kMin) return std::nullopt;
  return -value;
}

std::optional<std::int32_t> ParseInt32(std::u16string_view text) {
  auto v = ParseInteger(text);
  if (!v || *v < std::numeric_limits<std::int32_t>::min() ||
      *v > std::numeric_limits<std::int32_t>::max()) {
    return std::nullopt;
  }
  return static_cast<std::int32_t>(*v);
}

std::u16string AsciiToUtf16(std::string_view ascii) {
  return std::u16string(ascii.begin(), ascii.end());
}

namespace {

char16_t LowerAscii(char16_t c) { return c >= u'A' && c <= u'Z' ? c + (u'a' - u'A') : c; }

// Whether text ends with the tag, letters compared without regard to case.
bool EndsWithTag(std::u16string_view text, std::u16string_view tag) {
  if (text.size() < tag.size()) return false;
  const std::u16string_view end = text.substr(text.size() - tag.size());
  for (std::size_t i = 0; i < tag.size(); ++i) {
    if (LowerAscii(end[i]) != tag[i]) return false;
  }
  return true;
}

}  // namespace

std::u16string CleanValueText(std::u16string_view text) {
  std::u16string out;
  out.reserve(text.size());
  for (const char16_t c : text) {
    if (c == u'\r' || c == u'\n' || c == u'\t') {
      out.push_back(u' ');
      continue;
    }
    if (c <= 0x1F || (c >= 0x7F && c <= 0x9F)) continue;
    out.push_back(c);
    // A tag goes as soon as its last character arrives. What is kept never
    // holds a tag, so a tag put together by a removal ("[[b]b]") is found
    // when its own last character comes, and the result is what removing
    // tags again and again until none is left gives.
    if (c != u']') continue;
    if (EndsWithTag(out, u"[b]")) {
      out.erase(out.size() - 3);
    } else if (EndsWithTag(out, u"[/b]")) {
      out.erase(out.size() - 4);
    }
  }
  return out;
}

std::uint32_t ParsePlayerCount(std::string_view text) {
  if (text.empty()) return 0;
  std::uint64_t value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return 0;
    value = value * 10 + static_cast<std::uint64_t>(c - '0');
    if (value > std::numeric_limits<std::uint32_t>::max())
      value = std::numeric_limits<std::uint32_t>::max();
  }
  return static_cast<std::uint32_t>(value);
}

}  // namespace morvane
