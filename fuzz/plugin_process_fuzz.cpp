// PluginProcess with any code and any record, in both modes, against a plug-in
// started with events of every type. The first input byte picks the mode and
// the code; the rest is the record.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "common/text.h"
#include "platform/platform.h"
#include "platform/program_support.h"
#include "plugin/chat_handler.h"
#include "plugin/lifecycle.h"
#include "plugin/plugin_state.h"

namespace {

void MORVANE_CALL IgnoreCall(std::int32_t, std::int32_t, const void*, std::int32_t) {}

bool g_virtual_user = false;

std::int32_t MORVANE_CALL Answer(std::int32_t, std::int32_t code, void* answer, std::int32_t size,
                                 const void*, std::int32_t) {
  std::int32_t value = code == 2000 ? (g_virtual_user ? 0 : 1) : code == 11 ? 2 : -1;
  if (value < 0) return 0;
  if (answer != nullptr && size >= 4) {
    auto* bytes = static_cast<std::uint8_t*>(answer);
    for (int i = 0; i < 4; ++i) bytes[i] = static_cast<std::uint8_t>(value >> (8 * i));
  }
  return 4;
}

constexpr char16_t kSettings[] =
    u"\uFEFF[Main]\r\nAdmUsers=root||\r\nMaxQueue=5\r\n"
    u"[Event_0]\r\nType=0\r\nMsg=!s\r\nSource=main|x\r\nAddr=a\r\nGame=hl\r\n"
    u"[Event_1]\r\nType=1\r\nMsg=!s\r\nAddr=a\r\nGame=hlpl\r\nMsgType=2\r\n"
    u"[Event_2]\r\nType=2\r\nAddr=a\r\nGame=tcp\r\nDelay=1\r\n";

morvane::PluginState& State() {
  static morvane::PluginState state;
  return state;
}

void StartOnce(bool virtual_user) {
  static int started = -1;
  if (started == static_cast<int>(virtual_user)) return;
  if (started >= 0) morvane::StopPlugin(State());
  static const bool folder_ready = [] {
    morvane::platform::MakeDirectories("fuzz-plugin-folder");
    std::vector<std::uint8_t> bytes;
    for (char16_t c : std::u16string_view(kSettings)) {
      bytes.push_back(static_cast<std::uint8_t>(c));
      bytes.push_back(static_cast<std::uint8_t>(c >> 8));
    }
    return morvane::platform::WriteWholeFile(u"fuzz-plugin-folder/Morvane.ini", bytes);
  }();
  (void)folder_ready;
  State().module_directory_for_testing = u"fuzz-plugin-folder/";
  State().worker_enabled_for_testing = false;
  g_virtual_user = virtual_user;
  morvane::StartPlugin(State(), 1, &IgnoreCall, &Answer);
  started = static_cast<int>(virtual_user);
}

constexpr std::int32_t kCodes[] = {3, 5, 10, 1061, 1070, 1078, 1079, 0, 50, 2000};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  StartOnce((data[0] & 0x80) != 0);
  const std::int32_t code = kCodes[(data[0] & 0x7F) % std::size(kCodes)];
  // The record is copied to a buffer of exactly its size, so that a read past
  // it is caught.
  std::vector<std::uint8_t> record(data + 1, data + size);
  morvane::ProcessHostMessage(State(), code, record.empty() ? nullptr : record.data(),
                              static_cast<std::int32_t>(record.size()));
  State().queue->Clear();
  return 0;
}
