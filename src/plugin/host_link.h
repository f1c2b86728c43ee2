// The plug-in's side of the host callbacks: the queries it asks and the
// messages it sends. Every operation builds a fresh record for its one call,
// so no buffer is shared between the host's thread and the worker.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "morvane/plugin_api.h"
#include "plugin/host_record.h"

namespace morvane {

// Who the host is. Written by PluginStart before the worker exists and read
// by both threads afterwards; it does not change while the worker runs.
struct HostConnection {
  std::int32_t plugin_id = 0;
  MorvaneHostCallback callback = nullptr;
  MorvaneHostQuery query = nullptr;
  bool virtual_user_mode = false;
};

// Installs the host and opens the link for sending. Called by PluginStart.
void ConnectHost(const HostConnection& host);
const HostConnection& Host();

// Closes the link: once this returns no callback is made any more, from any
// thread, and none is in progress (a send that had begun is waited for, at
// most about wait_ms; see the definition). Called first thing by PluginStop.
void DisconnectHost(std::int32_t wait_ms);

// The name the virtual user speaks under in virtual-user records. The host's
// thread replaces it on a settings load while the worker reads it, so it is
// kept behind its own lock and read as a copy.
void SetVirtualUserName(std::u16string_view name);
std::u16string VirtualUserName();

// Sends one record with the host callback (nothing once the link is closed).
void SendHostRecord(std::int32_t code, const HostRecord& record);

// Asks the host query callback for an integer: -1 when the host answers
// nothing, or fewer than 4 bytes.
std::int32_t QueryHostInt(std::int32_t code);

struct HostAnswer {
  std::int32_t result = 0;    // what the second call returned (or the first, when <= 0)
  HostRecord answer;          // the bytes the host wrote, never more than it announced
};
// Asks with an input record; an answer size of 0 or less gives that result
// with an empty answer.
HostAnswer QueryHostRecord(std::int32_t code, const HostRecord& input);

// The reply deliveries, in the form of the mode fixed at start.
void SendChannelMessage(std::u16string_view target, std::u16string_view text, bool type_flag);
void SendPrivateMessage(std::u16string_view target, std::u16string_view text, bool type_flag);
void SendMode3Message(std::u16string_view target, std::u16string_view text);

// Host codes the plug-in sends.
namespace host_code {
inline constexpr std::int32_t kChannelMessage = 50;
inline constexpr std::int32_t kMode3Message = 61;
inline constexpr std::int32_t kJoinChannel = 67;
inline constexpr std::int32_t kPrivateMessage = 70;
inline constexpr std::int32_t kVirtualLogIn = 1001;
inline constexpr std::int32_t kVirtualLogOut = 1002;
inline constexpr std::int32_t kVirtualChannelMessage = 1020;
inline constexpr std::int32_t kVirtualPrivateMessage = 1022;
inline constexpr std::int32_t kVirtualMode3Message = 1023;
inline constexpr std::int32_t kVirtualJoinChannel = 1026;
inline constexpr std::int32_t kVirtualLeaveChannel = 1027;
// Queries.
inline constexpr std::int32_t kQueryMode = 2000;
inline constexpr std::int32_t kQueryConnection = 11;
inline constexpr std::int32_t kQueryVirtualChannels = 1080;
}  // namespace host_code

}  // namespace morvane
