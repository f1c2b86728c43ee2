// TGameScan: the one worker thread that does all network work. It waits on
// the wake event, takes up the requests at the front of the queue, up to
// each one's Requests at once, serves them side by side (the engine,
// scan/scan_engine.h), delivers each request's output text to the host as
// soon as that request is complete, and waits again once none is left.
//
// Ownership. The worker owns its receive buffer, its paces and the copies of
// the requests it serves; each address item in flight owns its socket and
// its handler. It reads no settings value. The thread body holds a reference to
// the TGameScan object, and the object holds one to its queue, so both live
// until the body has returned even when PluginStop has let go of them.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <utility>
#include <vector>

#include "host/host_link.h"
#include "platform/platform.h"
#include "scan/request_queue.h"
#include "scan/scan_engine.h"

namespace morvane {

class TGameScan {
 public:
  // take_hook, when set, runs on the worker's thread right after each request
  // is taken from the queue (tests hold the worker there).
  TGameScan(std::shared_ptr<RequestQueue> queue, ReplyHandlerFactory make_handler,
            std::function<void()> take_hook);

  // The thread body.
  void Execute();
  // The terminate request: every network wait ends within a short slice, the
  // requests in service are dropped undelivered, and the body returns.
  void RequestTerminate();
  bool Terminated() const { return terminated_.load(std::memory_order_acquire); }

 private:
  // Takes up the requests the engine may serve beside those it serves.
  void TakeRequests();
  // Delivers the requests the engine has finished and removes them from
  // the queue; false when a stop came meanwhile.
  bool DeliverFinished();
  void Deliver(const ScanRequest& request, const std::u16string& body);
  // Drops every request in service, and every finished one not yet
  // delivered, from the queue (a request that ran out of memory takes the
  // others in service with it).
  void DropInService();

  std::shared_ptr<RequestQueue> queue_;
  std::shared_ptr<platform::AutoResetEvent> wake_event_;
  ReplyHandlerFactory make_handler_;
  std::function<void()> take_hook_;
  std::vector<std::uint8_t> FBuf;
  // The getinfo queries sent to each FiveM server lately, across requests.
  QueryPace pace_;
  ScanEngine engine_{FBuf, make_handler_, pace_};
  std::atomic<bool> terminated_{false};
};

// The plug-in's handle on the worker: started by PluginStart after a
// successful load, stopped by PluginStop.
class WorkerHandle {
 public:
  // The worker serves the given queue, waking on its wake event (open by
  // now), and sends its replies within the given link session only.
  void Start(std::shared_ptr<RequestQueue> queue, LinkSession session);
  // Tells the worker to end and waits for it until the deadline. False when
  // it is still running (inside a host call, which may be the one this stop
  // came from): the caller then keeps alive whatever it still touches.
  bool Stop(std::chrono::steady_clock::time_point deadline);
  bool Running() const { return scan_ != nullptr; }

  // Tests put handlers of their own in place of the real protocols' ones
  // (nullptr restores those), and may hold the worker right after it has
  // taken a request from the queue, on its thread, before the request is
  // served (nullptr removes the hook). Both take effect at the next Start.
  void SetHandlersForTesting(ReplyHandlerFactory make) {
    make_handler_for_testing_ = std::move(make);
  }
  void SetTakeHookForTesting(std::function<void()> hook) {
    take_hook_for_testing_ = std::move(hook);
  }

 private:
  ReplyHandlerFactory make_handler_for_testing_;
  std::function<void()> take_hook_for_testing_;
  std::shared_ptr<TGameScan> scan_;
  platform::Thread thread_;
};

}  // namespace morvane
