// The request routine's header scan on any raw header bytes, through a transport that answers
// with the input: the first half-byte picks which of the caller's variables are supplied.
// Never crashes; the raw header text is handed back whole (up to a NUL).
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "http/http_request.h"

namespace {

class EchoTransport final : public tuvaro::Transport {
 public:
  explicit EchoTransport(std::string_view raw) : raw_(raw) {}
  struct Handle final : tuvaro::TransportHandle {};
  tuvaro::TransportHandle* open(const tuvaro::Text&, const std::optional<tuvaro::Text>&) override {
    return new Handle;
  }
  tuvaro::TransportHandle* connect(tuvaro::TransportHandle*, const tuvaro::Text&,
                                   std::int32_t) override {
    return new Handle;
  }
  tuvaro::TransportHandle* openRequest(tuvaro::TransportHandle*, const tuvaro::Text&,
                                       const tuvaro::Text&, const tuvaro::Text&,
                                       std::uint32_t) override {
    return new Handle;
  }
  bool send(tuvaro::TransportHandle*, const tuvaro::Text&, const tuvaro::Bytes&, bool) override {
    return true;
  }
  std::size_t read(tuvaro::TransportHandle*, char* buffer, std::size_t capacity) override {
    // The same bytes serve as the body, so the UTF-8 sniffing and conversion run too.
    const std::size_t count = std::min(capacity, raw_.size() - at_);
    raw_.copy(buffer, count, at_);
    at_ += count;
    return count;
  }
  std::optional<tuvaro::Bytes> queryRawHeaders(tuvaro::TransportHandle*) override {
    return tuvaro::Bytes(std::string(raw_));
  }
  void close(tuvaro::TransportHandle* handle) override { delete handle; }

 private:
  std::string_view raw_;
  std::size_t at_ = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const unsigned choice = data[0];
  const std::string_view raw(reinterpret_cast<const char*>(data) + 1, size - 1);
  EchoTransport transport(raw);
  tuvaro::Text cookies("a=1; b=2"), returned, redirect, headers;
  tuvaro::HttpRequestArgs args;
  if (choice & 1) args.cookies = &cookies;
  if (choice & 2) args.returnedCookies = &returned;
  if (choice & 4) args.redirectLocation = &redirect;
  args.responseHeaders = &headers;
  tuvaro::httpRequest(transport, tuvaro::Text("http://fuzz.example/"), args);
  if (!(headers == tuvaro::Text(raw))) std::abort();
  const std::size_t lineEnd = raw.find('\n');
  tuvaro::headerValue(raw.substr(0, lineEnd));
  return 0;
}
