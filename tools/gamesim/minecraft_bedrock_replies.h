// What a Minecraft: Bedrock Edition server answers to RakNet's unconnected
// ping, as pure functions: one datagram in, the pong out. The serving thread
// owns the socket (minecraft_bedrock_server.cpp).
//
// Integers are big-endian. The ping is 0x01 (or 0x02, "open connections
// only"), an int64 time, the 16-byte offline magic and an int64 client id.
// The pong is 0x1C, the ping's time, an int64 server id, the magic, a uint16
// length and that many bytes of UTF-8 text, twelve fields each closed by ";":
//   MCPE;motd;protocol;version;online;max;server id;level name;game mode;
//   game mode number;port v4;port v6;
// Servers in the wild send fewer fields, the last without its ";".
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "wire_writer.h"
#include "world.h"

namespace morvane::gamesim {

inline constexpr std::array<std::uint8_t, 16> kBedrockMagic = {
    0x00, 0xFF, 0xFF, 0x00, 0xFE, 0xFE, 0xFE, 0xFE, 0xFD, 0xFD, 0xFD, 0xFD, 0x12, 0x34, 0x56, 0x78};
inline constexpr std::size_t kBedrockPingSize = 33;
inline constexpr int kBedrockFields = 12;

// The pong's text: every field with its ";", or, given fields, only the
// first that many, with no ";" after the last. port is the server's own
// (IPv4) port; the IPv6 one is -1, as servers that do not listen on IPv6
// state.
std::string BuildBedrockStatusText(const SimMinecraft& server, std::uint16_t port,
                                   std::optional<int> fields = std::nullopt);

Datagram BuildBedrockPong(std::uint64_t time, const SimMinecraft& server, const std::string& text);

// Answers one datagram: a pong for a ping with the magic, nothing for
// anything else (a cut ping, another RakNet message, a GameSpy query).
std::vector<Datagram> AnswerBedrockPing(std::span<const std::uint8_t> bytes,
                                        const SimMinecraft& server, std::uint16_t port,
                                        std::optional<int> fields = std::nullopt);

}  // namespace morvane::gamesim
