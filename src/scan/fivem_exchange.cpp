// The player list of a FiveM or RedM server, one address item over two
// sockets at once: getinfo over UDP for the count (the header's %pl%), and
// beside it HTTP GET /players.json over TCP to the same port number for the
// names. Both are due as the item opens; each waits for the worker's pace of
// sends, and every getinfo for its pace of getinfo per server as well.
//
// Each half repeats on its own, as the other kinds do: a getinfo with no
// reply at a third and at two thirds of TimeOut after the first, an HTTP
// attempt that failed (refused, closed early, no reply) by connecting afresh
// at the same times after the first connect; at most Retries of each. The
// item ends once both halves have their answer (the HTTP half also once it
// has failed with no repeat left), or TimeOut after its first send, with what
// it has by then:
//   count and list     the header, then the lines ("Нет игроков" for an
//                      empty list while the count is 0)
//   count alone        the header and the "names hidden" line: an HTTP error
//                      status, a body that is no JSON array, an empty array
//                      while players are on, or no HTTP answer at all
//   list alone         the header counts the list
//   neither            the offline text (an HTTP error status alone counts
//                      nothing)
#include <algorithm>
#include <cstring>
#include <limits>

#include "common/text.h"
#include "games/fivem.h"
#include "games/http_reply.h"
#include "scan/address_exchange.h"
#include "scan/player_list.h"
#include "scan/random_word.h"

namespace morvane {
namespace {

constexpr std::size_t kReadChunk = 16 * 1024;
constexpr char kPlayersPath[] = "/players.json";

enum class HttpPhase { kIdle, kConnecting, kReading };

enum class ListOutcome {
  kPending,  // no answer yet
  kList,     // the players (perhaps none)
  kHidden,   // an error status or a body that is no list
  kFailed,   // every attempt failed and no repeat is left
};

// The typed host when it is a plain host name; a name with anything else in
// it must not reach a header line, and the dotted address stands in.
std::string HostHeader(std::u16string_view typed, const platform::SocketAddress& target) {
  const std::u16string host = LowerAsciiLetters(typed);
  const bool plain = !host.empty() && std::all_of(host.begin(), host.end(), [](char16_t c) {
    return (c >= u'a' && c <= u'z') || (c >= u'0' && c <= u'9') || c == u'.' || c == u'-' ||
           c == u'_';
  });
  std::string text;
  if (plain) {
    text = Utf16ToUtf8(host);
  } else {
    std::uint8_t octets[4];
    std::memcpy(octets, &target.address_be, sizeof octets);
    for (int i = 0; i < 4; ++i) text += (i > 0 ? "." : "") + std::to_string(octets[i]);
  }
  return text + ":" + std::to_string(platform::NetworkToHost16(target.port_be));
}

class FivemPlayersExchange final : public AddressExchange {
 public:
  FivemPlayersExchange(const ScanRequest& request, std::u16string address, std::int32_t index,
                       QueryPace& pace, std::vector<std::uint8_t>& buffer)
      : AddressExchange(request, std::move(address), index),
        pace_(pace),
        FBuf(buffer),
        challenge_(MakeFivemChallenge(RandomWord())),
        query_(MakeFivemInfoRequest(challenge_)) {}

  ~FivemPlayersExchange() override { CloseStream(); }

  bool Open(std::int64_t now, std::optional<std::int64_t> clock_start) override {
    FSock = platform::OpenSocket(platform::SocketType::kUdp);
    if (FSock == platform::kInvalidSocket) return false;
    if (!OpenStream()) {
      platform::CloseSocket(FSock);
      FSock = platform::kInvalidSocket;
      return false;
    }
    clock_start_ = clock_start;
    platform::SetSendTimeout(FSock, request_.TimeOut);
    info_due_ = now;
    connect_due_ = now;
    return true;
  }

  std::optional<std::int64_t> SendDue() const override {
    if (done_) return std::nullopt;
    return EarlierOf(InfoDue(), connect_due_);
  }

  // The earlier of the two due sends goes; the getinfo first on a tie.
  void Send(std::int64_t now) override {
    if (!started_) {
      started_ = now;
      // The TimeOut runs from the start of the item's name lookup, if it had
      // one.
      deadline_ = DeadlineAfter(request_, clock_start_.value_or(now));
    }
    const auto info = InfoDue();
    if (info && *info <= now && (!connect_due_ || *info <= *connect_due_)) {
      SendInfo(now);
    } else if (connect_due_ && *connect_due_ <= now) {
      Connect(now);
    }
    // A connect refused at once may leave the item with all it can get.
    EndIfAnswered();
  }

  // The two sockets are waited on through AddWaits.
  std::optional<platform::SocketWait> Wait() const override { return std::nullopt; }
  void OnSocket(platform::SocketState, std::int64_t) override {}

  void AddWaits(std::vector<platform::SocketWait>& waits) const override {
    if (done_) return;
    if (info_started_ && !info_) waits.push_back({FSock, false});
    if (phase_ != HttpPhase::kIdle) waits.push_back({stream_, phase_ == HttpPhase::kConnecting});
  }

  void OnSocketOf(platform::Socket socket, platform::SocketState state, std::int64_t now) override {
    // The other socket's news may have ended the item in the same wait.
    if (done_) return;
    if (socket == FSock) {
      ReceiveInfo();
    } else if (socket == stream_) {
      OnStream(state, now);
    }
    EndIfAnswered();
  }

  // Called once for each of the item's sockets in the failed wait.
  void OnWaitError() override {
    if (done_) return;
    AppendOffline();
    End();
  }

  std::optional<std::int64_t> NextTime() const override {
    if (done_) return std::nullopt;
    return EarlierOf(deadline_, EarlierOf(NextInfoRepeat(), NextConnectRepeat()));
  }

  void OnTime(std::int64_t now) override {
    if (!started_ || done_) return;
    if (deadline_ && now >= *deadline_) {
      Write();
      return;
    }
    if (const auto repeat = NextInfoRepeat(); repeat && now >= *repeat) {
      ++info_repeats_;
      info_due_ = now;
    }
    if (const auto repeat = NextConnectRepeat(); repeat && now >= *repeat) {
      ++connect_repeats_;
      connect_due_ = now;
    }
  }

 private:
  // The getinfo that is due, as the pace lets it go; none once the pace
  // would hold it until the item's deadline.
  std::optional<std::int64_t> InfoDue() const {
    if (!info_due_) return std::nullopt;
    const std::int64_t at = pace_.EarliestSend(sendaddr, *info_due_);
    if (deadline_ && at >= *deadline_) return std::nullopt;
    return at;
  }

  std::optional<std::int64_t> NextInfoRepeat() const {
    if (info_ || !info_started_ || info_due_) return std::nullopt;
    return RepeatTime(request_, *info_started_, info_repeats_);
  }

  // A repeat is due only once the attempt before it has failed: an attempt
  // that still reads may yet be answered.
  std::optional<std::int64_t> NextConnectRepeat() const {
    if (list_ != ListOutcome::kPending || !connect_started_ || phase_ != HttpPhase::kIdle ||
        connect_due_) {
      return std::nullopt;
    }
    return RepeatTime(request_, *connect_started_, connect_repeats_);
  }

  void SendInfo(std::int64_t now) {
    info_due_.reset();
    // A getinfo that cannot be sent leaves its half to the repeats and the
    // deadline.
    if (platform::SendTo(FSock, query_, sendaddr) == -1) {
      if (!info_started_) info_started_ = now;
      return;
    }
    pace_.Record(sendaddr, MonotonicMs());
    if (!info_started_) info_started_ = now;
  }

  void ReceiveInfo() {
    platform::SocketAddress from;
    const int received = platform::ReceiveFrom(FSock, FBuf, from);
    if (received < 0) return;
    if (from.address_be != sendaddr.address_be || from.port_be != sendaddr.port_be) return;
    const auto info = ParseFivemInfo(
        std::span<const std::uint8_t>(FBuf.data(), static_cast<std::size_t>(received)));
    if (!info || info->challenge != challenge_) return;
    info_ = info;
  }

  bool OpenStream() {
    stream_ = platform::OpenSocket(platform::SocketType::kTcp);
    if (stream_ != platform::kInvalidSocket && !platform::SetNonBlocking(stream_)) CloseStream();
    return stream_ != platform::kInvalidSocket;
  }

  void CloseStream() {
    if (stream_ != platform::kInvalidSocket) platform::CloseSocket(stream_);
    stream_ = platform::kInvalidSocket;
  }

  void Connect(std::int64_t now) {
    connect_due_.reset();
    if (!connect_started_) connect_started_ = now;
    if (stream_ == platform::kInvalidSocket && !OpenStream()) {
      AttemptFailed();
      return;
    }
    switch (platform::Connect(stream_, sendaddr)) {
      case platform::ConnectResult::kFailed:
        AttemptFailed();
        return;
      case platform::ConnectResult::kConnected:
        WriteRequest();
        return;
      case platform::ConnectResult::kWouldBlock:
        phase_ = HttpPhase::kConnecting;
        return;
    }
  }

  void OnStream(platform::SocketState state, std::int64_t) {
    if (state == platform::SocketState::kFailed) {
      AttemptFailed();
      return;
    }
    if (phase_ == HttpPhase::kConnecting) {
      WriteRequest();
      return;
    }
    if (phase_ == HttpPhase::kReading) Read();
  }

  void WriteRequest() {
    const std::vector<std::uint8_t> request =
        MakeHttpGet(kPlayersPath, HostHeader(SplitHost(address_), sendaddr));
    // The request is small enough for any socket's send buffer: a short
    // write is a broken connection.
    if (platform::Send(stream_, request) != static_cast<int>(request.size())) {
      AttemptFailed();
      return;
    }
    received_.clear();
    phase_ = HttpPhase::kReading;
  }

  void Read() {
    const std::size_t had = received_.size();
    // One byte beyond the bound shows a reply that is too long.
    const std::size_t room = std::min(kReadChunk, kMaxHttpReplyBytes + 1 - had);
    received_.resize(had + room);
    const int got = platform::Receive(stream_, std::span(received_).subspan(had, room));
    received_.resize(had + static_cast<std::size_t>(std::max(got, 0)));
    // An error ends the reply as a close does: what came may be whole.
    const HttpReply reply = ReadHttpReply(received_, got <= 0);
    switch (reply.state) {
      case HttpState::kComplete:
        TakeReply(reply);
        return;
      case HttpState::kInvalid:
        AttemptFailed();
        return;
      case HttpState::kIncomplete:
        return;
    }
  }

  void TakeReply(const HttpReply& reply) {
    CloseStream();
    phase_ = HttpPhase::kIdle;
    received_.clear();
    received_.shrink_to_fit();
    const bool ok = reply.status >= 200 && reply.status < 300;
    auto players = ok ? ParseFivemPlayersJson(reply.body) : std::nullopt;
    if (!players) {
      list_ = ListOutcome::kHidden;
      return;
    }
    players_ = std::move(*players);
    list_ = ListOutcome::kList;
  }

  void AttemptFailed() {
    CloseStream();
    phase_ = HttpPhase::kIdle;
    received_.clear();
    received_.shrink_to_fit();
    if (!connect_started_ || !RepeatTime(request_, *connect_started_, connect_repeats_)) {
      list_ = ListOutcome::kFailed;
    }
  }

  void EndIfAnswered() {
    if (done_ || !info_) return;
    if (list_ != ListOutcome::kPending) Write();
  }

  void Write() {
    if (!info_ && list_ != ListOutcome::kList) {
      AppendOffline();
      End();
      return;
    }
    if (info_) TakeFivemInfo(*info_, item_.values);
    const std::uint32_t count =
        info_ ? info_->clients
              : static_cast<std::uint32_t>(std::min<std::size_t>(
                    players_.size(), std::numeric_limits<std::uint32_t>::max()));
    AppendHeaderIfAny(item_, count);
    if (list_ != ListOutcome::kList || (players_.empty() && count > 0)) {
      AppendNamesHidden(item_);
    } else if (players_.empty()) {
      output_.AppendNoPlayers();
    } else {
      AppendPlayerLines(item_, players_, [this](const FivemPlayer& player) {
        return FillPlayerLine(request_.Format, player.name, {}, player.ping, TextCoding::kUtf8);
      });
    }
    End();
  }

  void End() {
    CloseStream();
    info_due_.reset();
    connect_due_.reset();
    phase_ = HttpPhase::kIdle;
    Finish();
  }

  QueryPace& pace_;
  std::vector<std::uint8_t>& FBuf;
  const std::string challenge_;
  const std::vector<std::uint8_t> query_;
  std::optional<std::int64_t> started_;
  std::optional<std::int64_t> deadline_;

  // The getinfo half, on FSock.
  std::optional<std::int64_t> info_due_;
  std::optional<std::int64_t> info_started_;
  int info_repeats_ = 0;
  std::optional<FivemInfo> info_;

  // The HTTP half, on its own stream socket.
  platform::Socket stream_ = platform::kInvalidSocket;
  HttpPhase phase_ = HttpPhase::kIdle;
  std::optional<std::int64_t> connect_due_;
  std::optional<std::int64_t> connect_started_;
  int connect_repeats_ = 0;
  std::vector<std::uint8_t> received_;
  ListOutcome list_ = ListOutcome::kPending;
  std::vector<FivemPlayer> players_;
};

}  // namespace

std::unique_ptr<AddressExchange> MakeFivemPlayersExchange(const ScanRequest& request,
                                                          std::u16string address,
                                                          std::int32_t index, QueryPace& pace,
                                                          std::vector<std::uint8_t>& buffer) {
  return std::make_unique<FivemPlayersExchange>(request, std::move(address), index, pace, buffer);
}

}  // namespace morvane
