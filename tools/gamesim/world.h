// The simulators' world: the servers each kind serves and their players,
// written once in UTF-8. A simulator of the Quake 3 family or SA-MP encodes
// the texts in Windows-1251 when it answers; Source and GoldSrc send UTF-8.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "service_switches.h"

namespace morvane::gamesim {

struct SimPlayer {
  std::string name{};
  std::int32_t score = 0;
  float duration = 0;     // Seconds connected (Source, GoldSrc).
  std::int32_t ping = 0;  // Milliseconds (Quake 3 family, SA-MP, FiveM).
  bool bot = false;
};

// One server as a simulator shows it. Each kind reads the fields its protocol
// carries and leaves the others.
struct SimServer {
  std::string name{};
  std::string map{};
  std::string folder{};      // Source, GoldSrc: the game folder; Quake 3: the gamename.
  std::string game{};        // Source, GoldSrc: the description; SA-MP: the game mode.
  std::string language{};    // SA-MP.
  std::uint16_t app_id = 0;  // Source.
  std::uint16_t max_players = 0;
  bool password = false;
  bool vac = false;  // Source, GoldSrc: the server is secured.
  std::string version{};
  std::vector<SimPlayer> players{};
  // Source: every player record goes out with an empty name, as CS2 and Rust
  // send them.
  bool hide_names = false;
  // Source: the info reply's extra data carries these keywords, and with
  // wide_counts the tags "mp<maximum>,cp<players>" before them while the
  // count bytes keep only their low 8 bits, as Rust servers send.
  std::string keywords{};
  bool wide_counts = false;

  int Bots() const {
    int bots = 0;
    for (const SimPlayer& player : players) bots += player.bot ? 1 : 0;
    return bots;
  }
};

// One Minecraft server, Java or Bedrock Edition. A status reply states its
// counts apart from any list of players, and a network's maximum (200000)
// does not fit the 16 bits of the other kinds, so it has a record of its own.
struct SimMinecraft {
  // The message of the day with its "§x" formatting codes; a line feed
  // separates the two lines a client shows.
  std::string motd{};
  std::string version{};
  std::int32_t protocol = 0;
  std::uint32_t online = 0;
  std::uint32_t max_players = 0;
  // Java: the names of the player sample. Nothing: no "sample" key, as a
  // vanilla server sends while nobody plays; empty: "sample": [], as networks
  // that hide their players send.
  std::optional<std::vector<std::string>> sample{};
  // Bedrock: the level name (a client's second line), the game mode and
  // the server's id.
  std::string level_name{};
  std::string game_mode{};
  std::uint64_t server_id = 0;
};

// One MTA:SA player record: which texts it carries (0x01 name, 0x02 team,
// 0x04 skin, 0x08 score, 0x10 ping, 0x20 time) and the texts, any of which
// may be empty.
struct SimMtaPlayer {
  std::uint8_t flags = 0;
  std::string name{};
  std::string team{};
  std::string skin{};
  std::string score{};
  std::string ping{};
  std::string time{};
};

// One MTA:SA server. Its count of players is stated apart from its records:
// a large server sends none.
struct SimMta {
  std::string name{};
  std::string game_type{};
  std::string map{};
  std::string version{};
  bool password = false;
  std::uint32_t players = 0;
  std::uint32_t max_players = 0;
  std::vector<std::pair<std::string, std::string>> rules{};
  std::vector<SimMtaPlayer> records{};
};

struct World {
  std::vector<SimServer> source;
  std::vector<SimServer> cs2;
  std::vector<SimServer> rust;
  std::vector<SimServer> goldsrc;
  std::vector<SimServer> quake3;
  std::vector<SimServer> samp;
  std::vector<SimMinecraft> minecraft;
  std::vector<SimMinecraft> bedrock;
  std::vector<SimMta> mta;
  std::vector<SimServer> fivem;  // a FiveM server, then a RedM one
};

// The default world: names in Latin and Cyrillic, passworded servers,
// players with negative scores and times above an hour.
const World& DefaultWorld();

// The server that junk and flood datagrams describe: plainly not the real
// one, so a client that took one of them shows it.
SimServer DecoyServer();
SimMinecraft DecoyMinecraft();
SimMta DecoyMta();

// A text of the world as the Quake 3 family and SA-MP simulators send it:
// Windows-1251, the code page in which servers of Russian-speaking
// communities send their texts (their engines pass the bytes of the system
// code page through). A character the code page cannot hold becomes "?", as
// Windows converts without best-fit mapping.
std::string Utf8ToCp1251(std::string_view utf8);

// The server as the switches make it: --players keeps the first N players
// of the world and makes up the rest; --password sets the password.
SimServer ApplySwitches(SimServer server, const ServiceSwitches& switches);

// A vanilla server lists at most this many players in its sample.
inline constexpr std::size_t kMinecraftSampleSize = 12;

// The Minecraft server as the switches make it: --players N puts N players
// online, the sample listing the first of them as vanilla does (none at
// all for 0); --online N sets the count alone; --sample N lists N names
// whatever the count (an empty list for 0). A server before 1.7 (--legacy)
// states the version and protocol of 1.6.4.
SimMinecraft ApplyMinecraftSwitches(SimMinecraft server, const ServiceSwitches& switches);

}  // namespace morvane::gamesim
