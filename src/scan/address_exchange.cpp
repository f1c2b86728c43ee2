#include "scan/address_exchange.h"

#include <algorithm>
#include <chrono>

namespace morvane {

std::int64_t MonotonicMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

std::int64_t MonotonicUs() {
  return std::chrono::duration_cast<std::chrono::microseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

AddressExchange::AddressExchange(const ScanRequest& request, std::u16string address, std::int32_t index)
    : request_(request),
      address_(std::move(address)),
      output_(request),
      item_{request, address_, index, output_, {}} {}

AddressExchange::~AddressExchange() {
  if (FSock != platform::kInvalidSocket) platform::CloseSocket(FSock);
}

void AddressExchange::Finish() {
  if (FSock != platform::kInvalidSocket) platform::CloseSocket(FSock);
  FSock = platform::kInvalidSocket;
  send_due_.reset();
  done_ = true;
}

void AddressExchange::EndOffline() {
  if (done_) return;
  AppendOffline();
  Finish();
}

void AddressExchange::AppendOffline() {
  output_.AppendPiece(FillOffline(request_.OffFormat, address_));
}

std::optional<std::int64_t> DeadlineAfter(const ScanRequest& request, std::int64_t from) {
  if (request.TimeOut == 0) return std::nullopt;
  return from + static_cast<std::int64_t>(static_cast<std::uint32_t>(request.TimeOut));
}

std::optional<std::int64_t> RepeatTime(const ScanRequest& request, std::int64_t started, int sent) {
  // With no time-out at all, a query is repeated every second.
  constexpr std::int64_t kRepeatPeriodWithoutTimeOutMs = 1000;
  if (sent >= std::max(request.Retries, 0)) return std::nullopt;
  if (request.TimeOut == 0) return started + kRepeatPeriodWithoutTimeOutMs * (sent + 1);
  // At one third and at two thirds of TimeOut: at most two repeats fit.
  if (sent >= 2) return std::nullopt;
  const auto timeout = static_cast<std::int64_t>(static_cast<std::uint32_t>(request.TimeOut));
  return started + timeout * (sent + 1) / 3;
}

}  // namespace morvane
