// Split replies put back together: real servers' pieces in any order, with
// repeats and foreign pieces among them, both packet forms, and the bounds.
#include "games/source_split.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>

#include "games/source.h"
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
    std::size_t header;
    std::uint8_t type;
  } captures[] = {{"a2s_player/psq_csgo_split2.hex", 12, 0x44},
                  {"a2s_player/gameq_l4d_1_player_split4.hex", 12, 0x44},
                  {"a2s_split_rules/libssq_tf2_split5.hex", 12, 0x45},
                  {"a2s_split_rules/psq_tf2_sourcemod_split6.hex", 12, 0x45},
                  {"a2s_split_rules/gameq_cs16_1_goldsrc_split2.hex", 9, 0x45}};
  for (const auto& capture : captures) {
    SCOPED_TRACE(capture.file);
    const Pieces pieces = Capture(capture.file);
    const std::vector<std::uint8_t> whole = Payloads(pieces, capture.header);
    ASSERT_EQ(whole[4], capture.type);
    std::vector<std::size_t> order(pieces.size());
    std::iota(order.begin(), order.end(), 0);
    do {
      Pieces shuffled;
      for (std::size_t i : order) shuffled.push_back(pieces[i]);
      EXPECT_EQ(Join(shuffled), whole);
    } while (std::next_permutation(order.begin(), order.end()));
    Pieces reversed(pieces.rbegin(), pieces.rend());
    Pieces repeated = reversed;
    repeated.insert(repeated.begin() + 1, reversed[0]);
    // A piece of another reply (another id) that came first fixed the id,
    // and the real reply was ignored. Such a piece is never taken.
    Pieces foreign = pieces;
    foreign.back()[4] ^= 0x01;
    Pieces with_foreign = pieces;
    with_foreign.insert(with_foreign.begin() + 1, foreign.back());
    Pieces foreign_first = reversed;
    foreign_first.insert(foreign_first.begin(), foreign.back());
    for (const Pieces& mixed : {repeated, with_foreign, foreign_first}) {
      EXPECT_EQ(Join(mixed), whole);
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
  // "Ann" (score 5), then a player with no name and a score of -1, cut in
  // Ann's time: piece 1, 00 01 00 FF FF FF FF ..., packed byte 0x12, passes
  // for a Source piece 0 of 18 too.
  const std::vector<std::uint8_t> head = {0xFF, 0xFF, 0xFF, 0xFF, 0x44, 0x02, 0x00, 'A', 'n',
                                          'n',  0,    5,    0,    0,    0,    0,    0,   0};
  const std::vector<std::uint8_t> tail = {0, 0x01, 0, 0xFF, 0xFF, 0xFF, 0xFF, 0, 0, 0x80, 0x3F};
  auto whole = head;
  whole.insert(whole.end(), tail.begin(), tail.end());
  EXPECT_EQ(ParseSourcePlayers(whole).players.at(1).score, -1);
  const auto gold0 = gold(7, 0, 2, head);
  const auto gold1 = gold(7, 1, 2, tail);
  // Piece 1 coming first fixed the form, wrongly as Source, and the reply
  // never joined; a piece of another id coming first fixed the id.
  for (const Pieces& order :
       {Pieces{gold0, gold1}, Pieces{gold1, gold0}, Pieces{gold1, gold1, gold0},
        Pieces{gold(8, 1, 2, tail), gold(8, 0, 2, head), gold1, gold0}}) {
    EXPECT_EQ(Join(order), whole);
  }

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
  // Repeats that came before piece 0 took slots, and pushed a reply of 32
  // pieces, each sent twice, past the bound.
  Pieces twice;
  for (int i = 31; i >= 0; --i) twice.insert(twice.end(), 2, source(i, 32, 10));
  EXPECT_NE(Join(twice), std::nullopt);
  // A Source piece 0 of 20 would be a GoldSrc piece 1 as well: the form
  // stays unknown, and the reply still joins.
  Pieces twenty;
  for (int i = 19; i >= 0; --i) twenty.push_back(source(i, 20, 100));
  EXPECT_NE(Join(twenty), std::nullopt);
  // 31 pieces of a reply of another id, which the server gave up on, kept
  // the next reply out; they fill the bounds, and make room for it.
  Pieces stale_first;
  for (int i = 1; i < 32; ++i) stale_first.push_back(source(i, 32, 2000));
  for (auto& piece : stale_first) piece[4] = 3;
  stale_first.insert(stale_first.end(), fits.begin(), fits.end());
  EXPECT_NE(Join(stale_first), std::nullopt);
}

}  // namespace
}  // namespace morvane
