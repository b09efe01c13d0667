// The request routine's own logic against a scripted transport: what it sends, which flags and
// agent text it chooses, and what it writes back into each of the caller's variables.
#include "http/http_request.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace tuvaro {
namespace {

using namespace std::string_literals;

const std::string kAgent =
    "Mozilla/4.0 (compatible; MSIE 9.0; Windows NT 6.1; K9VWT; .NET CLR 2.0.50727; "
    ".NET CLR 3.0.04506.648; .NET CLR 3.5.21022)";
const std::string kDefaults =
    "\r\nAccept: */*\r\nAccept-Language: zh-cn\r\nContent-Type: application/x-www-form-urlencoded";

class ScriptedTransport final : public Transport {
 public:
  struct Handle final : TransportHandle {
    explicit Handle(std::string k) : kind(std::move(k)) {}
    std::string kind;
  };

  // The script.
  bool failOpen = false, failConnect = false, failRequest = false;
  std::vector<std::string> bodyChunks;
  std::optional<std::string> rawHeaders = "HTTP/1.1 200 OK\r\n"s;
  std::optional<std::uint64_t> announced;

  // What the routine did.
  std::vector<std::string> calls;
  Text agent;
  std::optional<Text> proxyList;
  Text server;
  std::int32_t port = -1;
  Text verb, objectName, version;
  std::uint32_t flags = 0;
  Text headers;
  Bytes body;
  bool withBody = false;
  std::vector<std::size_t> readCapacities;

  TransportHandle* open(const Text& a, const std::optional<Text>& proxy) override {
    calls.push_back("open");
    agent = a;
    proxyList = proxy;
    return failOpen ? nullptr : new Handle("internet");
  }
  TransportHandle* connect(TransportHandle* internet, const Text& s, std::int32_t p) override {
    calls.push_back("connect");
    EXPECT_EQ(kindOf(internet), "internet");
    server = s;
    port = p;
    return failConnect ? nullptr : new Handle("connection");
  }
  TransportHandle* openRequest(TransportHandle* connection, const Text& v, const Text& object,
                               const Text& ver, std::uint32_t f) override {
    calls.push_back("openRequest");
    EXPECT_EQ(kindOf(connection), "connection");
    verb = v;
    objectName = object;
    version = ver;
    flags = f;
    return failRequest ? nullptr : new Handle("request");
  }
  bool send(TransportHandle* request, const Text& h, const Bytes& b, bool wb) override {
    calls.push_back("send");
    EXPECT_EQ(kindOf(request), "request");
    headers = h;
    body = b;
    withBody = wb;
    return rawHeaders.has_value();
  }
  std::size_t read(TransportHandle* request, char* buffer, std::size_t capacity) override {
    EXPECT_EQ(kindOf(request), "request");
    readCapacities.push_back(capacity);
    if (nextChunk_ == bodyChunks.size()) return 0;
    const std::string& chunk = bodyChunks[nextChunk_++];
    EXPECT_LE(chunk.size(), capacity);
    chunk.copy(buffer, capacity);
    return std::min(chunk.size(), capacity);
  }
  std::optional<Bytes> queryRawHeaders(TransportHandle* request) override {
    calls.push_back("query");
    EXPECT_EQ(kindOf(request), "request");
    if (!rawHeaders) return std::nullopt;
    return Bytes(*rawHeaders);
  }
  std::optional<std::uint64_t> announcedBodySize(TransportHandle*) override { return announced; }
  void close(TransportHandle* handle) override {
    calls.push_back("close " + kindOf(handle));
    delete handle;
  }

 private:
  static std::string kindOf(TransportHandle* handle) {
    auto* h = dynamic_cast<Handle*>(handle);
    return h ? h->kind : "null";
  }
  std::size_t nextChunk_ = 0;
};

TEST(HttpRequestTest, UrlAloneSendsAGetWithTheDefaultHeaderText) {
  ScriptedTransport transport;
  transport.bodyChunks = {"<html>", "v2"};
  const Text url("http://Example.com:8080/Up/Info.html?x=1");
  EXPECT_EQ(httpRequest(transport, url).str(), "<html>v2");
  EXPECT_EQ(transport.agent.str(), kAgent);
  EXPECT_FALSE(transport.proxyList.has_value());
  EXPECT_EQ(transport.server.str(), "example.com");
  EXPECT_EQ(transport.port, 8080);
  EXPECT_EQ(transport.verb.str(), "GET");
  EXPECT_EQ(transport.objectName.str(), "/Up/Info.html?x=1");
  EXPECT_EQ(transport.version.str(), "HTTP/1.1");
  EXPECT_EQ(transport.flags, kFlagReload | kFlagNeedFile | kFlagIgnoreRedirectToHttps);
  EXPECT_EQ(transport.headers.str(), "Referer: " + url.str() + kDefaults);
  EXPECT_FALSE(transport.withBody);
  const std::vector<std::string> calls = {
      "open",  "connect",       "openRequest",      "send",
      "query", "close request", "close connection", "close internet"};
  EXPECT_EQ(transport.calls, calls);
}

TEST(HttpRequestTest, ReadsTheBodyInChunksOf1024Bytes) {
  ScriptedTransport transport;
  std::string expected;
  for (int i = 0; i < 50; ++i) {
    transport.bodyChunks.push_back(std::string(i % 2 ? 1024 : 7, static_cast<char>('a' + i % 26)));
    expected += transport.bodyChunks.back();
  }
  EXPECT_EQ(httpRequest(transport, Text("http://a/")).str(), expected);
  ASSERT_EQ(transport.readCapacities.size(), 51u);  // 50 chunks, then the 0 that ends it
  for (std::size_t capacity : transport.readCapacities) EXPECT_EQ(capacity, 1024u);
}

TEST(HttpRequestTest, TheAnnouncedBodySizeIsOnlyAHint) {
  // Whatever the transport announces, the body is what the reads deliver.
  const std::optional<std::uint64_t> announcements[] = {std::nullopt, 0, 3, 10,
                                                        std::uint64_t{1} << 62};
  for (const auto& announced : announcements) {
    ScriptedTransport transport;
    transport.announced = announced;
    transport.bodyChunks = {"abc", "defg"};
    EXPECT_EQ(httpRequest(transport, Text("http://a/")).str(), "abcdefg");
  }
}

struct HeaderCase {
  const char* why;
  std::string extraHeaders;
  std::optional<std::string> cookies;
  std::string expectedHeaders;  // "URL" stands for the address
  std::string expectedAgent;
};

TEST(HttpRequestTest, HeaderTextAndAgentText) {
  const std::string url = "http://a.example/p";
  const HeaderCase cases[] = {
      {"a User-Agent line alone: its value, trimmed, through the fallback", "User-Agent:  Bot/1 ",
       std::nullopt, "User-Agent:  Bot/1 \r\nReferer: URL" + kDefaults, "Bot/1"},
      {"User-Agent in any letter case", "user-agent: Bot/2\r\nX: 1", std::nullopt,
       "user-agent: Bot/2\r\nX: 1\r\nReferer: URL" + kDefaults, "Bot/2"},
      {"User-Agent last of several lines: after the first colon of the whole text",
       "X-A: 1\r\nUser-Agent: Bot/3", std::nullopt,
       "X-A: 1\r\nUser-Agent: Bot/3\r\nReferer: URL" + kDefaults, "1\r\nUser-Agent: Bot/3"},
      {"an empty User-Agent value falls back likewise; line breaks are not trimmed",
       "User-Agent:\r\nX: 9", std::nullopt, "User-Agent:\r\nX: 9\r\nReferer: URL" + kDefaults,
       "\r\nX: 9"},
      {"a lower-case referer line is not a Referer line", "referer: x", std::nullopt,
       "referer: x\r\nReferer: URL" + kDefaults, kAgent},
      {"the caller's own default lines are kept and not repeated",
       "Referer: r\r\nAccept: text/html\r\nAccept-Language: en\r\nContent-Type: text/plain",
       std::nullopt,
       "Referer: r\r\nAccept: text/html\r\nAccept-Language: en\r\nContent-Type: text/plain",
       kAgent},
      {"an Accept-Language line also holds \"Accept:\"? no: the search is for the exact text",
       "Accept-Language: en", std::nullopt,
       "Accept-Language: en\r\nReferer: URL\r\nAccept: */*"
       "\r\nContent-Type: application/x-www-form-urlencoded",
       kAgent},
      {"supplied cookies go in a Cookie line", "", "a=1; b=2",
       "Referer: URL" + kDefaults + "\r\nCookie: a=1; b=2", kAgent},
      {"a Cookie line is added even beside the caller's", "Cookie: z=9", "a=1",
       "Cookie: z=9\r\nReferer: URL" + kDefaults + "\r\nCookie: a=1", kAgent},
      {"supplied empty cookies: no Cookie line", "", "", "Referer: URL" + kDefaults, kAgent},
  };
  for (const HeaderCase& c : cases) {
    SCOPED_TRACE(c.why);
    ScriptedTransport transport;
    Text extra(c.extraHeaders);
    Text cookies(c.cookies.value_or(""));
    HttpRequestArgs args;
    args.extraHeaders = &extra;
    if (c.cookies) args.cookies = &cookies;
    httpRequest(transport, Text(url), args);
    std::string expected = c.expectedHeaders;
    for (std::size_t at; (at = expected.find("URL")) != std::string::npos;) {
      expected.replace(at, 3, url);
    }
    EXPECT_EQ(transport.headers.str(), expected);
    EXPECT_EQ(extra.str(), expected);  // written back: the text that was sent
    EXPECT_EQ(transport.agent.str(), c.expectedAgent);
  }
}

struct FlagCase {
  const char* why;
  std::string url;
  bool cookiesSupplied;
  bool noRedirect;
  std::uint32_t flags;
};

TEST(HttpRequestTest, RequestFlags) {
  const std::uint32_t base = kFlagReload | kFlagNeedFile;
  const FlagCase cases[] = {
      {"plain http", "http://a/", false, false, base | kFlagIgnoreRedirectToHttps},
      {"https in any case", "HTTPS://a/", false, false, base | kFlagSecure},
      {"https with a port", "https://a:9/", false, false, base | kFlagSecure},
      {"no scheme", "a/", false, false, base | kFlagIgnoreRedirectToHttps},
      {"cookies supplied", "http://a/", true, false,
       base | kFlagNoCookies | kFlagIgnoreRedirectToHttps},
      {"no redirect", "https://a/", false, true, base | kFlagNoAutoRedirect | kFlagSecure},
  };
  for (const FlagCase& c : cases) {
    SCOPED_TRACE(c.why);
    ScriptedTransport transport;
    Text cookies;
    HttpRequestArgs args;
    args.noRedirect = c.noRedirect;
    if (c.cookiesSupplied) args.cookies = &cookies;
    httpRequest(transport, Text(c.url), args);
    EXPECT_EQ(transport.flags, c.flags);
  }
}

TEST(HttpRequestTest, ProxyListOnlyWhenAProxyAddressIsSupplied) {
  const std::optional<std::string> cases[] = {std::nullopt, "", "127.0.0.1:3128"};
  for (const auto& proxy : cases) {
    ScriptedTransport transport;
    HttpRequestArgs args;
    if (proxy) args.proxyAddress = Text(*proxy);
    httpRequest(transport, Text("http://a/"), args);
    ASSERT_EQ(transport.proxyList.has_value(), proxy.has_value());
    if (proxy) {
      EXPECT_EQ(transport.proxyList->str(), "http=" + *proxy);
    }
  }
}

struct BodyCase {
  const char* why;
  std::int32_t method;
  std::string postText;
  std::optional<std::string> postBytes;
  std::string verb;
  bool withBody;
  std::string sent;
  std::optional<std::string> postBytesAfter;
};

TEST(HttpRequestTest, VerbAndRequestBody) {
  const BodyCase cases[] = {
      {"GET sends no body", 0, "ignored", "kept", "GET", false, "", "kept"},
      {"POST with text", 1, "q=1", "", "POST", true, "q=1", "q=1"},
      {"POST with text, bytes left out", 1, "q=1", std::nullopt, "POST", true, "q=1", std::nullopt},
      {"bytes win over text", 1, "q=1", "b\0y"s, "POST", true, "b\0y"s, "b\0y"s},
      {"method 2 is a GET with a body", 2, "q=2", "", "GET", true, "q=2", "q=2"},
      {"method -1 likewise", -1, "", "", "GET", true, "", ""},
  };
  for (const BodyCase& c : cases) {
    SCOPED_TRACE(c.why);
    ScriptedTransport transport;
    Bytes postBytes(c.postBytes.value_or(""));
    HttpRequestArgs args;
    args.method = c.method;
    args.postText = Text(c.postText);
    if (c.postBytes) args.postBytes = &postBytes;
    httpRequest(transport, Text("http://a/"), args);
    EXPECT_EQ(transport.verb.str(), c.verb);
    EXPECT_EQ(transport.withBody, c.withBody);
    EXPECT_EQ(transport.body.str(), c.sent);
    if (c.postBytesAfter) {
      EXPECT_EQ(postBytes.str(), *c.postBytesAfter);
    }
  }
}

struct ScanCase {
  const char* why;
  std::string rawHeaders;
  std::optional<std::string> cookies;  // supplied or not
  std::string redirectIn;
  std::string returnedCookies;
  std::string cookiesAfter;
  std::string redirectLocation;  // "HEADERS" stands for the whole raw header text
};

TEST(HttpRequestTest, HeaderScanForLocationAndCookies) {
  const ScanCase cases[] = {
      {"two Set-Cookie lines with attributes",
       "HTTP/1.1 200 OK\r\nSet-Cookie: a=1; path=/\r\nSet-Cookie: b=2; HttpOnly\r\n", std::nullopt,
       "", "a=1; b=2", "", "HEADERS"},
      {"a Set-Cookie line without \";\" gives an empty piece",
       "HTTP/1.1 200 OK\r\nSet-Cookie: a=1; path=/\r\nSet-Cookie: c=3\r\nSet-Cookie: b=2; x\r\n",
       std::nullopt, "", "a=1; ; b=2", "", "HEADERS"},
      {"supplied cookies are merged", "HTTP/1.1 200 OK\r\nSet-Cookie: b=3; path=/\r\n", "a=1; b=2",
       "", "b=3", "b=3; a=1", "HEADERS"},
      {"supplied empty cookies take the returned ones",
       "HTTP/1.1 200 OK\r\nSet-Cookie:  x = 1 ; path=/\r\n", "", "", "x=1", "x=1", "HEADERS"},
      {"returned cookies lose their spaces only when merged",
       "HTTP/1.1 200 OK\r\nSet-Cookie: x = 1 ; path=/\r\n", std::nullopt, "", "x = 1", "",
       "HEADERS"},
      {"a deletion removes the supplied cookie",
       "HTTP/1.1 200 OK\r\nSet-Cookie: a=deleted; expires=Thu, 01 Jan 1970 00:00:01 GMT\r\n",
       "a=1; b=2", "", "a=deleted", "b=2", "HEADERS"},
      {"a Location line", "HTTP/1.1 302 Found\r\nLocation:  /next \r\n", std::nullopt, "", "", "",
       "/next"},
      {"Content-Location counts as Location", "HTTP/1.1 200 OK\r\nContent-Location: /other\r\n",
       std::nullopt, "", "", "", "/other"},
      {"the last Location line wins",
       "HTTP/1.1 302 Found\r\nLocation: /a\r\nContent-Location: /b\r\n", std::nullopt, "", "", "",
       "/b"},
      {"\"location:\" in lower case is not searched", "HTTP/1.1 302 Found\r\nlocation: /a\r\n",
       std::nullopt, "", "", "", "HEADERS"},
      {"a redirect location passed in stays when there is none", "HTTP/1.1 200 OK\r\n",
       std::nullopt, "kept", "", "", "kept"},
      {"\"Set-Cookie\" is searched anywhere in a line",
       "HTTP/1.1 200 OK\r\nX-Set-Cookie: q=1; p\r\n", std::nullopt, "", "q=1", "", "HEADERS"},
      {"but in exactly that letter case", "HTTP/1.1 200 OK\r\nSET-COOKIE: q=1; p\r\n", std::nullopt,
       "", "", "", "HEADERS"},
      {"the value starts after the first \"Set-Cookie:\" in any case",
       "HTTP/1.1 200 OK\r\nSET-COOKIE: Set-Cookie q=1; p\r\n", std::nullopt, "", "Set-Cookie q=1",
       "", "HEADERS"},
  };
  for (const ScanCase& c : cases) {
    SCOPED_TRACE(c.why);
    ScriptedTransport transport;
    transport.rawHeaders = c.rawHeaders;
    Text cookies(c.cookies.value_or("")), returned("old"), redirect(c.redirectIn), headers("old");
    HttpRequestArgs args;
    if (c.cookies) args.cookies = &cookies;
    args.returnedCookies = &returned;
    args.redirectLocation = &redirect;
    args.responseHeaders = &headers;
    httpRequest(transport, Text("http://a/"), args);
    EXPECT_EQ(returned.str(), c.returnedCookies);
    if (c.cookies) {
      EXPECT_EQ(cookies.str(), c.cookiesAfter);
    }
    EXPECT_EQ(redirect.str(), c.redirectLocation == "HEADERS" ? c.rawHeaders : c.redirectLocation);
    EXPECT_EQ(headers.str(), c.rawHeaders);
  }
}

TEST(HttpRequestTest, LongHeaderTextIsHandedBackWhole) {
  ScriptedTransport transport;
  std::string raw = "HTTP/1.1 200 OK\r\nX-Pad: " + std::string(6000, 'p') + "\r\n";
  raw += "Set-Cookie: late=1; path=/\r\nLocation: /late\r\n";
  transport.rawHeaders = raw;
  Text returned, redirect, headers;
  httpRequest(
      transport, Text("http://a/"),
      {.returnedCookies = &returned, .redirectLocation = &redirect, .responseHeaders = &headers});
  EXPECT_EQ(headers.str(), raw);
  EXPECT_EQ(returned.str(), "late=1");
  EXPECT_EQ(redirect.str(), "/late");
}

TEST(HttpRequestTest, NoResponseGivesEmptyHeaderText) {
  ScriptedTransport transport;
  transport.rawHeaders = std::nullopt;
  Text returned("old"), redirect, headers("old"), extra;
  EXPECT_EQ(httpRequest(transport, Text("http://a/"),
                        {.returnedCookies = &returned,
                         .extraHeaders = &extra,
                         .redirectLocation = &redirect,
                         .responseHeaders = &headers})
                .str(),
            "");
  EXPECT_EQ(headers.str(), "");
  EXPECT_EQ(redirect.str(), "");
  EXPECT_EQ(returned.str(), "");
  EXPECT_EQ(extra.str(), "Referer: http://a/" + kDefaults);
}

struct CharsetCase {
  const char* why;
  std::string body;
  std::string headers;
  std::string expected;
};

TEST(HttpRequestTest, BodyMarkedUtf8IsConverted) {
  const std::string chinese = "\xE4\xB8\xAD";  // one character, 0xD6 0xD0 in code page 936
  const CharsetCase cases[] = {
      {"\"utf-8\" at the start of the body", "utf-8 " + chinese, "HTTP/1.1 200 OK\r\n",
       "utf-8 \xD6\xD0"},
      {"\"utf-8\" starting at byte 499", std::string(498, ' ') + "utf-8" + chinese,
       "HTTP/1.1 200 OK\r\n", std::string(498, ' ') + "utf-8\xD6\xD0"},
      {"\"utf-8\" starting at byte 500 does not count", std::string(499, ' ') + "utf-8" + chinese,
       "HTTP/1.1 200 OK\r\n", std::string(499, ' ') + "utf-8" + chinese},
      {"\"UTF-8\" in capitals in the body does not count", "UTF-8 " + chinese,
       "HTTP/1.1 200 OK\r\n", "UTF-8 " + chinese},
      {"the headers count in any case", chinese,
       "HTTP/1.1 200 OK\r\nContent-Type: text/html; charset=UTF-8\r\n", "\xD6\xD0"},
      {"unmarked bodies are left alone", chinese, "HTTP/1.1 200 OK\r\n", chinese},
      {"a NUL ends the body", "ab\0cd"s, "HTTP/1.1 200 OK\r\n", "ab"},
      {"a NUL ends a converted body too", "utf-8\0cd"s, "HTTP/1.1 200 OK\r\n", "utf-8"},
  };
  for (const CharsetCase& c : cases) {
    SCOPED_TRACE(c.why);
    ScriptedTransport transport;
    for (std::size_t at = 0; at < c.body.size(); at += 1024) {
      transport.bodyChunks.push_back(c.body.substr(at, 1024));
    }
    transport.rawHeaders = c.headers;
    EXPECT_EQ(httpRequest(transport, Text("http://a/")).str(), c.expected);
  }
}

struct FailureCase {
  const char* why;
  bool failOpen, failConnect, failRequest;
  std::vector<std::string> calls;
};

TEST(HttpRequestTest, AFailedHandleClosesWhatWasOpenedAndTouchesNothing) {
  const FailureCase cases[] = {
      {"no internet handle", true, false, false, {"open", "close null"}},
      {"no connection", false, true, false, {"open", "connect", "close null", "close internet"}},
      {"no request",
       false,
       false,
       true,
       {"open", "connect", "openRequest", "close null", "close connection", "close internet"}},
  };
  for (const FailureCase& c : cases) {
    SCOPED_TRACE(c.why);
    ScriptedTransport transport;
    transport.failOpen = c.failOpen;
    transport.failConnect = c.failConnect;
    transport.failRequest = c.failRequest;
    transport.bodyChunks = {"body"};
    Text cookies("c=1"), returned("r"), extra("X: 1"), redirect("l"), headers("h");
    Bytes postBytes;
    const Text result = httpRequest(transport, Text("http://a/"),
                                    {.method = 1,
                                     .postText = Text("p"),
                                     .cookies = &cookies,
                                     .returnedCookies = &returned,
                                     .extraHeaders = &extra,
                                     .redirectLocation = &redirect,
                                     .postBytes = &postBytes,
                                     .responseHeaders = &headers});
    EXPECT_EQ(result.str(), "");
    EXPECT_EQ(transport.calls, c.calls);
    EXPECT_EQ(cookies.str(), "c=1");
    EXPECT_EQ(returned.str(), "r");
    EXPECT_EQ(extra.str(), "X: 1");
    EXPECT_EQ(redirect.str(), "l");
    EXPECT_EQ(headers.str(), "h");
    EXPECT_EQ(postBytes.str(), "");
  }
}

struct ValueCase {
  std::string line;
  std::string value;
};

TEST(HeaderValueTest, TextAfterTheFirstColonTrimmed) {
  const ValueCase cases[] = {
      {"Location: /a", "/a"},
      {"Location:/a", "/a"},
      {"Location:   /a  ", "/a"},
      {"X: a: b", "a: b"},
      {"no colon", ""},
      {"", ""},
      {"X:", ""},
      {"X: \xA1\xA1v\xA1\xA1", "v"},  // ideographic spaces trimmed
      {"X:\tv\t", "\tv\t"},           // tabs are not spaces
      {"X: v\r", "v\r"},              // nor line breaks
  };
  for (const ValueCase& c : cases) {
    SCOPED_TRACE(c.line);
    EXPECT_EQ(headerValue(c.line).str(), c.value);
  }
}

}  // namespace
}  // namespace tuvaro
