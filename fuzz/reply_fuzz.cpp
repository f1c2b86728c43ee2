// Every UDP reply the worker may receive, through the real handlers of each
// kind (parsers, challenge handling, templates): the first input byte chooses
// the kind and whether the player list is asked for, the rest is the datagram.
#include <cstddef>
#include <cstdint>
#include <span>

#include "scan/reply_handler.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;

  morvane::ScanRequest request;
  request.Format = u"%name%|%map%|%mod%|%pl%/%plmax%|%pass%|%plname%|%plscore%|%pltime%";
  request.PlTitle = u"%addr% (%pl%):";
  request.Delimiter = u" / ";
  request.PlDelimiter = u"; ";
  request.Players = (data[0] & 1) != 0;
  const int kind = (data[0] >> 1) % 3;
  // A handler of its own for every datagram, as every address item has.
  const auto handler_owner = morvane::MakeReplyHandler(static_cast<std::uint8_t>(kind));
  morvane::ReplyHandler& handler = *handler_owner;
  morvane::ReplyText output(request);
  morvane::AddressItem item{request, u"127.0.0.1:27015", 1 + (data[0] >> 3) % 2, output, {}};
  const std::span<const std::uint8_t> datagram(data + 1, size - 1);
  if (handler.OnDatagram(datagram, item) == morvane::Verdict::kAnswered && !request.Players) {
    output.AppendPiece(morvane::FillSummary(request.Format, item.address, item.values));
  }
  (void)handler.NextQuery();
  return 0;
}
