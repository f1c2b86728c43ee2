// Minecraft: the Java status framing and JSON, the legacy kick and the
// Bedrock pong, hand-made and captured, every reply cut at every byte.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "games/minecraft_bedrock.h"
#include "games/minecraft_java.h"
#include "support/fixtures.h"

namespace morvane {
namespace {

using test::ForEachCut;
using Bytes = std::vector<std::uint8_t>;

Bytes& VarInt(Bytes& out, std::size_t v) {
  for (; v >= 0x80; v >>= 7) out.push_back(static_cast<std::uint8_t>(v | 0x80));
  out.push_back(static_cast<std::uint8_t>(v));
  return out;
}

// FF, the count of UTF-16 code units, the text (NULs included) as UTF-16BE.
template <std::size_t N>
Bytes Kick(const char16_t (&text)[N]) {
  Bytes out{0xFF, 0, static_cast<std::uint8_t>(N - 1)};
  for (std::size_t i = 0; i + 1 < N; ++i)
    out.insert(out.end(), {std::uint8_t(text[i] >> 8), std::uint8_t(text[i])});
  return out;
}

// The values in one line: "motd|version|online/max|sample,names".
std::string Show(const MinecraftStatus& s) {
  std::string out = s.motd + "|" + s.version + "|" + std::to_string(s.online) + "/" +
                    std::to_string(s.max_players) + "|";
  for (const auto& name : s.sample) out += name + ",";
  return out;
}

std::string Show(const std::optional<BedrockPong>& p) {
  if (!p) return "none";
  return p->edition + "|" + p->motd + "|" + p->version + "|" + p->level_name + "|" +
         std::to_string(p->online) + "/" + std::to_string(p->max_players);
}

Bytes Pong(std::string_view text) {
  Bytes out{0x1C, 0, 0, 0, 0, 0, 0, 0, 7, 0, 0, 0, 0, 0, 0, 0, 1};  // id, time 7, server id
  out.insert(out.end(), kRakNetOfflineMagic.begin(), kRakNetOfflineMagic.end());
  out.insert(out.end(), {0, static_cast<std::uint8_t>(text.size())});
  out.insert(out.end(), text.begin(), text.end());
  return out;
}

TEST(Minecraft, RequestsOnTheWire) {
  // Length 18, id 0, protocol 767, host, port 25565, next state 1; the status request.
  Bytes want = {0x12, 0x00, 0xFF, 0x05, 0x0B, 'h',  'y',  'p',  'i',  'x', 'e',
                'l',  '.',  'n',  'e',  't',  0x63, 0xDD, 0x01, 0x01, 0x00};
  EXPECT_EQ(MakeJavaStatusRequest("hypixel.net", 25565), want);
  // ... "MC|PingHost", data length 9, protocol 74, host "я" (one unit), port 25565.
  Bytes legacy = MakeLegacyPing("\xD1\x8F", 25565);
  EXPECT_EQ(Bytes(legacy.begin(), legacy.begin() + 6), Bytes({0xFE, 0x01, 0xFA, 0x00, 0x0B, 0x00}));
  EXPECT_EQ(Bytes(legacy.begin() + 27, legacy.end()),
            Bytes({0x00, 0x09, 0x4A, 0x00, 0x01, 0x04, 0x4F, 0x00, 0x00, 0x63, 0xDD}));
  auto ping = MakeBedrockPing(-2, 0x0102030405060708);  // id, time, the magic, client id
  Bytes bedrock = {0x01, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFE};
  bedrock.insert(bedrock.end(), kRakNetOfflineMagic.begin(), kRakNetOfflineMagic.end());
  bedrock.insert(bedrock.end(), {1, 2, 3, 4, 5, 6, 7, 8});
  EXPECT_EQ(Bytes(ping.begin(), ping.end()), bedrock);
}

TEST(Minecraft, StatusFrameCompleteOnlyAtItsLastByte) {
  // 197 bytes of JSON: two-byte VarInts for both lengths; the two bytes a
  // modded server adds after the string stay out of it.
  const std::string json = "{\"description\":\"" + std::string(179, 'x') + "\"}";
  Bytes body{0x00};
  VarInt(body, json.size()).insert(body.end(), json.begin(), json.end());
  body.insert(body.end(), {0x01, 0x02});
  Bytes packet;
  VarInt(packet, body.size()).insert(packet.end(), body.begin(), body.end());
  ForEachCut(packet, [&](std::span<const std::uint8_t> cut, std::size_t n) {
    JavaStatusFrame frame = ReadJavaStatusFrame(cut);
    EXPECT_EQ(frame.state, n == packet.size() ? FrameState::kComplete : FrameState::kIncomplete);
    EXPECT_EQ(frame.json, n == packet.size() ? json : "");
  });

  Bytes oversize, at_limit;  // three bytes of VarInt, then one byte too many or none
  VarInt(oversize, kMaxJavaStatusBytes - 2);
  VarInt(at_limit, kMaxJavaStatusBytes - 3);
  // clang-format off
  const std::pair<Bytes, FrameState> cases[] = {
      {{0x80, 0x80, 0x80, 0x80, 0x80, 0x01}, FrameState::kInvalid},                 // six-byte VarInt
      {{0x85, 0x80, 0x80, 0x80, 0x10, 0x00, 0x03, 'a', 'b', 'c'}, FrameState::kInvalid},  // 5 and bit 32
      {{0xFF, 0xFF, 0xFF, 0xFF, 0x0F}, FrameState::kInvalid},                       // length -1
      {{0x05, 0x01}, FrameState::kInvalid},                                         // packet id 1
      {{0x05, 0x00, 0x04, '{'}, FrameState::kInvalid},                  // string longer than packet
      {{0x05, 0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0x0F}, FrameState::kInvalid},           // string length -1
      {{0x00}, FrameState::kInvalid},                                               // no room for the id
      {{0x02, 0x00, 0x80}, FrameState::kInvalid},                                   // ends in a VarInt
      {oversize, FrameState::kInvalid}, {at_limit, FrameState::kIncomplete}};
  // clang-format on
  for (const auto& [bytes, state] : cases)
    EXPECT_EQ(ReadJavaStatusFrame(bytes).state, state) << testing::PrintToString(bytes);
}

TEST(Minecraft, StatusJsonDescriptionsCountsAndSample) {
  const std::string deep =
      "{\"description\":" + std::string(100000, '[') + "\"x\"" + std::string(100000, ']') + "}";
  // clang-format off
  const std::pair<std::string, std::string> cases[] = {
      {R"({"description":"\u00a7aHello \u00a7lWorld"})", "Hello World||0/0|"},
      {R"({"description":{"text":"A","extra":["B",{"text":"C","extra":[{"text":"D"}]},{"bold":true}]}})", "ABCD||0/0|"},
      {R"({"description":{"translate":"multiplayer.disconnect","extra":[{"text":"!"}]}})", "multiplayer.disconnect!||0/0|"},
      {R"({"description":[{"text":"A","translate":"t"},"B",[["C"]],7]})", "ABC||0/0|"},
      {deep, "||0/0|"},  // nested past the depth walked, and never past the stack
      {R"({"version":{"name":"\u00a7cPaper"},"players":{"online":5.9,"max":200000}})", "|Paper|5/200000|"},
      {R"({"players":{"online":-3,"max":4294967296}})", "||0/4294967295|"},
      {R"({"players":{"online":1e30,"max":18446744073709551615}})", "||4294967295/4294967295|"},
      {R"({"players":{"online":"7","sample":[{"name":"\u00a7aAnn","id":"1"},{"id":"2"},{"name":""},3]}})", "||0/0|Ann,,"},
      {R"({"description":42,"version":"1.8","players":[],"extra":{}})", "||0/0|"},
      {"", "none"}, {"[]", "none"}, {"\"x\"", "none"}, {"{", "none"}, {"{}x", "none"},
      {"{\"a\":\"\xFF\"}", "none"}, {"{\"a\":1e999}", "none"}};
  // clang-format on
  for (const auto& [json, values] : cases) {
    std::optional<MinecraftStatus> status = ParseJavaStatusJson(json);
    EXPECT_EQ(status ? Show(*status) : "none", values) << json.substr(0, 80);
  }
}

TEST(Minecraft, FormattingCodes) {
  // A code is "§" and one code point, whatever its length; a stray byte counts as one.
  const std::pair<std::string_view, std::string_view> codes[] = {
      {"\u00A7aA\u00A7lB", "AB"}, {"x\u00A7", "x"},           {"\u00A7\u00A7a", "a"},
      {"\u00A7\u00E9!", "!"},     {"\u00A7\U0001F600x", "x"}, {"\u00A7\x80y", "y"}};
  for (auto [text, stripped] : codes) EXPECT_EQ(StripFormattingCodes(text), stripped) << text;
}

TEST(Minecraft, LegacyKicksOfBothFormsCutAtEveryByte) {
  // clang-format off
  const std::pair<Bytes, std::string> cases[] = {
      {Kick(u"\u00A71\0" u"78\0" u"1.6.4\0" u"\u00A7aMy \u00A7lserver\0" u"250000\0" u"99999999999"),
       "My server|1.6.4|250000/4294967295|"},
      {Kick(u"\u00A7eOld \u00A7rserver\u00A7x\u00A73"), "Old server||0/3|"},
  };
  const Bytes bad[] = {{0xFE}, Kick(u"Outdated server!"), Kick(u"\u00A7one sign"),
                       Kick(u"\u00A71\0" u"78\0" u"1.6.4\0" u"motd\0" u"1")};
  // clang-format on
  for (const auto& [kick, values] : cases) {
    ForEachCut(kick, [&](std::span<const std::uint8_t> cut, std::size_t n) {
      LegacyKick read = ReadLegacyKick(cut);
      EXPECT_EQ(read.state, n == kick.size() ? FrameState::kComplete : FrameState::kIncomplete);
      EXPECT_EQ(Show(read.status), n == kick.size() ? values : "||0/0|");
    });
  }
  for (const Bytes& kick : bad) {
    EXPECT_EQ(ReadLegacyKick(kick).state, FrameState::kInvalid) << testing::PrintToString(kick);
  }
}

// A length past the datagram is the captures' cuts below.
TEST(Minecraft, BedrockPongWithFieldsMissing) {
  EXPECT_EQ(Show(ParseBedrockPong(Pong("MCPE;\u00A7bHub;1;;-12;20"), 7)), "MCPE|Hub|||0/20");
  EXPECT_EQ(Show(ParseBedrockPong(Pong("MCPE"), 7)), "MCPE||||0/0");
}

class MinecraftCaptureTest : public test::CaptureTest {};

TEST_F(MinecraftCaptureTest, JavaRepliesCompleteWithTheirLastRead) {
  // clang-format off
  const std::pair<const char*, std::string> cases[] = {
      {"gamedig_hypixel_status_3reads.hex", "                Hypixel Network [1.8/1.21]\n"
       "            SB 0.24.1 - BONUS COINS + XP|Requires MC 1.8 / 1.21|26307/200000|"},
      {"gamedig_sopelmc_status_3reads.hex", "SOPELMC.PL > dc.sopelmc.pl [1.16.4-1.21.x] \n Start serwera "
       "Survival bez P2W w lutym!|Uzyj wersji od 1.16.4-1.21.x|0/100|SOPELMC.PL [1.16.4-1.21.x],,"
       "Discord: dc.sopelmc.pl,https://discord.gg/Yt3rzjRjKt,,Dolacz do nas juz teraz!,"},
      {"mcstatus_vanilla_1_8_pre1_status.hex", "A Minecraft Server|1.8-pre1|0/20|"},
  };
  // clang-format on
  for (const auto& [file, values] : cases) {
    auto reads = test::LoadCapture(std::string("minecraft_java/") + file);
    Bytes stream;
    for (std::size_t i = 0; i < reads.size(); ++i) {
      stream.insert(stream.end(), reads[i].bytes.begin(), reads[i].bytes.end());
      JavaStatusFrame frame = ReadJavaStatusFrame(stream);
      EXPECT_EQ(frame.state,
                i + 1 == reads.size() ? FrameState::kComplete : FrameState::kIncomplete)
          << file << " read " << i;
    }
    std::optional<MinecraftStatus> status = ParseJavaStatusJson(ReadJavaStatusFrame(stream).json);
    EXPECT_EQ(status ? Show(*status) : "none", values) << file;
  }
  // A body without its framing, and the legacy kicks (the second framed by hand).
  std::ifstream body(test::FixturesDir() +
                     "/minecraft_java/mcstatus_vaulthunters_forge_status.json");
  std::stringstream forge;
  forge << body.rdbuf();
  std::optional<MinecraftStatus> status = ParseJavaStatusJson(forge.str());
  EXPECT_EQ(status ? Show(*status) : "none",
            "motd=------  Vault Hunters: 1.18.2 VER: See Discord   ------\n"
            "           ------  vaulthunters.gg  ------|1.18.2|0/20|");
  for (auto [file, version] :
       {std::pair{"legacy_1_4_2_kick", "1.4.2"}, {"legacy_pre1_4_kick_FRAMED", ""}}) {
    Bytes kick = test::LoadSingleCapture(std::string("minecraft_java/mcstatus_") + file + ".hex");
    EXPECT_EQ(Show(ReadLegacyKick(kick).status),
              std::string("A Minecraft Server|") + version + "|0/20|");
  }
}

TEST_F(MinecraftCaptureTest, BedrockPongsOnlyWholeAndForTheirPing) {
  const struct {
    const char* file;
    std::int64_t time;
    std::string values;
  } cases[] = {
      // clang-format off
      {"gameq_minecraftbe_1_wildwood", -924068729199788032,
       "MCPE|WILDWOOD SMP [1.19]|1.19.21|ᴛʜᴇ ʙᴇsᴛ ᴏɴᴇ-sᴛᴏᴘ sᴍᴘ ɴᴇᴛᴡᴏʀᴋ!|111/300"},
      {"gameq_minecraftbe_2_pikanetwork", 1526452418043183104, "MCPE|         ✪  PikaNetwork ➟ 1.8 - 1.19  ✪ "
       "|1.19.21|  ❤ LIFESTEAL release | OPFACTIONS reset  ❤|1021/6500"},
      {"gameq_minecraftbe_3_bridges_duels", -2491037725524754432, "MCPE|EU: BRIDGES DUELS\uE101|1|C|18605/55000"},
      {"mcstatus_bedrock_empty_version_and_level", 0, "MCPE|GayBowser|||1/69"},
      // clang-format on
  };
  for (const auto& c : cases) {
    Bytes datagram = test::LoadSingleCapture(std::string("minecraft_bedrock/") + c.file + ".hex");
    EXPECT_EQ(Show(ParseBedrockPong(datagram, c.time)), c.values);
    EXPECT_EQ(Show(ParseBedrockPong(datagram, c.time + 1)), "none") << c.file;
    datagram[20] ^= 1;  // in the magic
    EXPECT_EQ(Show(ParseBedrockPong(datagram, c.time)), "none") << c.file;
    datagram[20] ^= 1;
    ForEachCut(datagram, [&](std::span<const std::uint8_t> cut, std::size_t n) {
      EXPECT_EQ(ParseBedrockPong(cut, c.time).has_value(), n == datagram.size()) << c.file;
    });
  }
}

}  // namespace
}  // namespace morvane
