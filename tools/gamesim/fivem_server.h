// A simulated FiveM or RedM server: getinfo over UDP and its web endpoints
// over TCP, on one port number. Like the real server, it answers about two
// getinfo queries a second from one client address, after a burst of ten,
// and drops the rest. The HTTP side serves one connection at a time on its
// own thread; a reply that never ends (--endless) keeps its connection open
// for a while without holding the next one.
#pragma once

#include <chrono>
#include <memory>
#include <unordered_map>
#include <vector>

#include "udp_game_server.h"

namespace morvane::gamesim {

class FivemServer final : public UdpGameServer {
 public:
  FivemServer(SimServer server, const ServiceSwitches& switches);
  ~FivemServer() override;
  std::string_view Kind() const override { return "fivem"; }

  bool Open(std::uint16_t port, std::string& error) override;
  void Start() override;
  void Stop() override;

 protected:
  std::vector<Datagram> Answer(std::span<const std::uint8_t> query,
                               const platform::SocketAddress& client,
                               const SimServer& server) override;

 private:
  class Http;
  // Takes one getinfo from the client's allowance; false when it is spent.
  bool TakeAllowance(const platform::SocketAddress& client);

  std::unique_ptr<Http> http_;
  struct Allowance {
    double tokens = 0;
    std::chrono::steady_clock::time_point refilled;
  };
  // Per client address; used by the UDP serving thread only.
  std::unordered_map<std::uint32_t, Allowance> allowances_;
};

}  // namespace morvane::gamesim
