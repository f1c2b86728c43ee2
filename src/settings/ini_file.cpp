#include "settings/ini_file.h"

#include "common/byte_reader.h"
#include "common/text.h"

namespace morvane {

std::u16string DecodeSettingsText(std::span<const std::uint8_t> bytes) {
  ByteReader reader(bytes);
  if (reader.ByteAt(0) == 0xFF && reader.ByteAt(1) == 0xFE) reader.Skip(2);
  std::u16string text;
  text.reserve(reader.Remaining() / 2);
  // A lone last byte cannot form a code unit and is left unread.
  while (reader.Remaining() >= 2) {
    char16_t unit = reader.ReadU16LE();
    if (unit == 0) break;
    text.push_back(unit);
  }
  return text;
}

IniFile IniFile::Parse(std::span<const std::uint8_t> bytes) {
  return ParseText(DecodeSettingsText(bytes));
}

IniFile IniFile::ParseText(std::u16string_view text, const LineObserver& observe) {
  IniFile file;
  std::optional<std::size_t> current;
  std::size_t pos = 0;
  while (pos < text.size()) {
    std::size_t end = text.find_first_of(u"\r\n", pos);
    if (end == std::u16string_view::npos) end = text.size();
    file.AddLine(TrimControlAndSpace(text.substr(pos, end - pos)), current, observe);
    pos = end;
    if (pos == text.size()) break;
    // CR LF is one line end; a lone CR or a lone LF is one too.
    if (text[pos] == u'\r' && pos + 1 < text.size() && text[pos + 1] == u'\n') ++pos;
    ++pos;
  }
  return file;
}

void IniFile::AddLine(std::u16string_view line, std::optional<std::size_t>& current,
                      const LineObserver& observe) {
  if (line.empty() || line.front() == u';') return;
  if (line.size() >= 2 && line.front() == u'[' && line.back() == u']') {
    current = BeginSection(TrimControlAndSpace(line.substr(1, line.size() - 2)));
    if (observe) observe(LineKind::kSectionHeader, *current, line);
    return;
  }
  if (!current) return;
  std::size_t eq = line.find(u'=');
  if (eq == std::u16string_view::npos) {
    if (observe) observe(LineKind::kWithoutEquals, *current, line);
    return;
  }
  AddEntry(*current, TrimControlAndSpace(line.substr(0, eq)),
           TrimControlAndSpace(line.substr(eq + 1)));
}

std::size_t IniFile::BeginSection(std::u16string_view name) {
  auto [it, inserted] = section_index_.try_emplace(LowerAsciiLetters(name), sections_.size());
  if (inserted) {
    sections_.push_back(Section{std::u16string(name), {}});
    key_index_.emplace_back();
    return it->second;
  }
  // A repeated header starts the section afresh: what the earlier occurrence
  // held no longer counts.
  Section& section = sections_[it->second];
  section.name = std::u16string(name);
  section.entries.clear();
  key_index_[it->second].clear();
  return it->second;
}

void IniFile::AddEntry(std::size_t section, std::u16string_view key, std::u16string_view value) {
  std::vector<Entry>& entries = sections_[section].entries;
  auto [it, inserted] = key_index_[section].try_emplace(LowerAsciiLetters(key), entries.size());
  if (inserted) {
    entries.push_back(Entry{std::u16string(key), std::u16string(value)});
    return;
  }
  Entry& entry = entries[it->second];
  entry.key = std::u16string(key);
  entry.value = std::u16string(value);
}

const IniFile::Section* IniFile::FindSection(std::u16string_view name,
                                             const NameIndex** keys) const {
  auto it = section_index_.find(LowerAsciiLetters(name));
  if (it == section_index_.end()) return nullptr;
  if (keys != nullptr) *keys = &key_index_[it->second];
  return &sections_[it->second];
}

std::optional<std::u16string_view> IniFile::Value(std::u16string_view section,
                                                  std::u16string_view key) const {
  const NameIndex* keys = nullptr;
  const Section* found = FindSection(section, &keys);
  if (found == nullptr) return std::nullopt;
  auto it = keys->find(LowerAsciiLetters(key));
  if (it == keys->end()) return std::nullopt;
  return std::u16string_view(found->entries[it->second].value);
}

bool IniFile::HasSection(std::u16string_view section) const {
  return FindSection(section, nullptr) != nullptr;
}

}  // namespace morvane
