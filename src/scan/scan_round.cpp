#include "scan/scan_round.h"

#include <algorithm>
#include <chrono>
#include <optional>

#include "platform/platform.h"
#include "scan/address_item.h"
#include "scan/address_scan.h"

namespace morvane {
namespace {

// How long one wait may run before the stop request is looked at again.
constexpr std::int64_t kWaitSliceMs = 50;
// The least time between two sends of a request, in microseconds.
constexpr std::int64_t kSendSpacingUs = 1000;

std::int64_t MonotonicUs() {
  return std::chrono::duration_cast<std::chrono::microseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

bool Stopped(const std::atomic<bool>& terminated) {
  return terminated.load(std::memory_order_acquire);
}

// The items of the request with a target; an address that does not resolve
// has none, writes nothing, and still counts in the index.
struct ResolvedItem {
  std::u16string address;
  std::int32_t index = 0;
  std::optional<platform::SocketAddress> target;
};

std::optional<std::vector<ResolvedItem>> ResolveItems(const ScanRequest& request,
                                                      const std::atomic<bool>& terminated) {
  std::vector<ResolvedItem> items;
  std::int32_t index = 0;
  for (std::u16string& address : SplitAddressItems(request.Addr)) {
    if (Stopped(terminated)) return std::nullopt;
    ResolvedItem item{std::move(address), ++index, std::nullopt};
    // A dotted address needs no lookup: it resolves to itself.
    const std::string ip = platform::ResolveHostIpv4(platform::ToAnsi(SplitHost(item.address)));
    if (!ip.empty()) {
      platform::SocketAddress target;
      target.family = platform::kAddressFamilyInet;
      target.address_be = platform::ParseIpv4(ip);
      target.port_be =
          platform::HostToNetwork16(ParsePort(item.address, DefaultPort(request.Game)));
      item.target = target;
    }
    items.push_back(std::move(item));
  }
  if (Stopped(terminated)) return std::nullopt;
  return items;
}

}  // namespace

RoundOutcome ServeAddressItems(const ScanRequest& request, ReplyText& output,
                               std::vector<std::uint8_t>& buffer,
                               const ReplyHandlerFactory& make_handler,
                               const std::atomic<bool>& terminated) {
  auto items = ResolveItems(request, terminated);
  if (!items) return RoundOutcome::kStopped;

  const auto parallel = static_cast<std::size_t>(std::clamp(request.Parallel, 1, kMaxParallel));
  std::vector<std::unique_ptr<AddressScan>> scans(items->size());
  std::vector<AddressScan*> in_flight;
  std::size_t next_item = 0;
  std::int64_t next_send_us = 0;
  std::vector<platform::SocketWait> waits;
  std::vector<AddressScan*> waiting;

  for (;;) {
    if (Stopped(terminated)) return RoundOutcome::kStopped;
    std::int64_t now = MonotonicMs();
    // Items start in address order as places in flight come free.
    while (in_flight.size() < parallel && next_item < items->size()) {
      ResolvedItem& item = (*items)[next_item];
      auto& scan = scans[next_item++];
      if (!item.target) continue;
      scan = request.TCP ? MakeTcpProbe(request, item.address, item.index, *item.target)
                         : MakeUdpExchange(request, item.address, item.index, *item.target,
                                           make_handler(request.Game), buffer);
      scan->Start(now);
      if (!scan->Done()) in_flight.push_back(scan.get());
    }
    if (in_flight.empty()) break;

    // One send per millisecond, the earliest due first (address order
    // breaks ties).
    AddressScan* sender = nullptr;
    for (AddressScan* scan : in_flight) {
      const auto due = scan->SendDue();
      if (due && *due <= now && (sender == nullptr || *due < *sender->SendDue())) sender = scan;
    }
    if (sender != nullptr && MonotonicUs() >= next_send_us) {
      sender->Send(now);
      next_send_us = MonotonicUs() + kSendSpacingUs;
    }
    for (AddressScan* scan : in_flight) {
      if (!scan->Done()) scan->OnTime(now);
    }
    std::erase_if(in_flight, [](AddressScan* scan) { return scan->Done(); });
    if (in_flight.empty()) continue;

    // Wait for the first socket, send slot, retry or deadline.
    std::int64_t wake = now + kWaitSliceMs;
    // The next send slot, in whole milliseconds from now, rounded up.
    const std::int64_t slot =
        now + (std::max<std::int64_t>(next_send_us - MonotonicUs(), 0) + 999) / 1000;
    waits.clear();
    waiting.clear();
    for (AddressScan* scan : in_flight) {
      if (const auto due = scan->SendDue()) wake = std::min(wake, std::max(*due, slot));
      if (const auto at = scan->NextTime()) wake = std::min(wake, *at);
      if (const auto wait = scan->Wait()) {
        waits.push_back(*wait);
        waiting.push_back(scan);
      }
    }
    const auto wait_ms = static_cast<std::int32_t>(std::max<std::int64_t>(wake - now, 0));
    if (waits.empty()) {
      if (wait_ms > 0) platform::SleepMilliseconds(wait_ms);
      continue;
    }
    const platform::WaitResult result = platform::WaitForSockets(waits, wait_ms);
    now = MonotonicMs();
    for (std::size_t i = 0; i < waits.size(); ++i) {
      if (result == platform::WaitResult::kError) {
        waiting[i]->OnWaitError();
      } else if (waits[i].state != platform::SocketState::kWaiting) {
        waiting[i]->OnSocket(waits[i].state, now);
      }
    }
    std::erase_if(in_flight, [](AddressScan* scan) { return scan->Done(); });
  }

  for (const auto& scan : scans) {
    if (scan) output.Append(scan->Output());
  }
  return RoundOutcome::kDone;
}

}  // namespace morvane
