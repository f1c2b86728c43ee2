// Scan requests are made here and nowhere else: from a "/gs" command, with
// the [Main] templates its kind calls for, or from an event, with the event's
// own. Every producer hands the request to AddScanItem, which queues it.
#pragma once

#include <string_view>

#include "plugin/plugin_state.h"
#include "plugin/scan_command.h"
#include "scan/scan_item.h"
#include "settings/settings_values.h"

namespace morvane {

// The request of a "/gs" command. "tcp" takes TCPFormat and no player-list
// header; a kind ending in "pl" takes PlFormat and PlTitle; any other kind
// Format and no header. A channel message is answered in the channel (reply
// mode 1, or 0 when [Main] MsgType is off) after a line break; a private one
// privately, with no title.
ScanRequest CommandRequest(const MainSettings& settings, MessageClass message_class,
                           std::u16string_view reply_target, const ScanCommand& command);

// The request of an event, answered to the given target. [Main] gives how
// many addresses are asked at once, how often a query is repeated, and the
// bounds of the reply (MaxPlayers with PlMoreFormat, MaxReply with CutText).
ScanRequest EventRequest(const TEvent& event, std::u16string_view target,
                         const MainSettings& settings);

// Queues one request, its kind word setting Game, Players and TCP. A full
// queue ([Main] MaxQueue; the request in service counts) or a word that is not
// one of the seven (compared exactly) drops it without a sound.
void AddScanItem(PluginState& state, std::u16string_view kind, ScanRequest request);

}  // namespace morvane
