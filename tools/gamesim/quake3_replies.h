// What a Quake 3 family server (ioq3's connectionless handler) answers to
// "getstatus" and "getinfo", as pure functions: one query datagram in, the
// reply out. The serving thread owns the socket (quake3_server.cpp).
//
// Both replies are text after FF FF FF FF: a keyword line, then an info
// string of backslash-separated keys and values; a status reply adds one line
// per player: score, ping and the name in double quotes. Texts are 8-bit,
// Windows-1251 here.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "wire_writer.h"
#include "world.h"

namespace morvane::gamesim {

enum class Quake3QueryType { kUnknown, kStatus, kInfo };

struct Quake3Query {
  Quake3QueryType type = Quake3QueryType::kUnknown;
  std::string challenge;  // The command's argument, echoed back; may be empty.
};

// ioq3 ignores a status or info request whose argument is longer than this.
inline constexpr std::size_t kQuake3MaxChallenge = 128;

// The command line is the text after FF FF FF FF up to a newline or NUL; it
// is split into words at blanks and control characters, and a word in double
// quotes may hold blanks. The command is compared without regard to case.
Quake3Query ReadQuake3Query(std::span<const std::uint8_t> bytes);

// Engines of the family that write their status a little differently.
struct Quake3Variant {
  // An info value holding newlines, as ioquake3 1.36 sends fs_manifest, with
  // keys after it.
  bool manifest = false;
  // A team number between each player's ping and name.
  bool teams = false;
};

// "statusResponse", the server's info string (with the challenge last when
// the query had one) and one line per player.
Datagram BuildQuake3Status(const SimServer& server, const std::string& challenge,
                           const Quake3Variant& variant = {});

// "infoResponse" and the short info string a server browser lists, in
// ioq3's order, without a closing newline.
Datagram BuildQuake3Info(const SimServer& server, const std::string& challenge);

std::vector<Datagram> AnswerQuake3Query(std::span<const std::uint8_t> bytes,
                                        const SimServer& server, const Quake3Variant& variant = {});

}  // namespace morvane::gamesim
