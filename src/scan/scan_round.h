// The address items of one request, served side by side: up to Parallel of
// them hold a place in flight at once. A dotted address goes straight to its
// exchange; a name is looked up first, on a thread of its own, each distinct
// name once per request (a Minecraft Java address without a port through the
// host's service record first), and the item's TimeOut covers the lookup, so a
// resolver that hangs costs its item one TimeOut and never holds the others
// or a stop. Each item in its exchange has its own socket (a FiveM player
// list two), and one wait covers every socket in flight. Query datagrams (and connects) leave at
// most one per millisecond, so that a long list does not burst into the
// network. Each item writes its own part of the reply, and the parts are
// joined in address order, as if the items had been served in turn; every
// item is accounted for, offline when it could not even get a socket. With
// Parallel 1 the items go one after another.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "scan/query_pace.h"
#include "scan/reply_handler.h"
#include "scan/reply_templates.h"
#include "scan/scan_item.h"

namespace morvane {

using ReplyHandlerFactory = std::function<std::unique_ptr<ReplyHandler>(std::uint8_t game)>;

// At most this many items are in flight, whatever Parallel says: each holds
// a socket, and one wait takes a bounded number of them.
inline constexpr std::int32_t kMaxParallel = 256;

enum class RoundOutcome { kDone, kStopped };

// Serves every address item of the request and appends the items' texts to
// output. The stop request cuts every wait short: the round then ends at once,
// kStopped, its sockets closed. buffer is the worker's receive buffer, pace
// the worker's pace of the queries that servers count per address (FiveM's
// getinfo), which outlives the round.
RoundOutcome ServeAddressItems(const ScanRequest& request, ReplyText& output,
                               std::vector<std::uint8_t>& buffer,
                               const ReplyHandlerFactory& make_handler,
                               const std::atomic<bool>& terminated, QueryPace& pace);

}  // namespace morvane
