// Split replies put back together: real servers' pieces in any order, with
// repeats and foreign pieces among them, both packet forms, and the bounds.
#include "scan/source_split.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "scan/source_query.h"
#include "support/fixtures.h"

namespace morvane {
namespace {

using test::DatagramBuilder;
using test::LoadCapture;

using Pieces = std::vector<std::vector<std::uint8_t>>;

Pieces Capture(const std::string& file) {
  Pieces pieces;
  for (const auto& datagram : LoadCapture(file)) pieces.push_back(datagram.bytes);
  return pieces;
}

// Feeds the pieces; the joined reply once complete, nothing otherwise.
std::optional<std::vector<std::uint8_t>> Join(const Pieces& pieces) {
  SplitReply reply;
  for (const auto& piece : pieces) {
    if (!IsSplitPiece(piece)) continue;
    if (reply.Add(piece) == SplitReply::Progress::kComplete) return reply.Joined();
  }
  return std::nullopt;
}

// The pieces' payloads joined in order, as the server meant them.
std::vector<std::uint8_t> Payloads(const Pieces& pieces, std::size_t header) {
  std::vector<std::uint8_t> joined;
  for (const auto& piece : pieces) joined.insert(joined.end(), piece.begin() + header, piece.end());
  return joined;
}

class SplitCaptureTest : public test::CaptureTest {};

TEST_F(SplitCaptureTest, RealSplitRepliesInAnyOrder) {
  const struct {
    const char* file;
    std::uint8_t type;
  } captures[] = {{"a2s_player/psq_csgo_split2.hex", 0x44},
                  {"a2s_split_rules/libssq_tf2_split5.hex", 0x45},
                  {"a2s_split_rules/psq_tf2_sourcemod_split6.hex", 0x45}};
  for (const auto& capture : captures) {
    SCOPED_TRACE(capture.file);
    const Pieces pieces = Capture(capture.file);
    const std::vector<std::uint8_t> whole = Payloads(pieces, 12);
    ASSERT_EQ(whole[4], capture.type);
    Pieces reversed(pieces.rbegin(), pieces.rend());
    Pieces repeated = reversed;
    repeated.insert(repeated.begin() + 1, reversed[0]);
    // A piece of another reply (another id) among them is not taken.
    Pieces foreign = pieces;
    foreign.back()[4] ^= 0x01;
    Pieces with_foreign = pieces;
    with_foreign.insert(with_foreign.begin() + 1, foreign.back());
    for (const Pieces& order : {pieces, reversed, repeated, with_foreign}) {
      EXPECT_EQ(Join(order), whole);
    }
    // One piece short: never complete.
    EXPECT_EQ(Join(Pieces(pieces.begin(), pieces.end() - 1)), std::nullopt);
  }
  // The 58 players of the real player reply, once joined.
  const auto joined = Join(Capture("a2s_player/psq_csgo_split2.hex"));
  ASSERT_TRUE(joined);
  const SourcePlayers players = ParseSourcePlayers(*joined);
  EXPECT_EQ(players.count, 58);
  EXPECT_EQ(players.players.size(), 58u);
  EXPECT_EQ(players.players[0].name, "Zien");
}

// A GoldSrc piece packs its number and the total into one byte; its first
// piece has FF where a Source piece has its number.
TEST(SplitReply, GoldSrcFormAndTheBounds) {
  auto gold = [](std::uint32_t id, int number, int total, std::vector<std::uint8_t> payload) {
    return DatagramBuilder()
        .U32(0xFFFFFFFE)
        .U32(id)
        .U8(static_cast<std::uint8_t>(number << 4 | total))
        .Raw(payload)
        .Bytes();
  };
  const std::vector<std::uint8_t> head = {0xFF, 0xFF, 0xFF, 0xFF, 0x44, 0x01, 0x01};
  const std::vector<std::uint8_t> tail = {'A', 'n', 'n', 0, 5, 0, 0, 0, 0, 0, 0x80, 0x3F};
  auto whole = head;
  whole.insert(whole.end(), tail.begin(), tail.end());
  EXPECT_EQ(Join({gold(7, 1, 2, tail), gold(7, 0, 2, head)}), whole);
  EXPECT_EQ(ParseSourcePlayers(*Join({gold(7, 0, 2, head), gold(7, 1, 2, tail)})).players[0].name,
            "Ann");

  // A compressed reply (the id's top bit) is not read.
  SplitReply compressed;
  EXPECT_EQ(compressed.Add(gold(0x80000007, 0, 2, head)), SplitReply::Progress::kCompressed);

  // More than 32 pieces, or more than 64 KiB joined, never completes.
  auto source = [](int number, int total, std::size_t size) {
    DatagramBuilder piece;
    piece.U32(0xFFFFFFFE)
        .U32(9)
        .U8(static_cast<std::uint8_t>(total))
        .U8(static_cast<std::uint8_t>(number))
        .U16(1248);
    if (number == 0) piece.U32(0xFFFFFFFF).U8(0x44);
    piece.Raw(std::vector<std::uint8_t>(size, 'x'));
    return piece.Bytes();
  };
  Pieces thirty_three;
  for (int i = 0; i < 33; ++i) thirty_three.push_back(source(i, 33, 10));
  EXPECT_EQ(Join(thirty_three), std::nullopt);
  Pieces huge;
  for (int i = 0; i < 30; ++i) huge.push_back(source(i, 30, 2300));
  EXPECT_EQ(Join(huge), std::nullopt);
  Pieces fits;
  for (int i = 0; i < 30; ++i) fits.push_back(source(i, 30, 2000));
  EXPECT_NE(Join(fits), std::nullopt);
}

}  // namespace
}  // namespace morvane
