// A tiny HTTP server on 127.0.0.1 for tests: it accepts connections one after another on a
// free port, records each request exactly as the bytes arrived, and answers with the exact raw
// bytes that the test scripts. It can speak TLS with a given certificate, and it bounds its
// own time: every wait has a deadline, and Stop() closes everything and joins the thread.
#pragma once

#include <openssl/ssl.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace tuvaro::testing {

struct RecordedRequest {
  std::string raw;          // everything the client sent for this request, body included
  std::string requestLine;  // e.g. "GET /a HTTP/1.1"
  std::string headers;      // the header lines after the request line, each ended by "\r\n"
  std::string body;

  // The value of the first header line named `name` (any letter case), or "" when absent.
  std::string header(const std::string& name) const;
  // How many header lines are named `name` (any letter case).
  int countHeader(const std::string& name) const;
};

struct Reply {
  std::string bytes;  // sent exactly as given
  enum class End { kClose, kReset } end = End::kClose;
  // Bytes are sent in pieces of this size with a short pause between (0: all at once).
  std::size_t pieceSize = 0;
};

class LoopbackServer {
 public:
  using Handler = std::function<Reply(const RecordedRequest&)>;

  // Starts listening on a free port; `tls` (may be null) makes it a TLS server.
  explicit LoopbackServer(Handler handler, SSL_CTX* tls = nullptr);
  ~LoopbackServer();
  LoopbackServer(const LoopbackServer&) = delete;
  LoopbackServer& operator=(const LoopbackServer&) = delete;

  std::uint16_t port() const { return port_; }
  // "http://127.0.0.1:PORT" (or https).
  std::string origin() const;
  std::vector<RecordedRequest> requests() const;
  int connections() const { return connections_; }
  void setHandler(Handler handler);
  void clearRequests();
  void Stop();

 private:
  void run();
  void serve(int socket);

  Handler handler_;
  SSL_CTX* tls_;
  int listener_ = -1;
  std::uint16_t port_ = 0;
  std::atomic<bool> stopping_{false};
  std::atomic<int> connections_{0};
  mutable std::mutex mutex_;
  std::vector<RecordedRequest> requests_;
  std::thread thread_;
};

// A certificate authority and server certificates made at test time, in a temporary folder.
class TestCertificates {
 public:
  TestCertificates();
  ~TestCertificates();
  // The CA that the tests trust, as a PEM file.
  const std::string& caFile() const { return caFile_; }
  // A server context whose certificate (for 127.0.0.1 and localhost) the test CA signed.
  SSL_CTX* trustedServer() const { return trusted_; }
  // A server context with a self-signed certificate that nobody trusts.
  SSL_CTX* untrustedServer() const { return untrusted_; }

 private:
  std::string folder_;
  std::string caFile_;
  SSL_CTX* trusted_ = nullptr;
  SSL_CTX* untrusted_ = nullptr;
};

// Builds a response: status line, header lines and body, joined with "\r\n".
std::string rawResponse(const std::string& statusLine, const std::vector<std::string>& headers,
                        const std::string& body);

}  // namespace tuvaro::testing
