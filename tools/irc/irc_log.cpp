#include "irc_log.h"

#include <chrono>
#include <cstdio>
#include <ctime>
#include <mutex>
#include <string>

namespace morvane::irc {
namespace {

// Guards standard error: the bridge thread logs, and so may main() before it
// starts.
std::mutex g_log_mutex;

}  // namespace

void Log(std::string_view line) {
  using namespace std::chrono;
  const auto now = system_clock::now();
  const std::time_t seconds = system_clock::to_time_t(now);
  const auto millis = duration_cast<milliseconds>(now.time_since_epoch()).count() % 1000;
  std::tm local{};
#ifdef _WIN32
  localtime_s(&local, &seconds);
#else
  localtime_r(&seconds, &local);
#endif
  char stamp[32];
  std::snprintf(stamp, sizeof stamp, "%02d:%02d:%02d.%03d ", local.tm_hour, local.tm_min,
                local.tm_sec, static_cast<int>(millis));
  std::string out = stamp;
  // One entry, one line: a text from the network never breaks the log.
  for (char c : line) out += (c == '\r' || c == '\n') ? ' ' : c;
  out += '\n';
  std::lock_guard lock(g_log_mutex);
  std::fwrite(out.data(), 1, out.size(), stderr);
  std::fflush(stderr);
}

}  // namespace morvane::irc
