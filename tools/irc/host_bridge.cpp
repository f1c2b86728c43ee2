#include "host_bridge.h"

#include <atomic>
#include <csignal>
#include <cstring>

#include "code_mapping.h"
#include "common/byte_reader.h"
#include "common/text.h"
#include "console_host/plugin_call.h"
#include "console_host/plugin_codes.h"
#include "irc_log.h"
#include "irc_text.h"
#include "nick_choice.h"
#include "platform/platform.h"
#include "platform/program_support.h"

namespace morvane::irc {
namespace {

constexpr std::int32_t kPluginId = 1;
// The plug-in's event timer on Windows fires only while the thread that
// called PluginStart dispatches its messages.
constexpr auto kPumpEvery = std::chrono::milliseconds(100);
// After Stop, the longest the connections get to say QUIT and close.
constexpr auto kStopGrace = std::chrono::seconds(4);
constexpr auto kCloseCheckEvery = std::chrono::milliseconds(50);

// The callbacks are plain C functions; they reach the one bridge of the
// process through this pointer.
std::atomic<HostBridge*> g_bridge{nullptr};

std::span<const std::uint8_t> BytesOf(const void* data, std::int32_t length) {
  if (data == nullptr || length <= 0) return {};
  return {static_cast<const std::uint8_t*>(data), static_cast<std::size_t>(length)};
}

}  // namespace

HostBridge::HostBridge(asio::io_context& io, const IrcOptions& options,
                       const console_host::PluginExports& exports)
    : io_(io),
      options_(options),
      exports_(exports),
      mode_(options.virtual_mode ? console_host::HostMode::kVirtualUser
                                 : console_host::HostMode::kDirect),
      bridge_thread_(std::this_thread::get_id()),
      signals_(io, SIGINT, SIGTERM),
      pump_timer_(io),
      stop_timer_(io),
      command_rate_(options.rate.commands_per_minute, options.rate.ignore_for) {
  g_bridge.store(this);
}

HostBridge::~HostBridge() { g_bridge.store(nullptr); }

bool HostBridge::Start() {
  signals_.async_wait([this](const std::error_code& error, int signal) {
    if (error) return;
    Log("signal " + std::to_string(signal) + ": stopping");
    Stop();
  });
#ifdef _WIN32
  PumpWindowMessages();
#endif
  host_ = OpenSession(options_.nick, {});
  host_->connection->Start();

  std::u16string name = console_host::QueryDisplayName(exports_);
  Log("plug-in: " + (name.empty() ? std::string("(no display name)") : Utf16ToUtf8(name)) +
      (mode_ == console_host::HostMode::kVirtualUser ? ", virtual-user mode" : ", direct mode"));
  plugin_started_ = true;
  std::int32_t result = exports_.start(kPluginId, &OnHostCall, &OnHostQuery);
  if (result != 1) {
    Log("the plug-in refused to start (PluginStart returned " + std::to_string(result) + ")");
    exit_status_ = 1;
    Stop();
    return false;
  }
  Log("plug-in started");
  return true;
}

void HostBridge::Stop() {
  if (stopping_) return;
  stopping_ = true;
  if (plugin_started_) {
    // The plug-in calls neither callback once PluginStop has begun; worker
    // replies already posted find stopping_ set and are dropped.
    exports_.stop();
    plugin_started_ = false;
    Log("plug-in stopped");
  }
  for (const auto& session : {host_, virtual_}) {
    if (session) session->connection->Close("morvane-irc stopping");
  }
  signals_.cancel();
  pump_timer_.cancel();
  AwaitClosed(std::chrono::steady_clock::now() + kStopGrace);
}

// The run ends once every connection has closed, or at the deadline.
void HostBridge::AwaitClosed(std::chrono::steady_clock::time_point deadline) {
  bool open = false;
  for (const auto& session : {host_, virtual_}) {
    if (session && !session->connection->Closed()) open = true;
  }
  if (!open || std::chrono::steady_clock::now() >= deadline) {
    io_.stop();
    return;
  }
  stop_timer_.expires_after(kCloseCheckEvery);
  stop_timer_.async_wait([this, deadline](const std::error_code& error) {
    if (!error) AwaitClosed(deadline);
  });
}

void HostBridge::PumpWindowMessages() {
  platform::PumpMessages(0);
  pump_timer_.expires_after(kPumpEvery);
  pump_timer_.async_wait([this](const std::error_code& error) {
    if (!error && !stopping_) PumpWindowMessages();
  });
}

// --- The connections --------------------------------------------------------

std::shared_ptr<HostBridge::Session> HostBridge::OpenSession(const std::string& nick,
                                                             const console_host::ChatUser& user) {
  auto session = std::make_shared<Session>();
  session->user = user;
  ConnectionSettings settings;
  settings.host = options_.host;
  settings.port = options_.port;
  settings.tls = options_.tls;
  settings.password = options_.password;
  settings.nick = nick;
  settings.realname = options_.realname;
  settings.label = user.name.empty() ? "host" : "virtual " + nick;
  settings.pace = {options_.rate.burst, options_.rate.interval};
  settings.queue_lines = options_.rate.queue_lines;
  session->life = std::make_unique<ChannelLife>(options_.rate.rejoin_after);
  session->rejoin_timer = std::make_unique<asio::steady_timer>(io_);
  settings.fallback_nick = user.name.empty() ? std::string("Morvane") : options_.nick + "_v";
  switch (options_.sasl) {
    case SaslMechanism::kPlain:
      settings.sasl_mechanism = "PLAIN";
      break;
    case SaslMechanism::kExternal:
      settings.sasl_mechanism = "EXTERNAL";
      break;
    case SaslMechanism::kNone:
      break;
  }
  // Both connections log in to the bot's account, so that the virtual
  // user too may enter channels for logged-in users only.
  settings.account = options_.account.empty() ? options_.nick : options_.account;
  settings.account_password = options_.account_password;
  settings.tls_trust = {options_.tls_ca, options_.tls_fingerprint, options_.tls_certificate,
                        options_.tls_key};
  // The events hold the session weakly: a session replaced while one of its
  // events runs (the plug-in logs out from inside PluginProcess) is gone
  // when the event resumes, and the event stops there.
  std::weak_ptr<Session> weak = session;
  ConnectionEvents events;
  events.registered = [this, weak] {
    if (auto s = weak.lock()) OnRegistered(*s);
  };
  events.lost = [this, weak] {
    if (auto s = weak.lock()) OnLost(*s);
  };
  events.message = [this, weak](const IrcMessage& message) {
    if (auto s = weak.lock()) OnMessage(*s, message);
  };
  events.logged_in = [this, weak] {
    if (auto s = weak.lock()) OnLoggedIn(*s);
  };
  const bool is_host = user.name.empty();
  events.gave_up = [this, is_host](const std::string&) {
    if (!is_host) return;
    exit_status_ = 1;
    Stop();
  };
  session->connection = IrcConnection::Create(io_, std::move(settings), std::move(events));
  return session;
}

// --- The plug-in's calls ----------------------------------------------------

// No exception may travel back through the plug-in's frames, so both
// callbacks stop every one here.
void MORVANE_CALL HostBridge::OnHostCall(std::int32_t plugin_id, std::int32_t code,
                                         const void* record, std::int32_t record_length) {
  HostBridge* bridge = g_bridge.load();
  if (bridge == nullptr || plugin_id != kPluginId) return;
  try {
    auto bytes = BytesOf(record, record_length);
    if (std::this_thread::get_id() == bridge->bridge_thread_) {
      bridge->HandleCall(code, bytes);
      return;
    }
    asio::post(bridge->io_,
               [bridge, code, copy = std::vector<std::uint8_t>(bytes.begin(), bytes.end())] {
                 bridge->HandleCall(code, copy);
               });
  } catch (...) {
  }
}

void HostBridge::HandleCall(std::int32_t code, std::span<const std::uint8_t> record) {
  if (stopping_) return;
  const console_host::PluginCall call = console_host::DecodePluginCall(code, record);
  const IrcAction action = MapHostCall(call, mode_);
  Session* session = action.user.empty()
                         ? (mode_ == console_host::HostMode::kDirect ? host_.get() : nullptr)
                         : SessionFor(action.user);
  switch (action.kind) {
    case IrcAction::Kind::kIgnore:
      Log("plug-in: " + action.note);
      return;
    case IrcAction::Kind::kLogIn:
      LogIn({action.user, action.ip});
      return;
    case IrcAction::Kind::kLogOut:
      if (session != nullptr) {
        Log("plug-in logs out " + Utf16ToUtf8(action.user));
        session->connection->Close("logged out");
        virtual_.reset();
      }
      return;
    default:
      break;
  }
  if (session == nullptr) {
    Log("plug-in: call " + std::to_string(code) + " for " + Utf16ToUtf8(action.user) +
        ", who is not logged in: dropped");
    return;
  }
  if (action.kind == IrcAction::Kind::kJoin || action.kind == IrcAction::Kind::kPart) {
    Join(*session, action.target, action.kind == IrcAction::Kind::kJoin);
    return;
  }
  std::string target;
  if (action.target_kind == TargetKind::kChannel ||
      (action.target_kind == TargetKind::kChannelOrUser &&
       HasChannel(session->channels, action.target))) {
    target = IrcChannelName(action.target);
  } else {
    target = IrcNickName(action.target);
  }
  if (target.empty()) {
    Log("plug-in: \"" + Utf16ToUtf8(action.target) + "\" cannot be an IRC target: dropped");
    return;
  }
  Say(*session, action.command, target, action.text);
}

void HostBridge::Say(Session& session, const std::string& command, const std::string& target,
                     std::u16string_view text) {
  IrcConnection& connection = *session.connection;
  std::vector<std::string> lines;
  for (const std::string& piece : ToIrcMessages(text, connection.TextBudget(command, target))) {
    lines.push_back(FormatIrcLine(command, {target}, piece));
  }
  if (!lines.empty()) connection.SendReply(target, std::move(lines));
}

void HostBridge::Join(Session& session, std::u16string_view channel, bool join) {
  const std::string name = IrcChannelName(channel);
  if (name.empty()) {
    Log("plug-in: \"" + Utf16ToUtf8(channel) + "\" cannot be an IRC channel: not joined");
    return;
  }
  if (!join) {
    // A channel waiting to be joined again after a kick is forgotten too.
    session.life->Left(name);
    if (!HasChannel(session.channels, channel)) return;
    if (!session.connection->Send(FormatIrcLine("PART", {name}))) return;
    RemoveChannel(session.channels, name);
    return;
  }
  if (HasChannel(session.channels, channel)) return;
  if (!session.connection->Registered()) {
    Log(session.connection->Label() + ": not connected, not joined: " + name);
    return;
  }
  SendJoin(session, name);
  session.channels.emplace_back(channel);
}

// A channel with a key in the settings is joined with it: "JOIN #extra sekrit".
void HostBridge::SendJoin(Session& session, const std::string& irc_channel) {
  session.life->Asked(irc_channel);
  auto key = options_.channel_keys.find(IrcLower(irc_channel));
  if (key != options_.channel_keys.end() && !IsMiddleParam(key->second)) {
    Log("the key of " + irc_channel + " cannot go in a JOIN: joining without it");
    key = options_.channel_keys.end();
  }
  if (key == options_.channel_keys.end()) {
    session.connection->Send(FormatIrcLine("JOIN", {irc_channel}));
  } else {
    session.connection->Send(FormatIrcLine("JOIN", {irc_channel, key->second}));
  }
}

void HostBridge::LogIn(const console_host::ChatUser& user) {
  if (virtual_ && virtual_->user.name == user.name) {
    // The same user again: a registered connection is reported online once
    // the export that logged it in has returned; one still registering will
    // be reported when it is done.
    virtual_->user = user;
    if (!virtual_->connection->Registered()) return;
    asio::post(io_, [this, weak = std::weak_ptr<Session>(virtual_)] {
      auto s = weak.lock();
      if (s && !stopping_ && s->connection->Registered()) OnRegistered(*s);
    });
    return;
  }
  if (virtual_) virtual_->connection->Close("logged out");
  virtual_.reset();
  std::string nick = IrcNickName(user.name);
  if (nick.empty()) {
    // A name with blanks or the like: the connection goes by a nick made
    // of it, and the plug-in still knows its user by the name.
    nick = ValidNickForm(Utf16ToUtf8(user.name));
    if (nick.empty()) nick = options_.nick + "_v";
    Log("plug-in: the virtual user \"" + Utf16ToUtf8(user.name) +
        "\" cannot be an IRC nick; using " + nick);
  }
  Log("plug-in logs in " + nick);
  virtual_ = OpenSession(nick, user);
  virtual_->connection->Start();
}

HostBridge::Session* HostBridge::SessionFor(std::u16string_view virtual_user) {
  if (mode_ != console_host::HostMode::kVirtualUser || !virtual_ || virtual_->user.name != virtual_user) {
    return nullptr;
  }
  return virtual_.get();
}

void HostBridge::Deliver(const console_host::Delivery& delivery) {
  if (!plugin_started_ || stopping_) return;
  exports_.process(delivery.code, delivery.record.data(),
                   static_cast<std::int32_t>(delivery.record.size()));
}

// --- The plug-in's queries --------------------------------------------------

std::int32_t MORVANE_CALL HostBridge::OnHostQuery(std::int32_t plugin_id, std::int32_t code,
                                                  void* answer, std::int32_t answer_size,
                                                  const void* input, std::int32_t input_length) {
  HostBridge* bridge = g_bridge.load();
  if (bridge == nullptr || plugin_id != kPluginId) return 0;
  // The state the answers come from belongs to the host's thread; the
  // plug-in asks only from there.
  if (std::this_thread::get_id() != bridge->bridge_thread_) return 0;
  try {
    bool known = false;
    std::vector<std::uint8_t> bytes = bridge->Answer(code, BytesOf(input, input_length), known);
    if (!known) return 0;
    auto size = static_cast<std::int32_t>(bytes.size());
    // The two-call protocol: a room too small learns the size and gets
    // nothing written.
    if (answer != nullptr && answer_size >= size) std::memcpy(answer, bytes.data(), bytes.size());
    return size;
  } catch (...) {
    return 0;
  }
}

std::vector<std::uint8_t> HostBridge::Answer(std::int32_t code, std::span<const std::uint8_t> input,
                                             bool& known) {
  known = true;
  console_host::RecordWriter writer;
  switch (code) {
    case console_host::query::kMode:
      writer.Int(mode_ == console_host::HostMode::kVirtualUser ? console_host::value::kModeVirtualUser : 1);
      break;
    case console_host::query::kConnection:
      writer.Int(host_ && host_->connection->Registered() ? console_host::value::kConnected
                                                          : console_host::value::kDisconnected);
      break;
    case console_host::query::kVirtualChannels: {
      ByteReader reader(input);
      Session* session = SessionFor(console_host::ReadRecordText(reader));
      const auto none = std::vector<std::u16string>();
      const auto& channels = session ? session->channels : none;
      // Per channel: its name, an integer and a text that the plug-in skips.
      writer.Int(static_cast<std::int32_t>(channels.size()));
      for (const auto& channel : channels) writer.Text(channel).Int(0).Text(u"");
      break;
    }
    default:
      known = false;
      break;
  }
  return writer.Bytes();
}

}  // namespace morvane::irc
