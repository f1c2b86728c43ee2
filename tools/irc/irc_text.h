// Text between the plug-in and IRC. The plug-in speaks UTF-16 with "[b]"
// marks and CR LF line breaks; IRC speaks UTF-8, one message per line of at
// most 512 bytes, with 0x02 toggling bold. Pure text in, text out.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace morvane::irc {

// The IRC bold toggle.
inline constexpr char kBold = '\x02';

// One text from the plug-in as IRC message texts, in order. Every line break
// (CR LF, or a lone CR or LF) starts a new message; "[b]" and "[/b]" become
// the bold toggle; a line that would show nothing (empty, or only blanks and
// bold toggles) is skipped. Every other control byte (0x00 to 0x1F) is
// dropped: NUL, CTCP's 0x01, and the formatting codes with their arguments
// (colour 0x03 "NN,NN", hex colour 0x04 "RRGGBB,RRGGBB", bold, italic,
// underline, strikethrough, monospace, reverse, reset), so the only
// formatting that goes out is the bridge's own bold. A line longer than max_bytes is
// cut at UTF-8 character boundaries into pieces of at most max_bytes. Bold
// that is open where a message ends is opened again at the start of the next
// one, since clients reset formatting at the end of every message.
// max_bytes below 8 is taken as 8.
std::vector<std::string> ToIrcMessages(std::u16string_view text, std::size_t max_bytes);

// IRC clients take a leading "/" as their own command, so chat users type the
// trigger instead: a text that starts with the trigger followed by "gs " or
// "reload" (letters in either case, as the plug-in lowers them itself) gets
// "/" in the trigger's place. Every other text is returned unchanged.
std::string ApplyTrigger(std::string_view text, std::string_view trigger);

// The text with A to Z lowered, every other byte as it is: commands compare
// without case, as the plug-in lowers them itself.
std::string LowerAscii(std::string_view text);

}  // namespace morvane::irc
