// The handler of FiveM and RedM servers' info query: one getinfo with a
// challenge of the address item's own, answered by one infoResponse that must
// echo it, so that a reply meant for another client, or sent blind, is not
// taken.
#include "common/text.h"
#include "games/fivem.h"
#include "scan/random_word.h"
#include "scan/reply_handler.h"

namespace morvane {
namespace {

class FivemHandler final : public ReplyHandler {
 public:
  FivemHandler()
      : challenge_(MakeFivemChallenge(RandomWord())), query_(MakeFivemInfoRequest(challenge_)) {}

  std::span<const std::uint8_t> FirstQuery(const ScanRequest&) override { return query_; }
  std::span<const std::uint8_t> NextQuery() override { return query_; }

  Verdict OnDatagram(std::span<const std::uint8_t> datagram, AddressItem& item) override {
    const std::optional<FivemInfo> info = ParseFivemInfo(datagram);
    if (!info || info->challenge != challenge_) return Verdict::kIgnored;
    TakeFivemInfo(*info, item.values);
    return Verdict::kAnswered;
  }

 private:
  const std::string challenge_;
  const std::vector<std::uint8_t> query_;
};

}  // namespace

void TakeFivemInfo(const FivemInfo& info, ServerValues& values) {
  // The reply says nothing of a password.
  values.name = CollapseWhitespace(info.name);
  values.map = CollapseWhitespace(info.map);
  values.mod = CollapseWhitespace(info.mod);
  values.coding = TextCoding::kUtf8;
  values.players = info.clients;
  values.max_players = info.max_clients;
  values.password = false;
}

std::unique_ptr<ReplyHandler> MakeFivemHandler() { return std::make_unique<FivemHandler>(); }

}  // namespace morvane
