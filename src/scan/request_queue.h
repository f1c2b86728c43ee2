// The request queue between the host's thread (the producers: chat commands,
// message events, periodic events) and the one worker thread (the consumer).
//
// Ownership. The plug-in's state owns the queue and shares it with the worker
// it starts, which may outlive a stop that runs out of its bound. A request is
// built by its producer, owned by the queue once linked, and freed by the
// worker when it is done with it (or by PluginStop).
// Every field but `Next` and `InService` is written before the request is
// linked and never changes afterwards. The worker copies a request's payload
// under the queue lock and serves its copy. The queue lock guards the head,
// every `Next` link and `InService` mark, the tail and the count, and nothing
// else; it is held only for the bound test with the append, the copy of a
// request taken up, and the unlink.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/platform.h"
#include "scan/scan_item.h"

namespace morvane {

class RequestQueue {
 public:
  RequestQueue() = default;
  ~RequestQueue();
  RequestQueue(const RequestQueue&) = delete;
  RequestQueue& operator=(const RequestQueue&) = delete;

  // Links the request at the tail unless the count has reached max_queue
  // (signed: 0 or less refuses everything; the request in service counts),
  // then signals the wake event. False when refused; the request is freed.
  bool Append(std::unique_ptr<TScanItem> item, std::int32_t max_queue);

  // The worker takes up the first queued request that it does not serve yet,
  // when fewer than that request's Requests are in service (in_service): a
  // copy of its payload, made under the queue lock, so that nothing a stop
  // frees is ever read by the worker however late it runs; and the ticket
  // that names the request in the queue (the queue's generation moves on
  // with every Clear). The request stays linked and counted while the worker
  // serves it.
  struct Ticket {
    const TScanItem* item = nullptr;
    std::uint64_t generation = 0;
  };
  struct Taken {
    ScanRequest request;
    Ticket ticket;
  };
  std::optional<Taken> TakeNext(std::size_t in_service);
  // Unlinks and frees the request the ticket names, wherever it is in the
  // queue, when it is still there: a worker that ends late never removes a
  // request of a queue that PluginStop cleared (and a new start filled)
  // meanwhile.
  void Remove(const Ticket& served);
  // Unlinks and frees the head, whatever it is.
  void PopHead();
  // Frees every request, head first, and sets the count to 0 (PluginStop).
  void Clear();
  std::int32_t Count() const;

  // The wake event: created after a successful start, closed by PluginStop.
  // Signalling an event that does not exist does nothing.
  void OpenWakeEvent();
  void CloseWakeEvent();
  std::shared_ptr<platform::AutoResetEvent> WakeEvent() const;
  void SignalWakeEvent() const;

  // Copies of the queued requests, head first (for tests and tools).
  std::vector<ScanRequest> Snapshot() const;

 private:
  mutable std::mutex lock_;  // The queue lock.
  TScanItem* head_ = nullptr;
  TScanItem* tail_ = nullptr;
  std::int32_t count_ = 0;
  std::uint64_t generation_ = 0;
  std::shared_ptr<platform::AutoResetEvent> wake_event_;  // Guarded by lock_ too.
};

}  // namespace morvane
