// What the programs around the plug-in need from the platform beside its
// interface (platform.h): the console host, the IRC host, the simulators, the
// settings inspector, the tests and the benchmarks. The plug-in's own code
// never includes this header.
#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/platform.h"

namespace morvane::platform {

// ---------------------------------------------------------------------------
// Sockets and addresses.

// inet_ntoa.
std::string FormatIpv4(std::uint32_t address_be);

// The system's resolver (getaddrinfo; GetAddrInfoW on Windows), asked with
// the name as typed (UTF-8 on POSIX, UTF-16 on Windows): the first IPv4
// address of the host in dotted form, or empty text when it cannot be
// resolved. A dotted address resolves to itself without asking; an empty
// name, or one with a NUL inside (which the resolver would read cut short),
// resolves to nothing. May block for as long as the resolver takes: the
// worker asks through NameLookup.
std::string ResolveHostIpv4(std::u16string_view host);

// A service record (DNS SRV): the host that serves and its port.
struct ServiceRecord {
  std::u16string target;
  std::uint16_t port = 0;
};
// The system's DNS (res_nquery on POSIX, DnsQuery_W on Windows) asked for
// the SRV records of the name: the one of the lowest priority (the highest
// weight among equals), or nothing when there is none, the lookup fails, or
// the record says the service is not offered (target "."). May block for as
// long as the resolver takes: the worker asks through NameLookup.
std::optional<ServiceRecord> LookUpServiceRecord(std::u16string_view name);

// select on the write set only. As with Winsock, a refused connection never
// makes the socket writable (Winsock reports it only in the exception set,
// which is not watched), so the wait runs out and reports kTimedOut.
// 0 ms is a poll.
WaitResult WaitWritable(Socket socket, std::int32_t milliseconds);
// select on the read set only. 0 ms is a poll.
WaitResult WaitReadable(Socket socket, std::int32_t milliseconds);

// Server side, for the simulators and tests: a socket bound to 127.0.0.1 and
// the given port (0: any free port), listening when it is TCP.
Socket OpenLoopbackServer(SocketType type, std::uint16_t port);
// The port a socket is bound to, in host order; 0 on failure.
std::uint16_t LocalPort(Socket socket);
// accept; kInvalidSocket on failure.
Socket Accept(Socket listener);

// ---------------------------------------------------------------------------
// Stand-ins for tests.

// Tests put a resolver of their own in place of the system's (it runs on the
// lookup's thread, like the system's); nullptr restores the system's.
using NameResolver = std::function<std::string(std::u16string_view host)>;
void SetNameResolverForTesting(NameResolver resolver);
// The same for service records.
using ServiceResolver = std::function<std::optional<ServiceRecord>(std::u16string_view name)>;
void SetServiceResolverForTesting(ServiceResolver resolver);

// Tests may replace the clock (NowDateTime); nullptr restores the system's.
void SetClockForTesting(std::function<double()> clock);

// ---------------------------------------------------------------------------
// Messages, files, the environment and modules.

// Dispatches the calling thread's messages for at most the given time (Windows
// runs thread timers this way); on POSIX it only waits.
void PumpMessages(std::int32_t milliseconds);

// Any file, whole.
ReadFileResult ReadWholeFile(const std::u16string& path, std::vector<std::uint8_t>& contents);

// Writes or replaces a file; for tools and tests.
bool WriteWholeFile(const std::u16string& path, std::span<const std::uint8_t> contents);

// Tests of the Windows desktop calls, which no one would close under Wine:
// in this program (never in the shipped module, which does not call it) both
// calls then only report on standard error, as the POSIX build does.
void SuppressDialogsForTesting(bool suppress);

// The code page in use.
std::uint32_t AnsiCodePage();

// ---------------------------------------------------------------------------
// Loading a module (for the console host and the tests).

class LoadedModule {
 public:
  LoadedModule() = default;
  ~LoadedModule();
  LoadedModule(const LoadedModule&) = delete;
  LoadedModule& operator=(const LoadedModule&) = delete;
  LoadedModule(LoadedModule&&) noexcept;
  LoadedModule& operator=(LoadedModule&&) noexcept;

  // Loads the module at path; on failure returns false and a one-line reason.
  bool Load(const std::string& path_utf8, std::string& error);
  // The named export, or nullptr.
  void* Symbol(const char* name) const;
  bool Loaded() const { return handle_ != nullptr; }
  void Unload();

 private:
  void* handle_ = nullptr;
};

// The process's own environment variable, UTF-8; empty when unset.
std::string GetEnvironment(const char* name);

// For the console tools, which write UTF-8: on Windows standard output and
// standard error become binary (no CR added before LF) and the console shows
// UTF-8; nothing on POSIX.
void PrepareStandardOutput();
// For tools and tests: sets the process's own environment variable (UTF-8);
// a null value removes it. True on success.
bool SetEnvironment(const char* name, const char* value);

// For tools and tests: a folder (and its parents); true when it exists after.
bool MakeDirectories(const std::string& path_utf8);
int CurrentProcessId();

}  // namespace morvane::platform
