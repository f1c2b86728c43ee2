#include "minecraft_java_server.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <utility>
#include <vector>

#include "platform/program_support.h"
#include "stream_reply.h"

namespace morvane::gamesim {
namespace {

using Clock = std::chrono::steady_clock;

// Connections beyond this many at once are closed as soon as accepted.
constexpr std::size_t kMaxConnections = 16;
// The most bytes read from one connection, whatever it sends.
constexpr std::size_t kMaxReadBytes = 16 * 1024;
// A connection that sends nothing for this long is closed, and none lasts
// longer than the second limit.
constexpr auto kIdleTime = std::chrono::seconds(5);
constexpr auto kLifeTime = std::chrono::seconds(30);
// A legacy ping whose later parts have not come after this pause is
// answered as it stands.
constexpr auto kQuietTime = std::chrono::milliseconds(100);
// The pause between two segments of a reply: long enough that a client
// reads each one on its own.
constexpr std::int32_t kSegmentPauseMs = 30;
// A client that reads nothing cannot hold a send for longer than this.
constexpr std::int32_t kSendTimeoutMs = 5000;
constexpr std::int32_t kSliceMs = 100;

std::int32_t MillisecondsUntil(Clock::time_point when) {
  const auto left = std::chrono::ceil<std::chrono::milliseconds>(when - Clock::now()).count();
  return static_cast<std::int32_t>(std::clamp<std::int64_t>(left, 0, kSliceMs));
}

// Reads what the client has already sent before the socket closes: a socket
// closed with unread bytes resets the connection, and a reset may cost the
// client the reply it has not read yet.
void DrainAndClose(platform::Socket client) {
  std::array<std::uint8_t, 1024> chunk{};
  for (int i = 0; i < 16 && platform::WaitReadable(client, 0) == platform::WaitResult::kReady;
       ++i) {
    if (platform::Receive(client, chunk) <= 0) break;
  }
  platform::CloseSocket(client);
}

}  // namespace

MinecraftJavaServer::MinecraftJavaServer(SimMinecraft server, const ServiceSwitches& switches)
    : setup_{.server = std::move(server),
             .era = switches.java_era,
             .look = {.chat_description = switches.chat_description,
                      .favicon_kb = switches.favicon_kb}},
      switches_(switches) {}

MinecraftJavaServer::~MinecraftJavaServer() {
  Stop();
  closing_.store(true);
  for (auto& connection : connections_) connection->thread.join();
}

void MinecraftJavaServer::ServeReadable(platform::Socket listener) {
  const platform::Socket client = platform::Accept(listener);
  if (client == platform::kInvalidSocket) return;
  JoinFinished();
  if (connections_.size() >= kMaxConnections) {
    platform::CloseSocket(client);
    return;
  }
  auto connection = std::make_unique<Connection>();
  Connection& served = *connection;
  served.thread = std::thread([this, client, &served] {
    Converse(client);
    DrainAndClose(client);
    served.done.store(true);
  });
  connections_.push_back(std::move(connection));
}

void MinecraftJavaServer::ServeDue(platform::Socket) { JoinFinished(); }

void MinecraftJavaServer::JoinFinished() {
  for (auto it = connections_.begin(); it != connections_.end();) {
    if (!(*it)->done.load()) {
      ++it;
      continue;
    }
    (*it)->thread.join();
    it = connections_.erase(it);
  }
}

void MinecraftJavaServer::Converse(platform::Socket client) {
  platform::SetSendTimeout(client, kSendTimeoutMs);
  const auto start = Clock::now();
  auto last = start;
  std::vector<std::uint8_t> received;
  std::array<std::uint8_t, 1024> chunk{};
  std::size_t read = 0;
  std::size_t sent = 0;
  JavaPhase phase = JavaPhase::kHandshake;
  while (!closing_.load()) {
    // Bytes that wait for more are looked at again once the client has been
    // quiet for a while; otherwise only the idle limit counts.
    const bool waiting = !received.empty() && Clock::now() < last + kQuietTime;
    const auto deadline = waiting ? last + kQuietTime : last + kIdleTime;
    const platform::WaitResult wait = platform::WaitReadable(client, MillisecondsUntil(deadline));
    if (wait == platform::WaitResult::kError) return;
    if (wait == platform::WaitResult::kReady) {
      const int n = platform::Receive(client, chunk);
      if (n <= 0) return;  // the client has closed, or the connection failed
      read += static_cast<std::size_t>(n);
      if (read > kMaxReadBytes) return;
      last = Clock::now();
      if (switches_.silent) continue;
      received.insert(received.end(), chunk.begin(), chunk.begin() + n);
    }
    const auto now = Clock::now();
    if (now - last >= kIdleTime || now - start >= kLifeTime) return;
    if (received.size() > kMaxJavaRequestBytes) return;
    const bool quiet = now - last >= kQuietTime;
    for (;;) {
      JavaStep step = StepJavaExchange(received, phase, quiet, setup_);
      if (step.consumed == 0 && !step.close) break;
      received.erase(received.begin(),
                     received.begin() + static_cast<std::ptrdiff_t>(step.consumed));
      if (!step.reply.empty() && !Send(client, step.reply, sent)) return;
      if (step.close) return;
    }
  }
}

bool MinecraftJavaServer::Send(platform::Socket client, const Datagram& reply, std::size_t& sent) {
  if (switches_.delay_ms > 0 && !Pause(switches_.delay_ms)) return false;
  std::span<const std::uint8_t> bytes = reply;
  bool cut = false;
  if (switches_.truncate) {
    // --truncate counts every byte the connection sends.
    const std::size_t room = *switches_.truncate > sent ? *switches_.truncate - sent : 0;
    cut = bytes.size() >= room;
    bytes = bytes.first(std::min(bytes.size(), room));
  }
  const std::vector<Datagram> pieces =
      SplitIntoSegments(Datagram(bytes.begin(), bytes.end()), switches_.segments);
  for (std::size_t i = 0; i < pieces.size(); ++i) {
    if (i > 0 && !Pause(kSegmentPauseMs)) return false;
    if (!SendAll(client, pieces[i])) return false;
    sent += pieces[i].size();
  }
  return !cut;
}

bool MinecraftJavaServer::Pause(std::int32_t milliseconds) const {
  const auto end = Clock::now() + std::chrono::milliseconds(milliseconds);
  while (!closing_.load()) {
    if (Clock::now() >= end) return true;
    platform::SleepMilliseconds(MillisecondsUntil(end));
  }
  return false;
}

}  // namespace morvane::gamesim
