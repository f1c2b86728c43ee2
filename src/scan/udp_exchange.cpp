// The UDP exchange of one address item. It runs in steps: the first query,
// and each query that answers a challenge. A step whose query gets no usable
// reply sends it again at a third and at two thirds of TimeOut after the
// step began (every second when TimeOut is 0), at most Retries times; the
// item gives up TimeOut after its last step began, however many repeats went
// out, so a dead server costs one TimeOut and gets 1 + Retries datagrams.
#include "scan/address_exchange.h"

namespace morvane {
namespace {

// After the reply, at most this many waiting datagrams are received and
// dropped: a server that floods cannot hold the worker.
constexpr int kMaxDrainedDatagrams = 32;
// A server that answers a challenge with another challenge gets at most this
// many further query datagrams per address item.
constexpr int kMaxFurtherQueries = 2;

class UdpExchange final : public AddressExchange {
 public:
  UdpExchange(const ScanRequest& request, std::u16string address, std::int32_t index,
              std::unique_ptr<ReplyHandler> handler, std::vector<std::uint8_t>& buffer,
              QueryPace* pace)
      : AddressExchange(request, std::move(address), index),
        handler_(std::move(handler)),
        FBuf(buffer),
        pace_(pace) {}

  bool Open(std::int64_t now, std::optional<std::int64_t> clock_start) override {
    FSock = platform::OpenSocket(platform::SocketType::kUdp);
    if (FSock == platform::kInvalidSocket) return false;
    clock_start_ = clock_start;
    platform::SetReceiveTimeout(FSock, request_.TimeOut);
    platform::SetSendTimeout(FSock, request_.TimeOut);
    BeginStep(handler_->FirstQuery(request_), now);
    return true;
  }

  std::optional<std::int64_t> SendDue() const override {
    if (!send_due_ || pace_ == nullptr) return send_due_;
    const std::int64_t at = pace_->EarliestSend(sendaddr, *send_due_);
    // A repeat that the pace holds until the step's end would come too
    // late to count.
    if (deadline_ && at >= *deadline_) return std::nullopt;
    return at;
  }

  void Send(std::int64_t now) override {
    send_due_.reset();
    const bool repeat = step_started_.has_value();
    std::span<const std::uint8_t> datagram = query_;
    if (repeat) {
      const auto other = handler_->RepeatQuery();
      if (!other.empty()) datagram = other;
    }
    if (platform::SendTo(FSock, datagram, sendaddr) == -1) {
      // A query that cannot be sent ends the item offline, as no answer
      // would; a repeat that cannot leaves the step to run out.
      if (!repeat) EndOffline();
      return;
    }
    // The pace counts the time the datagram left, which is no earlier than
    // the engine's now.
    if (pace_ != nullptr) pace_->Record(sendaddr, MonotonicMs());
    last_sent_ = now;
    if (repeat) return;
    step_started_ = now;
    // The first step's TimeOut runs from the start of the item's name
    // lookup, if it had one; a challenge's step from its own query.
    const bool first_step = further_queries_ == 0;
    deadline_ = DeadlineAfter(request_, first_step && clock_start_ ? *clock_start_ : now);
  }

  std::optional<platform::SocketWait> Wait() const override {
    if (!step_started_) return std::nullopt;
    return platform::SocketWait{FSock, false};
  }

  void OnSocket(platform::SocketState, std::int64_t) override {
    const int received = platform::ReceiveFrom(FSock, FBuf, clientaddr);
    const std::int64_t arrived = MonotonicMs();
    // A receive that fails ends the item, as the end of its wait does.
    if (received < 0) {
      AppendOffline();
      Finish();
      return;
    }
    // Only the target's own address and port is heard.
    if (clientaddr.address_be != sendaddr.address_be || clientaddr.port_be != sendaddr.port_be) {
      return;
    }
    const auto datagram =
        std::span<const std::uint8_t>(FBuf.data(), static_cast<std::size_t>(received));
    switch (handler_->OnDatagram(datagram, item_)) {
      case Verdict::kAnswered:
        item_.values.ping_ms = arrived - last_sent_;
        // The summary is written right after the datagram that answered.
        if (!request_.Players)
          output_.AppendPiece(FillSummary(request_.Format, address_, item_.values));
        Drain();
        Finish();
        return;
      case Verdict::kQueryAgain:
        if (further_queries_ >= kMaxFurtherQueries) return;
        ++further_queries_;
        BeginStep(handler_->NextQuery(), arrived);
        return;
      case Verdict::kIgnored:
        return;
    }
  }

  void OnWaitError() override {
    AppendOffline();
    Finish();
  }

  std::optional<std::int64_t> NextTime() const override {
    if (!step_started_) return std::nullopt;
    return EarlierOf(NextRetry(), deadline_);
  }

  void OnTime(std::int64_t now) override {
    if (!step_started_) return;
    if (deadline_ && now >= *deadline_) {
      AppendOffline();
      Finish();
      return;
    }
    const std::optional<std::int64_t> retry = NextRetry();
    if (retry && now >= *retry && !send_due_) {
      ++retries_sent_;
      send_due_ = now;
    }
  }

 private:
  // A new step: its query is due now, and its clock starts when it is sent.
  void BeginStep(std::span<const std::uint8_t> query, std::int64_t now) {
    query_.assign(query.begin(), query.end());
    step_started_.reset();
    deadline_.reset();
    retries_sent_ = 0;
    send_due_ = now;
  }

  // When this step's next repeat is due, if any is left.
  std::optional<std::int64_t> NextRetry() const {
    if (!step_started_) return std::nullopt;
    return RepeatTime(request_, *step_started_, retries_sent_);
  }

  // Datagrams already waiting once the reply is taken are received and
  // dropped.
  void Drain() {
    for (int drained = 0; drained < kMaxDrainedDatagrams && platform::BytesWaiting(FSock) > 0;
         ++drained) {
      if (platform::ReceiveFrom(FSock, FBuf, clientaddr) < 0) return;
    }
  }

  std::unique_ptr<ReplyHandler> handler_;
  std::vector<std::uint8_t>& FBuf;
  QueryPace* const pace_;
  platform::SocketAddress clientaddr;
  std::vector<std::uint8_t> query_;  // this step's query, sent again on a repeat
  std::optional<std::int64_t> step_started_;
  std::optional<std::int64_t> deadline_;
  std::int64_t last_sent_ = 0;
  int retries_sent_ = 0;
  int further_queries_ = 0;
};

}  // namespace

std::unique_ptr<AddressExchange> MakeUdpExchange(const ScanRequest& request, std::u16string address,
                                                 std::int32_t index,
                                                 std::unique_ptr<ReplyHandler> handler,
                                                 std::vector<std::uint8_t>& buffer,
                                                 QueryPace* pace) {
  return std::make_unique<UdpExchange>(request, std::move(address), index, std::move(handler),
                                       buffer, pace);
}

}  // namespace morvane
