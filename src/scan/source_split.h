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
// That is what tells the forms apart: a GoldSrc piece 0 has those FF bytes at
// offset 9, where a Source piece has its number, which is below 32 (and is 0
// in piece 0, whose own FF bytes start at 12). Until piece 0 has come, the
// pieces are kept as they came.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace morvane {

// At most this many pieces make one reply, and at most this many bytes its
// joined payload: the bounds a server cannot push the worker past.
inline constexpr std::size_t kMaxSplitPieces = 32;
inline constexpr std::size_t kMaxJoinedReplyBytes = 64 * 1024;

// Whether the datagram is a piece of a split reply (header -2).
bool IsSplitPiece(std::span<const std::uint8_t> datagram);

class SplitReply {
 public:
  enum class Progress {
    kIgnored,     // not a piece this reply takes: another id, a repeat, too short, too many
    kIncomplete,  // taken; more pieces are to come
    kComplete,    // every piece has come: Joined() holds the reply
    kCompressed,  // a compressed reply, which is not read (the item stays unanswered)
  };

  // Takes one piece. The first piece fixes the reply's id; pieces of other
  // ids are ignored.
  Progress Add(std::span<const std::uint8_t> piece);
  // The joined reply, once Add said kComplete.
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

  std::optional<Form> FormOfFirstPiece(std::span<const std::uint8_t> piece) const;
  std::optional<Numbered> Number(std::span<const std::uint8_t> piece, Form form) const;
  // A piece whose number has come already, in the form already known.
  bool IsRepeat(std::span<const std::uint8_t> piece) const;
  bool TryJoin();

  std::optional<std::uint32_t> id_;
  std::optional<Form> form_;
  std::vector<std::vector<std::uint8_t>> pieces_;  // as they came
  std::size_t bytes_ = 0;
  std::vector<std::uint8_t> joined_;
};

}  // namespace morvane
