#include "scan/scan_round.h"

#include <algorithm>
#include <chrono>
#include <optional>

#include "platform/platform.h"
#include "scan/address_item.h"
#include "scan/address_exchange.h"

namespace morvane {
namespace {

// How long one wait may run before the stop request is looked at again.
constexpr std::int64_t kWaitSliceMs = 50;
// How often a wait on sockets looks at the name lookups under way, whose
// answers no socket announces.
constexpr std::int64_t kLookupSliceMs = 5;
// The least time between two sends of a request, in microseconds.
constexpr std::int64_t kSendSpacingUs = 1000;

std::int64_t MonotonicUs() {
  return std::chrono::duration_cast<std::chrono::microseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

// One name of the request, looked up once for every item that names it
// alike (with or without the service record).
struct NameEntry {
  platform::LookupQuery query;
  platform::NameLookup lookup;
};

// Minecraft Java servers publish where they run as a service record: an
// address that names no port is looked up there first.
constexpr std::u16string_view kMinecraftService = u"_minecraft._tcp.";

// Where an address item is in the round.
enum class Stage {
  kQueued,     // waiting for a place in flight
  kResolving,  // its name is looked up; its TimeOut runs
  kNoSocket,   // no socket could be had: it tries once more when another item ends
  kInFlight,   // its exchange runs
  kDone,
};

struct RoundItem {
  std::unique_ptr<AddressExchange> scan;
  Stage stage = Stage::kQueued;
  std::size_t name = 0;  // its entry in the names, while resolving
  // When its name lookup began: its TimeOut runs from there. None for a
  // dotted address, whose TimeOut runs from its first send.
  std::optional<std::int64_t> lookup_began;
};

class Round {
 public:
  Round(const ScanRequest& request, std::vector<std::uint8_t>& buffer,
        const ReplyHandlerFactory& make_handler, const std::atomic<bool>& terminated,
        QueryPace& pace)
      : request_(request),
        buffer_(buffer),
        make_handler_(make_handler),
        terminated_(terminated),
        pace_(pace),
        parallel_(static_cast<std::size_t>(std::clamp(request.Parallel, 1, kMaxParallel))) {}

  RoundOutcome Run(ReplyText& output) {
    std::int32_t index = 0;
    for (std::u16string& address : SplitAddressItems(request_.Addr)) {
      RoundItem item;
      item.scan = MakeExchange(std::move(address), ++index);
      items_.push_back(std::move(item));
    }
    for (;;) {
      if (Stopped()) return RoundOutcome::kStopped;
      std::int64_t now = MonotonicMs();
      // What the wait ended is let go first: a socket it freed is counted
      // before any item may take it.
      LetEndedGo();
      TakePlaces(now);
      LookAtNames(now);
      RetryWithoutSocket(now);
      SendOne(now);
      for (RoundItem* item : active_) {
        if (item->stage == Stage::kInFlight) item->scan->OnTime(now);
      }
      LetEndedGo();
      if (active_.empty() && next_item_ == items_.size()) break;
      if (active_.empty()) continue;
      Wait(now);
    }
    for (const RoundItem& item : items_) output.Append(item.scan->Output());
    return RoundOutcome::kDone;
  }

 private:
  bool Stopped() const { return terminated_.load(std::memory_order_acquire); }

  std::unique_ptr<AddressExchange> MakeExchange(std::u16string address, std::int32_t index) {
    if (request_.TCP) return MakeTcpProbe(request_, std::move(address), index);
    if (request_.Game == kGameMinecraft) {
      return MakeMinecraftExchange(request_, std::move(address), index);
    }
    if (request_.Game == kGameFivem && request_.Players) {
      return MakeFivemPlayersExchange(request_, std::move(address), index, pace_, buffer_);
    }
    // A FiveM server counts its getinfo queries per address.
    return MakeUdpExchange(request_, std::move(address), index, make_handler_(request_.Game),
                           buffer_, request_.Game == kGameFivem ? &pace_ : nullptr);
  }

  // Items take their places in address order as places come free. A dotted
  // address goes straight to its exchange; a name is looked up first, and
  // an item whose host is empty has none and writes nothing. While an item
  // waits for a socket, the descriptors are used up: no new item starts.
  void TakePlaces(std::int64_t now) {
    const bool short_of_sockets = std::any_of(active_.begin(), active_.end(), [](RoundItem* item) {
      return item->stage == Stage::kNoSocket;
    });
    if (short_of_sockets) return;
    while (active_.size() < parallel_ && next_item_ < items_.size()) {
      RoundItem& item = items_[next_item_++];
      const std::u16string_view host = SplitHost(item.scan->Address());
      if (host.empty()) {
        item.stage = Stage::kDone;
        continue;
      }
      active_.push_back(&item);
      if (const auto dotted = platform::DottedIpv4(host)) {
        AimAndOpen(item, *dotted, 0, now, std::nullopt);
        if (item.stage == Stage::kNoSocket) return;
        continue;
      }
      item.stage = Stage::kResolving;
      item.lookup_began = now;
      platform::LookupQuery query{std::u16string(host), {}};
      if (request_.Game == kGameMinecraft &&
          item.scan->Address().find(u':') == std::u16string::npos) {
        query.srv_service = kMinecraftService;
      }
      item.name = NameOf(std::move(query));
    }
  }

  // The request's entry for the query, made on first use.
  std::size_t NameOf(platform::LookupQuery query) {
    for (std::size_t i = 0; i < names_.size(); ++i) {
      if (names_[i].query.host == query.host && names_[i].query.srv_service == query.srv_service) {
        return i;
      }
    }
    names_.push_back({std::move(query), {}});
    return names_.size() - 1;
  }

  // The item's port is the one of the service record its lookup followed,
  // if any; the one the address names, or the kind's default, otherwise (or
  // the query port beside it). A game port whose query port lies beyond
  // 65535 is no server: the item is offline, and nothing is sent.
  void AimAndOpen(RoundItem& item, std::uint32_t address_be, std::uint16_t record_port,
                  std::int64_t now, std::optional<std::int64_t> clock_start) {
    const std::optional<std::uint16_t> port =
        record_port != 0
            ? record_port
            : QueryPort(request_.Game, ParsePort(item.scan->Address(), DefaultPort(request_.Game)));
    if (!port) {
      item.scan->EndOffline();
      item.stage = Stage::kDone;
      return;
    }
    platform::SocketAddress target;
    target.family = platform::kAddressFamilyInet;
    target.address_be = address_be;
    target.port_be = platform::HostToNetwork16(*port);
    item.scan->SetTarget(target);
    OpenSocket(item, now, clock_start);
  }

  void OpenSocket(RoundItem& item, std::int64_t now, std::optional<std::int64_t> clock_start) {
    if (item.scan->Open(now, clock_start)) {
      item.stage = Stage::kInFlight;
      return;
    }
    // The descriptors are used up: another item ending frees one.
    item.stage = Stage::kNoSocket;
    sockets_freed_ = 0;
  }

  // Starts the lookups that wait for one (at most one per name; the
  // process-wide bound may make a start wait), and moves each resolving item
  // on once its name has an answer or its TimeOut has run out.
  void LookAtNames(std::int64_t now) {
    for (RoundItem* item : active_) {
      if (item->stage != Stage::kResolving) continue;
      NameEntry& name = names_[item->name];
      if (!name.lookup.Started()) {
        if (!lookup_done_) lookup_done_ = std::make_shared<platform::AutoResetEvent>();
        name.lookup.Start(name.query, lookup_done_);
      }
      if (name.lookup.Done()) {
        const std::string address = name.lookup.Address();
        if (address.empty()) {
          // A name that does not resolve writes nothing for its item.
          item->stage = Stage::kDone;
          continue;
        }
        AimAndOpen(*item, platform::ParseIpv4(address), name.lookup.Port(), now,
                   item->lookup_began);
        continue;
      }
      const auto deadline = DeadlineAfter(request_, *item->lookup_began);
      if (deadline && now >= *deadline) {
        // Not resolved in time: offline, as a silent server is. The lookup
        // goes on alone and its answer is dropped.
        item->scan->EndOffline();
        item->stage = Stage::kDone;
      }
    }
  }

  // An item without a socket tries once more when another item has ended
  // (one such item for each that ended, in address order), or at once when
  // no other item is left to end; then it is offline.
  void RetryWithoutSocket(std::int64_t now) {
    const bool others_left = std::any_of(active_.begin(), active_.end(), [](RoundItem* item) {
      return item->stage != Stage::kNoSocket;
    });
    for (RoundItem* item : active_) {
      if (item->stage != Stage::kNoSocket) continue;
      if (others_left) {
        if (sockets_freed_ == 0) continue;
        --sockets_freed_;
      }
      // The second try: an item that fails it never waits again.
      OpenSocket(*item, now, item->lookup_began);
      if (item->stage == Stage::kNoSocket) {
        item->scan->EndOffline();
        item->stage = Stage::kDone;
      }
    }
  }

  // One send per millisecond, the earliest due first (address order breaks
  // ties).
  void SendOne(std::int64_t now) {
    AddressExchange* sender = nullptr;
    for (RoundItem* item : active_) {
      if (item->stage != Stage::kInFlight) continue;
      const auto due = item->scan->SendDue();
      if (due && *due <= now && (sender == nullptr || *due < *sender->SendDue())) {
        sender = item->scan.get();
      }
    }
    if (sender == nullptr || MonotonicUs() < next_send_us_) return;
    sender->Send(now);
    next_send_us_ = MonotonicUs() + kSendSpacingUs;
  }

  void LetEndedGo() {
    for (RoundItem* item : active_) {
      if (item->stage != Stage::kInFlight || !item->scan->Done()) continue;
      item->stage = Stage::kDone;
      ++sockets_freed_;
    }
    std::erase_if(active_, [](RoundItem* item) { return item->stage == Stage::kDone; });
  }

  // Waits for the first socket, send slot, retry, deadline or answered
  // name.
  void Wait(std::int64_t now) {
    bool resolving = false;
    const std::int64_t wake = PlanWait(now, resolving);
    auto wait_ms = static_cast<std::int32_t>(std::max<std::int64_t>(wake - now, 0));
    if (waits_.empty()) {
      if (resolving && lookup_done_) {
        lookup_done_->Wait(wait_ms);
      } else if (wait_ms > 0) {
        platform::SleepMilliseconds(wait_ms);
      }
      return;
    }
    if (resolving) wait_ms = std::min<std::int32_t>(wait_ms, kLookupSliceMs);
    const platform::WaitResult result = platform::WaitForSockets(waits_, wait_ms);
    now = MonotonicMs();
    for (std::size_t i = 0; i < waits_.size(); ++i) {
      if (result == platform::WaitResult::kError) {
        waiting_[i]->OnWaitError();
      } else if (waits_[i].state != platform::SocketState::kWaiting) {
        waiting_[i]->OnSocketOf(waits_[i].socket, waits_[i].state, now);
      }
    }
  }

  // Gathers the sockets to wait on and returns when the wait must end at the
  // latest: the next send slot, timer or deadline of the items in flight, a
  // resolving item's deadline, or soon, for a lookup that could not start.
  std::int64_t PlanWait(std::int64_t now, bool& resolving) {
    std::int64_t wake = now + kWaitSliceMs;
    // The next send slot, in whole milliseconds from now, rounded up.
    const std::int64_t slot =
        now + (std::max<std::int64_t>(next_send_us_ - MonotonicUs(), 0) + 999) / 1000;
    waits_.clear();
    waiting_.clear();
    for (RoundItem* item : active_) {
      if (item->stage == Stage::kResolving) {
        resolving = true;
        if (const auto deadline = DeadlineAfter(request_, *item->lookup_began)) {
          wake = std::min(wake, *deadline);
        }
        // A lookup that could not start yet tries again soon.
        if (!names_[item->name].lookup.Started()) wake = std::min(wake, now + kLookupSliceMs);
        continue;
      }
      if (item->stage != Stage::kInFlight) continue;
      AddressExchange& scan = *item->scan;
      if (const auto due = scan.SendDue()) wake = std::min(wake, std::max(*due, slot));
      if (const auto at = scan.NextTime()) wake = std::min(wake, *at);
      scan.AddWaits(waits_);
      waiting_.resize(waits_.size(), &scan);
    }
    return wake;
  }

  const ScanRequest& request_;
  std::vector<std::uint8_t>& buffer_;
  const ReplyHandlerFactory& make_handler_;
  const std::atomic<bool>& terminated_;
  QueryPace& pace_;
  const std::size_t parallel_;

  std::vector<RoundItem> items_;  // in address order
  std::vector<NameEntry> names_;
  std::vector<RoundItem*> active_;  // the items that hold a place in flight
  std::size_t next_item_ = 0;
  // Items that closed their socket since an item last found none.
  std::size_t sockets_freed_ = 0;
  std::int64_t next_send_us_ = 0;
  // Signalled by the request's lookups as their answers come in.
  std::shared_ptr<platform::AutoResetEvent> lookup_done_;
  std::vector<platform::SocketWait> waits_;
  std::vector<AddressExchange*> waiting_;
};

}  // namespace

RoundOutcome ServeAddressItems(const ScanRequest& request, ReplyText& output,
                               std::vector<std::uint8_t>& buffer,
                               const ReplyHandlerFactory& make_handler,
                               const std::atomic<bool>& terminated, QueryPace& pace) {
  return Round(request, buffer, make_handler, terminated, pace).Run(output);
}

}  // namespace morvane
