// The SA-MP query: the datagrams the worker sends and the parsers of the
// replies. Pure code: one received datagram in, plain values out; the worker
// owns the socket.
//
// Numbers are little-endian; texts are length-prefixed 8-bit bytes, returned
// as the server sent them. A request is "SAMP", 4 address bytes, 2 port bytes
// and an opcode; a reply repeats those 11 bytes, then:
//   'i' information  password byte, uint16 players, uint16 max players, and
//                    the host name, the game mode and the language (or the
//                    map), each an int32 length and its bytes
//   'd' players      uint16 count, then per player: id byte, name length
//                    byte, name, int32 score, int32 ping
//   'c' client list  uint16 count, then per player: name length byte, name,
//                    int32 score
// There is no challenge.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace morvane {

// "SAMP", "!!!!" and two zero bytes where other clients put the target's
// address and port (servers do not check them), then the opcode.
inline constexpr std::array<std::uint8_t, 11> kSampInfoRequest = {'S', 'A', 'M',  'P',  '!', '!',
                                                                  '!', '!', 0x00, 0x00, 'i'};
inline constexpr std::array<std::uint8_t, 11> kSampPlayerRequest = {'S', 'A', 'M',  'P',  '!', '!',
                                                                    '!', '!', 0x00, 0x00, 'd'};
// The client list: names and scores only. open.mp, which most SA-MP
// communities run now, answers it but never the detailed player request.
inline constexpr std::array<std::uint8_t, 11> kSampClientsRequest = {'S', 'A', 'M',  'P',  '!', '!',
                                                                     '!', '!', 0x00, 0x00, 'c'};

inline constexpr char kSampInfoOpcode = 'i';
inline constexpr char kSampPlayerOpcode = 'd';
inline constexpr char kSampClientsOpcode = 'c';

// A reply repeats the request's opcode in byte 10; nothing else is checked.
bool IsSampReply(std::span<const std::uint8_t> reply, char opcode);

struct SampInfo {
  bool password = false;  // Any non-zero password byte.
  std::uint16_t players = 0;
  std::uint16_t max_players = 0;
  std::string host_name;
  std::string game_mode;
  std::string third;  // The language or map text, shown as the map.
};

// An information reply. A text whose length does not fit the datagram keeps
// the bytes that are there (a negative length reads as 0); what follows it
// reads as empty or 0.
SampInfo ParseSampInfo(std::span<const std::uint8_t> reply);

struct SampPlayer {
  std::string name;
  std::int32_t score = 0;
  std::int32_t ping = 0;  // 0 in a client list, which has none
};

struct SampPlayers {
  std::uint16_t count = 0;  // As the server reports it, even when fewer records follow.
  std::vector<SampPlayer> players;
};

// A detailed player reply: at most count records, ending at the end of the
// datagram. A record cut off by the end is dropped.
SampPlayers ParseSampPlayers(std::span<const std::uint8_t> reply);

// A client list reply ('c'): per player a one-byte name length, the name and
// a 32-bit score; the same bounds.
SampPlayers ParseSampClients(std::span<const std::uint8_t> reply);

}  // namespace morvane
