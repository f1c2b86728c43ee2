#include "games/fivem.h"

#include "common/byte_reader.h"
#include "common/text.h"
#include "games/quake3.h"

namespace morvane {
namespace {

constexpr std::string_view kInfoHeader = "\xFF\xFF\xFF\xFFinfoResponse";
constexpr std::string_view kInfoRequest = "\xFF\xFF\xFF\xFFgetinfo ";
constexpr std::string_view kChallengeLetters =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";

// The bytes from the position up to the first newline or NUL, or the end.
std::string_view InfoLine(ByteReader& reader) {
  const auto rest = reader.ReadBytes(reader.Remaining());
  std::size_t end = 0;
  while (end < rest.size() && rest[end] != '\n' && rest[end] != 0) ++end;
  return {reinterpret_cast<const char*>(rest.data()), end};
}

}  // namespace

std::string MakeFivemChallenge(std::uint64_t random) {
  std::string challenge;
  challenge.reserve(kFivemChallengeLength);
  // Ten of the 62 letters take 59.5 of the 64 bits.
  for (std::size_t i = 0; i < kFivemChallengeLength; ++i) {
    challenge.push_back(kChallengeLetters[random % kChallengeLetters.size()]);
    random /= kChallengeLetters.size();
  }
  return challenge;
}

std::vector<std::uint8_t> MakeFivemInfoRequest(std::string_view challenge) {
  std::string request(kInfoRequest);
  request.append(challenge);
  return std::vector<std::uint8_t>(request.begin(), request.end());
}

std::optional<FivemInfo> ParseFivemInfo(std::span<const std::uint8_t> datagram) {
  ByteReader reader(datagram);
  const auto header = reader.ReadBytes(kInfoHeader.size());
  if (std::string_view(reinterpret_cast<const char*>(header.data()), header.size()) !=
      kInfoHeader) {
    return std::nullopt;
  }
  // The newline after the header; servers of the family all send it, but a
  // reply without it still starts its keys at the first backslash.
  if (reader.ByteAt(reader.Position()) == '\n') reader.Skip(1);
  std::string_view line = InfoLine(reader);

  FivemInfo info;
  std::string_view max_clients;
  std::string_view clients;
  // "\key\value\key\value...": the first key follows the first backslash.
  if (!line.empty() && line.front() == '\\') line.remove_prefix(1);
  while (!line.empty()) {
    const std::size_t key_end = line.find('\\');
    const std::string_view key = line.substr(0, key_end);
    std::string_view value;
    if (key_end == std::string_view::npos) {
      line = {};
    } else {
      line.remove_prefix(key_end + 1);
      const std::size_t value_end = line.find('\\');
      value = line.substr(0, value_end);
      line = value_end == std::string_view::npos ? std::string_view() : line.substr(value_end + 1);
    }
    // The first of a key that comes twice counts.
    if (key == "hostname" && info.name.empty()) info.name = RemoveColourCodes(value);
    if (key == "mapname" && info.map.empty()) info.map = std::string(value);
    if (key == "gametype" && info.mod.empty()) info.mod = std::string(value);
    if (key == "challenge" && info.challenge.empty()) info.challenge = std::string(value);
    if (key == "clients" && clients.empty()) clients = value;
    if (key == "sv_maxclients" && max_clients.empty()) max_clients = value;
  }
  info.clients = ParsePlayerCount(clients);
  info.max_clients = ParsePlayerCount(max_clients);
  return info;
}

}  // namespace morvane
