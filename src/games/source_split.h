// A Source or GoldSrc reply too long for one datagram comes as pieces, each
// with the header -1 replaced by -2 (FE FF FF FF) and the reply's id. The
// pieces are collected here, in any order, and once all have come their
// payloads joined make the reply as an unsplit one would have been (starting
// with FF FF FF FF and the type byte). Pure code, like the parsers.
//
// Two forms exist:
//   Source:  -2, int32 id (top bit: compressed), byte total, byte number,
//            int16 largest piece size, payload
//   GoldSrc: -2, int32 id, one byte of number (high four bits) and total
//            (low four bits), payload
// Pieces are numbered from 0, and piece 0's payload begins with FF FF FF FF.
//
// Only piece 0 can tell the forms apart, and not every piece 0 does. A
// GoldSrc piece 0 has FF at offset 9, where a Source piece has its number,
// which is below 32: it is never a Source piece. A Source piece 0 has 00 at
// offset 9 and its own FF bytes at 12; but a GoldSrc piece 1 whose payload
// happens to begin 00 ?? ?? FF FF FF FF looks just the same when its packed
// byte (0x12 to 0x1F) could be a Source total (18 to 31). So a reply's form is
// known once a piece came that is piece 0 of one form and can be no piece of
// the other; until then the pieces are kept as they came, and a reply of 18
// to 31 Source pieces is joined without its form ever being known.
//
// The pieces of each reply id are kept apart: a server may still be sending
// an earlier reply, and a stray piece of another id must not keep the reply
// asked for from joining.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace morvane {

// At most this many pieces, and at most this many bytes of them, are kept
// (for all reply ids together), so a joined reply is never longer either: the
// bounds a server cannot push the worker past.
inline constexpr std::size_t kMaxSplitPieces = 32;
inline constexpr std::size_t kMaxJoinedReplyBytes = 64 * 1024;

// Whether the datagram is a piece of a split reply (header -2).
bool IsSplitPiece(std::span<const std::uint8_t> datagram);

class SplitReply {
 public:
  enum class Progress {
    kIgnored,     // not kept: a repeat, no piece of either form, or past the bounds
    kIncomplete,  // kept; more pieces of its reply are to come
    kComplete,    // every piece of its reply has come: Joined() holds the reply
    kCompressed,  // a compressed reply, which is not read (the item stays unanswered)
  };

  // Takes one piece, of any reply id. A reply that completes is joined and
  // its pieces forgotten; the pieces of other ids stay.
  Progress Add(std::span<const std::uint8_t> piece);
  // The joined reply, once Add said kComplete, until the next Add or Reset.
  const std::vector<std::uint8_t>& Joined() const { return joined_; }
  // Forgets every piece (a new query, which the server answers afresh).
  void Reset();

 private:
  enum class Form { kSource, kGoldSrc };
  struct Numbered {
    std::size_t number = 0;
    std::size_t total = 0;
    std::span<const std::uint8_t> payload;
  };
  // The pieces of one reply id.
  struct Reply {
    std::uint32_t id = 0;
    std::optional<Form> form;
    std::vector<std::vector<std::uint8_t>> pieces;  // as they came
  };

  static std::optional<Numbered> Number(std::span<const std::uint8_t> piece, Form form);
  static bool IsPieceOf(std::span<const std::uint8_t> piece, Form form);
  static std::optional<Form> FormOfPieceZero(std::span<const std::uint8_t> piece);
  static bool IsRepeat(const Reply& reply, std::span<const std::uint8_t> piece);
  static void KeepPiecesOfItsForm(Reply& reply);
  static std::optional<std::vector<std::uint8_t>> Join(const Reply& reply, Form form);
  bool MakeRoom(std::uint32_t id, std::size_t size);

  std::vector<Reply> replies_;  // oldest first
  std::vector<std::uint8_t> joined_;
};

}  // namespace morvane
