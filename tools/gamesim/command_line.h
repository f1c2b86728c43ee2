// morvane-gamesim's command line: services, each with a port, and the
// switches that shape the services named after them.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "service.h"
#include "service_switches.h"

namespace morvane::gamesim {

// One kind of service: the option that asks for it and how to make one.
// instance counts the services of this kind before it (0 for the first), so
// that repeated services can take the kind's servers of the world in turn.
struct ServiceKind {
  std::string_view option;
  std::string_view help;
  std::function<std::unique_ptr<Service>(const ServiceSwitches&, int instance)> make;
};

struct ServiceRequest {
  const ServiceKind* kind = nullptr;
  std::uint16_t port = 0;
  ServiceSwitches switches;
  int instance = 0;
};

struct CommandLine {
  bool help = false;
  double run_seconds = -1;  // Negative: until standard input ends.
  std::vector<ServiceRequest> services;
};

// Reads the arguments (without the program name). On a bad command line
// returns false with a one-line reason.
bool ParseCommandLine(const std::vector<std::string>& args, std::span<const ServiceKind> kinds,
                      CommandLine& out, std::string& error);

std::string Usage(std::span<const ServiceKind> kinds);

}  // namespace morvane::gamesim
