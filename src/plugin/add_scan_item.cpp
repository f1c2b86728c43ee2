#include "plugin/add_scan_item.h"

#include <memory>

#include "host/host_codes.h"

namespace morvane {
namespace {

bool EndsWithPl(std::u16string_view kind) { return kind.ends_with(u"pl"); }

}  // namespace

ScanRequest CommandRequest(const MainSettings& settings, MessageClass message_class,
                           std::u16string_view reply_target, const ScanCommand& command) {
  const bool is_private = message_class == MessageClass::kPrivate;
  ScanRequest request{
      .Addr = command.address,
      .ChOrUser = std::u16string(reply_target),
      .OutTitle = is_private ? u"" : u"\r\n",
      .Format = settings.Format,
      .PlTitle = {},
      .OffFormat = settings.OfflineFormat,
      .Delimiter = settings.Delimiter,
      .PlDelimiter = settings.PlDelimiter,
      .MsgType = is_private         ? reply_mode::kPrivate
                 : settings.MsgType ? reply_mode::kChannelWithFlag
                                    : reply_mode::kChannel,
      .TimeOut = settings.TimeOut,
      .Parallel = settings.Parallel,
      .Retries = settings.Retries,
      .Requests = settings.Requests,
      .MaxPlayers = settings.MaxPlayers,
      .MaxReply = settings.MaxReply,
      .PlMoreFormat = settings.PlMoreFormat,
      .CutText = settings.CutText,
      .PlHiddenText = settings.PlHiddenText,
      .AnsiValues = settings.AnsiValues,
  };
  // "tcp" is tested first, by equality, so "tcppl" is a player kind here (and
  // no kind at all for AddScanItem).
  if (command.kind == u"tcp") {
    request.Format = settings.TCPFormat;
  } else if (EndsWithPl(command.kind)) {
    request.Format = settings.PlFormat;
    request.PlTitle = settings.PlTitle;
  }
  return request;
}

ScanRequest EventRequest(const TEvent& event, std::u16string_view target,
                         const MainSettings& settings) {
  return {
      .Addr = event.Addr,
      .ChOrUser = std::u16string(target),
      .OutTitle = event.Title,
      .Format = event.Format,
      .PlTitle = event.PlTitle,
      .OffFormat = event.OffFormat,
      .Delimiter = event.Delimiter,
      .PlDelimiter = event.PlDelimiter,
      .MsgType = event.MsgType,
      .TimeOut = event.TimeOut,
      .Parallel = settings.Parallel,
      .Retries = settings.Retries,
      .Requests = settings.Requests,
      .MaxPlayers = settings.MaxPlayers,
      .MaxReply = settings.MaxReply,
      .PlMoreFormat = settings.PlMoreFormat,
      .CutText = settings.CutText,
      .PlHiddenText = settings.PlHiddenText,
      .AnsiValues = settings.AnsiValues,
  };
}

void AddScanItem(PluginState& state, std::u16string_view kind, ScanRequest request) {
  const std::int32_t max_queue = state.settings.MaxQueue;
  if (state.queue->Count() >= max_queue) return;
  const auto server_kind = ServerKindFromWord(kind);
  if (!server_kind) return;
  auto item = std::make_unique<TScanItem>();
  static_cast<ScanRequest&>(*item) = std::move(request);
  item->Game = server_kind->Game;
  item->Players = server_kind->Players;
  item->TCP = server_kind->TCP;
  state.queue->Append(std::move(item), max_queue);
}

}  // namespace morvane
