// What a simulated FiveM or RedM server says: the infoResponse to a getinfo
// (the challenge echoed up to its first blank, newline or NUL), and the HTTP
// replies of its web endpoints (/players.json, /info.json, /dynamic.json;
// 404 for any other path) as the switches shape them. Pure code, for the
// server and its tests.
#pragma once

#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "service_switches.h"
#include "wire_writer.h"
#include "world.h"

namespace morvane::gamesim {

// The reply to FF FF FF FF "getinfo" and its challenge; none for anything
// else.
std::vector<Datagram> AnswerFivemGetinfo(std::span<const std::uint8_t> query,
                                         const SimServer& server);

// The HTTP reply to a request (its head, as received) on the server's TCP
// port: the status, the headers and the body, chunked or ended by the close
// as the switches say; an --endless reply stops short of its body's end.
std::string AnswerFivemHttp(std::string_view request, const SimServer& server,
                            const ServiceSwitches& switches);

// The bytes of an HTTP request head once its empty line has come; a head of
// more than this many bytes is not waited for.
inline constexpr std::size_t kMaxFivemRequestBytes = 8192;

}  // namespace morvane::gamesim
