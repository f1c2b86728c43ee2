// Text in the ANSI code page. Windows converts with CP_ACP and no best-fit
// mapping; here the code page is Windows-1251 unless MORVANE_CODEPAGE names
// another one. The variable is read at PluginStart (and at the first
// conversion in a program that has none), never on the worker: getenv there
// would race with a host that calls setenv.
#include <atomic>
#include <charconv>
#include <cstdlib>
#include <cstring>

#include "common/code_pages.h"
#include "common/text.h"
#include "platform/platform.h"
#include "platform/program_support.h"

namespace morvane::platform {
namespace {

constexpr std::uint32_t kDefaultCodePage = 1251;
constexpr std::uint32_t kUtf8CodePage = 65001;
constexpr char kReplacementByte = '?';

std::uint32_t CodePageFromEnvironment() {
  const char* text = std::getenv("MORVANE_CODEPAGE");
  if (text == nullptr) return kDefaultCodePage;
  const char* end = text + std::strlen(text);
  std::uint32_t code_page = 0;
  const auto [stop, error] = std::from_chars(text, end, code_page);
  if (error != std::errc() || stop != end) return kDefaultCodePage;
  if (code_page == kUtf8CodePage || FindHighHalf(code_page) != nullptr) return code_page;
  return kDefaultCodePage;
}

std::atomic<std::uint32_t>& CodePageInUse() {
  static std::atomic<std::uint32_t> code_page{CodePageFromEnvironment()};
  return code_page;
}

}  // namespace

void ReadCodePageSetting() { CodePageInUse().store(CodePageFromEnvironment()); }

std::uint32_t AnsiCodePage() { return CodePageInUse().load(std::memory_order_relaxed); }

std::string ToAnsi(std::u16string_view text) {
  const std::uint32_t code_page = AnsiCodePage();
  if (code_page == kUtf8CodePage) return Utf16ToUtf8(text);
  return EncodeSingleByte(text, *FindHighHalf(code_page), kReplacementByte);
}

std::u16string FromAnsi(std::string_view text) {
  const std::uint32_t code_page = AnsiCodePage();
  if (code_page == kUtf8CodePage) return Utf8ToUtf16(text);
  return DecodeSingleByte(text, *FindHighHalf(code_page));
}

}  // namespace morvane::platform
