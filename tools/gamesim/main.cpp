// morvane-gamesim: loopback game-server simulators for the demo and the
// end-to-end tests. Every service listens on 127.0.0.1 only, on the port given
// on the command line (0: a free one). On start it prints one line per
// service ("tcp 127.0.0.1:40123"), then "ready", so that a script can read the
// ports; it runs until --for runs out or, without --for, until its standard
// input ends, so a parent stops it by closing the pipe.
#include <charconv>
#include <chrono>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/platform.h"
#include "service.h"
#include "silent_udp.h"
#include "tcp_listener.h"

namespace {

using morvane::gamesim::Service;

constexpr int kExitFailure = 1;
constexpr int kExitBadUse = 2;
// The longest --for: a day, so that a typing error cannot leave a simulator
// running for ever.
constexpr double kMaxRunSeconds = 86400;

// The registry of server kinds: the option that asks for one and how to make it.
struct ServiceKind {
  std::string_view option;
  std::string_view help;
  std::function<std::unique_ptr<Service>()> make;
};

const std::vector<ServiceKind>& Registry() {
  static const std::vector<ServiceKind> kinds = {
      {"--tcp", "a TCP listener that accepts connections and closes them",
       [] { return std::make_unique<morvane::gamesim::TcpListener>(); }},
      {"--silent-udp", "a UDP port that receives datagrams and never answers",
       [] { return std::make_unique<morvane::gamesim::SilentUdp>(); }},
  };
  return kinds;
}

void Write(std::FILE* stream, const std::string& text) {
  std::fwrite(text.data(), 1, text.size(), stream);
  std::fflush(stream);
}

int BadUse(const std::string& message) {
  Write(stderr, "morvane-gamesim: " + message + " (see --help)\n");
  return kExitBadUse;
}

std::string Usage() {
  std::string text =
      "usage: morvane-gamesim SERVICE PORT... [--for SECONDS]\n"
      "\n"
      "Serves game-server simulators on 127.0.0.1. PORT 0 picks a free port.\n"
      "Prints \"KIND 127.0.0.1:PORT\" per service, then \"ready\".\n"
      "Runs for SECONDS, or without --for until standard input ends.\n"
      "\n"
      "services (each may be given more than once):\n";
  for (const auto& kind : Registry()) {
    text += "  " + std::string(kind.option) + " PORT";
    text.append(kind.option.size() < 16 ? 16 - kind.option.size() : 1, ' ');
    text += std::string(kind.help) + "\n";
  }
  text +=
      "\n"
      "exit status: 0 after a normal run, 1 when a port cannot be opened,\n"
      "2 for a bad command line.\n";
  return text;
}

struct Request {
  const ServiceKind* kind;
  std::uint16_t port;
};

template <typename T>
bool ParseWhole(std::string_view text, T& value) {
  auto [next, status] = std::from_chars(text.data(), text.data() + text.size(), value);
  return !text.empty() && status == std::errc() && next == text.data() + text.size();
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
  std::vector<std::string> args(argv + 1, argv + argc);
  std::vector<Request> requests;
  double run_seconds = -1;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg == "--help" || arg == "-h") {
      Write(stdout, Usage());
      return 0;
    }
    const ServiceKind* kind = nullptr;
    for (const auto& candidate : Registry()) {
      if (candidate.option == arg) kind = &candidate;
    }
    if (kind == nullptr && arg != "--for") return BadUse("unknown option \"" + arg + "\"");
    if (i + 1 >= args.size()) return BadUse(arg + " needs a value");
    const std::string& value = args[++i];
    if (kind == nullptr) {
      if (!ParseWhole(value, run_seconds) || !(run_seconds > 0 && run_seconds <= kMaxRunSeconds)) {
        return BadUse("--for takes a number of seconds above 0 and up to 86400, not \"" + value +
                      "\"");
      }
      continue;
    }
    std::uint16_t port = 0;
    if (!ParseWhole(value, port)) {
      return BadUse(arg + " takes a port from 0 to 65535, not \"" + value + "\"");
    }
    requests.push_back({kind, port});
  }
  if (requests.empty()) return BadUse("no service asked for");

  morvane::platform::StartSocketLibrary();
  std::vector<std::unique_ptr<Service>> services;
  std::string lines;
  for (const Request& request : requests) {
    auto service = request.kind->make();
    std::string error;
    if (!service->Open(request.port, error)) {
      Write(stderr, "morvane-gamesim: " + error + "\n");
      return kExitFailure;
    }
    lines += std::string(service->Kind()) + " 127.0.0.1:" + std::to_string(service->Port()) + "\n";
    services.push_back(std::move(service));
  }
  for (auto& service : services) service->Start();
  Write(stdout, lines + "ready\n");

  if (run_seconds > 0) {
    WaitFor(run_seconds);
  } else {
    WaitForEndOfInput();
  }
  for (auto& service : services) service->Stop();
  return 0;
}
