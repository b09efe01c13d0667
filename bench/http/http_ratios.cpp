// The HTTP client's four performance ratios, each against its baseline measured in the same
// run on the same machine:
//   1. httpRequest fetching a 256 MiB body from a loopback server, against
//      "curl -s -o /dev/null" on the same address: wall time, and the fetching process's peak
//      memory as a multiple of the body size.
//   2. 2,000 sequential small GETs through httpRequest, against a loop of plain libcurl easy
//      requests with a fresh handle each.
//   3. mergeCookies: cost per piece at 100,000 pieces over the cost per piece at 1,000.
//   4. convertCharset of 64 MiB of UTF-8 Chinese text, against "iconv -f UTF-8 -t GBK" on the
//      same bytes.
// Usage: http_ratios [--fetch URL]   (--fetch is the child process that ratio 1 measures)
#include <arpa/inet.h>
#include <curl/curl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "http/charset.h"
#include "http/cookies.h"
#include "http/http_request.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr std::size_t kLargeBody = 256u << 20;
constexpr std::size_t kSmallBody = 200;
constexpr int kSmallRequests = 2000;
constexpr std::size_t kChineseBytes = 64u << 20;

double secondsSince(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

// A loopback server: "/large" answers with a 256 MiB body, anything else with a small one.
// Every response closes its connection.
class BenchServer {
 public:
  BenchServer() {
    listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    int yes = 1;
    setsockopt(listener_, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(listener_, 64) != 0) {
      std::perror("listen");
      std::exit(1);
    }
    socklen_t length = sizeof address;
    ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length);
    port_ = ntohs(address.sin_port);
    pattern_.resize(1u << 20);
    for (std::size_t i = 0; i < pattern_.size(); ++i) pattern_[i] = static_cast<char>('a' + i % 26);
    thread_ = std::thread([this] { run(); });
  }
  ~BenchServer() {
    stopping_ = true;
    thread_.join();
    ::close(listener_);
  }
  std::string url(const char* path) const {
    return "http://127.0.0.1:" + std::to_string(port_) + path;
  }

 private:
  void run() {
    while (!stopping_) {
      pollfd p{listener_, POLLIN, 0};
      if (::poll(&p, 1, 50) <= 0) continue;
      const int socket = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
      if (socket >= 0) serve(socket);
    }
  }
  void serve(int socket) {
    std::string request;
    char buffer[4096];
    while (request.find("\r\n\r\n") == std::string::npos) {
      const long got = ::recv(socket, buffer, sizeof buffer, 0);
      if (got <= 0) break;
      request.append(buffer, static_cast<std::size_t>(got));
    }
    const bool large = request.starts_with("GET /large ");
    const std::size_t size = large ? kLargeBody : kSmallBody;
    const std::string head =
        "HTTP/1.1 200 OK\r\nContent-Type: application/octet-stream\r\nContent-Length: " +
        std::to_string(size) + "\r\n\r\n";
    bool ok = sendAll(socket, head.data(), head.size());
    for (std::size_t sent = 0; ok && sent < size;) {
      const std::size_t piece = std::min(pattern_.size(), size - sent);
      ok = sendAll(socket, pattern_.data(), piece);
      sent += piece;
    }
    ::shutdown(socket, SHUT_WR);
    while (::recv(socket, buffer, sizeof buffer, 0) > 0) {
    }
    ::close(socket);
  }
  static bool sendAll(int socket, const char* data, std::size_t size) {
    while (size > 0) {
      const long sent = ::send(socket, data, size, MSG_NOSIGNAL);
      if (sent <= 0) return false;
      data += sent;
      size -= static_cast<std::size_t>(sent);
    }
    return true;
  }

  int listener_ = -1;
  std::uint16_t port_ = 0;
  std::string pattern_;
  std::atomic<bool> stopping_{false};
  std::thread thread_;
};

struct ChildRun {
  double seconds = 0;
  long peakKiB = 0;
  int status = -1;
};

// Runs a program to its end; wall time from start to exit and its peak resident memory.
ChildRun runChild(const std::vector<std::string>& arguments, const char* stdinFile = nullptr) {
  std::vector<char*> argv;
  for (const std::string& a : arguments) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  std::fflush(stdout);
  std::fflush(stderr);
  const auto start = Clock::now();
  const pid_t child = ::fork();
  if (child == 0) {
    if (stdinFile) {
      if (!std::freopen(stdinFile, "rb", stdin)) _exit(126);
    }
    if (!std::freopen("/dev/null", "wb", stdout)) _exit(126);
    ::execvp(argv[0], argv.data());
    _exit(127);
  }
  ChildRun run;
  rusage usage{};
  ::wait4(child, &run.status, 0, &usage);
  run.seconds = secondsSince(start);
  run.peakKiB = usage.ru_maxrss;
  return run;
}

double bestOf(int times, const std::function<double()>& measure) {
  double best = 1e300;
  for (int i = 0; i < times; ++i) best = std::min(best, measure());
  return best;
}

std::string selfPath() {
  char path[4096];
  const long length = ::readlink("/proc/self/exe", path, sizeof path - 1);
  return std::string(path, static_cast<std::size_t>(std::max(0L, length)));
}

// ---- Ratio 1 ----------------------------------------------------------------------------

void largeBody(const BenchServer& server) {
  const std::string url = server.url("/large");
  ChildRun ours, curl;
  double bestOurs = 1e300, bestCurl = 1e300;
  // The best of five of each, taken in turns: the machine's other load and the state of its
  // free memory move single runs a lot.
  for (int i = 0; i < 5; ++i) {
    curl = runChild({"curl", "-s", "-o", "/dev/null", url});
    if (curl.status != 0) std::fprintf(stderr, "curl failed\n");
    bestCurl = std::min(bestCurl, curl.seconds);
    const ChildRun run = runChild({selfPath(), "--fetch", url});
    if (run.status != 0) std::fprintf(stderr, "fetch failed\n");
    bestOurs = std::min(bestOurs, run.seconds);
    ours.peakKiB = std::max(ours.peakKiB, run.peakKiB);
  }
  const double memoryRatio = static_cast<double>(ours.peakKiB) * 1024.0 / kLargeBody;
  std::printf("large body (256 MiB): httpRequest %.3f s, curl %.3f s\n", bestOurs, bestCurl);
  std::printf("RATIO large_body_time %.2f (limit 1.25)\n", bestOurs / bestCurl);
  std::printf("RATIO large_body_peak_memory %.2f x body (peak %ld KiB; limit 1.5)\n", memoryRatio,
              ours.peakKiB);
}

int fetch(const char* url) {
  const tuvaro::Text body = tuvaro::httpRequest(tuvaro::Text(url));
  return body.size() == kLargeBody ? 0 : 1;
}

// ---- Ratio 2 ----------------------------------------------------------------------------

std::size_t collect(char*, std::size_t size, std::size_t count, void* total) {
  *static_cast<std::size_t*>(total) += size * count;
  return size * count;
}

void smallRequests(const BenchServer& server) {
  const std::string url = server.url("/small");
  const tuvaro::Text textUrl(url);
  auto ours = [&] {
    const auto start = Clock::now();
    std::size_t total = 0;
    for (int i = 0; i < kSmallRequests; ++i) total += tuvaro::httpRequest(textUrl).size();
    if (total != kSmallBody * kSmallRequests) std::fprintf(stderr, "short small bodies\n");
    return secondsSince(start);
  };
  auto plain = [&] {
    const auto start = Clock::now();
    std::size_t total = 0;
    for (int i = 0; i < kSmallRequests; ++i) {
      CURL* easy = curl_easy_init();
      curl_easy_setopt(easy, CURLOPT_URL, url.c_str());
      curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, &collect);
      curl_easy_setopt(easy, CURLOPT_WRITEDATA, &total);
      curl_easy_perform(easy);
      curl_easy_cleanup(easy);
    }
    if (total != kSmallBody * kSmallRequests) std::fprintf(stderr, "short small bodies\n");
    return secondsSince(start);
  };
  ours();  // warm up
  double bestOurs = 1e300, bestPlain = 1e300;
  for (int i = 0; i < 3; ++i) {
    bestPlain = std::min(bestPlain, plain());
    bestOurs = std::min(bestOurs, ours());
  }
  std::printf("2000 small GETs: httpRequest %.3f s, plain libcurl %.3f s\n", bestOurs, bestPlain);
  std::printf("RATIO small_gets %.2f (limit 1.2)\n", bestOurs / bestPlain);
}

// ---- Ratio 3 ----------------------------------------------------------------------------

// A caller's cookie text and a returned one of `pieces` pieces in all, half each; a quarter
// of the returned names replace supplied ones, some pieces are deletions.
std::pair<std::string, std::string> cookieTexts(int pieces) {
  std::string supplied, returned;
  for (int i = 0; i < pieces / 2; ++i) {
    supplied += "name" + std::to_string(i) + "=value" + std::to_string(i) + "; ";
    const int returnedName = (i % 4 == 0) ? i : pieces + i;
    returned += "name" + std::to_string(returnedName) +
                (i % 10 == 0 ? "=deleted" : "=new" + std::to_string(i)) + "; ";
  }
  return {supplied, returned};
}

double mergeSecondsPerPiece(int pieces, int repeats) {
  const auto [supplied, returned] = cookieTexts(pieces);
  return bestOf(5,
                [&] {
                  const auto start = Clock::now();
                  std::size_t sink = 0;
                  for (int r = 0; r < repeats; ++r) {
                    tuvaro::Text cookies(supplied), returnedCookies(returned);
                    sink += tuvaro::mergeCookies(cookies, returnedCookies).size();
                  }
                  if (sink == 0) std::fprintf(stderr, "empty merge\n");
                  return secondsSince(start);
                }) /
         repeats / pieces;
}

void cookieScaling() {
  const double small = mergeSecondsPerPiece(1000, 200);
  const double large = mergeSecondsPerPiece(100000, 2);
  std::printf("mergeCookies per piece: %.1f ns at 1,000 pieces, %.1f ns at 100,000\n", small * 1e9,
              large * 1e9);
  std::printf("RATIO merge_cookies_per_piece_growth %.2f (limit 2)\n", large / small);
}

// ---- Ratio 4 ----------------------------------------------------------------------------

std::string chineseText(std::size_t bytes) {
  std::mt19937 random(936);
  std::uniform_int_distribution<std::uint32_t> ideograph(0x4E00, 0x9FA5);
  std::string text;
  text.reserve(bytes + 8);
  int column = 0;
  while (text.size() < bytes) {
    std::uint32_t c = ideograph(random);
    if (++column % 40 == 0) {
      text += "\xE3\x80\x82\n";  // full stop, line break
      continue;
    }
    if (column % 7 == 0) {
      text += "\xEF\xBC\x8C";  // full-width comma
      continue;
    }
    text += static_cast<char>(0xE0 | (c >> 12));
    text += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    text += static_cast<char>(0x80 | (c & 0x3F));
  }
  while (text.size() > bytes || (static_cast<unsigned char>(text.back()) & 0xC0) == 0x80 ||
         static_cast<unsigned char>(text.back()) >= 0xC0) {
    text.pop_back();  // end on a whole character
  }
  return text;
}

void charsetConversion() {
  const std::string utf8 = chineseText(kChineseBytes);
  char path[] = "/tmp/tuvaro-bench-utf8-XXXXXX";
  const int fd = ::mkstemp(path);
  if (fd < 0 || ::write(fd, utf8.data(), utf8.size()) != static_cast<long>(utf8.size())) {
    std::perror("write");
    std::exit(1);
  }
  ::close(fd);
  const tuvaro::Bytes input(utf8);
  std::size_t outSize = 0;
  const double ours = bestOf(3, [&] {
    const auto start = Clock::now();
    outSize = tuvaro::convertCharset(input).size();
    return secondsSince(start);
  });
  const double iconv = bestOf(3, [&] {
    return runChild({"iconv", "-f", "UTF-8", "-t", "GBK"}, path).seconds;
  });
  const ChildRun check = runChild({"iconv", "-f", "UTF-8", "-t", "GBK"}, path);
  ::unlink(path);
  if (check.status != 0) std::fprintf(stderr, "iconv failed\n");
  std::printf("64 MiB UTF-8 Chinese to GBK: convertCharset %.3f s (%zu bytes out), iconv %.3f s\n",
              ours, outSize, iconv);
  std::printf("RATIO convert_charset %.2f (limit 1.5)\n", ours / iconv);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 3 && std::strcmp(argv[1], "--fetch") == 0) return fetch(argv[2]);
  if (argc == 2 && std::strcmp(argv[1], "--serve") == 0) {
    BenchServer server;
    std::printf("%s\n", server.url("/large").c_str());
    std::fflush(stdout);
    std::this_thread::sleep_for(std::chrono::seconds(60));
    return 0;
  }
  curl_global_init(CURL_GLOBAL_DEFAULT);
  {
    BenchServer server;
    largeBody(server);
    smallRequests(server);
  }
  cookieScaling();
  charsetConversion();
  return 0;
}
