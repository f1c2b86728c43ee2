// morvane-irc's configuration file: TOML, read with toml++. Sections
// [server], [identity], [bridge], [channel_keys], [admins] and [rate]; every
// key is written out in docs/IRC.md. A key the reader does not know, or a
// value of the wrong type or out of range, is an error that names the file,
// the line and the key, so that a typing mistake never goes unnoticed.
#pragma once

#include <string>
#include <string_view>

#include "irc_options.h"

namespace morvane::irc {

// Reads the file over options: each key it holds replaces the field's
// value (the lists and channel keys are added to). False, with a one-line
// reason in error, when the file is missing, unreadable or not valid.
bool ReadIrcConfigFile(const std::string& path, IrcOptions& options, std::string& error);

// The same for a text already read; source names it in the errors.
bool ReadIrcConfigText(std::string_view text, const std::string& source, IrcOptions& options,
                       std::string& error);

}  // namespace morvane::irc
