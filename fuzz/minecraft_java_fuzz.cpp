// Minecraft Java's readers alone: the input as the bytes of one TCP stream,
// framed as a status packet (and its string read as JSON), read as a legacy
// kick, and read as a JSON body by itself. A reply read in two parts must
// say what it says whole: a packet that is complete or no answer after the
// first part stays so. Every text that comes out is UTF-8.
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

#include "common/text.h"
#include "games/minecraft_java.h"

namespace {

void Check(bool holds) {
  if (!holds) __builtin_trap();
}

void CheckTexts(const morvane::MinecraftStatus& status) {
  Check(morvane::IsValidUtf8(status.motd) && morvane::IsValidUtf8(status.version));
  for (const auto& name : status.sample) Check(morvane::IsValidUtf8(name));
}

void ParseJson(std::string_view json) {
  if (auto status = morvane::ParseJavaStatusJson(json)) CheckTexts(*status);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::span<const std::uint8_t> stream(data, size);
  // The first part in a buffer of its own, so that a read past it is caught.
  const std::vector<std::uint8_t> first(data, data + size / 2);

  const morvane::JavaStatusFrame whole = morvane::ReadJavaStatusFrame(stream);
  const morvane::JavaStatusFrame part = morvane::ReadJavaStatusFrame(first);
  if (part.state != morvane::FrameState::kIncomplete) {
    Check(whole.state == part.state && whole.json == part.json);
  }
  if (whole.state == morvane::FrameState::kComplete) {
    Check(whole.json.data() >= reinterpret_cast<const char*>(data) &&
          whole.json.data() + whole.json.size() <= reinterpret_cast<const char*>(data) + size);
    ParseJson(whole.json);
  }

  const morvane::LegacyKick kick = morvane::ReadLegacyKick(stream);
  const morvane::LegacyKick kick_part = morvane::ReadLegacyKick(first);
  if (kick_part.state != morvane::FrameState::kIncomplete) Check(kick.state == kick_part.state);
  if (kick.state == morvane::FrameState::kComplete) CheckTexts(kick.status);

  ParseJson(std::string_view(reinterpret_cast<const char*>(data), size));
  return 0;
}
