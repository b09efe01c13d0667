// The transport that the request routine runs over: seven operations on opaque handles, in the
// shape of the classic Windows internet service, so that any HTTP client can stand behind it.
// Handles are opened in the order internet, connection, request and closed in reverse; null
// stands for failure, and closing null does nothing. A transport object may be used from
// several threads at once, each request on its own handles.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

#include "text/text.h"

namespace tuvaro {

// Request flags for openRequest. The values are those of the Windows internet service.
enum RequestFlag : std::uint32_t {
  // Always fetch from the server, never from a cache.
  kFlagReload = 0x80000000u,
  // The transport may keep a temporary copy of the response; no effect on what is received.
  kFlagNeedFile = 0x00000010u,
  // Send none of the transport's own cookies and keep none of the response's.
  kFlagNoCookies = 0x00080000u,
  // Do not follow redirects: the redirect response itself is what is read.
  kFlagNoAutoRedirect = 0x00200000u,
  // Use TLS, with the server's certificate verified.
  kFlagSecure = 0x00800000u,
  // A redirect from http to https is followed like any other.
  kFlagIgnoreRedirectToHttps = 0x00004000u,
};

// What a backend hands out for an open handle. Backends derive their own.
class TransportHandle {
 public:
  virtual ~TransportHandle() = default;
};

class Transport {
 public:
  virtual ~Transport() = default;

  // The internet handle. `agent` is the User-Agent of every request made through it. No proxy
  // list: direct connections, whatever the environment says. A proxy list such as
  // "http=127.0.0.1:8080": requests for http addresses go through that proxy, https ones go
  // direct; an empty host after "http=" means no proxy. Null on failure.
  virtual TransportHandle* open(const Text& agent, const std::optional<Text>& proxyList) = 0;

  // A connection to `server` on `port` (0: the scheme's default port). Nothing goes on the
  // wire yet. Null on failure (no internet handle, empty server name, port out of range).
  virtual TransportHandle* connect(TransportHandle* internet, const Text& server,
                                   std::int32_t port) = 0;

  // A request with the verb, object path for the request line, protocol version text and
  // RequestFlag bits. Null on failure.
  virtual TransportHandle* openRequest(TransportHandle* connection, const Text& verb,
                                       const Text& objectName, const Text& version,
                                       std::uint32_t flags) = 0;

  // Sends the request with `headers` (lines separated by "\r\n", no trailing break, sent
  // unchanged beside the host and body-length lines the transport adds) and `body` (sent only
  // when `withBody`). Returns once the final response's headers have arrived, redirects
  // followed as the flags say. False when no response arrived.
  virtual bool send(TransportHandle* request, const Text& headers, const Bytes& body,
                    bool withBody) = 0;

  // Copies up to `capacity` bytes of the response body into `buffer`, as they arrive, with
  // any transfer coding removed. Returns the count: 0 at the end of the body and on failure.
  virtual std::size_t read(TransportHandle* request, char* buffer, std::size_t capacity) = 0;

  // The final response's status line and header lines, each ended by "\r\n", whatever their
  // length; interim 1xx responses are not included. Nullopt when no response arrived.
  virtual std::optional<Bytes> queryRawHeaders(TransportHandle* request) = 0;

  // Closes any handle; null is accepted and does nothing.
  virtual void close(TransportHandle* handle) = 0;

  // Not one of the seven operations but a hint beside them: the length that the final
  // response announces for its body (Content-Length), once send has returned, so that the
  // caller can size its buffer once. Nullopt when unknown; a backend need not tell.
  virtual std::optional<std::uint64_t> announcedBodySize(TransportHandle* /*request*/) {
    return std::nullopt;
  }
};

}  // namespace tuvaro
