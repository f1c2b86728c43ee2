// The single-byte Windows code pages that Morvane meets: 1250 (Central
// European), 1251 (Cyrillic, the default ANSI code page of the POSIX build)
// and 1252 (Western European). Game servers of the Quake 3 family and SA-MP
// send their texts in such a code page, settings files are sometimes saved in
// one, and the POSIX build stands in for Windows' ANSI conversions with them.
// Pure: text in, text out.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace morvane {

// The characters of bytes 0x80 to 0xFF of one code page, indexed by the byte
// less 0x80. Bytes below 0x80 are ASCII in every one of them.
using HighHalf = std::array<char16_t, 128>;

// Each table holds what Windows decodes the byte to. Windows leaves a few
// bytes undefined and decodes each of them to the Unicode character of the
// same value, so the tables say so: 0x98 of 1251 stands for U+0098.
extern const HighHalf kWindows1250;
extern const HighHalf kWindows1251;
extern const HighHalf kWindows1252;

// The table of a Windows code page number, or null for any code page without
// one (UTF-8's 65001 among them: it is not a single-byte code page).
const HighHalf* FindHighHalf(std::uint32_t code_page);

// One UTF-16 code unit per byte. Every byte decodes to something, so the text
// is exactly as long as the bytes.
std::u16string DecodeSingleByte(std::string_view bytes, const HighHalf& high);

// One byte per character. A character the code page cannot hold becomes the
// replacement byte, as Windows converts without best-fit mapping: only exact
// matches count, so "é" is not "e" in 1251. A character outside the Basic
// Multilingual Plane is one character, so its surrogate pair becomes a single
// replacement; a lone surrogate becomes one too.
std::string EncodeSingleByte(std::u16string_view text, const HighHalf& high, char replacement);

}  // namespace morvane
