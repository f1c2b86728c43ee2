// The frame every simulated UDP game server shares: take one query, ask the
// kind for its answer, and send it as the switches say: not at all
// (--silent, or for a share of the queries, --loss), cut short (--truncate),
// after decoys from another port (--junk), followed by decoys from the same
// port (--flood), or held back for a round trip (--delay).
#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <deque>
#include <random>
#include <span>
#include <vector>

#include "service.h"
#include "service_switches.h"
#include "wire_writer.h"
#include "world.h"

namespace morvane::gamesim {

class UdpGameServer : public Service {
 public:
  UdpGameServer(SimServer server, const ServiceSwitches& switches);
  ~UdpGameServer() override;

 protected:
  platform::SocketType Type() const override { return platform::SocketType::kUdp; }
  void ServeReadable(platform::Socket socket) override;
  std::int32_t MillisecondsToDue() const override;
  void ServeDue(platform::Socket socket) override;

  // The datagrams that answer one query from the client, as the given server
  // (the real one or the decoy) would send them; none for a query the kind
  // does not know. Called on the serving thread only.
  virtual std::vector<Datagram> Answer(std::span<const std::uint8_t> query,
                                       const platform::SocketAddress& client,
                                       const SimServer& server) = 0;

  const SimServer& server() const { return server_; }
  // Whether Answer is asked for the decoy's datagrams (--junk, --flood).
  bool IsDecoy(const SimServer& server) const { return &server == &decoy_; }
  const ServiceSwitches& switches() const { return switches_; }

 private:
  void Reply(platform::Socket socket, std::span<const std::uint8_t> query,
             const platform::SocketAddress& client);
  void SendJunk(std::span<const std::uint8_t> query, const platform::SocketAddress& client);
  void SendFlood(std::span<const std::uint8_t> query, platform::Socket socket,
                 const platform::SocketAddress& client);

  const SimServer server_;
  const SimServer decoy_;
  const ServiceSwitches switches_;
  // The second port that junk comes from, opened on first use. Used by the
  // serving thread only, closed by the destructor after it has ended.
  platform::Socket junk_socket_ = platform::kInvalidSocket;
  // Room for the largest datagram, so each one is taken off the queue whole.
  std::array<std::uint8_t, 65536> buffer_{};
  // Queries whose replies wait out the delay, oldest first.
  struct HeldQuery {
    std::chrono::steady_clock::time_point due;
    Datagram query;
    platform::SocketAddress client;
  };
  std::deque<HeldQuery> held_;
  std::mt19937 losses_;
};

}  // namespace morvane::gamesim
