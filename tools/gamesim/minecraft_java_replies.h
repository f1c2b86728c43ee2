// What a Minecraft: Java Edition server answers on its TCP port, as pure
// functions: the bytes received so far in, the bytes to send out. The
// connection's thread owns the socket (minecraft_java_server.cpp).
//
// The status exchange (servers since 1.7). A packet is a VarInt length of
// what follows, a VarInt packet id and its fields. The client sends the
// handshake (id 0: VarInt protocol, the host as a VarInt-long UTF-8 string,
// uint16 big-endian port, VarInt next state 1), then the status request
// (id 0, nothing more), often in one write. The server answers with id 0 and
// the status as a VarInt-long JSON string. The client may then send a ping
// (id 1, 8 bytes); the server sends the packet back and closes.
//
// The legacy ping (clients before 1.7, and tools that want any server to
// answer): FE, then 01 since 1.4, then since 1.6 a plugin message (FA,
// "MC|PingHost" as UTF-16BE after a uint16 count of code units, a uint16
// length and that many bytes). The server answers with a kick and closes:
// FF, a uint16 big-endian count of UTF-16 code units and the text as
// UTF-16BE: "§1", NUL, protocol, NUL, version, NUL, message of the day, NUL,
// online, NUL, maximum for a ping with 01; "motd§online§max" for a bare FE
// and from every server before 1.4. A 1.7 or later server tells the two
// apart by the first byte, which no status handshake starts with (it is a
// packet length); it states protocol 127 in the kick.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "service_switches.h"
#include "wire_writer.h"
#include "world.h"

namespace morvane::gamesim {

// How the status JSON looks beyond the world's values.
struct JavaStatusLook {
  // The description as a chat component whose parts carry the colours, the
  // other formatting codes left in their text and written as \u00a7, as
  // Bukkit-derived servers send them; otherwise the message as one string.
  bool chat_description = false;
  int favicon_kb = 0;  // the favicon's data URL this many KiB long; 0: none
};

// The chat component of a message of the day: each run after a colour code
// becomes an extra part with that colour; the text before the first one is
// the component's own. Its parts' texts put together are the message
// without its colour codes.
std::string BuildChatComponentJson(const std::string& motd);

// {"version":{"name","protocol"},"players":{"max","online","sample"},
//  "description", "favicon", "enforcesSecureChat"}; every text UTF-8.
std::string BuildJavaStatusJson(const SimMinecraft& server, const JavaStatusLook& look);

// The status response packet: VarInt length, id 0, VarInt string length,
// the JSON.
Datagram BuildJavaStatusPacket(const std::string& json);

enum class LegacyForm {
  kVersioned,  // "§1\0protocol\0version\0motd\0online\0max", since 1.4
  kOld,        // "motd§online§max", before 1.4
};

// The kick. protocol is the number the text states in the versioned form.
// A text longer than its 16-bit count can state is cut.
Datagram BuildLegacyKick(const SimMinecraft& server, LegacyForm form, std::int32_t protocol);


struct JavaSetup {
  SimMinecraft server{};
  JavaEra era = JavaEra::kModern;
  JavaStatusLook look{};
};

// Where a connection's status exchange stands.
enum class JavaPhase {
  kHandshake,  // nothing read yet
  kStatus,     // handshake with next state 1 read: a status request or a ping may come
  kAnswered,   // the status was sent: only a ping may come
};

// What to do with the bytes received so far. Nothing consumed and no close:
// wait for more bytes. Otherwise drop the consumed bytes, send the reply
// (if any) and, when close is set, close the connection after it.
struct JavaStep {
  std::size_t consumed = 0;
  Datagram reply;
  bool close = false;
};

// The most bytes one request may take: a handshake with the longest host
// name vanilla takes (255 characters) fits with room to spare.
inline constexpr std::size_t kMaxJavaRequestBytes = 2048;

// The next step of the exchange for the bytes received since the last
// consumed ones. quiet: nothing has come for a while, so a legacy ping
// without its later parts is answered as it stands. A handshake asking for
// anything but the status (next state 2, log-in), a malformed or oversized
// packet, a second status request and anything a server before 1.7 does
// not know end the connection without a reply.
JavaStep StepJavaExchange(std::span<const std::uint8_t> received, JavaPhase& phase, bool quiet,
                          const JavaSetup& setup);

}  // namespace morvane::gamesim
