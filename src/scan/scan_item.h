// One scan request: what a producer on the host's thread asks the worker to
// do. Every text is the request's own copy, so a settings reload never
// changes a request once it is made.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace morvane {

// The request's payload: everything the worker reads. The worker serves a
// copy of it, made in one assignment.
struct ScanRequest {
  std::u16string Addr;         // one or more addresses, separated by ","
  std::u16string ChOrUser;     // where the reply goes
  std::u16string OutTitle;     // put before the whole reply
  std::u16string Format;       // summary, player line or TCP online template
  std::u16string PlTitle;      // player-list header template
  std::u16string OffFormat;    // offline template
  std::u16string Delimiter;    // between the texts of the addresses
  std::u16string PlDelimiter;  // between player lines
  std::int32_t MsgType = 0;    // reply mode (reply_mode in host/host_codes.h)
  std::int32_t TimeOut = 0;    // milliseconds, per network wait
  std::int32_t Parallel = 1;   // address items asked at once; 1 or less: in turn
  std::int32_t Retries = 0;    // repeats of a query with no usable reply; 0 or less: none
  // Requests the worker may serve at once while this one is taken up; 1 or
  // less: it waits until no other is in service.
  std::int32_t Requests = 1;
  std::int32_t MaxPlayers = 0;  // player lines per server; 0 or less: no limit
  std::int32_t MaxReply = 0;    // UTF-16 code units of the reply as sent; 0 or less: no limit
  std::u16string PlMoreFormat = {};  // the line after the last one MaxPlayers lets through
  std::u16string CutText = {};       // the line that ends a reply cut at MaxReply
  std::u16string PlHiddenText = {};  // instead of the lines of a server that hides names
  // Source texts through the system's ANSI code page, as 8-bit kinds' are.
  bool AnsiValues = false;
  // 0 Source, 1 Quake 3 family, 2 SA-MP, 3 Minecraft Java, 4 Minecraft
  // Bedrock, 5 FiveM and RedM, 6 MTA:SA, 255 TCP probe
  std::uint8_t Game = 0;
  bool Players = false;
  bool TCP = false;
};

// A request in the queue: the payload, and apart from it the queue's link
// and its mark of a request the worker serves, which only the queue touches
// (under its lock).
struct TScanItem : ScanRequest {
  TScanItem* Next = nullptr;
  bool InService = false;
};

// At most this many requests are served at once, whatever Requests says.
inline constexpr std::int32_t kMaxRequests = 16;

// How many requests may be in service while this one is taken up: its
// Requests, at least 1 and at most kMaxRequests.
inline std::size_t RequestsAtOnce(const ScanRequest& request) {
  return static_cast<std::size_t>(std::clamp(request.Requests, 1, kMaxRequests));
}

struct ServerKind {
  std::uint8_t Game = 0;
  bool Players = false;
  bool TCP = false;
};
inline constexpr std::uint8_t kGameSource = 0;
inline constexpr std::uint8_t kGameQuake3 = 1;
inline constexpr std::uint8_t kGameSamp = 2;
inline constexpr std::uint8_t kGameMinecraft = 3;
inline constexpr std::uint8_t kGameBedrock = 4;
inline constexpr std::uint8_t kGameFivem = 5;
inline constexpr std::uint8_t kGameMta = 6;
inline constexpr std::uint8_t kGameTcp = 255;

struct KindWord {
  std::u16string_view word;
  ServerKind kind;
};
// Every kind word, in the order the guide lists them.
std::span<const KindWord> ServerKindWords();

// The kind words, exact and case-sensitive; nothing for any other word.
std::optional<ServerKind> ServerKindFromWord(std::u16string_view word);

}  // namespace morvane
