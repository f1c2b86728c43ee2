#include "service.h"

#include <algorithm>

#include "platform/program_support.h"

namespace morvane::gamesim {

Service::~Service() { Stop(); }

bool Service::Open(std::uint16_t port, std::string& error) {
  std::uint16_t listen = 0;
  if (ListenPort(port, listen)) socket_ = platform::OpenLoopbackServer(Type(), listen);
  if (socket_ == platform::kInvalidSocket) {
    error = "cannot open " + std::string(Kind()) + " on 127.0.0.1:" + std::to_string(port);
    return false;
  }
  port_ = platform::LocalPort(socket_);
  // The port shown must lead back to the one bound.
  if (!ListenPort(ShownPort(), listen) || listen != port_) {
    error = "no port to show for " + std::string(Kind()) + " on 127.0.0.1:" + std::to_string(port_);
    return false;
  }
  return true;
}

void Service::Start() {
  if (socket_ == platform::kInvalidSocket || thread_.joinable()) return;
  thread_ = std::thread([this] { Serve(); });
}

void Service::Stop() {
  stop_.store(true);
  if (thread_.joinable()) thread_.join();
  if (socket_ != platform::kInvalidSocket) {
    platform::CloseSocket(socket_);
    socket_ = platform::kInvalidSocket;
  }
}

void Service::Serve() {
  while (!stop_.load()) {
    const std::int32_t wait = std::clamp(MillisecondsToDue(), 0, kWaitSliceMs);
    switch (platform::WaitReadable(socket_, wait)) {
      case platform::WaitResult::kReady:
        ServeReadable(socket_);
        ServeDue(socket_);
        break;
      case platform::WaitResult::kTimedOut:
        ServeDue(socket_);
        break;
      case platform::WaitResult::kError:
        // A socket that cannot be waited on would otherwise spin the thread.
        platform::SleepMilliseconds(kWaitSliceMs);
        break;
    }
  }
}

}  // namespace morvane::gamesim
