// The parse of each reply kind: an info reply and a 32-player list.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "games/quake3.h"
#include "games/samp.h"
#include "games/source.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

void Put(Bytes& d, std::string_view text, bool nul = true) {
  for (char c : text) d.push_back(static_cast<std::uint8_t>(c));
  if (nul) d.push_back(0);
}
void PutInt(Bytes& d, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) d.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}

Bytes SourceInfo() {
  Bytes d = {0xFF, 0xFF, 0xFF, 0xFF, 'I', 17};
  Put(d, "Arena | Classic Competitive 128 tick");
  Put(d, "de_dust2");
  Put(d, "cstrike");
  Put(d, "Counter-Strike: Source");
  d.insert(d.end(), {240, 0, 24, 32, 0, 'd', 'l', 1, 1});
  Put(d, "1.0.0.71");
  return d;
}

Bytes SourcePlayers() {
  Bytes d = {0xFF, 0xFF, 0xFF, 0xFF, 'D', 32};
  for (int i = 0; i < 32; ++i) {
    d.push_back(static_cast<std::uint8_t>(i));
    Put(d, "Player number " + std::to_string(i));
    PutInt(d, static_cast<std::uint32_t>(i * 3));
    PutInt(d, 0x45638000);
  }
  return d;
}

Bytes Quake3Status() {
  std::string text =
      "\xFF\xFF\xFF\xFFstatusResponse\n\\sv_hostname\\^1Big ^7Server\\mapname\\q3dm17"
      "\\gamename\\baseq3\\sv_maxclients\\32\\g_gametype\\0\\fraglimit\\20\n";
  for (int i = 0; i < 32; ++i)
    text += std::to_string(i) + " 50 \"^" + std::to_string(i % 8) + "Player" + std::to_string(i) +
            "\"\n";
  return Bytes(text.begin(), text.end());
}

Bytes SampInfo() {
  Bytes d = {'S', 'A', 'M', 'P', 127, 0, 0, 1, 0x61, 0x1E, 'i', 1, 24, 0, 50, 0};
  for (std::string_view s : {"Freeroam | Stunts | Drift", "Freeroam 2.1", "English"}) {
    PutInt(d, static_cast<std::uint32_t>(s.size()));
    Put(d, s, false);
  }
  return d;
}

Bytes SampPlayers() {
  Bytes d = {'S', 'A', 'M', 'P', 127, 0, 0, 1, 0x61, 0x1E, 'd', 32, 0};
  for (int i = 0; i < 32; ++i) {
    std::string name = "Player_" + std::to_string(i);
    d.push_back(static_cast<std::uint8_t>(i));
    d.push_back(static_cast<std::uint8_t>(name.size()));
    Put(d, name, false);
    PutInt(d, static_cast<std::uint32_t>(i * 10));
    PutInt(d, 80);
  }
  return d;
}

void BM_SourceInfo(benchmark::State& state) {
  const Bytes reply = SourceInfo();
  for (auto _ : state) benchmark::DoNotOptimize(morvane::ParseSourceInfo(reply));
}
BENCHMARK(BM_SourceInfo);

void BM_SourcePlayers32(benchmark::State& state) {
  const Bytes reply = SourcePlayers();
  for (auto _ : state) benchmark::DoNotOptimize(morvane::ParseSourcePlayers(reply));
}
BENCHMARK(BM_SourcePlayers32);

void BM_Quake3Info(benchmark::State& state) {
  const Bytes reply = Quake3Status();
  for (auto _ : state) benchmark::DoNotOptimize(morvane::ParseQuake3Status(reply, false));
}
BENCHMARK(BM_Quake3Info);

void BM_Quake3Players32(benchmark::State& state) {
  const Bytes reply = Quake3Status();
  for (auto _ : state) benchmark::DoNotOptimize(morvane::ParseQuake3Status(reply, true));
}
BENCHMARK(BM_Quake3Players32);

void BM_SampInfo(benchmark::State& state) {
  const Bytes reply = SampInfo();
  for (auto _ : state) benchmark::DoNotOptimize(morvane::ParseSampInfo(reply));
}
BENCHMARK(BM_SampInfo);

void BM_SampPlayers32(benchmark::State& state) {
  const Bytes reply = SampPlayers();
  for (auto _ : state) benchmark::DoNotOptimize(morvane::ParseSampPlayers(reply));
}
BENCHMARK(BM_SampPlayers32);

}  // namespace

BENCHMARK_MAIN();
