// A simulated Quake 3 family server: "getstatus" and "getinfo", as ioq3
// answers them.
#pragma once

#include "udp_game_server.h"

namespace morvane::gamesim {

class Quake3Server final : public UdpGameServer {
 public:
  using UdpGameServer::UdpGameServer;
  ~Quake3Server() override { Stop(); }
  std::string_view Kind() const override { return "quake3"; }

 protected:
  std::vector<Datagram> Answer(std::span<const std::uint8_t> query,
                               const platform::SocketAddress& client,
                               const SimServer& server) override;
};

}  // namespace morvane::gamesim
