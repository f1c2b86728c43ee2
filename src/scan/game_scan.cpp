#include "scan/game_scan.h"

#include <algorithm>
#include <chrono>
#include <mutex>

#include "host/host_link.h"
#include "platform/platform.h"
#include "scan/address_item.h"

namespace morvane {
namespace {

constexpr std::size_t kReceiveBufferSize = 65536;
// How long one wait may run before the terminate request is looked at again.
constexpr std::int32_t kWaitSliceMs = 50;
// After the reply, at most this many waiting datagrams are received and
// dropped: a server that floods cannot hold the worker.
constexpr int kMaxDrainedDatagrams = 32;
// A server that answers a challenge with another challenge gets at most this
// many further query datagrams per address item.
constexpr int kMaxFurtherQueries = 2;

std::int64_t NowMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

// A receive time-out as Winsock takes the value: 0 is no limit, and a
// negative one is a DWORD of about 49 days.
std::int64_t ReceiveDeadline(std::int32_t timeout_ms) {
  if (timeout_ms == 0) return -1;
  return NowMs() + static_cast<std::int64_t>(static_cast<std::uint32_t>(timeout_ms));
}

// Set on the worker's own thread.
thread_local bool t_on_worker_thread = false;

std::mutex g_handlers_lock;
std::function<ReplyHandlers()> g_make_handlers_for_testing;

ReplyHandlers MakeHandlers() {
  std::lock_guard lock(g_handlers_lock);
  return g_make_handlers_for_testing ? g_make_handlers_for_testing() : MakeReplyHandlers();
}

}  // namespace

TGameScan::TGameScan(ReplyHandlers handlers, std::shared_ptr<platform::AutoResetEvent> wake_event)
    : handlers_(std::move(handlers)), wake_event_(std::move(wake_event)) {}

void TGameScan::RequestTerminate() {
  terminated_.store(true, std::memory_order_release);
  if (wake_event_) wake_event_->Set();
}

void TGameScan::Execute() {
  sendaddr.family = platform::kAddressFamilyInet;
  FBuf.assign(kReceiveBufferSize, 0);
  while (!Terminated()) {
    wake_event_->Wait(platform::kInfinite);
    // The queue is emptied before the next wait, so one signal may stand for
    // several requests and a wake with an empty queue is harmless.
    while (!Terminated()) {
      const ScanQueue::HeadTicket head = Queue().TakeHead();
      if (head.item == nullptr) break;
      // The worker serves a copy: PluginStop may free the queue while a name
      // lookup that nothing can cut short still holds this thread.
      Outcome outcome = Outcome::kDone;
      try {
        // The payload only: a producer may be writing the head's `Next`
        // under the queue lock meanwhile.
        const ScanRequest request = *head.item;
        outcome = ServeRequest(request);
      } catch (...) {
        // Out of memory in the middle of a request: it is dropped, and the
        // worker goes on with the next one rather than ending the host.
        CloseSocket();
      }
      // A stop that came while the reply was delivered has cleared the queue
      // already: the head is not this worker's to pop any more.
      if (outcome == Outcome::kStopped || Terminated()) break;
      Queue().PopHead(head);
    }
  }
  FBuf.clear();
  FBuf.shrink_to_fit();
}

TGameScan::Outcome TGameScan::ServeRequest(const ScanRequest& request) {
  ReplyText output(request);
  std::int32_t index = 0;
  for (const std::u16string& address : SplitAddressItems(request.Addr)) {
    if (Terminated()) return Outcome::kStopped;
    ++index;
    AddressItem item{request, address, index, output, {}};
    const std::string ip = platform::ResolveHostIpv4(platform::ToAnsi(SplitHost(address)));
    if (Terminated()) return Outcome::kStopped;
    // An address that does not resolve writes nothing, not even the offline
    // text; it still counts in the index.
    if (ip.empty()) continue;
    sendaddr.address_be = platform::ParseIpv4(ip);
    sendaddr.port_be = platform::HostToNetwork16(ParsePort(address, DefaultPort(request.Game)));
    const Outcome outcome =
        request.TCP ? ProbeTcp(item) : ExchangeUdp(item, HandlerFor(request.Game));
    if (outcome == Outcome::kStopped) return outcome;
  }
  if (Terminated()) return Outcome::kStopped;
  Deliver(request, output);
  return Outcome::kDone;
}

ReplyHandler& TGameScan::HandlerFor(std::uint8_t game) {
  switch (game) {
    case kGameQuake3:
      return *handlers_.quake3;
    case kGameSamp:
      return *handlers_.samp;
    default:
      return *handlers_.source;
  }
}

int TGameScan::SendQuery(std::span<const std::uint8_t> datagram) {
  return platform::SendTo(FSock, datagram, sendaddr);
}

bool TGameScan::FromTarget() const {
  return clientaddr.address_be == sendaddr.address_be && clientaddr.port_be == sendaddr.port_be;
}

void TGameScan::CloseSocket() {
  if (FSock == platform::kInvalidSocket) return;
  platform::CloseSocket(FSock);
  FSock = platform::kInvalidSocket;
}

TGameScan::Wait TGameScan::WaitSliced(std::int64_t deadline_ms,
                                      platform::WaitResult (*wait)(platform::Socket,
                                                                   std::int32_t)) {
  for (;;) {
    if (Terminated()) return Wait::kStopped;
    std::int32_t slice = kWaitSliceMs;
    if (deadline_ms >= 0) {
      const std::int64_t left = deadline_ms - NowMs();
      if (left <= 0) return Wait::kTimedOut;
      slice = static_cast<std::int32_t>(std::min<std::int64_t>(left, kWaitSliceMs));
    }
    switch (wait(FSock, slice)) {
      case platform::WaitResult::kReady:
        return Wait::kReady;
      case platform::WaitResult::kError:
        return Wait::kError;
      case platform::WaitResult::kTimedOut:
        break;
    }
  }
}

TGameScan::Wait TGameScan::WaitForDatagram(std::int64_t deadline_ms) {
  return WaitSliced(deadline_ms, &platform::WaitReadable);
}

TGameScan::Wait TGameScan::WaitForConnection(std::int32_t timeout_ms) {
  if (timeout_ms > 0) return WaitSliced(NowMs() + timeout_ms, &platform::WaitWritable);
  // A single poll, or a refused time-out: nothing to cut into slices. A
  // refused connection never becomes writable, so its wait runs out.
  switch (platform::WaitWritable(FSock, timeout_ms)) {
    case platform::WaitResult::kReady:
      return Wait::kReady;
    case platform::WaitResult::kTimedOut:
      return Wait::kTimedOut;
    case platform::WaitResult::kError:
      break;
  }
  return Wait::kError;
}

TGameScan::Outcome TGameScan::ExchangeUdp(AddressItem& item, ReplyHandler& handler) {
  const ScanRequest& request = item.request;
  FSock = platform::OpenSocket(platform::SocketType::kUdp);
  if (FSock == platform::kInvalidSocket) return Outcome::kDone;
  platform::SetReceiveTimeout(FSock, request.TimeOut);
  platform::SetSendTimeout(FSock, request.TimeOut);
  if (SendQuery(handler.FirstQuery(request)) == -1) {
    CloseSocket();
    return Outcome::kDone;
  }

  // Every wait for the reply runs until TimeOut after the last query sent;
  // datagrams that are ignored do not move that deadline.
  std::int64_t deadline = ReceiveDeadline(request.TimeOut);
  bool answered = false;
  int further_queries = 0;
  int drained = 0;
  for (;;) {
    const Wait wait = WaitForDatagram(deadline);
    if (wait == Wait::kStopped) {
      CloseSocket();
      return Outcome::kStopped;
    }
    int received = -1;
    if (wait == Wait::kReady) received = platform::ReceiveFrom(FSock, FBuf, clientaddr);
    if (received < 0) {
      if (!answered) item.output.AppendPiece(FillAddress(request.OffFormat, item.address));
      break;
    }
    if (answered) {
      ++drained;
    } else if (FromTarget()) {
      const auto datagram =
          std::span<const std::uint8_t>(FBuf.data(), static_cast<std::size_t>(received));
      switch (handler.OnDatagram(datagram, item)) {
        case Verdict::kAnswered:
          answered = true;
          // The summary is written right after the datagram that answered.
          if (!request.Players) {
            item.output.AppendPiece(FillSummary(request.Format, item.address, item.values));
          }
          break;
        case Verdict::kQueryAgain:
          if (further_queries >= kMaxFurtherQueries) break;
          ++further_queries;
          if (SendQuery(handler.NextQuery()) == -1) {
            CloseSocket();
            return Outcome::kDone;
          }
          deadline = ReceiveDeadline(request.TimeOut);
          break;
        case Verdict::kIgnored:
          break;
      }
    }
    // Once answered, datagrams already waiting are received and dropped.
    if (answered && (drained >= kMaxDrainedDatagrams || platform::BytesWaiting(FSock) == 0)) break;
  }
  CloseSocket();
  return Outcome::kDone;
}

void TGameScan::Deliver(const ScanRequest& request, const ReplyText& output) {
  if (output.Empty()) return;
  std::u16string text = request.OutTitle;
  text += output.Text();
  switch (request.MsgType) {
    case reply_mode::kChannel:
    case reply_mode::kChannelWithFlag:
      SendChannelMessage(request.ChOrUser, text, request.MsgType == reply_mode::kChannelWithFlag);
      return;
    case reply_mode::kPrivate:
      SendPrivateMessage(request.ChOrUser, text, false);
      return;
    case reply_mode::kMode3:
      SendMode3Message(request.ChOrUser, text);
      return;
    default:
      return;  // Other reply modes are not delivered.
  }
}

void ScanWorker::Start(std::shared_ptr<platform::AutoResetEvent> wake_event, LinkSession session) {
  scan_ = std::make_shared<TGameScan>(MakeHandlers(), std::move(wake_event));
  std::shared_ptr<TGameScan> body = scan_;
  thread_ = platform::Thread([body, session] {
    t_on_worker_thread = true;
    // Replies go to the host of the session that started this worker only.
    BindThreadToLinkSession(session);
    try {
      body->Execute();
    } catch (...) {
      // Nothing may end the host's process from this thread.
    }
  });
}

bool ScanWorker::Stop(std::chrono::steady_clock::time_point deadline) {
  if (!scan_) return true;
  scan_->RequestTerminate();
  bool ended = false;
  // PluginStop from inside one of the worker's own host calls: the worker
  // cannot wait for itself, and ends once that call has returned.
  if (!OnWorkerThread()) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    ended = thread_.WaitForEnd(static_cast<std::int32_t>(std::max<std::int64_t>(left.count(), 0)));
  }
  scan_.reset();
  thread_ = platform::Thread();
  return ended;
}

bool ScanWorker::OnWorkerThread() { return t_on_worker_thread; }

void ScanWorker::SetHandlersForTesting(std::function<ReplyHandlers()> make) {
  std::lock_guard lock(g_handlers_lock);
  g_make_handlers_for_testing = std::move(make);
}

}  // namespace morvane
