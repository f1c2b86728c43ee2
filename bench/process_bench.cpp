// What a chat message costs the host's thread, and what filling a reply costs
// the worker. No network: the plug-in runs without its worker here.
#include <benchmark/benchmark.h>

#include <vector>

#include "bench_host.h"
#include "host/host_record.h"
#include "plugin/chat_handler.h"
#include "plugin/lifecycle.h"
#include "plugin/plugin_state.h"
#include "scan/reply_templates.h"

namespace {

void MORVANE_CALL IgnoreCall(std::int32_t, std::int32_t, const void*, std::int32_t) {}
void BM_ProcessScanCommand(benchmark::State& state) {
  morvane::PluginState plugin;
  plugin.worker_enabled_for_testing = false;
  morvane::StartPlugin(plugin, 1, &IgnoreCall, &morvane::bench::AnswerDirectMode);
  const auto record = morvane::bench::ChannelMessageRecord(u"alice", u"/gs hl 192.0.2.1:27015");
  for (auto _ : state) {
    morvane::ProcessHostMessage(plugin, 5, record.data(), static_cast<std::int32_t>(record.size()));
    // Keep the queue from filling: the request is what a worker would take.
    plugin.queue->PopHead();
  }
  morvane::StopPlugin(plugin);
}
BENCHMARK(BM_ProcessScanCommand);

void BM_ProcessOrdinaryMessage(benchmark::State& state) {
  morvane::PluginState plugin;
  plugin.worker_enabled_for_testing = false;
  morvane::StartPlugin(plugin, 1, &IgnoreCall, &morvane::bench::AnswerDirectMode);
  const auto record =
      morvane::bench::ChannelMessageRecord(u"alice", u"Hello, how is everyone doing tonight?");
  for (auto _ : state) {
    morvane::ProcessHostMessage(plugin, 5, record.data(), static_cast<std::int32_t>(record.size()));
  }
  morvane::StopPlugin(plugin);
}
BENCHMARK(BM_ProcessOrdinaryMessage);

void BM_FillSummary(benchmark::State& state) {
  morvane::ServerValues values{.name = "Arena",
                               .map = "de_dust2",
                               .mod = "Counter-Strike",
                               .players = 5,
                               .max_players = 16,
                               .password = true};
  const std::u16string format = u"%addr%  -  %name% - %map% - %pl%/%plmax% - %mod% %pass%";
  for (auto _ : state) {
    benchmark::DoNotOptimize(morvane::FillSummary(format, u"192.0.2.1:27015", values));
  }
}
BENCHMARK(BM_FillSummary);

void BM_FillPlayerLine(benchmark::State& state) {
  const std::u16string format = u"%pltime% - %plscore% - %plname%";
  for (auto _ : state) {
    benchmark::DoNotOptimize(
        morvane::FillPlayerLine(format, "Player", "42", morvane::TimeText(3725.0f)));
  }
}
BENCHMARK(BM_FillPlayerLine);

}  // namespace

BENCHMARK_MAIN();
