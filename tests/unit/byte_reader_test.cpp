// The one reader for untrusted bytes: nothing past the data, ever.
#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <vector>

#include "common/byte_reader.h"

namespace morvane {
namespace {

TEST(ByteReader, ReadsPastTheEndYieldZeroAndExhaust) {
  const std::vector<std::uint8_t> bytes = {0x01, 0x02, 0x03};
  ByteReader reader(bytes);
  EXPECT_EQ(reader.ReadU16LE(), 0x0201);
  EXPECT_FALSE(reader.Exhausted());
  EXPECT_EQ(reader.ReadU32LE(), 0u);
  EXPECT_TRUE(reader.Exhausted());
  EXPECT_TRUE(reader.AtEnd());
  EXPECT_EQ(reader.ReadU8(), 0);
}

TEST(ByteReader, HugeLengthsCannotWrapTheBoundsCheck) {
  const std::vector<std::uint8_t> bytes = {1, 2, 3, 4};
  ByteReader reader(bytes);
  reader.Skip(1);
  EXPECT_TRUE(reader.ReadBytes(std::numeric_limits<std::size_t>::max()).empty());
  EXPECT_TRUE(reader.Exhausted());
  ByteReader clamped(bytes);
  clamped.Skip(1);
  EXPECT_EQ(clamped.ReadBytesClamped(std::numeric_limits<std::size_t>::max()).size(), 3u);
  ByteReader seek(bytes);
  seek.Seek(std::numeric_limits<std::size_t>::max());
  EXPECT_TRUE(seek.AtEnd());
  EXPECT_EQ(seek.ByteAt(std::numeric_limits<std::size_t>::max()), 0);
}

TEST(ByteReader, StringsEndAtNulOrAtTheEnd) {
  const std::vector<std::uint8_t> bytes = {'a', 'b', 0, 'c', 'd'};
  ByteReader reader(bytes);
  EXPECT_EQ(reader.ReadCString(), "ab");
  EXPECT_EQ(reader.Position(), 3u);
  EXPECT_FALSE(reader.Exhausted());
  EXPECT_EQ(reader.ReadCString(), "cd");
  EXPECT_TRUE(reader.Exhausted());
  EXPECT_EQ(reader.ReadCString(), "");
}

TEST(ByteReader, SubReaderCoversExactlyItsLength) {
  const std::vector<std::uint8_t> bytes = {1, 2, 3, 4, 5};
  ByteReader reader(bytes);
  ByteReader sub = reader.SubReader(2);
  EXPECT_EQ(sub.ReadU8(), 1);
  EXPECT_EQ(sub.ReadU8(), 2);
  EXPECT_EQ(sub.ReadU8(), 0);
  EXPECT_EQ(reader.ReadU8(), 3);
  ByteReader cut = reader.SubReader(10);
  EXPECT_TRUE(cut.Exhausted());
  EXPECT_EQ(cut.Size(), 2u);
  EXPECT_TRUE(reader.AtEnd());
}

}  // namespace
}  // namespace morvane
