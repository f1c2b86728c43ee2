// The process on Windows: its environment and its id.
#include <fcntl.h>
#include <io.h>
#include <stdio.h>
#include <stdlib.h>
#include <windows.h>

#include "common/text.h"
#include "platform/platform.h"
#include "platform/program_support.h"

namespace morvane::platform {

std::string GetEnvironment(const char* name) {
  if (name == nullptr || *name == '\0') {
    return {};
  }
  // The process environment, not the C runtime's copy, so a variable that the
  // host or Wine set after the runtime started is seen too.
  const std::u16string wide_name = Utf8ToUtf16(name);
  const auto* key = reinterpret_cast<const wchar_t*>(wide_name.c_str());
  std::u16string value(64, u'\0');
  for (;;) {
    const DWORD length = GetEnvironmentVariableW(key, reinterpret_cast<wchar_t*>(value.data()),
                                                 static_cast<DWORD>(value.size()));
    if (length == 0) {
      return {};
    }
    if (length < value.size()) {
      value.resize(length);
      return Utf16ToUtf8(value);
    }
    // Too small: length is the size needed, the terminator included. The
    // variable may grow between two calls, hence the loop.
    value.resize(length);
  }
}

bool SetEnvironment(const char* name, const char* value) {
  if (name == nullptr || *name == '\0' ||
      std::string_view(name).find('=') != std::string_view::npos) {
    return false;
  }
  const std::u16string wide_name = Utf8ToUtf16(name);
  const std::u16string wide_value = value != nullptr ? Utf8ToUtf16(value) : std::u16string();
  const auto* key = reinterpret_cast<const wchar_t*>(wide_name.c_str());
  const auto* text = reinterpret_cast<const wchar_t*>(wide_value.c_str());
  // Both copies of the environment: the C runtime's, which getenv reads, and
  // the process's, which GetEnvironment and child processes read. The runtime
  // takes an empty value as removal and passes its change on to the process's
  // copy, so the process's copy is set last, to the value asked for.
  if (_wputenv_s(key, value != nullptr ? text : L"") != 0) {
    return false;
  }
  return SetEnvironmentVariableW(key, value != nullptr ? text : nullptr) != 0;
}

int CurrentProcessId() { return static_cast<int>(GetCurrentProcessId()); }

void PrepareStandardOutput() {
  // The tools write UTF-8 bytes and their own line ends: text mode would put
  // a CR before every LF, and a console would read the bytes in its OEM page.
  _setmode(_fileno(stdout), _O_BINARY);
  _setmode(_fileno(stderr), _O_BINARY);
  SetConsoleOutputCP(CP_UTF8);
}

}  // namespace morvane::platform
