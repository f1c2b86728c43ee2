// The TCP port probe: can a connection to the item's host and port be opened
// within the request's time-out? Nothing is sent or read over it. A refused
// connection is never "connected" (Winsock reports it only as failed), so its
// item waits out the time-out and then writes the offline text, as a port
// that never answers does.
#include "scan/address_exchange.h"

namespace morvane {
namespace {

class TcpProbe final : public AddressExchange {
 public:
  using AddressExchange::AddressExchange;

  bool Open(std::int64_t now, std::optional<std::int64_t> clock_start) override {
    FSock = platform::OpenSocket(platform::SocketType::kTcp);
    if (FSock != platform::kInvalidSocket && !platform::SetNonBlocking(FSock)) {
      platform::CloseSocket(FSock);
      FSock = platform::kInvalidSocket;
    }
    if (FSock == platform::kInvalidSocket) return false;
    clock_start_ = clock_start;
    send_due_ = now;
    return true;
  }

  // The connect is the probe's one paced send.
  void Send(std::int64_t now) override {
    send_due_.reset();
    // A connect refused at once (no route, no local port left) is offline,
    // as one that never completes is.
    if (platform::Connect(FSock, sendaddr) == platform::ConnectResult::kFailed) {
      EndWith(false);
      return;
    }
    // A negative time-out is refused by the wait, as select refuses it:
    // nothing is written.
    if (request_.TimeOut < 0) {
      Finish();
      return;
    }
    // A time-out of 0 is a single poll: a connection not made at once is
    // offline.
    if (request_.TimeOut == 0) {
      platform::SocketWait poll{FSock, true};
      const platform::WaitResult result = platform::WaitForSockets({&poll, 1}, 0);
      if (result == platform::WaitResult::kError) {
        EndWith(false);
        return;
      }
      EndWith(poll.state == platform::SocketState::kReady);
      return;
    }
    // The TimeOut runs from the start of the item's name lookup, if it had
    // one.
    deadline_ = DeadlineAfter(request_, clock_start_.value_or(now));
    waiting_ = true;
  }

  std::optional<platform::SocketWait> Wait() const override {
    if (!waiting_) return std::nullopt;
    return platform::SocketWait{FSock, true};
  }

  void OnSocket(platform::SocketState state, std::int64_t) override {
    if (state == platform::SocketState::kReady) {
      EndWith(true);
      return;
    }
    // Refused: the wait runs its full course, the socket no longer in it.
    waiting_ = false;
  }

  void OnWaitError() override { EndWith(false); }

  std::optional<std::int64_t> NextTime() const override { return deadline_; }

  void OnTime(std::int64_t now) override {
    if (deadline_ && now >= *deadline_) EndWith(false);
  }

 private:
  void EndWith(bool connected) {
    if (connected) {
      output_.AppendPiece(FillAddress(request_.Format, address_));
    } else {
      AppendOffline();
    }
    Finish();
  }

  std::optional<std::int64_t> deadline_;
  bool waiting_ = false;
};

}  // namespace

std::unique_ptr<AddressExchange> MakeTcpProbe(const ScanRequest& request, std::u16string address,
                                          std::int32_t index) {
  return std::make_unique<TcpProbe>(request, std::move(address), index);
}

}  // namespace morvane
