#include "scan/scan_round.h"

#include <algorithm>

namespace morvane {
namespace {

// Minecraft Java servers publish where they run as a service record: an
// address that names no port is looked up there first.
constexpr std::u16string_view kMinecraftService = u"_minecraft._tcp.";
// How often a wait on sockets looks at the name lookups under way, whose
// answers no socket announces.
constexpr std::int64_t kLookupSliceMs = 5;

}  // namespace

// Where an address item is in the round.
enum class Stage {
  kQueued,     // waiting for a place in flight
  kResolving,  // its name is looked up; its TimeOut runs
  kNoSocket,   // no socket could be had: it tries once more when another item ends
  kInFlight,   // its exchange runs
  kDone,
};

struct ScanRound::Item {
  std::unique_ptr<AddressExchange> scan;
  Stage stage = Stage::kQueued;
  std::size_t name = 0;  // its entry in the names, while resolving
  // When its name lookup began: its TimeOut runs from there. None for a
  // dotted address, whose TimeOut runs from its first send.
  std::optional<std::int64_t> lookup_began;
};

// One name of the request, looked up once for every item that names it
// alike (with or without the service record).
struct ScanRound::Name {
  platform::LookupQuery query;
  platform::NameLookup lookup;
};

ScanRound::ScanRound(ScanRequest request, RoundShared& shared)
    : request_(std::move(request)), shared_(shared) {
  std::int32_t index = 0;
  for (std::u16string& address : SplitAddressItems(request_.Addr)) {
    Item item;
    item.scan = MakeExchange(std::move(address), ++index);
    items_.push_back(std::move(item));
  }
}

ScanRound::~ScanRound() = default;

std::unique_ptr<AddressExchange> ScanRound::MakeExchange(std::u16string address,
                                                         std::int32_t index) {
  if (request_.TCP) return MakeTcpProbe(request_, std::move(address), index);
  if (request_.Game == kGameMinecraft) {
    return MakeMinecraftExchange(request_, std::move(address), index);
  }
  if (request_.Game == kGameFivem && request_.Players) {
    return MakeFivemPlayersExchange(request_, std::move(address), index, shared_.pace,
                                    shared_.buffer);
  }
  // A FiveM server counts its getinfo queries per address.
  return MakeUdpExchange(request_, std::move(address), index, shared_.make_handler(request_.Game),
                         shared_.buffer, request_.Game == kGameFivem ? &shared_.pace : nullptr);
}

bool ScanRound::WantsPlace() const { return next_item_ < items_.size(); }

bool ScanRound::Done() const { return active_.empty() && next_item_ == items_.size(); }

bool ScanRound::ShortOfSockets() const {
  return std::any_of(active_.begin(), active_.end(),
                     [](const Item* item) { return item->stage == Stage::kNoSocket; });
}

bool ScanRound::HasItemThatCanEnd() const {
  return std::any_of(active_.begin(), active_.end(),
                     [](const Item* item) { return item->stage != Stage::kNoSocket; });
}

// A dotted address goes straight to its exchange; a name is looked up first,
// and an item whose host is empty has none and writes nothing.
bool ScanRound::TakePlace(std::int64_t now) {
  if (next_item_ == items_.size()) return false;
  Item& item = items_[next_item_++];
  const std::u16string_view host = SplitHost(item.scan->Address());
  if (host.empty()) {
    item.stage = Stage::kDone;
    return true;
  }
  active_.push_back(&item);
  if (const auto dotted = platform::DottedIpv4(host)) {
    AimAndOpen(item, *dotted, 0, now, std::nullopt);
    return true;
  }
  item.stage = Stage::kResolving;
  item.lookup_began = now;
  platform::LookupQuery query{std::u16string(host), {}};
  if (request_.Game == kGameMinecraft && item.scan->Address().find(u':') == std::u16string::npos) {
    query.srv_service = kMinecraftService;
  }
  item.name = NameOf(std::move(query));
  return true;
}

// The request's entry for the query, made on first use.
std::size_t ScanRound::NameOf(platform::LookupQuery query) {
  for (std::size_t i = 0; i < names_.size(); ++i) {
    if (names_[i].query.host == query.host && names_[i].query.srv_service == query.srv_service) {
      return i;
    }
  }
  names_.push_back({std::move(query), {}});
  return names_.size() - 1;
}

// The item's port is the one of the service record its lookup followed, if
// any; the one the address names, or the kind's default, otherwise (or the
// query port beside it). A game port whose query port lies beyond 65535 is
// no server: the item is offline, and nothing is sent.
void ScanRound::AimAndOpen(Item& item, std::uint32_t address_be, std::uint16_t record_port,
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

void ScanRound::OpenSocket(Item& item, std::int64_t now, std::optional<std::int64_t> clock_start) {
  if (item.scan->Open(now, clock_start)) {
    item.stage = Stage::kInFlight;
    return;
  }
  // The descriptors are used up: another item ending frees one.
  item.stage = Stage::kNoSocket;
  shared_.sockets_freed = 0;
}

void ScanRound::LookAtNames(std::int64_t now) {
  for (Item* item : active_) {
    if (item->stage != Stage::kResolving) continue;
    Name& name = names_[item->name];
    // At most one lookup per name; the process-wide bound may make a start
    // wait.
    if (!name.lookup.Started()) name.lookup.Start(name.query, shared_.lookup_done);
    if (name.lookup.Done()) {
      const std::string address = name.lookup.Address();
      if (address.empty()) {
        // A name that does not resolve writes nothing for its item.
        item->stage = Stage::kDone;
        continue;
      }
      AimAndOpen(*item, platform::ParseIpv4(address), name.lookup.Port(), now, item->lookup_began);
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

// An item without a socket tries once more when another item has ended (one
// such item for each that ended, in address order), or at once when no other
// item of any request is left to end; then it is offline.
void ScanRound::RetryWithoutSocket(std::int64_t now, bool others_left) {
  for (Item* item : active_) {
    if (item->stage != Stage::kNoSocket) continue;
    if (others_left) {
      if (shared_.sockets_freed == 0) continue;
      --shared_.sockets_freed;
    }
    // The second try: an item that fails it never waits again.
    OpenSocket(*item, now, item->lookup_began);
    if (item->stage == Stage::kNoSocket) {
      item->scan->EndOffline();
      item->stage = Stage::kDone;
    }
  }
}

AddressExchange* ScanRound::DueSender(std::int64_t now) const {
  AddressExchange* sender = nullptr;
  std::int64_t sender_due = 0;
  for (const Item* item : active_) {
    if (item->stage != Stage::kInFlight) continue;
    const auto due = item->scan->SendDue();
    if (due && *due <= now && (sender == nullptr || *due < sender_due)) {
      sender = item->scan.get();
      sender_due = *due;
    }
  }
  return sender;
}

void ScanRound::OnTime(std::int64_t now) {
  for (Item* item : active_) {
    if (item->stage == Stage::kInFlight) item->scan->OnTime(now);
  }
}

void ScanRound::LetEndedGo() {
  for (Item* item : active_) {
    if (item->stage != Stage::kInFlight || !item->scan->Done()) continue;
    item->stage = Stage::kDone;
    ++shared_.sockets_freed;
  }
  std::erase_if(active_, [](const Item* item) { return item->stage == Stage::kDone; });
}

// Adds the round's sockets, and moves the plan's wake up to the first send,
// timer or deadline of its items, a resolving item's deadline, or soon, for
// a lookup that could not start.
void ScanRound::PlanWait(std::int64_t now, WaitPlan& plan) const {
  for (const Item* item : active_) {
    if (item->stage == Stage::kResolving) {
      plan.resolving = true;
      plan.wake = std::min(plan.wake, now + kLookupSliceMs);
      if (const auto deadline = DeadlineAfter(request_, *item->lookup_began)) {
        plan.wake = std::min(plan.wake, *deadline);
      }
      continue;
    }
    if (item->stage != Stage::kInFlight) continue;
    const AddressExchange& scan = *item->scan;
    plan.send_due = EarlierOf(plan.send_due, scan.SendDue());
    if (const auto at = scan.NextTime()) plan.wake = std::min(plan.wake, *at);
    scan.AddWaits(plan.waits);
    plan.waiting.resize(plan.waits.size(), item->scan.get());
  }
}

void ScanRound::Collect(ReplyText& output) const {
  for (const Item& item : items_) output.Append(item.scan->Output());
}

}  // namespace morvane
