#include "scan/source_split.h"

#include <algorithm>

#include "common/byte_reader.h"

namespace morvane {
namespace {

constexpr std::uint32_t kSplitHeader = 0xFFFFFFFE;
constexpr std::uint32_t kSingleHeader = 0xFFFFFFFF;
constexpr std::uint32_t kCompressedFlag = 0x80000000;
// Header (4), id (4).
constexpr std::size_t kIdEnd = 8;
constexpr std::size_t kSourcePayload = 12;  // total, number, two bytes of size
constexpr std::size_t kGoldSrcPayload = 9;  // number and total in one byte

bool StartsWithSingleHeader(const ByteReader& reader, std::size_t at) {
  ByteReader rest(reader.Data());
  rest.Seek(at);
  return rest.ReadU32LE() == kSingleHeader && !rest.Exhausted();
}

}  // namespace

bool IsSplitPiece(std::span<const std::uint8_t> datagram) {
  ByteReader reader(datagram);
  return reader.ReadU32LE() == kSplitHeader && !reader.Exhausted();
}

void SplitReply::Reset() {
  id_.reset();
  form_.reset();
  pieces_.clear();
  bytes_ = 0;
  joined_.clear();
}

std::optional<SplitReply::Form> SplitReply::FormOfFirstPiece(
    std::span<const std::uint8_t> piece) const {
  const ByteReader reader(piece);
  if (reader.ByteAt(kGoldSrcPayload) == 0xFF && (reader.ByteAt(kIdEnd) >> 4) == 0 &&
      StartsWithSingleHeader(reader, kGoldSrcPayload)) {
    return Form::kGoldSrc;
  }
  if (reader.ByteAt(kGoldSrcPayload) == 0 && StartsWithSingleHeader(reader, kSourcePayload)) {
    return Form::kSource;
  }
  return std::nullopt;
}

std::optional<SplitReply::Numbered> SplitReply::Number(std::span<const std::uint8_t> piece,
                                                       Form form) const {
  ByteReader reader(piece);
  reader.Skip(kIdEnd);
  Numbered numbered;
  if (form == Form::kSource) {
    numbered.total = reader.ReadU8();
    numbered.number = reader.ReadU8();
    reader.Skip(2);  // The largest piece size, which nothing needs.
  } else {
    const std::uint8_t packed = reader.ReadU8();
    numbered.total = packed & 0x0F;
    numbered.number = packed >> 4;
  }
  if (reader.Exhausted() || numbered.total == 0 || numbered.total > kMaxSplitPieces ||
      numbered.number >= numbered.total) {
    return std::nullopt;
  }
  numbered.payload = reader.Data().subspan(reader.Position());
  return numbered;
}

SplitReply::Progress SplitReply::Add(std::span<const std::uint8_t> piece) {
  ByteReader reader(piece);
  reader.Skip(4);
  const std::uint32_t id = reader.ReadU32LE();
  if (reader.Exhausted()) return Progress::kIgnored;
  if (id_ && id != *id_) return Progress::kIgnored;
  if ((id & kCompressedFlag) != 0) return Progress::kCompressed;
  if (pieces_.size() >= kMaxSplitPieces || piece.size() > kMaxJoinedReplyBytes - bytes_) {
    return Progress::kIgnored;
  }
  id_ = id;
  if (!form_) form_ = FormOfFirstPiece(piece);
  if (form_ && IsRepeat(piece)) return Progress::kIgnored;
  pieces_.emplace_back(piece.begin(), piece.end());
  bytes_ += piece.size();
  return TryJoin() ? Progress::kComplete : Progress::kIncomplete;
}

bool SplitReply::IsRepeat(std::span<const std::uint8_t> piece) const {
  const auto numbered = Number(piece, *form_);
  if (!numbered) return false;
  return std::any_of(pieces_.begin(), pieces_.end(), [&](const auto& stored) {
    const auto other = Number(stored, *form_);
    return other && other->number == numbered->number;
  });
}

bool SplitReply::TryJoin() {
  if (!form_) return false;
  // Piece 0 says how many there are; every piece by its number, the first of
  // a number counting, one that disagrees on the total not.
  std::size_t total = 0;
  for (const auto& stored : pieces_) {
    const auto numbered = Number(stored, *form_);
    if (numbered && numbered->number == 0) {
      total = numbered->total;
      break;
    }
  }
  if (total == 0) return false;
  std::vector<std::optional<std::span<const std::uint8_t>>> by_number(total);
  std::size_t have = 0;
  for (const auto& stored : pieces_) {
    const auto numbered = Number(stored, *form_);
    if (!numbered || numbered->total != total || by_number[numbered->number]) continue;
    by_number[numbered->number] = numbered->payload;
    ++have;
  }
  if (have != total) return false;
  joined_.clear();
  for (const auto& numbered_payload : by_number) {
    const auto payload = *numbered_payload;
    if (payload.size() > kMaxJoinedReplyBytes - joined_.size()) return false;
    joined_.insert(joined_.end(), payload.begin(), payload.end());
  }
  return true;
}

}  // namespace morvane
