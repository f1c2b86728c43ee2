// One client connection to an IRC server: connect (plain or TLS), register
// (PASS, CAP, NICK, USER), log in to services (SASL, or NickServ IDENTIFY
// where the server offers no SASL), answer PING, take another nick when the
// server says the nick is in use or refuses it, win the wanted nick back
// once it is free, keep the outgoing lines paced, notice a dead server, and
// reconnect after a loss with a growing wait (1, 2, 4 ... 60 s) until
// closed. Lives on the io_context's thread: every method is called there and
// every event is delivered there, never from inside a method of this class,
// so an event handler may call any method.
#pragma once

#include <asio.hpp>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "capabilities.h"
#include "irc_line.h"
#include "irc_transport.h"
#include "output_queue.h"
#include "nick_choice.h"

namespace morvane::irc {

struct ConnectionSettings {
  std::string host;
  std::uint16_t port = 6667;
  bool tls = false;
  std::string password;  // the server password (PASS); empty: none is sent
  std::string nick;      // the nick wanted; variants of it are used while it is taken
  std::string user = "morvane";
  std::string realname;
  std::string label;  // names the connection in the log
  Pace pace;
  int queue_lines = 50;  // lines queued per target
  // Used when the server refuses every form of the nick; its variants follow.
  std::string fallback_nick = "Morvane";
  // The log-in to services: "PLAIN" or "EXTERNAL" by SASL, or none; with a
  // password and no SASL on the server, NickServ IDENTIFY.
  std::string sasl_mechanism;
  std::string account;
  std::string account_password;
  TlsTrust tls_trust;
};

struct ConnectionEvents {
  std::function<void()> registered;                // the server accepted the connection (001)
  std::function<void()> lost;                      // a registered connection went away
  std::function<void(const IrcMessage&)> message;  // every message but PING
  // The connection has logged in to its services account; after registered.
  std::function<void()> logged_in;
  // The connection cannot be made at all (TLS is not to be had): no more
  // attempts are made.
  std::function<void(const std::string& reason)> gave_up;
};

class IrcConnection : public std::enable_shared_from_this<IrcConnection> {
 public:
  static std::shared_ptr<IrcConnection> Create(asio::io_context& io, ConnectionSettings settings,
                                               ConnectionEvents events);
  IrcConnection(const IrcConnection&) = delete;
  IrcConnection& operator=(const IrcConnection&) = delete;

  // Makes the first attempt; later ones follow by themselves.
  void Start();
  // Queues a line (without CR LF) of the connection's own for the paced
  // sender, ahead of the replies. A line for a connection that is not
  // registered is dropped and logged: false.
  bool Send(std::string line);
  // Queues the lines of one reply to a target (a channel or a nick), in the
  // target's own queue (see OutputQueue), and logs what the target's limit
  // dropped. False, and nothing queued, when not registered.
  bool SendReply(const std::string& target, std::vector<std::string> lines);
  // Drops the lines still queued for a target; returns how many.
  std::size_t DropTarget(std::string_view target);
  // Sends QUIT with the reason (at once, ahead of the queue, which is
  // dropped), lets the server close, and makes no more attempts. No event
  // is delivered after this call.
  void Close(std::string_view reason);

  bool Registered() const { return state_ == State::kRegistered; }
  bool Closed() const { return state_ == State::kClosed; }
  // The nick the server knows this connection by.
  const std::string& Nick() const { return nick_; }
  const std::string& Label() const { return settings_.label; }
  // "nick!user@host" as the server shows this connection; user and host are
  // empty until it has shown them.
  std::string OwnPrefix() const { return nick_ + "!" + shown_user_ + "@" + shown_host_; }
  // Whether the server has granted an IRCv3 capability ("account-tag").
  bool HasCap(std::string_view cap) const { return caps_.Enabled(cap); }
  bool LoggedIn() const { return logged_in_; }
  // The most bytes of text one command to the target may carry, so that the
  // line the server relays, ":nick!user@host COMMAND target :text" with its
  // CR LF, fits in 512 bytes. The user and host are the ones the server
  // showed for this connection; until it has shown them, the user counts one
  // byte more than sent (servers put "~" before a name no ident confirmed)
  // and the host 63 bytes (the longest a server shows).
  std::size_t TextBudget(std::string_view command, std::string_view target) const;

 private:
  enum class State { kIdle, kWaiting, kConnecting, kRegistering, kRegistered, kClosing, kClosed };
  struct Link;

  IrcConnection(asio::io_context& io, ConnectionSettings settings, ConnectionEvents events);

  void Attempt();
  void OnResolved(const std::error_code& error, const asio::ip::tcp::resolver::results_type& found);
  void OnConnected(const std::shared_ptr<Link>& link, const std::error_code& error);
  void Read(const std::shared_ptr<Link>& link);
  void OnRead(const std::shared_ptr<Link>& link, const std::error_code& error, std::size_t size);
  void HandleLine(std::string_view line);
  void HandleMessage(const IrcMessage& message);
  void Queue(std::string line);
  void Pump();
  void Write(std::string line);
  void OnWritten(const std::shared_ptr<Link>& link, const std::error_code& error);
  void WatchIdle();
  void Fail(const std::string& reason);
  void GiveUp(const std::string& reason);
  void FinishClose();
  void LearnOwnPrefix(std::string_view prefix);
  bool HandleRegistration(const IrcMessage& message);
  void HandleLogIn(const IrcMessage& message);
  void NoteLoggedIn(const std::string& how);
  void ReadSupport(const IrcMessage& message);
  void AfterWelcome();
  void Regain();
  void TakeWantedNick();
  void PollNick(std::chrono::steady_clock::duration wait);
  void QueueAll(const std::vector<std::string>& lines);

  asio::io_context& io_;
  const ConnectionSettings settings_;
  const ConnectionEvents events_;
  asio::ip::tcp::resolver resolver_;
  asio::steady_timer retry_timer_;
  asio::steady_timer send_timer_;
  asio::steady_timer idle_timer_;
  asio::steady_timer close_timer_;
  OutputQueue output_;
  asio::steady_timer regain_timer_;
  CapNegotiator caps_;
  NickChooser nicks_;

  State state_ = State::kIdle;
  std::shared_ptr<Link> link_;  // the attempt in progress; none while waiting
  std::chrono::seconds backoff_{1};
  bool send_timer_armed_ = false;
  bool quit_pending_ = false;
  std::string quit_line_;
  std::string nick_;
  std::string shown_user_;
  std::string shown_host_;
  std::chrono::steady_clock::time_point last_data_{};
  std::chrono::steady_clock::time_point connected_at_{};
  bool ping_sent_ = false;
  // Of the current connection:
  bool logged_in_ = false;
  bool sasl_tried_ = false;
  bool welcomed_ = false;  // the server has sent its MOTD (or said it has none)
  bool monitor_ = false;   // the server offers MONITOR
  bool monitoring_ = false;
  bool ghost_sent_ = false;
  std::string account_;  // the services account logged in to, as the server named it
  bool regain_timer_armed_ = false;
  std::chrono::steady_clock::time_point last_nick_try_{};
  // Of the whole run:
  std::chrono::steady_clock::time_point last_ghost_{};
};

}  // namespace morvane::irc
