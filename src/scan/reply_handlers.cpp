// The protocol handlers the worker uses for the UDP kinds: each turns the
// values its parser reads into the answered flag, the summary's values, or a
// player list written to the output text.
#include <algorithm>
#include <string>

#include "common/text.h"
#include "games/quake3.h"
#include "games/samp.h"
#include "games/source.h"
#include "games/source_split.h"
#include "platform/platform.h"
#include "scan/player_list.h"
#include "scan/reply_handler.h"

namespace morvane {
namespace {

// Source servers send UTF-8, which goes into the reply in full. With
// AnsiValues set the values are held in the ANSI code page until they go into
// a template, as they always were, so what the code page cannot hold becomes
// "?".
TextCoding SourceCoding(const ScanRequest& request) {
  return request.AnsiValues ? TextCoding::kAnsi : TextCoding::kUtf8;
}
std::string SourceText(const std::string& utf8, TextCoding coding) {
  if (coding == TextCoding::kUtf8) return utf8;
  return platform::ToAnsi(Utf8ToUtf16(utf8));
}

class SourceHandler final : public ReplyHandler {
 public:
  std::span<const std::uint8_t> FirstQuery(const ScanRequest& request) override {
    if (request.Players) return kSourcePlayerRequest;
    return kSourceInfoRequest;
  }

  Verdict OnDatagram(std::span<const std::uint8_t> datagram, AddressItem& item) override {
    // A long reply comes in pieces: once all have come, the joined reply is
    // taken as one datagram.
    if (IsSplitPiece(datagram)) {
      if (split_.Add(datagram) != SplitReply::Progress::kComplete) return Verdict::kIgnored;
      const std::vector<std::uint8_t> joined = split_.Joined();
      split_.Reset();
      return IsSplitPiece(joined) ? Verdict::kIgnored : OnDatagram(joined, item);
    }
    switch (ClassifySourceReply(datagram)) {
      case SourceReplyType::kChallenge:
        return OnChallenge(ParseSourceChallenge(datagram), item.request.Players);
      case SourceReplyType::kInfo:
        if (item.request.Players) return Verdict::kIgnored;
        TakeInfo(ParseSourceInfo(datagram), item);
        return Verdict::kAnswered;
      case SourceReplyType::kPlayers:
        if (!item.request.Players) return Verdict::kIgnored;
        TakePlayers(ParseSourcePlayers(datagram), item);
        return Verdict::kAnswered;
      case SourceReplyType::kUnrecognised:
        break;
    }
    return Verdict::kIgnored;
  }

  std::span<const std::uint8_t> NextQuery() override { return next_query_; }

  // A reply of which a piece got lost is asked for afresh, as a whole.
  std::span<const std::uint8_t> RepeatQuery() override {
    // The pieces that came stay: late ones of the first reply, or the repeat's, may complete it.
    return {};
  }

 private:
  // The request goes out again with the server's four challenge bytes: the
  // player request carries them in place of FF FF FF FF, the info request
  // after its own bytes. They stay until the next challenge replaces them.
  Verdict OnChallenge(const SourceChallenge& challenge, bool players) {
    split_.Reset();
    if (players) {
      player_request_ = MakeSourcePlayerRequest(challenge);
      next_query_ = player_request_;
    } else {
      info_request_ = MakeSourceInfoRequest(challenge);
      next_query_ = info_request_;
    }
    return Verdict::kQueryAgain;
  }

  static void TakeInfo(const SourceInfo& info, AddressItem& item) {
    const TextCoding coding = SourceCoding(item.request);
    item.values.coding = coding;
    item.values.name = SourceText(info.name, coding);
    item.values.map = SourceText(info.map, coding);
    item.values.mod = SourceText(info.mod, coding);
    item.values.players = info.players;
    item.values.max_players = info.max_players;
    item.values.password = info.password;
  }

  static void TakePlayers(const SourcePlayers& reply, AddressItem& item) {
    AppendHeaderIfAny(item, reply.count);
    if (reply.names_hidden) {
      AppendNamesHidden(item);
      return;
    }
    if (reply.players.empty()) {
      item.output.AppendNoPlayers();
      return;
    }
    const TextCoding coding = SourceCoding(item.request);
    AppendPlayerLines(item, reply.players, [&item, coding](const SourcePlayer& player) {
      return FillPlayerLine(item.request.Format, SourceText(player.name, coding),
                            std::to_string(player.score), TimeText(player.duration), coding);
    });
  }

  std::array<std::uint8_t, 9> player_request_ = kSourcePlayerRequest;
  std::array<std::uint8_t, 29> info_request_{};
  std::span<const std::uint8_t> next_query_ = player_request_;
  SplitReply split_;
};

class Quake3Handler final : public ReplyHandler {
 public:
  std::span<const std::uint8_t> FirstQuery(const ScanRequest&) override {
    return kQuake3StatusRequest;
  }
  std::span<const std::uint8_t> NextQuery() override { return kQuake3StatusRequest; }

  Verdict OnDatagram(std::span<const std::uint8_t> datagram, AddressItem& item) override {
    if (!IsQuake3StatusReply(datagram)) return Verdict::kIgnored;
    const Quake3Status status = ParseQuake3Status(datagram, item.request.Players);
    if (!item.request.Players) {
      // Nothing in the reply says whether a password is set.
      item.values.name = status.name;
      item.values.map = status.map;
      item.values.mod = status.mod;
      item.values.players = status.player_count;
      item.values.max_players = status.max_players;
      item.values.password = false;
      return Verdict::kAnswered;
    }
    AppendHeaderIfAny(item, status.player_count);
    if (!status.has_player_section) {
      item.output.AppendNoPlayers();
      return Verdict::kAnswered;
    }
    AppendPlayerLines(item, status.players, [&item](const auto& player) {
      return FillPlayerLine(item.request.Format, player.name, player.score, player.ping);
    });
    return Verdict::kAnswered;
  }
};

class SampHandler final : public ReplyHandler {
 public:
  std::span<const std::uint8_t> FirstQuery(const ScanRequest& request) override {
    players_ = request.Players;
    if (request.Players) return kSampPlayerRequest;
    return kSampInfoRequest;
  }
  std::span<const std::uint8_t> NextQuery() override { return kSampInfoRequest; }

  // open.mp never answers the detailed player list: once "d" has had no
  // usable answer, the repeats ask for the client list instead.
  std::span<const std::uint8_t> RepeatQuery() override {
    if (!players_) return {};
    asked_clients_ = true;
    return kSampClientsRequest;
  }

  Verdict OnDatagram(std::span<const std::uint8_t> datagram, AddressItem& item) override {
    const bool players = item.request.Players;
    // Byte 10 alone tells the reply's kind.
    const bool clients = asked_clients_ && IsSampReply(datagram, kSampClientsOpcode);
    if (!clients && !IsSampReply(datagram, players ? kSampPlayerOpcode : kSampInfoOpcode)) {
      return Verdict::kIgnored;
    }
    if (!players) {
      const SampInfo info = ParseSampInfo(datagram);
      item.values.name = info.host_name;
      item.values.map = info.third;
      item.values.mod = info.game_mode;
      item.values.players = info.players;
      item.values.max_players = info.max_players;
      item.values.password = info.password;
      return Verdict::kAnswered;
    }
    const SampPlayers reply = clients ? ParseSampClients(datagram) : ParseSampPlayers(datagram);
    AppendHeaderIfAny(item, reply.count);
    if (reply.count == 0) {
      item.output.AppendNoPlayers();
      return Verdict::kAnswered;
    }
    AppendPlayerLines(item, reply.players, [&item, clients](const SampPlayer& player) {
      // The client list has no pings: %pltime% stays empty.
      return FillPlayerLine(item.request.Format, player.name, std::to_string(player.score),
                            clients ? std::string() : std::to_string(player.ping));
    });
    return Verdict::kAnswered;
  }

 private:
  bool players_ = false;
  bool asked_clients_ = false;
};

}  // namespace

std::unique_ptr<ReplyHandler> MakeReplyHandler(std::uint8_t game) {
  switch (game) {
    case kGameQuake3:
      return std::make_unique<Quake3Handler>();
    case kGameSamp:
      return std::make_unique<SampHandler>();
    case kGameBedrock:
      return MakeBedrockHandler();
    case kGameMta:
      return MakeMtaHandler();
    case kGameFivem:
      return MakeFivemHandler();
    default:
      return std::make_unique<SourceHandler>();
  }
}

}  // namespace morvane
