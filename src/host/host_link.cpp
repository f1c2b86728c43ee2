#include "host/host_link.h"

#include <atomic>
#include <mutex>
#include <thread>

namespace morvane {
namespace {

// Who the host is. Atomics rather than one struct: a worker left over from a
// stop that timed out may still read them while a new PluginStart writes.
std::atomic<std::int32_t> g_plugin_id{0};
std::atomic<MorvaneHostCallback> g_callback{nullptr};
std::atomic<MorvaneHostQuery> g_query{nullptr};
std::atomic<bool> g_virtual_user_mode{false};

// The link session: odd while the link is open, moved on by every connect
// and disconnect, so that a session number is never open twice.
std::atomic<LinkSession> g_session{0};

// Host calls begun and not yet returned: on every thread, and on this one.
// DisconnectHost waits for the first to fall to the second.
std::atomic<std::int32_t> g_calls_in_flight{0};
thread_local std::int32_t t_calls_in_flight = 0;
// The session a worker serves; 0 on every other thread.
thread_local LinkSession t_bound_session = 0;

bool IsOpen(LinkSession session) { return (session & 1u) != 0; }

// The virtual user's name for the send records, and its own lock.
std::mutex g_name_lock;
std::u16string g_virtual_user_name;

// One call into the host, counted while it runs. It may go ahead only while
// the calling thread's session is open. The count goes up before the session
// is read, and DisconnectHost closes the session before it reads the count
// (both sequentially consistent), so a call either sees the link closed or is
// seen, and waited for, by the disconnect.
class HostCall {
 public:
  HostCall() {
    g_calls_in_flight.fetch_add(1);
    ++t_calls_in_flight;
    session_ = g_session.load();
    allowed_ = IsOpen(session_) && (t_bound_session == 0 || t_bound_session == session_);
  }
  ~HostCall() {
    --t_calls_in_flight;
    g_calls_in_flight.fetch_sub(1);
  }
  HostCall(const HostCall&) = delete;
  HostCall& operator=(const HostCall&) = delete;

  // Whether the call may go ahead; asked again between the two calls of a
  // query, since the host may stop the plug-in inside the first.
  bool Allowed() const { return allowed_ && g_session.load() == session_; }

 private:
  LinkSession session_ = 0;
  bool allowed_ = false;
};

}  // namespace

void ConnectHost(const HostConnection& host) {
  g_plugin_id = host.plugin_id;
  g_callback = host.callback;
  g_query = host.query;
  g_virtual_user_mode = host.virtual_user_mode;
  // Published last: a thread that sees the new session sees the new host.
  const LinkSession session = g_session.load();
  g_session.store(IsOpen(session) ? session + 2 : session + 1);
}

void SetVirtualUserMode(bool virtual_user_mode) { g_virtual_user_mode = virtual_user_mode; }

HostConnection Host() {
  return {g_plugin_id.load(), g_callback.load(), g_query.load(), g_virtual_user_mode.load()};
}

LinkSession CurrentLinkSession() { return g_session.load(); }

bool LinkStillOpen(LinkSession session) { return IsOpen(session) && g_session.load() == session; }

bool DisconnectHost(std::chrono::steady_clock::time_point deadline) {
  const LinkSession session = g_session.load();
  if (IsOpen(session)) g_session.store(session + 1);
  // A host that hands our callback to its own thread (the thread now inside
  // PluginStop) never finishes that call while we wait: the wait is bounded,
  // and the late call finds the link closed when it comes back. Polled rather
  // than waited on: the calls are counted without any lock.
  for (;;) {
    if (g_calls_in_flight.load() <= t_calls_in_flight) return true;
    if (std::chrono::steady_clock::now() >= deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
}

void BindThreadToLinkSession(LinkSession session) { t_bound_session = session; }

bool ThreadIsBoundToLink() { return t_bound_session != 0; }

bool BoundLinkStillOpen() { return LinkStillOpen(t_bound_session); }

void SetVirtualUserName(std::u16string_view name) {
  std::lock_guard lock(g_name_lock);
  g_virtual_user_name.assign(name);
}

std::u16string VirtualUserName() {
  std::lock_guard lock(g_name_lock);
  return g_virtual_user_name;
}

void SendHostRecord(std::int32_t code, const HostRecord& record) {
  HostCall call;
  if (!call.Allowed()) return;
  const MorvaneHostCallback callback = g_callback.load();
  if (callback == nullptr) return;
  callback(g_plugin_id.load(), code, record.data(), static_cast<std::int32_t>(record.size()));
}

std::int32_t QueryHostInt(std::int32_t code) {
  HostCall call;
  const MorvaneHostQuery query = g_query.load();
  if (!call.Allowed() || query == nullptr) return -1;
  const std::int32_t id = g_plugin_id.load();
  const std::int32_t size = query(id, code, nullptr, 0, nullptr, 0);
  if (size <= 0 || size > kMaxHostAnswerBytes) return -1;
  if (!call.Allowed()) return -1;
  HostRecord answer(static_cast<std::size_t>(size));
  // The second result is ignored; the buffer is what the first call announced,
  // and an announced answer shorter than an integer carries nothing.
  (void)query(id, code, answer.data(), size, nullptr, 0);
  if (answer.size() < 4) return -1;
  ByteReader reader(std::span<const std::uint8_t>(answer.data(), answer.size()));
  return ReadInt(reader);
}

HostAnswer QueryHostRecord(std::int32_t code, const HostRecord& input) {
  HostAnswer out;
  HostCall call;
  const MorvaneHostQuery query = g_query.load();
  if (!call.Allowed() || query == nullptr) return out;
  const std::int32_t id = g_plugin_id.load();
  const auto input_length = static_cast<std::int32_t>(input.size());
  const void* input_data = input.empty() ? nullptr : input.data();
  const std::int32_t size = query(id, code, nullptr, 0, input_data, input_length);
  if (size <= 0) {
    out.result = size;
    return out;
  }
  if (size > kMaxHostAnswerBytes || !call.Allowed()) return out;
  out.answer.resize(static_cast<std::size_t>(size));
  out.result = query(id, code, out.answer.data(), size, input_data, input_length);
  return out;
}

namespace {

// A message spoken by the plug-in's user: [target][type flag][text] as the
// host's own user, [virtual user][type flag][target][text] as the virtual one.
void SendSpokenMessage(std::int32_t direct_code, std::int32_t virtual_code,
                       std::u16string_view target, std::u16string_view text, bool type_flag) {
  HostRecord record;
  if (g_virtual_user_mode.load()) {
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
  if (g_virtual_user_mode.load()) {
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
