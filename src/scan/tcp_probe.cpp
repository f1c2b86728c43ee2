// The TCP port probe: can a connection to the item's host and port be opened
// within the request's time-out? Nothing is sent or read over it.
#include <algorithm>
#include <chrono>

#include "platform/platform.h"
#include "scan/game_scan.h"

namespace morvane {
namespace {

constexpr std::int32_t kWaitSliceMs = 50;

std::int64_t NowMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

}  // namespace

TGameScan::Wait TGameScan::WaitForConnection(std::int32_t timeout_ms) {
  // Zero is a single poll, and a negative time-out is refused as select
  // refuses it: neither is cut into slices.
  if (timeout_ms <= 0) {
    switch (platform::WaitWritable(FSock, timeout_ms)) {
      case platform::WaitResult::kReady:
        return Wait::kReady;
      case platform::WaitResult::kTimedOut:
        return Wait::kTimedOut;
      case platform::WaitResult::kError:
        return Wait::kError;
    }
  }
  const std::int64_t deadline = NowMs() + timeout_ms;
  for (;;) {
    if (Terminated()) return Wait::kStopped;
    const std::int64_t left = deadline - NowMs();
    if (left <= 0) return Wait::kTimedOut;
    const auto slice = static_cast<std::int32_t>(std::min<std::int64_t>(left, kWaitSliceMs));
    // A refused connection never becomes writable: its wait runs out.
    switch (platform::WaitWritable(FSock, slice)) {
      case platform::WaitResult::kReady:
        return Wait::kReady;
      case platform::WaitResult::kError:
        return Wait::kError;
      case platform::WaitResult::kTimedOut:
        break;
    }
  }
}

TGameScan::Outcome TGameScan::ProbeTcp(AddressItem& item) {
  const TScanItem& request = item.request;
  FSock = platform::OpenSocket(platform::SocketType::kTcp);
  if (FSock == platform::kInvalidSocket) return Outcome::kDone;
  if (!platform::SetNonBlocking(FSock) ||
      platform::Connect(FSock, sendaddr) == platform::ConnectResult::kFailed) {
    CloseSocket();
    return Outcome::kDone;
  }
  const Wait wait = WaitForConnection(request.TimeOut);
  CloseSocket();
  switch (wait) {
    case Wait::kReady:
      item.output.AppendPiece(FillAddress(request.Format, item.address));
      return Outcome::kDone;
    case Wait::kTimedOut:
      item.output.AppendPiece(FillAddress(request.OffFormat, item.address));
      return Outcome::kDone;
    case Wait::kError:
      return Outcome::kDone;
    case Wait::kStopped:
      return Outcome::kStopped;
  }
  return Outcome::kDone;
}

}  // namespace morvane
