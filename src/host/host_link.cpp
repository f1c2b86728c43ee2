#include "host/host_link.h"

#include <atomic>
#include <mutex>

#include "platform/platform.h"

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

bool StillOpen(LinkSession session) { return IsOpen(session) && g_session.load() == session; }

// The waits for a change of the link (DisconnectHost's, and a worker's that
// would enter an export) are on the entry lock's condition: each change wakes
// them to test again.
void LinkChanged() { platform::EntryLock().Notify(); }

void MoveSession(LinkSession session) {
  g_session.store(session);
  LinkChanged();
}

// The virtual user's name for the send records, and its own lock.
std::mutex g_name_lock;
std::u16string g_virtual_user_name;

// One call into the host, counted while it runs. It may go ahead only while
// the calling thread's session is open. The count goes up before the session
// is read, and DisconnectHost closes the session before it reads the count
// (both sequentially consistent), so a call either sees the link closed or is
// seen, and waited for, by the disconnect.
class CountedCall {
 public:
  CountedCall() {
    g_calls_in_flight.fetch_add(1);
    ++t_calls_in_flight;
    session_ = g_session.load();
    allowed_ = IsOpen(session_) && (t_bound_session == 0 || t_bound_session == session_);
  }
  ~CountedCall() {
    --t_calls_in_flight;
    g_calls_in_flight.fetch_sub(1);
    LinkChanged();
  }
  CountedCall(const CountedCall&) = delete;
  CountedCall& operator=(const CountedCall&) = delete;

  // Whether the call's session is still open: asked before the host is
  // called, between the two calls of a query and after the last, since the
  // host may stop the plug-in inside any of them.
  bool Open() const { return allowed_ && g_session.load() == session_; }

 private:
  LinkSession session_ = 0;
  bool allowed_ = false;
};

}  // namespace

LinkSession ConnectHost(const HostConnection& host) {
  g_plugin_id = host.plugin_id;
  g_callback = host.callback;
  g_query = host.query;
  g_virtual_user_mode = host.virtual_user_mode;
  // Published last: a thread that sees the new session sees the new host.
  const LinkSession session = g_session.load();
  const LinkSession opened = IsOpen(session) ? session + 2 : session + 1;
  MoveSession(opened);
  return opened;
}

void SetVirtualUserMode(bool virtual_user_mode) { g_virtual_user_mode = virtual_user_mode; }

HostConnection Host() {
  return {g_plugin_id.load(), g_callback.load(), g_query.load(), g_virtual_user_mode.load()};
}

bool LinkOpen() { return IsOpen(g_session.load()); }

bool DisconnectHost(std::chrono::steady_clock::time_point deadline) {
  const LinkSession session = g_session.load();
  if (IsOpen(session)) MoveSession(session + 1);
  // A host that hands our callback to its own thread (the thread now inside
  // PluginStop) never finishes that call while we wait: the wait is bounded,
  // and the late call finds the link closed when it comes back.
  const std::int32_t own_calls = t_calls_in_flight;
  return platform::EntryLock().WaitUntil(
      [own_calls] { return g_calls_in_flight.load() <= own_calls; }, deadline);
}

void BindThreadToLinkSession(LinkSession session) { t_bound_session = session; }

bool ThreadIsBoundToLink() { return t_bound_session != 0; }

bool TakeEntryLock() {
  platform::ReentrantLock& entry = platform::EntryLock();
  if (t_bound_session == 0) {
    entry.lock();
    return true;
  }
  const LinkSession bound = t_bound_session;
  return entry.LockUnless([bound] { return !StillOpen(bound); });
}

void SetVirtualUserName(std::u16string_view name) {
  std::lock_guard lock(g_name_lock);
  g_virtual_user_name.assign(name);
}

std::u16string VirtualUserName() {
  std::lock_guard lock(g_name_lock);
  return g_virtual_user_name;
}

SendResult SendHostRecord(std::int32_t code, const HostRecord& record) {
  CountedCall call;
  const MorvaneHostCallback callback = g_callback.load();
  if (!call.Open() || callback == nullptr) return {call.Open()};
  callback(g_plugin_id.load(), code, record.data(), static_cast<std::int32_t>(record.size()));
  return {call.Open()};
}

HostInt QueryHostInt(std::int32_t code) {
  CountedCall call;
  const MorvaneHostQuery query = g_query.load();
  if (!call.Open() || query == nullptr) return {-1, call.Open()};
  const std::int32_t id = g_plugin_id.load();
  const std::int32_t size = query(id, code, nullptr, 0, nullptr, 0);
  if (size <= 0 || size > kMaxHostAnswerBytes || !call.Open()) return {-1, call.Open()};
  HostRecord answer(static_cast<std::size_t>(size));
  // The second result is ignored; the buffer is what the first call announced,
  // and an announced answer shorter than an integer carries nothing.
  (void)query(id, code, answer.data(), size, nullptr, 0);
  if (answer.size() < 4) return {-1, call.Open()};
  ByteReader reader(std::span<const std::uint8_t>(answer.data(), answer.size()));
  return {ReadInt(reader), call.Open()};
}

HostAnswer QueryHostRecord(std::int32_t code, const HostRecord& input) {
  HostAnswer out;
  CountedCall call;
  const MorvaneHostQuery query = g_query.load();
  if (!call.Open() || query == nullptr) {
    out.open = call.Open();
    return out;
  }
  const std::int32_t id = g_plugin_id.load();
  const auto input_length = static_cast<std::int32_t>(input.size());
  const void* input_data = input.empty() ? nullptr : input.data();
  const std::int32_t size = query(id, code, nullptr, 0, input_data, input_length);
  if (size <= 0) out.result = size;
  if (size > 0 && size <= kMaxHostAnswerBytes && call.Open()) {
    out.answer.resize(static_cast<std::size_t>(size));
    out.result = query(id, code, out.answer.data(), size, input_data, input_length);
  }
  out.open = call.Open();
  return out;
}

namespace {

// A message spoken by the plug-in's user: [target][type flag][text] as the
// host's own user, [virtual user][type flag][target][text] as the virtual one.
SendResult SendSpokenMessage(std::int32_t direct_code, std::int32_t virtual_code,
                             std::u16string_view target, std::u16string_view text, bool type_flag) {
  HostRecord record;
  if (g_virtual_user_mode.load()) {
    AppendText(record, VirtualUserName());
    AppendInt(record, type_flag ? 1 : 0);
    AppendText(record, target);
    AppendText(record, text);
    return SendHostRecord(virtual_code, record);
  }
  AppendText(record, target);
  AppendInt(record, type_flag ? 1 : 0);
  AppendText(record, text);
  return SendHostRecord(direct_code, record);
}

}  // namespace

SendResult SendChannelMessage(std::u16string_view target, std::u16string_view text,
                              bool type_flag) {
  return SendSpokenMessage(host_code::kChannelMessage, host_code::kVirtualChannelMessage, target,
                           text, type_flag);
}

SendResult SendPrivateMessage(std::u16string_view target, std::u16string_view text,
                              bool type_flag) {
  return SendSpokenMessage(host_code::kPrivateMessage, host_code::kVirtualPrivateMessage, target,
                           text, type_flag);
}

SendResult SendMode3Message(std::u16string_view target, std::u16string_view text) {
  HostRecord record;
  if (g_virtual_user_mode.load()) {
    AppendText(record, VirtualUserName());
    AppendText(record, target);
    AppendText(record, text);
    return SendHostRecord(host_code::kVirtualMode3Message, record);
  }
  AppendText(record, target);
  AppendText(record, text);
  return SendHostRecord(host_code::kMode3Message, record);
}

}  // namespace morvane
