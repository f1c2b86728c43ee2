// The log-in to services by SASL while registering: the AUTHENTICATE lines
// of a mechanism's answer, and how the server's replies end it.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace morvane::irc {

std::string Base64(std::string_view bytes);

// The AUTHENTICATE lines that carry a mechanism's answer: its base64 in
// pieces of 400 characters, then "+" when the last piece was a full one
// (or the answer empty), so that the server knows it has it all.
std::vector<std::string> AuthenticateLines(std::string_view answer);

// PLAIN's answer: "account NUL account NUL password".
std::string SaslPlainAnswer(std::string_view account, std::string_view password);

// A numeric that ends the log-in: 903 success; 902, 904, 905, 906, 907 a
// failure or an abort. 908 only lists the mechanisms the server knows.
bool EndsSasl(std::string_view numeric);

}  // namespace morvane::irc
