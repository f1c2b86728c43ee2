// Byte order, dotted addresses and name resolution.
#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <cstring>
#include <memory>

#include "common/text.h"
#include "platform/platform.h"
#include "platform/program_support.h"

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

std::string ResolveHostIpv4(std::u16string_view host) {
  if (host.empty() || host.find(u'\0') != std::u16string_view::npos) return {};
  if (const auto dotted = DottedIpv4(host)) return FormatIpv4(*dotted);
  // The name as typed, in UTF-8; the resolver decides what it makes of it.
  const std::string name = Utf16ToUtf8(host);
  addrinfo hints{};
  hints.ai_family = AF_INET;
  addrinfo* found = nullptr;
  if (getaddrinfo(name.c_str(), nullptr, &hints, &found) != 0 || found == nullptr) return {};
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
