// One "/gs" request over many servers at internet distance, end to end: from
// PluginProcess to the reply the host gets, against simulators that
// scripts/bench-e2e starts with reply delays, dead servers and lost queries.
//   bench_distance_main --kind hl --ports P1,P2,... [--repeat N] [--folder DIR]
//                       [--set Key=Value]...
// Prints, per run, the time until the reply and how many servers it shows
// online, then the median time.
#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <string>
#include <vector>

#include "bench_host.h"
#include "common/byte_reader.h"
#include "common/text.h"
#include "host/host_record.h"
#include "platform/platform.h"
#include "plugin/chat_handler.h"
#include "plugin/lifecycle.h"
#include "plugin/plugin_state.h"

namespace {

using Clock = std::chrono::steady_clock;

std::mutex g_lock;
std::condition_variable g_replied;
std::vector<std::u16string> g_replies;

// The reply's text is the last field of a code 50 record.
void MORVANE_CALL KeepReply(std::int32_t, std::int32_t code, const void* record,
                            std::int32_t length) {
  if (code != 50 || record == nullptr || length <= 0) return;
  morvane::ByteReader reader(
      std::span(static_cast<const std::uint8_t*>(record), static_cast<std::size_t>(length)));
  (void)morvane::ReadText(reader);
  (void)morvane::ReadInt(reader);
  std::u16string text = morvane::ReadText(reader);
  {
    std::lock_guard lock(g_lock);
    g_replies.push_back(std::move(text));
  }
  g_replied.notify_all();
}

bool WriteSettings(const std::u16string& folder, const std::vector<std::string>& lines) {
  // Each server's line shows whether it answered; nothing else of [Main]
  // changes unless asked.
  std::u16string text =
      u"[Main]\r\nMaxAddr=0\r\nFormat=%addr% up\r\nOfflineFormat=%addr% down\r\nDelimiter=:;\r\n";
  for (const auto& line : lines) text += morvane::Utf8ToUtf16(line) + u"\r\n";
  return morvane::bench::WriteSettingsFile(folder, text);
}

std::size_t CountOnline(const std::u16string& reply) {
  std::size_t online = 0;
  for (std::size_t at = reply.find(u" up"); at != std::u16string::npos;
       at = reply.find(u" up", at + 1)) {
    ++online;
  }
  return online;
}

}  // namespace

int main(int argc, char** argv) {
  std::string kind = "hl";
  std::vector<std::string> ports;
  std::vector<std::string> settings;
  int repeat = 3;
  std::u16string folder = u"bench-distance-settings";
  for (int i = 1; i + 1 < argc; i += 2) {
    const std::string arg = argv[i];
    const std::string value = argv[i + 1];
    if (arg == "--kind") kind = value;
    if (arg == "--repeat") repeat = std::max(1, std::stoi(value));
    if (arg == "--folder") folder = morvane::Utf8ToUtf16(value);
    if (arg == "--set") settings.push_back(value);
    if (arg == "--ports") ports = morvane::bench::SplitPorts(value);
  }
  if (ports.empty()) {
    std::fprintf(stderr,
                 "usage: bench_distance_main --kind hl --ports P1,P2,... [--repeat N] "
                 "[--folder DIR] [--set Key=Value]...\n");
    return 2;
  }
  if (!WriteSettings(folder, settings)) {
    std::fprintf(stderr, "bench_distance_main: cannot write the settings into %s\n",
                 morvane::Utf16ToUtf8(folder).c_str());
    return 1;
  }
  morvane::PluginState plugin;
  plugin.module_directory_for_testing = folder + u"/";
  if (morvane::StartPlugin(plugin, 1, &KeepReply, &morvane::bench::AnswerDirectMode) != 1) return 1;

  std::u16string addresses;
  for (const auto& port : ports) {
    if (!addresses.empty()) addresses += u",";
    addresses += u"127.0.0.1:" + morvane::AsciiToUtf16(port);
  }
  const auto record = morvane::bench::ChannelMessageRecord(
      u"bench", u"/gs " + morvane::AsciiToUtf16(kind) + u" " + addresses);
  std::vector<double> times;
  for (int run = 0; run < repeat; ++run) {
    const auto start = Clock::now();
    morvane::ProcessHostMessage(plugin, 5, record.data(), static_cast<std::int32_t>(record.size()));
    std::unique_lock lock(g_lock);
    if (!g_replied.wait_for(lock, std::chrono::seconds(120), [] { return !g_replies.empty(); })) {
      std::fprintf(stderr, "bench_distance_main: no reply within 120 s\n");
      return 1;
    }
    const double ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
    std::printf("run %d: %.0f ms, %zu of %zu shown online\n", run + 1, ms,
                CountOnline(g_replies.back()), ports.size());
    std::fflush(stdout);
    g_replies.clear();
    times.push_back(ms);
  }
  std::sort(times.begin(), times.end());
  std::printf("median %.0f ms over %zu runs\n", times[times.size() / 2], times.size());
  morvane::StopPlugin(plugin);
  return 0;
}
