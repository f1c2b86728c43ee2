#include "scan/address_exchange.h"

#include <chrono>

namespace morvane {

std::int64_t MonotonicMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(
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

}  // namespace morvane
