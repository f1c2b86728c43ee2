#include "source_server.h"

#include <random>

#include "platform/program_support.h"

namespace morvane::gamesim {

SourceServer::SourceServer(SourceForm form, SimServer server, const ServiceSwitches& switches,
                           std::string_view kind)
    : UdpGameServer(std::move(server), switches),
      form_(form),
      kind_(kind),
      secret_(std::random_device{}()) {}

std::string_view SourceServer::Kind() const {
  if (!kind_.empty()) return kind_;
  return form_ == SourceForm::kGoldSrc ? "goldsrc" : "source";
}

std::vector<Datagram> SourceServer::Answer(std::span<const std::uint8_t> query,
                                           const platform::SocketAddress& client,
                                           const SimServer& server) {
  const SourceSetup setup{
      .server = server,
      .form = form_,
      .challenge = switches().challenge,
      .split = switches().split,
      .port = Port(),
  };
  const ChallengeBytes expected = ChallengeToBytes(
      ChallengeFor(secret_, client.address_be, platform::NetworkToHost16(client.port_be)));
  return AnswerSourceQuery(query, setup, expected, ++sequence_);
}

}  // namespace morvane::gamesim
