#include "scan/scan_queue.h"

namespace morvane {

ScanQueue::~ScanQueue() { Clear(); }

bool ScanQueue::Append(std::unique_ptr<TScanItem> item, std::int32_t max_queue) {
  item->Next = nullptr;
  {
    std::lock_guard lock(lock_);
    if (count_ >= max_queue) return false;
    TScanItem* raw = item.release();
    if (tail_ == nullptr) {
      head_ = raw;
    } else {
      tail_->Next = raw;
    }
    tail_ = raw;
    ++count_;
  }
  SignalWakeEvent();
  return true;
}

std::optional<ScanQueue::TakenHead> ScanQueue::TakeHead() const {
  std::lock_guard lock(lock_);
  if (head_ == nullptr) return std::nullopt;
  // The payload only: `Next` is the queue's.
  return TakenHead{*head_, {head_, generation_}};
}

void ScanQueue::PopHead(const HeadTicket& served) {
  TScanItem* done = nullptr;
  {
    std::lock_guard lock(lock_);
    done = head_;
    if (done == nullptr || done != served.item || generation_ != served.generation) return;
    head_ = done->Next;
    if (tail_ == done) tail_ = nullptr;
    --count_;
  }
  delete done;
}

void ScanQueue::PopHead() {
  HeadTicket head;
  {
    std::lock_guard lock(lock_);
    head = {head_, generation_};
  }
  PopHead(head);
}

void ScanQueue::Clear() {
  TScanItem* first = nullptr;
  {
    std::lock_guard lock(lock_);
    first = head_;
    head_ = nullptr;
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

std::vector<ScanRequest> ScanQueue::Snapshot() const {
  std::lock_guard lock(lock_);
  std::vector<ScanRequest> items;
  for (const TScanItem* at = head_; at != nullptr; at = at->Next) {
    items.push_back(*at);
  }
  return items;
}

}  // namespace morvane
