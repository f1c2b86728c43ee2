// One "/gs" request over many servers at internet distance, end to end: from
// PluginProcess to the reply the host gets, against simulators that
// scripts/bench-e2e starts with reply delays, dead servers and lost queries.
//   bench_distance_main --kind hl --ports P1,P2,... [--repeat N] [--folder DIR]
//                       [--live N] [--set Key=Value]...
//                       [--behind PORT | --memory PORT [--queue K]]
// Prints, per run, the time until the reply and how many servers it shows
// online (and whether that is every live one, given --live N: how many of
// the ports answer), then the median time.
//
// --behind PORT: a busy channel. Each run queues the request over --ports
// and, right behind it, a one-server request to PORT (a live server that is
// not one of --ports), and times each from its own PluginProcess to its own
// reply; the short one's reply is the one that names PORT.
//
// --memory PORT: no timed runs, but the heap the plug-in holds. --ports are
// silent servers and PORT a live one. A request of 1000 addresses and one of
// 200 (the silent ports taken in turn) are each measured once their first
// items have taken their places, which stay taken for a whole TimeOut: from
// the two, the bytes per address item in flight and per address of the
// request in service. Behind the first, K one-server requests to PORT are
// queued (--queue, default 19: the default MaxQueue of 20 less the request
// in service): the bytes per queued request, so they must stay queued
// (Requests=1 where the worker serves several requests at once). The
// request templates are the defaults here, as a request copies them.
#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <filesystem>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
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

struct Reply {
  std::u16string text;
  Clock::time_point at;
};

std::mutex g_lock;
std::condition_variable g_replied;
std::vector<Reply> g_replies;

// The reply's text is the last field of a code 50 record.
void MORVANE_CALL KeepReply(std::int32_t, std::int32_t code, const void* record,
                            std::int32_t length) {
  const auto at = Clock::now();
  if (code != 50 || record == nullptr || length <= 0) return;
  morvane::ByteReader reader(
      std::span(static_cast<const std::uint8_t*>(record), static_cast<std::size_t>(length)));
  (void)morvane::ReadText(reader);
  (void)morvane::ReadInt(reader);
  std::u16string text = morvane::ReadText(reader);
  {
    std::lock_guard lock(g_lock);
    g_replies.push_back({std::move(text), at});
  }
  g_replied.notify_all();
}

// The replies so far once there are `count` of them, or those that came
// within two minutes.
std::vector<Reply> TakeReplies(std::size_t count) {
  std::unique_lock lock(g_lock);
  g_replied.wait_for(lock, std::chrono::seconds(120),
                     [count] { return g_replies.size() >= count; });
  std::vector<Reply> taken = std::move(g_replies);
  g_replies.clear();
  return taken;
}

bool WriteSettings(const std::u16string& folder, const std::vector<std::string>& lines,
                   bool countable) {
  std::u16string text = u"[Main]\r\nMaxAddr=0\r\n";
  // Each server's line shows whether it answered, and the reply is never
  // cut, so that every line can be counted; nothing else of [Main] changes
  // unless asked.
  if (countable) {
    text += u"MaxReply=0\r\nFormat=%addr% up\r\nOfflineFormat=%addr% down\r\nDelimiter=:;\r\n";
  }
  for (const auto& line : lines) text += morvane::Utf8ToUtf16(line) + u"\r\n";
  return morvane::bench::WriteSettingsFile(folder, text);
}

std::size_t Count(const std::u16string& text, std::u16string_view word) {
  std::size_t count = 0;
  for (std::size_t at = text.find(word); at != std::u16string::npos; at = text.find(word, at + 1)) {
    ++count;
  }
  return count;
}

// "95 of 100 shown online", and against the live count when it is known.
std::string OnlineText(const std::u16string& reply, std::size_t servers, int live) {
  const std::size_t online = Count(reply, u" up");
  const std::size_t named = online + Count(reply, u" down");
  std::string text = std::to_string(online) + " of " + std::to_string(servers) + " shown online";
  if (named != servers) text += " (the reply names " + std::to_string(named) + ")";
  if (live >= 0) {
    text += online == static_cast<std::size_t>(live) ? ", every live one"
                                                     : ", of " + std::to_string(live) + " live";
  }
  return text;
}

// The ports taken in turn until there are `count` addresses.
std::u16string AddressList(const std::vector<std::string>& ports, std::size_t count) {
  std::u16string addresses;
  for (std::size_t i = 0; i < count; ++i) {
    if (!addresses.empty()) addresses += u",";
    addresses += u"127.0.0.1:" + morvane::AsciiToUtf16(ports[i % ports.size()]);
  }
  return addresses;
}

std::vector<std::uint8_t> Command(const std::string& kind, const std::u16string& addresses) {
  return morvane::bench::ChannelMessageRecord(
      u"bench", u"/gs " + morvane::AsciiToUtf16(kind) + u" " + addresses);
}

void Send(morvane::PluginState& plugin, const std::vector<std::uint8_t>& record) {
  morvane::ProcessHostMessage(plugin, 5, record.data(), static_cast<std::int32_t>(record.size()));
}

double Milliseconds(Clock::duration span) {
  return std::chrono::duration<double, std::milli>(span).count();
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

int TimedRuns(morvane::PluginState& plugin, const std::vector<std::uint8_t>& request,
              std::size_t servers, int live, int repeat) {
  std::vector<double> times;
  for (int run = 0; run < repeat; ++run) {
    const auto start = Clock::now();
    Send(plugin, request);
    const std::vector<Reply> replies = TakeReplies(1);
    if (replies.size() != 1) {
      std::fprintf(stderr, "bench_distance_main: %zu replies in 120 s, not one\n", replies.size());
      return 1;
    }
    const double ms = Milliseconds(replies[0].at - start);
    std::printf("run %d: %.0f ms, %s\n", run + 1, ms,
                OnlineText(replies[0].text, servers, live).c_str());
    std::fflush(stdout);
    times.push_back(ms);
  }
  std::printf("median %.0f ms over %zu runs\n", Median(times), times.size());
  return 0;
}

// The long request, and right behind it the short one; each timed from its
// own PluginProcess to its own reply.
int BehindRuns(morvane::PluginState& plugin, const std::vector<std::uint8_t>& long_request,
               const std::vector<std::uint8_t>& short_request, const std::u16string& short_address,
               std::size_t servers, int live, int repeat) {
  // The short reply's line: the address, then " up" or " down".
  const std::u16string short_line = short_address + u" ";
  std::vector<double> short_times;
  std::vector<double> long_times;
  for (int run = 0; run < repeat; ++run) {
    const auto long_sent = Clock::now();
    Send(plugin, long_request);
    const auto short_sent = Clock::now();
    Send(plugin, short_request);
    const std::vector<Reply> replies = TakeReplies(2);
    const auto is_short = [&](const Reply& reply) {
      return reply.text.find(short_line) != std::u16string::npos;
    };
    const auto short_count = std::count_if(replies.begin(), replies.end(), is_short);
    if (replies.size() != 2 || short_count != 1) {
      std::fprintf(stderr,
                   "bench_distance_main: %zu replies in 120 s, %zu naming the short request's "
                   "server; wanted 2 and 1\n",
                   replies.size(), static_cast<std::size_t>(short_count));
      return 1;
    }
    const Reply& short_reply = is_short(replies[0]) ? replies[0] : replies[1];
    const Reply& long_reply = is_short(replies[0]) ? replies[1] : replies[0];
    const double short_ms = Milliseconds(short_reply.at - short_sent);
    const double long_ms = Milliseconds(long_reply.at - long_sent);
    std::printf(
        "run %d: short request %.0f ms (%s), long request %.0f ms (%s); queued %.0f us apart, "
        "the %s reply first\n",
        run + 1, short_ms,
        short_reply.text.find(short_line + u"up") != std::u16string::npos ? "online" : "offline",
        long_ms, OnlineText(long_reply.text, servers, live).c_str(),
        std::chrono::duration<double, std::micro>(short_sent - long_sent).count(),
        &replies[0] == &short_reply ? "short" : "long");
    std::fflush(stdout);
    short_times.push_back(short_ms);
    long_times.push_back(long_ms);
  }
  std::printf("median: short request %.0f ms, long request %.0f ms, over %zu runs\n",
              Median(short_times), Median(long_times), short_times.size());
  return 0;
}

// Sockets the process holds open: the worker's items in flight, each of
// which has its own.
int OpenSockets() {
  int sockets = 0;
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd", error)) {
    std::error_code link_error;
    const auto target = std::filesystem::read_symlink(entry.path(), link_error);
    if (!link_error && target.native().rfind("socket:", 0) == 0) ++sockets;
  }
  return sockets;
}

struct Sample {
  std::int64_t heap = 0;
  int sockets = 0;
};

// The heap first: counting sockets allocates on the way.
Sample TakeSample() {
  return {static_cast<std::int64_t>(morvane::bench::HeapBytesInUse().value_or(0)), OpenSockets()};
}

// Five samples 10 ms apart, the one with the median heap.
Sample SteadySample() {
  std::vector<Sample> samples;
  for (int i = 0; i < 5; ++i) {
    if (i > 0) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    samples.push_back(TakeSample());
  }
  std::sort(samples.begin(), samples.end(),
            [](const Sample& a, const Sample& b) { return a.heap < b.heap; });
  return samples[samples.size() / 2];
}

struct InService {
  std::size_t addresses = 0;
  Sample sample;  // over idle
  std::optional<std::int64_t> queued_growth;
};

// Sends a request over the silent servers and samples the heap once its
// first items have taken their places: at least 100 ms after the send and
// once the open sockets have not changed for 50 ms, well before the
// TimeOut (1000 ms by default) lets the first of them go. Then queues
// `queue` requests behind it, and waits for every reply.
std::optional<InService> MeasureInService(morvane::PluginState& plugin, const std::string& kind,
                                          const std::vector<std::string>& silent_ports,
                                          std::size_t addresses, const Sample& idle,
                                          const std::vector<std::uint8_t>& queued, int queue) {
  const auto request = Command(kind, AddressList(silent_ports, addresses));
  const auto sent = Clock::now();
  Send(plugin, request);
  int last = idle.sockets;
  auto since = sent;
  for (;;) {
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
    const auto now = Clock::now();
    const int sockets = OpenSockets();
    if (sockets != last) {
      last = sockets;
      since = now;
    }
    if (sockets > idle.sockets && now - sent >= std::chrono::milliseconds(100) &&
        now - since >= std::chrono::milliseconds(50)) {
      break;
    }
    if (now - sent > std::chrono::milliseconds(600)) {
      std::fprintf(stderr, "bench_distance_main: the items in flight did not settle in 600 ms\n");
      return std::nullopt;
    }
  }
  const Sample settled = SteadySample();
  InService result{addresses, {settled.heap - idle.heap, settled.sockets - idle.sockets}, {}};
  if (queue > 0) {
    const Sample before = TakeSample();
    for (int i = 0; i < queue; ++i) Send(plugin, queued);
    const Sample after = TakeSample();
    if (after.sockets != before.sockets) {
      std::fprintf(stderr,
                   "bench_distance_main: the worker opened or closed sockets while requests were "
                   "queued (did it take some into service? --set Requests=1 keeps them queued)\n");
      return std::nullopt;
    }
    result.queued_growth = after.heap - before.heap;
  }
  const std::size_t wanted = 1 + static_cast<std::size_t>(queue);
  const std::size_t got = TakeReplies(wanted).size();
  if (got != wanted) {
    std::fprintf(stderr,
                 "bench_distance_main: %zu of %zu replies in 120 s (a full queue refuses "
                 "requests: see MaxQueue)\n",
                 got, wanted);
    return std::nullopt;
  }
  return result;
}

int MemoryMeasure(morvane::PluginState& plugin, const std::string& kind,
                  const std::vector<std::string>& silent_ports, const std::string& live_port,
                  int queue) {
  if (!morvane::bench::HeapBytesInUse()) {
    std::printf("no heap figures: this C library does not count its heap\n");
    return 0;
  }
  const auto queued = Command(kind, u"127.0.0.1:" + morvane::AsciiToUtf16(live_port));
  // Whatever the plug-in makes once, on its first requests, is made before
  // the idle figure.
  Send(plugin, queued);
  Send(plugin, Command(kind, AddressList(silent_ports, silent_ports.size())));
  if (TakeReplies(2).size() != 2) {
    std::fprintf(stderr, "bench_distance_main: the warm-up requests got no replies\n");
    return 1;
  }
  const Sample idle = SteadySample();
  const auto big = MeasureInService(plugin, kind, silent_ports, 1000, idle, queued, queue);
  if (!big) return 1;
  const auto small = MeasureInService(plugin, kind, silent_ports, 200, idle, queued, 0);
  if (!small) return 1;
  const Sample end = SteadySample();

  std::printf("heap in use, worker idle: %lld bytes (glibc mallinfo2, bytes handed out)\n",
              static_cast<long long>(idle.heap));
  for (const InService* measured : {&*big, &*small}) {
    const Sample& s = measured->sample;
    std::printf(
        "one request of %zu addresses in service, %d items in flight (sockets open): +%lld bytes "
        "over idle, %lld bytes per item in flight with the request's own share\n",
        measured->addresses, s.sockets, static_cast<long long>(s.heap),
        static_cast<long long>(s.sockets > 0 ? s.heap / s.sockets : 0));
  }
  // growth = per_address * addresses + per_item * in_flight, for both.
  const double a1 = static_cast<double>(big->addresses);
  const double a2 = static_cast<double>(small->addresses);
  const double f1 = big->sample.sockets;
  const double f2 = small->sample.sockets;
  const double g1 = static_cast<double>(big->sample.heap);
  const double g2 = static_cast<double>(small->sample.heap);
  const double det = a1 * f2 - a2 * f1;
  if (det != 0) {
    std::printf(
        "so, apart: %.0f bytes per address item in flight, %.0f bytes per address of a request "
        "in service (heap only; each item in flight holds a socket too)\n",
        (a1 * g2 - a2 * g1) / det, (g1 * f2 - g2 * f1) / det);
  } else {
    std::printf("so, apart: not told apart (as many items in flight as addresses in both)\n");
  }
  std::printf(
      "%d one-server requests queued behind the first: +%lld bytes, %lld bytes per "
      "queued request\n",
      queue, static_cast<long long>(*big->queued_growth),
      static_cast<long long>(*big->queued_growth / queue));
  std::printf("after every reply: %+lld bytes over idle\n",
              static_cast<long long>(end.heap - idle.heap));
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  std::string kind = "hl";
  std::vector<std::string> ports;
  std::vector<std::string> settings;
  int repeat = 3;
  int live = -1;
  int queue = 19;
  std::string behind;
  std::string memory;
  std::u16string folder = u"bench-distance-settings";
  for (int i = 1; i + 1 < argc; i += 2) {
    const std::string arg = argv[i];
    const std::string value = argv[i + 1];
    if (arg == "--kind") kind = value;
    if (arg == "--repeat") repeat = std::max(1, std::stoi(value));
    if (arg == "--live") live = std::stoi(value);
    if (arg == "--queue") queue = std::max(1, std::stoi(value));
    if (arg == "--behind") behind = value;
    if (arg == "--memory") memory = value;
    if (arg == "--folder") folder = morvane::Utf8ToUtf16(value);
    if (arg == "--set") settings.push_back(value);
    if (arg == "--ports") ports = morvane::bench::SplitPorts(value);
  }
  if (ports.empty() || (!behind.empty() && !memory.empty())) {
    std::fprintf(stderr,
                 "usage: bench_distance_main --kind hl --ports P1,P2,... [--repeat N] "
                 "[--folder DIR] [--live N] [--set Key=Value]... "
                 "[--behind PORT | --memory PORT [--queue K]]\n");
    return 2;
  }
  if (!WriteSettings(folder, settings, memory.empty())) {
    std::fprintf(stderr, "bench_distance_main: cannot write the settings into %s\n",
                 morvane::Utf16ToUtf8(folder).c_str());
    return 1;
  }
  morvane::PluginState plugin;
  plugin.module_directory_for_testing = folder + u"/";
  if (morvane::StartPlugin(plugin, 1, &KeepReply, &morvane::bench::AnswerDirectMode) != 1) return 1;

  int status = 0;
  if (!memory.empty()) {
    status = MemoryMeasure(plugin, kind, ports, memory, queue);
  } else {
    const auto request = Command(kind, AddressList(ports, ports.size()));
    if (behind.empty()) {
      status = TimedRuns(plugin, request, ports.size(), live, repeat);
    } else {
      const std::u16string short_address = u"127.0.0.1:" + morvane::AsciiToUtf16(behind);
      status = BehindRuns(plugin, request, Command(kind, short_address), short_address,
                          ports.size(), live, repeat);
    }
  }
  morvane::StopPlugin(plugin);
  return status;
}
