// A host of the tests' own: it records every callback call and answers the
// plug-in's queries from values the test sets. The callbacks are plain
// function pointers, so there is one host per test process; Reset() before
// each test.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "morvane/plugin_api.h"

namespace morvane::test {

struct RecordedCall {
  std::int32_t plugin_id = 0;
  std::int32_t code = 0;
  std::vector<std::uint8_t> record;
};

class FakeHost {
 public:
  static FakeHost& Instance();

  // Answers. A negative answer means "no answer" (size 0).
  void SetModeAnswer(std::int32_t value);                   // query 2000: 0 virtual user, 1 direct
  void SetConnectionAnswer(std::int32_t value);             // query 11: 2 connected
  void SetChannelsAnswer(std::vector<std::uint8_t> bytes);  // query 1080, raw
  void Reset();

  // Re-entry: the hook runs inside every callback and query (once per query,
  // on its first call), after the call is recorded, on the calling thread and
  // with no lock of the fake host held. It may call the plug-in's exports.
  using Hook = std::function<void(std::int32_t code, const std::vector<std::uint8_t>& record)>;
  void SetHook(Hook hook);

  // A window program's host: a callback made on any thread but the calling
  // one (the host's) is handed to the host's thread, and its caller waits
  // for it, at most 5 s, as such a host's SendMessage does. The host's thread
  // serves handed calls only between its own export calls: in
  // ServeHandedCalls and while it waits in WaitForCalls.
  void HandCallsToThisThread();
  void ServeHandedCalls();
  std::size_t HandedCallsWaiting() const;

  std::vector<RecordedCall> Calls() const;
  std::vector<RecordedCall> CallsWithCode(std::int32_t code) const;
  std::vector<std::int32_t> QueriesAsked() const;
  // Waits (pumping messages) until at least n calls have the code, at most
  // timeout_ms; true when they arrived.
  bool WaitForCalls(std::int32_t code, std::size_t n, std::int32_t timeout_ms);
  void ClearCalls();

  static void MORVANE_CALL Callback(std::int32_t plugin_id, std::int32_t code, const void* record,
                                    std::int32_t length);
  static std::int32_t MORVANE_CALL Query(std::int32_t plugin_id, std::int32_t code, void* answer,
                                         std::int32_t answer_size, const void* input,
                                         std::int32_t input_length);

 private:
  std::vector<std::uint8_t> AnswerFor(std::int32_t code) const;
  void Record(RecordedCall call);

  struct HandedCall {
    RecordedCall call;
    bool done = false;
  };

  mutable std::mutex lock_;  // Guards everything below: the worker calls back too.
  std::condition_variable handed_done_;
  std::deque<std::shared_ptr<HandedCall>> handed_;
  std::thread::id host_thread_;
  bool hand_calls_ = false;
  Hook hook_;
  std::int32_t mode_answer_ = 1;
  std::int32_t connection_answer_ = 2;
  std::vector<std::uint8_t> channels_answer_;
  std::vector<RecordedCall> calls_;
  std::vector<std::int32_t> queries_;
};

// Record building and reading for tests.
std::vector<std::uint8_t> RecordInt(std::int32_t value);
std::vector<std::uint8_t> RecordText(std::u16string_view text);
std::vector<std::uint8_t> Concat(std::initializer_list<std::vector<std::uint8_t>> parts);

// Decodes a record by a layout string: 'i' an integer, 't' a text. Each field
// comes back as text (integers in decimal). Fails the test when the record is
// not exactly that layout.
std::vector<std::u16string> DecodeRecord(const std::vector<std::uint8_t>& record,
                                         const std::string& layout);

}  // namespace morvane::test
