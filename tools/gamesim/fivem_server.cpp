#include "fivem_server.h"

#include <algorithm>
#include <array>
#include <string>

#include "fivem_replies.h"
#include "stream_reply.h"
#include "platform/program_support.h"

namespace morvane::gamesim {
namespace {

using Clock = std::chrono::steady_clock;

// The real server's allowance: a burst of ten, then two a second.
constexpr double kBurst = 10;
constexpr double kPerSecond = 2;
// A free port number for both sockets is looked for this many times.
constexpr int kPortTries = 20;
constexpr std::int32_t kRequestWaitMs = 500;
constexpr std::int32_t kSegmentPauseMs = 30;
// An endless reply's connection is closed after this long.
constexpr auto kEndlessHold = std::chrono::seconds(10);

}  // namespace

class FivemServer::Http final : public Service {
 public:
  Http(const SimServer& server, const ServiceSwitches& switches)
      : server_(server), switches_(switches) {}
  ~Http() override {
    Stop();
    for (const auto& held : held_) platform::CloseSocket(held.socket);
  }
  std::string_view Kind() const override { return "fivem-http"; }

 protected:
  platform::SocketType Type() const override { return platform::SocketType::kTcp; }

  void ServeReadable(platform::Socket listener) override {
    const platform::Socket client = platform::Accept(listener);
    if (client == platform::kInvalidSocket) return;
    platform::SetSendTimeout(client, 2000);
    if (Converse(client) && switches_.endless) {
      held_.push_back({client, Clock::now() + kEndlessHold});
      return;
    }
    // What the client sent beyond its head is read before the close, so
    // that the close does not reset the connection under the reply.
    std::array<std::uint8_t, 1024> chunk{};
    while (platform::WaitReadable(client, 0) == platform::WaitResult::kReady &&
           platform::Receive(client, chunk) > 0) {
    }
    platform::CloseSocket(client);
  }

  std::int32_t MillisecondsToDue() const override { return held_.empty() ? kWaitSliceMs : 100; }

  void ServeDue(platform::Socket) override {
    const auto now = Clock::now();
    std::erase_if(held_, [now](const Held& held) {
      if (held.until > now) return false;
      platform::CloseSocket(held.socket);
      return true;
    });
  }

 private:
  struct Held {
    platform::Socket socket;
    Clock::time_point until;
  };

  // Reads the request head and sends the reply; false when the client sent
  // no whole head in time.
  bool Converse(platform::Socket client) {
    std::string head;
    std::array<std::uint8_t, 1024> chunk{};
    while (head.find("\r\n\r\n") == std::string::npos) {
      if (head.size() > kMaxFivemRequestBytes ||
          platform::WaitReadable(client, kRequestWaitMs) != platform::WaitResult::kReady) {
        return false;
      }
      const int n = platform::Receive(client, chunk);
      if (n <= 0) return false;
      head.append(reinterpret_cast<const char*>(chunk.data()), static_cast<std::size_t>(n));
    }
    if (switches_.silent) return false;
    if (switches_.delay_ms > 0) platform::SleepMilliseconds(switches_.delay_ms);
    const std::string reply = AnswerFivemHttp(head, server_, switches_);
    const auto pieces = SplitIntoSegments(Datagram(reply.begin(), reply.end()), switches_.segments);
    for (std::size_t i = 0; i < pieces.size(); ++i) {
      if (i > 0) platform::SleepMilliseconds(kSegmentPauseMs);
      if (!SendAll(client, pieces[i])) return false;
    }
    return true;
  }

  const SimServer& server_;
  const ServiceSwitches switches_;
  std::vector<Held> held_;  // endless replies' connections, serving thread only
};

FivemServer::FivemServer(SimServer server, const ServiceSwitches& switches)
    : UdpGameServer(std::move(server), switches) {}

FivemServer::~FivemServer() { Stop(); }

bool FivemServer::Open(std::uint16_t port, std::string& error) {
  // The TCP side takes a port first, and the UDP side the same number; with
  // port 0, another free number is tried when that one is taken for UDP.
  for (int attempt = 0; attempt < (port == 0 ? kPortTries : 1); ++attempt) {
    http_ = std::make_unique<Http>(this->server(), switches());
    if (!http_->Open(port, error)) return false;
    if (UdpGameServer::Open(http_->Port(), error)) return true;
  }
  return false;
}

void FivemServer::Start() {
  UdpGameServer::Start();
  if (http_) http_->Start();
}

void FivemServer::Stop() {
  if (http_) http_->Stop();
  UdpGameServer::Stop();
}

std::vector<Datagram> FivemServer::Answer(std::span<const std::uint8_t> query,
                                          const platform::SocketAddress& client,
                                          const SimServer& server) {
  if (!IsDecoy(server) && !TakeAllowance(client)) return {};
  return AnswerFivemGetinfo(query, server);
}

bool FivemServer::TakeAllowance(const platform::SocketAddress& client) {
  const auto now = Clock::now();
  auto [entry, added] = allowances_.try_emplace(client.address_be, Allowance{kBurst, now});
  Allowance& allowance = entry->second;
  const std::chrono::duration<double> passed = now - allowance.refilled;
  allowance.tokens = std::min(kBurst, allowance.tokens + passed.count() * kPerSecond);
  allowance.refilled = now;
  if (allowance.tokens < 1) return false;
  allowance.tokens -= 1;
  return true;
}

}  // namespace morvane::gamesim
