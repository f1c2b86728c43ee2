// Waiting for one socket to become readable or writable, as Winsock's select
// with a single set does.
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <cerrno>
#include <ctime>

#include <algorithm>
#include <chrono>
#include <thread>
#include <vector>

#include "platform/platform.h"
#include "platform/program_support.h"
#include "platform/posix/socket_handle.h"

namespace morvane::platform {
namespace {

using Clock = std::chrono::steady_clock;

// Polls for the events until one is reported or the deadline passes. Returns
// the reported events, 0 when the time ran out, or -1 on failure.
int PollUntil(int fd, short events, Clock::time_point deadline) {
  for (;;) {
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
    pollfd entry{fd, events, 0};
    const int count = poll(&entry, 1, left.count() > 0 ? static_cast<int>(left.count()) : 0);
    if (count < 0) {
      if (errno == EINTR) continue;
      return -1;
    }
    if (count == 0) return 0;
    // A closed or foreign descriptor is an error for select too (WSAENOTSOCK).
    if ((entry.revents & POLLNVAL) != 0) return -1;
    return entry.revents;
  }
}

bool IsStream(int fd) {
  int kind = 0;
  socklen_t length = sizeof kind;
  return getsockopt(fd, SOL_SOCKET, SO_TYPE, &kind, &length) == 0 && kind == SOCK_STREAM;
}

// Winsock counts a stream socket as writable only once it is connected. Linux
// also reports a refused or reset connection (and a socket that never
// connected) as writable, with POLLERR or POLLHUP; such a socket has no peer.
bool HasPeer(int fd) {
  sockaddr_in peer{};
  socklen_t length = sizeof peer;
  return getpeername(fd, reinterpret_cast<sockaddr*>(&peer), &length) == 0;
}

}  // namespace

WaitResult WaitWritable(Socket socket, std::int32_t milliseconds) {
  const int fd = posix::Descriptor(socket);
  // Winsock's select rejects a negative time-out with WSAEINVAL.
  if (fd < 0 || milliseconds < 0) return WaitResult::kError;
  const auto deadline = Clock::now() + std::chrono::milliseconds(milliseconds);
  const int events = PollUntil(fd, POLLOUT, deadline);
  if (events < 0) return WaitResult::kError;
  if (events == 0) return WaitResult::kTimedOut;
  if (!IsStream(fd) || HasPeer(fd)) return WaitResult::kReady;
  // A refused connection never becomes writable on Windows: the wait runs
  // its full course there and reports a time-out, so this one does too. The
  // socket stays unwritable, so the rest of the time is slept, not polled.
  std::this_thread::sleep_until(deadline);
  return WaitResult::kTimedOut;
}

WaitResult WaitForSocketsMicroseconds(std::span<SocketWait> sockets, std::int64_t microseconds) {
  if (microseconds < 0 || sockets.size() > kMaxSocketWaits) return WaitResult::kError;
  std::vector<pollfd> entries;
  entries.reserve(sockets.size());
  for (SocketWait& wait : sockets) {
    wait.state = SocketState::kWaiting;
    const int fd = posix::Descriptor(wait.socket);
    if (fd < 0) return WaitResult::kError;
    entries.push_back({fd, static_cast<short>(wait.writable ? POLLOUT : POLLIN), 0});
  }
  const auto deadline = Clock::now() + std::chrono::microseconds(microseconds);
  for (;;) {
    const auto left = std::max(Clock::duration::zero(), deadline - Clock::now());
    const auto seconds = std::chrono::floor<std::chrono::seconds>(left);
    const timespec limit{
        static_cast<time_t>(seconds.count()),
        static_cast<long>(
            std::chrono::duration_cast<std::chrono::nanoseconds>(left - seconds).count())};
    const int count = ppoll(entries.data(), entries.size(), &limit, nullptr);
    if (count < 0) {
      if (errno == EINTR) continue;
      return WaitResult::kError;
    }
    if (count == 0) return WaitResult::kTimedOut;
    bool any = false;
    for (std::size_t i = 0; i < entries.size(); ++i) {
      const short events = entries[i].revents;
      if (events == 0) continue;
      if ((events & POLLNVAL) != 0) return WaitResult::kError;
      SocketWait& wait = sockets[i];
      // A refused or reset connection shows here as writable with an error;
      // Winsock never calls it writable, only failed.
      const bool failed = wait.writable && IsStream(entries[i].fd) && !HasPeer(entries[i].fd);
      wait.state = failed ? SocketState::kFailed : SocketState::kReady;
      any = true;
    }
    if (any) return WaitResult::kReady;
  }
}

WaitResult WaitReadable(Socket socket, std::int32_t milliseconds) {
  const int fd = posix::Descriptor(socket);
  if (fd < 0 || milliseconds < 0) return WaitResult::kError;
  const auto deadline = Clock::now() + std::chrono::milliseconds(milliseconds);
  // Data, a pending error and a closed connection all count as readable, as
  // with select: the next receive will not block.
  const int events = PollUntil(fd, POLLIN, deadline);
  if (events < 0) return WaitResult::kError;
  return events == 0 ? WaitResult::kTimedOut : WaitResult::kReady;
}

}  // namespace morvane::platform
