#include "plugin/host_link.h"

#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>

namespace morvane {
namespace {

HostConnection g_host;

// Guards the open flag and is held across every callback call, so that
// closing the link waits for a send in progress and no send starts after it.
std::mutex g_send_gate;
std::atomic<bool> g_link_open{false};

// The virtual user's name for the send records, and its own lock.
std::mutex g_name_lock;
std::u16string g_virtual_user_name;

}  // namespace

void ConnectHost(const HostConnection& host) {
  std::lock_guard gate(g_send_gate);
  g_host = host;
  g_link_open = true;
}

const HostConnection& Host() { return g_host; }

void DisconnectHost(std::int32_t wait_ms) {
  // A host that marshals our callback to its own thread (which is the thread
  // now inside PluginStop) would never finish that send; the wait is bounded
  // so that PluginStop still returns, and the worker then finds the link
  // closed as soon as that call comes back.
  // Polled rather than a timed lock, which the thread sanitizer of our
  // toolchain does not follow.
  g_link_open = false;  // Seen by any send that has not begun yet.
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(wait_ms);
  while (!g_send_gate.try_lock()) {
    if (std::chrono::steady_clock::now() >= deadline) return;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  g_send_gate.unlock();
}

void SetVirtualUserName(std::u16string_view name) {
  std::lock_guard lock(g_name_lock);
  g_virtual_user_name.assign(name);
}

std::u16string VirtualUserName() {
  std::lock_guard lock(g_name_lock);
  return g_virtual_user_name;
}

void SendHostRecord(std::int32_t code, const HostRecord& record) {
  std::lock_guard gate(g_send_gate);
  if (!g_link_open || g_host.callback == nullptr) return;
  g_host.callback(g_host.plugin_id, code, record.data(), static_cast<std::int32_t>(record.size()));
}

std::int32_t QueryHostInt(std::int32_t code) {
  if (g_host.query == nullptr) return -1;
  std::int32_t size = g_host.query(g_host.plugin_id, code, nullptr, 0, nullptr, 0);
  if (size <= 0) return -1;
  HostRecord answer(static_cast<std::size_t>(size));
  // The second result is ignored; the buffer is what the first call announced,
  // and an announced answer shorter than an integer carries nothing.
  (void)g_host.query(g_host.plugin_id, code, answer.data(), size, nullptr, 0);
  if (answer.size() < 4) return -1;
  ByteReader reader(std::span<const std::uint8_t>(answer.data(), answer.size()));
  return ReadInt(reader);
}

HostAnswer QueryHostRecord(std::int32_t code, const HostRecord& input) {
  HostAnswer out;
  if (g_host.query == nullptr) return out;
  const auto input_length = static_cast<std::int32_t>(input.size());
  const void* input_data = input.empty() ? nullptr : input.data();
  std::int32_t size = g_host.query(g_host.plugin_id, code, nullptr, 0, input_data, input_length);
  if (size <= 0) {
    out.result = size;
    return out;
  }
  out.answer.resize(static_cast<std::size_t>(size));
  out.result = g_host.query(g_host.plugin_id, code, out.answer.data(), size, input_data, input_length);
  return out;
}

namespace {

// A message spoken by the plug-in's user: [target][type flag][text] as the
// host's own user, [virtual user][type flag][target][text] as the virtual one.
void SendSpokenMessage(std::int32_t direct_code, std::int32_t virtual_code,
                       std::u16string_view target, std::u16string_view text, bool type_flag) {
  HostRecord record;
  if (g_host.virtual_user_mode) {
    AppendText(record, VirtualUserName());
    AppendInt(record, type_flag ? 1 : 0);
    AppendText(record, target);
    AppendText(record, text);
    SendHostRecord(virtual_code, record);
    return;
  }
  AppendText(record, target);
  AppendInt(record, type_flag ? 1 : 0);
  AppendText(record, text);
  SendHostRecord(direct_code, record);
}

}  // namespace

void SendChannelMessage(std::u16string_view target, std::u16string_view text, bool type_flag) {
  SendSpokenMessage(host_code::kChannelMessage, host_code::kVirtualChannelMessage, target, text,
                    type_flag);
}

void SendPrivateMessage(std::u16string_view target, std::u16string_view text, bool type_flag) {
  SendSpokenMessage(host_code::kPrivateMessage, host_code::kVirtualPrivateMessage, target, text,
                    type_flag);
}

void SendMode3Message(std::u16string_view target, std::u16string_view text) {
  HostRecord record;
  if (g_host.virtual_user_mode) {
    AppendText(record, VirtualUserName());
    AppendText(record, target);
    AppendText(record, text);
    SendHostRecord(host_code::kVirtualMode3Message, record);
    return;
  }
  AppendText(record, target);
  AppendText(record, text);
  SendHostRecord(host_code::kMode3Message, record);
}

}  // namespace morvane
