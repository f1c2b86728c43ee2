// One run of the console host: it starts the plug-in, feeds it the input
// lines as chat events, answers its queries from the host's state, prints
// every call it makes as a chat line, and stops it at the end of the input.
#pragma once

#include <cstdint>
#include <deque>
#include <mutex>
#include <span>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "chat_records.h"
#include "host_options.h"
#include "line_source.h"
#include "plugin_module.h"
#include "script_line.h"

namespace morvane::console_host {

class HostSession {
 public:
  HostSession(const HostOptions& options, const PluginExports& exports);
  ~HostSession();
  HostSession(const HostSession&) = delete;
  HostSession& operator=(const HostSession&) = delete;

  // Starts the plug-in, runs the input to its end or to !quit, stops the
  // plug-in. Returns the exit status: 0, or 1 when the plug-in refused to
  // start.
  int Run(LineSource& source);

 private:
  // The host's view of the chat. Written by the host callback (from the
  // main thread and the plug-in's worker) and by the main thread.
  struct State {
    bool host_online = true;
    std::vector<std::u16string> host_channels;
    bool virtual_logged_in = false;
    ChatUser virtual_user;
    // Channels the virtual user is in, in the order it entered them; the
    // answer to query 1080 lists them in this order.
    std::vector<std::u16string> virtual_channels;
    // Users logged in with code 1001 whose 1078 has not been delivered yet.
    std::deque<ChatUser> pending_online;
  };

  static void MORVANE_CALL OnHostCall(std::int32_t plugin_id, std::int32_t code, const void* record,
                                      std::int32_t record_length);
  static std::int32_t MORVANE_CALL OnHostQuery(std::int32_t plugin_id, std::int32_t code,
                                               void* answer, std::int32_t answer_size,
                                               const void* input, std::int32_t input_length);

  void HandleCall(std::int32_t plugin_id, std::int32_t code, std::span<const std::uint8_t> record);
  std::int32_t AnswerQuery(std::int32_t plugin_id, std::int32_t code, void* answer,
                           std::int32_t answer_size);
  std::vector<std::uint8_t> BuildAnswerLocked(std::int32_t code, bool& known) const;

  // Returns false when the input should end (!quit).
  bool HandleLine(int line_number, std::string_view raw, std::int32_t& wait_ms);
  void HandlePresence(int line_number, std::string_view raw, const ScriptLine& line, bool online);
  void Process(const Delivery& delivery);
  void DeliverPendingReports();

  void PrintLocked(std::string_view text);
  void Print(std::string_view text);
  void PrintError(std::string_view text);
  void Echo(std::string_view raw);

  const HostOptions options_;
  const PluginExports exports_;
  const std::u16string host_user_;
  const std::thread::id main_thread_;

  std::mutex mutex_;  // guards state_ and the writes to stdout and stderr
  State state_;
};

}  // namespace morvane::console_host
