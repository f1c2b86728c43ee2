#include "irc_transport.h"

#ifdef MORVANE_IRC_TLS
#include <openssl/evp.h>
#include <openssl/ssl.h>
#include <openssl/x509.h>

#include <asio/ssl.hpp>
#endif

namespace morvane::irc {
namespace {

class PlainTransport : public Transport {
 public:
  explicit PlainTransport(asio::io_context& io) : socket_(io) {}

  void Connect(const asio::ip::tcp::resolver::results_type& endpoints, Done done) override {
    asio::async_connect(socket_, endpoints,
                        [done = std::move(done)](const std::error_code& error,
                                                 const asio::ip::tcp::endpoint&) { done(error); });
  }
  void ReadSome(asio::mutable_buffer buffer, Transferred done) override {
    socket_.async_read_some(buffer, std::move(done));
  }
  void Write(asio::const_buffer buffer, Transferred done) override {
    asio::async_write(socket_, buffer, std::move(done));
  }
  void ShutdownSending() override {
    std::error_code ignored;
    socket_.shutdown(asio::ip::tcp::socket::shutdown_send, ignored);
  }
  void Close() override {
    std::error_code ignored;
    socket_.close(ignored);
  }

 private:
  asio::ip::tcp::socket socket_;
};

#ifdef MORVANE_IRC_TLS
class TlsTransport : public Transport {
 public:
  TlsTransport(asio::io_context& io, asio::ssl::context context, const std::string& host)
      : context_(std::move(context)), stream_(io, context_), host_(host) {}

  // fingerprint: normalised, or empty for the usual checks.
  bool Prepare(const std::string& fingerprint, std::string& error) {
    // The server name goes in the handshake (SNI), and the certificate
    // must be for that name, unless it is the one certificate trusted by
    // its fingerprint.
    if (!SSL_set_tlsext_host_name(stream_.native_handle(), host_.c_str())) {
      error = "cannot set the TLS server name";
      return false;
    }
    stream_.set_verify_mode(asio::ssl::verify_peer);
    if (fingerprint.empty()) {
      stream_.set_verify_callback(asio::ssl::host_name_verification(host_));
      return true;
    }
    stream_.set_verify_callback([fingerprint](bool, asio::ssl::verify_context& context) {
      X509_STORE_CTX* store = context.native_handle();
      // The chain above the server's own certificate does not matter.
      if (X509_STORE_CTX_get_error_depth(store) > 0) return true;
      X509* certificate = X509_STORE_CTX_get_current_cert(store);
      unsigned char digest[EVP_MAX_MD_SIZE];
      unsigned int size = 0;
      if (certificate == nullptr || !X509_digest(certificate, EVP_sha256(), digest, &size)) {
        return false;
      }
      static constexpr char kHex[] = "0123456789abcdef";
      std::string hex;
      for (unsigned int i = 0; i < size; ++i) {
        hex += kHex[digest[i] >> 4];
        hex += kHex[digest[i] & 15];
      }
      return hex == fingerprint;
    });
    return true;
  }

  void Connect(const asio::ip::tcp::resolver::results_type& endpoints, Done done) override {
    asio::async_connect(stream_.lowest_layer(), endpoints,
                        [this, done = std::move(done)](const std::error_code& error,
                                                       const asio::ip::tcp::endpoint&) mutable {
                          if (error) return done(error);
                          stream_.async_handshake(asio::ssl::stream_base::client, std::move(done));
                        });
  }
  void ReadSome(asio::mutable_buffer buffer, Transferred done) override {
    stream_.async_read_some(buffer, std::move(done));
  }
  void Write(asio::const_buffer buffer, Transferred done) override {
    asio::async_write(stream_, buffer, std::move(done));
  }
  void ShutdownSending() override {
    std::error_code ignored;
    stream_.lowest_layer().shutdown(asio::ip::tcp::socket::shutdown_send, ignored);
  }
  void Close() override {
    std::error_code ignored;
    stream_.lowest_layer().close(ignored);
  }

 private:
  asio::ssl::context context_;
  asio::ssl::stream<asio::ip::tcp::socket> stream_;
  std::string host_;
};
#endif

}  // namespace

std::unique_ptr<Transport> MakePlainTransport(asio::io_context& io) {
  return std::make_unique<PlainTransport>(io);
}

bool TlsAvailable() {
#ifdef MORVANE_IRC_TLS
  return true;
#else
  return false;
#endif
}

std::string NormalizeFingerprint(std::string_view text) {
  std::string hex;
  for (char c : text) {
    if (c == ':') continue;
    if (c >= 'A' && c <= 'F') c = static_cast<char>(c - 'A' + 'a');
    if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) return {};
    hex += c;
  }
  return hex.size() == 64 ? hex : std::string();
}

std::unique_ptr<Transport> MakeTlsTransport(asio::io_context& io, const std::string& host,
                                            const TlsTrust& trust, std::string& error) {
#ifdef MORVANE_IRC_TLS
  asio::ssl::context context(asio::ssl::context::tls_client);
  std::error_code code;
  // The system's trusted certificates; OpenSSL also reads SSL_CERT_FILE and
  // SSL_CERT_DIR here.
  context.set_default_verify_paths(code);
  if (code) {
    error = "cannot load the trusted certificates: " + code.message();
    return nullptr;
  }
  if (!trust.ca_file.empty()) context.load_verify_file(trust.ca_file, code);
  if (code) {
    error = "cannot load the CA file " + trust.ca_file + ": " + code.message();
    return nullptr;
  }
  if (!trust.certificate.empty()) {
    const std::string& key = trust.key.empty() ? trust.certificate : trust.key;
    context.use_certificate_chain_file(trust.certificate, code);
    if (code) {
      error = "cannot load the client certificate " + trust.certificate + ": " + code.message();
      return nullptr;
    }
    context.use_private_key_file(key, asio::ssl::context::pem, code);
    if (code) {
      error = "cannot load the client certificate's key " + key + ": " + code.message();
      return nullptr;
    }
  }
  std::string fingerprint;
  if (!trust.fingerprint.empty()) {
    fingerprint = NormalizeFingerprint(trust.fingerprint);
    if (fingerprint.empty()) {
      error = "the TLS fingerprint \"" + trust.fingerprint + "\" is no SHA-256 in hex";
      return nullptr;
    }
  }
  auto transport = std::make_unique<TlsTransport>(io, std::move(context), host);
  if (!transport->Prepare(fingerprint, error)) return nullptr;
  return transport;
#else
  (void)io;
  (void)host;
  (void)trust;
  error = "this build has no TLS";
  return nullptr;
#endif
}

}  // namespace morvane::irc
