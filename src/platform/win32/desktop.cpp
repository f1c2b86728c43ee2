// The desktop on Windows: opening a file with its associated program and the
// information box.
//
// Tests run without a user, and under Wine without a display, where a message
// box would never be closed: a test program may turn both calls into reports
// on standard error, as the POSIX build always makes them. The switch is a
// call, not an environment variable, so the shipped module, which never makes
// it, always shows its dialogs.
#include <windows.h>

#include <shellapi.h>

#include <atomic>
#include <cstdio>

#include "common/text.h"
#include "platform/platform.h"
#include "platform/program_support.h"

namespace morvane::platform {
namespace {

std::atomic<bool> g_dialogs_suppressed{false};

bool DialogsSuppressed() { return g_dialogs_suppressed.load(); }

const wchar_t* Wide(const std::u16string& text) {
  return reinterpret_cast<const wchar_t*>(text.c_str());
}

}  // namespace

void SuppressDialogsForTesting(bool suppress) { g_dialogs_suppressed = suppress; }

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
