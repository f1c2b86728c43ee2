// A scriptable UDP server on 127.0.0.1 for tests: for every datagram it
// receives it asks the test what to send back, and from which socket. Its
// TCP sibling does the same for each connection's first read.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <mutex>
#include <span>
#include <thread>
#include <vector>

#include "platform/platform.h"

namespace morvane::test {

using Datagram = std::vector<std::uint8_t>;
Datagram Bytes(std::string_view text);

struct Response {
  std::vector<Datagram> datagrams;
  bool from_other_port = false;    // sent from a second socket of the responder
  std::int32_t pause_ms = 0;       // between two datagrams: a stream
  std::vector<Datagram> decoys{};  // sent first, from a second socket (another port)
};

class UdpResponder {
 public:
  using Script = std::function<Response(const Datagram& query)>;
  enum class Log { kQueries, kNothing };
  // kNothing keeps no log of the queries, for runs long enough that the log
  // would show in the process's resident size.
  explicit UdpResponder(Script script, Log log = Log::kQueries);
  ~UdpResponder();

  std::uint16_t Port() const { return port_; }
  // Every datagram received so far, and when each came.
  std::vector<Datagram> Queries() const;
  std::vector<std::chrono::steady_clock::time_point> QueryTimes() const;

 private:
  void Run();

  Script script_;
  Log log_;
  platform::Socket socket_ = platform::kInvalidSocket;
  platform::Socket other_ = platform::kInvalidSocket;
  std::uint16_t port_ = 0;
  std::atomic<bool> stop_{false};
  mutable std::mutex lock_;
  std::vector<Datagram> queries_;
  std::vector<std::chrono::steady_clock::time_point> times_;
  std::thread thread_;
};

// A TCP server on 127.0.0.1 that serves one connection at a time: it reads
// the client's first write as the query, sends the response's datagrams as
// separate writes (pause_ms apart: the client reads them in pieces) and
// closes the connection. A response without datagrams closes it at once.
// Given a port, it listens on that one (a UDP responder's, for servers that
// answer on both).
class StreamResponder {
 public:
  explicit StreamResponder(UdpResponder::Script script, std::uint16_t port = 0);
  ~StreamResponder();

  std::uint16_t Port() const { return port_; }
  std::vector<Datagram> Queries() const;

 private:
  void Run();
  void Serve(platform::Socket connection);

  UdpResponder::Script script_;
  platform::Socket listener_ = platform::kInvalidSocket;
  std::uint16_t port_ = 0;
  std::atomic<bool> stop_{false};
  mutable std::mutex lock_;
  std::vector<Datagram> queries_;
  std::thread thread_;
};

// "127.0.0.1:<port>"
std::u16string LoopbackAddress(std::uint16_t port);

}  // namespace morvane::test
