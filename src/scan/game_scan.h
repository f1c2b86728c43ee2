// TGameScan: the one worker thread that does all network work. It waits on
// the wake event, serves the requests at the head of the queue one after
// another, delivers each request's output text to the host, and waits again.
//
// Ownership. The worker owns its socket, its receive buffer, its handlers and
// the copy of the head request it serves; it reads no settings value. The
// thread body holds a reference to the TGameScan object, so the object lives
// until the body has returned even when PluginStop has let go of it.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <vector>

#include "host/host_link.h"
#include "platform/platform.h"
#include "scan/reply_handler.h"
#include "scan/scan_queue.h"

namespace morvane {

class TGameScan {
 public:
  TGameScan(ReplyHandlers handlers, std::shared_ptr<platform::AutoResetEvent> wake_event);

  // The thread body.
  void Execute();
  // The terminate request: every network wait ends within a short slice, the
  // request in service is dropped undelivered, and the body returns.
  void RequestTerminate();
  bool Terminated() const { return terminated_.load(std::memory_order_acquire); }

 private:
  enum class Outcome { kDone, kStopped };
  enum class Wait { kReady, kTimedOut, kError, kStopped };

  Outcome ServeRequest(const ScanRequest& request);
  Outcome ExchangeUdp(AddressItem& item, ReplyHandler& handler);
  Outcome ProbeTcp(AddressItem& item);
  void Deliver(const ScanRequest& request, const ReplyText& output);

  ReplyHandler& HandlerFor(std::uint8_t game);
  int SendQuery(std::span<const std::uint8_t> datagram);
  bool FromTarget() const;
  // Waits for the socket in short slices so that the terminate request is
  // seen at once, until the deadline (milliseconds of the steady clock; -1
  // waits without limit).
  Wait WaitSliced(std::int64_t deadline_ms,
                  platform::WaitResult (*wait)(platform::Socket, std::int32_t));
  // A receive time-out of 0 waits without limit, a negative one as Winsock
  // takes it (about 49 days). A connect time-out of 0 is a single poll, and a
  // negative one is refused as select refuses it.
  Wait WaitForDatagram(std::int64_t deadline_ms);
  Wait WaitForConnection(std::int32_t timeout_ms);
  void CloseSocket();

  platform::Socket FSock = platform::kInvalidSocket;
  platform::SocketAddress sendaddr;
  platform::SocketAddress clientaddr;
  std::vector<std::uint8_t> FBuf;
  ReplyHandlers handlers_;
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
  // it is still running (inside a name lookup, which nothing can cut short,
  // or inside a host call, which may be the one this stop came from): the
  // caller then keeps alive whatever it still touches.
  bool Stop(std::chrono::steady_clock::time_point deadline);
  bool Running() const { return scan_ != nullptr; }
  // Whether the calling thread is the worker's.
  static bool OnWorkerThread();

  // Tests replace the protocol handlers; nullptr restores the real ones.
  static void SetHandlersForTesting(std::function<ReplyHandlers()> make);

 private:
  std::shared_ptr<TGameScan> scan_;
  platform::Thread thread_;
};

}  // namespace morvane
