#include "host_session.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>

#include "common/byte_reader.h"
#include "common/text.h"
#include "plugin_call.h"
#include "platform/platform.h"
#include "platform/program_support.h"

namespace morvane::console_host {
namespace {

// The callbacks are plain C functions that receive only the plug-in id; they
// reach the one session of the process through this pointer.
std::atomic<HostSession*> g_session{nullptr};

// The main loop dispatches messages in slices this long, so that input lines
// and the plug-in's timer are both served promptly.
constexpr std::int32_t kPumpSliceMs = 20;

std::span<const std::uint8_t> BytesOf(const void* data, std::int32_t length) {
  if (data == nullptr || length <= 0) return {};
  return {static_cast<const std::uint8_t*>(data), static_cast<std::size_t>(length)};
}

void AddChannel(std::vector<std::u16string>& channels, const std::u16string& channel) {
  if (std::find(channels.begin(), channels.end(), channel) == channels.end()) {
    channels.push_back(channel);
  }
}

void RemoveChannel(std::vector<std::u16string>& channels, const std::u16string& channel) {
  channels.erase(std::remove(channels.begin(), channels.end(), channel), channels.end());
}

std::string JoinChannelNames(const std::vector<std::u16string>& channels) {
  std::string out;
  for (const auto& channel : channels) {
    if (!out.empty()) out += ", ";
    out += "#" + EscapeForTranscript(channel);
  }
  return out;
}

}  // namespace

HostSession::HostSession(const HostOptions& options, const PluginExports& exports)
    : options_(options),
      exports_(exports),
      host_user_(Utf8ToUtf16(options.user)),
      main_thread_(std::this_thread::get_id()) {
  state_.host_online = !options.offline;
  for (const auto& channel : options.virtual_user_channels) {
    AddChannel(state_.virtual_channels, Utf8ToUtf16(channel));
  }
  g_session.store(this);
}

HostSession::~HostSession() { g_session.store(nullptr); }

// --- The host callbacks ----------------------------------------------------

// No exception may travel back through the plug-in's frames, so both
// callbacks stop every one here.
void MORVANE_CALL HostSession::OnHostCall(std::int32_t plugin_id, std::int32_t code,
                                          const void* record, std::int32_t record_length) {
  HostSession* session = g_session.load();
  if (session == nullptr) return;
  try {
    session->HandleCall(plugin_id, code, BytesOf(record, record_length));
  } catch (...) {
  }
}

std::int32_t MORVANE_CALL HostSession::OnHostQuery(std::int32_t plugin_id, std::int32_t code,
                                                   void* answer, std::int32_t answer_size,
                                                   const void* /*input*/,
                                                   std::int32_t /*input_length*/) {
  // The one query with an input record, 1080, names the virtual user; this
  // host has only one, so the name is not needed.
  HostSession* session = g_session.load();
  if (session == nullptr) return 0;
  try {
    return session->AnswerQuery(plugin_id, code, answer, answer_size);
  } catch (...) {
    return 0;
  }
}

void HostSession::HandleCall(std::int32_t plugin_id, std::int32_t code,
                             std::span<const std::uint8_t> record) {
  PluginCall call = DecodePluginCall(code, record);
  std::lock_guard lock(mutex_);
  std::string text = RenderHostCall(call, host_user_, options_.mode);
  if (plugin_id != options_.plugin_id) {
    std::size_t first_end = std::min(text.find('\n'), text.size());
    text.insert(first_end, " [plug-in id " + std::to_string(plugin_id) + "]");
  }
  PrintLocked(text);

  State& s = state_;
  switch (call.kind) {
    case CallKind::kHostJoins:
      AddChannel(s.host_channels, call.target);
      break;
    case CallKind::kVirtualJoins:
      AddChannel(s.virtual_channels, call.target);
      break;
    case CallKind::kVirtualLeaves:
      RemoveChannel(s.virtual_channels, call.target);
      break;
    case CallKind::kVirtualLogIn:
      // The host reports the new user online with 1078, but only once the
      // export that logged it in has returned.
      s.virtual_logged_in = true;
      s.virtual_user = {call.speaker, call.ip};
      s.pending_online.push_back(s.virtual_user);
      break;
    case CallKind::kVirtualLogOut:
      // A user that logs out leaves its channels, and a log-in not yet
      // reported online is no longer reported.
      std::erase_if(s.pending_online,
                    [&](const ChatUser& user) { return user.name == call.speaker; });
      if (s.virtual_logged_in && s.virtual_user.name == call.speaker) {
        s.virtual_logged_in = false;
        s.virtual_channels.clear();
      }
      break;
    default:
      break;
  }
}

std::vector<std::uint8_t> HostSession::BuildAnswerLocked(std::int32_t code, bool& known) const {
  known = true;
  RecordWriter writer;
  switch (code) {
    case query::kMode:
      writer.Int(options_.mode == HostMode::kVirtualUser ? 0 : 1);
      break;
    case query::kConnection:
      writer.Int(state_.host_online ? value::kConnected : value::kDisconnected);
      break;
    case query::kVirtualChannels:
      // Per channel: its name, an integer and a text that the plug-in skips.
      writer.Int(static_cast<std::int32_t>(state_.virtual_channels.size()));
      for (const auto& channel : state_.virtual_channels) writer.Text(channel).Int(0).Text(u"");
      break;
    default:
      known = false;
      break;
  }
  return writer.Bytes();
}

// The two-call protocol: a call without a room large enough for the answer
// learns its size; a call with one gets it. The host never writes more than
// answer_size bytes, and writes nothing into a room that is too small.
std::int32_t HostSession::AnswerQuery(std::int32_t plugin_id, std::int32_t code, void* answer,
                                      std::int32_t answer_size) {
  std::lock_guard lock(mutex_);
  bool known = false;
  std::vector<std::uint8_t> bytes = BuildAnswerLocked(code, known);
  std::string note;
  if (std::this_thread::get_id() != main_thread_) note += " [from a second thread]";
  if (plugin_id != options_.plugin_id) note += " [plug-in id " + std::to_string(plugin_id) + "]";
  if (!known || !note.empty()) {
    PrintLocked("* host query " + std::to_string(code) + (known ? "" : " (no answer)") + note);
  }
  if (!known) return 0;
  auto size = static_cast<std::int32_t>(bytes.size());
  if (answer != nullptr && answer_size >= size) std::memcpy(answer, bytes.data(), bytes.size());
  return size;
}

// --- Output ----------------------------------------------------------------

void HostSession::PrintLocked(std::string_view text) {
  std::fwrite(text.data(), 1, text.size(), stdout);
  std::fputc('\n', stdout);
  std::fflush(stdout);
}

void HostSession::Print(std::string_view text) {
  std::lock_guard lock(mutex_);
  PrintLocked(text);
}

void HostSession::PrintError(std::string_view text) {
  std::lock_guard lock(mutex_);
  std::string line = "morvane-host: " + EscapeForTranscript(Utf8ToUtf16(text)) + "\n";
  std::fwrite(line.data(), 1, line.size(), stderr);
  std::fflush(stderr);
}

void HostSession::Echo(std::string_view raw) {
  if (!raw.empty() && raw.back() == '\r') raw.remove_suffix(1);
  Print("> " + EscapeForTranscript(Utf8ToUtf16(raw)));
}

// --- Feeding the plug-in ---------------------------------------------------

void HostSession::Process(const Delivery& delivery) {
  exports_.process(delivery.code, delivery.record.data(),
                   static_cast<std::int32_t>(delivery.record.size()));
}

// Delivers the 1078 reports queued before this call; reports that these
// deliveries queue wait for the next round of the main loop, so a plug-in that
// logs in again on every report cannot keep the host from its input.
void HostSession::DeliverPendingReports() {
  std::size_t due = 0;
  {
    std::lock_guard lock(mutex_);
    due = state_.pending_online.size();
  }
  // One at a time: a log-out while an earlier report is delivered withdraws
  // the reports still waiting.
  for (std::size_t i = 0; i < due; ++i) {
    ChatUser user;
    {
      std::lock_guard lock(mutex_);
      if (state_.pending_online.empty()) return;
      user = std::move(state_.pending_online.front());
      state_.pending_online.pop_front();
      PrintLocked("-- host reports " + EscapeForTranscript(user.name) + " online");
    }
    Process(BuildUserPresence(user, true));
  }
}

void HostSession::HandlePresence(int line_number, std::string_view raw, const ScriptLine& line,
                                 bool online) {
  const char* command = online ? "!online" : "!offline";
  if (options_.mode == HostMode::kDirect) {
    if (line.user_named) {
      PrintError("line " + std::to_string(line_number) + ": " + command +
                 " NAME is for virtual mode; in direct mode " + command +
                 " alone connects or disconnects the host's user");
      return;
    }
    Echo(raw);
    {
      std::lock_guard lock(mutex_);
      state_.host_online = online;
      if (!online) state_.host_channels.clear();
    }
    Process(BuildStatus(online));
    return;
  }

  ChatUser user = line.user;
  if (!line.user_named) {
    std::lock_guard lock(mutex_);
    if (state_.virtual_logged_in) user = state_.virtual_user;
  }
  if (user.name.empty()) {
    PrintError("line " + std::to_string(line_number) +
               ": no virtual user has logged in; name one: " + command + " NAME");
    return;
  }
  Echo(raw);
  {
    std::lock_guard lock(mutex_);
    // A user that goes offline leaves its channels.
    if (!online && state_.virtual_logged_in && state_.virtual_user.name == user.name) {
      state_.virtual_channels.clear();
    }
  }
  Process(BuildUserPresence(user, online));
}

bool HostSession::HandleLine(int line_number, std::string_view raw, std::int32_t& wait_ms) {
  ScriptLine line = ParseScriptLine(raw);
  std::u16string virtual_user;
  {
    std::lock_guard lock(mutex_);
    virtual_user = state_.virtual_user.name;
  }
  switch (line.kind) {
    case LineKind::kIgnored:
      return true;
    case LineKind::kError:
      PrintError("line " + std::to_string(line_number) + ": " + line.error);
      return true;
    case LineKind::kChannelMessage:
      Echo(raw);
      Process(BuildChannelMessage(options_.mode, virtual_user, line.user, line.channel, line.text));
      return true;
    case LineKind::kPrivateMessage:
      Echo(raw);
      Process(BuildPrivateMessage(options_.mode, virtual_user, line.user, line.text));
      return true;
    case LineKind::kOnline:
    case LineKind::kOffline:
      HandlePresence(line_number, raw, line, line.kind == LineKind::kOnline);
      return true;
    case LineKind::kWait:
      Echo(raw);
      wait_ms = line.wait_ms;
      return true;
    case LineKind::kAbout: {
      Echo(raw);
      std::int32_t result = exports_.show_about();
      Print("-- PluginShowAbout returned " + std::to_string(result));
      return true;
    }
    case LineKind::kOptions:
      Echo(raw);
      exports_.show_options();
      Print("-- PluginShowOptions returned");
      return true;
    case LineKind::kQuit:
      Echo(raw);
      return false;
  }
  return true;
}

// --- The run ---------------------------------------------------------------

int HostSession::Run(LineSource& source) {
  // A host starts the socket library for its plug-ins. It is not stopped at
  // the end: a worker that outlives PluginStop's bounded wait may still use
  // it until the process ends.
  platform::StartSocketLibrary();

  std::u16string name = QueryDisplayName(exports_);
  Print("-- plug-in: " +
        (name.empty() ? std::string("(no display name)") : EscapeForTranscript(name)));
  if (options_.mode == HostMode::kDirect) {
    Print("-- mode: direct, host user " + EscapeForTranscript(host_user_) +
          (options_.offline ? " (offline)" : " (online)"));
  } else {
    std::string listed;
    {
      std::lock_guard lock(mutex_);
      listed = JoinChannelNames(state_.virtual_channels);
    }
    Print("-- mode: virtual" + (listed.empty() ? "" : ", virtual user listed in " + listed));
  }

  std::int32_t result = exports_.start(options_.plugin_id, &OnHostCall, &OnHostQuery);
  if (result != 1) {
    Print(result == 0 ? std::string("-- refused")
                      : "-- refused (PluginStart returned " + std::to_string(result) + ")");
    exports_.stop();
    Print("-- stopped");
    return 1;
  }
  Print("-- started");

  using Clock = std::chrono::steady_clock;
  auto wait_until = Clock::now();
  int line_number = 0;
  for (;;) {
    DeliverPendingReports();
    auto now = Clock::now();
    if (now < wait_until) {
      auto left = std::chrono::duration_cast<std::chrono::milliseconds>(wait_until - now).count();
      platform::PumpMessages(
          static_cast<std::int32_t>(std::clamp<long long>(left, 1, kPumpSliceMs)));
      continue;
    }
    std::string raw;
    LineSource::Next next = source.TryNext(raw);
    if (next == LineSource::Next::kEnd) break;
    if (next == LineSource::Next::kNotYet) {
      platform::PumpMessages(kPumpSliceMs);
      continue;
    }
    ++line_number;
    std::int32_t wait_ms = 0;
    if (!HandleLine(line_number, raw, wait_ms)) break;
    if (wait_ms > 0) wait_until = Clock::now() + std::chrono::milliseconds(wait_ms);
  }

  exports_.stop();
  Print("-- stopped");
  return 0;
}

}  // namespace morvane::console_host
