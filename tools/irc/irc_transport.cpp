#include "irc_transport.h"

#ifdef MORVANE_IRC_TLS
#include <openssl/ssl.h>

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

  bool Prepare(std::string& error) {
    // The server name goes in the handshake (SNI), and the certificate
    // must be for that name.
    if (!SSL_set_tlsext_host_name(stream_.native_handle(), host_.c_str())) {
      error = "cannot set the TLS server name";
      return false;
    }
    stream_.set_verify_mode(asio::ssl::verify_peer);
    stream_.set_verify_callback(asio::ssl::host_name_verification(host_));
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

std::unique_ptr<Transport> MakeTlsTransport(asio::io_context& io, const std::string& host,
                                            std::string& error) {
#ifdef MORVANE_IRC_TLS
  asio::ssl::context context(asio::ssl::context::tls_client);
  std::error_code code;
  // The system's trusted certificates; OpenSSL also reads SSL_CERT_FILE and
  // SSL_CERT_DIR here, which lets a test trust its own server.
  context.set_default_verify_paths(code);
  if (code) {
    error = "cannot load the trusted certificates: " + code.message();
    return nullptr;
  }
  auto transport = std::make_unique<TlsTransport>(io, std::move(context), host);
  if (!transport->Prepare(error)) return nullptr;
  return transport;
#else
  (void)io;
  (void)host;
  error = "this build has no TLS";
  return nullptr;
#endif
}

}  // namespace morvane::irc
