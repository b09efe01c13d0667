// One complete HTTP or HTTPS request: verb, User-Agent, the request header text with its
// fixed default lines, the whole body, the raw response headers, the redirect location, the
// returned cookies and their merge, and a UTF-8 body converted to code page 936.
//
// The common call is the simplest: httpRequest(url) sends a GET with the default headers over
// a direct connection, with the transport's own cookies and redirects, and returns the body.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

#include "http/transport.h"
#include "text/text.h"

namespace tuvaro {

// Everything after the address, all optional. Pointers are the caller's own variables, which
// the routine reads and replaces as each field says; null means left out.
struct HttpRequestArgs {
  // 1 selects "POST", every other value "GET"; every value other than 0 sends a body.
  std::int32_t method = 0;
  // The body as text; sent only when `postBytes` is empty.
  Text postText{};
  // In/out. Supplied (even empty): sent in a Cookie line when not empty, the transport's own
  // cookies are off, and afterwards it holds the merge with the returned cookies.
  Text* cookies = nullptr;
  // Out: the name=value pieces of the response's Set-Cookie lines, joined by "; ".
  Text* returnedCookies = nullptr;
  // In/out: the caller's header lines, separated by "\r\n", no trailing break; afterwards the
  // completed header text that was sent.
  Text* extraHeaders = nullptr;
  // In/out: the value of the response's Location line (Content-Location counts); when there
  // is none it keeps a non-empty value passed in, else it becomes the whole header text.
  Text* redirectLocation = nullptr;
  // True: redirects are not followed; the redirect response itself is read.
  bool noRedirect = false;
  // In/out: the body as bytes. When a body is sent and this is empty, it is set to the bytes
  // of `postText`.
  Bytes* postBytes = nullptr;
  // Supplied (even empty): http addresses go through the proxy "http=" + this address.
  std::optional<Text> proxyAddress{};
  // Out: the raw status line and header lines of the final response, each ended by "\r\n",
  // whatever their length; empty when no response arrived.
  Text* responseHeaders = nullptr;
};

// Performs the request over the program's transport (libcurl) and returns the body as Text:
// converted from UTF-8 to code page 936 when marked so, cut before its first NUL byte. Empty
// when the transport could not be opened; a failed transfer gives what arrived before the
// failure. Nothing is raised and nothing is logged.
Text httpRequest(const Text& url, const HttpRequestArgs& args = {});

// The same over a given transport (tests use a scripted one, or one that trusts a test CA).
Text httpRequest(Transport& transport, const Text& url, const HttpRequestArgs& args = {});

// The value of a header line: the text after its first ":", spaces (0x20 and 0xA1 0xA1)
// trimmed at both ends; empty when the line has no colon. Tabs and line breaks stay.
// Example: headerValue("Location: /a \r") == "/a \r".
Text headerValue(std::string_view line);

// The process-wide transport that httpRequest(url) uses.
Transport& programTransport();

}  // namespace tuvaro
