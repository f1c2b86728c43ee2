// A simulated MTA:SA server: the "EYE1" reply on the query port, with every
// fault of the UDP frame (silence, loss, truncation, junk, floods, delay).
// It is named by its game port, as a player types it: the service binds the
// game port plus 123 and shows the game port in its start-up line.
#pragma once

#include "udp_game_server.h"

namespace morvane::gamesim {

class MtaServer final : public UdpGameServer {
 public:
  MtaServer(SimMta server, const ServiceSwitches& switches);
  ~MtaServer() override { Stop(); }
  std::string_view Kind() const override { return "mta"; }

 protected:
  bool ListenPort(std::uint16_t asked, std::uint16_t& listen) const override;
  std::uint16_t ShownPort() const override;
  std::vector<Datagram> Answer(std::span<const std::uint8_t> query,
                               const platform::SocketAddress& client,
                               const SimServer& server) override;

 private:
  const SimMta mta_;
  const SimMta decoy_;
};

}  // namespace morvane::gamesim
