// The Minecraft simulators' answers, checked against the wire layout: the
// Java status exchange step by step (handshake, status, ping), the legacy
// kick in both forms, the Bedrock pong with all or only some of its fields,
// and what the switches make of the world's servers.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/byte_reader.h"
#include "gamesim/minecraft_bedrock_replies.h"
#include "gamesim/minecraft_java_replies.h"
#include "gamesim/stream_reply.h"

namespace morvane::gamesim {
namespace {

using Bytes = std::vector<std::uint8_t>;
using namespace std::string_literals;

SimMinecraft Craft() { return DefaultWorld().minecraft[0]; }
SimMinecraft Network() { return DefaultWorld().minecraft[1]; }

Bytes Concat(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const Bytes& part : parts) out.insert(out.end(), part.begin(), part.end());
  return out;
}

// What a client sends: the handshake for 127.0.0.1:25565 with the given next
// state, the status request, a ping carrying 8 bytes.
Bytes Handshake(std::int32_t next_state = 1) {
  WireWriter body;
  body.VarInt(0).VarInt(767).VarInt(9).Text("127.0.0.1").U16BE(25565).VarInt(next_state);
  const Bytes payload = body.Take();
  WireWriter out;
  out.VarInt(static_cast<std::int32_t>(payload.size())).Bytes(payload);
  return out.Take();
}
const Bytes kStatusRequest = {0x01, 0x00};
const Bytes kPing = {0x09, 0x01, 1, 2, 3, 4, 5, 6, 7, 8};
// FE 01, then FA, "MC|PingHost" (11 code units), 7 bytes of data.
const Bytes kLegacyPing = Concat(
    {{0xFE, 0x01, 0xFA, 0x00, 0x0B},
     {0, 'M', 0, 'C', 0, '|', 0, 'P', 0, 'i', 0, 'n', 0, 'g', 0, 'H', 0, 'o', 0, 's', 0, 't'},
     {0x00, 0x07, 78, 0x00, 0x00, 0x00, 0x00, 0x63, 0xDD}});

std::int32_t ReadVarInt(ByteReader& reader) {
  std::uint32_t value = 0;
  for (int shift = 0; shift < 35; shift += 7) {
    const std::uint8_t byte = reader.ReadU8();
    value |= static_cast<std::uint32_t>(byte & 0x7F) << shift;
    if ((byte & 0x80) == 0) break;
  }
  return static_cast<std::int32_t>(value);
}

// The JSON of a status packet, once its three lengths are checked.
std::string StatusJson(const Datagram& packet) {
  ByteReader reader(packet);
  const std::int32_t length = ReadVarInt(reader);
  EXPECT_EQ(static_cast<std::size_t>(length), reader.Remaining());
  EXPECT_EQ(ReadVarInt(reader), 0);  // packet id
  const std::int32_t size = ReadVarInt(reader);
  EXPECT_EQ(static_cast<std::size_t>(size), reader.Remaining());
  const auto json = reader.ReadBytes(reader.Remaining());
  return std::string(json.begin(), json.end());
}

// The kick's text back as UTF-8, once its count is checked.
std::u16string KickText(const Datagram& kick) {
  EXPECT_GE(kick.size(), 3u);
  if (kick.size() < 3) return {};
  EXPECT_EQ(kick[0], 0xFF);
  const std::size_t count = static_cast<std::size_t>(kick[1] << 8 | kick[2]);
  EXPECT_EQ(kick.size(), 3 + 2 * count);
  std::u16string text;
  for (std::size_t i = 3; i + 1 < kick.size(); i += 2) {
    text += static_cast<char16_t>(kick[i] << 8 | kick[i + 1]);
  }
  return text;
}

// The whole exchange in one buffer, as clients write it: the handshake is
// taken silently, the status answered, the ping echoed and the connection
// closed; a large favicon needs a three-byte length.
TEST(GamesimMinecraft, StatusExchangeAnswersStatusThenEchoesThePing) {
  for (int favicon_kb : {0, 64}) {
    const JavaSetup setup{.server = Network(), .look = {.favicon_kb = favicon_kb}};
    const Bytes all = Concat({Handshake(), kStatusRequest, kPing});
    std::span<const std::uint8_t> rest = all;
    JavaPhase phase = JavaPhase::kHandshake;
    std::vector<JavaStep> steps;
    while (!rest.empty() && steps.size() < 4) {
      steps.push_back(StepJavaExchange(rest, phase, false, setup));
      rest = rest.subspan(steps.back().consumed);
    }
    ASSERT_EQ(steps.size(), 3u);
    EXPECT_TRUE(steps[0].reply.empty());
    EXPECT_FALSE(steps[0].close);
    const std::string json = StatusJson(steps[1].reply);
    EXPECT_TRUE(
        json.starts_with("{\"version\":{\"name\":\"Requires MC 1.8 / 1.21\",\"protocol\":47},"
                         "\"players\":{\"max\":200000,\"online\":26307,\"sample\":[]},"
                         "\"description\":\"\u00A7bMorvane \u00A7lNetwork\u00A7r \u00A7e⚔\\n"))
        << json.substr(0, 200);
    EXPECT_EQ(json.find("\"favicon\":\"data:image/png;base64,iVBORw0KGg") != std::string::npos,
              favicon_kb > 0);
    EXPECT_EQ(steps[1].reply.size() > 64 * 1024, favicon_kb > 0);
    EXPECT_FALSE(steps[1].close);
    EXPECT_EQ(steps[2].reply, kPing);
    EXPECT_TRUE(steps[2].close);
  }
}

// Which answer each opening gets from each kind of server: S the status
// (after the handshake), V the versioned kick, O the old kick, - waiting for
// more bytes, X the connection closed without a word.
TEST(GamesimMinecraft, OpeningsPerServerEra) {
  const Bytes bare_fe = {0xFE};
  const Bytes fe01 = {0xFE, 0x01};
  const Bytes cut_plugin(kLegacyPing.begin(), kLegacyPing.begin() + 20);
  const Bytes modern = Concat({Handshake(), kStatusRequest});
  const Bytes six_byte_length = {0x80, 0x80, 0x80, 0x80, 0x80, 0x01};
  const Bytes too_long = {0xFF, 0x7F, 0x00};
  const Bytes login = Handshake(2);
  const struct {
    const char* what;
    const Bytes& bytes;
    bool quiet;
    char modern, legacy, old;
  } cases[] = {
      {"status exchange", modern, false, 'S', 'X', 'X'},
      {"log-in handshake", login, false, 'X', 'X', 'X'},
      {"status request before a handshake", kStatusRequest, false, 'X', 'X', 'X'},
      {"VarInt of six bytes", six_byte_length, false, 'X', 'X', 'X'},
      {"packet over the bound", too_long, false, 'X', 'X', 'X'},
      {"1.6 legacy ping", kLegacyPing, false, 'V', 'V', 'O'},
      {"1.6 ping cut in its plugin message", cut_plugin, false, '-', '-', 'O'},
      {"the same, the client quiet", cut_plugin, true, 'V', 'V', 'O'},
      {"FE 01", fe01, false, '-', '-', 'O'},
      {"FE 01, the client quiet", fe01, true, 'V', 'V', 'O'},
      {"FE alone", bare_fe, false, '-', '-', 'O'},
      {"FE alone, the client quiet", bare_fe, true, 'O', 'O', 'O'},
  };
  for (const auto& c : cases) {
    for (const auto& [era, want] :
         {std::pair{JavaEra::kModern, c.modern}, std::pair{JavaEra::kLegacy, c.legacy},
          std::pair{JavaEra::kOldLegacy, c.old}}) {
      const JavaSetup setup{.server = Craft(), .era = era};
      JavaPhase phase = JavaPhase::kHandshake;
      JavaStep step = StepJavaExchange(c.bytes, phase, c.quiet, setup);
      if (step.consumed > 0 && step.reply.empty() && !step.close) {
        step = StepJavaExchange(std::span(c.bytes).subspan(step.consumed), phase, c.quiet, setup);
      }
      char got = '-';
      if (step.close && step.reply.empty()) got = 'X';
      if (!step.reply.empty() && step.reply[0] == 0xFF) {
        got = KickText(step.reply).starts_with(u"\u00A71") ? 'V' : 'O';
      } else if (!step.reply.empty()) {
        got = 'S';
      }
      EXPECT_EQ(got, want) << c.what << ", era " << static_cast<int>(era);
    }
  }
}

// Truncation is normal input: a status exchange cut at any byte waits for
// the rest, and a second status request ends the connection.
TEST(GamesimMinecraft, CutRequestsWaitAndRepeatedStatusCloses) {
  const JavaSetup setup{.server = Craft()};
  const Bytes all = Concat({Handshake(), kStatusRequest});
  for (std::size_t cut = 1; cut < Handshake().size(); ++cut) {
    JavaPhase phase = JavaPhase::kHandshake;
    const JavaStep step = StepJavaExchange(std::span(all).first(cut), phase, false, setup);
    EXPECT_TRUE(step.consumed == 0 && !step.close && step.reply.empty()) << cut;
  }
  JavaPhase phase = JavaPhase::kAnswered;
  EXPECT_TRUE(StepJavaExchange(kStatusRequest, phase, false, setup).close);
}

// The kick counts UTF-16 code units, so a character beyond the Basic
// Multilingual Plane counts two; a 1.7 server states protocol 127.
TEST(GamesimMinecraft, LegacyKickTexts) {
  const SimMinecraft network = Network();
  EXPECT_EQ(KickText(BuildLegacyKick(network, LegacyForm::kVersioned, 127)),
            u"\u00A71\0"
            u"127\0Requires MC 1.8 / 1.21\0\u00A7bMorvane \u00A7lNetwork\u00A7r "
            u"\u00A7e⚔\n\u00A77Лобби и мини-игры \U0001F3AE\0"
            u"26307\0"
            u"200000"s);
  SimMinecraft plain = Craft();
  plain.motd = "A Minecraft Server";
  EXPECT_EQ(KickText(BuildLegacyKick(plain, LegacyForm::kOld, 0)),
            u"A Minecraft Server\u00A73\u00A720"s);
}

// Colour codes become coloured parts; every other code stays in its text,
// written as \u00a7; quotes, backslashes and control characters are escaped.
TEST(GamesimMinecraft, ChatComponentDescription) {
  EXPECT_EQ(BuildChatComponentJson("A \"q\"\\\u00A76Gold\u00A7l bold\n\u00A7fnext\t"),
            "{\"text\":\"A \\\"q\\\"\\\\\",\"extra\":[{\"color\":\"gold\",\"text\":"
            "\"Gold\\u00a7l bold\\n\"},{\"color\":\"white\",\"text\":\"next\\u0009\"}]}");
  EXPECT_EQ(BuildChatComponentJson("plain"), "{\"text\":\"plain\",\"extra\":[]}");
}

TEST(GamesimMinecraft, SegmentsCoverTheReplyInOrder) {
  const Datagram reply = {1, 2, 3, 4, 5, 6, 7};
  for (int segments : {1, 2, 3, 7, 50}) {
    const std::vector<Datagram> pieces = SplitIntoSegments(reply, segments);
    EXPECT_EQ(pieces.size(), std::min<std::size_t>(segments, reply.size())) << segments;
    Datagram joined;
    for (const Datagram& piece : pieces) {
      EXPECT_FALSE(piece.empty()) << segments;
      joined.insert(joined.end(), piece.begin(), piece.end());
    }
    EXPECT_EQ(joined, reply) << segments;
  }
}

TEST(GamesimMinecraft, BedrockPongEchoesTheTimeAndStatesItsFields) {
  const SimMinecraft bedrock = DefaultWorld().bedrock[0];
  const Bytes ping = Concat({{0x01, 1, 2, 3, 4, 5, 6, 7, 8},
                             Bytes(kBedrockMagic.begin(), kBedrockMagic.end()),
                             {0, 0, 0, 0, 0, 0, 0, 42}});
  const auto pongs = AnswerBedrockPing(ping, bedrock, 19132);
  ASSERT_EQ(pongs.size(), 1u);
  ByteReader reader(pongs[0]);
  EXPECT_EQ(reader.ReadU8(), 0x1C);
  const auto time = reader.ReadBytes(8);
  EXPECT_EQ(Bytes(time.begin(), time.end()), Bytes({1, 2, 3, 4, 5, 6, 7, 8}));
  reader.Skip(8);  // server id
  const auto magic = reader.ReadBytes(16);
  EXPECT_TRUE(std::equal(magic.begin(), magic.end(), kBedrockMagic.begin()));
  const std::size_t size = static_cast<std::size_t>(reader.ReadU8() << 8 | reader.ReadU8());
  EXPECT_EQ(size, reader.Remaining());
  const std::string full =
      "MCPE;\u00A7aМорвейн \u00A7fBedrock;686;1.21.2;5;30;2102120316588816262;Морвейн мир;"
      "Survival;1;19132;-1;";
  const auto text = reader.ReadBytes(size);
  EXPECT_EQ(std::string(text.begin(), text.end()), full);

  const struct {
    int fields;
    std::string text;
  } cases[] = {{0, ""},
               {1, "MCPE"},
               {6, "MCPE;\u00A7aМорвейн \u00A7fBedrock;686;1.21.2;5;30"},
               {12, full.substr(0, full.size() - 1)}};
  for (const auto& c : cases) {
    EXPECT_EQ(BuildBedrockStatusText(bedrock, 19132, c.fields), c.text) << c.fields;
  }

  for (std::size_t cut = 0; cut < ping.size(); ++cut) {
    EXPECT_TRUE(AnswerBedrockPing(std::span(ping).first(cut), bedrock, 19132).empty()) << cut;
  }
  Bytes wrong_magic = ping;
  wrong_magic[20] ^= 1;
  Bytes other_message = ping;
  other_message[0] = 0x05;
  EXPECT_TRUE(AnswerBedrockPing(wrong_magic, bedrock, 19132).empty());
  EXPECT_TRUE(AnswerBedrockPing(other_message, bedrock, 19132).empty());
}

TEST(GamesimMinecraft, SwitchesShapeCountsAndSample) {
  using Names = std::vector<std::string>;
  const auto with = [](auto set) {
    ServiceSwitches switches;
    set(switches);
    return ApplyMinecraftSwitches(Craft(), switches);
  };
  const SimMinecraft nobody = with([](ServiceSwitches& s) { s.players = 0; });
  EXPECT_EQ(nobody.online, 0u);
  EXPECT_FALSE(nobody.sample.has_value()) << "vanilla sends no sample while nobody plays";

  const SimMinecraft crowd = with([](ServiceSwitches& s) { s.players = 40; });
  EXPECT_EQ(crowd.online, 40u);
  ASSERT_EQ(crowd.sample->size(), kMinecraftSampleSize);
  EXPECT_EQ((Names(crowd.sample->begin(), crowd.sample->begin() + 4)),
            (Names{"Steve", "Алёна", "\u00A7bKate_2", "Player_4"}));

  const SimMinecraft hidden = with([](ServiceSwitches& s) {
    s.online = 150000;
    s.sample = 0;
  });
  EXPECT_EQ(hidden.online, 150000u);
  EXPECT_EQ(hidden.sample, Names{});

  const SimMinecraft old = with([](ServiceSwitches& s) { s.java_era = JavaEra::kLegacy; });
  EXPECT_EQ(old.version, "1.6.4");
  EXPECT_EQ(old.protocol, 78);
}

}  // namespace
}  // namespace morvane::gamesim
