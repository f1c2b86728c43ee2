// The protocol handlers the worker uses for the UDP kinds.
#include "scan/reply_handler.h"

namespace morvane {
namespace {

// Until a kind is spoken, its servers give the offline text: the query goes
// out and nothing that comes back is taken.
class SilentHandler final : public ReplyHandler {
 public:
  std::span<const std::uint8_t> FirstQuery(const TScanItem&) override { return kQuery; }
  Verdict OnDatagram(std::span<const std::uint8_t>, AddressItem&) override { return Verdict::kIgnored; }
  std::span<const std::uint8_t> NextQuery() override { return kQuery; }

 private:
  static constexpr std::uint8_t kQuery[] = {0xFF, 0xFF, 0xFF, 0xFF};
};

}  // namespace

ReplyHandlers MakeReplyHandlers() {
  return {std::make_unique<SilentHandler>(), std::make_unique<SilentHandler>(),
          std::make_unique<SilentHandler>()};
}

}  // namespace morvane
