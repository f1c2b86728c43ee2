// morvane-ini: shows what the Morvane plug-in will read from a settings file
// (check), and writes a settings file in the one encoding the plug-in reads
// (write). The plug-in itself says nothing about a file it cannot use; this
// tool says everything.
#include <cstdio>
#include <string>
#include <vector>

#include "ini_command_line.h"
#include "ini_commands.h"
#include "platform/platform.h"
#include "platform/program_support.h"

namespace {

void Write(std::FILE* stream, const std::string& text) {
  std::fwrite(text.data(), 1, text.size(), stream);
  std::fflush(stream);
}

}  // namespace

int main(int argc, char** argv) {
  morvane::platform::PrepareStandardOutput();
  using namespace morvane::ini;
  const std::vector<std::string> args(argv + 1, argv + argc);
  std::string error;
  const auto command = ParseIniCommandLine(args, error);
  if (!command) {
    Write(stderr, "morvane-ini: " + error + "\n" + IniUsage());
    return kExitFailed;
  }
  std::string out;
  std::string err;
  int status = kExitClean;
  switch (command->kind) {
    case IniCommand::Kind::kHelp:
      out = IniUsage();
      break;
    case IniCommand::Kind::kCheck:
      status = RunCheck(command->input, out, err);
      break;
    case IniCommand::Kind::kWrite:
      status = RunWrite(command->input, command->output, out, err);
      break;
  }
  Write(stdout, out);
  Write(stderr, err);
  return status;
}
