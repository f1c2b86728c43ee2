#include "settings/scan_queue.h"

#include "plugin/plugin_state.h"

namespace morvane {

std::optional<ServerKind> ServerKindFromWord(std::u16string_view word) {
  static constexpr struct {
    std::u16string_view word;
    ServerKind kind;
  } kKinds[] = {
      {u"hl", {kGameSource, false, false}},   {u"hlpl", {kGameSource, true, false}},
      {u"cod", {kGameQuake3, false, false}},  {u"codpl", {kGameQuake3, true, false}},
      {u"sa", {kGameSamp, false, false}},     {u"sapl", {kGameSamp, true, false}},
      {u"tcp", {kGameTcp, false, true}},
  };
  for (const auto& entry : kKinds) {
    if (entry.word == word) return entry.kind;
  }
  return std::nullopt;
}

ScanQueue::~ScanQueue() { Clear(); }

bool ScanQueue::Append(std::unique_ptr<TScanItem> item, std::int32_t max_queue) {
  item->Next = nullptr;
  {
    std::lock_guard lock(lock_);
    if (count_ >= max_queue) return false;
    TScanItem* raw = item.release();
    if (tail_ == nullptr) {
      head_.store(raw, std::memory_order_release);
    } else {
      tail_->Next = raw;
    }
    tail_ = raw;
    ++count_;
  }
  SignalWakeEvent();
  return true;
}

ScanQueue::HeadTicket ScanQueue::TakeHead() const {
  std::lock_guard lock(lock_);
  return {head_.load(std::memory_order_relaxed), generation_};
}

void ScanQueue::PopHead(const HeadTicket& served) {
  TScanItem* done = nullptr;
  {
    std::lock_guard lock(lock_);
    done = head_.load(std::memory_order_relaxed);
    if (done == nullptr || done != served.item || generation_ != served.generation) return;
    head_.store(done->Next, std::memory_order_release);
    if (tail_ == done) tail_ = nullptr;
    --count_;
  }
  delete done;
}

void ScanQueue::Clear() {
  TScanItem* first = nullptr;
  {
    std::lock_guard lock(lock_);
    first = head_.load(std::memory_order_relaxed);
    head_.store(nullptr, std::memory_order_release);
    tail_ = nullptr;
    count_ = 0;
    ++generation_;
  }
  while (first != nullptr) {
    TScanItem* next = first->Next;
    delete first;
    first = next;
  }
}

std::int32_t ScanQueue::Count() const {
  std::lock_guard lock(lock_);
  return count_;
}

void ScanQueue::OpenWakeEvent() {
  auto event = std::make_shared<platform::AutoResetEvent>();
  std::lock_guard lock(lock_);
  wake_event_ = std::move(event);
}

void ScanQueue::CloseWakeEvent() {
  std::shared_ptr<platform::AutoResetEvent> closing;
  std::lock_guard lock(lock_);
  closing.swap(wake_event_);
}

std::shared_ptr<platform::AutoResetEvent> ScanQueue::WakeEvent() const {
  std::lock_guard lock(lock_);
  return wake_event_;
}

void ScanQueue::SignalWakeEvent() const {
  if (auto event = WakeEvent()) event->Set();
}

std::vector<TScanItem> ScanQueue::Snapshot() const {
  std::lock_guard lock(lock_);
  std::vector<TScanItem> items;
  for (TScanItem* at = head_.load(std::memory_order_relaxed); at != nullptr; at = at->Next) {
    items.push_back(*at);
    items.back().Next = nullptr;
  }
  return items;
}

ScanQueue& Queue() {
  static ScanQueue queue;
  return queue;
}

void AddScanItem(std::u16string_view Addr, std::u16string_view ChOrUser,
                 std::u16string_view OutTitle, std::u16string_view Format,
                 std::u16string_view OffFormat, std::u16string_view PlTitle,
                 std::u16string_view Delimiter, std::u16string_view PlDelimiter,
                 std::u16string_view kind, std::int32_t MsgType, std::int32_t TimeOut) {
  const std::int32_t max_queue = Plugin().settings.MaxQueue;
  if (Queue().Count() >= max_queue) return;
  auto server_kind = ServerKindFromWord(kind);
  if (!server_kind) return;
  auto item = std::make_unique<TScanItem>();
  item->Addr = Addr;
  item->ChOrUser = ChOrUser;
  item->OutTitle = OutTitle;
  item->Format = Format;
  item->OffFormat = OffFormat;
  item->PlTitle = PlTitle;
  item->Delimiter = Delimiter;
  item->PlDelimiter = PlDelimiter;
  item->MsgType = MsgType;
  item->TimeOut = TimeOut;
  item->Game = server_kind->Game;
  item->Players = server_kind->Players;
  item->TCP = server_kind->TCP;
  Queue().Append(std::move(item), max_queue);
}

}  // namespace morvane
