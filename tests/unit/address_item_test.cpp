// Address items: splitting a request's Addr, and host and port of each item.
#include <gtest/gtest.h>

#include "scan/address_item.h"

namespace morvane {
namespace {

TEST(AddressItems, SplitAtCommasTrimmedWithEmptyItemsKept) {
  EXPECT_EQ(SplitAddressItems(u" 1.2.3.4:27016 , 5.6.7.8"),
            (std::vector<std::u16string>{u"1.2.3.4:27016", u"5.6.7.8"}));
  EXPECT_EQ(SplitAddressItems(u"a,,b,"), (std::vector<std::u16string>{u"a", u"", u"b", u""}));
  EXPECT_EQ(SplitAddressItems(u"a\r\nb, c\t"), (std::vector<std::u16string>{u"a\r\nb", u"c"}));
  EXPECT_EQ(SplitAddressItems(u""), (std::vector<std::u16string>{u""}));
}

TEST(AddressItems, HostIsEverythingBeforeTheFirstColon) {
  EXPECT_EQ(SplitHost(u"1.2.3.4:27016"), u"1.2.3.4");
  EXPECT_EQ(SplitHost(u"example.org"), u"example.org");
  EXPECT_EQ(SplitHost(u"a:b:c"), u"a");
  EXPECT_EQ(SplitHost(u":80"), u"");
}

TEST(AddressItems, PortTakesUpToFiveCharactersAndItsLowSixteenBits) {
  const struct {
    std::u16string item;
    std::uint16_t port;
  } cases[] = {
      {u"1.2.3.4:27016", 27016}, {u"1.2.3.4", 9999},         {u"1.2.3.4:", 9999},
      {u"1.2.3.4:abc", 9999},    {u"1.2.3.4:270155", 27015}, {u"1.2.3.4:70000", 4464},
      {u"1.2.3.4:-1", 65535},    {u"1.2.3.4:$FFFF", 65535},  {u"1.2.3.4:0x1F90", 0x1F9},
      {u"1.2.3.4:+80", 80},      {u"1.2.3.4: 80", 9999},     {u"1.2.3.4:80:90", 9999},
      {u"1.2.3.4:0", 0},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ParsePort(c.item, 9999), c.port) << testing::PrintToString(c.item);
  }
}

// MTA:SA is asked on its game port plus 123: a game port too high for that
// has no query port (and is never asked), rather than one wrapped round.
TEST(AddressItems, QueryPortBesideTheGamePort) {
  EXPECT_EQ(QueryPort(kGameMta, 22003), 22126);
  EXPECT_EQ(QueryPort(kGameMta, 65412), 65535);
  EXPECT_EQ(QueryPort(kGameMta, 65413), std::nullopt);
  EXPECT_EQ(QueryPort(kGameSource, 65535), 65535);
}

}  // namespace
}  // namespace morvane
