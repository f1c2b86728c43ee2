#include "scan/request_queue.h"

namespace morvane {

RequestQueue::~RequestQueue() { Clear(); }

bool RequestQueue::Append(std::unique_ptr<TScanItem> item, std::int32_t max_queue) {
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

std::optional<RequestQueue::Taken> RequestQueue::TakeNext(std::size_t in_service) {
  std::lock_guard lock(lock_);
  TScanItem* next = head_;
  while (next != nullptr && next->InService) next = next->Next;
  if (next == nullptr || in_service >= RequestsAtOnce(*next)) return std::nullopt;
  next->InService = true;
  // The payload only: `Next` and the mark are the queue's.
  return Taken{*next, {next, generation_}};
}

void RequestQueue::Remove(const Ticket& served) {
  TScanItem* done = nullptr;
  {
    std::lock_guard lock(lock_);
    if (served.item == nullptr || generation_ != served.generation) return;
    TScanItem* before = nullptr;
    for (done = head_; done != nullptr && done != served.item; done = done->Next) before = done;
    if (done == nullptr) return;
    (before == nullptr ? head_ : before->Next) = done->Next;
    if (tail_ == done) tail_ = before;
    --count_;
  }
  delete done;
}

void RequestQueue::PopHead() {
  Ticket head;
  {
    std::lock_guard lock(lock_);
    head = {head_, generation_};
  }
  Remove(head);
}

void RequestQueue::Clear() {
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

std::int32_t RequestQueue::Count() const {
  std::lock_guard lock(lock_);
  return count_;
}

void RequestQueue::OpenWakeEvent() {
  auto event = std::make_shared<platform::AutoResetEvent>();
  std::lock_guard lock(lock_);
  wake_event_ = std::move(event);
}

void RequestQueue::CloseWakeEvent() {
  std::shared_ptr<platform::AutoResetEvent> closing;
  std::lock_guard lock(lock_);
  closing.swap(wake_event_);
}

std::shared_ptr<platform::AutoResetEvent> RequestQueue::WakeEvent() const {
  std::lock_guard lock(lock_);
  return wake_event_;
}

void RequestQueue::SignalWakeEvent() const {
  if (auto event = WakeEvent()) event->Set();
}

std::vector<ScanRequest> RequestQueue::Snapshot() const {
  std::lock_guard lock(lock_);
  std::vector<ScanRequest> items;
  for (const TScanItem* at = head_; at != nullptr; at = at->Next) {
    items.push_back(*at);
  }
  return items;
}

}  // namespace morvane
