// The host the plug-in sees, played over IRC. One thread, the io_context's,
// is the host's thread: it calls PluginStart, PluginProcess and PluginStop,
// answers the plug-in's queries (2000, 11, 1080) from its own state, and is
// the only one that writes to the network. A host callback that arrives on
// another thread (the plug-in's worker delivering a reply) copies its record
// and posts it to the io_context, returning at once; one that arrives on the
// host's thread (joins from inside PluginStart or PluginProcess) acts at once.
//
// Direct mode: the host's connection is the plug-in's user. Virtual-user
// mode: the host's connection stays the host's, and the plug-in's log-in
// opens a second connection under the virtual user's Name.
#pragma once

#include <asio.hpp>
#include <chrono>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <thread>
#include <vector>

#include "channel_life.h"
#include "command_rate.h"
#include "admin_trust.h"
#include "console_host/chat_records.h"
#include "console_host/plugin_module.h"
#include "irc_connection.h"
#include "irc_options.h"
#include "manners.h"

namespace morvane::irc {

class HostBridge {
 public:
  HostBridge(asio::io_context& io, const IrcOptions& options, const console_host::PluginExports& exports);
  ~HostBridge();
  HostBridge(const HostBridge&) = delete;
  HostBridge& operator=(const HostBridge&) = delete;

  // Connects, starts the plug-in and waits for SIGINT and SIGTERM. False
  // when the plug-in refused to start (it has been stopped again then).
  // Called on the thread that then runs the io_context.
  bool Start();
  // PluginStop, then QUIT on every connection; the io_context runs out once
  // they have closed.
  void Stop();
  // 0, or 1 once the plug-in has refused to start or the host's connection
  // cannot be made at all (TLS cannot be set up).
  int ExitStatus() const { return exit_status_; }

 private:
  // One connection and the channels the plug-in has it in, named as the
  // plug-in names them, in the order it joined them.
  struct Session : std::enable_shared_from_this<Session> {
    std::shared_ptr<IrcConnection> connection;
    console_host::ChatUser user;  // the virtual user; empty for the host's connection
    std::vector<std::u16string> channels;
    // Kicks, refused joins and the waits before joining again, with the
    // timer that ends the waits.
    std::unique_ptr<ChannelLife> life;
    std::unique_ptr<asio::steady_timer> rejoin_timer;
    AccountTracker accounts;  // of the users the connection sees
  };

  static void MORVANE_CALL OnHostCall(std::int32_t plugin_id, std::int32_t code, const void* record,
                                      std::int32_t record_length);
  static std::int32_t MORVANE_CALL OnHostQuery(std::int32_t plugin_id, std::int32_t code,
                                               void* answer, std::int32_t answer_size,
                                               const void* input, std::int32_t input_length);

  std::shared_ptr<Session> OpenSession(const std::string& nick, const console_host::ChatUser& user);
  void OnRegistered(Session& session);
  void OnLost(Session& session);
  void OnMessage(Session& session, const IrcMessage& message);
  void TrackMembership(Session& session, const IrcMessage& message);
  void FollowChannelLife(Session& session, const IrcMessage& message);
  void DropQueued(Session& session, const std::string& target, const std::string& why);
  void ScheduleRejoins(Session& session);
  void SendJoin(Session& session, const std::string& irc_channel);
  // Logged in to services: the joins that needed it are tried again.
  void OnLoggedIn(Session& session);
  // Whether a message the plug-in would get passes the sender's command
  // count; says so once to a sender that has just been ignored.
  bool AdmitCommand(Session& session, const IrcMessage& message);
  bool MayReload(Session& session, const IrcMessage& message);

  void HandleCall(std::int32_t code, std::span<const std::uint8_t> record);
  void Say(Session& session, const std::string& command, const std::string& target,
           std::u16string_view text);
  void Join(Session& session, std::u16string_view channel, bool join);
  void LogIn(const console_host::ChatUser& user);
  Session* SessionFor(std::u16string_view virtual_user);
  std::vector<std::uint8_t> Answer(std::int32_t code, std::span<const std::uint8_t> input,
                                   bool& known);
  void Deliver(const console_host::Delivery& delivery);
  void PumpWindowMessages();
  void AwaitClosed(std::chrono::steady_clock::time_point deadline);

  asio::io_context& io_;
  const IrcOptions options_;
  const console_host::PluginExports exports_;
  const console_host::HostMode mode_;
  const std::thread::id bridge_thread_;
  // CTCP answers and the usage notice, on every connection.
  Manners manners_{options_.trigger, options_.usage_notice ? UsageNotice::kOn : UsageNotice::kOff};
  asio::signal_set signals_;
  asio::steady_timer pump_timer_;
  asio::steady_timer stop_timer_;
  CommandRate command_rate_;

  std::shared_ptr<Session> host_;
  std::shared_ptr<Session> virtual_;  // the logged-in virtual user's, if any
  bool plugin_started_ = false;
  bool stopping_ = false;
  int exit_status_ = 0;
};

}  // namespace morvane::irc
