// A bounded reader of one HTTP/1.x reply, for the few servers whose player
// lists are served over HTTP. Pure code: the bytes received so far in, and
// whether the server has closed; the worker owns the connection.
//
// The reply is a status line ("HTTP/1.1 200 OK"), header lines ended by an
// empty line, then the body: as many bytes as Content-Length says, the
// chunks of "Transfer-Encoding: chunked" (hexadecimal sizes, extensions
// after ";" ignored, trailer lines after the last chunk skipped), or without
// either everything up to the server's close. Lines end with CR LF or a bare
// LF. Header names are compared without regard to letter case. Interim
// replies (1xx) before the final one are skipped. Nothing else of HTTP is
// understood: a reply that needs more (another transfer coding, a header
// folded over two lines) is invalid.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace morvane {

// The most bytes of one reply, its status line and headers included: a
// longer one is invalid.
inline constexpr std::size_t kMaxHttpReplyBytes = 256 * 1024;

enum class HttpState {
  kIncomplete,  // the bytes so far are a valid start: read on
  kComplete,    // the reply is whole
  kInvalid,     // no usable reply, whatever follows
};

struct HttpReply {
  HttpState state = HttpState::kIncomplete;
  int status = 0;    // once complete
  std::string body;  // once complete: the body, its chunks joined
};

// The reply in the bytes received so far. closed says the server has closed
// the connection: a body that runs to the close is then complete, and one
// that the close cuts short is invalid. Bytes after a complete reply are
// ignored.
HttpReply ReadHttpReply(std::span<const std::uint8_t> received, bool closed);

// "GET path HTTP/1.1", the Host header as given, "Connection: close" and
// "Accept: application/json"; path and host must hold no control characters.
std::vector<std::uint8_t> MakeHttpGet(std::string_view path, std::string_view host);

}  // namespace morvane
