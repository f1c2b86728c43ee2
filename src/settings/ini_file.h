// The reader of Morvane.ini: UTF-16LE bytes in, sections with their keys and
// values out. It is pure: no file access and no host calls; the loader hands
// it the bytes it read.
//
// What it accepts:
// - The whole file is UTF-16LE. A leading FF FE is skipped, an odd last byte
//   is ignored, and a NUL code unit ends the text. No other encoding is
//   detected, so a UTF-8 or 8-bit file simply yields names that match nothing.
// - A line ends at CR LF, a lone CR or a lone LF, and is trimmed at both ends
//   of every code unit up to U+0020. Empty lines and lines that begin with ";"
//   are skipped.
// - A line that begins with "[" and ends with "]" begins a section; its name
//   is the trimmed text between the brackets. Lines before the first section
//   are skipped.
// - Inside a section a line is split at its first "=" into key and value, both
//   trimmed. Values are literal: no quotes are removed, no escapes exist.
// - Section and key names are compared with A-Z and a-z taken as equal.
// - When a section holds a key twice, the later line wins. When a section
//   header occurs twice, the later occurrence replaces everything the earlier
//   one held: the earlier lines are dropped, and the section keeps its place
//   in Sections() but takes the later header's spelling.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace morvane {

// The settings file's bytes as text: UTF-16LE after an optional FF FE, up to
// the first NUL code unit, an odd last byte ignored.
std::u16string DecodeSettingsText(std::span<const std::uint8_t> bytes);

class IniFile {
 public:
  struct Entry {
    std::u16string key;
    std::u16string value;
  };

  struct Section {
    std::u16string name;
    // One entry per distinct key, at the place where the key first occurred,
    // holding the spelling and value of its last line.
    std::vector<Entry> entries;
  };

  // A line without "=" inside a section can never be looked up, and a
  // header that repeats drops what its section held. A tool that points at
  // such lines watches the parse: the observer gets each line without "=",
  // trimmed, with the index of its section in Sections(), and each header
  // with the index of the section it (re)starts.
  enum class LineKind { kSectionHeader, kWithoutEquals };
  using LineObserver =
      std::function<void(LineKind kind, std::size_t section, std::u16string_view line)>;

  // A file with no sections: every look-up misses, as when Morvane.ini is
  // missing.
  IniFile() = default;

  static IniFile Parse(std::span<const std::uint8_t> bytes);
  // The same rules over text that is already decoded.
  static IniFile ParseText(std::u16string_view text, const LineObserver& observe = nullptr);

  // The trimmed value of the key, or nothing when the section or the key is
  // missing. A key written with an empty value gives an empty view. The view
  // lives as long as this IniFile.
  std::optional<std::u16string_view> Value(std::u16string_view section,
                                           std::u16string_view key) const;
  bool HasSection(std::u16string_view section) const;

  // The sections in the order of their first header.
  const std::vector<Section>& Sections() const { return sections_; }

 private:
  // Look-ups go through names with A-Z lowered, so that a file with many keys
  // or sections is read in linear time.
  using NameIndex = std::unordered_map<std::u16string, std::size_t>;

  // current is the index of the section that the lines being parsed belong
  // to; nothing before the first header.
  void AddLine(std::u16string_view line, std::optional<std::size_t>& current,
               const LineObserver& observe);
  std::size_t BeginSection(std::u16string_view name);
  void AddEntry(std::size_t section, std::u16string_view key, std::u16string_view value);
  const Section* FindSection(std::u16string_view name, const NameIndex** keys) const;

  std::vector<Section> sections_;
  std::vector<NameIndex> key_index_;  // Parallel to sections_.
  NameIndex section_index_;
};

}  // namespace morvane
