// The two commands of morvane-ini. Each writes what a person reads to out and
// errors to err (both UTF-8) and returns the exit status.
#pragma once

#include <string>

namespace morvane::ini {

inline constexpr int kExitClean = 0;
inline constexpr int kExitWarnings = 1;
inline constexpr int kExitFailed = 2;

// A path from the command line as the platform layer takes it: Windows hands
// a console program its arguments in the ANSI code page, POSIX systems in
// UTF-8.
std::u16string PathFromArgument(const std::string& argument);

// check: 0 when the plug-in reads the file as intended, 1 with warnings, 2
// when the file cannot be read.
int RunCheck(const std::string& path, std::string& out, std::string& err);

// write: 0 when OUT holds the text of IN as UTF-16LE with a byte-order mark,
// 2 when IN cannot be read or OUT cannot be written. IN is read whole before
// OUT is written, so OUT may be IN.
int RunWrite(const std::string& input, const std::string& output, std::string& out,
             std::string& err);

}  // namespace morvane::ini
