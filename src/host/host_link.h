// The plug-in's side of the host callbacks: the queries it asks and the
// messages it sends. Every operation builds a fresh record for its one call,
// so no buffer is shared between the host's thread and the worker.
//
// No lock of the plug-in is held while the host runs. A host may call an
// export from inside any callback (PluginStop included), or hand a worker's
// callback to its own thread and wait for it there; either would deadlock on
// a lock held across the call. What keeps the host safe from late calls is a
// link session instead: ConnectHost opens one, DisconnectHost closes it, and a
// call that finds its session closed does nothing. An atomic count of calls in
// flight lets DisconnectHost wait for the calls that had already begun; it
// waits on the entry lock's condition (platform/platform.h), as the worker
// does when it would enter an export, and both are woken by every change of
// the link.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <string_view>

#include "host/host_codes.h"
#include "host/host_record.h"
#include "morvane/plugin_api.h"

namespace morvane {

// Who the host is. Written by PluginStart, read by both threads.
struct HostConnection {
  std::int32_t plugin_id = 0;
  MorvaneHostCallback callback = nullptr;
  MorvaneHostQuery query = nullptr;
  bool virtual_user_mode = false;
};

// A link session is a number that changes whenever the link opens or closes,
// odd while it is open, so that no number is ever open twice.
using LinkSession = std::uint32_t;

// Installs the host and opens a new link session, which it returns. Called by
// PluginStart.
LinkSession ConnectHost(const HostConnection& host);
// The mode, fixed by PluginStart once the host has answered query 2000.
void SetVirtualUserMode(bool virtual_user_mode);
HostConnection Host();
// Whether a link session is open: from PluginStart to PluginStop.
bool LinkOpen();

// Closes the link: from now on no callback starts, from any thread. Then
// waits until the deadline for the calls that other threads had begun; the
// calling thread's own calls (PluginStop from inside a callback) are not
// waited for. True when none is left in flight. Called first by PluginStop.
bool DisconnectHost(std::chrono::steady_clock::time_point deadline);

// The worker's thread binds itself to the session that started it: its calls
// go to the host of that session only, never to one opened after a restart.
// The binding is the one mark of the worker's thread.
void BindThreadToLinkSession(LinkSession session);
// Whether the calling thread is the worker's.
bool ThreadIsBoundToLink();

// Takes the entry lock for an export; when true, the caller holds it. The
// worker's thread reaches an export only from inside one of its own host
// calls (a host that feeds the plug-in's own message back to it, or stops it
// there), and the host's thread may hold the lock meanwhile and wait for that
// very call: in PluginStop, which waits for the worker's host calls. So the
// worker waits for the lock only while its session is open, and once it has
// closed gets false: the export then does nothing at all.
[[nodiscard]] bool TakeEntryLock();

// The name the virtual user speaks under in virtual-user records. The host's
// thread replaces it on a settings load while the worker reads it, so it is
// kept behind its own lock and read as a copy.
void SetVirtualUserName(std::u16string_view name);
std::u16string VirtualUserName();

// Every host call says whether the link session that made it is still open
// once the host has returned. The host may stop the plug-in (and perhaps start
// it again) from inside any call; code on the host's thread that finds its
// session closed must do nothing more. A call made once the session has
// closed does nothing and says so.
struct [[nodiscard]] SendResult {
  bool open = false;
};

// Sends one record with the host callback.
SendResult SendHostRecord(std::int32_t code, const HostRecord& record);

// The largest answer a query takes. A host that announces more is treated as
// giving no answer, so that a broken host cannot make the plug-in allocate
// gigabytes.
inline constexpr std::int32_t kMaxHostAnswerBytes = 1 << 20;

struct [[nodiscard]] HostInt {
  std::int32_t value = -1;
  bool open = false;
};
// Asks the host query callback for an integer: -1 when the host answers
// nothing, fewer than 4 bytes or more than kMaxHostAnswerBytes, and when the
// link is closed.
HostInt QueryHostInt(std::int32_t code);

struct [[nodiscard]] HostAnswer {
  std::int32_t result = 0;  // what the second call returned (or the first, when <= 0)
  HostRecord answer;        // the bytes the host wrote, never more than it announced
  bool open = false;
};
// Asks with an input record; an answer size of 0 or less gives that result
// with an empty answer, and so does an oversized one or a closed link.
HostAnswer QueryHostRecord(std::int32_t code, const HostRecord& input);

// The reply deliveries, in the form of the mode fixed at start.
SendResult SendChannelMessage(std::u16string_view target, std::u16string_view text, bool type_flag);
SendResult SendPrivateMessage(std::u16string_view target, std::u16string_view text, bool type_flag);
SendResult SendMode3Message(std::u16string_view target, std::u16string_view text);

}  // namespace morvane
