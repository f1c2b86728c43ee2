// Minecraft: Bedrock Edition's unconnected ping (RakNet), over UDP. Pure
// code: the datagram to send, and a received datagram in, plain values out.
//
// Integers are big-endian. The ping is 0x01, an int64 time, the 16-byte
// offline magic 00 FF FF 00 FE FE FE FE FD FD FD FD 12 34 56 78 and an int64
// client id. The pong is 0x1C, the ping's int64 time, an int64 server id, the
// magic, a uint16 length and that many bytes of UTF-8 text:
//   edition;motd;protocol;version;online;maximum;server id;level name;
//   game mode;game mode number;port v4;port v6;
// (edition MCPE or MCEE). Later fields may be missing or empty, and the last
// ";" may be missing.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace morvane {

inline constexpr std::array<std::uint8_t, 16> kRakNetOfflineMagic = {
    0x00, 0xFF, 0xFF, 0x00, 0xFE, 0xFE, 0xFE, 0xFE, 0xFD, 0xFD, 0xFD, 0xFD, 0x12, 0x34, 0x56, 0x78};

std::array<std::uint8_t, 33> MakeBedrockPing(std::int64_t time, std::uint64_t client_id);

// Texts are UTF-8 with the "§x" codes removed; a missing or unreadable field
// is empty or 0.
struct BedrockPong {
  std::string edition;
  std::string motd;
  std::string version;
  std::string level_name;
  std::uint32_t online = 0;
  std::uint32_t max_players = 0;
};

// The pong, when the datagram is one whose time is the ping's and whose
// magic matches; nothing otherwise (a cut pong included).
std::optional<BedrockPong> ParseBedrockPong(std::span<const std::uint8_t> datagram,
                                            std::int64_t ping_time);

}  // namespace morvane
