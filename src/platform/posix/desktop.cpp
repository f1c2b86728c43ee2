// The desktop calls. A Linux host has no shell association or message box to
// show, so both report on standard error, where a person running the console
// host sees them.
#include <cstdio>

#include "common/text.h"
#include "platform/platform.h"
#include "platform/program_support.h"

namespace morvane::platform {
namespace {

// IDOK, MessageBoxW's result for a box with only an OK button.
constexpr std::int32_t kIdOk = 1;

}  // namespace

void SuppressDialogsForTesting(bool) {}

void OpenWithAssociatedProgram(const std::u16string& path) {
  std::fprintf(stderr, "morvane: open %s\n", Utf16ToUtf8(path).c_str());
}

std::int32_t ShowInformationBox(const std::u16string& caption, const std::u16string& text) {
  std::fprintf(stderr, "morvane: [%s] %s\n", Utf16ToUtf8(caption).c_str(),
               Utf16ToUtf8(text).c_str());
  return kIdOk;
}

}  // namespace morvane::platform
