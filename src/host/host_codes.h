// Every number that crosses the host boundary: the codes the plug-in sends
// with the host callback, the codes it asks with the query callback, the codes
// the host delivers to PluginProcess, the data codes of PluginGetData, the
// values inside those records, and the reply modes that choose how a reply
// is delivered. Each direct-mode code has a virtual-user form; the plug-in
// uses one set or the other for its whole life, as the host's answer to query
// 2000 decides.
#pragma once

#include <cstdint>

namespace morvane {

namespace host_code {

// Sent with the host callback.
inline constexpr std::int32_t kChannelMessage = 50;           // [target][type flag][text]
inline constexpr std::int32_t kMode3Message = 61;             // [target][text]
inline constexpr std::int32_t kJoinChannel = 67;              // [1][channel]
inline constexpr std::int32_t kPrivateMessage = 70;           // [target][type flag][text]
inline constexpr std::int32_t kVirtualLogIn = 1001;           // [Name][IP][0][Password][0]
inline constexpr std::int32_t kVirtualLogOut = 1002;          // [Name]
inline constexpr std::int32_t kVirtualChannelMessage = 1020;  // [user][type flag][target][text]
inline constexpr std::int32_t kVirtualPrivateMessage = 1022;  // [user][type flag][target][text]
inline constexpr std::int32_t kVirtualMode3Message = 1023;    // [user][target][text]
inline constexpr std::int32_t kVirtualJoinChannel = 1026;     // [user][channel][1][0]
inline constexpr std::int32_t kVirtualLeaveChannel = 1027;    // [user][channel]

// Asked with the query callback.
inline constexpr std::int32_t kQueryConnection = 11;         // the host's user: status
inline constexpr std::int32_t kQueryVirtualChannels = 1080;  // [user] -> the channels it is in
inline constexpr std::int32_t kQueryMode = 2000;             // 0 selects the virtual user

// Delivered to PluginProcess.
inline constexpr std::int32_t kStatus = 3;                 // [status]
inline constexpr std::int32_t kChannelText = 5;            // [user][channel][int][text]
inline constexpr std::int32_t kPrivateText = 10;           // [user][message kind][text]
inline constexpr std::int32_t kVirtualPrivateText = 1061;  // [text][user][text]
inline constexpr std::int32_t kVirtualChannelText = 1070;  // [text][user][channel][int][text]
inline constexpr std::int32_t kVirtualUserOnline = 1078;   // [user]
inline constexpr std::int32_t kVirtualUserOffline = 1079;  // [user]

// Answered by PluginGetData.
inline constexpr std::int32_t kDataZero = 2800;         // an integer 0
inline constexpr std::int32_t kDataDisplayName = 2810;  // the display name as a text

}  // namespace host_code

namespace host_value {

// Query 2000's answer that selects virtual-user mode.
inline constexpr std::int32_t kModeVirtualUser = 0;
// The status of code 3 and the answer to query 11 for a connected user; any
// other value means not connected, and hosts send 0.
inline constexpr std::int32_t kConnected = 2;
inline constexpr std::int32_t kDisconnected = 0;
// The one message kind of code 10 that is a private chat message.
inline constexpr std::int32_t kPrivateMessageKind = 3;

}  // namespace host_value

// How a reply is delivered (a request's MsgType).
namespace reply_mode {
inline constexpr std::int32_t kChannel = 0;          // SendChannelMessage, type flag 0
inline constexpr std::int32_t kChannelWithFlag = 1;  // SendChannelMessage, type flag 1
inline constexpr std::int32_t kPrivate = 2;          // SendPrivateMessage
inline constexpr std::int32_t kMode3 = 3;            // SendMode3Message
}  // namespace reply_mode

}  // namespace morvane
