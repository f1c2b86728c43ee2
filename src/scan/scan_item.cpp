#include "scan/scan_item.h"

namespace morvane {

std::optional<ServerKind> ServerKindFromWord(std::u16string_view word) {
  static constexpr struct {
    std::u16string_view word;
    ServerKind kind;
  } kKinds[] = {
      {u"hl", {kGameSource, false, false}},  {u"hlpl", {kGameSource, true, false}},
      {u"cod", {kGameQuake3, false, false}}, {u"codpl", {kGameQuake3, true, false}},
      {u"sa", {kGameSamp, false, false}},    {u"sapl", {kGameSamp, true, false}},
      {u"tcp", {kGameTcp, false, true}},
  };
  for (const auto& entry : kKinds) {
    if (entry.word == word) return entry.kind;
  }
  return std::nullopt;
}

}  // namespace morvane
