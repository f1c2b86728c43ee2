#include "world.h"

#include <algorithm>
#include <string>

#include "common/code_pages.h"
#include "common/text.h"

namespace morvane::gamesim {
namespace {

// A made-up player for --players beyond the world's own: the name has no
// blank, since SA-MP names may not hold one.
SimPlayer MadeUpPlayer(int index) {
  return {"Player_" + std::to_string(index + 1), (index * 37) % 51 - 10,
          90.0f * static_cast<float>(index) + 0.5f, 20 + index % 80};
}

std::vector<SimPlayer> MadeUpPlayers(int count) {
  std::vector<SimPlayer> players;
  for (int i = 0; i < count; ++i) players.push_back(MadeUpPlayer(i));
  return players;
}

World MakeDefaultWorld() {
  World world;
  // Source servers send UTF-8: the first one is named in Cyrillic, the
  // second in Latin letters and has a password.
  world.source.push_back({
      .name = "Морвейн Арена",
      .map = "de_dust2",
      .folder = "cstrike",
      .game = "Counter-Strike: Source",
      .app_id = 240,
      .max_players = 24,
      .vac = true,
      .version = "1.0.0.71",
      .players = {{"Ann", 10, 125.0f, 35},
                  {"Борис", -3, 3725.5f, 62},
                  {"Kate", 27, 59.6f, 18},
                  {"BOT Zed", 0, 7322.4f, 0, true}},
  });
  world.source.push_back({
      .name = "Morvane Dust",
      .map = "cs_office",
      .folder = "cstrike",
      .game = "Counter-Strike: Source",
      .app_id = 240,
      .max_players = 16,
      .password = true,
      .version = "1.0.0.71",
      .players = {{"Ivan", 5, 600.0f, 40}, {"Mira", 12, 4000.0f, 55}},
  });
  // Today's Source servers: CS2 names nobody, and its name holds characters
  // no 8-bit code page has; Rust names nobody either and counts beyond a
  // byte in its keywords.
  world.cs2.push_back({
      .name = "Morvane ★ CS2 Premier | 中文服",
      .map = "de_ancient",
      .folder = "cs",
      .game = "Counter-Strike 2",
      .app_id = 730,
      .max_players = 32,
      .vac = true,
      .version = "1.40.5.1",
      .players = MadeUpPlayers(12),
      .hide_names = true,
      .keywords = "empty,secure",
  });
  world.rust.push_back({
      .name = "Морвейн Rust 2x | 墨文 EU",
      .map = "Procedural Map",
      .folder = "rust",
      .game = "Rust",
      .max_players = 400,
      .vac = true,
      .version = "2584",
      .players = MadeUpPlayers(300),
      .hide_names = true,
      .keywords = "ptrak,qp0,v2584,born1733700000,gmrust,oxide,modded",
      .wide_counts = true,
  });
  world.goldsrc.push_back({
      .name = "Morvane Classic",
      .map = "de_inferno",
      .folder = "cstrike",
      .game = "Counter-Strike",
      .app_id = 10,
      .max_players = 20,
      .vac = true,
      .version = "1.1.2.7/Stdio",
      .players = {{"Player", 3, 300.0f, 30},
                  {"Оля", 8, 3900.0f, 45},
                  {"BOT Max", -1, 45.0f, 0, true}},
  });
  // The Quake 3 family and SA-MP send 8-bit text, Windows-1251 here.
  world.quake3.push_back({
      .name = "^1Morvane ^7Test",
      .map = "q3dm17",
      .folder = "baseq3",
      .max_players = 16,
      .version = "ioq3 1.36 linux-x86_64",
      .players = {{"^3Ann", 15, 0, 48}, {"Борис", -2, 0, 120}, {"Sarge", 4, 0, 0, true}},
  });
  world.quake3.push_back({
      .name = "^2Морвейн ^7Арена",
      .map = "q3tourney2",
      .folder = "baseq3",
      .max_players = 2,
      .password = true,
      .version = "ioq3 1.36 linux-x86_64",
      .players = {{"^1Kate", 3, 0, 25}},
  });
  world.samp.push_back({
      .name = "Морвейн Фрирум",
      .map = "San Andreas",
      .game = "Freeroam",
      .language = "Русский",
      .max_players = 50,
      .password = true,
      .version = "0.3.7-R2",
      .players = {{"Ivan_Petrov", 120, 0, 35}, {"Ann_Lee", -5, 0, 120}, {"Kate", 0, 0, 12}},
  });
  world.samp.push_back({
      .name = "Morvane Roleplay",
      .map = "San Andreas",
      .game = "RP 1.2",
      .language = "English",
      .max_players = 100,
      .version = "0.3.7-R2",
      .players = {{"John_Smith", 42, 0, 60}},
  });
  // Minecraft sends UTF-8 with "§" formatting codes. The first Java server
  // is a small vanilla one whose sample names its players; the second a
  // network whose maximum needs more than 16 bits and which hides its
  // players behind an empty sample; its message holds a character outside
  // the Basic Multilingual Plane (two UTF-16 code units in a legacy kick).
  world.minecraft.push_back({
      .motd = "§6Морвейн §fКрафт\n§7Выживание §lбез§r лагов",
      .version = "1.21.1",
      .protocol = 767,
      .online = 3,
      .max_players = 20,
      .sample = std::vector<std::string>{"Steve", "Алёна", "§bKate_2"},
  });
  world.minecraft.push_back({
      .motd = "§bMorvane §lNetwork§r §e⚔\n§7Лобби и мини-игры 🎮",
      .version = "Requires MC 1.8 / 1.21",
      .protocol = 47,
      .online = 26307,
      .max_players = 200000,
      .sample = std::vector<std::string>{},
  });
  world.bedrock.push_back({
      .motd = "§aМорвейн §fBedrock",
      .version = "1.21.2",
      .protocol = 686,
      .online = 5,
      .max_players = 30,
      .level_name = "Морвейн мир",
      .game_mode = "Survival",
      .server_id = 0x1D2C3B4A59687786ULL,
  });
  world.bedrock.push_back({
      .motd = "§lMorvane §cPvP§r Hub",
      .version = "1",
      .protocol = 748,
      .online = 18605,
      .max_players = 55000,
      .level_name = "C",
      .game_mode = "Adventure",
      .server_id = 12345678901234567890ULL,
  });
  // MTA:SA sends UTF-8: the first server's name holds characters no 8-bit
  // code page of Windows holds together (Greek, a star, Cyrillic), and its
  // records carry every field, none, each one left out and some empty. The
  // second is large: it counts 1500 players and sends no records.
  world.mta.push_back({
      .name = "Морвейн Ωμέγα ★ Drift",
      .game_type = "Race",
      .map = "Los Santos",
      .version = "1.6",
      .players = 8,
      .max_players = 64,
      .rules = {{"Author", "Morvane"}, {"Website", "morvane.example"}},
      .records = {{0x3F, "Ann", "Red", "7", "12", "35", "0:05"},
                  {0x3F, "Борис", "", "", "", "120", ""},
                  {0x3F, "", "Blue", "0", "3", "48", "1:00"},
                  {0x19, "Kate", "", "", "-4", "60", ""},
                  {0x3E, "", "Green", "5", "9", "70", "2:00"},
                  {0x01, "Zoë", "", "", "", "", ""},
                  {0x37, "Mira", "Red", "1", "", "80", "0:30"},
                  {0x00}},
  });
  world.mta.push_back({
      .name = "Morvane Freeroam",
      .game_type = "Freeroam",
      .map = "San Andreas",
      .version = "1.6",
      .players = 1500,
      .max_players = 4096,
  });
  // FiveM and RedM servers send UTF-8; the host name carries colour codes.
  // The game field is the game type, the folder the game name, the version
  // the "iv" the reply ends with.
  world.fivem.push_back({
      .name = "^1Morvane ^7Roleplay | Лос-Сантос",
      .map = "fivem-map-skater",
      .folder = "CitizenFX",
      .game = "Freeroam",
      .max_players = 48,
      .version = "1973579058",
      .players = {{.name = "Ann", .ping = 35},
                  {.name = "Борис", .ping = 62},
                  {.name = "Kate_Z", .ping = 18}},
  });
  world.fivem.push_back({
      .name = "Morvane Frontier",
      .map = "redm-map-one",
      .folder = "CitizenFX",
      .game = "Roleplay",
      .max_players = 32,
      .version = "1194941742",
      .players = {{.name = "Arthur", .ping = 80}},
  });
  return world;
}

}  // namespace

const World& DefaultWorld() {
  static const World world = MakeDefaultWorld();
  return world;
}

SimServer DecoyServer() {
  return {
      .name = "Decoy",
      .map = "decoy",
      .folder = "decoy",
      .game = "Decoy",
      .language = "Decoy",
      .app_id = 1,
      .max_players = 99,
      .version = "0",
      .players = {{"Decoy", 666, 1.0f, 999}},
  };
}

SimMinecraft DecoyMinecraft() {
  return {
      .motd = "Decoy",
      .version = "0",
      .protocol = 1,
      .online = 666,
      .max_players = 99,
      .sample = std::vector<std::string>{"Decoy"},
      .level_name = "Decoy",
      .game_mode = "Decoy",
      .server_id = 666,
  };
}

SimMta DecoyMta() {
  return {.name = "Decoy",
          .game_type = "Decoy",
          .map = "decoy",
          .version = "0",
          .players = 666,
          .max_players = 99,
          .records = {{0x19, "Decoy", "", "", "666", "999", ""}}};
}

std::string Utf8ToCp1251(std::string_view utf8) {
  return EncodeSingleByte(Utf8ToUtf16(utf8), kWindows1251, '?');
}

SimServer ApplySwitches(SimServer server, const ServiceSwitches& switches) {
  if (switches.password) server.password = true;
  if (switches.hostile_names) {
    server.name = "\x01VERSION\x01\x03" "04,01" + server.name + "\x0f \x02\x1f\x16!\x01";
  }
  if (!switches.players) return server;
  const int count = *switches.players;
  if (static_cast<std::size_t>(count) <= server.players.size()) {
    server.players.resize(static_cast<std::size_t>(count));
    return server;
  }
  for (int i = static_cast<int>(server.players.size()); i < count; ++i) {
    server.players.push_back(MadeUpPlayer(i));
  }
  return server;
}

SimMinecraft ApplyMinecraftSwitches(SimMinecraft server, const ServiceSwitches& switches) {
  if (switches.java_era == JavaEra::kLegacy) {
    server.version = "1.6.4";
    server.protocol = 78;
  }
  // The world's names first, then made-up ones.
  const std::vector<std::string> own = server.sample.value_or(std::vector<std::string>{});
  const auto names = [&own](std::size_t count) {
    std::vector<std::string> listed(own.begin(), own.begin() + std::min(count, own.size()));
    while (listed.size() < count)
      listed.push_back(MadeUpPlayer(static_cast<int>(listed.size())).name);
    return listed;
  };
  if (switches.players) {
    server.online = static_cast<std::uint32_t>(*switches.players);
    server.sample = std::nullopt;
    if (server.online > 0)
      server.sample = names(std::min<std::size_t>(server.online, kMinecraftSampleSize));
  }
  if (switches.online) server.online = static_cast<std::uint32_t>(*switches.online);
  if (switches.sample) server.sample = names(static_cast<std::size_t>(*switches.sample));
  return server;
}

}  // namespace morvane::gamesim
