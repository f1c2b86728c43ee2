#include "minecraft_bedrock_server.h"

#include <utility>

#include "minecraft_bedrock_replies.h"

namespace morvane::gamesim {

// The frame's own server record goes unused: the Bedrock server answers from
// its Minecraft record, or from the decoy's when the frame asks for decoys.
MinecraftBedrockServer::MinecraftBedrockServer(SimMinecraft server, const ServiceSwitches& switches)
    : UdpGameServer(SimServer{}, switches), bedrock_(std::move(server)), decoy_(DecoyMinecraft()) {}

std::vector<Datagram> MinecraftBedrockServer::Answer(std::span<const std::uint8_t> query,
                                                     const platform::SocketAddress&,
                                                     const SimServer& server) {
  const SimMinecraft& shown = IsDecoy(server) ? decoy_ : bedrock_;
  return AnswerBedrockPing(query, shown, Port(), switches().fields);
}

}  // namespace morvane::gamesim
