// The one reader for untrusted bytes: host records, datagrams and the settings
// file all go through it. Every read is checked against the bytes supplied, in
// a form that cannot overflow (n <= size - pos). A read that does not fit
// yields zero or empty, leaves the position at the end and marks the reader
// exhausted; the caller decides what an exhausted reader means.
//
// The reader borrows its bytes: it and every view it returns live only as
// long as the buffer it was made over.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

namespace morvane {

class ByteReader {
 public:
  ByteReader() = default;
  explicit ByteReader(std::span<const std::uint8_t> data) : data_(data) {}

  std::size_t Position() const { return pos_; }
  std::size_t Size() const { return data_.size(); }
  std::size_t Remaining() const { return data_.size() - pos_; }
  bool AtEnd() const { return pos_ == data_.size(); }
  // True once any read asked for more than was left.
  bool Exhausted() const { return exhausted_; }
  std::span<const std::uint8_t> Data() const { return data_; }

  // Moves to an absolute position; a position past the end moves to the end
  // and exhausts the reader.
  void Seek(std::size_t pos) {
    if (pos > data_.size()) {
      pos_ = data_.size();
      exhausted_ = true;
      return;
    }
    pos_ = pos;
  }

  // Skips n bytes, or what is left of them.
  void Skip(std::size_t n) { (void)ReadBytes(n); }

  std::uint8_t ReadU8() {
    if (!Fits(1)) return 0;
    return data_[pos_++];
  }

  std::uint16_t ReadU16LE() {
    if (!Fits(2)) return 0;
    std::uint16_t v = static_cast<std::uint16_t>(data_[pos_] | (data_[pos_ + 1] << 8));
    pos_ += 2;
    return v;
  }

  std::uint32_t ReadU32LE() {
    if (!Fits(4)) return 0;
    std::uint32_t v = static_cast<std::uint32_t>(data_[pos_]) |
                      (static_cast<std::uint32_t>(data_[pos_ + 1]) << 8) |
                      (static_cast<std::uint32_t>(data_[pos_ + 2]) << 16) |
                      (static_cast<std::uint32_t>(data_[pos_ + 3]) << 24);
    pos_ += 4;
    return v;
  }

  std::int32_t ReadI32LE() { return static_cast<std::int32_t>(ReadU32LE()); }

  // Up to 4 bytes as a little-endian number, those beyond the data read as 0
  // (the reader is then exhausted): for a number that the end of a datagram
  // cut short, whose bytes that came still count.
  std::uint32_t ReadU32LEPadded() {
    std::uint32_t v = 0;
    for (int i = 0; i < 4; ++i) v |= static_cast<std::uint32_t>(ReadU8()) << (8 * i);
    return v;
  }

  // The byte at an absolute position, 0 when it lies beyond the data. Does not
  // move the position; for layouts that address fields by offset.
  std::uint8_t ByteAt(std::size_t pos) const { return pos < data_.size() ? data_[pos] : 0; }

  // Exactly n bytes, or an empty span (and the reader exhausted) when fewer
  // are left.
  std::span<const std::uint8_t> ReadBytes(std::size_t n) {
    if (!Fits(n)) return {};
    auto out = data_.subspan(pos_, n);
    pos_ += n;
    return out;
  }

  // Up to n bytes: what is left when fewer remain (the reader is then
  // exhausted). For fields whose length the sender may have got wrong.
  std::span<const std::uint8_t> ReadBytesClamped(std::size_t n) {
    if (n > Remaining()) {
      exhausted_ = true;
      n = Remaining();
    }
    auto out = data_.subspan(pos_, n);
    pos_ += n;
    return out;
  }

  // The bytes up to the next NUL, or up to the end when none follows; the
  // position moves past the NUL.
  std::string_view ReadCString() {
    std::size_t start = pos_;
    while (pos_ < data_.size() && data_[pos_] != 0) ++pos_;
    std::string_view out(reinterpret_cast<const char*>(data_.data()) + start, pos_ - start);
    if (pos_ < data_.size()) {
      ++pos_;
    } else {
      exhausted_ = true;
    }
    return out;
  }

  // A reader over the next n bytes, which this reader then skips. When fewer
  // are left the sub-reader covers what is there and both are exhausted.
  ByteReader SubReader(std::size_t n) {
    bool short_read = n > Remaining();
    ByteReader sub(ReadBytesClamped(n));
    if (short_read) sub.exhausted_ = true;
    return sub;
  }

 private:
  bool Fits(std::size_t n) {
    if (n <= data_.size() - pos_) return true;
    pos_ = data_.size();
    exhausted_ = true;
    return false;
  }

  std::span<const std::uint8_t> data_;
  std::size_t pos_ = 0;
  bool exhausted_ = false;
};

}  // namespace morvane
