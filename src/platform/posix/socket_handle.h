// Helpers shared by the POSIX socket files: the interface's Socket is an
// intptr_t so that it can hold a Winsock SOCKET; here it holds a descriptor.
#pragma once

#include <climits>
#include <cstring>

#include <netinet/in.h>

#include "platform/platform.h"

namespace morvane::platform::posix {

// The descriptor inside a Socket, or -1 for a value no descriptor can have,
// so that the call fails with EBADF as Winsock fails with WSAENOTSOCK.
inline int Descriptor(Socket socket) {
  if (socket < 0 || socket > INT_MAX) return -1;
  return static_cast<int>(socket);
}

inline sockaddr_in ToSockaddr(const SocketAddress& address) {
  sockaddr_in out{};
  out.sin_family = address.family;
  out.sin_port = address.port_be;
  out.sin_addr.s_addr = address.address_be;
  return out;
}

inline SocketAddress FromSockaddr(const sockaddr_in& address) {
  SocketAddress out;
  out.family = address.sin_family;
  out.port_be = address.sin_port;
  out.address_be = address.sin_addr.s_addr;
  return out;
}

}  // namespace morvane::platform::posix
