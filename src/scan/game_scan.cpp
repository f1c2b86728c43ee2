#include "scan/game_scan.h"

#include <algorithm>
#include <chrono>
#include <utility>

#include "host/host_link.h"
#include "platform/platform.h"

namespace morvane {
namespace {

constexpr std::size_t kReceiveBufferSize = 65536;

}  // namespace

TGameScan::TGameScan(std::shared_ptr<RequestQueue> queue, ReplyHandlerFactory make_handler,
                     std::function<void()> take_hook)
    : queue_(std::move(queue)),
      wake_event_(queue_->WakeEvent()),
      make_handler_(std::move(make_handler)),
      take_hook_(std::move(take_hook)) {}

void TGameScan::RequestTerminate() {
  terminated_.store(true, std::memory_order_release);
  if (wake_event_) wake_event_->Set();
}

void TGameScan::Execute() {
  FBuf.assign(kReceiveBufferSize, 0);
  while (!Terminated()) {
    wake_event_->Wait(platform::kInfinite);
    // The queue is emptied before the next wait, so one signal may stand for
    // several requests and a wake with an empty queue is harmless.
    while (!Terminated()) {
      RoundOutcome outcome = RoundOutcome::kDone;
      std::optional<RequestQueue::TakenHead> head;
      try {
        // The worker serves its own copy, made under the queue lock: a stop
        // that runs out of its bound frees the queue while this thread may
        // still be busy, and nothing it frees is read here.
        head = queue_->TakeHead();
        if (!head) break;
        if (take_hook_) take_hook_();
        outcome = ServeRequest(head->request);
      } catch (...) {
        // Out of memory in the middle of a request: it is dropped, and the
        // worker goes on with the next one rather than ending the host.
      }
      if (!head) break;
      // A stop that came while the reply was delivered has cleared the queue
      // already: the head is not this worker's to pop any more.
      if (outcome == RoundOutcome::kStopped || Terminated()) break;
      queue_->PopHead(head->ticket);
    }
  }
  FBuf.clear();
  FBuf.shrink_to_fit();
}

RoundOutcome TGameScan::ServeRequest(const ScanRequest& request) {
  ReplyText output(request);
  if (ServeAddressItems(request, output, FBuf, make_handler_, terminated_, pace_) ==
      RoundOutcome::kStopped) {
    return RoundOutcome::kStopped;
  }
  if (Terminated()) return RoundOutcome::kStopped;
  Deliver(request, output);
  return RoundOutcome::kDone;
}

void TGameScan::Deliver(const ScanRequest& request, const ReplyText& output) {
  const std::u16string body = output.Text();
  if (body.empty()) return;
  std::u16string text = request.OutTitle;
  text += body;
  text = CutReply(std::move(text), request.MaxReply, request.CutText);
  // Whether the link is still open after a delivery tells the worker
  // nothing: it learns of a stop from the terminate request.
  switch (request.MsgType) {
    case reply_mode::kChannel:
    case reply_mode::kChannelWithFlag:
      (void)SendChannelMessage(request.ChOrUser, text,
                               request.MsgType == reply_mode::kChannelWithFlag);
      return;
    case reply_mode::kPrivate:
      (void)SendPrivateMessage(request.ChOrUser, text, false);
      return;
    case reply_mode::kMode3:
      (void)SendMode3Message(request.ChOrUser, text);
      return;
    default:
      return;  // Other reply modes are not delivered.
  }
}

void WorkerHandle::Start(std::shared_ptr<RequestQueue> queue, LinkSession session) {
  ReplyHandlerFactory make_handler = make_handler_for_testing_;
  if (!make_handler) make_handler = &MakeReplyHandler;
  scan_ = std::make_shared<TGameScan>(std::move(queue), std::move(make_handler),
                                      take_hook_for_testing_);
  std::shared_ptr<TGameScan> body = scan_;
  thread_ = platform::Thread([body, session] {
    // Replies go to the host of the session that started this worker only.
    BindThreadToLinkSession(session);
    try {
      body->Execute();
    } catch (...) {
      // Nothing may end the host's process from this thread.
    }
  });
}

bool WorkerHandle::Stop(std::chrono::steady_clock::time_point deadline) {
  if (!scan_) return true;
  scan_->RequestTerminate();
  bool ended = false;
  // PluginStop from inside one of the worker's own host calls: the worker
  // cannot wait for itself, and ends once that call has returned.
  if (!ThreadIsBoundToLink()) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    ended = thread_.WaitForEnd(static_cast<std::int32_t>(std::max<std::int64_t>(left.count(), 0)));
  }
  scan_.reset();
  thread_ = platform::Thread();
  return ended;
}

}  // namespace morvane
