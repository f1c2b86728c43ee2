// A UDP port that receives every datagram and never answers: a server that
// is down, or a firewall that drops queries, as the plug-in sees it.
#pragma once

#include <array>
#include <cstdint>

#include "service.h"

namespace morvane::gamesim {

class SilentUdp final : public Service {
 public:
  ~SilentUdp() override { Stop(); }
  std::string_view Kind() const override { return "silent-udp"; }

 protected:
  platform::SocketType Type() const override { return platform::SocketType::kUdp; }
  void ServeReadable(platform::Socket socket) override;

 private:
  // Room for the largest datagram, so that each one is taken off the queue
  // whole. Used by the serving thread only.
  std::array<std::uint8_t, 65536> buffer_{};
};

}  // namespace morvane::gamesim
