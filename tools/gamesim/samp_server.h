// A simulated SA-MP server: information, rules, the two player lists and the
// ping, each reply behind the 11 query bytes echoed.
#pragma once

#include "udp_game_server.h"

namespace morvane::gamesim {

class SampServer final : public UdpGameServer {
 public:
  using UdpGameServer::UdpGameServer;
  ~SampServer() override { Stop(); }
  std::string_view Kind() const override { return "samp"; }

 protected:
  std::vector<Datagram> Answer(std::span<const std::uint8_t> query,
                               const platform::SocketAddress& client,
                               const SimServer& server) override;
};

}  // namespace morvane::gamesim
