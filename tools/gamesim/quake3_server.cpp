#include "quake3_server.h"

#include "quake3_replies.h"

namespace morvane::gamesim {

std::vector<Datagram> Quake3Server::Answer(std::span<const std::uint8_t> query,
                                           const platform::SocketAddress&,
                                           const SimServer& server) {
  return AnswerQuake3Query(query, server, {switches().manifest, switches().teams});
}

}  // namespace morvane::gamesim
