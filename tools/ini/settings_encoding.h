// The encodings a settings file may come in, for the settings inspector and
// converter. The plug-in itself reads Morvane.ini only as UTF-16LE
// (DecodeSettingsText in ini_file.h); a file saved in any other encoding
// gives garbage names and so every default, without a word. These helpers
// tell which encoding a file is in and turn it into the one the plug-in
// reads. Pure: bytes in, text or bytes out.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace morvane {

enum class SettingsEncoding {
  kEmpty,            // no bytes at all: every key takes its default
  kUtf16LeWithMark,  // FF FE, then UTF-16LE: what the plug-in reads
  kUtf16Le,          // UTF-16LE without a mark: the plug-in reads it too
  kUtf16BeWithMark,  // FE FF, then UTF-16BE
  kUtf16Be,          // UTF-16BE without a mark
  kUtf8WithMark,     // EF BB BF, then UTF-8
  kUtf8,             // valid UTF-8 with characters beyond ASCII
  kAscii,            // 8-bit bytes below 80 only
  kEightBit,         // 8-bit bytes that are not UTF-8 (taken as Windows-1251)
};

// Guesses the encoding from the bytes: a byte-order mark first; then the
// place of the NUL bytes (ASCII text in UTF-16 has a NUL in every other
// byte); then whether the bytes are valid UTF-8.
SettingsEncoding DetectSettingsEncoding(std::span<const std::uint8_t> bytes);

// A short English name, such as "UTF-16LE with a byte-order mark (FF FE)".
std::string_view SettingsEncodingName(SettingsEncoding encoding);

// Whether the plug-in reads a file in this encoding as it was meant.
bool PluginReadsEncoding(SettingsEncoding encoding);

// Bytes 80 to FF as Windows-1251; bytes below 80 are ASCII. The one byte the
// code page leaves undefined (98) becomes the character of the same value, as
// Windows decodes it.
std::u16string DecodeWindows1251(std::span<const std::uint8_t> bytes);

// The whole text of a file in the given encoding, its byte-order mark left
// out. UTF-16 keeps every code unit (a NUL too) and drops an odd last byte;
// a malformed UTF-8 sequence becomes U+FFFD.
std::u16string DecodeAs(std::span<const std::uint8_t> bytes, SettingsEncoding encoding);

// FF FE followed by the text as UTF-16LE.
std::vector<std::uint8_t> EncodeUtf16LeWithMark(std::u16string_view text);

struct ConvertedSettings {
  SettingsEncoding from = SettingsEncoding::kEmpty;
  std::vector<std::uint8_t> bytes;
  // True when the input was already UTF-16LE with its mark: copied byte for
  // byte.
  bool unchanged = false;
};

// The same text as UTF-16LE with a byte-order mark. Line ends and every
// other character stay as they are: UTF-16LE input keeps its bytes (only the
// mark is put in front when it lacks one); any other encoding is decoded and
// written again.
ConvertedSettings ConvertToPluginEncoding(std::span<const std::uint8_t> bytes);

}  // namespace morvane
