// Text helpers shared by the plug-in and its tools. Text inside the plug-in is
// UTF-16 (std::u16string); these are the conversions and small operations the
// Windows runtime would otherwise provide, written once for both builds.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace morvane {

// UTF-8 to UTF-16. A malformed sequence becomes U+FFFD, as Windows'
// MultiByteToWideChar does for CP_UTF8.
std::u16string Utf8ToUtf16(std::string_view utf8);

// Strict UTF-8: no cut, overlong or surrogate sequence, nothing past U+10FFFF.
bool IsValidUtf8(std::string_view utf8);

// UTF-16 to UTF-8. A lone surrogate becomes U+FFFD.
std::string Utf16ToUtf8(std::u16string_view utf16);

// Lowers the letters A to Z only; every other code unit, Cyrillic included,
// stays as it is.
std::u16string LowerAsciiLetters(std::u16string_view text);

// True when a and b are equal with A to Z and a to z taken as the same.
bool EqualsIgnoringAsciiCase(std::u16string_view a, std::u16string_view b);

// Removes every code unit up to U+0020 (spaces and control characters) from
// both ends.
std::u16string_view TrimControlAndSpace(std::u16string_view text);

// Text laid out for a game's own screen (a message of the day centred with
// runs of blanks over two lines) as one line: every run of blanks, tabs, CR
// and LF becomes one blank, and none is left at either end.
std::string CollapseWhitespace(std::string_view text);

// Splits at every separator; each piece between two separators (or the start
// or end) is kept, empty pieces included: "" gives one empty piece.
std::vector<std::u16string> SplitKeepingEmpty(std::u16string_view text, char16_t separator);

// Replaces every occurrence of what, scanning left to right without overlap.
std::u16string ReplaceAll(std::u16string_view text, std::u16string_view what,
                          std::u16string_view with);

// An integer written in decimal with an optional sign, or in hexadecimal after
// "$", "0x" or "0X" (the sign may stand before the prefix). Returns nothing for
// any other text, for an empty text and for a value outside 64 bits.
std::optional<std::int64_t> ParseInteger(std::u16string_view text);

// ParseInteger limited to the signed 32-bit range.
std::optional<std::int32_t> ParseInt32(std::u16string_view text);

// A player count as servers send it in text (the Minecraft legacy kick and
// Bedrock pong, FiveM, MTA:SA, Source keywords): decimal digits only, the
// full number up to 4294967295 (larger ones are clamped to it); a negative,
// empty or unreadable count is 0.
std::uint32_t ParsePlayerCount(std::string_view text);

// A value from a server (or an address a chat user typed) made safe to put
// into a reply: carriage return, line feed and tab become a blank, every
// other control character (U+0000 to U+001F, U+007F to U+009F) goes, and then
// the host's markup "[b]" and "[/b]", in any letter case, goes until none is
// left, so that no value can start a line, end the message at a NUL, or
// build a tag out of pieces ("[[b]b]", "[\x01b]").
std::u16string CleanValueText(std::u16string_view text);

// ASCII text to UTF-16 (for literals and numbers).
std::u16string AsciiToUtf16(std::string_view ascii);

}  // namespace morvane
