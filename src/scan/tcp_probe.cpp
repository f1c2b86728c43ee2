// The TCP port probe: can a connection to the item's host and port be opened
// within the request's time-out? Nothing is sent or read over it.
#include "platform/platform.h"
#include "scan/game_scan.h"

namespace morvane {

TGameScan::Outcome TGameScan::ProbeTcp(AddressItem& item) {
  const ScanRequest& request = item.request;
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
