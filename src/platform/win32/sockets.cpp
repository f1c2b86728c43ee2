// Sockets on Windows: plain Winsock, which is what the platform contract
// describes, so most functions are one call and an error mapping.
// winsock2.h comes first: the other two build on its declarations. Its sets
// hold 64 sockets unless told otherwise; the worker waits on more at once.
#define FD_SETSIZE 1024
#include <winsock2.h>

#include <mswsock.h>
#include <ws2tcpip.h>

#include <algorithm>
#include <cstring>
#include <limits>
#include <memory>

#include "platform/platform.h"
#include "platform/program_support.h"

namespace morvane::platform {
namespace {

SOCKET ToNative(Socket socket) { return static_cast<SOCKET>(socket); }

sockaddr_in ToNative(const SocketAddress& address) {
  sockaddr_in native{};
  native.sin_family = address.family;
  native.sin_port = address.port_be;
  native.sin_addr.s_addr = address.address_be;
  return native;
}

SocketAddress FromNative(const sockaddr_in& native) {
  SocketAddress address;
  address.family = native.sin_family;
  address.port_be = native.sin_port;
  address.address_be = native.sin_addr.s_addr;
  return address;
}

// A UDP socket on Windows remembers an ICMP "port unreachable" caused by an
// earlier datagram and fails the next recvfrom with WSAECONNRESET, even when
// that receive waits for a reply from a different server. A Linux socket that
// is not connected never reports such errors. Switching the behaviour off makes
// both builds alike: a dead server is noticed by the receive time-out alone,
// and one dead server cannot spoil the next query on the same socket. Wine may
// not know the control code; a failure here changes nothing else.
void IgnoreUdpConnectionResets(SOCKET socket) {
  BOOL report = FALSE;
  DWORD returned = 0;
  WSAIoctl(socket, SIO_UDP_CONNRESET, &report, sizeof report, nullptr, 0, &returned, nullptr,
           nullptr);
}

bool SetTimeoutOption(Socket socket, int option, std::int32_t milliseconds) {
  // Winsock takes a DWORD of milliseconds, so a negative value is a very long
  // wait rather than an error.
  const DWORD value = static_cast<DWORD>(milliseconds);
  return setsockopt(ToNative(socket), SOL_SOCKET, option, reinterpret_cast<const char*>(&value),
                    sizeof value) == 0;
}

WaitResult WaitForSet(Socket socket, std::int32_t milliseconds, bool for_write) {
  if (milliseconds < 0) {
    return WaitResult::kError;
  }
  fd_set set;
  FD_ZERO(&set);
  FD_SET(ToNative(socket), &set);
  timeval limit{milliseconds / 1000, (milliseconds % 1000) * 1000};
  // The first argument is ignored by Winsock; only the one set is watched, so
  // a refused connection (reported in the exception set) is never "ready".
  const int result = for_write ? select(0, nullptr, &set, nullptr, &limit)
                               : select(0, &set, nullptr, nullptr, &limit);
  if (result == SOCKET_ERROR) {
    return WaitResult::kError;
  }
  return result == 0 ? WaitResult::kTimedOut : WaitResult::kReady;
}

}  // namespace

std::uint16_t HostToNetwork16(std::uint16_t value) { return htons(value); }
std::uint16_t NetworkToHost16(std::uint16_t value) { return ntohs(value); }

std::uint32_t ParseIpv4(std::string_view dotted) {
  // inet_addr reads a C string: text with a NUL inside is not an address.
  if (dotted.find('\0') != std::string_view::npos) {
    return INADDR_NONE;
  }
  const std::string text(dotted);
  return inet_addr(text.c_str());
}

std::string FormatIpv4(std::uint32_t address_be) {
  in_addr address;
  address.s_addr = address_be;
  // inet_ntoa's buffer belongs to the calling thread, so copying it at once is
  // safe with the worker running.
  const char* text = inet_ntoa(address);
  return text != nullptr ? std::string(text) : std::string();
}

std::string ResolveHostIpv4(std::u16string_view host) {
  // An empty host is unresolvable on both builds, although GetAddrInfoW
  // answers it with the local host's address.
  if (host.empty() || host.find(u'\0') != std::u16string_view::npos) {
    return {};
  }
  if (const auto dotted = DottedIpv4(host)) {
    return FormatIpv4(*dotted);
  }
  // The lookup keeps the socket library started while it runs: a stop may
  // release the plug-in's own reference meanwhile.
  WSADATA data;
  if (WSAStartup(MAKEWORD(2, 2), &data) != 0) {
    return {};
  }
  // The name as typed, in UTF-16; the resolver decides what it makes of it.
  const std::wstring name(host.begin(), host.end());
  ADDRINFOW hints{};
  hints.ai_family = AF_INET;
  ADDRINFOW* found = nullptr;
  std::string address;
  if (GetAddrInfoW(name.c_str(), nullptr, &hints, &found) == 0 && found != nullptr) {
    for (const ADDRINFOW* entry = found; entry != nullptr; entry = entry->ai_next) {
      if (entry->ai_family != AF_INET || entry->ai_addr == nullptr ||
          entry->ai_addrlen < sizeof(sockaddr_in)) {
        continue;
      }
      sockaddr_in first;
      std::memcpy(&first, entry->ai_addr, sizeof first);
      address = FormatIpv4(first.sin_addr.s_addr);
      break;
    }
    FreeAddrInfoW(found);
  }
  WSACleanup();
  return address;
}

Socket OpenSocket(SocketType type) {
  const bool udp = type == SocketType::kUdp;
  const SOCKET socket =
      ::socket(AF_INET, udp ? SOCK_DGRAM : SOCK_STREAM, udp ? IPPROTO_UDP : IPPROTO_TCP);
  if (socket == INVALID_SOCKET) {
    return kInvalidSocket;
  }
  if (udp) {
    IgnoreUdpConnectionResets(socket);
  }
  return static_cast<Socket>(socket);
}

void CloseSocket(Socket socket) {
  if (socket != kInvalidSocket) {
    closesocket(ToNative(socket));
  }
}

bool SetReceiveTimeout(Socket socket, std::int32_t milliseconds) {
  return SetTimeoutOption(socket, SO_RCVTIMEO, milliseconds);
}

bool SetSendTimeout(Socket socket, std::int32_t milliseconds) {
  return SetTimeoutOption(socket, SO_SNDTIMEO, milliseconds);
}

int SendTo(Socket socket, std::span<const std::uint8_t> bytes, const SocketAddress& to) {
  if (bytes.size() > static_cast<std::size_t>(std::numeric_limits<int>::max())) {
    return -1;
  }
  const sockaddr_in native = ToNative(to);
  const int sent = sendto(ToNative(socket), reinterpret_cast<const char*>(bytes.data()),
                          static_cast<int>(bytes.size()), 0,
                          reinterpret_cast<const sockaddr*>(&native), sizeof native);
  return sent == SOCKET_ERROR ? -1 : sent;
}

int ReceiveFrom(Socket socket, std::span<std::uint8_t> buffer, SocketAddress& from) {
  const int capacity = static_cast<int>(std::min<std::size_t>(
      buffer.size(), static_cast<std::size_t>(std::numeric_limits<int>::max())));
  sockaddr_in native{};
  int native_length = sizeof native;
  // Every failure is -1: the time-out (WSAETIMEDOUT), a datagram larger than
  // the buffer (WSAEMSGSIZE, the datagram is then lost) and a connection reset.
  const int received = recvfrom(ToNative(socket), reinterpret_cast<char*>(buffer.data()), capacity,
                                0, reinterpret_cast<sockaddr*>(&native), &native_length);
  if (received == SOCKET_ERROR) {
    return -1;
  }
  from = FromNative(native);
  return received;
}

int Send(Socket socket, std::span<const std::uint8_t> bytes) {
  const int length = static_cast<int>(std::min<std::size_t>(
      bytes.size(), static_cast<std::size_t>(std::numeric_limits<int>::max())));
  const int sent = send(ToNative(socket), reinterpret_cast<const char*>(bytes.data()), length, 0);
  return sent == SOCKET_ERROR ? -1 : sent;
}

int Receive(Socket socket, std::span<std::uint8_t> buffer) {
  const int capacity = static_cast<int>(std::min<std::size_t>(
      buffer.size(), static_cast<std::size_t>(std::numeric_limits<int>::max())));
  const int received = recv(ToNative(socket), reinterpret_cast<char*>(buffer.data()), capacity, 0);
  return received == SOCKET_ERROR ? -1 : received;
}

int BytesWaiting(Socket socket) {
  u_long waiting = 0;
  if (ioctlsocket(ToNative(socket), FIONREAD, &waiting) == SOCKET_ERROR) {
    return -1;
  }
  return static_cast<int>(
      std::min<u_long>(waiting, static_cast<u_long>(std::numeric_limits<int>::max())));
}

bool SetNonBlocking(Socket socket) {
  u_long on = 1;
  return ioctlsocket(ToNative(socket), FIONBIO, &on) == 0;
}

ConnectResult Connect(Socket socket, const SocketAddress& to) {
  const sockaddr_in native = ToNative(to);
  if (connect(ToNative(socket), reinterpret_cast<const sockaddr*>(&native), sizeof native) == 0) {
    return ConnectResult::kConnected;
  }
  return WSAGetLastError() == WSAEWOULDBLOCK ? ConnectResult::kWouldBlock : ConnectResult::kFailed;
}

WaitResult WaitForSocketsMicroseconds(std::span<SocketWait> sockets, std::int64_t microseconds) {
  static_assert(FD_SETSIZE >= kMaxSocketWaits);
  if (microseconds < 0 || sockets.size() > kMaxSocketWaits) {
    return WaitResult::kError;
  }
  if (sockets.empty()) {
    // Winsock's select refuses three empty sets; nothing to wait for is a
    // sleep, of whole milliseconds.
    Sleep(static_cast<DWORD>((microseconds + 999) / 1000));
    return WaitResult::kTimedOut;
  }
  // Sets of this size do not belong on the stack of a thread the host made.
  struct Sets {
    fd_set read;
    fd_set write;
    fd_set failed;
  };
  auto sets = std::make_unique<Sets>();
  FD_ZERO(&sets->read);
  FD_ZERO(&sets->write);
  FD_ZERO(&sets->failed);
  for (SocketWait& wait : sockets) {
    wait.state = SocketState::kWaiting;
    if (wait.writable) {
      // A connection that fails is reported in the exception set only.
      FD_SET(ToNative(wait.socket), &sets->write);
      FD_SET(ToNative(wait.socket), &sets->failed);
    } else {
      FD_SET(ToNative(wait.socket), &sets->read);
    }
  }
  timeval limit{static_cast<long>(microseconds / 1000000),
                static_cast<long>(microseconds % 1000000)};
  const int result = select(0, &sets->read, &sets->write, &sets->failed, &limit);
  if (result == SOCKET_ERROR) {
    return WaitResult::kError;
  }
  if (result == 0) {
    return WaitResult::kTimedOut;
  }
  for (SocketWait& wait : sockets) {
    const SOCKET native = ToNative(wait.socket);
    if (wait.writable && FD_ISSET(native, &sets->failed)) {
      wait.state = SocketState::kFailed;
    } else if (FD_ISSET(native, wait.writable ? &sets->write : &sets->read)) {
      wait.state = SocketState::kReady;
    }
  }
  return WaitResult::kReady;
}

WaitResult WaitWritable(Socket socket, std::int32_t milliseconds) {
  return WaitForSet(socket, milliseconds, true);
}

WaitResult WaitReadable(Socket socket, std::int32_t milliseconds) {
  return WaitForSet(socket, milliseconds, false);
}

Socket OpenLoopbackServer(SocketType type, std::uint16_t port) {
  const Socket socket = OpenSocket(type);
  if (socket == kInvalidSocket) {
    return kInvalidSocket;
  }
  // No SO_REUSEADDR: on Windows it would let a second socket take a port that
  // is already bound, where Linux refuses.
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(port);
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  const bool bound =
      bind(ToNative(socket), reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
  const bool listening =
      bound && (type == SocketType::kUdp || listen(ToNative(socket), SOMAXCONN) == 0);
  if (!listening) {
    CloseSocket(socket);
    return kInvalidSocket;
  }
  return socket;
}

std::uint16_t LocalPort(Socket socket) {
  sockaddr_in address{};
  int length = sizeof address;
  if (getsockname(ToNative(socket), reinterpret_cast<sockaddr*>(&address), &length) != 0 ||
      address.sin_family != AF_INET) {
    return 0;
  }
  return ntohs(address.sin_port);
}

Socket Accept(Socket listener) {
  const SOCKET accepted = accept(ToNative(listener), nullptr, nullptr);
  return accepted == INVALID_SOCKET ? kInvalidSocket : static_cast<Socket>(accepted);
}

bool StartSocketLibrary() {
  WSADATA data;
  if (WSAStartup(MAKEWORD(2, 2), &data) != 0) {
    return false;
  }
  if (data.wVersion != MAKEWORD(2, 2)) {
    WSACleanup();
    return false;
  }
  return true;
}

void StopSocketLibrary() { WSACleanup(); }

}  // namespace morvane::platform
