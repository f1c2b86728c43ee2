#include "scan/scan_item.h"

namespace morvane {

std::span<const KindWord> ServerKindWords() {
  static constexpr KindWord kKinds[] = {
      {u"hl", {kGameSource, false, false}},    {u"hlpl", {kGameSource, true, false}},
      {u"cod", {kGameQuake3, false, false}},   {u"codpl", {kGameQuake3, true, false}},
      {u"sa", {kGameSamp, false, false}},      {u"sapl", {kGameSamp, true, false}},
      {u"mc", {kGameMinecraft, false, false}}, {u"mcpl", {kGameMinecraft, true, false}},
      {u"mcbe", {kGameBedrock, false, false}}, {u"fivem", {kGameFivem, false, false}},
      {u"fivempl", {kGameFivem, true, false}}, {u"mta", {kGameMta, false, false}},
      {u"mtapl", {kGameMta, true, false}},     {u"tcp", {kGameTcp, false, true}},
  };
  return kKinds;
}

std::optional<ServerKind> ServerKindFromWord(std::u16string_view word) {
  for (const KindWord& entry : ServerKindWords()) {
    if (entry.word == word) return entry.kind;
  }
  return std::nullopt;
}

}  // namespace morvane
