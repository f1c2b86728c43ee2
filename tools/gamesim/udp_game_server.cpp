#include "udp_game_server.h"

#include <algorithm>
#include <utility>

namespace morvane::gamesim {
namespace {

// A datagram too short to be any kind's reply: a client must skip it.
constexpr std::uint8_t kJunkBytes[] = {0xFF, 0xFF, 0xFF};

}  // namespace

UdpGameServer::UdpGameServer(SimServer server, const ServiceSwitches& switches)
    : server_(std::move(server)), decoy_(DecoyServer()), switches_(switches) {}

UdpGameServer::~UdpGameServer() {
  Stop();
  if (junk_socket_ != platform::kInvalidSocket) platform::CloseSocket(junk_socket_);
}

void UdpGameServer::ServeReadable(platform::Socket socket) {
  platform::SocketAddress client;
  const int received = platform::ReceiveFrom(socket, buffer_, client);
  if (received < 0 || switches_.silent) return;
  const auto query =
      std::span<const std::uint8_t>(buffer_).first(static_cast<std::size_t>(received));
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
