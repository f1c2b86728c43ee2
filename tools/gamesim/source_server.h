// A simulated Source or GoldSrc server: A2S_INFO in the new (Source) or old
// (GoldSrc) form, A2S_PLAYER and A2S_RULES behind the client's challenge, and
// split packets for long replies.
#pragma once

#include <cstdint>

#include "source_replies.h"
#include "udp_game_server.h"

namespace morvane::gamesim {

class SourceServer final : public UdpGameServer {
 public:
  // kind names the service in the simulator's list ("source" or "goldsrc"
  // when empty).
  SourceServer(SourceForm form, SimServer server, const ServiceSwitches& switches,
               std::string_view kind = {});
  ~SourceServer() override { Stop(); }
  std::string_view Kind() const override;

 protected:
  std::vector<Datagram> Answer(std::span<const std::uint8_t> query,
                               const platform::SocketAddress& client,
                               const SimServer& server) override;

 private:
  const SourceForm form_;
  const std::string_view kind_;
  // Each run of the server hands out other challenges.
  const std::uint32_t secret_;
  // Numbers the split replies. Used by the serving thread only.
  std::uint32_t sequence_ = 0;
};

}  // namespace morvane::gamesim
