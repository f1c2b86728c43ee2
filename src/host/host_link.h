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
// flight lets DisconnectHost wait for the calls that had already begun.
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

// Installs the host and opens a new link session. Called by PluginStart.
void ConnectHost(const HostConnection& host);
// The mode, fixed by PluginStart once the host has answered query 2000.
void SetVirtualUserMode(bool virtual_user_mode);
HostConnection Host();

// A link session is a number that changes whenever the link opens or closes.
// Code on the host's thread notes it before calling the host and compares it
// afterwards: any change means the host stopped the plug-in (and perhaps
// started it again) from inside that call, and the caller must do nothing
// more.
using LinkSession = std::uint32_t;
LinkSession CurrentLinkSession();
bool LinkStillOpen(LinkSession session);

// Closes the link: from now on no callback starts, from any thread. Then
// waits until the deadline for the calls that other threads had begun; the
// calling thread's own calls (PluginStop from inside a callback) are not
// waited for. True when none is left in flight. Called first by PluginStop.
bool DisconnectHost(std::chrono::steady_clock::time_point deadline);

// The worker binds itself to the session that started it: its calls go to
// the host of that session only, never to one opened after a restart.
void BindThreadToLinkSession(LinkSession session);
// For the exports: whether the calling thread is bound (the worker), and
// whether its session is still the open one.
bool ThreadIsBoundToLink();
bool BoundLinkStillOpen();

// The name the virtual user speaks under in virtual-user records. The host's
// thread replaces it on a settings load while the worker reads it, so it is
// kept behind its own lock and read as a copy.
void SetVirtualUserName(std::u16string_view name);
std::u16string VirtualUserName();

// Sends one record with the host callback (nothing once the link is closed).
void SendHostRecord(std::int32_t code, const HostRecord& record);

// The largest answer a query takes. A host that announces more is treated as
// giving no answer, so that a broken host cannot make the plug-in allocate
// gigabytes.
inline constexpr std::int32_t kMaxHostAnswerBytes = 1 << 20;

// Asks the host query callback for an integer: -1 when the host answers
// nothing, fewer than 4 bytes or more than kMaxHostAnswerBytes, and when the
// link is closed.
std::int32_t QueryHostInt(std::int32_t code);

struct HostAnswer {
  std::int32_t result = 0;  // what the second call returned (or the first, when <= 0)
  HostRecord answer;        // the bytes the host wrote, never more than it announced
};
// Asks with an input record; an answer size of 0 or less gives that result
// with an empty answer, and so does an oversized one or a closed link.
HostAnswer QueryHostRecord(std::int32_t code, const HostRecord& input);

// The reply deliveries, in the form of the mode fixed at start.
void SendChannelMessage(std::u16string_view target, std::u16string_view text, bool type_flag);
void SendPrivateMessage(std::u16string_view target, std::u16string_view text, bool type_flag);
void SendMode3Message(std::u16string_view target, std::u16string_view text);

}  // namespace morvane
