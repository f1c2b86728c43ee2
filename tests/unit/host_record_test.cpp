// Host records: the encoding both directions rely on, and the reader's bounds.
#include <gtest/gtest.h>

#include <vector>

#include "host/host_record.h"

namespace morvane {
namespace {

ByteReader Over(const std::vector<std::uint8_t>& bytes) {
  return ByteReader(std::span<const std::uint8_t>(bytes.data(), bytes.size()));
}

TEST(HostRecord, ChannelMessageRecordIsPackedWithoutGapsOrTerminators) {
  HostRecord record;
  AppendText(record, u"main");
  AppendInt(record, 1);
  AppendText(record, u"pl");
  const std::vector<std::uint8_t> expected = {0x04, 0x00, 0x00, 0x00,  // count 4
                                              0x6D, 0x00, 0x61, 0x00,
                                              0x69, 0x00, 0x6E, 0x00,   // "main"
                                              0x01, 0x00, 0x00, 0x00,   // type flag 1
                                              0x02, 0x00, 0x00, 0x00,   // count 2
                                              0x70, 0x00, 0x6C, 0x00};  // "pl"
  EXPECT_EQ(record, expected);
}

TEST(HostRecord, AppendTextCountsUpToTheFirstNul) {
  const struct {
    std::u16string text;
    std::vector<std::uint8_t> expected;
  } cases[] = {
      {u"", {0, 0, 0, 0}},
      {std::u16string(u"ab\0cd", 5), {2, 0, 0, 0, 'a', 0, 'b', 0}},
      {std::u16string(u"\0x", 2), {0, 0, 0, 0}},
      {u"\u0416", {1, 0, 0, 0, 0x16, 0x04}},  // Cyrillic Zhe, little-endian
  };
  for (const auto& c : cases) {
    HostRecord record;
    AppendText(record, c.text);
    EXPECT_EQ(record, c.expected);
  }
}

TEST(HostRecord, ReadUserWithEmptyNameContinuesAtOffsetFour) {
  std::vector<std::uint8_t> bytes = {0, 0, 0, 0,                  // Name: count 0
                                     2, 0, 0, 0, 'i', 0, 'p', 0,  // IP "ip"
                                     7, 0, 0, 0};                 // Icon
  ByteReader reader = Over(bytes);
  TUser user = ReadUser(reader);
  EXPECT_EQ(user.Name, u"");
  EXPECT_EQ(user.IP, u"ip");
  EXPECT_EQ(user.Icon, 7);
  EXPECT_TRUE(reader.AtEnd());
  EXPECT_FALSE(reader.Exhausted());
}

TEST(HostRecord, NegativeCountIsEmptyAndConsumesOnlyTheCount) {
  std::vector<std::uint8_t> bytes = {0xFF, 0xFF, 0xFF, 0xFF, 5, 0, 0, 0};
  ByteReader reader = Over(bytes);
  EXPECT_EQ(ReadText(reader), u"");
  EXPECT_EQ(reader.Position(), 4u);
  EXPECT_EQ(ReadInt(reader), 5);
}

TEST(HostRecord, ShortRecordsReadAsEmptyValuesWithinTheirBytes) {
  // A text whose count promises more than was sent gives the whole units that
  // are there; a half unit at the end is dropped.
  std::vector<std::uint8_t> bytes = {10, 0, 0, 0, 'a', 0, 'b'};
  ByteReader reader = Over(bytes);
  EXPECT_EQ(ReadText(reader), u"a");
  EXPECT_TRUE(reader.Exhausted());
  EXPECT_EQ(ReadInt(reader), 0);
  EXPECT_EQ(ReadText(reader), u"");

  // A huge count must not make the reader allocate or walk past the data.
  std::vector<std::uint8_t> huge = {0xFF, 0xFF, 0xFF, 0x7F, 'x', 0};
  ByteReader big = Over(huge);
  EXPECT_EQ(ReadText(big), u"x");

  // Every cut of a user record reads without running past the cut.
  std::vector<std::uint8_t> user = {3, 0, 0, 0, 'a', 0, 'n', 0, 'n', 0,
                                    1, 0, 0, 0, 'x', 0, 9,   0, 0,   0};
  for (std::size_t cut = 0; cut <= user.size(); ++cut) {
    std::vector<std::uint8_t> part(user.begin(), user.begin() + static_cast<std::ptrdiff_t>(cut));
    ByteReader r = Over(part);
    TUser u = ReadUser(r);
    EXPECT_LE(r.Position(), cut);
    EXPECT_EQ(u.Icon, cut == user.size() ? 9 : 0);
  }
}

TEST(HostRecord, PutWritesIntoTheHostBufferAtARunningOffset) {
  std::vector<std::uint8_t> buffer(18, 0xAA);
  std::size_t offset = 0;
  PutText(buffer, offset, u"Morvane");
  EXPECT_EQ(offset, 18u);
  EXPECT_EQ(buffer[0], 7);
  EXPECT_EQ(buffer[4], 'M');
  EXPECT_EQ(buffer[17], 0);

  // A field that would not fit is not written at all.
  std::vector<std::uint8_t> small(6, 0xAA);
  offset = 4;
  PutInt(small, offset, 1);
  EXPECT_EQ(offset, 4u);
  EXPECT_EQ(small, std::vector<std::uint8_t>(6, 0xAA));
}

}  // namespace
}  // namespace morvane
