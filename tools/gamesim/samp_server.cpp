#include "samp_server.h"

#include "samp_replies.h"

namespace morvane::gamesim {

std::vector<Datagram> SampServer::Answer(std::span<const std::uint8_t> query,
                                         const platform::SocketAddress&, const SimServer& server) {
  return AnswerSampQuery(query, server, switches().openmp);
}

}  // namespace morvane::gamesim
