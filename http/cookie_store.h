// The transport's own cookie store, used for requests whose caller supplies no cookies: one
// in-memory store for the whole process, behind a lock, fed into each transfer and read back
// after it. It keeps what a browser of the era would: name, value, domain (host-only or with
// its subdomains), path, secure flag and expiry; nothing is written to disk.
#pragma once

#include <chrono>
#include <cstddef>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tuvaro {

class CookieStore {
 public:
  // The process-wide store.
  static CookieStore& instance();

  // The value of a Cookie request line for a request to `host` (lower case) and `target` (the
  // request line's path and query), over TLS when `secure`: "name=value" pieces joined by
  // "; ", longer paths first, then older cookies first. Empty when no cookie applies.
  std::string cookieHeader(bool secure, std::string_view host, std::string_view target);

  // Records the value of one Set-Cookie response line received for `host` and `target`.
  // A cookie with a Domain that does not cover the host is ignored; an expired one (Expires in
  // the past, Max-Age of 0 or less) removes the stored cookie of the same name, domain and path.
  void receive(std::string_view setCookieValue, std::string_view host, std::string_view target);

  // Forgets every cookie.
  void clear();
  std::size_t size();

  // Above this many cookies the oldest are dropped, so a hostile server cannot grow the store
  // without bound.
  static constexpr std::size_t kMaxCookies = 3000;

 private:
  using Clock = std::chrono::system_clock;
  struct Cookie {
    std::string name;
    std::string value;
    std::string domain;
    std::string path;
    bool hostOnly = true;
    bool secure = false;
    std::optional<Clock::time_point> expires;
    std::uint64_t created = 0;
  };

  void dropExpired(Clock::time_point now);

  std::mutex mutex_;
  std::vector<Cookie> cookies_;
  std::uint64_t nextCreated_ = 0;
};

}  // namespace tuvaro
