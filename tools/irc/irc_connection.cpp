#include "irc_connection.h"

#include <algorithm>
#include <array>

#include "irc_log.h"
#include "sasl.h"

namespace morvane::irc {
namespace {

constexpr auto kMaxBackoff = std::chrono::seconds(60);
// A line that has not ended after this many bytes is no IRC line (tags
// included, the protocol's lines are far shorter); it is dropped.
constexpr std::size_t kMaxIncomingLine = 16 * 1024;
// Silence this long makes the connection ask the server with a PING; this
// much more and the connection is taken as dead.
constexpr auto kIdleBeforePing = std::chrono::seconds(120);
constexpr auto kPingAnswerTime = std::chrono::seconds(60);
constexpr auto kIdleCheckEvery = std::chrono::seconds(10);
// A server that has not accepted the registration by then never will.
constexpr auto kRegistrationTime = std::chrono::seconds(60);
// After QUIT, how long the server gets to close its side.
constexpr auto kQuitGrace = std::chrono::seconds(2);
// Where a line from the network is quoted in the log, this much of it.
constexpr std::size_t kLoggedLineBytes = 200;
// Without MONITOR, how often the server is asked whether the wanted nick
// is still in use.
constexpr auto kNickPollEvery = std::chrono::seconds(15);
// The wanted nick is asked for at most this often.
constexpr auto kNickRetryGap = std::chrono::seconds(10);
// Services are asked to remove a ghost holding the nick at most this often.
constexpr auto kGhostEvery = std::chrono::minutes(10);

bool StartsWithIgnoringCase(std::string_view text, std::string_view start) {
  return text.size() >= start.size() && IrcEqual(text.substr(0, start.size()), start);
}

std::string Quote(std::string_view line) {
  if (line.size() <= kLoggedLineBytes) return std::string(line);
  return std::string(line.substr(0, kLoggedLineBytes)) + "...";
}

// No password reaches the log: not the server's, not the account's in
// AUTHENTICATE or in a NickServ IDENTIFY.
std::string ForLog(std::string_view line) {
  if (line.starts_with("PASS ")) return "PASS ********";
  if (line.starts_with("AUTHENTICATE ") && line != "AUTHENTICATE PLAIN" &&
      line != "AUTHENTICATE EXTERNAL" && line != "AUTHENTICATE +") {
    return "AUTHENTICATE ********";
  }
  if (StartsWithIgnoringCase(line, "PRIVMSG NickServ :IDENTIFY ")) {
    return "PRIVMSG NickServ :IDENTIFY ********";
  }
  return Quote(line);
}

// Words of a list parameter ("a b c" or "a,b,c").
std::vector<std::string> ListWords(std::string_view text) {
  std::vector<std::string> words;
  std::size_t start = 0;
  while (start <= text.size()) {
    std::size_t end = text.find_first_of(" ,", start);
    if (end == std::string_view::npos) end = text.size();
    if (end > start) words.emplace_back(text.substr(start, end - start));
    start = end + 1;
  }
  return words;
}

}  // namespace

struct IrcConnection::Link {
  std::shared_ptr<Transport> transport;
  std::array<char, 4096> read_buffer{};
  std::string incoming;  // received bytes not yet ended by a line feed
  std::string writing;   // the line being written; lives until it is written
  bool write_in_flight = false;
};

std::shared_ptr<IrcConnection> IrcConnection::Create(asio::io_context& io,
                                                     ConnectionSettings settings,
                                                     ConnectionEvents events) {
  return std::shared_ptr<IrcConnection>(
      new IrcConnection(io, std::move(settings), std::move(events)));
}

IrcConnection::IrcConnection(asio::io_context& io, ConnectionSettings settings,
                             ConnectionEvents events)
    : io_(io),
      settings_(std::move(settings)),
      events_(std::move(events)),
      resolver_(io),
      retry_timer_(io),
      send_timer_(io),
      idle_timer_(io),
      close_timer_(io),
      output_(settings_.pace, static_cast<std::size_t>(std::max(settings_.queue_lines, 1))),
      regain_timer_(io),
      caps_(settings_.sasl_mechanism),
      nicks_(settings_.nick, settings_.fallback_nick) {}

void IrcConnection::Start() {
  if (state_ != State::kIdle) return;
  Attempt();
}

void IrcConnection::Attempt() {
  state_ = State::kConnecting;
  nick_ = nicks_.Restart();
  logged_in_ = sasl_tried_ = welcomed_ = monitor_ = monitoring_ = ghost_sent_ = false;
  shown_user_.clear();
  shown_host_.clear();
  Log(settings_.label + ": connecting to " + settings_.host + ":" + std::to_string(settings_.port) +
      (settings_.tls ? " with TLS" : ""));
  resolver_.async_resolve(
      settings_.host, std::to_string(settings_.port),
      [self = shared_from_this()](const std::error_code& error,
                                  const asio::ip::tcp::resolver::results_type& found) {
        self->OnResolved(error, found);
      });
}

void IrcConnection::OnResolved(const std::error_code& error,
                               const asio::ip::tcp::resolver::results_type& found) {
  if (state_ != State::kConnecting) return;
  if (error) return Fail("cannot resolve " + settings_.host + ": " + error.message());
  auto link = std::make_shared<Link>();
  if (settings_.tls) {
    std::string reason;
    link->transport = MakeTlsTransport(io_, settings_.host, settings_.tls_trust, reason);
    if (!link->transport) return GiveUp(reason);
  } else {
    link->transport = MakePlainTransport(io_);
  }
  link_ = link;
  link->transport->Connect(found, [self = shared_from_this(), link](const std::error_code& e) {
    self->OnConnected(link, e);
  });
}

void IrcConnection::OnConnected(const std::shared_ptr<Link>& link, const std::error_code& error) {
  if (link != link_ || state_ != State::kConnecting) return;
  if (error) return Fail("cannot connect: " + error.message());
  state_ = State::kRegistering;
  connected_at_ = last_data_ = std::chrono::steady_clock::now();
  ping_sent_ = false;
  Log(settings_.label + ": connected, registering as " + nick_);
  Read(link);
  if (!settings_.password.empty()) Queue(FormatIrcLine("PASS", {settings_.password}));
  // A server without CAP refuses it or says nothing, and registers the
  // connection all the same once it has NICK and USER.
  Queue(caps_.Begin());
  Queue(FormatIrcLine("NICK", {nick_}));
  Queue(FormatIrcLine("USER", {settings_.user, "0", "*"}, settings_.realname));
  WatchIdle();
}

void IrcConnection::Read(const std::shared_ptr<Link>& link) {
  link->transport->ReadSome(
      asio::buffer(link->read_buffer),
      [self = shared_from_this(), link](const std::error_code& error, std::size_t size) {
        self->OnRead(link, error, size);
      });
}

void IrcConnection::OnRead(const std::shared_ptr<Link>& link, const std::error_code& error,
                           std::size_t size) {
  if (link != link_) return;
  if (error) {
    if (state_ == State::kClosing) return FinishClose();
    return Fail(error == asio::error::eof ? std::string("the server closed the connection")
                                          : "connection lost: " + error.message());
  }
  last_data_ = std::chrono::steady_clock::now();
  ping_sent_ = false;
  link->incoming.append(link->read_buffer.data(), size);
  std::size_t start = 0;
  for (;;) {
    std::size_t end = link->incoming.find('\n', start);
    if (end == std::string::npos) break;
    std::string_view line(link->incoming.data() + start, end - start);
    if (line.ends_with('\r')) line.remove_suffix(1);
    start = end + 1;
    // Every message is handled to its end before the next; one that closes
    // or replaces the link ends the reading of this one.
    if (!line.empty()) HandleLine(line);
    if (link != link_ || state_ == State::kClosed) return;
  }
  link->incoming.erase(0, start);
  if (link->incoming.size() > kMaxIncomingLine) {
    Log(settings_.label + ": a line of more than " + std::to_string(kMaxIncomingLine) +
        " bytes from the server, skipped");
    link->incoming.clear();
  }
  Read(link);
}

void IrcConnection::HandleLine(std::string_view line) {
  auto message = ParseIrcLine(line);
  if (!message) {
    Log(settings_.label + ": malformed line from the server, skipped: " + Quote(line));
    return;
  }
  HandleMessage(*message);
}

void IrcConnection::HandleMessage(const IrcMessage& message) {
  const std::string& command = message.command;
  const auto param = [&](std::size_t i) {
    return i < message.params.size() ? message.params[i] : std::string();
  };
  if (command == "PING") {
    output_.PushUrgent(FormatIrcLine("PONG", {}, param(0)));
    Pump();
    return;
  }
  if (HandleRegistration(message)) return;
  const Prefix from = SplitPrefix(message.prefix);
  const bool from_self = IrcEqual(from.nick, nick_);
  if (command == "NICK" && from_self && IsMiddleParam(param(0))) {
    nick_ = param(0);
    if (IrcEqual(nick_, nicks_.Wanted())) {
      Log(settings_.label + ": has its nick " + nick_ + " back");
      regain_timer_.cancel();
      if (monitoring_) Queue(FormatIrcLine("MONITOR", {"-", nicks_.Wanted()}));
      monitoring_ = false;
    } else {
      Log(settings_.label + ": the server renamed " + from.nick + " to " + nick_);
      Regain();
    }
  } else if (command == "JOIN" && from_self) {
    LearnOwnPrefix(message.prefix);
  } else if (command == "ERROR") {
    Log(settings_.label + ": the server says: " + Quote(param(0)));
  }
  if (events_.message) events_.message(message);
}

// The messages of registration, log-in and nick keeping. True when the
// message is the connection's own business and goes no further.
bool IrcConnection::HandleRegistration(const IrcMessage& message) {
  const std::string& command = message.command;
  const auto param = [&](std::size_t i) { return IrcParam(message, i); };
  if (command == "CAP") {
    QueueAll(caps_.OnCap(message));
    if (caps_.SaslReady()) {
      caps_.SaslStarted();
      sasl_tried_ = true;
      Log(settings_.label + ": logging in to " + settings_.account + " by SASL " +
          settings_.sasl_mechanism);
      Queue("AUTHENTICATE " + settings_.sasl_mechanism);
    }
    return true;
  }
  if (command == "AUTHENTICATE" || command == "900" || command == "901" || command == "908" ||
      EndsSasl(command)) {
    HandleLogIn(message);
    return command == "AUTHENTICATE";
  }
  if (command == "421" && IrcEqual(param(1), "CAP")) {
    caps_.Abandon();
    return true;
  }
  if (command == "001" && state_ == State::kRegistering) {
    state_ = State::kRegistered;
    caps_.Abandon();
    if (IsMiddleParam(param(0))) nick_ = param(0);
    // "Welcome to the network nick!user@host": the prefix the server will
    // show for this connection.
    std::string welcome = param(1);
    LearnOwnPrefix(welcome.substr(welcome.find_last_of(' ') + 1));
    backoff_ = std::chrono::seconds(1);
    Log(settings_.label + ": registered as " + nick_);
    if (events_.registered) events_.registered();
    if (state_ == State::kRegistered && logged_in_ && events_.logged_in) events_.logged_in();
    return true;
  }
  if ((command == "433" || command == "436" || command == "437" || command == "432") &&
      state_ == State::kRegistering) {
    const std::string refused = nick_;
    nick_ = command == "432" ? nicks_.Refused() : nicks_.Taken();
    if (nick_.empty()) {
      Fail("the server refuses every form of the nick " + settings_.nick);
      return true;
    }
    if (command == "432") {
      Log(settings_.label + ": the server refuses the nick " + refused + " (" + param(2) +
          "), trying " + nick_);
    } else {
      Log(settings_.label + ": nick " + refused + " is in use, trying " + nick_);
    }
    Queue(FormatIrcLine("NICK", {nick_}));
    return true;
  }
  if (command == "005") {
    ReadSupport(message);
  } else if (command == "376" || command == "422") {
    AfterWelcome();
  } else if (command == "731" && !IrcEqual(nick_, nicks_.Wanted())) {
    // RPL_MONOFFLINE: the wanted nick is free now.
    for (const std::string& target : ListWords(param(1))) {
      if (IrcEqual(SplitPrefix(target).nick, nicks_.Wanted())) TakeWantedNick();
    }
  } else if (command == "734") {
    // The server's MONITOR list is full: asked the old way.
    monitor_ = monitoring_ = false;
    Regain();
  } else if (command == "303" && !IrcEqual(nick_, nicks_.Wanted())) {
    // RPL_ISON: the nicks asked about that are in use.
    const auto online = ListWords(param(1));
    if (std::none_of(online.begin(), online.end(),
                     [&](const std::string& n) { return IrcEqual(n, nicks_.Wanted()); })) {
      TakeWantedNick();
    }
  } else if (command == "NOTICE" && IrcEqual(SplitPrefix(message.prefix).nick, "NickServ") &&
             !logged_in_) {
    // Services that do not report the log-in by 900 say it in words.
    const std::string text = IrcLower(param(1));
    if (text.find("you are now identified") != std::string::npos ||
        text.find("password accepted") != std::string::npos) {
      NoteLoggedIn("by NickServ");
    }
  }
  return false;
}

void IrcConnection::HandleLogIn(const IrcMessage& message) {
  const std::string& command = message.command;
  if (command == "AUTHENTICATE") {
    if (IrcParam(message, 0) != "+") return;
    if (settings_.sasl_mechanism == "PLAIN") {
      QueueAll(AuthenticateLines(SaslPlainAnswer(settings_.account, settings_.account_password)));
    } else {
      QueueAll(AuthenticateLines(""));
    }
    return;
  }
  // 900: "<nick> <nick!user@host> <account> :You are now logged in as ..."
  if (command == "900") {
    account_ = IrcParam(message, 2);
    return NoteLoggedIn("as " + account_);
  }
  if (command == "901") {
    Log(settings_.label + ": logged out of the services account");
    logged_in_ = false;
    return;
  }
  const std::string reason = IrcParam(message, message.params.size() - 1);
  if (command == "908") {
    Log(settings_.label + ": the server's SASL mechanisms: " + IrcParam(message, 1));
    return;
  }
  if (command != "903") {
    Log(settings_.label + ": SASL log-in failed (" + command + " " + reason +
        "); going on without");
  }
  QueueAll(caps_.SaslDone());
}

void IrcConnection::NoteLoggedIn(const std::string& how) {
  if (logged_in_) return;
  logged_in_ = true;
  Log(settings_.label + ": logged in " + how);
  if (state_ != State::kRegistered) return;  // told once registered
  if (events_.logged_in) events_.logged_in();
  if (state_ == State::kRegistered && welcomed_) Regain();
}

void IrcConnection::ReadSupport(const IrcMessage& message) {
  // "<nick> TOKEN TOKEN=value ... :are supported by this server"
  for (std::size_t i = 1; i + 1 < message.params.size(); ++i) {
    const std::string& token = message.params[i];
    if (token == "MONITOR" || token.starts_with("MONITOR=")) {
      monitor_ = true;
    } else if (token.starts_with("NICKLEN=")) {
      std::size_t length = 0;
      for (char c : token.substr(8)) {
        if (c < '0' || c > '9' || length > 1000) break;
        length = length * 10 + static_cast<std::size_t>(c - '0');
      }
      nicks_.SetMaxLength(length);
    }
  }
}

void IrcConnection::AfterWelcome() {
  if (welcomed_ || state_ != State::kRegistered) return;
  welcomed_ = true;
  if (!logged_in_ && !sasl_tried_ && !settings_.account_password.empty()) {
    Log(settings_.label + ": no SASL here; identifying to NickServ as " + settings_.account);
    Queue(FormatIrcLine("PRIVMSG", {"NickServ"},
                        "IDENTIFY " + settings_.account + " " + settings_.account_password));
  }
  Regain();
}

// Wins the wanted nick back: services remove a ghost of the account's own
// (GHOST), and the nick is taken once the server reports it free, by
// MONITOR where it has it, else by asking ISON now and then.
void IrcConnection::Regain() {
  if (state_ != State::kRegistered || !welcomed_ || IrcEqual(nick_, nicks_.Wanted())) return;
  // Two bridges run with the same settings would remove each other for
  // good; so a ghost is asked to go once in a while only.
  const auto now = std::chrono::steady_clock::now();
  if (logged_in_ && !ghost_sent_ &&
      (last_ghost_ == std::chrono::steady_clock::time_point{} ||
       now - last_ghost_ >= kGhostEvery)) {
    ghost_sent_ = true;
    last_ghost_ = now;
    Queue(FormatIrcLine("PRIVMSG", {"NickServ"}, "GHOST " + nicks_.Wanted()));
  }
  if (monitor_) {
    if (!monitoring_) {
      monitoring_ = true;
      Log(settings_.label + ": watching for " + nicks_.Wanted() + " to be free (MONITOR)");
      Queue(FormatIrcLine("MONITOR", {"+", nicks_.Wanted()}));
    }
    return;
  }
  if (regain_timer_armed_) return;
  Log(settings_.label + ": asking every " + std::to_string(kNickPollEvery.count()) + " s whether " +
      nicks_.Wanted() + " is free (ISON)");
  Queue(FormatIrcLine("ISON", {}, nicks_.Wanted()));
  PollNick(kNickPollEvery);
}

// A nick lost again soon after it was taken (services that rename users
// not logged in) is asked for again only after a pause, by ISON.
void IrcConnection::TakeWantedNick() {
  const auto now = std::chrono::steady_clock::now();
  if (now - last_nick_try_ < kNickRetryGap) {
    if (!regain_timer_armed_) PollNick(kNickRetryGap - (now - last_nick_try_));
    return;
  }
  last_nick_try_ = now;
  Log(settings_.label + ": " + nicks_.Wanted() + " is free, taking it");
  Queue(FormatIrcLine("NICK", {nicks_.Wanted()}));
}

// Asks ISON after the wait, and then every kNickPollEvery.
void IrcConnection::PollNick(std::chrono::steady_clock::duration wait) {
  regain_timer_armed_ = true;
  regain_timer_.expires_after(wait);
  regain_timer_.async_wait([self = shared_from_this(), link = link_](const std::error_code& error) {
    self->regain_timer_armed_ = false;
    if (error || link != self->link_ || self->state_ != State::kRegistered ||
        IrcEqual(self->nick_, self->nicks_.Wanted())) {
      return;
    }
    self->Queue(FormatIrcLine("ISON", {}, self->nicks_.Wanted()));
    self->PollNick(kNickPollEvery);
  });
}

void IrcConnection::QueueAll(const std::vector<std::string>& lines) {
  for (const std::string& line : lines) Queue(line);
}

void IrcConnection::LearnOwnPrefix(std::string_view prefix) {
  const Prefix own = SplitPrefix(prefix);
  if (own.user.empty() || own.host.empty() || !IrcEqual(own.nick, nick_)) return;
  shown_user_ = own.user;
  shown_host_ = own.host;
}

bool IrcConnection::Send(std::string line) {
  if (state_ != State::kRegistered) {
    Log(settings_.label + ": not connected, dropped: " + ForLog(line));
    return false;
  }
  Queue(std::move(line));
  return true;
}

bool IrcConnection::SendReply(const std::string& target, std::vector<std::string> lines) {
  if (state_ != State::kRegistered) {
    Log(settings_.label + ": not connected, dropped a reply of " + std::to_string(lines.size()) +
        " lines to " + target);
    return false;
  }
  if (std::size_t dropped = output_.PushReply(target, std::move(lines))) {
    Log(settings_.label + ": too much queued for " + target + ": " + std::to_string(dropped) +
        " lines of earlier replies dropped");
  }
  Pump();
  return true;
}

std::size_t IrcConnection::DropTarget(std::string_view target) {
  return output_.DropTarget(target);
}

void IrcConnection::Queue(std::string line) {
  output_.Push(std::move(line));
  Pump();
}

void IrcConnection::Pump() {
  if (!link_ || link_->write_in_flight) return;
  if (state_ != State::kRegistering && state_ != State::kRegistered) return;
  if (auto line = output_.PopDue()) return Write(std::move(*line));
  auto due = output_.NextDue();
  if (!due || send_timer_armed_) return;
  send_timer_armed_ = true;
  send_timer_.expires_at(*due);
  send_timer_.async_wait([self = shared_from_this()](const std::error_code& error) {
    self->send_timer_armed_ = false;
    if (error) return;
    self->Pump();
  });
}

void IrcConnection::Write(std::string line) {
  Log(settings_.label + " >> " + ForLog(line));
  std::shared_ptr<Link> link = link_;
  link->writing = std::move(line) + "\r\n";
  link->write_in_flight = true;
  link->transport->Write(
      asio::buffer(link->writing),
      [self = shared_from_this(), link](const std::error_code& error, std::size_t) {
        self->OnWritten(link, error);
      });
}

void IrcConnection::OnWritten(const std::shared_ptr<Link>& link, const std::error_code& error) {
  link->write_in_flight = false;
  if (link != link_) return;
  if (state_ == State::kClosing) {
    if (quit_pending_) {
      quit_pending_ = false;
      return Write(quit_line_);
    }
    // QUIT is out: the server closes once it has read it.
    link->transport->ShutdownSending();
    return;
  }
  if (error) return Fail("cannot send: " + error.message());
  Pump();
}

void IrcConnection::WatchIdle() {
  idle_timer_.expires_after(kIdleCheckEvery);
  idle_timer_.async_wait([self = shared_from_this(), link = link_](const std::error_code& error) {
    if (error || link != self->link_) return;
    const auto now = std::chrono::steady_clock::now();
    if (self->state_ == State::kRegistering && now - self->connected_at_ > kRegistrationTime) {
      return self->Fail("the server did not accept the registration in time");
    }
    if (now - self->last_data_ > kIdleBeforePing + kPingAnswerTime) {
      return self->Fail("nothing from the server for too long");
    }
    if (self->state_ == State::kRegistered && !self->ping_sent_ &&
        now - self->last_data_ > kIdleBeforePing) {
      self->ping_sent_ = true;
      self->output_.PushUrgent(FormatIrcLine("PING", {}, "morvane"));
      self->Pump();
    }
    self->WatchIdle();
  });
}

void IrcConnection::Fail(const std::string& reason) {
  const bool was_registered = state_ == State::kRegistered;
  if (link_) link_->transport->Close();
  link_.reset();
  idle_timer_.cancel();
  send_timer_.cancel();
  regain_timer_.cancel();
  std::size_t dropped = output_.Reset();
  state_ = State::kWaiting;
  Log(settings_.label + ": " + reason + "; reconnecting in " + std::to_string(backoff_.count()) +
      " s" + (dropped ? "; " + std::to_string(dropped) + " queued lines dropped" : ""));
  retry_timer_.expires_after(backoff_);
  retry_timer_.async_wait([self = shared_from_this()](const std::error_code& error) {
    if (error || self->state_ != State::kWaiting) return;
    self->Attempt();
  });
  backoff_ = std::min(backoff_ * 2, std::chrono::seconds(kMaxBackoff));
  if (was_registered && events_.lost) events_.lost();
}

void IrcConnection::GiveUp(const std::string& reason) {
  Log(settings_.label + ": " + reason + "; giving up");
  FinishClose();
  if (events_.gave_up) events_.gave_up(reason);
}

void IrcConnection::Close(std::string_view reason) {
  if (state_ == State::kClosing || state_ == State::kClosed) return;
  const bool can_quit = link_ && (state_ == State::kRegistering || state_ == State::kRegistered);
  output_.Reset();
  retry_timer_.cancel();
  send_timer_.cancel();
  idle_timer_.cancel();
  regain_timer_.cancel();
  if (!can_quit) return FinishClose();
  Log(settings_.label + ": quitting");
  state_ = State::kClosing;
  quit_line_ = FormatIrcLine("QUIT", {}, reason);
  close_timer_.expires_after(kQuitGrace);
  close_timer_.async_wait([self = shared_from_this()](const std::error_code& error) {
    if (!error && self->state_ == State::kClosing) self->FinishClose();
  });
  if (link_->write_in_flight) {
    quit_pending_ = true;
    return;
  }
  Write(quit_line_);
}

void IrcConnection::FinishClose() {
  if (state_ == State::kClosed) return;
  state_ = State::kClosed;
  resolver_.cancel();
  if (link_) link_->transport->Close();
  link_.reset();
  retry_timer_.cancel();
  send_timer_.cancel();
  idle_timer_.cancel();
  close_timer_.cancel();
  regain_timer_.cancel();
  Log(settings_.label + ": closed");
}

std::size_t IrcConnection::TextBudget(std::string_view command, std::string_view target) const {
  constexpr std::ptrdiff_t kUnknownHostBytes = 63;
  const std::ptrdiff_t user = shown_user_.empty()
                                  ? static_cast<std::ptrdiff_t>(settings_.user.size()) + 1
                                  : static_cast<std::ptrdiff_t>(shown_user_.size());
  const std::ptrdiff_t host =
      shown_host_.empty() ? kUnknownHostBytes : static_cast<std::ptrdiff_t>(shown_host_.size());
  // ":" nick "!" user "@" host " " command " " target " :" text CR LF
  const std::ptrdiff_t fixed = 1 + static_cast<std::ptrdiff_t>(nick_.size()) + 1 + user + 1 + host +
                               1 + static_cast<std::ptrdiff_t>(command.size()) + 1 +
                               static_cast<std::ptrdiff_t>(target.size()) + 2 + 2;
  const std::ptrdiff_t left = static_cast<std::ptrdiff_t>(kMaxLineBytes) - fixed;
  return left > 0 ? static_cast<std::size_t>(left) : 0;
}

}  // namespace morvane::irc
