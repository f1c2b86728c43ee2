// One address item of a request in flight: its own socket, its own reply
// text, and the state of its exchange with the server. The worker runs the
// items of a request side by side (scan/scan_round.h); each item tells the
// round what it waits for, and when.
//
// Times are milliseconds of the steady clock (MonotonicMs). An item never
// sends on its own: it says that a datagram (or a connect) is due, and the
// engine (scan/scan_engine.h), which paces every send of the worker, lets it
// send.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "scan/query_pace.h"
#include "scan/reply_handler.h"
#include "scan/reply_templates.h"
#include "scan/scan_item.h"

namespace morvane {

std::int64_t MonotonicMs();
// The same clock in microseconds, for the pace of sends.
std::int64_t MonotonicUs();

// The time at which a wait of the request's TimeOut from `from` runs out:
// none for 0, and a negative one counts as Winsock's DWORD, about 49 days.
std::optional<std::int64_t> DeadlineAfter(const ScanRequest& request, std::int64_t from);

// When a query that got no usable reply goes out again: a step begun at
// `started`, which has sent `sent` repeats so far, sends its next at a third
// and at two thirds of TimeOut (every second when TimeOut is 0), at most
// Retries of them; none when they are used up.
std::optional<std::int64_t> RepeatTime(const ScanRequest& request, std::int64_t started, int sent);

// The earlier of two times an item looks at the clock, either of which may be
// none.
inline std::optional<std::int64_t> EarlierOf(std::optional<std::int64_t> a,
                                             std::optional<std::int64_t> b) {
  if (!a) return b;
  if (!b) return a;
  return *a < *b ? a : b;
}

class AddressExchange {
 public:
  // address is the trimmed item as typed ("%addr%"), index its 1-based place
  // in the request.
  AddressExchange(const ScanRequest& request, std::u16string address, std::int32_t index);
  virtual ~AddressExchange();
  AddressExchange(const AddressExchange&) = delete;
  AddressExchange& operator=(const AddressExchange&) = delete;

  // The resolved address and port, set before Open.
  void SetTarget(const platform::SocketAddress& target) { sendaddr = target; }
  // Opens the socket and makes the first send due. False when no socket can
  // be had (the descriptors are used up): the item is not done, and the
  // round lets it try again or ends it offline. clock_start is when the
  // item's TimeOut began, when that was before its first send (the start of
  // its name lookup); otherwise the TimeOut runs from the first send.
  virtual bool Open(std::int64_t now, std::optional<std::int64_t> clock_start) = 0;
  // The time of the send that is due, if one is.
  virtual std::optional<std::int64_t> SendDue() const { return send_due_; }
  // The round lets the due send go out now.
  virtual void Send(std::int64_t now) = 0;
  // The socket to wait on, if the item waits on one now.
  virtual std::optional<platform::SocketWait> Wait() const = 0;
  // What the wait found for this item's socket.
  virtual void OnSocket(platform::SocketState state, std::int64_t now) = 0;
  // An item that waits on more than one socket at once adds each of them,
  // and learns which one the wait found; an item of one socket adds its
  // Wait().
  virtual void AddWaits(std::vector<platform::SocketWait>& waits) const {
    if (const auto wait = Wait()) waits.push_back(*wait);
  }
  virtual void OnSocketOf(platform::Socket, platform::SocketState state, std::int64_t now) {
    OnSocket(state, now);
  }
  // The wait itself failed: the item ends as its own wait failing would end
  // it.
  virtual void OnWaitError() = 0;
  // The next time the item must look at the clock (a retry, its deadline),
  // if any; and the look itself.
  virtual std::optional<std::int64_t> NextTime() const = 0;
  virtual void OnTime(std::int64_t now) = 0;
  // The item ends with the offline text: its name was not resolved in time,
  // or it could not get a socket.
  void EndOffline();

  bool Done() const { return done_; }
  // The trimmed item as typed.
  const std::u16string& Address() const { return address_; }
  // What the item adds to the request's reply, in its own ReplyText.
  const ReplyText& Output() const { return output_; }

 protected:
  void Finish();  // closes the socket; the item is done
  void AppendOffline();

  const ScanRequest& request_;
  std::u16string address_;
  ReplyText output_;
  AddressItem item_;
  platform::Socket FSock = platform::kInvalidSocket;
  platform::SocketAddress sendaddr;
  std::optional<std::int64_t> clock_start_;
  std::optional<std::int64_t> send_due_;
  bool done_ = false;
};

// The UDP exchange of a game server: the kind's handler says what to send
// and what each datagram was. buffer is the worker's receive buffer (FBuf),
// which the items of a round take turns with. With a pace, every query
// waits for it, and a repeat that it would hold until the step's deadline
// is not sent.
std::unique_ptr<AddressExchange> MakeUdpExchange(const ScanRequest& request, std::u16string address,
                                                 std::int32_t index,
                                                 std::unique_ptr<ReplyHandler> handler,
                                                 std::vector<std::uint8_t>& buffer,
                                                 QueryPace* pace = nullptr);

// The player list of a FiveM or RedM server: getinfo over UDP (paced) for
// the count, and beside it HTTP GET /players.json over TCP for the names.
std::unique_ptr<AddressExchange> MakeFivemPlayersExchange(const ScanRequest& request,
                                                          std::u16string address,
                                                          std::int32_t index, QueryPace& pace,
                                                          std::vector<std::uint8_t>& buffer);

// The Minecraft Java status exchange over TCP; its repeats send the legacy
// ping.
std::unique_ptr<AddressExchange> MakeMinecraftExchange(const ScanRequest& request,
                                                       std::u16string address, std::int32_t index);

// The TCP port probe: can a connection be opened within TimeOut?
std::unique_ptr<AddressExchange> MakeTcpProbe(const ScanRequest& request, std::u16string address,
                                          std::int32_t index);

}  // namespace morvane
