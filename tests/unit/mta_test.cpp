// MTA:SA replies: hand-written ones for the record flags and the length
// bytes, every reply cut at every byte, and captures of real servers.
#include <gtest/gtest.h>

#include "games/mta.h"
#include "support/fixtures.h"

namespace morvane {
namespace {

using test::DatagramBuilder;

// Texts after a length byte that counts itself; `empty` is the length byte
// of an empty text.
DatagramBuilder& Texts(DatagramBuilder& out, std::initializer_list<std::string_view> texts,
                       std::uint8_t empty = 1) {
  for (std::string_view text : texts) {
    out.U8(text.empty() ? empty : static_cast<std::uint8_t>(text.size() + 1)).Text(text);
  }
  return out;
}

std::vector<std::uint8_t> Reply(std::string_view players, std::uint8_t empty = 1) {
  DatagramBuilder out;
  Texts(out.Text("EYE1"), {"mta", "22003", "Arena", "DM", "SA", "1.6", "1", players});
  Texts(out, {"4294967296", "key", "value", ""}, empty);
  Texts(out.U8(0x3F), {"Ann", "", "", "", "35", ""}, empty);  // every field, some empty
  Texts(out.U8(0x38), {"7", "60", "99"});                     // no name
  return Texts(out.U8(0x11), {"Bob", "12"}).U8(0x00);         // name and ping; nothing
}

std::string Show(const std::optional<MtaStatus>& status) {
  if (!status) return "none";
  std::string text = status->name + "|" + status->game_type + "|" + status->map + "|" +
                     std::to_string(status->players) + "/" + std::to_string(status->max_players) +
                     (status->password ? "|pass" : "|") + (status->cut ? "|cut" : "|");
  for (const MtaPlayer& p : status->player_list)
    text += ";" + p.name + "," + p.score + "," + p.ping;
  return text;
}

TEST(MtaQuery, FlagsLengthBytesAndCounts) {
  const struct {
    std::vector<std::uint8_t> reply;
    std::string shown;
  } cases[] = {
      {Reply("4"), "Arena|DM|SA|4/4294967295|pass|;Ann,,35;,7,60;Bob,,12;,,"},
      {Reply("2"), "Arena|DM|SA|2/4294967295|pass|;Ann,,35;,7,60"},
      // A length byte 0, which cannot count itself, reads as an empty text.
      {Reply("4", 0), "Arena|DM|SA|4/4294967295|pass|;Ann,,35;,7,60;Bob,,12;,,"},
      {test::BytesOf("EYE2\x04mta"), "none"},
  };
  for (const auto& c : cases) EXPECT_EQ(Show(ParseMtaReply(c.reply)), c.shown);
  // Cut anywhere: nothing until the maximum players (byte 45) is whole, then
  // whole records only (they end at 68, 77, 85 and 86); a cut inside a text
  // is told, one between the rules (55, 56) or records is not.
  test::ForEachCut(Reply("4"), [&](std::span<const std::uint8_t> cut, std::size_t n) {
    const auto status = ParseMtaReply(cut);
    ASSERT_EQ(status.has_value(), n >= 45);
    if (!status) return;
    const bool between = n == 45 || n == 55 || n == 56 || n == 68 || n == 77 || n >= 85;
    EXPECT_EQ(status->cut, !between);
    EXPECT_EQ(status->player_list.size(), n < 68 ? 0u : n < 77 ? 1u : n < 85 ? 2u : n - 82u);
  });
}

class MtaCaptureTest : public test::CaptureTest {};

// The protocol replay checks their values; here every record is read whole.
TEST_F(MtaCaptureTest, RealServersListEveryRecord) {
  for (const char* file : {"gameq_mta_1_sx_cnr_spanish", "gameq_mta_2_owlgaming_rules"}) {
    const auto status = ParseMtaReply(test::LoadSingleCapture(std::string("mta/") + file + ".hex"));
    ASSERT_TRUE(status) << file;
    EXPECT_EQ(status->player_list.size(), status->players) << file;
    EXPECT_FALSE(status->cut) << file;
  }
}

}  // namespace
}  // namespace morvane
