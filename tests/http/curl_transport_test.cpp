// The libcurl backend and the request routine against real loopback servers that send exact
// raw bytes and record the exact requests: plain http, TLS with a test CA that only these tests
// trust, a TLS server that nobody trusts, an http proxy, and hostile servers.
#include "http/curl_transport.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "http/cookie_store.h"
#include "http/http_request.h"
#include "loopback_server.h"

namespace tuvaro {
namespace {

using namespace std::string_literals;
using testing::LoopbackServer;
using testing::rawResponse;
using testing::RecordedRequest;
using testing::Reply;
using testing::TestCertificates;

const std::string kAgent =
    "Mozilla/4.0 (compatible; MSIE 9.0; Windows NT 6.1; K9VWT; .NET CLR 2.0.50727; "
    ".NET CLR 3.0.04506.648; .NET CLR 3.5.21022)";

Reply ok(const std::string& body, std::vector<std::string> headers = {}) {
  headers.push_back("Content-Length: " + std::to_string(body.size()));
  return Reply{rawResponse("HTTP/1.1 200 OK", headers, body)};
}

Reply redirect(int status, const std::string& location) {
  return Reply{rawResponse("HTTP/1.1 " + std::to_string(status) + " Moved",
                           {"Location: " + location, "Content-Length: 5"}, "moved")};
}

class LoopbackTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    certificates = new TestCertificates;
    http = new LoopbackServer(nullptr);
    other = new LoopbackServer(nullptr);
    tls = new LoopbackServer(nullptr, certificates->trustedServer());
    stranger = new LoopbackServer(nullptr, certificates->untrustedServer());
    proxy = new LoopbackServer(nullptr);
    transport = new CurlTransport({.caFile = certificates->caFile()});
  }
  static void TearDownTestSuite() {
    for (LoopbackServer* server : {http, other, tls, stranger, proxy}) {
      server->Stop();
      delete server;
    }
    delete transport;
    delete certificates;
  }
  void SetUp() override {
    for (LoopbackServer* server : {http, other, tls, stranger, proxy}) {
      server->clearRequests();
      server->setHandler([](const RecordedRequest&) { return ok("unexpected"); });
    }
    CookieStore::instance().clear();
  }
  void TearDown() override { CookieStore::instance().clear(); }

  static Text get(const std::string& url, const HttpRequestArgs& args = {}) {
    return httpRequest(*transport, Text(url), args);
  }

  static inline TestCertificates* certificates = nullptr;
  static inline LoopbackServer* http = nullptr;
  static inline LoopbackServer* other = nullptr;
  static inline LoopbackServer* tls = nullptr;
  static inline LoopbackServer* stranger = nullptr;
  static inline LoopbackServer* proxy = nullptr;
  static inline CurlTransport* transport = nullptr;
};

// ---- What goes on the wire ---------------------------------------------------------------

TEST_F(LoopbackTest, UrlAloneSendsExactlyTheDefaultRequest) {
  http->setHandler([](const RecordedRequest&) { return ok("version 2"); });
  const std::string url = http->origin() + "/update/info.html?v=1";
  Text headers;
  EXPECT_EQ(get(url, {.responseHeaders = &headers}).str(), "version 2");
  const auto requests = http->requests();
  ASSERT_EQ(requests.size(), 1u);
  const std::string host = "127.0.0.1:" + std::to_string(http->port());
  EXPECT_EQ(requests[0].raw,
            "GET /update/info.html?v=1 HTTP/1.1\r\n"
            "Host: " +
                host +
                "\r\n"
                "User-Agent: " +
                kAgent +
                "\r\n"
                "Referer: " +
                url +
                "\r\n"
                "Accept: */*\r\n"
                "Accept-Language: zh-cn\r\n"
                "Content-Type: application/x-www-form-urlencoded\r\n"
                "\r\n");
  EXPECT_EQ(headers.str(), "HTTP/1.1 200 OK\r\nContent-Length: 9\r\n");
}

TEST_F(LoopbackTest, TheCallersHeaderLinesGoOutUnchanged) {
  http->setHandler([](const RecordedRequest&) { return ok("x"); });
  Text extra("User-Agent: Bot/1.0\r\nX-Empty:\r\nAccept: text/html\r\nX-Raw: \xB0\xA1");
  get(http->origin() + "/", {.extraHeaders = &extra});
  const auto requests = http->requests();
  ASSERT_EQ(requests.size(), 1u);
  const RecordedRequest& r = requests[0];
  EXPECT_EQ(r.countHeader("User-Agent"), 1);
  EXPECT_EQ(r.header("User-Agent"), "Bot/1.0");
  EXPECT_NE(r.headers.find("\r\nX-Empty:\r\n"), std::string::npos) << r.headers;
  EXPECT_EQ(r.countHeader("Accept"), 1);
  EXPECT_EQ(r.header("Accept"), "text/html");
  EXPECT_EQ(r.header("X-Raw"), "\xB0\xA1");
  EXPECT_EQ(r.countHeader("Accept-Encoding"), 0);
  EXPECT_EQ(r.countHeader("Expect"), 0);
  EXPECT_EQ(r.countHeader("TE"), 0);
}

struct PostCase {
  const char* why;
  std::int32_t method;
  std::string postText;
  std::string postBytes;
  std::string requestLineStart;
  std::string body;
};

TEST_F(LoopbackTest, RequestBodies) {
  const PostCase cases[] = {
      {"POST with text", 1, "a=1&b=2", "", "POST / ", "a=1&b=2"},
      {"POST with bytes, NUL included", 1, "ignored", "\x01\0\xFF"s, "POST / ", "\x01\0\xFF"s},
      {"method 2: GET with a body", 2, "q=1", "", "GET / ", "q=1"},
      {"POST with an empty body", 1, "", "", "POST / ", ""},
      // Large enough that libcurl would otherwise ask for "Expect: 100-continue".
      {"a large POST", 1, std::string(2 * 1024 * 1024, 'p'), "", "POST / ",
       std::string(2 * 1024 * 1024, 'p')},
  };
  http->setHandler([](const RecordedRequest&) { return ok("done"); });
  for (const PostCase& c : cases) {
    SCOPED_TRACE(c.why);
    http->clearRequests();
    Bytes postBytes(c.postBytes);
    EXPECT_EQ(get(http->origin() + "/",
                  {.method = c.method, .postText = Text(c.postText), .postBytes = &postBytes})
                  .str(),
              "done");
    const auto requests = http->requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].requestLine.substr(0, c.requestLineStart.size()), c.requestLineStart);
    EXPECT_EQ(requests[0].body, c.body);
    EXPECT_EQ(requests[0].header("Content-Length"), std::to_string(c.body.size()));
    EXPECT_EQ(requests[0].countHeader("Expect"), 0);
    EXPECT_EQ(requests[0].countHeader("Content-Type"), 1);
  }
}

// ---- What comes back ---------------------------------------------------------------------

struct ResponseCase {
  const char* why;
  std::string response;  // raw bytes from the server
  std::string body;
  std::string returnedCookies;
  std::string redirectLocation;  // "HEADERS": the whole header text
  std::string headers;
};

TEST_F(LoopbackTest, ResponsesAsTheServerSentThem) {
  const std::string chinese = "\xE4\xB8\xAD";
  const ResponseCase cases[] = {
      {"two Set-Cookie lines",
       "HTTP/1.1 200 OK\r\nSet-Cookie: a=1; path=/\r\nSet-Cookie: b=2; HttpOnly\r\n"
       "Content-Length: 2\r\n\r\nok",
       "ok", "a=1; b=2", "HEADERS",
       "HTTP/1.1 200 OK\r\nSet-Cookie: a=1; path=/\r\nSet-Cookie: b=2; HttpOnly\r\n"
       "Content-Length: 2\r\n"},
      {"a Set-Cookie line without \";\"",
       "HTTP/1.1 200 OK\r\nSet-Cookie: a=1; path=/\r\nSet-Cookie: c=3\r\nSet-Cookie: b=2; x\r\n"
       "Content-Length: 0\r\n\r\n",
       "", "a=1; ; b=2", "HEADERS",
       "HTTP/1.1 200 OK\r\nSet-Cookie: a=1; path=/\r\nSet-Cookie: c=3\r\nSet-Cookie: b=2; x\r\n"
       "Content-Length: 0\r\n"},
      {"Content-Location is taken as Location",
       "HTTP/1.1 200 OK\r\nContent-Location: /elsewhere\r\nContent-Length: 1\r\n\r\nb", "b", "",
       "/elsewhere", "HTTP/1.1 200 OK\r\nContent-Location: /elsewhere\r\nContent-Length: 1\r\n"},
      {"a body with a NUL", "HTTP/1.1 200 OK\r\nContent-Length: 5\r\n\r\nab\0cd"s, "ab", "",
       "HEADERS", "HTTP/1.1 200 OK\r\nContent-Length: 5\r\n"},
      {"\"utf-8\" in the body's window",
       "HTTP/1.1 200 OK\r\nContent-Length: 9\r\n\r\nutf-8 " + chinese, "utf-8 \xD6\xD0", "",
       "HEADERS", "HTTP/1.1 200 OK\r\nContent-Length: 9\r\n"},
      {"\"utf-8\" past the window",
       "HTTP/1.1 200 OK\r\nContent-Length: 507\r\n\r\n" + std::string(499, '.') + "utf-8" +
           chinese.substr(0, 3),
       std::string(499, '.') + "utf-8" + chinese, "", "HEADERS",
       "HTTP/1.1 200 OK\r\nContent-Length: 507\r\n"},
      {"\"UTF-8\" in a header, in capitals",
       "HTTP/1.1 200 OK\r\nContent-Type: text/html; charset=UTF-8\r\nContent-Length: 3\r\n\r\n" +
           chinese,
       "\xD6\xD0", "", "HEADERS",
       "HTTP/1.1 200 OK\r\nContent-Type: text/html; charset=UTF-8\r\nContent-Length: 3\r\n"},
      {"\"Utf-8\" in a header in mixed case",
       "HTTP/1.1 200 OK\r\nX-Charset: Utf-8\r\nContent-Length: 3\r\n\r\n" + chinese, "\xD6\xD0", "",
       "HEADERS", "HTTP/1.1 200 OK\r\nX-Charset: Utf-8\r\nContent-Length: 3\r\n"},
      {"a chunked body, coding removed",
       "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n5\r\nhello\r\n6\r\n world\r\n0\r\n"
       "X-Trailer: t\r\n\r\n",
       "hello world", "", "HEADERS", "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n"},
      {"a body that ends with the connection",
       "HTTP/1.1 200 OK\r\nConnection: close\r\n\r\nuntil the end", "until the end", "", "HEADERS",
       "HTTP/1.1 200 OK\r\nConnection: close\r\n"},
      {"interim 1xx responses are dropped",
       "HTTP/1.1 100 Continue\r\n\r\nHTTP/1.1 102 Processing\r\nX-A: 1\r\n\r\n"
       "HTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\nok",
       "ok", "", "HEADERS", "HTTP/1.1 200 OK\r\nContent-Length: 2\r\n"},
      {"line feeds alone end header lines too", "HTTP/1.1 200 OK\nX-A: 1\nContent-Length: 2\n\nok",
       "ok", "", "HEADERS", "HTTP/1.1 200 OK\r\nX-A: 1\r\nContent-Length: 2\r\n"},
      {"an error page is a body like any other",
       "HTTP/1.1 404 Not Found\r\nContent-Length: 4\r\n\r\ngone", "gone", "", "HEADERS",
       "HTTP/1.1 404 Not Found\r\nContent-Length: 4\r\n"},
  };
  for (const ResponseCase& c : cases) {
    SCOPED_TRACE(c.why);
    http->setHandler([&c](const RecordedRequest&) { return Reply{c.response}; });
    Text returned, redirectLocation, headers;
    const Text body = get(http->origin() + "/", {.returnedCookies = &returned,
                                                 .redirectLocation = &redirectLocation,
                                                 .responseHeaders = &headers});
    EXPECT_EQ(body.str(), c.body);
    EXPECT_EQ(returned.str(), c.returnedCookies);
    EXPECT_EQ(headers.str(), c.headers);
    EXPECT_EQ(redirectLocation.str(),
              c.redirectLocation == "HEADERS" ? c.headers : c.redirectLocation);
  }
}

TEST_F(LoopbackTest, AHeaderBlockOfMoreThan5000BytesArrivesWhole) {
  std::vector<std::string> lines;
  for (int i = 0; i < 200; ++i)
    lines.push_back("X-Pad-" + std::to_string(i) + ": " + std::string(100, 'p'));
  lines.push_back("Set-Cookie: late=1; path=/");
  lines.push_back("Content-Location: /late");
  lines.push_back("Content-Length: 4");
  const std::string response = rawResponse("HTTP/1.1 200 OK", lines, "body");
  http->setHandler([&](const RecordedRequest&) { return Reply{response}; });
  Text returned, redirectLocation, headers;
  EXPECT_EQ(get(http->origin() + "/", {.returnedCookies = &returned,
                                       .redirectLocation = &redirectLocation,
                                       .responseHeaders = &headers})
                .str(),
            "body");
  EXPECT_GT(headers.size(), 20000u);
  EXPECT_EQ(headers.str(), response.substr(0, response.size() - 6));  // less "\r\nbody"
  EXPECT_EQ(returned.str(), "late=1");
  EXPECT_EQ(redirectLocation.str(), "/late");
}

// ---- Redirects -----------------------------------------------------------------------------

TEST_F(LoopbackTest, RedirectsAreFollowedAndOnlyTheFinalHeadersReturn) {
  http->setHandler([](const RecordedRequest& r) {
    if (r.requestLine.starts_with("GET /start ")) return redirect(302, "/middle");
    if (r.requestLine.starts_with("GET /middle ")) {
      return Reply{rawResponse(
          "HTTP/1.1 301 Moved",
          {"Location: " + other->origin() + "/end", "Set-Cookie: m=1", "Content-Length: 0"}, "")};
    }
    return ok("unexpected");
  });
  other->setHandler([](const RecordedRequest&) { return ok("arrived"); });
  Text redirectLocation, headers, returned;
  EXPECT_EQ(get(http->origin() + "/start", {.returnedCookies = &returned,
                                            .redirectLocation = &redirectLocation,
                                            .responseHeaders = &headers})
                .str(),
            "arrived");
  EXPECT_EQ(headers.str(), "HTTP/1.1 200 OK\r\nContent-Length: 7\r\n");
  EXPECT_EQ(redirectLocation.str(), headers.str());
  EXPECT_EQ(returned.str(), "");
  EXPECT_EQ(http->requests().size(), 2u);
  ASSERT_EQ(other->requests().size(), 1u);
  EXPECT_EQ(other->requests()[0].requestLine, "GET /end HTTP/1.1");
  // The transport's own store kept the cookie of the middle hop for its host.
  EXPECT_EQ(CookieStore::instance().cookieHeader(false, "127.0.0.1", "/"), "m=1");
}

TEST_F(LoopbackTest, NoRedirectReadsTheRedirectResponseItself) {
  http->setHandler([](const RecordedRequest&) { return redirect(302, "/next"); });
  Text redirectLocation;
  EXPECT_EQ(
      get(http->origin() + "/", {.redirectLocation = &redirectLocation, .noRedirect = true}).str(),
      "moved");
  EXPECT_EQ(redirectLocation.str(), "/next");
  EXPECT_EQ(http->requests().size(), 1u);
}

struct MethodCase {
  int status;
  std::string secondRequestLine;
  std::string secondBody;
};

TEST_F(LoopbackTest, APostBecomesAGetOn301To303Only) {
  const MethodCase cases[] = {
      {301, "GET /to HTTP/1.1", ""},     {302, "GET /to HTTP/1.1", ""},
      {303, "GET /to HTTP/1.1", ""},     {307, "POST /to HTTP/1.1", "x=1"},
      {308, "POST /to HTTP/1.1", "x=1"},
  };
  for (const MethodCase& c : cases) {
    SCOPED_TRACE(c.status);
    http->clearRequests();
    http->setHandler([&c](const RecordedRequest& r) {
      return r.requestLine.find(" /from ") != std::string::npos ? redirect(c.status, "/to")
                                                                : ok("final");
    });
    EXPECT_EQ(get(http->origin() + "/from", {.method = 1, .postText = Text("x=1")}).str(), "final");
    const auto requests = http->requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[1].requestLine, c.secondRequestLine);
    EXPECT_EQ(requests[1].body, c.secondBody);
    EXPECT_EQ(requests[1].countHeader("Content-Length"), c.secondBody.empty() ? 0 : 1);
  }
}

TEST_F(LoopbackTest, ARedirectLoopFailsAfterFiveHops) {
  http->setHandler([](const RecordedRequest&) { return redirect(302, "/again"); });
  Text headers("old"), redirectLocation;
  EXPECT_EQ(get(http->origin() + "/",
                {.redirectLocation = &redirectLocation, .responseHeaders = &headers})
                .str(),
            "");
  EXPECT_EQ(headers.str(), "");
  EXPECT_EQ(redirectLocation.str(), "");
  EXPECT_EQ(http->requests().size(), 6u);  // the first request and five redirects
}

TEST_F(LoopbackTest, HttpToHttpsIsFollowed) {
  http->setHandler([](const RecordedRequest&) { return redirect(302, tls->origin() + "/secure"); });
  tls->setHandler([](const RecordedRequest&) { return ok("over TLS"); });
  EXPECT_EQ(get(http->origin() + "/").str(), "over TLS");
  ASSERT_EQ(tls->requests().size(), 1u);
  EXPECT_EQ(tls->requests()[0].requestLine, "GET /secure HTTP/1.1");
}

TEST_F(LoopbackTest, HttpsWithATrustedCertificate) {
  tls->setHandler([](const RecordedRequest&) { return ok("secret"); });
  EXPECT_EQ(get(tls->origin() + "/s").str(), "secret");
  // Names the certificate was made for are checked: localhost is one.
  EXPECT_EQ(get("https://localhost:" + std::to_string(tls->port()) + "/s").str(), "secret");
}

TEST_F(LoopbackTest, HttpsToHttpIsRefused) {
  tls->setHandler([](const RecordedRequest&) { return redirect(302, http->origin() + "/plain"); });
  Text headers;
  EXPECT_EQ(get(tls->origin() + "/", {.responseHeaders = &headers}).str(), "");
  EXPECT_EQ(headers.str(), "");
  EXPECT_EQ(tls->requests().size(), 1u);
  EXPECT_EQ(http->requests().size(), 0u);
}

TEST_F(LoopbackTest, ACertificateThatNobodyTrustsFailsTheRequest) {
  stranger->setHandler([](const RecordedRequest&) { return ok("must not arrive"); });
  Text headers("old");
  EXPECT_EQ(get(stranger->origin() + "/", {.responseHeaders = &headers}).str(), "");
  EXPECT_EQ(headers.str(), "");
  EXPECT_EQ(stranger->requests().size(), 0u);
  // The program's own transport trusts only the system's authorities: the test CA neither.
  tls->setHandler([](const RecordedRequest&) { return ok("must not arrive"); });
  EXPECT_EQ(httpRequest(Text(tls->origin() + "/")).str(), "");
  EXPECT_EQ(tls->requests().size(), 0u);
}

// ---- Proxy ---------------------------------------------------------------------------------

TEST_F(LoopbackTest, TheProxySeesHttpRequestsWhileHttpsGoesDirect) {
  proxy->setHandler([](const RecordedRequest&) { return ok("from the proxy"); });
  tls->setHandler([](const RecordedRequest&) { return ok("direct"); });
  const Text proxyAddress("127.0.0.1:" + std::to_string(proxy->port()));
  EXPECT_EQ(get(http->origin() + "/p?q=1", {.proxyAddress = proxyAddress}).str(), "from the proxy");
  EXPECT_EQ(get(tls->origin() + "/s", {.proxyAddress = proxyAddress}).str(), "direct");
  const auto seen = proxy->requests();
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_EQ(seen[0].requestLine, "GET " + http->origin() + "/p?q=1 HTTP/1.1");
  EXPECT_EQ(seen[0].header("Host"), "127.0.0.1:" + std::to_string(http->port()));
  EXPECT_EQ(http->requests().size(), 0u);
  EXPECT_EQ(tls->requests().size(), 1u);
}

TEST_F(LoopbackTest, TheProxyIsChosenAgainForEachHop) {
  const Text proxyAddress("127.0.0.1:" + std::to_string(proxy->port()));
  // Through the proxy, http hops; the redirect to https goes direct.
  proxy->setHandler([](const RecordedRequest&) { return redirect(302, tls->origin() + "/t"); });
  tls->setHandler([](const RecordedRequest&) { return ok("direct after proxy"); });
  EXPECT_EQ(get(http->origin() + "/", {.proxyAddress = proxyAddress}).str(), "direct after proxy");
  EXPECT_EQ(proxy->requests().size(), 1u);
  EXPECT_EQ(tls->requests().size(), 1u);
}

TEST_F(LoopbackTest, AnEmptyProxyAddressMeansNoProxy) {
  http->setHandler([](const RecordedRequest&) { return ok("direct"); });
  EXPECT_EQ(get(http->origin() + "/", {.proxyAddress = Text()}).str(), "direct");
  EXPECT_EQ(http->requests().size(), 1u);
}

TEST_F(LoopbackTest, ProxyVariablesOfTheEnvironmentAreIgnored) {
  ::setenv("http_proxy", ("http://127.0.0.1:" + std::to_string(proxy->port())).c_str(), 1);
  ::setenv("HTTPS_PROXY", ("http://127.0.0.1:" + std::to_string(proxy->port())).c_str(), 1);
  http->setHandler([](const RecordedRequest&) { return ok("direct"); });
  const Text body = get(http->origin() + "/");
  ::unsetenv("http_proxy");
  ::unsetenv("HTTPS_PROXY");
  EXPECT_EQ(body.str(), "direct");
  EXPECT_EQ(proxy->requests().size(), 0u);
}

// ---- Cookies -------------------------------------------------------------------------------

TEST_F(LoopbackTest, TheTransportKeepsCookiesWhenTheCallerSuppliesNone) {
  http->setHandler([](const RecordedRequest& r) {
    if (r.requestLine.starts_with("GET /set ")) return ok("set", {"Set-Cookie: sid=42; Path=/"});
    return ok("seen");
  });
  get(http->origin() + "/set");
  get(http->origin() + "/again");
  Text cookies("mine=1");
  get(http->origin() + "/mine", {.cookies = &cookies});
  const auto requests = http->requests();
  ASSERT_EQ(requests.size(), 3u);
  EXPECT_EQ(requests[0].countHeader("Cookie"), 0);
  EXPECT_EQ(requests[1].header("Cookie"), "sid=42");
  // Supplied cookies: only the caller's, and the store is neither read nor fed.
  EXPECT_EQ(requests[2].countHeader("Cookie"), 1);
  EXPECT_EQ(requests[2].header("Cookie"), "mine=1");
}

TEST_F(LoopbackTest, SuppliedCookiesAreMergedAndNotStored) {
  http->setHandler([](const RecordedRequest&) {
    return ok("x", {"Set-Cookie: b=3; path=/", "Set-Cookie: c=4; HttpOnly"});
  });
  Text cookies("a=1; b=2"), returned;
  get(http->origin() + "/", {.cookies = &cookies, .returnedCookies = &returned});
  EXPECT_EQ(cookies.str(), "b=3; c=4; a=1");
  EXPECT_EQ(returned.str(), "b=3;c=4");
  EXPECT_EQ(CookieStore::instance().size(), 0u);
}

TEST_F(LoopbackTest, ConcurrentRequestsShareTheCookieStoreSafely) {
  http->setHandler([](const RecordedRequest& r) {
    const std::string path = r.requestLine.substr(4, r.requestLine.find(' ', 4) - 4);
    return ok(path, {"Set-Cookie: k" + path.substr(1) + "=1; Path=/"});
  });
  std::vector<std::thread> threads;
  std::vector<std::string> bodies(4);
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([t, &bodies] {
      for (int i = 0; i < 3; ++i) {
        bodies[static_cast<std::size_t>(t)] +=
            get(http->origin() + "/" + std::to_string(t * 10 + i)).str() + ",";
      }
    });
  }
  for (auto& thread : threads) thread.join();
  for (int t = 0; t < 4; ++t) {
    EXPECT_EQ(bodies[static_cast<std::size_t>(t)], "/" + std::to_string(t * 10) + ",/" +
                                                       std::to_string(t * 10 + 1) + ",/" +
                                                       std::to_string(t * 10 + 2) + ",");
  }
  EXPECT_EQ(CookieStore::instance().size(), 12u);
}

// ---- Hostile servers -----------------------------------------------------------------------

TEST_F(LoopbackTest, ATruncatedChunkedBodyGivesWhatArrived) {
  http->setHandler([](const RecordedRequest&) {
    return Reply{"HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n5\r\nhello\r\n10\r\nabc"};
  });
  Text headers;
  const std::string body = get(http->origin() + "/", {.responseHeaders = &headers}).str();
  EXPECT_EQ(body.substr(0, 5), "hello");
  EXPECT_TRUE(std::string("helloabc").starts_with(body)) << body;
  EXPECT_EQ(headers.str(), "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n");
}

TEST_F(LoopbackTest, AResetInTheMiddleOfTheBodyGivesWhatArrived) {
  std::string payload;
  for (int i = 0; payload.size() < 200000; ++i) payload += std::to_string(i) + ",";
  http->setHandler([&payload](const RecordedRequest&) {
    Reply reply{"HTTP/1.1 200 OK\r\nContent-Length: 1000000\r\n\r\n" + payload};
    reply.end = Reply::End::kReset;
    reply.pieceSize = 50000;
    return reply;
  });
  Text headers;
  const std::string body = get(http->origin() + "/", {.responseHeaders = &headers}).str();
  EXPECT_LT(body.size(), 1000000u);
  EXPECT_TRUE(payload.starts_with(body));
  EXPECT_EQ(headers.str(), "HTTP/1.1 200 OK\r\nContent-Length: 1000000\r\n");
}

TEST_F(LoopbackTest, AGarbageStatusLineIsNoResponse) {
  http->setHandler([](const RecordedRequest&) { return Reply{"GARBAGE\r\n\r\nbody"}; });
  Text headers("old");
  EXPECT_EQ(get(http->origin() + "/", {.responseHeaders = &headers}).str(), "");
  EXPECT_EQ(headers.str(), "");
}

TEST_F(LoopbackTest, AOneMebibyteHeaderBlockIsRefusedWithoutHarm) {
  std::string block = "HTTP/1.1 200 OK\r\n";
  while (block.size() < 1024 * 1024) block += "X-Junk: " + std::string(1000, 'j') + "\r\n";
  block += "Content-Length: 2\r\n\r\nok";
  http->setHandler([&block](const RecordedRequest&) { return Reply{block}; });
  Text headers("old");
  // libcurl gives up on response headers over 300 KiB: no response, no crash, no leak.
  EXPECT_EQ(get(http->origin() + "/", {.responseHeaders = &headers}).str(), "");
  EXPECT_EQ(headers.str(), "");
}

TEST_F(LoopbackTest, AHeaderLineWithoutAColonIsNoResponse) {
  // libcurl refuses a response with a header line that has no colon: the request fails as a
  // whole rather than guessing where the headers end.
  http->setHandler([](const RecordedRequest&) {
    return Reply{"HTTP/1.1 200 OK\r\nNo colon here\r\nContent-Length: 2\r\n\r\nok"};
  });
  Text headers("old"), redirectLocation("old");
  const Text body = get(http->origin() + "/",
                        {.redirectLocation = &redirectLocation, .responseHeaders = &headers});
  EXPECT_EQ(body.str(), "");
  EXPECT_EQ(headers.str(), "");
  EXPECT_EQ(redirectLocation.str(), "old");
}

TEST_F(LoopbackTest, AServerThatClosesAtOnceGivesNothing) {
  http->setHandler([](const RecordedRequest&) { return Reply{""}; });
  Text headers("old");
  EXPECT_EQ(get(http->origin() + "/", {.responseHeaders = &headers}).str(), "");
  EXPECT_EQ(headers.str(), "");
}

TEST_F(LoopbackTest, NothingListeningGivesNothing) {
  LoopbackServer closed(nullptr);
  const std::string origin = closed.origin();
  closed.Stop();
  Text headers("old");
  EXPECT_EQ(get(origin + "/", {.responseHeaders = &headers}).str(), "");
  EXPECT_EQ(headers.str(), "");
}

}  // namespace
}  // namespace tuvaro
