// The numbers of the plug-in interface, from the host's side: what the
// plug-in may ask of the host, what the host delivers to it, and the values
// inside those records. The console host and the IRC host keep their own copy
// rather than including the plug-in's: they stand where a real host stands,
// and a number the plug-in got wrong must show as a fault, not agree with
// itself.
#pragma once

#include <cstdint>

namespace morvane::console_host {

// The plug-in calls the host callback with these (the direct form, then its
// virtual-user form).
namespace call {
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
}  // namespace call

// The plug-in asks the host query callback these.
namespace query {
inline constexpr std::int32_t kConnection = 11;         // the host's user: its status
inline constexpr std::int32_t kVirtualChannels = 1080;  // [user] -> the channels it is in
inline constexpr std::int32_t kMode = 2000;             // 0: virtual user, 1: direct
}  // namespace query

// The host delivers these to PluginProcess.
namespace deliver {
inline constexpr std::int32_t kStatus = 3;                 // [status]
inline constexpr std::int32_t kChannelText = 5;            // [user][channel][int][text]
inline constexpr std::int32_t kPrivateText = 10;           // [user][message kind][text]
inline constexpr std::int32_t kVirtualPrivateText = 1061;  // [text][user][text]
inline constexpr std::int32_t kVirtualChannelText = 1070;  // [text][user][channel][int][text]
inline constexpr std::int32_t kVirtualUserOnline = 1078;   // [user]
inline constexpr std::int32_t kVirtualUserOffline = 1079;  // [user]
}  // namespace deliver

// The host asks PluginGetData this: the plug-in's display name as a text.
inline constexpr std::int32_t kDataDisplayName = 2810;

// Values inside the records.
namespace value {
inline constexpr std::int32_t kModeVirtualUser = 0;  // query 2000's answer for a virtual user
inline constexpr std::int32_t kConnected = 2;        // code 3 and query 11
inline constexpr std::int32_t kDisconnected = 0;
inline constexpr std::int32_t kPrivateMessageKind = 3;  // code 10's chat message
}  // namespace value

}  // namespace morvane::console_host
