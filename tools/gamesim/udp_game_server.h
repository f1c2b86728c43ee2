// The frame every simulated UDP game server shares: take one query, ask the
// kind for its answer, and send it as the switches say: not at all
// (--silent), cut short (--truncate), after decoys from another port
// (--junk), or followed by decoys from the same port (--flood).
#pragma once

#include <array>
#include <cstdint>
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

  // The datagrams that answer one query from the client, as the given server
  // (the real one or the decoy) would send them; none for a query the kind
  // does not know. Called on the serving thread only.
  virtual std::vector<Datagram> Answer(std::span<const std::uint8_t> query,
                                       const platform::SocketAddress& client,
                                       const SimServer& server) = 0;

  const SimServer& server() const { return server_; }
  const ServiceSwitches& switches() const { return switches_; }

 private:
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
};

}  // namespace morvane::gamesim
