// The byte stream under one IRC connection: a plain TCP socket, or TLS over
// one when the build has OpenSSL (MORVANE_IRC_TLS). Everything runs on the
// io_context's thread; each operation completes through its handler.
#pragma once

#include <asio.hpp>
#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <system_error>

namespace morvane::irc {

// What a TLS connection trusts and shows besides the system's defaults.
struct TlsTrust {
  std::string ca_file;      // a CA (PEM) trusted besides the system's
  std::string fingerprint;  // the server certificate's SHA-256 in hex: that certificate, and
                            // only it, is accepted, whoever signed it and for whatever name
  std::string certificate;  // the client certificate (PEM), for SASL EXTERNAL
  std::string key;          // its key (PEM); empty: in the certificate's file
};

// The SHA-256 fingerprint as 64 lower-case hex digits, from hex with or
// without colons; empty when the text is no SHA-256.
std::string NormalizeFingerprint(std::string_view text);

class Transport {
 public:
  using Done = std::function<void(const std::error_code&)>;
  using Transferred = std::function<void(const std::error_code&, std::size_t)>;

  virtual ~Transport() = default;
  // Connects to the first endpoint that accepts and, for TLS, completes the
  // handshake (the server's certificate checked against the system's trusted
  // ones and the host name).
  virtual void Connect(const asio::ip::tcp::resolver::results_type& endpoints, Done done) = 0;
  virtual void ReadSome(asio::mutable_buffer buffer, Transferred done) = 0;
  // Writes all of the buffer, which must live until done runs.
  virtual void Write(asio::const_buffer buffer, Transferred done) = 0;
  // No more sending: the server sees the end of the stream and closes its
  // side once it has read what came before.
  virtual void ShutdownSending() = 0;
  // Closes at once; pending operations end with operation_aborted.
  virtual void Close() = 0;
};

std::unique_ptr<Transport> MakePlainTransport(asio::io_context& io);

// Nothing, with error set to one line, when TLS cannot be had (this build
// has no TLS, or the trusted certificates, the client certificate or its
// key cannot be loaded).
std::unique_ptr<Transport> MakeTlsTransport(asio::io_context& io, const std::string& host,
                                            const TlsTrust& trust, std::string& error);

// Whether this build can connect with TLS at all.
bool TlsAvailable();

}  // namespace morvane::irc
