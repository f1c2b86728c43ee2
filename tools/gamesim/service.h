// One simulated server of morvane-gamesim: a socket on 127.0.0.1 and a thread
// that serves it until the program ends. Each server kind derives from
// Service in a file of its own and is listed in the registry in main.cpp.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <string_view>
#include <thread>

#include "platform/platform.h"

namespace morvane::gamesim {

class Service {
 public:
  virtual ~Service();

  // The word that names the service in the start-up lines ("tcp 127.0.0.1:40123").
  virtual std::string_view Kind() const = 0;

  // Binds to 127.0.0.1 and the port (0: any free port). On failure returns
  // false with a one-line reason.
  // A service of two sockets (FiveM: UDP and TCP on one port number) opens,
  // starts and stops its second one beside the first.
  virtual bool Open(std::uint16_t port, std::string& error);
  // The port bound by Open, in host order.
  std::uint16_t Port() const { return port_; }
  // The port a client names to reach the service, which the start-up line
  // shows: the bound one, but for a kind whose queries go to a port beside
  // the game's.
  virtual std::uint16_t ShownPort() const { return port_; }

  // Serves on a thread of its own until Stop.
  virtual void Start();
  // Ends the serving thread (within one wait slice) and closes the socket.
  virtual void Stop();

 protected:
  virtual platform::SocketType Type() const = 0;
  // The port to bind for the port asked for on the command line (0: any
  // free one); false when there is none.
  virtual bool ListenPort(std::uint16_t asked, std::uint16_t& listen) const {
    listen = asked;
    return true;
  }
  // Called on the serving thread each time the socket is readable: a
  // connection waits to be accepted, or a datagram has arrived.
  virtual void ServeReadable(platform::Socket socket) = 0;
  // Work a service put off (replies held back for a delay): how long until
  // the next of it is due (at most the thread's wait slice), and doing what
  // is due. Both on the serving thread.
  virtual std::int32_t MillisecondsToDue() const { return kWaitSliceMs; }
  virtual void ServeDue(platform::Socket /*socket*/) {}

  // The serving thread looks at its stop request this often.
  static constexpr std::int32_t kWaitSliceMs = 100;

 private:
  void Serve();

  platform::Socket socket_ = platform::kInvalidSocket;
  std::uint16_t port_ = 0;
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

}  // namespace morvane::gamesim
