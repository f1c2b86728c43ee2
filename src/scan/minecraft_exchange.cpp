// The Minecraft Java exchange of one address item, over TCP. An attempt
// connects, sends its request in one write and reads until the reply is
// whole, the server closes, or the reply turns out to be no usable answer.
// The first attempt is the status exchange. An attempt that fails leaves the
// item waiting for its repeat (at a third and at two thirds of TimeOut, at
// most Retries of them), which connects afresh and sends the legacy ping, so
// that servers older than 1.7 answer too; a further repeat tries the status
// exchange again. The item gives up TimeOut after its first connect, however
// many attempts went out. Each connect is a paced send of the worker.
#include <algorithm>

#include "common/text.h"
#include "games/minecraft_java.h"
#include "scan/address_exchange.h"
#include "scan/player_list.h"

namespace morvane {
namespace {

// Read in pieces of this size; the reply as a whole is bounded by
// kMaxJavaStatusBytes.
constexpr std::size_t kReadChunk = 16 * 1024;

constexpr char kMinecraftMod[] = "Minecraft";

enum class Phase {
  kIdle,        // no attempt runs: before the first, or after one failed
  kConnecting,  // the connect is under way
  kReading,     // the request is sent; the reply is read
};

class MinecraftExchange final : public AddressExchange {
 public:
  using AddressExchange::AddressExchange;

  bool Open(std::int64_t now, std::optional<std::int64_t> clock_start) override {
    if (!OpenStream()) return false;
    clock_start_ = clock_start;
    send_due_ = now;
    return true;
  }

  // The connect of an attempt is its paced send.
  void Send(std::int64_t now) override {
    send_due_.reset();
    if (!started_) {
      started_ = now;
      // The TimeOut runs from the start of the item's name lookup, if it had
      // one.
      deadline_ = DeadlineAfter(request_, clock_start_.value_or(now));
    }
    if (FSock == platform::kInvalidSocket && !OpenStream()) {
      AttemptFailed();
      return;
    }
    switch (platform::Connect(FSock, sendaddr)) {
      case platform::ConnectResult::kFailed:
        AttemptFailed();
        return;
      case platform::ConnectResult::kConnected:
        WriteRequest(now);
        return;
      case platform::ConnectResult::kWouldBlock:
        phase_ = Phase::kConnecting;
        return;
    }
  }

  std::optional<platform::SocketWait> Wait() const override {
    if (phase_ == Phase::kIdle) return std::nullopt;
    return platform::SocketWait{FSock, phase_ == Phase::kConnecting};
  }

  void OnSocket(platform::SocketState state, std::int64_t now) override {
    if (state == platform::SocketState::kFailed) {
      AttemptFailed();
      return;
    }
    if (phase_ == Phase::kConnecting) {
      WriteRequest(now);
      return;
    }
    if (phase_ == Phase::kReading) Read(now);
  }

  void OnWaitError() override {
    AppendOffline();
    Finish();
  }

  std::optional<std::int64_t> NextTime() const override {
    return EarlierOf(NextRepeat(), deadline_);
  }

  void OnTime(std::int64_t now) override {
    if (!started_) return;
    if (deadline_ && now >= *deadline_) {
      AppendOffline();
      Finish();
      return;
    }
    const std::optional<std::int64_t> repeat = NextRepeat();
    if (repeat && now >= *repeat && !send_due_) {
      ++repeats_sent_;
      send_due_ = now;
    }
  }

 private:
  bool OpenStream() {
    FSock = platform::OpenSocket(platform::SocketType::kTcp);
    if (FSock != platform::kInvalidSocket && !platform::SetNonBlocking(FSock)) {
      platform::CloseSocket(FSock);
      FSock = platform::kInvalidSocket;
    }
    return FSock != platform::kInvalidSocket;
  }

  // A repeat is due only once the attempt before it has failed: an attempt
  // that still reads may yet be answered.
  std::optional<std::int64_t> NextRepeat() const {
    if (!started_ || phase_ != Phase::kIdle || send_due_) return std::nullopt;
    return RepeatTime(request_, *started_, repeats_sent_);
  }

  // The legacy ping on every repeat of the first kind (the first, the
  // third...), the status exchange otherwise.
  bool Legacy() const { return repeats_sent_ % 2 == 1; }

  void WriteRequest(std::int64_t now) {
    // Proxies route by the host name of the handshake: the host as the user
    // gave it, in small letters like the rest of the command.
    const std::string host = Utf16ToUtf8(LowerAsciiLetters(SplitHost(address_)));
    const std::uint16_t port = platform::NetworkToHost16(sendaddr.port_be);
    const std::vector<std::uint8_t> request =
        Legacy() ? MakeLegacyPing(host, port) : MakeJavaStatusRequest(host, port);
    // The request is small enough for any socket's send buffer: a short
    // write is a broken connection.
    if (platform::Send(FSock, request) != static_cast<int>(request.size())) {
      AttemptFailed();
      return;
    }
    received_.clear();
    sent_at_ = now;
    first_byte_at_.reset();
    phase_ = Phase::kReading;
  }

  void Read(std::int64_t now) {
    const std::size_t had = received_.size();
    const std::size_t room = std::min(kReadChunk, kMaxJavaStatusBytes - had);
    received_.resize(had + room);
    const int got = platform::Receive(FSock, std::span(received_).subspan(had, room));
    received_.resize(had + static_cast<std::size_t>(std::max(got, 0)));
    if (got > 0 && !first_byte_at_) first_byte_at_ = now;
    const FrameState state = Legacy() ? TakeLegacyKick() : TakeStatus();
    if (state == FrameState::kComplete) return;
    // A reply cut short by a close or an error, one that is no answer, or
    // one that has grown to the bound without ending.
    if (state == FrameState::kInvalid || got <= 0 || received_.size() >= kMaxJavaStatusBytes) {
      AttemptFailed();
    }
  }

  FrameState TakeStatus() {
    const JavaStatusFrame frame = ReadJavaStatusFrame(received_);
    if (frame.state != FrameState::kComplete) return frame.state;
    const std::optional<MinecraftStatus> status = ParseJavaStatusJson(frame.json);
    if (!status) return FrameState::kInvalid;
    Answer(*status);
    return FrameState::kComplete;
  }

  FrameState TakeLegacyKick() {
    const LegacyKick kick = ReadLegacyKick(received_);
    if (kick.state == FrameState::kComplete) Answer(kick.status);
    return kick.state;
  }

  // A message of the day is laid out for the game's screen, centred with
  // blanks over two lines: each text goes into the reply as one line.
  void Answer(const MinecraftStatus& status) {
    ServerValues& values = item_.values;
    values.name = CollapseWhitespace(status.motd);
    values.map = CollapseWhitespace(status.version);
    values.mod = kMinecraftMod;
    values.coding = TextCoding::kUtf8;
    values.players = status.online;
    values.max_players = status.max_players;
    values.password = false;
    values.ping_ms = first_byte_at_.value_or(sent_at_) - sent_at_;
    if (request_.Players) {
      AppendPlayers(status);
    } else {
      output_.AppendPiece(FillSummary(request_.Format, address_, values));
    }
    Finish();
  }

  // The header counts the players online; the lines are the names of the
  // server's sample, which most servers cut at 12.
  void AppendPlayers(const MinecraftStatus& status) {
    AppendHeaderIfAny(item_, status.online);
    // Servers put lines of text in the sample while nobody plays.
    if (status.online == 0) {
      output_.AppendNoPlayers();
      return;
    }
    if (status.sample.empty()) {
      AppendNamesHidden(item_);
      return;
    }
    AppendPlayerLines(
        item_, status.sample,
        [this](const std::string& name) {
          return FillPlayerLine(request_.Format, name, {}, {}, TextCoding::kUtf8);
        },
        status.online);
  }

  void AttemptFailed() {
    if (FSock != platform::kInvalidSocket) platform::CloseSocket(FSock);
    FSock = platform::kInvalidSocket;
    phase_ = Phase::kIdle;
    received_.clear();
    received_.shrink_to_fit();
  }

  Phase phase_ = Phase::kIdle;
  std::optional<std::int64_t> started_;
  std::optional<std::int64_t> deadline_;
  int repeats_sent_ = 0;
  std::int64_t sent_at_ = 0;
  std::optional<std::int64_t> first_byte_at_;
  std::vector<std::uint8_t> received_;
};

}  // namespace

std::unique_ptr<AddressExchange> MakeMinecraftExchange(const ScanRequest& request,
                                                       std::u16string address, std::int32_t index) {
  return std::make_unique<MinecraftExchange>(request, std::move(address), index);
}

}  // namespace morvane
