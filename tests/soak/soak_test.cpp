// The soak: thousands of requests of every kind, mixed with "/reload" and
// periodic events, against servers that drop, delay, truncate, send junk from
// other ports, flood and challenge twice. Every request must end (one reply
// each, or nothing when no address resolves), the worker must keep moving,
// and memory must stay flat. MORVANE_SOAK_REQUESTS sets the length (make
// check runs a short soak, make soak a long one).
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <fstream>
#include <mutex>
#include <random>
#include <string>

#include "common/byte_reader.h"
#include "common/text.h"
#include "host/host_record.h"
#include "platform/platform.h"
#include "platform/program_support.h"
#include "plugin/chat_handler.h"
#include "plugin/lifecycle.h"
#include "plugin/plugin_state.h"
#include "scan/request_queue.h"
#include "support/core_fixture.h"
#include "support/udp_responder.h"

namespace morvane::test {
namespace {

// ---- replies of well-behaved servers -------------------------------------

void Put(Datagram& d, std::string_view text, bool nul = true) {
  for (char c : text) d.push_back(static_cast<std::uint8_t>(c));
  if (nul) d.push_back(0);
}
void PutInt(Datagram& d, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) d.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}

Datagram SourceInfo() {
  Datagram d = {0xFF, 0xFF, 0xFF, 0xFF, 'I', 17};
  Put(d, "Soak Arena");
  Put(d, "de_soak");
  Put(d, "cstrike");
  Put(d, "Counter-Strike");
  d.insert(d.end(), {240, 0, 7, 32, 0, 'd', 'l', 0, 1});
  Put(d, "1.0");
  return d;
}

Datagram SourcePlayers() {
  Datagram d = {0xFF, 0xFF, 0xFF, 0xFF, 'D', 3};
  for (int i = 0; i < 3; ++i) {
    d.push_back(static_cast<std::uint8_t>(i));
    Put(d, "player" + std::to_string(i));
    PutInt(d, static_cast<std::uint32_t>(i * 7 - 5));
    PutInt(d, 0x45638000);  // 3640.0f
  }
  return d;
}

Datagram Challenge(std::uint8_t n) { return {0xFF, 0xFF, 0xFF, 0xFF, 'A', n, n, n, n}; }

Datagram Quake3Status() {
  Datagram d;
  Put(d,
      "\xFF\xFF\xFF\xFFstatusResponse\n\\sv_hostname\\^1Soak\\mapname\\q3dm17\\gamename\\baseq3"
      "\\sv_maxclients\\16\n2 30 \"^2Ann\"\n-1 45 \"Bob\"\n",
      false);
  return d;
}

Datagram SampReply(const Datagram& query) {
  Datagram d(query.begin(), query.begin() + std::min<std::size_t>(11, query.size()));
  if (query.size() < 11) return d;
  if (query[10] == 'i') {
    d.insert(d.end(), {0, 2, 0, 50, 0});
    for (std::string_view s : {"Soak Freeroam", "Freeroam", "EN"}) {
      PutInt(d, static_cast<std::uint32_t>(s.size()));
      Put(d, s, false);
    }
    return d;
  }
  d.insert(d.end(), {2, 0});
  for (std::string_view name : {"Ivan", "Kate"}) {
    d.push_back(1);
    d.push_back(static_cast<std::uint8_t>(name.size()));
    Put(d, name, false);
    PutInt(d, 10);
    PutInt(d, 80);
  }
  return d;
}

bool IsPlayerQuery(const Datagram& q) { return q.size() == 9 && q[4] == 'U'; }

Datagram SourceAnswer(const Datagram& q) {
  return IsPlayerQuery(q) ? SourcePlayers() : SourceInfo();
}

// ---- the servers of the soak ----------------------------------------------

constexpr UdpResponder::Log kQuiet = UdpResponder::Log::kNothing;

struct Servers {
  std::mt19937 random{7};
  std::mutex random_lock;
  int Cut(std::size_t size) {
    std::lock_guard lock(random_lock);
    return static_cast<int>(random() % (size + 1));
  }

  UdpResponder source{[](const Datagram& q) { return Response{{SourceAnswer(q)}}; }, kQuiet};
  // Challenges twice: the first query, then the query with challenge 1, and
  // only the query with challenge 2 gets the reply.
  UdpResponder twice{[](const Datagram& q) {
                       const std::uint8_t last = q.empty() ? 0 : q.back();
                       if (last == 0x01) return Response{{Challenge(2)}};
                       if (last == 0x02) return Response{{SourceAnswer(q)}};
                       return Response{{Challenge(1)}};
                     },
                     kQuiet};
  UdpResponder silent{[](const Datagram&) { return Response{}; }, kQuiet};
  UdpResponder delayed{[](const Datagram& q) {
                         platform::SleepMilliseconds(40);
                         return Response{{SourceAnswer(q)}};
                       },
                       kQuiet};
  UdpResponder truncated{[this](const Datagram& q) {
                           Datagram reply = SourceAnswer(q);
                           reply.resize(static_cast<std::size_t>(Cut(reply.size())));
                           return Response{{reply}};
                         },
                         kQuiet};
  UdpResponder junk{[](const Datagram& q) {
                      Response response{{Bytes("junk"), SourceAnswer(q)}};
                      response.decoys = {SourceAnswer(q), Bytes("\xFF\xFF\xFF\xFFIjunk")};
                      return response;
                    },
                    kQuiet};
  UdpResponder flood{[](const Datagram& q) {
                       Response response{{SourceAnswer(q)}};
                       response.datagrams.insert(response.datagrams.end(), 100, SourceAnswer(q));
                       return response;
                     },
                     kQuiet};
  UdpResponder quake3{[](const Datagram&) { return Response{{Quake3Status()}}; }, kQuiet};
  UdpResponder samp{[](const Datagram& q) { return Response{{SampReply(q)}}; }, kQuiet};
  platform::Socket tcp = platform::OpenLoopbackServer(platform::SocketType::kTcp, 0);

  ~Servers() { platform::CloseSocket(tcp); }
};

std::int64_t ResidentKilobytes() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind("VmRSS:", 0) == 0) return std::stoll(line.substr(6));
  }
  return -1;  // Not Linux: not measured.
}

// What reached the host, counted in place: the fake host keeps every record,
// which over 20,000 requests would grow the very resident size measured here.
struct Deliveries {
  std::mutex lock;
  std::vector<std::uint8_t> per_request;  // sized before the run
  int periodic = 0;
  int stray = 0;
};
Deliveries g_deliveries;

void MORVANE_CALL CountDelivery(std::int32_t, std::int32_t code, const void* record,
                                std::int32_t length) {
  if (code != 50 || record == nullptr || length <= 0) return;
  ByteReader reader(std::span<const std::uint8_t>(static_cast<const std::uint8_t*>(record),
                                                  static_cast<std::size_t>(length)));
  const std::u16string target = ReadText(reader);
  std::lock_guard lock(g_deliveries.lock);
  if (target == u"periodic") {
    ++g_deliveries.periodic;
    return;
  }
  const std::string id = Utf16ToUtf8(target);
  const std::size_t n =
      id.rfind("req-", 0) == 0 ? std::strtoul(id.c_str() + 4, nullptr, 10) : SIZE_MAX;
  if (n >= g_deliveries.per_request.size()) {
    ++g_deliveries.stray;
    return;
  }
  if (g_deliveries.per_request[n] < 255) ++g_deliveries.per_request[n];
}

// Sanitizers and valgrind keep memory of their own; the resident size says
// something about the plug-in only without them (make soak sets
// MORVANE_SOAK_MEMORY_CHECK=0 for its valgrind run).
bool MemoryChecked() {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
  return false;
#else
  return platform::GetEnvironment("MORVANE_SOAK_MEMORY_CHECK") != "0";
#endif
}

int SoakRequests() {
  std::string value = platform::GetEnvironment("MORVANE_SOAK_REQUESTS");
  int n = value.empty() ? 0 : std::atoi(value.c_str());
  return n > 0 ? n : 600;
}

class Soak : public CoreTest {
 protected:
  void SetUp() override {
    with_worker_ = true;
    hold_entry_lock_ = false;  // The real timer fires periodic events.
    CoreTest::SetUp();
    platform::SetClockForTesting(nullptr);
    // Names are answered here, not by the machine's resolver, whose answer
    // may take longer than the 150 ms time-out and turn the name offline.
    platform::SetNameResolverForTesting([](std::u16string_view) { return std::string(); });
  }
  void TearDown() override {
    CoreTest::TearDown();
    platform::SetNameResolverForTesting(nullptr);
  }

  // Every call into the core holds the entry lock, as the exports do: the
  // event timer's thread takes it too.
  void Locked(const std::function<void()>& body) {
    std::lock_guard entry(platform::EntryLock());
    body();
  }

  std::u16string Settings() {
    return u"[Main]\r\nMaxQueue=100000\r\nAdmUsers=root\r\n"
           u"[Event_0]\r\nType=3\r\nDelay=1\r\nSource=periodic\r\nGame=hl\r\nTimeOut=150\r\nAddr=" +
           LoopbackAddress(servers_.source.Port()) + u"\r\n";
  }

  Servers servers_;
};

TEST_F(Soak, EveryRequestEndsAndMemoryStaysFlat) {
  const int total = SoakRequests();
  g_deliveries.per_request.assign(static_cast<std::size_t>(total), 0);
  std::vector<bool> expected(static_cast<std::size_t>(total), false);  // must be answered
  Locked([&] {
    WriteSettings(Settings());
    FakeHost::Instance().SetModeAnswer(1);
    ASSERT_EQ(StartPlugin(plugin_, 7, &CountDelivery, &FakeHost::Query), 1);
  });

  const std::u16string source_like[] = {
      LoopbackAddress(servers_.source.Port()),  LoopbackAddress(servers_.twice.Port()),
      LoopbackAddress(servers_.delayed.Port()), LoopbackAddress(servers_.truncated.Port()),
      LoopbackAddress(servers_.junk.Port()),    LoopbackAddress(servers_.flood.Port()),
      LoopbackAddress(servers_.source.Port()),  LoopbackAddress(servers_.flood.Port()),
  };
  const std::u16string silent = LoopbackAddress(servers_.silent.Port());
  const std::u16string unresolvable = u"no-such-host.invalid";
  struct Kind {
    const char16_t* word;
    std::vector<std::u16string> addresses;
  };
  const std::vector<Kind> kinds = {
      {u"hl", {std::begin(source_like), std::end(source_like)}},
      {u"hlpl", {std::begin(source_like), std::end(source_like)}},
      {u"cod", {LoopbackAddress(servers_.quake3.Port())}},
      {u"codpl", {LoopbackAddress(servers_.quake3.Port())}},
      {u"sa", {LoopbackAddress(servers_.samp.Port())}},
      {u"sapl", {LoopbackAddress(servers_.samp.Port())}},
      {u"tcp", {LoopbackAddress(platform::LocalPort(servers_.tcp))}},
  };

  std::mt19937 random(2026);
  std::int64_t rss_early = -1;
  constexpr int kBurst = 40;
  for (int sent = 0; sent < total;) {
    Locked([&] {
      for (int i = 0; i < kBurst && sent < total; ++i, ++sent) {
        const Kind& kind = kinds[random() % kinds.size()];
        const int items = 1 + static_cast<int>(random() % 3);
        std::u16string addr;
        bool resolvable = false;
        for (int k = 0; k < items; ++k) {
          if (k > 0) addr += u", ";
          const unsigned roll = random() % 100;
          if (roll < 4) {
            addr += silent;
            resolvable = true;
          } else if (roll < 8) {
            addr += unresolvable;
          } else {
            addr += kind.addresses[random() % kind.addresses.size()];
            resolvable = true;
          }
        }
        const std::u16string id = u"req-" + AsciiToUtf16(std::to_string(sent));
        expected[static_cast<std::size_t>(sent)] = resolvable;
        AddScanItem(plugin_, kind.word,
                    {.Addr = addr,
                     .ChOrUser = id,
                     .OutTitle = {},
                     .Format = u"%name% %pl%/%plmax%",
                     .PlTitle = u"[%pl%]",
                     .OffFormat = u"%addr% off",
                     .Delimiter = u" | ",
                     .PlDelimiter = u"; ",
                     .MsgType = static_cast<std::int32_t>(random() % 2),
                     .TimeOut = 150,
                     // Every other request in flight side by side
                     // with repeats, the rest strictly in turn; and
                     // every other pair served beside other requests,
                     // the rest alone.
                     .Parallel = sent % 2 == 0 ? 256 : 1,
                     .Retries = sent % 2 == 0 ? 2 : 0,
                     .Requests = sent / 2 % 2 == 0 ? 4 : 1});
      }
      if (sent % 200 < kBurst) PrivateMessage(u"root", u"/reload");
    });
    // The worker must keep moving: each burst drains within a generous bound.
    bool drained = false;
    for (int waited = 0; waited < 60000 && !drained; waited += 10) {
      drained = plugin_.queue->Count() == 0;
      if (!drained) platform::SleepMilliseconds(10);
    }
    ASSERT_TRUE(drained) << "the worker stalled after " << sent << " requests";
    if (rss_early < 0 && sent >= total / 5) rss_early = ResidentKilobytes();
  }

  const std::int64_t rss_end = ResidentKilobytes();

  // Every answered request reached the host exactly once, and no other did.
  int missing = 0, duplicated = 0, unexpected = 0, answered = 0;
  {
    std::lock_guard lock(g_deliveries.lock);
    for (std::size_t i = 0; i < expected.size(); ++i) {
      const int n = g_deliveries.per_request[i];
      if (expected[i]) {
        ++answered;
        if (n == 0) ++missing;
        if (n > 1) ++duplicated;
      } else if (n != 0) {
        ++unexpected;
      }
    }
    EXPECT_EQ(g_deliveries.stray, 0);
  }
  EXPECT_EQ(missing, 0);
  EXPECT_EQ(duplicated, 0);
  EXPECT_EQ(unexpected, 0) << "a request whose addresses all fail to resolve sends nothing";
  const int periodic = g_deliveries.periodic;
  RecordProperty("requests", total);
  RecordProperty("periodic_replies", periodic);

  if (rss_early > 0 && rss_end > 0 && MemoryChecked()) {
    EXPECT_LT(rss_end - rss_early, 2 * 1024)
        << "resident size grew from " << rss_early << " kB to " << rss_end << " kB";
  }
  std::printf("soak: %d requests, %d answered, %d periodic replies, RSS %lld -> %lld kB\n", total,
              answered, periodic, static_cast<long long>(rss_early),
              static_cast<long long>(rss_end));
  Locked([&] { Stop(); });
}

}  // namespace
}  // namespace morvane::test
