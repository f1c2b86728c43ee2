#include "scan/scan_engine.h"

#include <algorithm>

namespace morvane {
namespace {

std::size_t ParallelOf(const ScanRequest& request) {
  return static_cast<std::size_t>(std::clamp(request.Parallel, 1, kMaxParallel));
}

}  // namespace

ScanEngine::ScanEngine(std::vector<std::uint8_t>& buffer, const ReplyHandlerFactory& make_handler,
                       QueryPace& pace)
    : shared_{buffer, make_handler, pace} {}

void ScanEngine::Add(ScanRequest request, RequestQueue::Ticket ticket) {
  rounds_.push_back({std::make_unique<ScanRound>(std::move(request), shared_), ticket});
}

std::size_t ScanEngine::PlacesHeld() const {
  std::size_t held = 0;
  for (const Served& served : rounds_) held += served.round->Held();
  return held;
}

// A request's own Parallel bounds the places of all requests together. A
// request that holds none may take any free place; one that holds some
// leaves free a place for each request that could still be taken up beside
// it (by its Requests), at most a quarter of Parallel.
bool ScanEngine::MayTakePlace(const ScanRound& round) const {
  const std::size_t parallel = ParallelOf(round.Request());
  const std::size_t held = PlacesHeld();
  if (held >= parallel) return false;
  if (round.Held() == 0) return true;
  const auto holders = static_cast<std::size_t>(std::count_if(
      rounds_.begin(), rounds_.end(), [](const Served& s) { return s.round->Held() > 0; }));
  const std::size_t requests = RequestsAtOnce(round.Request());
  const std::size_t reserve = std::min(requests > holders ? requests - holders : 0, parallel / 4);
  return parallel - held > reserve;
}

// The requests take places in turns of one, a request that holds none
// first. While an item waits for a socket, the descriptors are used up: no
// new item starts.
bool ScanEngine::ShortOfSockets() const {
  return std::any_of(rounds_.begin(), rounds_.end(),
                     [](const Served& s) { return s.round->ShortOfSockets(); });
}

bool ScanEngine::PlaceWaiting() const {
  return !ShortOfSockets() && std::any_of(rounds_.begin(), rounds_.end(), [this](const Served& s) {
    return s.round->WantsPlace() && MayTakePlace(*s.round);
  });
}

void ScanEngine::TakePlaces(std::int64_t now) {
  if (ShortOfSockets()) return;
  for (const bool empty_first : {true, false}) {
    for (bool took = true; took;) {
      took = false;
      for (Served& served : rounds_) {
        ScanRound& round = *served.round;
        if (empty_first && round.Held() > 0) continue;
        if (!round.WantsPlace() || !MayTakePlace(round)) continue;
        took = round.TakePlace(now) || took;
        if (round.ShortOfSockets()) return;
      }
    }
  }
}

// One send when the pace allows: the rounds take turns, each sending its
// earliest due.
void ScanEngine::SendOne(std::int64_t now) {
  if (rounds_.empty() || MonotonicUs() < send_pace_.NextUs()) return;
  for (std::size_t k = 0; k < rounds_.size(); ++k) {
    const std::size_t at = (send_turn_ + k) % rounds_.size();
    AddressExchange* sender = rounds_[at].round->DueSender(now);
    if (sender == nullptr) continue;
    sender->Send(now);
    send_pace_.Record(MonotonicUs());
    send_turn_ = at + 1;
    return;
  }
}

void ScanEngine::Turn(std::int64_t max_wait_ms) {
  std::int64_t now = MonotonicMs();
  // What the last wait ended is let go first: a socket it freed is counted
  // before any item may take it.
  for (Served& served : rounds_) served.round->LetEndedGo();
  TakePlaces(now);
  for (Served& served : rounds_) served.round->LookAtNames(now);
  const bool others_left = std::any_of(
      rounds_.begin(), rounds_.end(), [](const Served& s) { return s.round->HasItemThatCanEnd(); });
  for (Served& served : rounds_) served.round->RetryWithoutSocket(now, others_left);
  SendOne(now);
  for (Served& served : rounds_) {
    served.round->OnTime(now);
    served.round->LetEndedGo();
  }
  for (auto it = rounds_.begin(); it != rounds_.end();) {
    if (!it->round->Done()) {
      ++it;
      continue;
    }
    ReplyText output(it->round->Request());
    it->round->Collect(output);
    finished_.push_back({it->ticket, it->round->Request(), output.Text()});
    it = rounds_.erase(it);
  }
  // An item that ended just now leaves a place to take at once.
  if (!finished_.empty() || rounds_.empty() || PlaceWaiting()) return;
  Wait(now, max_wait_ms);
}

// Waits for the first socket, send slot, retry, deadline or answered name.
void ScanEngine::Wait(std::int64_t now, std::int64_t max_wait_ms) {
  plan_.waits.clear();
  plan_.waiting.clear();
  plan_.wake = now + max_wait_ms;
  plan_.send_due.reset();
  plan_.resolving = false;
  for (const Served& served : rounds_) served.round->PlanWait(now, plan_);
  std::int64_t wake_us = plan_.wake * 1000;
  // A due send waits for the pace's next slot, which may be a fraction of a
  // millisecond away.
  if (plan_.send_due)
    wake_us = std::min(wake_us, std::max(*plan_.send_due * 1000, send_pace_.NextUs()));
  const std::int64_t wait_us = std::max<std::int64_t>(wake_us - MonotonicUs(), 0);
  if (plan_.waits.empty()) {
    if (plan_.resolving) {
      shared_.lookup_done->Wait(static_cast<std::int32_t>((wait_us + 999) / 1000));
    } else if (wait_us > 0) {
      (void)platform::WaitForSocketsMicroseconds({}, wait_us);
    }
    return;
  }
  const platform::WaitResult result = platform::WaitForSocketsMicroseconds(plan_.waits, wait_us);
  now = MonotonicMs();
  for (std::size_t i = 0; i < plan_.waits.size(); ++i) {
    if (result == platform::WaitResult::kError) {
      plan_.waiting[i]->OnWaitError();
    } else if (plan_.waits[i].state != platform::SocketState::kWaiting) {
      plan_.waiting[i]->OnSocketOf(plan_.waits[i].socket, plan_.waits[i].state, now);
    }
  }
}

const ScanEngine::Finished* ScanEngine::NextFinished() const {
  return finished_.empty() ? nullptr : &finished_.front();
}

void ScanEngine::PopFinished() {
  if (!finished_.empty()) finished_.pop_front();
}

std::vector<RequestQueue::Ticket> ScanEngine::DropAll() {
  std::vector<RequestQueue::Ticket> tickets;
  for (const Served& served : rounds_) tickets.push_back(served.ticket);
  for (const Finished& done : finished_) tickets.push_back(done.ticket);
  rounds_.clear();
  finished_.clear();
  return tickets;
}

}  // namespace morvane
