// The platform layer: the one interface through which the plug-in reaches the
// operating system, and only what the plug-in uses. The contract is Win32's,
// so that the plug-in reads the same on both builds; win32/ implements it on
// Windows and posix/ is a thin stand-in that reproduces the same semantics on
// Linux. Only the files below src/platform include system headers. What the
// tools, the tests and the benchmarks need beside it is in
// program_support.h.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace morvane::platform {

// ---------------------------------------------------------------------------
// Sockets, with Winsock semantics.

using Socket = std::intptr_t;
inline constexpr Socket kInvalidSocket = -1;

// An IPv4 address and port, laid out as sockaddr_in (16 bytes): family, port
// in network byte order, address in network byte order, eight zero bytes.
struct SocketAddress {
  std::uint16_t family = 0;
  std::uint16_t port_be = 0;
  std::uint32_t address_be = 0;
  std::uint8_t zero[8] = {};
};
static_assert(sizeof(SocketAddress) == 16);

inline constexpr std::uint16_t kAddressFamilyInet = 2;  // AF_INET on Windows and Linux.

// htons and ntohs.
std::uint16_t HostToNetwork16(std::uint16_t value);
std::uint16_t NetworkToHost16(std::uint16_t value);

// inet_addr: a dotted IPv4 text in network byte order; 0xFFFFFFFF (INADDR_NONE)
// when the text is not one.
std::uint32_t ParseIpv4(std::string_view dotted);

// A dotted IPv4 address (any form inet_addr reads) in network byte order;
// nothing for a name, which needs a lookup.
std::optional<std::uint32_t> DottedIpv4(std::u16string_view host);

enum class SocketType { kUdp, kTcp };
Socket OpenSocket(SocketType type);
void CloseSocket(Socket socket);

// SO_RCVTIMEO and SO_SNDTIMEO in milliseconds; 0 means no limit. The value is
// taken as Winsock takes its DWORD, so a negative one is a very long wait.
bool SetReceiveTimeout(Socket socket, std::int32_t milliseconds);
bool SetSendTimeout(Socket socket, std::int32_t milliseconds);

// sendto: the number of bytes sent, or -1.
int SendTo(Socket socket, std::span<const std::uint8_t> bytes, const SocketAddress& to);
// recvfrom: the number of bytes received, or -1 for any error, a receive
// time-out included. A datagram larger than the buffer fails as Winsock's
// WSAEMSGSIZE does.
int ReceiveFrom(Socket socket, std::span<std::uint8_t> buffer, SocketAddress& from);

// send and recv on a connected stream socket: the number of bytes sent or
// received, 0 from Receive when the peer has closed the connection, -1 for
// any error (on a non-blocking socket, "would block" too). A closed
// connection raises no signal.
int Send(Socket socket, std::span<const std::uint8_t> bytes);
int Receive(Socket socket, std::span<std::uint8_t> buffer);

// ioctlsocket FIONREAD: bytes waiting to be read, 0 when nothing waits, or
// -1. For UDP, Linux and Wine give the size of the next datagram, Windows
// the total of every queued one; callers only ask whether it is 0.
int BytesWaiting(Socket socket);
// ioctlsocket FIONBIO with 1.
bool SetNonBlocking(Socket socket);

enum class ConnectResult { kConnected, kWouldBlock, kFailed };
// connect: WSAEWOULDBLOCK (a connection in progress) is kWouldBlock.
ConnectResult Connect(Socket socket, const SocketAddress& to);

enum class WaitResult { kReady, kTimedOut, kError };

// A wait on many sockets at once, as one select over them: each socket waits
// to become readable, or (a connect in progress) writable. A connection that
// fails is reported as kFailed on both builds (Winsock puts it in the
// exception set, POSIX reports it writable with an error), never as ready.
enum class SocketState { kWaiting, kReady, kFailed };
struct SocketWait {
  Socket socket = kInvalidSocket;
  bool writable = false;
  SocketState state = SocketState::kWaiting;  // set by the wait
};
// The most sockets one wait takes.
inline constexpr std::size_t kMaxSocketWaits = 1024;
// Waits at most the given time (0: a poll) until at least one socket is ready
// or failed, and marks each socket's state. kReady when any is marked,
// kTimedOut when none is; kError for a negative time, more than
// kMaxSocketWaits sockets or an invalid one.
// The wait for a time in microseconds, for the worker's pace of sends,
// which is finer than a millisecond: POSIX waits that precisely, Windows as
// finely as its timer allows. With no socket it is a sleep.
WaitResult WaitForSocketsMicroseconds(std::span<SocketWait> sockets, std::int64_t microseconds);
inline WaitResult WaitForSockets(std::span<SocketWait> sockets, std::int32_t milliseconds) {
  if (milliseconds < 0) return WaitResult::kError;
  return WaitForSocketsMicroseconds(sockets, std::int64_t{milliseconds} * 1000);
}

// WSAStartup and WSACleanup (reference-counted by the system); nothing on POSIX.
// Every program starts Winsock itself before its first socket call: the
// plug-in in PluginStart (and stops it in PluginStop), the tools and the tests
// in main. Nothing here starts it behind a caller's back, so the module never
// keeps a reference that nobody releases.
bool StartSocketLibrary();
void StopSocketLibrary();

// ---------------------------------------------------------------------------
// Synchronisation and threads.

// An unnamed auto-reset event, created non-signalled.
class AutoResetEvent {
 public:
  AutoResetEvent();
  ~AutoResetEvent();
  AutoResetEvent(const AutoResetEvent&) = delete;
  AutoResetEvent& operator=(const AutoResetEvent&) = delete;
  void Set();
  // Waits at most the given time (negative: no limit); true when signalled.
  bool Wait(std::int32_t milliseconds);

 private:
  struct State;
  std::unique_ptr<State> state_;
};

// A thread whose end can be waited for with a time-out. The handle stays valid
// after the thread's body has returned, for as long as the Thread object
// lives; dropping the object without joining detaches the thread.
class Thread {
 public:
  Thread() = default;
  explicit Thread(std::function<void()> body);
  ~Thread();
  Thread(Thread&&) noexcept;
  Thread& operator=(Thread&&) noexcept;

  bool Started() const { return state_ != nullptr; }
  // Waits at most the given time (negative: no limit); true when the body
  // has returned.
  bool WaitForEnd(std::int32_t milliseconds);

 private:
  struct State;
  std::shared_ptr<State> state_;
};

inline constexpr std::int32_t kInfinite = -1;

// ---------------------------------------------------------------------------
// Name lookups, each on a thread of its own.
//
// Nothing can cut a resolver's call short, so the worker never makes one: it
// starts a lookup, goes on with its other servers, and looks at the answer
// when it comes, or gives up at the server's deadline. A lookup that outlives
// its asker, the plug-in's stop, or the host's exit touches only what it owns
// (the name, its answer and the signal, shared with the asker), never freed
// memory; and while one runs the module is not unloaded under it
// (SettleNameLookups).

// At most this many lookups run at once in the process: a flood of names
// that hang costs a bounded number of threads.
inline constexpr std::size_t kMaxNameLookups = 64;

// What a lookup is asked for: the host's address, or first the service
// record (DNS SRV) of a service on the host, such as "_minecraft._tcp.",
// and the address of the target it names.
struct LookupQuery {
  std::u16string host;
  std::u16string srv_service;  // empty: no service record is asked for
};

class NameLookup {
 public:
  NameLookup() = default;
  // Starts the lookup; `done` (if any) is signalled when the answer is in.
  // False when no lookup can start now (kMaxNameLookups run, or the system
  // gives no thread): the caller tries again later.
  bool Start(LookupQuery query, std::shared_ptr<AutoResetEvent> done);
  bool Start(std::u16string_view host, std::shared_ptr<AutoResetEvent> done) {
    return Start(LookupQuery{std::u16string(host), {}}, std::move(done));
  }
  bool Started() const { return state_ != nullptr; }
  // Whether the answer is in, and the answer: the first IPv4 address in
  // dotted form, empty when the name does not resolve; and the port of the
  // service record followed, 0 when there was none.
  bool Done() const;
  std::string Address() const;
  std::uint16_t Port() const;

 private:
  struct State;
  std::shared_ptr<State> state_;
};

// Called by PluginStop once the worker is gone: lets go of the lookups that
// have ended, and says whether any still runs. If one does, the caller keeps
// the module loaded (PinModule), since that thread still runs its code.
bool SettleNameLookups();

void SleepMilliseconds(std::int32_t milliseconds);

// ---------------------------------------------------------------------------
// The entry lock and the thread timer.

// A recursive lock with a condition beside it, on which a thread waits for
// the lock or for something else, and may give up.
//
// The entry lock is one: the lock that every export holds while it runs.
// Recursive, so that a host that re-enters the plug-in from a nested message
// loop on its own thread does not deadlock. It is also the one place where
// the plug-in's threads wait for one another: a thread that must not wait for
// the lock without end (the worker inside a host call, a timer being killed)
// takes it with LockUnless, and PluginStop waits for the host calls of other
// threads with WaitUntil. Waiters test again whenever the lock is let go and
// whenever Notify is called, so a thread that changes what they test calls
// Notify after the change. The tests run under the condition's own mutex:
// they read atomics and nothing else.
class ReentrantLock {
 public:
  void lock();
  bool try_lock();
  void unlock();
  // Takes the lock unless give_up() holds first; false then. The lock is
  // never taken while give_up() holds.
  bool LockUnless(const std::function<bool()>& give_up);
  // Waits until done() holds or the deadline passes; true when it held.
  bool WaitUntil(const std::function<bool()>& done, std::chrono::steady_clock::time_point deadline);
  void Notify();

 private:
  bool FreeFor(std::thread::id thread) const { return depth_ == 0 || owner_ == thread; }
  void TakeFor(std::thread::id thread) {
    owner_ = thread;
    ++depth_;
  }

  std::mutex mutex_;  // Guards owner_ and depth_.
  std::condition_variable changed_;
  std::thread::id owner_;
  std::uint32_t depth_ = 0;
};

ReentrantLock& EntryLock();

using TimerProc = std::function<void()>;

// A thread timer with no window. On Windows it is SetTimer, and the procedure
// runs in the message loop of the thread that started it. POSIX has no message
// loop: its stand-in runs the procedure about once a period on a timer thread
// while holding the entry lock, so the procedure never runs at the same time
// as an export. Returns the timer id, 0 when no timer could be made.
std::uint32_t StartThreadTimer(std::uint32_t period_ms, TimerProc proc);
// After it returns no tick of that timer runs any more.
void KillThreadTimer(std::uint32_t timer_id);

// ---------------------------------------------------------------------------
// The clock.

// The local date and time as days since 1899-12-30 (the time of day is the
// fraction).
double NowDateTime();

// ---------------------------------------------------------------------------
// Files, the module and the desktop.

// The full path of the file that holds the plug-in's own code (the module),
// as GetModuleFileNameW gives it for at most 260 code units.
std::u16string ModuleFilePath();
inline constexpr char16_t kPathDelimiter =
#ifdef _WIN32
    u'\\';
#else
    u'/';
#endif

enum class ReadFileResult { kRead, kMissing, kUnreadable };
// A file the plug-in reads on the host's thread: only a regular file of at
// most max_bytes is read. A FIFO or a device (a link to /dev/zero,
// say) would hang or never end, and a huge file would exhaust memory: each is
// kUnreadable, and opening it never waits for a writer.
ReadFileResult ReadRegularFile(const std::u16string& path, std::vector<std::uint8_t>& contents,
                               std::size_t max_bytes);
bool FileExists(const std::u16string& path);

// ShellExecuteW "open" with SW_SHOWNORMAL. POSIX reports the request on
// standard error.
void OpenWithAssociatedProgram(const std::u16string& path);

// MessageBoxW with no owner and MB_ICONINFORMATION; returns its result. POSIX
// writes the text to standard error and "returns" IDOK (1).
std::int32_t ShowInformationBox(const std::u16string& caption, const std::u16string& text);

// Keeps the plug-in's module loaded until the process ends, so that a thread
// that outlives PluginStop never runs unmapped code (Windows: a pinned module;
// POSIX: the shared object marked no-delete).
void PinModule();

// ---------------------------------------------------------------------------
// Text in the system ANSI code page.
//
// Windows uses CP_ACP without best-fit mapping. POSIX uses Windows-1251, or
// the Windows code page given in the environment variable MORVANE_CODEPAGE
// (1250, 1251, 1252, 65001 for UTF-8). On both, a character that the code page
// cannot hold becomes "?", and a byte that the code page leaves undefined
// becomes the Unicode character of the same value.
std::string ToAnsi(std::u16string_view text);
std::u16string FromAnsi(std::string_view text);
// POSIX: reads MORVANE_CODEPAGE again (PluginStart does, on the host's
// thread); it is read once at the first conversion otherwise. Nothing on
// Windows, whose code page is the system's.
void ReadCodePageSetting();

}  // namespace morvane::platform
