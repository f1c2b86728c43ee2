// Byte order, dotted addresses and name resolution.
#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <cstring>
#include <memory>

#include "platform/platform.h"

namespace morvane::platform {

std::uint16_t HostToNetwork16(std::uint16_t value) { return htons(value); }

std::uint16_t NetworkToHost16(std::uint16_t value) { return ntohs(value); }

std::uint32_t ParseIpv4(std::string_view dotted) {
  // inet_addr reads a C string; text with a NUL inside would be cut short and
  // its head taken for the whole, so it is no address at all.
  if (dotted.find('\0') != std::string_view::npos) return INADDR_NONE;
  return inet_addr(std::string(dotted).c_str());
}

std::string FormatIpv4(std::uint32_t address_be) {
  // inet_ntop rather than inet_ntoa: the latter returns a static buffer that
  // another thread may overwrite.
  in_addr address{};
  address.s_addr = address_be;
  char text[INET_ADDRSTRLEN] = {};
  if (inet_ntop(AF_INET, &address, text, sizeof text) == nullptr) return {};
  return text;
}

std::string ResolveHostIpv4(const std::string& host) {
  if (host.empty() || host.find('\0') != std::string::npos) return {};
  // A dotted address (in any form inet_addr reads) resolves to itself without
  // asking the resolver. 255.255.255.255 reads as INADDR_NONE and goes on to
  // the resolver, which gives it back as well.
  const std::uint32_t dotted = inet_addr(host.c_str());
  if (dotted != INADDR_NONE) return FormatIpv4(dotted);

  addrinfo hints{};
  hints.ai_family = AF_INET;
  addrinfo* found = nullptr;
  if (getaddrinfo(host.c_str(), nullptr, &hints, &found) != 0 || found == nullptr) return {};
  std::unique_ptr<addrinfo, decltype(&freeaddrinfo)> owner(found, &freeaddrinfo);
  for (const addrinfo* entry = found; entry != nullptr; entry = entry->ai_next) {
    if (entry->ai_family != AF_INET || entry->ai_addr == nullptr ||
        entry->ai_addrlen < sizeof(sockaddr_in)) {
      continue;
    }
    sockaddr_in address{};
    std::memcpy(&address, entry->ai_addr, sizeof address);
    return FormatIpv4(address.sin_addr.s_addr);
  }
  return {};
}

}  // namespace morvane::platform
