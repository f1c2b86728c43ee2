#include "support/fake_host.h"

#include <gtest/gtest.h>

#include <chrono>

#include "common/byte_reader.h"
#include "common/text.h"
#include "platform/platform.h"
#include "platform/program_support.h"

namespace morvane::test {

FakeHost& FakeHost::Instance() {
  static FakeHost host;
  return host;
}

void FakeHost::SetModeAnswer(std::int32_t value) {
  std::lock_guard lock(lock_);
  mode_answer_ = value;
}

void FakeHost::SetConnectionAnswer(std::int32_t value) {
  std::lock_guard lock(lock_);
  connection_answer_ = value;
}

void FakeHost::SetChannelsAnswer(std::vector<std::uint8_t> bytes) {
  std::lock_guard lock(lock_);
  channels_answer_ = std::move(bytes);
}

void FakeHost::Reset() {
  ServeHandedCalls();
  std::lock_guard lock(lock_);
  hand_calls_ = false;
  hook_ = nullptr;
  mode_answer_ = 1;
  connection_answer_ = 2;
  channels_answer_.clear();
  calls_.clear();
  queries_.clear();
}

std::vector<RecordedCall> FakeHost::Calls() const {
  std::lock_guard lock(lock_);
  return calls_;
}

std::vector<RecordedCall> FakeHost::CallsWithCode(std::int32_t code) const {
  std::lock_guard lock(lock_);
  std::vector<RecordedCall> out;
  for (const auto& call : calls_) {
    if (call.code == code) out.push_back(call);
  }
  return out;
}

std::vector<std::int32_t> FakeHost::QueriesAsked() const {
  std::lock_guard lock(lock_);
  return queries_;
}

bool FakeHost::WaitForCalls(std::int32_t code, std::size_t n, std::int32_t timeout_ms) {
  auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
  for (;;) {
    ServeHandedCalls();
    if (CallsWithCode(code).size() >= n) return true;
    if (std::chrono::steady_clock::now() >= deadline) return false;
    platform::PumpMessages(10);
  }
}

void FakeHost::SetHook(Hook hook) {
  std::lock_guard lock(lock_);
  hook_ = std::move(hook);
}

void FakeHost::HandCallsToThisThread() {
  std::lock_guard lock(lock_);
  host_thread_ = std::this_thread::get_id();
  hand_calls_ = true;
}

void FakeHost::ServeHandedCalls() {
  for (;;) {
    std::shared_ptr<HandedCall> handed;
    {
      std::lock_guard lock(lock_);
      if (handed_.empty()) return;
      handed = handed_.front();
      handed_.pop_front();
    }
    Record(handed->call);
    {
      std::lock_guard lock(lock_);
      handed->done = true;
    }
    handed_done_.notify_all();
  }
}

std::size_t FakeHost::HandedCallsWaiting() const {
  std::lock_guard lock(lock_);
  return handed_.size();
}

void FakeHost::Record(RecordedCall call) {
  Hook hook;
  {
    std::lock_guard lock(lock_);
    calls_.push_back(call);
    hook = hook_;
  }
  if (hook) hook(call.code, call.record);
}

void FakeHost::ClearCalls() {
  std::lock_guard lock(lock_);
  calls_.clear();
  queries_.clear();
}

void MORVANE_CALL FakeHost::Callback(std::int32_t plugin_id, std::int32_t code, const void* record,
                                     std::int32_t length) {
  RecordedCall call{plugin_id, code, {}};
  if (record != nullptr && length > 0) {
    auto bytes = static_cast<const std::uint8_t*>(record);
    call.record.assign(bytes, bytes + length);
  }
  auto& host = Instance();
  std::unique_lock lock(host.lock_);
  if (!host.hand_calls_ || std::this_thread::get_id() == host.host_thread_) {
    lock.unlock();
    host.Record(std::move(call));
    return;
  }
  auto handed = std::make_shared<HandedCall>();
  handed->call = std::move(call);
  host.handed_.push_back(handed);
  // A host that gets no answer gives up after a while, as SendMessageTimeout
  // does; the call is then dropped unserved.
  if (!host.handed_done_.wait_for(lock, std::chrono::seconds(5), [&] { return handed->done; })) {
    std::erase(host.handed_, handed);
  }
}

std::vector<std::uint8_t> FakeHost::AnswerFor(std::int32_t code) const {
  switch (code) {
    case 2000:
      return mode_answer_ < 0 ? std::vector<std::uint8_t>{} : RecordInt(mode_answer_);
    case 11:
      return connection_answer_ < 0 ? std::vector<std::uint8_t>{} : RecordInt(connection_answer_);
    case 1080:
      return channels_answer_;
    default:
      return {};
  }
}

std::int32_t MORVANE_CALL FakeHost::Query(std::int32_t /*plugin_id*/, std::int32_t code,
                                          void* answer, std::int32_t answer_size,
                                          const void* /*input*/, std::int32_t /*input_length*/) {
  auto& host = Instance();
  std::vector<std::uint8_t> bytes;
  Hook hook;
  {
    std::lock_guard lock(host.lock_);
    host.queries_.push_back(code);
    bytes = host.AnswerFor(code);
    if (answer == nullptr) hook = host.hook_;
  }
  if (answer != nullptr && answer_size > 0) {
    std::size_t n = std::min(bytes.size(), static_cast<std::size_t>(answer_size));
    std::copy(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(n),
              static_cast<std::uint8_t*>(answer));
  }
  if (hook) hook(code, {});
  return static_cast<std::int32_t>(bytes.size());
}

std::vector<std::uint8_t> RecordInt(std::int32_t value) {
  auto v = static_cast<std::uint32_t>(value);
  return {static_cast<std::uint8_t>(v), static_cast<std::uint8_t>(v >> 8),
          static_cast<std::uint8_t>(v >> 16), static_cast<std::uint8_t>(v >> 24)};
}

std::vector<std::uint8_t> RecordText(std::u16string_view text) {
  auto out = RecordInt(static_cast<std::int32_t>(text.size()));
  for (char16_t c : text) {
    out.push_back(static_cast<std::uint8_t>(c));
    out.push_back(static_cast<std::uint8_t>(c >> 8));
  }
  return out;
}

std::vector<std::uint8_t> Concat(std::initializer_list<std::vector<std::uint8_t>> parts) {
  std::vector<std::uint8_t> out;
  for (const auto& part : parts) out.insert(out.end(), part.begin(), part.end());
  return out;
}

std::vector<std::u16string> DecodeRecord(const std::vector<std::uint8_t>& record,
                                         const std::string& layout) {
  ByteReader reader(std::span<const std::uint8_t>(record.data(), record.size()));
  std::vector<std::u16string> fields;
  for (char kind : layout) {
    if (kind == 'i') {
      fields.push_back(AsciiToUtf16(std::to_string(reader.ReadI32LE())));
      continue;
    }
    std::int32_t count = reader.ReadI32LE();
    std::u16string text;
    for (std::int32_t i = 0; i < count; ++i)
      text.push_back(static_cast<char16_t>(reader.ReadU16LE()));
    fields.push_back(text);
  }
  EXPECT_FALSE(reader.Exhausted()) << "record shorter than layout " << layout;
  EXPECT_TRUE(reader.AtEnd()) << "record longer than layout " << layout;
  return fields;
}

}  // namespace morvane::test
