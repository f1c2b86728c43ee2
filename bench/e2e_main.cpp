// End to end on loopback, from PluginProcess to the host callback, against
// simulators that scripts/bench-e2e starts: one request to one server, one
// request to 100 servers, and the resident size and heap in use over 10,000
// requests.
//   bench_e2e_main --kind hl|cod --ports P1,P2,... [--repeat N] [--folder DIR]
// Prints one line per measure: name, median, 10th and 90th percentile, max.
#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <fstream>
#include <mutex>
#include <string>
#include <vector>

#include "bench_host.h"
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
int g_replies = 0;

void MORVANE_CALL CountReply(std::int32_t, std::int32_t code, const void*, std::int32_t) {
  if (code != 50) return;
  {
    std::lock_guard lock(g_lock);
    ++g_replies;
  }
  g_replied.notify_all();
}

// Sends one command and waits for its reply; the time between them in µs.
double Ask(morvane::PluginState& plugin, const std::vector<std::uint8_t>& record) {
  int before;
  {
    std::lock_guard lock(g_lock);
    before = g_replies;
  }
  auto start = Clock::now();
  morvane::ProcessHostMessage(plugin, 5, record.data(), static_cast<std::int32_t>(record.size()));
  std::unique_lock lock(g_lock);
  g_replied.wait_for(lock, std::chrono::seconds(30), [&] { return g_replies > before; });
  return std::chrono::duration<double, std::micro>(Clock::now() - start).count();
}

void Report(const char* name, std::vector<double> samples) {
  std::sort(samples.begin(), samples.end());
  auto at = [&](double q) { return samples[static_cast<std::size_t>(q * (samples.size() - 1))]; };
  std::printf("%-34s n=%-5zu median %9.1f us   p10 %9.1f   p90 %9.1f   max %9.1f\n", name,
              samples.size(), at(0.5), at(0.1), at(0.9), samples.back());
}

// The settings the benchmark runs with: every default but MaxAddr, since one
// request names all the servers at once.
bool WriteSettings(const std::u16string& folder) {
  return morvane::bench::WriteSettingsFile(folder, u"[Main]\r\nMaxAddr=0\r\n");
}

long ResidentKilobytes() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind("VmRSS:", 0) == 0) return std::stol(line.substr(6));
  }
  return -1;
}

}  // namespace

int main(int argc, char** argv) {
  std::string kind = "hl";
  std::vector<std::string> ports;
  int repeat = 200;
  int memory_requests = 10000;
  std::u16string folder = u"bench-e2e-settings";
  for (int i = 1; i + 1 < argc; i += 2) {
    std::string arg = argv[i];
    std::string value = argv[i + 1];
    if (arg == "--kind") kind = value;
    if (arg == "--repeat") repeat = std::stoi(value);
    if (arg == "--memory-requests") memory_requests = std::stoi(value);
    if (arg == "--folder") folder = morvane::Utf8ToUtf16(value);
    if (arg == "--ports") ports = morvane::bench::SplitPorts(value);
  }
  if (ports.empty()) {
    std::fprintf(stderr, "usage: bench_e2e_main --kind hl|cod --ports P1,P2,... [--repeat N]\n");
    return 2;
  }

  const long rss_loaded = ResidentKilobytes();
  auto started = Clock::now();
  if (!WriteSettings(folder)) {
    std::fprintf(stderr, "bench_e2e_main: cannot write the settings into %s\n",
                 morvane::Utf16ToUtf8(folder).c_str());
    return 1;
  }
  morvane::PluginState plugin;
  plugin.module_directory_for_testing = folder + u"/";
  if (morvane::StartPlugin(plugin, 1, &CountReply, &morvane::bench::AnswerDirectMode) != 1) {
    return 1;
  }
  const double start_us = std::chrono::duration<double, std::micro>(Clock::now() - started).count();
  const long rss_started = ResidentKilobytes();

  const std::u16string kind16 = morvane::AsciiToUtf16(kind);
  const auto one = morvane::bench::ChannelMessageRecord(
      u"bench", u"/gs " + kind16 + u" 127.0.0.1:" + morvane::AsciiToUtf16(ports[0]));
  std::u16string all_addresses;
  for (const auto& port : ports) {
    if (!all_addresses.empty()) all_addresses += u",";
    all_addresses += u"127.0.0.1:" + morvane::AsciiToUtf16(port);
  }
  const auto all =
      morvane::bench::ChannelMessageRecord(u"bench", u"/gs " + kind16 + u" " + all_addresses);

  for (int i = 0; i < 20; ++i) Ask(plugin, one);  // warm-up
  std::vector<double> single;
  for (int i = 0; i < repeat; ++i) single.push_back(Ask(plugin, one));
  Report(("one " + kind + " request, 1 server").c_str(), single);
  std::vector<double> many;
  for (int i = 0; i < std::max(5, repeat / 10); ++i) many.push_back(Ask(plugin, all));
  Report(("one " + kind + " request, " + std::to_string(ports.size()) + " servers").c_str(), many);

  // Memory: the resident size, and the heap in use, after many more requests.
  // A few first, so that both are taken after the same kind of request (the
  // allocator keeps some freed blocks per thread, which count as in use).
  for (int i = 0; i < std::min(memory_requests, 100); ++i) Ask(plugin, one);
  const long rss_before = ResidentKilobytes();
  const auto heap_before = morvane::bench::HeapBytesInUse();
  for (int i = 0; i < memory_requests; ++i) Ask(plugin, one);
  const long rss_after = ResidentKilobytes();
  const auto heap_after = morvane::bench::HeapBytesInUse();
  std::printf(
      "start: %.1f us; resident: %ld kB loaded, %ld kB started, %ld kB before and %ld kB after %d "
      "more requests\n",
      start_us, rss_loaded, rss_started, rss_before, rss_after, memory_requests);
  if (heap_before && heap_after) {
    std::printf("heap in use: %zu bytes before and %zu bytes after the %d more requests\n",
                *heap_before, *heap_after, memory_requests);
  }
  morvane::StopPlugin(plugin);
  return 0;
}
