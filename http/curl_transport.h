// The transport over libcurl. It follows redirects with a loop of its own, so that it can
// tell http-to-https (followed) from https-to-http (refused), and it keeps cookies in the
// process-wide CookieStore rather than in libcurl's cookie engine, which may not be shared
// between threads. Every request speaks HTTP/1.1, verifies TLS certificates, ignores proxy
// settings from the environment, asks for no content coding and sends no
// "Expect: 100-continue".
//
// What libcurl itself refuses, the request fails on (no response, no headers): a status line
// that is not HTTP/1.x, a header line without a colon, a header block over 300 KiB.
#pragma once

#include <string>

#include "http/transport.h"

namespace tuvaro {

struct CurlTransportOptions {
  // A PEM file of certificate authorities to trust instead of the system's. Empty in the
  // program; tests name a CA that they make themselves.
  std::string caFile;
};

class CurlTransport final : public Transport {
 public:
  explicit CurlTransport(CurlTransportOptions options = {});

  TransportHandle* open(const Text& agent, const std::optional<Text>& proxyList) override;
  TransportHandle* connect(TransportHandle* internet, const Text& server,
                           std::int32_t port) override;
  TransportHandle* openRequest(TransportHandle* connection, const Text& verb,
                               const Text& objectName, const Text& version,
                               std::uint32_t flags) override;
  bool send(TransportHandle* request, const Text& headers, const Bytes& body,
            bool withBody) override;
  std::size_t read(TransportHandle* request, char* buffer, std::size_t capacity) override;
  std::optional<Bytes> queryRawHeaders(TransportHandle* request) override;
  void close(TransportHandle* handle) override;
  std::optional<std::uint64_t> announcedBodySize(TransportHandle* request) override;

  // Redirects followed at most; one more makes the request fail.
  static constexpr int kMaxRedirects = 5;

 private:
  CurlTransportOptions options_;
};

}  // namespace tuvaro
