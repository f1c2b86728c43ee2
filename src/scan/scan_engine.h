// The requests the worker serves at once (up to each request's Requests),
// run side by side on the worker's one thread. Their address items share the
// places in flight: at most Parallel items of all of them hold one. Places
// go to the requests in turn, one at a time; a request that holds none comes
// first, and while it is short of Requests, a request leaves a few places
// free, so that a request taken up beside a long one starts at once. Every
// send of every request waits for the worker's one pace (scan/send_pace.h);
// the requests take turns at it, and within a request the earliest due
// send goes first. One wait covers every socket in flight.
//
// With Requests 1 a request is served alone, and with Parallel 1 too its
// items go one after another.
#pragma once

#include <cstdint>
#include <deque>
#include <memory>
#include <vector>

#include "scan/query_pace.h"
#include "scan/request_queue.h"
#include "scan/scan_round.h"
#include "scan/send_pace.h"

namespace morvane {

// At most this many items are in flight, whatever Parallel says: each holds
// a socket (two for a FiveM player list), and one wait takes a bounded
// number of them.
inline constexpr std::int32_t kMaxParallel = 256;

class ScanEngine {
 public:
  // buffer is the worker's receive buffer, pace its pace of the queries
  // servers count per address; both outlive the engine.
  ScanEngine(std::vector<std::uint8_t>& buffer, const ReplyHandlerFactory& make_handler,
             QueryPace& pace);

  // Takes up a request: its items wait for places from the next turn on.
  // The ticket names it in the queue once it is finished or dropped.
  void Add(ScanRequest request, RequestQueue::Ticket ticket);
  bool Idle() const { return rounds_.empty(); }
  std::size_t InService() const { return rounds_.size(); }

  // One turn: places, lookups, one paced send, timers, then one wait of at
  // most max_wait_ms for the sockets in flight (cut short by a stop only at
  // its end: callers keep max_wait_ms short).
  void Turn(std::int64_t max_wait_ms);

  struct Finished {
    RequestQueue::Ticket ticket;
    ScanRequest request;
    std::u16string body;  // the items' texts joined, before OutTitle
  };
  // The first of the requests whose items have all ended (in the order they
  // ended), with its reply, if any; it stays the engine's (and is dropped
  // with the rest) until PopFinished.
  const Finished* NextFinished() const;
  void PopFinished();
  // Drops every request in service, closing its sockets; returns their
  // tickets.
  std::vector<RequestQueue::Ticket> DropAll();

 private:
  struct Served {
    std::unique_ptr<ScanRound> round;
    RequestQueue::Ticket ticket;
  };

  std::size_t PlacesHeld() const;
  bool MayTakePlace(const ScanRound& round) const;
  void TakePlaces(std::int64_t now);
  bool ShortOfSockets() const;
  // A request waits for a place that it may take now.
  bool PlaceWaiting() const;
  void SendOne(std::int64_t now);
  void Wait(std::int64_t now, std::int64_t max_wait_ms);

  RoundShared shared_;
  SendPace send_pace_;
  std::vector<Served> rounds_;  // in the order they were taken up
  std::deque<Finished> finished_;
  std::size_t send_turn_ = 0;  // the round that has the first chance to send
  WaitPlan plan_;
};

}  // namespace morvane
