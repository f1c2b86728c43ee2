// Text in the system ANSI code page on Windows (CP_ACP).
#include <windows.h>

#include <algorithm>
#include <limits>

#include "platform/platform.h"
#include "platform/program_support.h"

namespace morvane::platform {
namespace {

// The conversion functions take int lengths; longer text is cut there, far
// beyond anything a chat line or a settings file holds.
int ClampedLength(std::size_t length) {
  return static_cast<int>(
      std::min<std::size_t>(length, static_cast<std::size_t>(std::numeric_limits<int>::max())));
}

bool IsHighSurrogate(char16_t unit) { return unit >= 0xD800 && unit <= 0xDBFF; }
bool IsLowSurrogate(char16_t unit) { return unit >= 0xDC00 && unit <= 0xDFFF; }

// No ANSI code page but UTF-8 holds a character beyond U+FFFF, and the system
// turns each half of its surrogate pair into a "?" of its own. The character
// is one character, so it becomes one "?" here, as on the POSIX build.
std::u16string OneUnitPerCharacter(std::u16string_view text) {
  std::u16string result;
  result.reserve(text.size());
  for (std::size_t at = 0; at < text.size(); ++at) {
    if (IsHighSurrogate(text[at]) && at + 1 < text.size() && IsLowSurrogate(text[at + 1])) {
      result.push_back(u'?');
      ++at;
      continue;
    }
    result.push_back(text[at]);
  }
  return result;
}

}  // namespace

std::string ToAnsi(std::u16string_view original) {
  if (original.empty()) {
    return {};
  }
  // No best-fit mapping: a character the code page cannot hold becomes "?",
  // never a look-alike letter. A system whose ANSI code page is UTF-8 accepts
  // neither the flag nor a default character, and needs them not.
  const bool utf8 = GetACP() == CP_UTF8;
  const std::u16string text = utf8 ? std::u16string(original) : OneUnitPerCharacter(original);
  const wchar_t* wide = reinterpret_cast<const wchar_t*>(text.data());
  const int wide_length = ClampedLength(text.size());
  const DWORD flags = utf8 ? 0 : WC_NO_BEST_FIT_CHARS;
  const char* fallback = utf8 ? nullptr : "?";
  const int length =
      WideCharToMultiByte(CP_ACP, flags, wide, wide_length, nullptr, 0, fallback, nullptr);
  if (length <= 0) {
    return {};
  }
  std::string converted(static_cast<std::size_t>(length), '\0');
  WideCharToMultiByte(CP_ACP, flags, wide, wide_length, converted.data(), length, fallback,
                      nullptr);
  return converted;
}

std::u16string FromAnsi(std::string_view text) {
  if (text.empty()) {
    return {};
  }
  const int narrow_length = ClampedLength(text.size());
  const int length = MultiByteToWideChar(CP_ACP, 0, text.data(), narrow_length, nullptr, 0);
  if (length <= 0) {
    return {};
  }
  std::u16string converted(static_cast<std::size_t>(length), u'\0');
  MultiByteToWideChar(CP_ACP, 0, text.data(), narrow_length,
                      reinterpret_cast<wchar_t*>(converted.data()), length);
  return converted;
}

void ReadCodePageSetting() {}

std::uint32_t AnsiCodePage() { return GetACP(); }

}  // namespace morvane::platform
