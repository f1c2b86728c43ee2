// A simulated Minecraft: Java Edition server on TCP: the status exchange
// with its ping, and the legacy ping on the same port, as a 1.7 or later
// server answers both; or, with --legacy and --old-legacy, a server of
// before 1.7 that knows the legacy ping alone. Each connection is served on
// a thread of its own, so that a slow client (or a reply held back by
// --delay or cut into --segments) keeps no other waiting.
#pragma once

#include <atomic>
#include <list>
#include <memory>
#include <thread>

#include "minecraft_java_replies.h"
#include "service.h"

namespace morvane::gamesim {

class MinecraftJavaServer final : public Service {
 public:
  MinecraftJavaServer(SimMinecraft server, const ServiceSwitches& switches);
  ~MinecraftJavaServer() override;
  std::string_view Kind() const override { return "minecraft"; }

 protected:
  platform::SocketType Type() const override { return platform::SocketType::kTcp; }
  void ServeReadable(platform::Socket listener) override;
  void ServeDue(platform::Socket listener) override;

 private:
  struct Connection {
    std::thread thread;
    std::atomic<bool> done{false};
  };

  // The connection's thread: reads requests and answers them until the
  // exchange ends, the client leaves or the time limits run out.
  void Converse(platform::Socket client);
  // Sends one reply as the switches say; false when the connection must
  // close after it (--truncate reached, a failed send, the program ending).
  bool Send(platform::Socket client, const Datagram& reply, std::size_t& sent);
  // Waits, in slices, unless the program is ending; false if it is.
  bool Pause(std::int32_t milliseconds) const;
  void JoinFinished();

  const JavaSetup setup_;
  const ServiceSwitches switches_;
  // The connections being served. Owned by the serving thread; the
  // destructor joins them after that thread has ended.
  std::list<std::unique_ptr<Connection>> connections_;
  // Set by the destructor: every connection's thread ends within a slice.
  std::atomic<bool> closing_{false};
};

}  // namespace morvane::gamesim
