// The handler of Minecraft Bedrock servers: one unconnected ping, answered by
// one pong that must echo the ping's time. The ping's time and client id are
// random for each address item, so that a pong meant for another client, or
// sent blind, is not taken.
#include "common/text.h"
#include "games/minecraft_bedrock.h"
#include "scan/random_word.h"
#include "scan/reply_handler.h"

namespace morvane {
namespace {

class BedrockHandler final : public ReplyHandler {
 public:
  BedrockHandler()
      : time_(static_cast<std::int64_t>(RandomWord() >> 1)),
        ping_(MakeBedrockPing(time_, RandomWord())) {}

  std::span<const std::uint8_t> FirstQuery(const ScanRequest&) override { return ping_; }
  std::span<const std::uint8_t> NextQuery() override { return ping_; }

  Verdict OnDatagram(std::span<const std::uint8_t> datagram, AddressItem& item) override {
    const std::optional<BedrockPong> pong = ParseBedrockPong(datagram, time_);
    if (!pong) return Verdict::kIgnored;
    // Bedrock has no player list and no password flag.
    item.values.name = CollapseWhitespace(pong->motd);
    item.values.map = CollapseWhitespace(pong->level_name);
    item.values.mod = CollapseWhitespace(pong->version);
    item.values.coding = TextCoding::kUtf8;
    item.values.players = pong->online;
    item.values.max_players = pong->max_players;
    item.values.password = false;
    return Verdict::kAnswered;
  }

 private:
  const std::int64_t time_;
  const std::array<std::uint8_t, 33> ping_;
};

}  // namespace

std::unique_ptr<ReplyHandler> MakeBedrockHandler() { return std::make_unique<BedrockHandler>(); }

}  // namespace morvane
