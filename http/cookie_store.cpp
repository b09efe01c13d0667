#include "http/cookie_store.h"

#include <curl/curl.h>

#include <algorithm>
#include <cctype>
#include <charconv>
#include <limits>

namespace tuvaro {
namespace {

std::string_view trimWhiteSpace(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  return s;
}

std::string lowerAscii(std::string_view s) {
  std::string out(s);
  for (char& c : out) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
  }
  return out;
}

bool isIpAddress(std::string_view host) {
  if (host.find(':') != std::string_view::npos || host.find('[') != std::string_view::npos) {
    return true;
  }
  return !host.empty() && std::all_of(host.begin(), host.end(),
                                      [](char c) { return (c >= '0' && c <= '9') || c == '.'; });
}

// RFC 6265 domain matching: the host itself, or a name below the domain (not for addresses).
bool domainMatches(std::string_view host, std::string_view domain) {
  if (host == domain) return true;
  if (isIpAddress(host) || host.size() <= domain.size()) return false;
  return host.substr(host.size() - domain.size()) == domain &&
         host[host.size() - domain.size() - 1] == '.';
}

std::string_view pathOf(std::string_view target) {
  const std::size_t end = target.find_first_of("?#");
  std::string_view path = target.substr(0, end);
  return path.empty() || path.front() != '/' ? std::string_view("/") : path;
}

// RFC 6265 default path: the request path up to, not including, its last "/".
std::string defaultPath(std::string_view target) {
  const std::string_view path = pathOf(target);
  const std::size_t lastSlash = path.rfind('/');
  return lastSlash == 0 || lastSlash == std::string_view::npos
             ? "/"
             : std::string(path.substr(0, lastSlash));
}

bool pathMatches(std::string_view requestPath, std::string_view cookiePath) {
  if (requestPath == cookiePath) return true;
  if (requestPath.substr(0, cookiePath.size()) != cookiePath) return false;
  return cookiePath.back() == '/' || requestPath[cookiePath.size()] == '/';
}

}  // namespace

CookieStore& CookieStore::instance() {
  static CookieStore store;
  return store;
}

void CookieStore::dropExpired(Clock::time_point now) {
  std::erase_if(cookies_, [now](const Cookie& c) { return c.expires && *c.expires <= now; });
}

std::string CookieStore::cookieHeader(bool secure, std::string_view host, std::string_view target) {
  const std::string_view path = pathOf(target);
  std::lock_guard lock(mutex_);
  dropExpired(Clock::now());
  std::vector<const Cookie*> chosen;
  for (const Cookie& c : cookies_) {
    if (c.secure && !secure) continue;
    if (c.hostOnly ? host != c.domain : !domainMatches(host, c.domain)) continue;
    if (!pathMatches(path, c.path)) continue;
    chosen.push_back(&c);
  }
  std::stable_sort(chosen.begin(), chosen.end(), [](const Cookie* a, const Cookie* b) {
    if (a->path.size() != b->path.size()) return a->path.size() > b->path.size();
    return a->created < b->created;
  });
  std::string header;
  for (const Cookie* c : chosen) {
    if (!header.empty()) header += "; ";
    header += c->name;
    header += '=';
    header += c->value;
  }
  return header;
}

void CookieStore::receive(std::string_view setCookieValue, std::string_view host,
                          std::string_view target) {
  std::string_view rest = setCookieValue;
  const std::size_t firstSemicolon = rest.find(';');
  const std::string_view pair = rest.substr(0, firstSemicolon);
  rest = firstSemicolon == std::string_view::npos ? std::string_view()
                                                  : rest.substr(firstSemicolon + 1);
  const std::size_t equals = pair.find('=');
  if (equals == std::string_view::npos) return;
  Cookie cookie;
  cookie.name = std::string(trimWhiteSpace(pair.substr(0, equals)));
  cookie.value = std::string(trimWhiteSpace(pair.substr(equals + 1)));
  if (cookie.name.empty()) return;
  cookie.domain = lowerAscii(host);
  cookie.path = defaultPath(target);

  const auto now = Clock::now();
  bool expired = false;
  bool haveMaxAge = false;
  while (!rest.empty()) {
    const std::size_t semicolon = rest.find(';');
    const std::string_view attribute = rest.substr(0, semicolon);
    rest = semicolon == std::string_view::npos ? std::string_view() : rest.substr(semicolon + 1);
    const std::size_t eq = attribute.find('=');
    const std::string key = lowerAscii(trimWhiteSpace(attribute.substr(0, eq)));
    const std::string_view value = eq == std::string_view::npos
                                       ? std::string_view()
                                       : trimWhiteSpace(attribute.substr(eq + 1));
    if (key == "domain" && !value.empty()) {
      std::string domain = lowerAscii(value);
      if (domain.front() == '.') domain.erase(0, 1);
      if (domain.empty()) continue;
      if (!domainMatches(cookie.domain, domain)) return;  // not ours to set
      cookie.hostOnly = domain == cookie.domain;
      cookie.domain = std::move(domain);
    } else if (key == "path") {
      if (!value.empty() && value.front() == '/') cookie.path = std::string(value);
    } else if (key == "secure") {
      cookie.secure = true;
    } else if (key == "max-age") {
      long long seconds = 0;
      const auto parsed = std::from_chars(value.data(), value.data() + value.size(), seconds);
      if (parsed.ec == std::errc::invalid_argument || value.empty()) continue;
      haveMaxAge = true;
      if (parsed.ec == std::errc::result_out_of_range) seconds = value.front() == '-' ? -1 : 0;
      if (seconds <= 0) {
        expired = true;
      } else {
        expired = false;
        constexpr long long kTenYears = 10LL * 366 * 24 * 3600;
        cookie.expires = now + std::chrono::seconds(std::min(seconds, kTenYears));
      }
    } else if (key == "expires" && !haveMaxAge) {
      const std::string date(value);
      const time_t when = curl_getdate(date.c_str(), nullptr);
      if (when == -1) continue;
      const auto at = Clock::from_time_t(when);
      expired = at <= now;
      if (!expired) cookie.expires = at;
    }
  }

  std::lock_guard lock(mutex_);
  const auto same = std::find_if(cookies_.begin(), cookies_.end(), [&](const Cookie& c) {
    return c.name == cookie.name && c.domain == cookie.domain && c.path == cookie.path;
  });
  if (expired) {
    if (same != cookies_.end()) cookies_.erase(same);
    return;
  }
  if (same != cookies_.end()) {
    cookie.created = same->created;
    *same = std::move(cookie);
    return;
  }
  cookie.created = nextCreated_++;
  cookies_.push_back(std::move(cookie));
  if (cookies_.size() > kMaxCookies) {
    dropExpired(now);
    if (cookies_.size() > kMaxCookies) cookies_.erase(cookies_.begin());
  }
}

void CookieStore::clear() {
  std::lock_guard lock(mutex_);
  cookies_.clear();
}

std::size_t CookieStore::size() {
  std::lock_guard lock(mutex_);
  return cookies_.size();
}

}  // namespace tuvaro
