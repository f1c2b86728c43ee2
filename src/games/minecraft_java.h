// Minecraft: Java Edition's server list ping. Pure code: the bytes to send,
// and the bytes received so far in, plain values out; the worker owns the
// TCP connection.
//
// The status exchange (servers since 1.7). Integers are VarInts: 7 bits a
// byte, least significant group first, the high bit set on every byte but
// the last, at most 5 bytes for 32 bits. A packet is a VarInt length (of
// what follows), a VarInt packet id and its fields. The client sends, in one
// write:
//   handshake       id 0, VarInt protocol, host name (VarInt length and UTF-8
//                   bytes), uint16 port (big-endian), VarInt next state 1
//   status request  id 0, nothing more
// and the server answers with one packet: id 0, then a VarInt length and the
// status as JSON text (UTF-8). Modded servers may put more after the string,
// inside the packet; only the string's own length counts.
//
// The legacy ping (servers before 1.7): FE 01, then the plugin message that
// 1.6 servers wait for (FA, "MC|PingHost" as UTF-16BE with a uint16 length,
// a uint16 data length, the protocol byte, the host name as UTF-16BE with a
// uint16 length, an int32 port). The server answers with a kick: FF, a
// uint16 big-endian count of UTF-16 code units, then the text as UTF-16BE.
// Since 1.4 the text is "§1", NUL, protocol, NUL, version, NUL, message of
// the day, NUL, online, NUL, maximum; older servers answer
// "motd§online§max", with no version.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace morvane {

// The protocol number sent in the handshake. A status request does not
// depend on it: servers and proxies answer it whatever the number.
inline constexpr std::int32_t kJavaStatusProtocol = 767;
// The longest status packet taken, its framing included; a longer reply is
// no usable answer.
inline constexpr std::size_t kMaxJavaStatusBytes = 256 * 1024;

// What a status reply (or a legacy kick) says. Texts are UTF-8 with the "§x"
// formatting codes removed; counts are full numbers (a network may announce
// a maximum of 200000), a negative or missing one is 0.
struct MinecraftStatus {
  std::string motd;     // the description, flattened to plain text
  std::string version;  // the version's name; empty for servers before 1.4
  std::uint32_t online = 0;
  std::uint32_t max_players = 0;
  // The names of the player sample, in order; empty when the sample is
  // empty or missing.
  std::vector<std::string> sample;
};

// The handshake (next state 1) and the status request, ready for one write.
// host is UTF-8, as the user gave it.
std::vector<std::uint8_t> MakeJavaStatusRequest(std::string_view host, std::uint16_t port);

// The legacy ping: FE 01 and the 1.6 plugin message.
std::vector<std::uint8_t> MakeLegacyPing(std::string_view host, std::uint16_t port);

enum class FrameState {
  kIncomplete,  // the bytes so far are a valid start: read on
  kComplete,    // the reply is whole
  kInvalid,     // no usable answer, whatever follows
};

// The status packet in the bytes received so far. kInvalid for a VarInt
// longer than five bytes, a negative length, a packet id other than 0, a
// string longer than its packet, or a packet longer than
// kMaxJavaStatusBytes; kComplete once the packet is whole, with json the
// string's bytes (a view into received).
struct JavaStatusFrame {
  FrameState state = FrameState::kIncomplete;
  std::string_view json;
};
JavaStatusFrame ReadJavaStatusFrame(std::span<const std::uint8_t> received);

// The status JSON read: nothing for text that is not a JSON object. The
// description may be a string, a chat component (text, then extra in order;
// a translate key where there is no text) or an array of them; version.name,
// players.online, players.max and the names in players.sample.
std::optional<MinecraftStatus> ParseJavaStatusJson(std::string_view json);

// The legacy kick in the bytes received so far: kComplete with the status
// once the whole text has come, kInvalid when the first byte is not FF or
// the text is none of the two forms.
struct LegacyKick {
  FrameState state = FrameState::kIncomplete;
  MinecraftStatus status;
};
LegacyKick ReadLegacyKick(std::span<const std::uint8_t> received);

// Removes every "§" and the one character after it (a "§" at the very end
// goes alone).
std::string StripFormattingCodes(std::string_view utf8);

}  // namespace morvane
