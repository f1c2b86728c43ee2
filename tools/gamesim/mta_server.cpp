#include "mta_server.h"

#include <utility>

#include "mta_replies.h"

namespace morvane::gamesim {

// The frame's own server record goes unused, as for Bedrock: the server
// answers from its MTA:SA record, or from the decoy's.
MtaServer::MtaServer(SimMta server, const ServiceSwitches& switches)
    : UdpGameServer(SimServer{}, switches), mta_(std::move(server)), decoy_(DecoyMta()) {}

// A game port above 65412 has no query port; 0 leaves the choice to the
// system, whose free ports lie far above 123.
bool MtaServer::ListenPort(std::uint16_t asked, std::uint16_t& listen) const {
  if (asked > 65535 - kMtaQueryPortOffset) return false;
  listen = asked == 0 ? 0 : static_cast<std::uint16_t>(asked + kMtaQueryPortOffset);
  return true;
}

std::uint16_t MtaServer::ShownPort() const {
  return static_cast<std::uint16_t>(Port() - kMtaQueryPortOffset);
}

std::vector<Datagram> MtaServer::Answer(std::span<const std::uint8_t> query,
                                        const platform::SocketAddress&, const SimServer& server) {
  SimMta shown = IsDecoy(server) ? decoy_ : mta_;
  if (switches().password) shown.password = true;
  return AnswerMtaQuery(query, shown, ShownPort());
}

}  // namespace morvane::gamesim
