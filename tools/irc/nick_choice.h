// Which nick a connection asks for: the one wanted, a form of it the server
// accepts, and the variants tried while it is taken. Pure: the connection
// reports what the server refused and sends what comes back.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace morvane::irc {

// A nick every server accepts made of a name: Russian letters written in
// Latin ones ("Морвейн" is "Morvejn"), other characters that cannot be in a
// nick dropped, and no digit or "-" in front. Empty when nothing is left.
std::string ValidNickForm(std::string_view name);

class NickChooser {
 public:
  // The fallback is used when no form of the wanted nick is accepted.
  NickChooser(std::string wanted, std::string fallback);

  // The nick the connection holds when it can: the wanted one, or the form
  // of it that the server accepted, cut to the server's longest nick.
  const std::string& Wanted() const { return wanted_; }
  // A new connection starts over with the wanted nick: the one to send.
  std::string Restart();
  // The server's NICKLEN; 0 leaves the length unknown.
  void SetMaxLength(std::size_t length);
  // The server says the nick last tried is in use (433, 436): the next.
  std::string Taken();
  // The server refuses the nick last tried as erroneous (432): the next,
  // or empty when every form has been refused (the connection then starts
  // over later).
  std::string Refused();

 private:
  std::string Variant() const;

  std::string wanted_;
  std::string fallback_;
  std::string base_;  // what the variants are made of
  int attempt_ = 0;   // 0: base_ itself; 1 "_", 2 "__", then 1, 2 ...
  std::size_t max_length_ = 0;
  std::size_t refusals_ = 0;  // of this connection, in a row
  std::string last_;          // the nick last tried
  bool after_taken_ = false;  // it was tried because the one before was in use
};

}  // namespace morvane::irc
