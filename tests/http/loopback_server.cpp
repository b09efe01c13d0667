#include "loopback_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/x509v3.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <stdexcept>

namespace tuvaro::testing {
namespace {

constexpr int kIoTimeoutSeconds = 10;

bool equalsIgnoringCase(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(a[i])) !=
        std::tolower(static_cast<unsigned char>(b[i]))) {
      return false;
    }
  }
  return true;
}

template <typename Visit>
void forEachHeader(const std::string& headers, Visit visit) {
  std::size_t at = 0;
  while (at < headers.size()) {
    const std::size_t end = headers.find("\r\n", at);
    const std::string line = headers.substr(at, end - at);
    const std::size_t colon = line.find(':');
    if (colon != std::string::npos) {
      std::size_t valueAt = colon + 1;
      while (valueAt < line.size() && line[valueAt] == ' ') ++valueAt;
      visit(line.substr(0, colon), line.substr(valueAt));
    }
    if (end == std::string::npos) break;
    at = end + 2;
  }
}

// One accepted connection, plain or TLS, with deadlines on every read and write.
class Channel {
 public:
  Channel(int socket, SSL_CTX* tls) : socket_(socket) {
    timeval timeout{kIoTimeoutSeconds, 0};
    setsockopt(socket_, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
    setsockopt(socket_, SOL_SOCKET, SO_SNDTIMEO, &timeout, sizeof timeout);
    if (tls) {
      ssl_ = SSL_new(tls);
      SSL_set_fd(ssl_, socket_);
      if (SSL_accept(ssl_) != 1) {
        SSL_free(ssl_);
        ssl_ = nullptr;
        failed_ = true;
      }
    }
    ERR_clear_error();
  }
  ~Channel() {
    if (ssl_) SSL_free(ssl_);
    ::close(socket_);
  }
  bool failed() const { return failed_; }

  long receive(char* buffer, std::size_t size) {
    if (ssl_) return SSL_read(ssl_, buffer, static_cast<int>(size));
    return ::recv(socket_, buffer, size, 0);
  }

  bool sendAll(std::string_view bytes) {
    while (!bytes.empty()) {
      const long sent = ssl_ ? SSL_write(ssl_, bytes.data(), static_cast<int>(bytes.size()))
                             : ::send(socket_, bytes.data(), bytes.size(), MSG_NOSIGNAL);
      if (sent <= 0) return false;
      bytes.remove_prefix(static_cast<std::size_t>(sent));
    }
    return true;
  }

  void finish(Reply::End end) {
    if (end == Reply::End::kReset) {
      linger hard{1, 0};
      setsockopt(socket_, SOL_SOCKET, SO_LINGER, &hard, sizeof hard);
      return;
    }
    if (ssl_) SSL_shutdown(ssl_);
    ::shutdown(socket_, SHUT_WR);
    // Let the client read to the end before the socket goes away.
    char drain[4096];
    pollfd p{socket_, POLLIN, 0};
    while (::poll(&p, 1, 2000) > 0 && ::recv(socket_, drain, sizeof drain, 0) > 0) {
    }
  }

 private:
  int socket_;
  SSL* ssl_ = nullptr;
  bool failed_ = false;
};

std::size_t contentLength(const std::string& headers) {
  std::size_t length = 0;
  forEachHeader(headers, [&length](const std::string& name, const std::string& value) {
    if (equalsIgnoringCase(name, "Content-Length"))
      length = std::strtoul(value.c_str(), nullptr, 10);
  });
  return length;
}

// ---- Certificates --------------------------------------------------------------------------

struct KeyFree {
  void operator()(EVP_PKEY* key) const { EVP_PKEY_free(key); }
};
struct CertFree {
  void operator()(X509* cert) const { X509_free(cert); }
};
using Key = std::unique_ptr<EVP_PKEY, KeyFree>;
using Cert = std::unique_ptr<X509, CertFree>;

void addExtension(X509* cert, X509* issuer, int nid, const char* value) {
  X509V3_CTX context;
  X509V3_set_ctx_nodb(&context);
  X509V3_set_ctx(&context, issuer, cert, nullptr, nullptr, 0);
  X509_EXTENSION* extension = X509V3_EXT_conf_nid(nullptr, &context, nid, value);
  if (!extension) throw std::runtime_error("bad certificate extension");
  X509_add_ext(cert, extension, -1);
  X509_EXTENSION_free(extension);
}

Cert makeCertificate(EVP_PKEY* key, const char* commonName, X509* issuer, EVP_PKEY* issuerKey,
                     bool authority, long serial) {
  Cert cert(X509_new());
  X509_set_version(cert.get(), 2);
  ASN1_INTEGER_set(X509_get_serialNumber(cert.get()), serial);
  X509_gmtime_adj(X509_getm_notBefore(cert.get()), -3600);
  X509_gmtime_adj(X509_getm_notAfter(cert.get()), 24 * 3600);
  X509_set_pubkey(cert.get(), key);
  X509_NAME* name = X509_get_subject_name(cert.get());
  X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC,
                             reinterpret_cast<const unsigned char*>(commonName), -1, -1, 0);
  X509* signer = issuer ? issuer : cert.get();
  X509_set_issuer_name(cert.get(), X509_get_subject_name(signer));
  addExtension(cert.get(), signer, NID_subject_key_identifier, "hash");
  if (authority) {
    addExtension(cert.get(), signer, NID_basic_constraints, "critical,CA:TRUE");
    addExtension(cert.get(), signer, NID_key_usage, "critical,keyCertSign,cRLSign");
  } else {
    addExtension(cert.get(), signer, NID_authority_key_identifier, "keyid");
    addExtension(cert.get(), signer, NID_basic_constraints, "critical,CA:FALSE");
    addExtension(cert.get(), signer, NID_subject_alt_name, "DNS:localhost,IP:127.0.0.1");
    addExtension(cert.get(), signer, NID_ext_key_usage, "serverAuth");
  }
  X509_sign(cert.get(), issuerKey ? issuerKey : key, EVP_sha256());
  return cert;
}

SSL_CTX* serverContext(X509* cert, EVP_PKEY* key) {
  SSL_CTX* context = SSL_CTX_new(TLS_server_method());
  if (!context || SSL_CTX_use_certificate(context, cert) != 1 ||
      SSL_CTX_use_PrivateKey(context, key) != 1) {
    throw std::runtime_error("cannot make a TLS server context");
  }
  return context;
}

}  // namespace

std::string RecordedRequest::header(const std::string& name) const {
  std::string found;
  bool seen = false;
  forEachHeader(headers, [&](const std::string& n, const std::string& value) {
    if (!seen && equalsIgnoringCase(n, name)) {
      found = value;
      seen = true;
    }
  });
  return found;
}

int RecordedRequest::countHeader(const std::string& name) const {
  int count = 0;
  forEachHeader(headers, [&](const std::string& n, const std::string&) {
    if (equalsIgnoringCase(n, name)) ++count;
  });
  return count;
}

LoopbackServer::LoopbackServer(Handler handler, SSL_CTX* tls)
    : handler_(std::move(handler)), tls_(tls) {
  listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  int yes = 1;
  setsockopt(listener_, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = 0;  // a free port
  if (::bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      ::listen(listener_, SOMAXCONN) != 0) {
    throw std::runtime_error("cannot listen on loopback");
  }
  socklen_t length = sizeof address;
  ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length);
  port_ = ntohs(address.sin_port);
  thread_ = std::thread([this] { run(); });
}

LoopbackServer::~LoopbackServer() { Stop(); }

void LoopbackServer::Stop() {
  stopping_ = true;
  if (thread_.joinable()) thread_.join();
  if (listener_ != -1) {
    ::close(listener_);
    listener_ = -1;
  }
}

std::string LoopbackServer::origin() const {
  return std::string(tls_ ? "https" : "http") + "://127.0.0.1:" + std::to_string(port_);
}

std::vector<RecordedRequest> LoopbackServer::requests() const {
  std::lock_guard lock(mutex_);
  return requests_;
}

void LoopbackServer::setHandler(Handler handler) {
  std::lock_guard lock(mutex_);
  handler_ = std::move(handler);
}

void LoopbackServer::clearRequests() {
  std::lock_guard lock(mutex_);
  requests_.clear();
  connections_ = 0;
}

void LoopbackServer::run() {
  while (!stopping_) {
    pollfd p{listener_, POLLIN, 0};
    if (::poll(&p, 1, 50) <= 0) continue;
    const int socket = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
    if (socket < 0) continue;
    ++connections_;
    serve(socket);
  }
}

void LoopbackServer::serve(int socket) {
  Channel channel(socket, tls_);
  if (channel.failed()) return;
  RecordedRequest request;
  char buffer[16384];
  std::size_t headerEnd = std::string::npos;
  while (headerEnd == std::string::npos) {
    const long got = channel.receive(buffer, sizeof buffer);
    if (got <= 0) return;
    request.raw.append(buffer, static_cast<std::size_t>(got));
    headerEnd = request.raw.find("\r\n\r\n");
  }
  const std::size_t lineEnd = request.raw.find("\r\n");
  request.requestLine = request.raw.substr(0, lineEnd);
  request.headers = request.raw.substr(lineEnd + 2, headerEnd + 2 - (lineEnd + 2));
  const std::size_t wanted = headerEnd + 4 + contentLength(request.headers);
  while (request.raw.size() < wanted) {
    const long got = channel.receive(buffer, sizeof buffer);
    if (got <= 0) break;
    request.raw.append(buffer, static_cast<std::size_t>(got));
  }
  request.body = request.raw.substr(headerEnd + 4);

  Handler handler;
  {
    std::lock_guard lock(mutex_);
    requests_.push_back(request);
    handler = handler_;
  }
  const Reply reply = handler ? handler(request) : Reply{};
  if (reply.pieceSize == 0) {
    channel.sendAll(reply.bytes);
  } else {
    for (std::size_t at = 0; at < reply.bytes.size(); at += reply.pieceSize) {
      if (!channel.sendAll(std::string_view(reply.bytes).substr(at, reply.pieceSize))) break;
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
  }
  channel.finish(reply.end);
}

TestCertificates::TestCertificates() {
  char folder[] = "/tmp/tuvaro-test-ca-XXXXXX";
  if (!::mkdtemp(folder)) throw std::runtime_error("cannot make a temporary folder");
  folder_ = folder;
  caFile_ = folder_ + "/ca.pem";

  const Key caKey(EVP_EC_gen("P-256"));
  const Cert ca = makeCertificate(caKey.get(), "Tuvaro Test CA", nullptr, nullptr, true, 1);
  const Key serverKey(EVP_EC_gen("P-256"));
  const Cert server =
      makeCertificate(serverKey.get(), "localhost", ca.get(), caKey.get(), false, 2);
  const Key strangerKey(EVP_EC_gen("P-256"));
  const Cert stranger = makeCertificate(strangerKey.get(), "localhost", nullptr, nullptr, false, 3);

  FILE* file = std::fopen(caFile_.c_str(), "w");
  if (!file) throw std::runtime_error("cannot write the test CA");
  PEM_write_X509(file, ca.get());
  std::fclose(file);

  trusted_ = serverContext(server.get(), serverKey.get());
  untrusted_ = serverContext(stranger.get(), strangerKey.get());
}

TestCertificates::~TestCertificates() {
  SSL_CTX_free(trusted_);
  SSL_CTX_free(untrusted_);
  std::error_code ignored;
  std::filesystem::remove_all(folder_, ignored);
}

std::string rawResponse(const std::string& statusLine, const std::vector<std::string>& headers,
                        const std::string& body) {
  std::string raw = statusLine + "\r\n";
  for (const std::string& header : headers) raw += header + "\r\n";
  raw += "\r\n";
  raw += body;
  return raw;
}

}  // namespace tuvaro::testing
