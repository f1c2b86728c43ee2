// Sockets with Winsock semantics on top of the BSD calls.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>
#include <algorithm>
#include <cerrno>
#include <cstdint>

#include "platform/platform.h"
#include "platform/program_support.h"
#include "platform/posix/socket_handle.h"

namespace morvane::platform {
namespace {

using posix::Descriptor;

bool SetTimeout(Socket socket, int option, std::int32_t milliseconds) {
  // Winsock takes the time-out as a DWORD, so a negative value is a wait of
  // about 49 days; 0 means no limit, as a zero timeval does here.
  const auto unsigned_ms = static_cast<std::uint32_t>(milliseconds);
  timeval value{};
  value.tv_sec = static_cast<time_t>(unsigned_ms / 1000);
  value.tv_usec = static_cast<suseconds_t>((unsigned_ms % 1000) * 1000);
  return setsockopt(Descriptor(socket), SOL_SOCKET, option, &value, sizeof value) == 0;
}

int SocketKind(int fd) {
  int kind = 0;
  socklen_t length = sizeof kind;
  if (getsockopt(fd, SOL_SOCKET, SO_TYPE, &kind, &length) != 0) return -1;
  return kind;
}

}  // namespace

bool StartSocketLibrary() { return true; }

void StopSocketLibrary() {}

Socket OpenSocket(SocketType type) {
  const int kind = type == SocketType::kUdp ? SOCK_DGRAM : SOCK_STREAM;
  const int protocol = type == SocketType::kUdp ? IPPROTO_UDP : IPPROTO_TCP;
  // Close-on-exec, as Winsock handles are not inherited by default either.
  const int fd = socket(AF_INET, kind | SOCK_CLOEXEC, protocol);
  return fd < 0 ? kInvalidSocket : fd;
}

void CloseSocket(Socket socket) {
  const int fd = Descriptor(socket);
  if (fd >= 0) close(fd);
}

bool SetReceiveTimeout(Socket socket, std::int32_t milliseconds) {
  return SetTimeout(socket, SO_RCVTIMEO, milliseconds);
}

bool SetSendTimeout(Socket socket, std::int32_t milliseconds) {
  return SetTimeout(socket, SO_SNDTIMEO, milliseconds);
}

int SendTo(Socket socket, std::span<const std::uint8_t> bytes, const SocketAddress& to) {
  const sockaddr_in address = posix::ToSockaddr(to);
  for (;;) {
    // Winsock raises no signal for a closed connection; MSG_NOSIGNAL keeps
    // SIGPIPE from ending the host process.
    const ssize_t sent = sendto(Descriptor(socket), bytes.data(), bytes.size(), MSG_NOSIGNAL,
                                reinterpret_cast<const sockaddr*>(&address), sizeof address);
    if (sent >= 0) return static_cast<int>(sent);
    if (errno != EINTR) return -1;
  }
}

int ReceiveFrom(Socket socket, std::span<std::uint8_t> buffer, SocketAddress& from) {
  const int fd = Descriptor(socket);
  // For a datagram MSG_TRUNC makes recvfrom return the datagram's real length,
  // so that one larger than the buffer fails as WSAEMSGSIZE does (its rest is
  // dropped either way). On a stream socket MSG_TRUNC would discard data.
  const int flags = SocketKind(fd) == SOCK_DGRAM ? MSG_TRUNC : 0;
  sockaddr_in address{};
  for (;;) {
    socklen_t length = sizeof address;
    const ssize_t received = recvfrom(fd, buffer.data(), buffer.size(), flags,
                                      reinterpret_cast<sockaddr*>(&address), &length);
    if (received < 0) {
      if (errno == EINTR) continue;
      // A receive time-out (EAGAIN) fails like any other receive error.
      return -1;
    }
    if (static_cast<std::size_t>(received) > buffer.size()) return -1;
    if (length >= sizeof(sockaddr_in) && address.sin_family == AF_INET) {
      from = posix::FromSockaddr(address);
    }
    return static_cast<int>(received);
  }
}

int Send(Socket socket, std::span<const std::uint8_t> bytes) {
  for (;;) {
    const ssize_t sent = send(Descriptor(socket), bytes.data(), bytes.size(), MSG_NOSIGNAL);
    if (sent >= 0) return static_cast<int>(std::min<ssize_t>(sent, INT32_MAX));
    if (errno != EINTR) return -1;
  }
}

int Receive(Socket socket, std::span<std::uint8_t> buffer) {
  const std::size_t capacity = std::min<std::size_t>(buffer.size(), INT32_MAX);
  for (;;) {
    const ssize_t received = recv(Descriptor(socket), buffer.data(), capacity, 0);
    if (received >= 0) return static_cast<int>(received);
    if (errno != EINTR) return -1;
  }
}

int BytesWaiting(Socket socket) {
  // For a datagram socket Linux reports the size of the next datagram, as
  // the contract asks.
  int waiting = 0;
  if (ioctl(Descriptor(socket), FIONREAD, &waiting) != 0) return -1;
  return waiting;
}

bool SetNonBlocking(Socket socket) {
  int on = 1;
  return ioctl(Descriptor(socket), FIONBIO, &on) == 0;
}

ConnectResult Connect(Socket socket, const SocketAddress& to) {
  const sockaddr_in address = posix::ToSockaddr(to);
  if (connect(Descriptor(socket), reinterpret_cast<const sockaddr*>(&address), sizeof address) ==
      0) {
    return ConnectResult::kConnected;
  }
  // EINPROGRESS is Winsock's WSAEWOULDBLOCK for a non-blocking connect. An
  // interrupted connect goes on in the background, which is the same state.
  if (errno == EINPROGRESS || errno == EINTR) return ConnectResult::kWouldBlock;
  return ConnectResult::kFailed;
}

Socket OpenLoopbackServer(SocketType type, std::uint16_t port) {
  const Socket server = OpenSocket(type);
  if (server == kInvalidSocket) return kInvalidSocket;
  const int fd = Descriptor(server);
  if (type == SocketType::kTcp) {
    // A test or simulator restarted on the same port must not wait for the
    // old connections' TIME_WAIT to end.
    int on = 1;
    setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
  }
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(port);
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  const bool ready = bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0 &&
                     (type == SocketType::kUdp || listen(fd, SOMAXCONN) == 0);
  if (!ready) {
    CloseSocket(server);
    return kInvalidSocket;
  }
  return server;
}

std::uint16_t LocalPort(Socket socket) {
  sockaddr_in address{};
  socklen_t length = sizeof address;
  if (getsockname(Descriptor(socket), reinterpret_cast<sockaddr*>(&address), &length) != 0 ||
      address.sin_family != AF_INET) {
    return 0;
  }
  return ntohs(address.sin_port);
}

Socket Accept(Socket listener) {
  for (;;) {
    const int fd = accept4(Descriptor(listener), nullptr, nullptr, SOCK_CLOEXEC);
    if (fd >= 0) return fd;
    if (errno != EINTR) return kInvalidSocket;
  }
}

}  // namespace morvane::platform
