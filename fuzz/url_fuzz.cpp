// URL dissection on any bytes: never crashes, and the results keep their promises.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "http/url.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view url(reinterpret_cast<const char*>(data), size);
  for (int options = 0; options < 4; ++options) {
    const tuvaro::Text host = tuvaro::urlHost(url, (options & 1) != 0, (options & 2) != 0);
    for (char c : host.view()) {
      if (c >= 'A' && c <= 'Z') std::abort();  // the host is lower-cased
    }
  }
  tuvaro::urlPort(url);
  const tuvaro::Text path = tuvaro::urlPath(url);
  if (path.empty() || path.view().front() != '/') std::abort();  // at least "/"
  return 0;
}
