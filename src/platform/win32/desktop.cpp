// The desktop on Windows: opening a file with its associated program and the
// information box.
//
// Tests and CI run without a user, and under Wine without a display, where a
// message box would never be closed and an editor would never be seen. When
// the environment variable MORVANE_NO_DIALOGS is set to any non-empty value,
// both report the request on standard error instead, as the POSIX build always
// does, and the box "returns" IDOK.
#include <windows.h>

#include <shellapi.h>

#include <cstdio>

#include "common/text.h"
#include "platform/platform.h"

namespace morvane::platform {
namespace {

bool DialogsSuppressed() { return !GetEnvironment("MORVANE_NO_DIALOGS").empty(); }

const wchar_t* Wide(const std::u16string& text) {
  return reinterpret_cast<const wchar_t*>(text.c_str());
}

}  // namespace

void OpenWithAssociatedProgram(const std::u16string& path) {
  if (DialogsSuppressed()) {
    std::fprintf(stderr, "[open] %s\n", Utf16ToUtf8(path).c_str());
    return;
  }
  ShellExecuteW(nullptr, L"open", Wide(path), nullptr, nullptr, SW_SHOWNORMAL);
}

std::int32_t ShowInformationBox(const std::u16string& caption, const std::u16string& text) {
  if (DialogsSuppressed()) {
    std::fprintf(stderr, "[%s] %s\n", Utf16ToUtf8(caption).c_str(), Utf16ToUtf8(text).c_str());
    return IDOK;
  }
  return MessageBoxW(nullptr, Wide(text), Wide(caption), MB_ICONINFORMATION);
}

}  // namespace morvane::platform
