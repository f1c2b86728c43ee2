// The seam between the worker's query frame and the kinds it speaks. The frame
// owns the socket, the waits, the acceptance test, the offline text and the
// delivery; a kind's handler sees only the datagrams that come from the target
// while the address item is unanswered, and says what each one was.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string_view>
#include <vector>

#include "scan/address_item.h"
#include "scan/reply_templates.h"
#include "scan/scan_item.h"

namespace morvane {

enum class Verdict {
  kIgnored,     // not a reply this item takes: keep waiting
  kAnswered,    // taken: the item is answered (the frame writes the summary)
  kQueryAgain,  // the server wants the query again (a challenge): send NextQuery()
};

class ReplyHandler {
 public:
  virtual ~ReplyHandler() = default;
  // The first datagram of an address item.
  virtual std::span<const std::uint8_t> FirstQuery(const ScanRequest& request) = 0;
  // One datagram from the target while the item is unanswered. A handler of
  // a player kind appends its header and lines to item.output itself.
  virtual Verdict OnDatagram(std::span<const std::uint8_t> datagram, AddressItem& item) = 0;
  // After kQueryAgain: the datagram to send.
  virtual std::span<const std::uint8_t> NextQuery() = 0;
  // The step's query gets no usable reply and goes out again: the datagram
  // to send this time, or empty for the same query as before.
  virtual std::span<const std::uint8_t> RepeatQuery() { return {}; }
};

// The handler of the real protocol of a UDP kind (Source, the Quake 3
// family, SA-MP, Minecraft Bedrock, MTA:SA, FiveM), one for each address item: what a
// handler keeps (the server's challenge) belongs to that item alone.
std::unique_ptr<ReplyHandler> MakeReplyHandler(std::uint8_t game);
std::unique_ptr<ReplyHandler> MakeBedrockHandler();
std::unique_ptr<ReplyHandler> MakeMtaHandler();
std::unique_ptr<ReplyHandler> MakeFivemHandler();

// A FiveM or RedM server's info reply as the summary's values.
struct FivemInfo;
void TakeFivemInfo(const FivemInfo& info, ServerValues& values);

}  // namespace morvane
