#include "support/udp_responder.h"

#include <future>

#include "common/text.h"
#include "platform/program_support.h"

namespace morvane::test {

Datagram Bytes(std::string_view text) { return Datagram(text.begin(), text.end()); }

std::u16string LoopbackAddress(std::uint16_t port) {
  return AsciiToUtf16("127.0.0.1:" + std::to_string(port));
}

UdpResponder::UdpResponder(Script script, Log log) : script_(std::move(script)), log_(log) {
  socket_ = platform::OpenLoopbackServer(platform::SocketType::kUdp, 0);
  other_ = platform::OpenLoopbackServer(platform::SocketType::kUdp, 0);
  port_ = platform::LocalPort(socket_);
  // The thread runs before the first query can come, so that the time noted
  // for it is not the thread's start (which under Wine can be tens of
  // milliseconds late).
  std::promise<void> running;
  std::future<void> started = running.get_future();
  thread_ = std::thread([this, &running] {
    running.set_value();
    Run();
  });
  started.wait();
}

UdpResponder::~UdpResponder() {
  stop_ = true;
  thread_.join();
  platform::CloseSocket(socket_);
  platform::CloseSocket(other_);
}

std::vector<Datagram> UdpResponder::Queries() const {
  std::lock_guard lock(lock_);
  return queries_;
}

std::vector<std::chrono::steady_clock::time_point> UdpResponder::QueryTimes() const {
  std::lock_guard lock(lock_);
  return times_;
}

void UdpResponder::Run() {
  std::vector<std::uint8_t> buffer(65536);
  while (!stop_) {
    if (platform::WaitReadable(socket_, 20) != platform::WaitResult::kReady) continue;
    platform::SocketAddress from;
    int n = platform::ReceiveFrom(socket_, buffer, from);
    if (n < 0) continue;
    const auto arrived = std::chrono::steady_clock::now();
    Datagram query(buffer.begin(), buffer.begin() + n);
    if (log_ == Log::kQueries) {
      std::lock_guard lock(lock_);
      queries_.push_back(query);
      times_.push_back(arrived);
    }
    Response response = script_(query);
    for (const auto& decoy : response.decoys) platform::SendTo(other_, decoy, from);
    for (const auto& datagram : response.datagrams) {
      if (stop_) break;
      platform::SendTo(response.from_other_port ? other_ : socket_, datagram, from);
      if (response.pause_ms > 0) platform::SleepMilliseconds(response.pause_ms);
    }
  }
}

StreamResponder::StreamResponder(UdpResponder::Script script, std::uint16_t port)
    : script_(std::move(script)) {
  listener_ = platform::OpenLoopbackServer(platform::SocketType::kTcp, port);
  port_ = platform::LocalPort(listener_);
  thread_ = std::thread([this] { Run(); });
}

StreamResponder::~StreamResponder() {
  stop_ = true;
  thread_.join();
  platform::CloseSocket(listener_);
}

std::vector<Datagram> StreamResponder::Queries() const {
  std::lock_guard lock(lock_);
  return queries_;
}

void StreamResponder::Run() {
  while (!stop_) {
    if (platform::WaitReadable(listener_, 20) != platform::WaitResult::kReady) continue;
    const platform::Socket connection = platform::Accept(listener_);
    if (connection == platform::kInvalidSocket) continue;
    Serve(connection);
    platform::CloseSocket(connection);
  }
}

void StreamResponder::Serve(platform::Socket connection) {
  // The client sends its whole request in one write: what the first read
  // gets, within a second, is the query.
  if (platform::WaitReadable(connection, 1000) != platform::WaitResult::kReady) return;
  std::vector<std::uint8_t> buffer(4096);
  const int n = platform::Receive(connection, buffer);
  if (n <= 0) return;
  Datagram query(buffer.begin(), buffer.begin() + n);
  {
    std::lock_guard lock(lock_);
    queries_.push_back(query);
  }
  const Response response = script_(query);
  for (const auto& piece : response.datagrams) {
    if (stop_ || platform::Send(connection, piece) < 0) return;
    if (response.pause_ms > 0) platform::SleepMilliseconds(response.pause_ms);
  }
}

}  // namespace morvane::test
