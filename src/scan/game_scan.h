// TGameScan: the one worker thread that does all network work. It waits on
// the wake event, serves the requests at the head of the queue one after
// another (the address items of each side by side, scan/scan_round.h),
// delivers each request's output text to the host, and waits again.
//
// Ownership. The worker owns its receive buffer and the copy of the head
// request it serves; each address item in flight owns its socket and its
// handler. It reads no settings value. The thread body holds a reference to
// the TGameScan object, so the object lives until the body has returned even
// when PluginStop has let go of it.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "host/host_link.h"
#include "platform/platform.h"
#include "scan/scan_queue.h"
#include "scan/scan_round.h"

namespace morvane {

class TGameScan {
 public:
  TGameScan(ReplyHandlerFactory make_handler, std::shared_ptr<platform::AutoResetEvent> wake_event);

  // The thread body.
  void Execute();
  // The terminate request: every network wait ends within a short slice, the
  // request in service is dropped undelivered, and the body returns.
  void RequestTerminate();
  bool Terminated() const { return terminated_.load(std::memory_order_acquire); }

 private:
  RoundOutcome ServeRequest(const ScanRequest& request);
  void Deliver(const ScanRequest& request, const ReplyText& output);

  std::vector<std::uint8_t> FBuf;
  ReplyHandlerFactory make_handler_;
  std::shared_ptr<platform::AutoResetEvent> wake_event_;
  std::atomic<bool> terminated_{false};
};

// The plug-in's handle on the worker: started by PluginStart after a
// successful load, stopped by PluginStop.
class ScanWorker {
 public:
  // The worker sends its replies within the given link session only.
  void Start(std::shared_ptr<platform::AutoResetEvent> wake_event, LinkSession session);
  // Tells the worker to end and waits for it until the deadline. False when
  // it is still running (inside a host call, which may be the one this stop
  // came from): the caller then keeps alive whatever it still touches.
  bool Stop(std::chrono::steady_clock::time_point deadline);
  bool Running() const { return scan_ != nullptr; }

  // Tests put handlers of their own in place of the real protocols' ones;
  // nullptr restores those.
  static void SetHandlersForTesting(ReplyHandlerFactory make);
  // Tests hold the worker right after it has taken a request from the queue
  // (on the worker's thread, before the request is served); nullptr
  // removes the hook.
  static void SetTakeHookForTesting(std::function<void()> hook);

 private:
  std::shared_ptr<TGameScan> scan_;
  platform::Thread thread_;
};

}  // namespace morvane
