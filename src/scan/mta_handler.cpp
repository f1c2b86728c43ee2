// The handler of MTA:SA servers: the one query "s" to the game port plus 123
// (the frame aims there), answered by one "EYE1" reply that holds the
// summary and the player records together.
#include "common/text.h"
#include "games/mta.h"
#include "scan/player_list.h"
#include "scan/reply_handler.h"

namespace morvane {
namespace {

class MtaHandler final : public ReplyHandler {
 public:
  std::span<const std::uint8_t> FirstQuery(const ScanRequest&) override { return kMtaQuery; }
  std::span<const std::uint8_t> NextQuery() override { return kMtaQuery; }

  Verdict OnDatagram(std::span<const std::uint8_t> datagram, AddressItem& item) override {
    const std::optional<MtaStatus> status = ParseMtaReply(datagram);
    if (!status) return Verdict::kIgnored;
    if (!item.request.Players) {
      item.values.name = CollapseWhitespace(status->name);
      item.values.map = CollapseWhitespace(status->map);
      item.values.mod = CollapseWhitespace(status->game_type);
      item.values.coding = TextCoding::kUtf8;
      item.values.players = status->players;
      item.values.max_players = status->max_players;
      item.values.password = status->password;
      return Verdict::kAnswered;
    }
    AppendHeaderIfAny(item, status->players);
    if (status->players == 0) {
      item.output.AppendNoPlayers();
    } else if (status->player_list.empty() && !status->cut) {
      // A large server counts its players but sends no records.
      AppendNamesHidden(item);
    } else {
      // Players counted but not listed (the records a cut reply lost) are
      // told as left out.
      AppendPlayerLines(
          item, status->player_list,
          [&item](const MtaPlayer& player) {
            return FillPlayerLine(item.request.Format, player.name, player.score, player.ping,
                                  TextCoding::kUtf8);
          },
          status->players);
    }
    return Verdict::kAnswered;
  }
};

}  // namespace

std::unique_ptr<ReplyHandler> MakeMtaHandler() { return std::make_unique<MtaHandler>(); }

}  // namespace morvane
