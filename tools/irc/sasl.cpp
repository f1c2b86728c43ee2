#include "sasl.h"

#include <cstdint>

namespace morvane::irc {
namespace {

constexpr std::size_t kPieceBytes = 400;

}  // namespace

std::string Base64(std::string_view bytes) {
  static constexpr char kAlphabet[] =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  out.reserve((bytes.size() + 2) / 3 * 4);
  for (std::size_t i = 0; i < bytes.size(); i += 3) {
    std::uint32_t group = static_cast<std::uint8_t>(bytes[i]) << 16;
    if (i + 1 < bytes.size()) group |= static_cast<std::uint8_t>(bytes[i + 1]) << 8;
    if (i + 2 < bytes.size()) group |= static_cast<std::uint8_t>(bytes[i + 2]);
    out += kAlphabet[(group >> 18) & 63];
    out += kAlphabet[(group >> 12) & 63];
    out += i + 1 < bytes.size() ? kAlphabet[(group >> 6) & 63] : '=';
    out += i + 2 < bytes.size() ? kAlphabet[group & 63] : '=';
  }
  return out;
}

std::vector<std::string> AuthenticateLines(std::string_view answer) {
  const std::string encoded = Base64(answer);
  std::vector<std::string> lines;
  for (std::size_t at = 0; at < encoded.size(); at += kPieceBytes) {
    lines.push_back("AUTHENTICATE " + encoded.substr(at, kPieceBytes));
  }
  if (encoded.size() % kPieceBytes == 0) lines.push_back("AUTHENTICATE +");
  return lines;
}

std::string SaslPlainAnswer(std::string_view account, std::string_view password) {
  std::string answer(account);
  answer += '\0';
  answer += account;
  answer += '\0';
  answer += password;
  return answer;
}

bool EndsSasl(std::string_view numeric) {
  return numeric == "902" || numeric == "903" || numeric == "904" || numeric == "905" ||
         numeric == "906" || numeric == "907";
}

}  // namespace morvane::irc
