// Windows-1251, the 8-bit code page in which Quake 3 family and SA-MP servers
// of Russian-speaking communities send their texts (their engines pass the
// bytes of the system code page through). The world is written in UTF-8; the
// simulators of those kinds encode it here.
#pragma once

#include <array>
#include <string>
#include <string_view>

#include "common/text.h"

namespace morvane::gamesim {

// The characters of bytes 80 to BF; 98 is undefined (0 here).
inline constexpr std::array<char16_t, 64> kCp1251High = {
    // clang-format off
    0x0402, 0x0403, 0x201A, 0x0453, 0x201E, 0x2026, 0x2020, 0x2021,
    0x20AC, 0x2030, 0x0409, 0x2039, 0x040A, 0x040C, 0x040B, 0x040F,
    0x0452, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x0000, 0x2122, 0x0459, 0x203A, 0x045A, 0x045C, 0x045B, 0x045F,
    0x00A0, 0x040E, 0x045E, 0x0408, 0x00A4, 0x0490, 0x00A6, 0x00A7,
    0x0401, 0x00A9, 0x0404, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x0407,
    0x00B0, 0x00B1, 0x0406, 0x0456, 0x0491, 0x00B5, 0x00B6, 0x00B7,
    0x0451, 0x2116, 0x0454, 0x00BB, 0x0458, 0x0405, 0x0455, 0x0457,
    // clang-format on
};

// ASCII stays; А to я take C0 to FF; the rest of the code page comes from
// the table; any other character becomes "?", as Windows does without
// best-fit mapping.
inline std::string Utf8ToCp1251(std::string_view utf8) {
  std::string out;
  for (char16_t unit : Utf8ToUtf16(utf8)) {
    if (unit < 0x80) {
      out.push_back(static_cast<char>(unit));
      continue;
    }
    if (unit >= 0x0410 && unit <= 0x044F) {
      out.push_back(static_cast<char>(0xC0 + (unit - 0x0410)));
      continue;
    }
    char byte = '?';
    for (std::size_t i = 0; i < kCp1251High.size(); ++i) {
      if (kCp1251High[i] == unit) byte = static_cast<char>(0x80 + i);
    }
    out.push_back(byte);
  }
  return out;
}

}  // namespace morvane::gamesim
