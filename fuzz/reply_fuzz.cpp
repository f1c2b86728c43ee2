// Every UDP reply the worker may receive, through the real handlers of each
// kind (parsers, split replies, challenge handling, templates). The first
// input byte chooses the kind and whether the player list is asked for; the
// rest is the datagrams of one address item, each a 16-bit little-endian
// length and that many bytes (a length past the end takes what is left). An
// empty datagram stands for the item's query going out again.
#include <cstddef>
#include <cstdint>

#include "framed_datagrams.h"
#include "scan/reply_handler.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;

  morvane::ScanRequest request;
  request.Format = u"%name%|%map%|%mod%|%pl%/%plmax%|%pass%|%plname%|%plscore%|%pltime%|%ping%";
  request.PlTitle = u"%addr% (%pl%):";
  request.Delimiter = u" / ";
  request.PlDelimiter = u"; ";
  request.Players = (data[0] & 1) != 0;
  const int kind = (data[0] >> 1) % 3;
  // A handler of its own for the item, as every address item has.
  const auto handler = morvane::MakeReplyHandler(static_cast<std::uint8_t>(kind));
  morvane::ReplyText output(request);
  morvane::AddressItem item{request, u"127.0.0.1:27015", 1 + (data[0] >> 3) % 2, output, {}};
  morvane::fuzz::ForEachFramedDatagram({data + 1, size - 1}, [&](auto datagram) {
    if (datagram.empty()) {
      (void)handler->RepeatQuery();
      return true;
    }
    switch (handler->OnDatagram(datagram, item)) {
      case morvane::Verdict::kAnswered:
        if (!request.Players) {
          output.AppendPiece(morvane::FillSummary(request.Format, item.address, item.values));
        }
        return false;
      case morvane::Verdict::kQueryAgain:
        (void)handler->NextQuery();
        break;
      case morvane::Verdict::kIgnored:
        break;
    }
    return true;
  });
  return 0;
}
