#include "http/cookie_store.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

namespace tuvaro {
namespace {

class CookieStoreTest : public ::testing::Test {
 protected:
  void SetUp() override { CookieStore::instance().clear(); }
  void TearDown() override { CookieStore::instance().clear(); }
  CookieStore& store = CookieStore::instance();
};

struct Received {
  std::string setCookie;
  std::string host;
  std::string target;
};

struct LookupCase {
  const char* why;
  std::vector<Received> received;
  bool secure;
  std::string host;
  std::string target;
  std::string expected;
};

TEST_F(CookieStoreTest, WhichCookiesARequestCarries) {
  const LookupCase cases[] = {
      {"same host and path", {{"a=1", "h.example", "/"}}, false, "h.example", "/x", "a=1"},
      {"host-only cookies stay on their host",
       {{"a=1", "h.example", "/"}},
       false,
       "sub.h.example",
       "/",
       ""},
      {"a Domain cookie reaches subdomains",
       {{"a=1; Domain=.h.example", "www.h.example", "/"}},
       false,
       "x.h.example",
       "/",
       "a=1"},
      {"a Domain that does not cover the host is refused",
       {{"a=1; Domain=other.example", "h.example", "/"}},
       false,
       "other.example",
       "/",
       ""},
      {"the default path is the request's folder",
       {{"a=1", "h", "/dir/page?q=/x"}},
       false,
       "h",
       "/dir/other",
       "a=1"},
      {"and does not reach outside it", {{"a=1", "h", "/dir/page"}}, false, "h", "/dirt", ""},
      {"an explicit path", {{"a=1; Path=/p", "h", "/"}}, false, "h", "/p/q", "a=1"},
      {"Secure cookies only over TLS", {{"a=1; Secure", "h", "/"}}, false, "h", "/", ""},
      {"Secure cookies over TLS", {{"a=1; Secure", "h", "/"}}, true, "h", "/", "a=1"},
      {"longer paths first, then older",
       {{"a=1", "h", "/"}, {"b=2; Path=/x", "h", "/"}, {"c=3", "h", "/"}},
       false,
       "h",
       "/x/y",
       "b=2; a=1; c=3"},
      {"a later cookie of the same name replaces the value",
       {{"a=1", "h", "/"}, {"a=2", "h", "/"}},
       false,
       "h",
       "/",
       "a=2"},
      {"Max-Age 0 removes it",
       {{"a=1", "h", "/"}, {"a=x; Max-Age=0", "h", "/"}},
       false,
       "h",
       "/",
       ""},
      {"an Expires date in the past removes it",
       {{"a=1", "h", "/"}, {"a=x; Expires=Thu, 01 Jan 1970 00:00:01 GMT", "h", "/"}},
       false,
       "h",
       "/",
       ""},
      {"Max-Age wins over Expires",
       {{"a=1; Expires=Thu, 01 Jan 1970 00:00:01 GMT; Max-Age=60", "h", "/"}},
       false,
       "h",
       "/",
       "a=1"},
      {"a piece without \"=\" sets nothing", {{"flag; Path=/", "h", "/"}}, false, "h", "/", ""},
      {"addresses match only themselves",
       {{"a=1; Domain=0.0.1", "127.0.0.1", "/"}},
       false,
       "127.0.0.1",
       "/",
       ""},
  };
  for (const LookupCase& c : cases) {
    SCOPED_TRACE(c.why);
    store.clear();
    for (const Received& r : c.received) store.receive(r.setCookie, r.host, r.target);
    EXPECT_EQ(store.cookieHeader(c.secure, c.host, c.target), c.expected);
  }
}

TEST_F(CookieStoreTest, TheStoreIsBounded) {
  for (std::size_t i = 0; i < CookieStore::kMaxCookies + 10; ++i) {
    store.receive("c" + std::to_string(i) + "=1", "h", "/");
  }
  EXPECT_EQ(store.size(), CookieStore::kMaxCookies);
  // The oldest went first.
  EXPECT_EQ(store.cookieHeader(false, "h", "/").substr(0, 8), "c10=1; c");
}

TEST_F(CookieStoreTest, ThreadsShareTheStoreSafely) {
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([t, this] {
      for (int i = 0; i < 200; ++i) {
        store.receive("t" + std::to_string(t) + "=" + std::to_string(i), "h", "/");
        store.cookieHeader(false, "h", "/");
      }
    });
  }
  for (auto& thread : threads) thread.join();
  const std::string header = store.cookieHeader(false, "h", "/");
  EXPECT_EQ(header.size(), std::string("t0=199; t1=199; t2=199; t3=199").size());
  for (int t = 0; t < 4; ++t) {
    EXPECT_NE(header.find("t" + std::to_string(t) + "=199"), std::string::npos) << header;
  }
}

}  // namespace
}  // namespace tuvaro
