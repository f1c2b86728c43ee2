#include "games/source_split.h"

#include <algorithm>

#include "common/byte_reader.h"

namespace morvane {
namespace {

constexpr std::uint32_t kSplitHeader = 0xFFFFFFFE;
constexpr std::uint32_t kSingleHeader = 0xFFFFFFFF;
constexpr std::uint32_t kCompressedFlag = 0x80000000;
// Header (4), id (4).
constexpr std::size_t kIdEnd = 8;
constexpr std::size_t kGoldSrcPayload = 9;  // number and total in one byte

bool StartsWithSingleHeader(std::span<const std::uint8_t> payload) {
  ByteReader reader(payload);
  return reader.ReadU32LE() == kSingleHeader && !reader.Exhausted();
}

}  // namespace

bool IsSplitPiece(std::span<const std::uint8_t> datagram) {
  ByteReader reader(datagram);
  return reader.ReadU32LE() == kSplitHeader && !reader.Exhausted();
}

void SplitReply::Reset() {
  replies_.clear();
  joined_.clear();
}

std::optional<SplitReply::Numbered> SplitReply::Number(std::span<const std::uint8_t> piece,
                                                       Form form) {
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

// A piece numbered 0 whose payload is not the start of a reply is no piece of
// that form.
bool SplitReply::IsPieceOf(std::span<const std::uint8_t> piece, Form form) {
  const auto numbered = Number(piece, form);
  return numbered && (numbered->number != 0 || StartsWithSingleHeader(numbered->payload));
}

// The form of which the piece is piece 0, unless it could as well be a later
// piece of the other form.
std::optional<SplitReply::Form> SplitReply::FormOfPieceZero(std::span<const std::uint8_t> piece) {
  for (const Form form : {Form::kSource, Form::kGoldSrc}) {
    const Form other = form == Form::kSource ? Form::kGoldSrc : Form::kSource;
    const auto numbered = Number(piece, form);
    if (numbered && numbered->number == 0 && IsPieceOf(piece, form) && !IsPieceOf(piece, other)) {
      return form;
    }
  }
  return std::nullopt;
}

// Bytes 8 and 9 are the total and the number of a Source piece, and byte 8
// alone packs the number and the total of a GoldSrc one: a piece whose bytes
// 8 and 9 are those of a kept one is that piece again, whatever the form.
bool SplitReply::IsRepeat(const Reply& reply, std::span<const std::uint8_t> piece) {
  const ByteReader reader(piece);
  return std::any_of(reply.pieces.begin(), reply.pieces.end(), [&](const auto& kept) {
    const ByteReader other(kept);
    return other.ByteAt(kIdEnd) == reader.ByteAt(kIdEnd) &&
           (reply.form == Form::kGoldSrc ||
            other.ByteAt(kGoldSrcPayload) == reader.ByteAt(kGoldSrcPayload));
  });
}

// Once the form is known, a piece kept before that is no piece of it, or that
// repeats a GoldSrc number under another first payload byte, is dropped and
// frees its room.
void SplitReply::KeepPiecesOfItsForm(Reply& reply) {
  Reply kept{reply.id, reply.form, {}};
  for (auto& piece : reply.pieces) {
    if (!IsPieceOf(piece, *reply.form) || IsRepeat(kept, piece)) continue;
    kept.pieces.push_back(std::move(piece));
  }
  reply = std::move(kept);
}

// Room for one more piece of the reply id is made by forgetting the replies of
// other ids, oldest first: a reply the server has given up on, or a stray
// piece of another, never keeps out the reply still coming. None is forgotten
// when the reply's own pieces leave no room.
bool SplitReply::MakeRoom(std::uint32_t id, std::size_t size) {
  auto fits = [&](auto&& counts) {
    std::size_t pieces = 0;
    std::size_t bytes = 0;
    for (const Reply& reply : replies_) {
      if (!counts(reply)) continue;
      pieces += reply.pieces.size();
      for (const auto& piece : reply.pieces) bytes += piece.size();
    }
    return pieces < kMaxSplitPieces && size <= kMaxJoinedReplyBytes - bytes;
  };
  if (!fits([&](const Reply& reply) { return reply.id == id; })) return false;
  auto all = [](const Reply&) { return true; };
  for (auto reply = replies_.begin(); reply != replies_.end() && !fits(all);) {
    reply = reply->id == id ? reply + 1 : replies_.erase(reply);
  }
  return fits(all);
}

SplitReply::Progress SplitReply::Add(std::span<const std::uint8_t> piece) {
  ByteReader reader(piece);
  reader.Skip(4);
  const std::uint32_t id = reader.ReadU32LE();
  if (reader.Exhausted()) return Progress::kIgnored;
  if ((id & kCompressedFlag) != 0) return Progress::kCompressed;
  auto same_id = [id](const Reply& reply) { return reply.id == id; };
  auto reply = std::find_if(replies_.begin(), replies_.end(), same_id);
  const bool seen_id = reply != replies_.end();
  const std::optional<Form> form = seen_id ? reply->form : std::nullopt;
  const bool numbered = form ? IsPieceOf(piece, *form)
                             : IsPieceOf(piece, Form::kSource) || IsPieceOf(piece, Form::kGoldSrc);
  if (!numbered || (seen_id && IsRepeat(*reply, piece))) return Progress::kIgnored;
  if (!MakeRoom(id, piece.size())) return Progress::kIgnored;
  reply = std::find_if(replies_.begin(), replies_.end(), same_id);
  if (reply == replies_.end()) reply = replies_.insert(reply, Reply{id, std::nullopt, {}});
  reply->pieces.emplace_back(piece.begin(), piece.end());
  if (!reply->form) {
    reply->form = FormOfPieceZero(piece);
    if (reply->form) KeepPiecesOfItsForm(*reply);
  }
  // A reply whose form is not known has had no GoldSrc piece 0, which always
  // tells, but may be a Source reply whose piece 0 could not.
  auto joined = Join(*reply, reply->form.value_or(Form::kSource));
  if (!joined) return Progress::kIncomplete;
  joined_ = std::move(*joined);
  replies_.erase(reply);
  return Progress::kComplete;
}

std::optional<std::vector<std::uint8_t>> SplitReply::Join(const Reply& reply, Form form) {
  // Piece 0 says how many there are; every piece by its number, the first of
  // a number counting, one that disagrees on the total not.
  std::size_t total = 0;
  for (const auto& kept : reply.pieces) {
    const auto numbered = Number(kept, form);
    if (numbered && numbered->number == 0 && StartsWithSingleHeader(numbered->payload)) {
      total = numbered->total;
      break;
    }
  }
  if (total == 0) return std::nullopt;
  std::vector<std::optional<std::span<const std::uint8_t>>> by_number(total);
  std::size_t have = 0;
  for (const auto& kept : reply.pieces) {
    const auto numbered = Number(kept, form);
    if (!numbered || numbered->total != total || by_number[numbered->number]) continue;
    by_number[numbered->number] = numbered->payload;
    ++have;
  }
  if (have != total) return std::nullopt;
  std::vector<std::uint8_t> joined;
  for (const auto& numbered_payload : by_number) {
    joined.insert(joined.end(), numbered_payload->begin(), numbered_payload->end());
  }
  return joined;
}

}  // namespace morvane
