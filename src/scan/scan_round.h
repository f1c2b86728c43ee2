// The address items of one request in service. A dotted address goes
// straight to its exchange; a name is looked up first, on a thread of its
// own, each distinct name once per request (a Minecraft Java address without
// a port through the host's service record first), and the item's TimeOut
// covers the lookup, so a resolver that hangs costs its item one TimeOut and
// never holds the others or a stop. Each item in its exchange has its own
// socket (a FiveM player list two). Items take places in flight in address
// order as the engine (scan/scan_engine.h) grants them; each writes its own
// part of the reply, and the parts are joined in address order, as if the
// items had been served in turn; every item is accounted for, offline when
// it could not even get a socket.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "platform/platform.h"
#include "scan/address_exchange.h"
#include "scan/query_pace.h"
#include "scan/reply_handler.h"
#include "scan/reply_templates.h"
#include "scan/scan_item.h"

namespace morvane {

using ReplyHandlerFactory = std::function<std::unique_ptr<ReplyHandler>(std::uint8_t game)>;

// What every request in service shares with the others: the worker's
// receive buffer (FBuf), its handlers, its pace of the queries servers count
// per address (FiveM's getinfo), the event the name lookups signal, and the
// count of sockets freed since an item last found none.
struct RoundShared {
  std::vector<std::uint8_t>& buffer;
  const ReplyHandlerFactory& make_handler;
  QueryPace& pace;
  std::shared_ptr<platform::AutoResetEvent> lookup_done =
      std::make_shared<platform::AutoResetEvent>();
  std::size_t sockets_freed = 0;
};

// The engine's view of the waits of the rounds in service: the sockets to
// wait on (and whose each is), when the wait must end at the latest
// (milliseconds), the earliest send that is due, and whether a name is being
// looked up.
struct WaitPlan {
  std::vector<platform::SocketWait> waits;
  std::vector<AddressExchange*> waiting;
  std::int64_t wake = 0;
  std::optional<std::int64_t> send_due;
  bool resolving = false;
};

class ScanRound {
 public:
  ScanRound(ScanRequest request, RoundShared& shared);
  ~ScanRound();
  ScanRound(const ScanRound&) = delete;
  ScanRound& operator=(const ScanRound&) = delete;

  const ScanRequest& Request() const { return request_; }
  // Items holding a place in flight (resolving, exchanging or waiting for a
  // socket).
  std::size_t Held() const { return active_.size(); }
  bool WantsPlace() const;
  // An item waits for a socket: the descriptors are used up, and no new
  // item of any request may start.
  bool ShortOfSockets() const;
  // Some item holds a place and is not waiting for a socket.
  bool HasItemThatCanEnd() const;
  bool Done() const;

  // The next item in address order takes a place (or ends at once, when it
  // names no host). False when no item was left.
  bool TakePlace(std::int64_t now);
  // Starts the lookups that wait for one and moves each resolving item on
  // once its name has an answer or its TimeOut has run out.
  void LookAtNames(std::int64_t now);
  // The items without a socket try once more (see the .cpp).
  void RetryWithoutSocket(std::int64_t now, bool others_left);
  // The item in flight whose send is due earliest at now, if any (address
  // order breaks ties).
  AddressExchange* DueSender(std::int64_t now) const;
  void OnTime(std::int64_t now);
  // Lets the items that ended give their places back.
  void LetEndedGo();
  void PlanWait(std::int64_t now, WaitPlan& plan) const;
  // The items' texts, in address order.
  void Collect(ReplyText& output) const;

 private:
  struct Item;
  struct Name;

  std::unique_ptr<AddressExchange> MakeExchange(std::u16string address, std::int32_t index);
  void AimAndOpen(Item& item, std::uint32_t address_be, std::uint16_t record_port, std::int64_t now,
                  std::optional<std::int64_t> clock_start);
  void OpenSocket(Item& item, std::int64_t now, std::optional<std::int64_t> clock_start);
  std::size_t NameOf(platform::LookupQuery query);

  const ScanRequest request_;
  RoundShared& shared_;
  std::vector<Item> items_;  // in address order
  std::vector<Name> names_;
  std::vector<Item*> active_;  // the items that hold a place in flight
  std::size_t next_item_ = 0;
};

}  // namespace morvane
