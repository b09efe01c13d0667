#include "http/http_request.h"

#include <algorithm>
#include <string>
#include <utility>

#include "http/body_buffer.h"
#include "http/charset.h"
#include "http/cookies.h"
#include "http/url.h"
#include "text/text_between.h"

namespace tuvaro {
namespace {

constexpr std::string_view kDefaultAgent =
    "Mozilla/4.0 (compatible; MSIE 9.0; Windows NT 6.1; K9VWT; .NET CLR 2.0.50727; "
    ".NET CLR 3.0.04506.648; .NET CLR 3.5.21022)";
constexpr std::size_t kReadChunk = 1024;
// The body is marked UTF-8 when "utf-8" begins at one of its first 499 bytes.
constexpr std::size_t kUtf8WindowStarts = 499;
constexpr std::string_view kUtf8Mark = "utf-8";

// Owns one transport handle and closes it, null included, when it goes out of scope. Declared
// in the order of opening, the guards close in reverse.
class HandleGuard {
 public:
  HandleGuard(Transport& transport, TransportHandle* handle)
      : transport_(transport), handle_(handle) {}
  HandleGuard(const HandleGuard&) = delete;
  HandleGuard& operator=(const HandleGuard&) = delete;
  ~HandleGuard() { close(); }

  TransportHandle* get() const { return handle_; }
  explicit operator bool() const { return handle_ != nullptr; }
  void close() {
    if (closed_) return;
    closed_ = true;
    transport_.close(handle_);
  }

 private:
  Transport& transport_;
  TransportHandle* handle_;
  bool closed_ = false;
};

Text agentText(const Text& extraHeaders) {
  if (!containsText(extraHeaders.view(), "User-Agent:", LetterCase::kIgnore)) {
    return Text(kDefaultAgent);
  }
  Text agent = trimSpaces(textBetween(extraHeaders.view(), "User-Agent:", "\r\n").view());
  if (agent.empty()) agent = headerValue(extraHeaders.view());
  return agent;
}

std::uint32_t requestFlags(const Text& url, const HttpRequestArgs& args) {
  std::uint32_t flags = kFlagReload | kFlagNeedFile;
  if (args.cookies) flags |= kFlagNoCookies;
  if (args.noRedirect) flags |= kFlagNoAutoRedirect;
  if (toLowerAscii(leftBytes(url.view(), 5)) == Text("https")) {
    flags |= kFlagSecure;
  } else {
    flags |= kFlagIgnoreRedirectToHttps;
  }
  return flags;
}

// The caller's header text completed with the default lines that it lacks. The searches are
// exact in letter case, so "referer:" does not count as a Referer line.
Text completeHeaderText(Text headers, const Text& url, const Text& cookies) {
  if (!containsText(headers.view(), "Referer:")) {
    headers += Text(headers.empty() ? "Referer: " : "\r\nReferer: ") + url;
  }
  if (!containsText(headers.view(), "Accept:")) headers += Text("\r\nAccept: */*");
  if (!containsText(headers.view(), "Accept-Language:")) {
    headers += Text("\r\nAccept-Language: zh-cn");
  }
  if (!containsText(headers.view(), "Content-Type:")) {
    headers += Text("\r\nContent-Type: application/x-www-form-urlencoded");
  }
  if (!cookies.empty()) headers += Text("\r\nCookie: ") + cookies;
  return headers;
}

bool markedUtf8(std::string_view body, const Text& responseHeaders) {
  const std::string_view window = body.substr(0, kUtf8WindowStarts - 1 + kUtf8Mark.size());
  if (window.find(kUtf8Mark) != std::string_view::npos) return true;
  return containsText(responseHeaders.view(), kUtf8Mark, LetterCase::kIgnore);
}

// Writes `value` into the caller's variable when the caller gave one.
template <typename T>
void deliver(T* target, T value) {
  if (target) *target = std::move(value);
}

}  // namespace

Text headerValue(std::string_view line) {
  const std::int64_t colon = findText(line, ":");
  if (colon == -1) return {};
  return trimSpaces(bytesFrom(line, colon + 1));
}

Text httpRequest(const Text& url, const HttpRequestArgs& args) {
  return httpRequest(programTransport(), url, args);
}

Text httpRequest(Transport& transport, const Text& url, const HttpRequestArgs& args) {
  const Text verb(args.method == 1 ? "POST" : "GET");
  const Text callerHeaders = args.extraHeaders ? *args.extraHeaders : Text();
  const Text agent = agentText(callerHeaders);

  std::optional<Text> proxyList;
  if (args.proxyAddress) proxyList = Text("http=") + *args.proxyAddress;
  HandleGuard internet(transport, transport.open(agent, proxyList));
  if (!internet) return {};
  HandleGuard connection(
      transport, transport.connect(internet.get(), urlHost(url.view()), urlPort(url.view())));
  if (!connection) return {};
  HandleGuard request(transport, transport.openRequest(connection.get(), verb, urlPath(url.view()),
                                                       Text("HTTP/1.1"), requestFlags(url, args)));
  if (!request) return {};

  const Text suppliedCookies = args.cookies ? *args.cookies : Text();
  const Text headerText = completeHeaderText(callerHeaders, url, suppliedCookies);
  deliver(args.extraHeaders, headerText);

  if (args.method == 0) {
    transport.send(request.get(), headerText, Bytes(), false);
  } else if (args.postBytes && !args.postBytes->empty()) {
    transport.send(request.get(), headerText, *args.postBytes, true);
  } else {
    const Bytes body(args.postText);
    deliver(args.postBytes, body);
    transport.send(request.get(), headerText, body, true);
  }

  BodyBuffer received;
  if (const auto announced = transport.announcedBodySize(request.get())) {
    received.expect(*announced);
  }
  char chunk[kReadChunk] = {};
  for (;;) {
    const std::size_t count = transport.read(request.get(), chunk, sizeof chunk);
    if (count == 0) break;
    received.append(chunk, count);
  }
  std::string body = received.take();

  const std::optional<Bytes> rawHeaders = transport.queryRawHeaders(request.get());
  const Text responseHeaders = rawHeaders ? rawHeaders->toText() : Text();

  request.close();
  connection.close();
  internet.close();

  Text redirectLocation = args.redirectLocation ? *args.redirectLocation : Text();
  std::string returned;
  for (const Text& line : splitText(responseHeaders.view(), "\r\n")) {
    if (containsText(line.view(), "Location:")) redirectLocation = headerValue(line.view());
    if (containsText(line.view(), "Set-Cookie")) {
      returned += trimSpaces(textBetween(line.view(), "Set-Cookie:", ";").view()).view();
      returned += "; ";
    }
  }
  Text returnedCookies(leftBytes(returned, static_cast<std::int64_t>(returned.size()) - 2));
  if (args.cookies) mergeCookies(*args.cookies, returnedCookies);
  if (redirectLocation.empty()) redirectLocation = responseHeaders;

  deliver(args.returnedCookies, std::move(returnedCookies));
  deliver(args.redirectLocation, std::move(redirectLocation));
  deliver(args.responseHeaders, responseHeaders);

  if (markedUtf8(body, responseHeaders)) {
    Bytes converted = convertCharset(Bytes(std::move(body)));
    body = std::move(converted.mutableStr());
  }
  return Text(std::move(body));  // cut before the first NUL
}

}  // namespace tuvaro
