#include "udp_game_server.h"

#include <algorithm>
#include <utility>

#include "platform/program_support.h"

namespace morvane::gamesim {
namespace {

// A datagram too short to be any kind's reply: a client must skip it.
constexpr std::uint8_t kJunkBytes[] = {0xFF, 0xFF, 0xFF};

}  // namespace

UdpGameServer::UdpGameServer(SimServer server, const ServiceSwitches& switches)
    : server_(std::move(server)),
      decoy_(DecoyServer()),
      switches_(switches),
      losses_(switches.seed) {}

UdpGameServer::~UdpGameServer() {
  Stop();
  if (junk_socket_ != platform::kInvalidSocket) platform::CloseSocket(junk_socket_);
}

void UdpGameServer::ServeReadable(platform::Socket socket) {
  platform::SocketAddress client;
  const int received = platform::ReceiveFrom(socket, buffer_, client);
  if (received < 0 || switches_.silent) return;
  if (switches_.loss_percent > 0 &&
      std::uniform_int_distribution<int>(0, 99)(losses_) < switches_.loss_percent) {
    return;
  }
  const auto query =
      std::span<const std::uint8_t>(buffer_).first(static_cast<std::size_t>(received));
  if (switches_.delay_ms <= 0) {
    Reply(socket, query, client);
    return;
  }
  held_.push_back({std::chrono::steady_clock::now() + std::chrono::milliseconds(switches_.delay_ms),
                   Datagram(query.begin(), query.end()), client});
}

std::int32_t UdpGameServer::MillisecondsToDue() const {
  if (held_.empty()) return kWaitSliceMs;
  const auto left = std::chrono::ceil<std::chrono::milliseconds>(held_.front().due -
                                                                 std::chrono::steady_clock::now());
  return static_cast<std::int32_t>(std::clamp<std::int64_t>(left.count(), 0, kWaitSliceMs));
}

void UdpGameServer::ServeDue(platform::Socket socket) {
  const auto now = std::chrono::steady_clock::now();
  while (!held_.empty() && held_.front().due <= now) {
    const HeldQuery held = std::move(held_.front());
    held_.pop_front();
    Reply(socket, held.query, held.client);
  }
}

void UdpGameServer::Reply(platform::Socket socket, std::span<const std::uint8_t> query,
                          const platform::SocketAddress& client) {
  if (switches_.junk) SendJunk(query, client);
  std::vector<Datagram> replies = Answer(query, client, server_);
  if (replies.empty()) return;
  for (Datagram& reply : replies) {
    if (switches_.truncate && reply.size() > *switches_.truncate) reply.resize(*switches_.truncate);
    platform::SendTo(socket, reply, client);
  }
  if (switches_.flood > 0) SendFlood(query, socket, client);
}

// Junk comes from a second port of 127.0.0.1: a client that checks the
// sender ignores it; one that does not shows the decoy's values.
void UdpGameServer::SendJunk(std::span<const std::uint8_t> query,
                             const platform::SocketAddress& client) {
  if (junk_socket_ == platform::kInvalidSocket) {
    junk_socket_ = platform::OpenLoopbackServer(platform::SocketType::kUdp, 0);
    if (junk_socket_ == platform::kInvalidSocket) return;
  }
  platform::SendTo(junk_socket_, kJunkBytes, client);
  for (const Datagram& decoy : Answer(query, client, decoy_)) {
    platform::SendTo(junk_socket_, decoy, client);
  }
}

// The decoy's answer to the same query, its datagrams over and over until
// there are as many as asked for, from the real port: a client must take the
// first reply and drain the rest.
void UdpGameServer::SendFlood(std::span<const std::uint8_t> query, platform::Socket socket,
                              const platform::SocketAddress& client) {
  const std::vector<Datagram> decoys = Answer(query, client, decoy_);
  if (decoys.empty()) return;
  for (int i = 0; i < switches_.flood; ++i) {
    platform::SendTo(socket, decoys[static_cast<std::size_t>(i) % decoys.size()], client);
  }
}

}  // namespace morvane::gamesim
