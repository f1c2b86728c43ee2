// The process's environment and identity.
#include <unistd.h>
#include <cstdlib>

#include "platform/platform.h"
#include "platform/program_support.h"

namespace morvane::platform {

std::string GetEnvironment(const char* name) {
  if (name == nullptr) return {};
  const char* value = std::getenv(name);
  return value != nullptr ? std::string(value) : std::string();
}

bool SetEnvironment(const char* name, const char* value) {
  if (name == nullptr) return false;
  if (value == nullptr) return unsetenv(name) == 0;
  return setenv(name, value, 1) == 0;
}

int CurrentProcessId() { return static_cast<int>(getpid()); }

void PrepareStandardOutput() {}

}  // namespace morvane::platform
