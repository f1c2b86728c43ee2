// A simulated Minecraft: Bedrock Edition server: pongs to RakNet's
// unconnected ping, with every fault of the UDP frame (silence, loss,
// truncation, junk, floods, delay) and --fields for pongs that end early.
#pragma once

#include "udp_game_server.h"

namespace morvane::gamesim {

class MinecraftBedrockServer final : public UdpGameServer {
 public:
  MinecraftBedrockServer(SimMinecraft server, const ServiceSwitches& switches);
  ~MinecraftBedrockServer() override { Stop(); }
  std::string_view Kind() const override { return "bedrock"; }

 protected:
  std::vector<Datagram> Answer(std::span<const std::uint8_t> query,
                               const platform::SocketAddress& client,
                               const SimServer& server) override;

 private:
  const SimMinecraft bedrock_;
  const SimMinecraft decoy_;
};

}  // namespace morvane::gamesim
