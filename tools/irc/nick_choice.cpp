#include "nick_choice.h"

#include <algorithm>
#include <array>
#include <utility>

#include "common/text.h"

namespace morvane::irc {
namespace {

// The least NICKLEN any server has: a nick cut to it fits everywhere.
constexpr std::size_t kShortestNickLength = 9;
// Refusals in a row after which the connection gives the server a rest.
constexpr std::size_t kMostRefusals = 12;

// The Latin writing of а ... я (U+0430 ... U+044F), as one reads them.
constexpr std::array<const char*, 32> kRussianLetters = {
    "a", "b", "v", "g", "d", "e", "zh", "z",  "i",  "j",   "k", "l", "m", "n", "o",  "p",
    "r", "s", "t", "u", "f", "h", "c",  "ch", "sh", "sch", "",  "y", "",  "e", "yu", "ya"};

bool IsAsciiLetter(char16_t c) { return (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z'); }
bool IsNickSpecial(char16_t c) {
  return std::u16string_view(u"[]\\`_^{|}").find(c) != std::u16string_view::npos;
}

}  // namespace

std::string ValidNickForm(std::string_view name) {
  std::string out;
  for (char16_t c : Utf8ToUtf16(name)) {
    if (IsAsciiLetter(c) || IsNickSpecial(c) || ((c >= u'0' && c <= u'9') || c == u'-')) {
      if (!out.empty() || IsAsciiLetter(c) || IsNickSpecial(c)) out += static_cast<char>(c);
      continue;
    }
    bool upper = false;
    if (c == u'\u0401' || c == u'\u0451') {  // Ё ё
      upper = c == u'\u0401';
      c = u'\u0435';
    } else if (c >= u'\u0410' && c <= u'\u042F') {
      upper = true;
      c = static_cast<char16_t>(c + 0x20);
    }
    if (c < u'\u0430' || c > u'\u044F') continue;
    std::string latin = kRussianLetters[c - u'\u0430'];
    if (upper && !latin.empty()) latin[0] = static_cast<char>(latin[0] - 'a' + 'A');
    out += latin;
  }
  return out;
}

NickChooser::NickChooser(std::string wanted, std::string fallback)
    : wanted_(std::move(wanted)), fallback_(std::move(fallback)), base_(wanted_) {}

std::string NickChooser::Restart() {
  base_ = wanted_;
  attempt_ = 0;
  refusals_ = 0;
  after_taken_ = false;
  return last_ = Variant();
}

void NickChooser::SetMaxLength(std::size_t length) {
  if (length == 0) return;
  max_length_ = length;
  if (wanted_.size() > length) wanted_.resize(length);
}

std::string NickChooser::Taken() {
  refusals_ = 0;
  after_taken_ = true;
  ++attempt_;
  return last_ = Variant();
}

std::string NickChooser::Refused() {
  if (++refusals_ > kMostRefusals) return last_ = std::string();
  const bool after_taken = std::exchange(after_taken_, false);
  // Until the server has said how long a nick may be, the wanted one's
  // length is taken as allowed: a longer variant of it was refused for its
  // length.
  if (max_length_ == 0 && after_taken && last_.size() > base_.size()) {
    max_length_ = base_.size();
    return last_ = Variant();
  }
  if (base_ == wanted_) {
    std::string valid = ValidNickForm(wanted_);
    if (max_length_ != 0 && valid.size() > max_length_) valid.resize(max_length_);
    if (!valid.empty() && valid != wanted_) {
      wanted_ = base_ = valid;
      attempt_ = 0;
      return last_ = Variant();
    }
  }
  // A nick of the right letters may still be too long for a server that
  // refuses where others cut.
  if (max_length_ == 0 && last_.size() > kShortestNickLength) {
    max_length_ = kShortestNickLength;
    if (wanted_.size() > max_length_) wanted_.resize(max_length_);
    if (base_.size() > max_length_) base_.resize(max_length_);
    return last_ = Variant();
  }
  if (base_ != fallback_) {
    base_ = fallback_;
    attempt_ = 0;
  } else {
    attempt_ = std::max(attempt_ + 1, 3);
  }
  return last_ = Variant();
}

std::string NickChooser::Variant() const {
  std::string suffix;
  if (attempt_ == 1 || attempt_ == 2) {
    suffix.assign(static_cast<std::size_t>(attempt_), '_');
  } else if (attempt_ > 2) {
    suffix = std::to_string(attempt_ - 2);
  }
  std::string nick = base_;
  if (max_length_ != 0 && nick.size() + suffix.size() > max_length_) {
    nick.resize(max_length_ > suffix.size() ? max_length_ - suffix.size() : 0);
  }
  return nick + suffix;
}

}  // namespace morvane::irc
