#include "games/http_reply.h"

#include <algorithm>
#include <optional>

#include "common/byte_reader.h"

namespace morvane {
namespace {

// A chunk size longer than this many hexadecimal digits is beyond the bound
// anyway.
constexpr std::size_t kMaxChunkSizeDigits = 8;

enum class LineResult { kLine, kIncomplete };

// The next line from the reader's position, without its CR LF or LF; the
// position moves past the line's end. Incomplete when no LF has come yet
// (the position then stays).
LineResult ReadLine(ByteReader& reader, std::string_view& line) {
  const auto data = reader.Data();
  const auto begin = data.begin() + static_cast<std::ptrdiff_t>(reader.Position());
  const auto lf = std::find(begin, data.end(), '\n');
  if (lf == data.end()) return LineResult::kIncomplete;
  const auto bytes = reader.ReadBytes(static_cast<std::size_t>(lf - begin) + 1);
  line = std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size() - 1);
  if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
  return LineResult::kLine;
}

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                            [](char x, char y) { return Lower(x) == Lower(y); });
}

std::string_view TrimBlanks(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  return text;
}

// Decimal digits only, up to the bound; nothing otherwise.
std::optional<std::size_t> ParseLength(std::string_view text) {
  if (text.empty()) return std::nullopt;
  std::size_t value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + static_cast<std::size_t>(c - '0');
    if (value > kMaxHttpReplyBytes) return std::nullopt;
  }
  return value;
}

// A chunk size: hexadecimal digits, then optionally blanks and ";" with
// extensions, which are ignored.
std::optional<std::size_t> ParseChunkSize(std::string_view line) {
  const std::string_view digits = line.substr(0, line.find_first_of("; \t"));
  if (digits.empty() || digits.size() > kMaxChunkSizeDigits) return std::nullopt;
  const std::string_view rest = TrimBlanks(line.substr(digits.size()));
  if (!rest.empty() && rest.front() != ';') return std::nullopt;
  std::size_t value = 0;
  for (char c : digits) {
    const char l = Lower(c);
    int digit = 0;
    if (l >= '0' && l <= '9') {
      digit = l - '0';
    } else if (l >= 'a' && l <= 'f') {
      digit = l - 'a' + 10;
    } else {
      return std::nullopt;
    }
    value = value * 16 + static_cast<std::size_t>(digit);
  }
  return value;
}

// "HTTP/1.x NNN" and an optional reason.
std::optional<int> ParseStatusLine(std::string_view line) {
  if (line.size() < 12 || line.substr(0, 7) != "HTTP/1." || line[7] < '0' || line[7] > '9' ||
      line[8] != ' ') {
    return std::nullopt;
  }
  int status = 0;
  for (std::size_t i = 9; i < 12; ++i) {
    if (line[i] < '0' || line[i] > '9') return std::nullopt;
    status = status * 10 + (line[i] - '0');
  }
  if (line.size() > 12 && line[12] != ' ') return std::nullopt;
  if (status < 100) return std::nullopt;
  return status;
}

struct Head {
  int status = 0;
  bool chunked = false;
  std::optional<std::size_t> length;
};

HttpReply Invalid() { return {HttpState::kInvalid, 0, {}}; }
HttpReply Incomplete() { return {}; }

// The header lines up to the empty line. kInvalid in the result for a line
// that is no header, a length that is no number or two that differ, and a
// transfer coding other than chunked.
HttpState ReadHeaders(ByteReader& reader, Head& head) {
  std::string_view line;
  for (;;) {
    if (ReadLine(reader, line) == LineResult::kIncomplete) return HttpState::kIncomplete;
    if (line.empty()) return HttpState::kComplete;
    const std::size_t colon = line.find(':');
    // A line that starts with a blank continues the one before: an old form
    // that replies must no longer use.
    if (colon == std::string_view::npos || colon == 0 || line.front() == ' ' ||
        line.front() == '\t') {
      return HttpState::kInvalid;
    }
    const std::string_view name = line.substr(0, colon);
    const std::string_view value = TrimBlanks(line.substr(colon + 1));
    if (EqualsIgnoringCase(name, "content-length")) {
      const auto length = ParseLength(value);
      if (!length || (head.length && *head.length != *length)) return HttpState::kInvalid;
      head.length = length;
    } else if (EqualsIgnoringCase(name, "transfer-encoding")) {
      // Only "chunked" alone is read; "identity" is the absence of a coding.
      if (EqualsIgnoringCase(value, "chunked")) {
        head.chunked = true;
      } else if (!EqualsIgnoringCase(value, "identity")) {
        return HttpState::kInvalid;
      }
    }
  }
}

HttpReply ReadChunkedBody(ByteReader& reader, int status, bool closed) {
  HttpReply reply{HttpState::kComplete, status, {}};
  std::string_view line;
  for (;;) {
    if (ReadLine(reader, line) == LineResult::kIncomplete) {
      return closed ? Invalid() : Incomplete();
    }
    const auto size = ParseChunkSize(line);
    if (!size) return Invalid();
    if (*size == 0) break;
    if (*size > reader.Remaining()) {
      return closed || *size > kMaxHttpReplyBytes ? Invalid() : Incomplete();
    }
    const auto data = reader.ReadBytes(*size);
    reply.body.append(reinterpret_cast<const char*>(data.data()), data.size());
    if (ReadLine(reader, line) == LineResult::kIncomplete) {
      return closed ? Invalid() : Incomplete();
    }
    if (!line.empty()) return Invalid();
  }
  // The trailer: header lines up to an empty one, skipped.
  for (;;) {
    if (ReadLine(reader, line) == LineResult::kIncomplete) {
      return closed ? Invalid() : Incomplete();
    }
    if (line.empty()) return reply;
  }
}

}  // namespace

HttpReply ReadHttpReply(std::span<const std::uint8_t> received, bool closed) {
  if (received.size() > kMaxHttpReplyBytes) return Invalid();
  ByteReader reader(received);
  Head head;
  for (;;) {
    std::string_view line;
    const std::size_t line_start = reader.Position();
    if (ReadLine(reader, line) == LineResult::kIncomplete) {
      // What has come of the status line must already be its start.
      const auto start = received.subspan(line_start);
      constexpr std::string_view kStart = "HTTP/1.";
      const std::size_t n = std::min(start.size(), kStart.size());
      if (!std::equal(start.begin(), start.begin() + static_cast<std::ptrdiff_t>(n),
                      kStart.begin())) {
        return Invalid();
      }
      return closed ? Invalid() : Incomplete();
    }
    const auto status = ParseStatusLine(line);
    if (!status) return Invalid();
    head = Head{*status, false, std::nullopt};
    const HttpState headers = ReadHeaders(reader, head);
    if (headers == HttpState::kInvalid) return Invalid();
    if (headers == HttpState::kIncomplete) return closed ? Invalid() : Incomplete();
    // An interim reply (100 Continue and the like) comes before the real
    // one; 101 switches protocols, which a reply to a plain GET never does.
    if (head.status >= 200) break;
    if (head.status == 101) return Invalid();
  }
  // These statuses never carry a body.
  if (head.status == 204 || head.status == 304) return {HttpState::kComplete, head.status, {}};
  if (head.chunked) return ReadChunkedBody(reader, head.status, closed);
  if (head.length) {
    if (*head.length > reader.Remaining()) return closed ? Invalid() : Incomplete();
    const auto body = reader.ReadBytes(*head.length);
    return {HttpState::kComplete, head.status,
            std::string(reinterpret_cast<const char*>(body.data()), body.size())};
  }
  // The body runs to the close.
  if (!closed) return Incomplete();
  const auto body = reader.ReadBytes(reader.Remaining());
  return {HttpState::kComplete, head.status,
          std::string(reinterpret_cast<const char*>(body.data()), body.size())};
}

std::vector<std::uint8_t> MakeHttpGet(std::string_view path, std::string_view host) {
  std::string request = "GET ";
  request.append(path);
  request.append(" HTTP/1.1\r\nHost: ");
  request.append(host);
  request.append("\r\nAccept: application/json\r\nConnection: close\r\n\r\n");
  return std::vector<std::uint8_t>(request.begin(), request.end());
}

}  // namespace morvane
