#include "http/curl_transport.h"

#include <curl/curl.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>

#include "http/cookie_store.h"
#include "http/http_request.h"

namespace tuvaro {
namespace {

struct EasyCloser {
  void operator()(CURL* easy) const { curl_easy_cleanup(easy); }
};
struct MultiCloser {
  void operator()(CURLM* multi) const { curl_multi_cleanup(multi); }
};
struct ListCloser {
  void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};
struct UrlCloser {
  void operator()(CURLU* url) const { curl_url_cleanup(url); }
};
struct CurlStringCloser {
  void operator()(char* text) const { curl_free(text); }
};
using Easy = std::unique_ptr<CURL, EasyCloser>;
using Multi = std::unique_ptr<CURLM, MultiCloser>;
using HeaderList = std::unique_ptr<curl_slist, ListCloser>;
using Url = std::unique_ptr<CURLU, UrlCloser>;
using CurlString = std::unique_ptr<char, CurlStringCloser>;

// Small enough that libcurl's buffer and the pending bytes stay in the processor's caches while
// they are copied on (larger buffers measured slower on a 256 MiB local download), large
// enough to keep system calls few. It also bounds how much of the body is held between two
// reads, since the transfer is driven only when that is used up.
constexpr long kReceiveBufferSize = 32 * 1024;
constexpr int kPollMilliseconds = 1000;
constexpr long kDefaultProxyPort = 80;

void initialiseCurlOnce() {
  static const CURLcode initialised = curl_global_init(CURL_GLOBAL_DEFAULT);
  static_cast<void>(initialised);
}

bool startsWithIgnoringCase(std::string_view text, std::string_view prefix) {
  return text.size() >= prefix.size() && equalsIgnoringCase(text.substr(0, prefix.size()), prefix);
}

std::string_view trimBlanks(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  return s;
}

// The value of a header line whose name is exactly `name` (any letter case), or nullopt.
std::optional<std::string_view> headerLineValue(std::string_view line, std::string_view name) {
  if (line.size() <= name.size() || line[name.size()] != ':' ||
      !startsWithIgnoringCase(line, name)) {
    return std::nullopt;
  }
  return trimBlanks(line.substr(name.size() + 1));
}

// Splits a raw header block at "\r\n" into its lines.
template <typename Visit>
void forEachLine(std::string_view block, Visit visit) {
  while (!block.empty()) {
    const std::size_t end = block.find("\r\n");
    visit(block.substr(0, end));
    if (end == std::string_view::npos) break;
    block.remove_prefix(end + 2);
  }
}

// The http proxy named by a proxy list: the host after "http=" in one of its entries
// (separated by spaces or ";"). Entries for other schemes are not used: https goes direct.
std::string httpProxyOf(std::string_view list) {
  while (!list.empty()) {
    const std::size_t end = list.find_first_of(" ;");
    const std::string_view entry = list.substr(0, end);
    if (startsWithIgnoringCase(entry, "http=")) return std::string(entry.substr(5));
    if (end == std::string_view::npos) break;
    list.remove_prefix(end + 1);
  }
  return {};
}

struct Internet final : TransportHandle {
  std::string agent;
  std::string httpProxy;
};

struct Connection final : TransportHandle {
  std::string agent;
  std::string httpProxy;
  std::string server;
  std::int32_t port = 0;
};

// Where one hop of a request goes.
struct Target {
  bool secure = false;
  std::string host;
  std::int32_t port = 0;  // 0: the scheme's default
  std::string requestTarget;

  std::string origin() const {
    std::string origin = secure ? "https://" : "http://";
    origin += host;
    if (port != 0) {
      origin += ':';
      origin += std::to_string(port);
    }
    return origin;
  }
};

enum class HopOutcome { kFinal, kFollow, kRefused };

class Request final : public TransportHandle {
 public:
  Request(const Connection& connection, std::string verb, std::string objectName,
          std::uint32_t flags, std::string caFile)
      : agent_(connection.agent),
        httpProxy_(connection.httpProxy),
        verb_(std::move(verb)),
        flags_(flags),
        caFile_(std::move(caFile)),
        multi_(curl_multi_init()) {
    target_.secure = (flags & kFlagSecure) != 0;
    target_.host = toLowerAscii(connection.server).str();
    target_.port = connection.port;
    target_.requestTarget = std::move(objectName);
  }
  Request(const Request&) = delete;
  Request& operator=(const Request&) = delete;
  ~Request() override { endHop(); }

  bool valid() const { return multi_ != nullptr; }

  bool send(std::string_view headers, const Bytes& body, bool withBody) {
    if (sent_) return false;
    sent_ = true;
    if (!buildHeaderList(headers)) return fail();
    body_ = body.str();
    hopHasBody_ = withBody;
    for (int redirects = 0;;) {
      if (!startHop()) return fail();
      while (!headersComplete_ && !hopDone_) {
        pump();
        if (!headersComplete_ && !hopDone_) wait();
      }
      if (!headersComplete_) return fail();
      keepCookies();
      Target next;
      switch (nextHop(next)) {
        case HopOutcome::kFinal:
          responded_ = true;
          return true;
        case HopOutcome::kRefused:
          return fail();
        case HopOutcome::kFollow:
          break;
      }
      if (++redirects > CurlTransport::kMaxRedirects) return fail();
      if ((status_ == 301 || status_ == 302 || status_ == 303) &&
          (verb_ == "POST" || hopHasBody_)) {
        verb_ = "GET";
        hopHasBody_ = false;
      }
      endHop();
      target_ = std::move(next);
    }
  }

  std::size_t read(char* buffer, std::size_t capacity) {
    if (!responded_ || capacity == 0) return 0;
    while (pendingAt_ == pending_.size() && !hopDone_) {
      pending_.clear();
      pendingAt_ = 0;
      pump();
      if (pending_.empty() && !hopDone_) wait();
    }
    const std::size_t count = std::min(capacity, pending_.size() - pendingAt_);
    std::memcpy(buffer, pending_.data() + pendingAt_, count);
    pendingAt_ += count;
    return count;
  }

  std::optional<std::uint64_t> announcedBodySize() const {
    curl_off_t length = -1;
    if (!responded_ || !easy_ ||
        curl_easy_getinfo(easy_.get(), CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &length) != CURLE_OK ||
        length < 0) {
      return std::nullopt;
    }
    return static_cast<std::uint64_t>(length);
  }

  std::optional<Bytes> rawHeaders() const {
    if (!responded_) return std::nullopt;
    return Bytes(headerBlock_);
  }

 private:
  // The caller's lines go out as they are. Lines with an empty value are written as "Name;",
  // libcurl's way of sending "Name:" rather than removing the header. Accept, Content-Type and
  // Expect lines that libcurl would add by itself are switched off unless the caller has them.
  bool buildHeaderList(std::string_view headers) {
    bool hasAccept = false, hasContentType = false, hasExpect = false;
    curl_slist* list = nullptr;
    auto add = [&list](const std::string& line) {
      curl_slist* grown = curl_slist_append(list, line.c_str());
      if (!grown) return false;
      list = grown;
      return true;
    };
    bool ok = true;
    forEachLine(headers, [&](std::string_view line) {
      if (line.empty() || !ok) return;
      hasAccept = hasAccept || startsWithIgnoringCase(line, "Accept:");
      hasContentType = hasContentType || startsWithIgnoringCase(line, "Content-Type:");
      hasExpect = hasExpect || startsWithIgnoringCase(line, "Expect:");
      const std::size_t colon = line.find(':');
      if (colon != std::string_view::npos && trimBlanks(line.substr(colon + 1)).empty()) {
        ok = add(std::string(line.substr(0, colon)) + ";");
      } else {
        ok = add(std::string(line));
      }
    });
    if (ok && !hasAccept) ok = add("Accept:");
    if (ok && !hasContentType) ok = add("Content-Type:");
    if (ok && !hasExpect) ok = add("Expect:");
    headerList_.reset(list);
    return ok;
  }

  bool startHop() {
    easy_.reset(curl_easy_init());
    if (!easy_) return false;
    headerBlock_.clear();
    headersComplete_ = false;
    status_ = 0;
    hopDone_ = false;
    pending_.clear();
    pendingAt_ = 0;

    CURL* easy = easy_.get();
    const std::string origin = target_.origin();
    const bool viaProxy = !target_.secure && !httpProxy_.empty();
    const std::string url = origin + "/";
    const std::string requestTarget =
        viaProxy ? origin + target_.requestTarget : target_.requestTarget;
    std::string proxy;
    if (viaProxy) proxy.append("http://").append(httpProxy_);

    bool ok = curl_easy_setopt(easy, CURLOPT_URL, url.c_str()) == CURLE_OK;
    ok = ok && curl_easy_setopt(easy, CURLOPT_REQUEST_TARGET, requestTarget.c_str()) == CURLE_OK;
    ok = ok && curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "http,https") == CURLE_OK;
    // An explicit proxy (or "") and no-proxy list override the environment's.
    ok = ok && curl_easy_setopt(easy, CURLOPT_PROXY, proxy.c_str()) == CURLE_OK;
    ok = ok && curl_easy_setopt(easy, CURLOPT_NOPROXY, "") == CURLE_OK;
    ok = ok && curl_easy_setopt(easy, CURLOPT_PROXYPORT, kDefaultProxyPort) == CURLE_OK;
    ok = ok && curl_easy_setopt(easy, CURLOPT_HTTP_VERSION, CURL_HTTP_VERSION_1_1) == CURLE_OK;
    ok = ok && curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L) == CURLE_OK;
    ok = ok && curl_easy_setopt(easy, CURLOPT_FOLLOWLOCATION, 0L) == CURLE_OK;
    ok = ok && curl_easy_setopt(easy, CURLOPT_USERAGENT, agent_.c_str()) == CURLE_OK;
    ok = ok && curl_easy_setopt(easy, CURLOPT_HTTPHEADER, headerList_.get()) == CURLE_OK;
    ok = ok && curl_easy_setopt(easy, CURLOPT_SSL_VERIFYPEER, 1L) == CURLE_OK;
    ok = ok && curl_easy_setopt(easy, CURLOPT_SSL_VERIFYHOST, 2L) == CURLE_OK;
    if (!caFile_.empty()) {
      ok = ok && curl_easy_setopt(easy, CURLOPT_CAINFO, caFile_.c_str()) == CURLE_OK;
    }
    ok = ok && curl_easy_setopt(easy, CURLOPT_BUFFERSIZE, kReceiveBufferSize) == CURLE_OK;
    ok = ok && curl_easy_setopt(easy, CURLOPT_HEADERFUNCTION, &Request::onHeader) == CURLE_OK;
    ok = ok && curl_easy_setopt(easy, CURLOPT_HEADERDATA, this) == CURLE_OK;
    ok = ok && curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, &Request::onBody) == CURLE_OK;
    ok = ok && curl_easy_setopt(easy, CURLOPT_WRITEDATA, this) == CURLE_OK;
    if ((flags_ & kFlagNoCookies) == 0) {
      cookieLine_ =
          CookieStore::instance().cookieHeader(target_.secure, target_.host, target_.requestTarget);
      if (!cookieLine_.empty()) {
        ok = ok && curl_easy_setopt(easy, CURLOPT_COOKIE, cookieLine_.c_str()) == CURLE_OK;
      }
    }
    if (hopHasBody_) {
      ok = ok && curl_easy_setopt(easy, CURLOPT_POSTFIELDSIZE_LARGE,
                                  static_cast<curl_off_t>(body_.size())) == CURLE_OK;
      ok = ok && curl_easy_setopt(easy, CURLOPT_POSTFIELDS, body_.data()) == CURLE_OK;
      if (verb_ != "POST") {
        ok = ok && curl_easy_setopt(easy, CURLOPT_CUSTOMREQUEST, verb_.c_str()) == CURLE_OK;
      }
    } else {
      ok = ok && curl_easy_setopt(easy, CURLOPT_HTTPGET, 1L) == CURLE_OK;
      if (verb_ != "GET") {
        ok = ok && curl_easy_setopt(easy, CURLOPT_CUSTOMREQUEST, verb_.c_str()) == CURLE_OK;
      }
    }
    if (!ok) {
      easy_.reset();
      return false;
    }
    if (curl_multi_add_handle(multi_.get(), easy) != CURLM_OK) {
      easy_.reset();
      return false;
    }
    return true;
  }

  void endHop() {
    if (!easy_) return;
    curl_multi_remove_handle(multi_.get(), easy_.get());
    easy_.reset();
  }

  bool fail() {
    endHop();
    responded_ = false;
    hopDone_ = true;
    return false;
  }

  void pump() {
    int running = 0;
    const CURLMcode code = curl_multi_perform(multi_.get(), &running);
    int left = 0;
    while (CURLMsg* message = curl_multi_info_read(multi_.get(), &left)) {
      if (message->msg == CURLMSG_DONE) hopDone_ = true;
    }
    if (code != CURLM_OK) hopDone_ = true;
  }

  void wait() { curl_multi_poll(multi_.get(), nullptr, 0, kPollMilliseconds, nullptr); }

  // Each response begins with its status line; only the final (non-1xx) response's lines are
  // kept. Lines after the header block (chunked trailers) are not header lines.
  static std::size_t onHeader(char* data, std::size_t size, std::size_t count, void* self) {
    auto* request = static_cast<Request*>(self);
    const std::size_t length = size * count;
    std::string_view line(data, length);
    if (line.substr(0, 5) == "HTTP/") {
      request->headerBlock_.clear();
      request->headersComplete_ = false;
    } else if (request->headersComplete_) {
      return length;
    }
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.remove_suffix(1);
    if (line.empty()) {
      long status = 0;
      curl_easy_getinfo(request->easy_.get(), CURLINFO_RESPONSE_CODE, &status);
      if (status >= 200 || status < 100) {
        request->status_ = status;
        request->headersComplete_ = true;
      }
      return length;
    }
    request->headerBlock_.append(line);
    request->headerBlock_.append("\r\n");
    return length;
  }

  static std::size_t onBody(char* data, std::size_t size, std::size_t count, void* self) {
    auto* request = static_cast<Request*>(self);
    const std::size_t length = size * count;
    request->pending_.append(data, length);
    return length;
  }

  void keepCookies() {
    if ((flags_ & kFlagNoCookies) != 0) return;
    forEachLine(headerBlock_, [this](std::string_view line) {
      if (const auto value = headerLineValue(line, "Set-Cookie")) {
        CookieStore::instance().receive(*value, target_.host, target_.requestTarget);
      }
    });
  }

  // Decides whether the response just received is a redirect to follow, and where to.
  HopOutcome nextHop(Target& next) const {
    if ((flags_ & kFlagNoAutoRedirect) != 0) return HopOutcome::kFinal;
    if (status_ != 301 && status_ != 302 && status_ != 303 && status_ != 307 && status_ != 308) {
      return HopOutcome::kFinal;
    }
    std::string location;
    forEachLine(headerBlock_, [&location](std::string_view line) {
      if (const auto value = headerLineValue(line, "Location")) location = std::string(*value);
    });
    if (location.empty()) return HopOutcome::kFinal;

    // A location that does not make an http or https address is not followed: the redirect
    // response itself is the answer.
    Url url(curl_url());
    if (!url) return HopOutcome::kFinal;
    const unsigned flags = CURLU_ALLOW_SPACE;
    const std::string base = target_.origin() + target_.requestTarget;
    if (curl_url_set(url.get(), CURLUPART_URL, base.c_str(), flags) != CURLUE_OK &&
        curl_url_set(url.get(), CURLUPART_URL, (target_.origin() + "/").c_str(), flags) !=
            CURLUE_OK) {
      return HopOutcome::kFinal;
    }
    if (curl_url_set(url.get(), CURLUPART_URL, location.c_str(), flags | CURLU_URLENCODE) !=
        CURLUE_OK) {
      return HopOutcome::kFinal;
    }
    auto part = [&url](CURLUPart which, unsigned getFlags = 0) -> std::optional<std::string> {
      char* raw = nullptr;
      if (curl_url_get(url.get(), which, &raw, getFlags) != CURLUE_OK || !raw) return std::nullopt;
      CurlString owned(raw);
      return std::string(owned.get());
    };
    const auto scheme = part(CURLUPART_SCHEME);
    const auto host = part(CURLUPART_HOST);
    const auto path = part(CURLUPART_PATH);
    if (!scheme || !host || !path) return HopOutcome::kFinal;
    const std::string lowerScheme = toLowerAscii(*scheme).str();
    if (lowerScheme != "http" && lowerScheme != "https") return HopOutcome::kFinal;
    next.secure = lowerScheme == "https";
    if (target_.secure && !next.secure) return HopOutcome::kRefused;
    if (!target_.secure && next.secure && (flags_ & kFlagIgnoreRedirectToHttps) == 0) {
      return HopOutcome::kRefused;
    }
    next.host = toLowerAscii(*host).str();
    const auto port = part(CURLUPART_PORT);
    next.port = port ? static_cast<std::int32_t>(textToInteger(*port)) : 0;
    next.requestTarget = *path;
    if (const auto query = part(CURLUPART_QUERY)) {
      next.requestTarget += '?';
      next.requestTarget += *query;
    }
    return HopOutcome::kFollow;
  }

  const std::string agent_;
  const std::string httpProxy_;
  std::string verb_;
  const std::uint32_t flags_;
  const std::string caFile_;
  Target target_;
  std::string body_;
  bool hopHasBody_ = false;
  bool sent_ = false;
  bool responded_ = false;
  std::string cookieLine_;

  Multi multi_;
  HeaderList headerList_;
  Easy easy_;

  std::string headerBlock_;
  bool headersComplete_ = false;
  long status_ = 0;
  bool hopDone_ = false;
  std::string pending_;
  std::size_t pendingAt_ = 0;
};

}  // namespace

CurlTransport::CurlTransport(CurlTransportOptions options) : options_(std::move(options)) {
  initialiseCurlOnce();
}

TransportHandle* CurlTransport::open(const Text& agent, const std::optional<Text>& proxyList) {
  auto* internet = new Internet;
  // A header value cannot hold a line break: the agent text ends before the first one.
  internet->agent = agent.str().substr(0, agent.str().find_first_of("\r\n"));
  if (proxyList) internet->httpProxy = httpProxyOf(proxyList->view());
  return internet;
}

TransportHandle* CurlTransport::connect(TransportHandle* internetHandle, const Text& server,
                                        std::int32_t port) {
  const auto* internet = dynamic_cast<Internet*>(internetHandle);
  if (!internet || server.empty() || port < 0 || port > 65535) return nullptr;
  auto* connection = new Connection;
  connection->agent = internet->agent;
  connection->httpProxy = internet->httpProxy;
  connection->server = server.str();
  connection->port = port;
  return connection;
}

TransportHandle* CurlTransport::openRequest(TransportHandle* connectionHandle, const Text& verb,
                                            const Text& objectName, const Text& version,
                                            std::uint32_t flags) {
  const auto* connection = dynamic_cast<Connection*>(connectionHandle);
  // Only HTTP/1.1 is spoken.
  if (!connection || verb.empty() || version != Text("HTTP/1.1")) return nullptr;
  auto request =
      std::make_unique<Request>(*connection, verb.str(), objectName.str(), flags, options_.caFile);
  return request->valid() ? request.release() : nullptr;
}

bool CurlTransport::send(TransportHandle* requestHandle, const Text& headers, const Bytes& body,
                         bool withBody) {
  auto* request = dynamic_cast<Request*>(requestHandle);
  return request && request->send(headers.view(), body, withBody);
}

std::size_t CurlTransport::read(TransportHandle* requestHandle, char* buffer,
                                std::size_t capacity) {
  auto* request = dynamic_cast<Request*>(requestHandle);
  return request ? request->read(buffer, capacity) : 0;
}

std::optional<Bytes> CurlTransport::queryRawHeaders(TransportHandle* requestHandle) {
  const auto* request = dynamic_cast<Request*>(requestHandle);
  return request ? request->rawHeaders() : std::nullopt;
}

std::optional<std::uint64_t> CurlTransport::announcedBodySize(TransportHandle* requestHandle) {
  const auto* request = dynamic_cast<Request*>(requestHandle);
  return request ? request->announcedBodySize() : std::nullopt;
}

void CurlTransport::close(TransportHandle* handle) { delete handle; }

Transport& programTransport() {
  static CurlTransport transport;
  return transport;
}

}  // namespace tuvaro
