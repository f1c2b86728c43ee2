// A TCP listener that accepts every connection and closes it at once: the
// port is open, which is all the plug-in's TCP probe asks.
#pragma once

#include "service.h"

namespace morvane::gamesim {

class TcpListener final : public Service {
 public:
  ~TcpListener() override { Stop(); }
  std::string_view Kind() const override { return "tcp"; }

 protected:
  platform::SocketType Type() const override { return platform::SocketType::kTcp; }
  void ServeReadable(platform::Socket socket) override;
};

}  // namespace morvane::gamesim
