// Datagrams for the protocol tests: captured replies of real game servers,
// a builder for hand-written ones, and the cut-at-every-byte walk.
//
// Captures are kept as hex text beside the project (shared/fixtures, next to
// the clone): one datagram a line, lowercase hex. A line may start with ">"
// (client to server) or "<" (server to client); lines starting with "#" are
// comments.
//
// Header-only, so every test executable can use it without a build change.
// The build names the folder (MORVANE_FIXTURES_DIR); tests derived from
// CaptureTest skip when it is missing, or fail where the build requires it
// (MORVANE_REQUIRE_FIXTURES, as in the Makefile's test runs).
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <fstream>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace morvane::test {

struct CapturedDatagram {
  char direction = 0;  // '>' client to server, '<' server to client, 0 unmarked.
  std::vector<std::uint8_t> bytes;

  std::span<const std::uint8_t> Span() const { return bytes; }
};

// <project root>/../shared/fixtures; this file is <project root>/tests/support/fixtures.h.
inline std::string FixturesDir() {
#ifdef MORVANE_FIXTURES_DIR
  return MORVANE_FIXTURES_DIR;
#else
  std::string here = __FILE__;
  std::size_t slash = here.find_last_of("/\\");
  std::string dir = slash == std::string::npos ? std::string(".") : here.substr(0, slash);
  return dir + "/../../../shared/fixtures";
#endif
}

inline bool FixturesPresent() {
  std::ifstream sources(FixturesDir() + "/SOURCES.md");
  return sources.good();
}

namespace detail {

inline int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace detail

// The datagrams of one fixture file, named relative to the fixtures folder
// ("a2s_info/psq_csgo.hex"). A missing file or a malformed line fails the
// test and gives what was read so far.
inline std::vector<CapturedDatagram> LoadCapture(const std::string& relative) {
  std::vector<CapturedDatagram> out;
  std::ifstream in(FixturesDir() + "/" + relative, std::ios::binary);
  if (!in) {
    ADD_FAILURE() << "cannot open fixture " << relative << " in " << FixturesDir();
    return out;
  }
  std::string line;
  while (std::getline(in, line)) {
    while (!line.empty() && (line.back() == '\r' || line.back() == ' ')) line.pop_back();
    if (line.empty() || line[0] == '#') continue;
    CapturedDatagram datagram;
    std::size_t pos = 0;
    if (line[0] == '>' || line[0] == '<') {
      datagram.direction = line[0];
      pos = 1;
    }
    while (pos < line.size() && line[pos] == ' ') ++pos;
    for (; pos + 1 < line.size(); pos += 2) {
      int high = detail::HexDigit(line[pos]);
      int low = detail::HexDigit(line[pos + 1]);
      if (high < 0 || low < 0) break;
      datagram.bytes.push_back(static_cast<std::uint8_t>(high * 16 + low));
    }
    if (pos != line.size()) {
      ADD_FAILURE() << "malformed hex in " << relative << ": " << line.substr(0, 40);
      return out;
    }
    out.push_back(std::move(datagram));
  }
  return out;
}

// The one datagram of a single-datagram fixture.
inline std::vector<std::uint8_t> LoadSingleCapture(const std::string& relative) {
  std::vector<CapturedDatagram> datagrams = LoadCapture(relative);
  if (datagrams.size() != 1) {
    ADD_FAILURE() << relative << " holds " << datagrams.size() << " datagrams, expected 1";
    return {};
  }
  return std::move(datagrams[0].bytes);
}

// Base for tests that read captures: skipped when the fixtures folder is not
// beside the project (a clone without it), failed when the build requires it.
class CaptureTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (FixturesPresent()) return;
#if defined(MORVANE_REQUIRE_FIXTURES) && MORVANE_REQUIRE_FIXTURES
    FAIL() << "no capture fixtures at " << FixturesDir();
#else
    GTEST_SKIP() << "no capture fixtures at " << FixturesDir();
#endif
  }
};

// Hand-written datagrams, field by field; numbers little-endian.
class DatagramBuilder {
 public:
  DatagramBuilder& U8(std::uint8_t v) {
    bytes_.push_back(v);
    return *this;
  }
  DatagramBuilder& U16(std::uint16_t v) { return U8(v & 0xFF).U8(v >> 8); }
  DatagramBuilder& U32(std::uint32_t v) { return U16(v & 0xFFFF).U16(v >> 16); }
  DatagramBuilder& I32(std::int32_t v) { return U32(static_cast<std::uint32_t>(v)); }
  DatagramBuilder& F32(float v) {
    std::uint32_t bits;
    std::memcpy(&bits, &v, sizeof bits);
    return U32(bits);
  }
  // The bytes of the text, without a terminator.
  DatagramBuilder& Text(std::string_view text) {
    bytes_.insert(bytes_.end(), text.begin(), text.end());
    return *this;
  }
  // The text and its NUL.
  DatagramBuilder& CString(std::string_view text) { return Text(text).U8(0); }
  DatagramBuilder& Raw(std::span<const std::uint8_t> bytes) {
    bytes_.insert(bytes_.end(), bytes.begin(), bytes.end());
    return *this;
  }

  std::vector<std::uint8_t> Bytes() const { return bytes_; }
  operator std::vector<std::uint8_t>() const { return bytes_; }

 private:
  std::vector<std::uint8_t> bytes_;
};

inline std::vector<std::uint8_t> BytesOf(std::string_view text) {
  return std::vector<std::uint8_t>(text.begin(), text.end());
}

// Calls check(cut, n) with the first n bytes of the reply, for every n from 0
// to its whole length. Each cut is a buffer of its own, exactly n bytes long,
// so a read past the cut is a heap overflow that AddressSanitizer reports.
template <typename Check>
void ForEachCut(const std::vector<std::uint8_t>& reply, Check check) {
  for (std::size_t n = 0; n <= reply.size(); ++n) {
    std::vector<std::uint8_t> cut(reply.begin(), reply.begin() + static_cast<std::ptrdiff_t>(n));
    SCOPED_TRACE("cut at " + std::to_string(n));
    check(std::span<const std::uint8_t>(cut), n);
  }
}

}  // namespace morvane::test
