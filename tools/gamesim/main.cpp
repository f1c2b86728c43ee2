// morvane-gamesim: loopback game-server simulators for the demo and the
// end-to-end tests. Every service listens on 127.0.0.1 only, on the port given
// on the command line (0: a free one). On start it prints one line per
// service ("tcp 127.0.0.1:40123"), then "ready", so that a script can read the
// ports; it runs until --for runs out or, without --for, until its standard
// input ends, so a parent stops it by closing the pipe.
#include <chrono>
#include <cstdio>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "command_line.h"
#include "fivem_server.h"
#include "minecraft_bedrock_server.h"
#include "minecraft_java_server.h"
#include "mta_server.h"
#include "platform/platform.h"
#include "platform/program_support.h"
#include "quake3_server.h"
#include "samp_server.h"
#include "service.h"
#include "silent_udp.h"
#include "source_server.h"
#include "tcp_listener.h"
#include "world.h"

namespace {

using morvane::gamesim::ServiceKind;
using morvane::gamesim::ServiceSwitches;
using morvane::gamesim::SimMinecraft;
using morvane::gamesim::SimServer;

constexpr int kExitFailure = 1;
constexpr int kExitBadUse = 2;

// The instance-th server of a kind's world, counting round.
SimServer Pick(const std::vector<SimServer>& servers, int instance,
               const ServiceSwitches& switches) {
  const auto index = static_cast<std::size_t>(instance) % servers.size();
  return morvane::gamesim::ApplySwitches(servers[index], switches);
}

SimMinecraft PickMinecraft(const std::vector<SimMinecraft>& servers, int instance,
                           const ServiceSwitches& switches) {
  const auto index = static_cast<std::size_t>(instance) % servers.size();
  return morvane::gamesim::ApplyMinecraftSwitches(servers[index], switches);
}

const std::vector<ServiceKind>& Registry() {
  using morvane::gamesim::SourceForm;
  const auto& world = morvane::gamesim::DefaultWorld();
  static const std::vector<ServiceKind> kinds = {
      {"--tcp", "a TCP listener that accepts connections and closes them",
       [](const ServiceSwitches&, int) {
         return std::make_unique<morvane::gamesim::TcpListener>();
       }},
      {"--silent-udp", "a UDP port that receives datagrams and never answers",
       [](const ServiceSwitches&, int) { return std::make_unique<morvane::gamesim::SilentUdp>(); }},
      {"--source", "a Source server (new-form info, players, rules)",
       [&world](const ServiceSwitches& switches, int instance) {
         return std::make_unique<morvane::gamesim::SourceServer>(
             SourceForm::kSource, Pick(world.source, instance, switches), switches);
       }},
      {"--cs2", "a Counter-Strike 2 server: Source, every player's name hidden",
       [&world](const ServiceSwitches& switches, int instance) {
         return std::make_unique<morvane::gamesim::SourceServer>(
             SourceForm::kSource, Pick(world.cs2, instance, switches), switches, "cs2");
       }},
      {"--rust", "a Rust server: Source, names hidden, counts past 255 in the keywords",
       [&world](const ServiceSwitches& switches, int instance) {
         return std::make_unique<morvane::gamesim::SourceServer>(
             SourceForm::kSource, Pick(world.rust, instance, switches), switches, "rust");
       }},
      {"--goldsrc", "a GoldSrc server (old-form info, players, rules)",
       [&world](const ServiceSwitches& switches, int instance) {
         return std::make_unique<morvane::gamesim::SourceServer>(
             SourceForm::kGoldSrc, Pick(world.goldsrc, instance, switches), switches);
       }},
      {"--quake3", "a Quake 3 family server (getstatus, getinfo)",
       [&world](const ServiceSwitches& switches, int instance) {
         return std::make_unique<morvane::gamesim::Quake3Server>(
             Pick(world.quake3, instance, switches), switches);
       }},
      {"--samp", "a SA-MP server (info, rules, players, ping)",
       [&world](const ServiceSwitches& switches, int instance) {
         return std::make_unique<morvane::gamesim::SampServer>(Pick(world.samp, instance, switches),
                                                               switches);
       }},
      {"--minecraft", "a Minecraft: Java Edition server on TCP (status and legacy ping)",
       [&world](const ServiceSwitches& switches, int instance) {
         return std::make_unique<morvane::gamesim::MinecraftJavaServer>(
             PickMinecraft(world.minecraft, instance, switches), switches);
       }},
      {"--bedrock", "a Minecraft: Bedrock Edition server (unconnected ping)",
       [&world](const ServiceSwitches& switches, int instance) {
         return std::make_unique<morvane::gamesim::MinecraftBedrockServer>(
             PickMinecraft(world.bedrock, instance, switches), switches);
       }},
      {"--mta", "an MTA:SA server, named by its game port; it answers on that port + 123",
       [&world](const ServiceSwitches& switches, int instance) {
         return std::make_unique<morvane::gamesim::MtaServer>(
             world.mta[static_cast<std::size_t>(instance) % world.mta.size()], switches);
       }},
      {"--fivem", "a FiveM or RedM server: getinfo on UDP, /players.json on TCP",
       [&world](const ServiceSwitches& switches, int instance) {
         return std::make_unique<morvane::gamesim::FivemServer>(
             Pick(world.fivem, instance, switches), switches);
       }},
  };
  return kinds;
}

// The built-in world, for the help text: which server each repeat gets.
std::string WorldText() {
  const auto& world = morvane::gamesim::DefaultWorld();
  std::string text =
      "\nthe world (UTF-8 here; Quake 3 and SA-MP send Windows-1251; \"\\n\" is a line feed):\n";
  const std::pair<const char*, const std::vector<SimServer>*> kinds[] = {
      {"--source", &world.source},   {"--cs2", &world.cs2},       {"--rust", &world.rust},
      {"--goldsrc", &world.goldsrc}, {"--quake3", &world.quake3}, {"--samp", &world.samp},
      {"--fivem", &world.fivem}};
  for (const auto& [option, servers] : kinds) {
    for (std::size_t i = 0; i < servers->size(); ++i) {
      const SimServer& server = (*servers)[i];
      text += "  " + std::string(option) + " #" + std::to_string(i + 1) + "  " + server.name +
              ", " + std::to_string(server.players.size()) + "/" +
              std::to_string(server.max_players) + " players" +
              (server.password ? ", password" : "") + "\n";
    }
  }
  const std::pair<const char*, const std::vector<SimMinecraft>*> minecraft_kinds[] = {
      {"--minecraft", &world.minecraft}, {"--bedrock", &world.bedrock}};
  for (const auto& [option, servers] : minecraft_kinds) {
    for (std::size_t i = 0; i < servers->size(); ++i) {
      const SimMinecraft& server = (*servers)[i];
      std::string motd = server.motd;
      for (std::size_t at = motd.find('\n'); at != std::string::npos; at = motd.find('\n', at)) {
        motd.replace(at, 1, "\\n");
      }
      text += "  " + std::string(option) + " #" + std::to_string(i + 1) + "  " + motd + ", " +
              server.version + ", " + std::to_string(server.online) + "/" +
              std::to_string(server.max_players) + " players\n";
    }
  }
  for (std::size_t i = 0; i < world.mta.size(); ++i) {
    const morvane::gamesim::SimMta& server = world.mta[i];
    text += "  --mta #" + std::to_string(i + 1) + "  " + server.name + ", " +
            std::to_string(server.players) + "/" + std::to_string(server.max_players) +
            " players, " + std::to_string(server.records.size()) + " records\n";
  }
  return text;
}

void Write(std::FILE* stream, const std::string& text) {
  std::fwrite(text.data(), 1, text.size(), stream);
  std::fflush(stream);
}

void WaitForEndOfInput() {
  while (std::getc(stdin) != EOF) {
  }
}

void WaitFor(double seconds) {
  using Clock = std::chrono::steady_clock;
  auto end = Clock::now() + std::chrono::milliseconds(static_cast<long long>(seconds * 1000));
  while (Clock::now() < end) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - Clock::now()).count();
    morvane::platform::SleepMilliseconds(static_cast<std::int32_t>(left > 100 ? 100 : left + 1));
  }
}

}  // namespace

int main(int argc, char** argv) {
  morvane::platform::PrepareStandardOutput();
  morvane::gamesim::CommandLine command;
  std::string error;
  if (!morvane::gamesim::ParseCommandLine(std::vector<std::string>(argv + 1, argv + argc),
                                          Registry(), command, error)) {
    Write(stderr, "morvane-gamesim: " + error + " (see --help)\n");
    return kExitBadUse;
  }
  if (command.help) {
    Write(stdout, morvane::gamesim::Usage(Registry()) + WorldText());
    return 0;
  }

  morvane::platform::StartSocketLibrary();
  std::vector<std::unique_ptr<morvane::gamesim::Service>> services;
  std::string lines;
  for (const auto& request : command.services) {
    auto service = request.kind->make(request.switches, request.instance);
    if (!service->Open(request.port, error)) {
      Write(stderr, "morvane-gamesim: " + error + "\n");
      return kExitFailure;
    }
    lines +=
        std::string(service->Kind()) + " 127.0.0.1:" + std::to_string(service->ShownPort()) + "\n";
    services.push_back(std::move(service));
  }
  for (auto& service : services) service->Start();
  Write(stdout, lines + "ready\n");

  if (command.run_seconds > 0) {
    WaitFor(command.run_seconds);
  } else {
    WaitForEndOfInput();
  }
  for (auto& service : services) service->Stop();
  return 0;
}
