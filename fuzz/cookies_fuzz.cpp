// Cookie merging on any bytes: the first byte splits the input into the two cookie texts.
// The merge never crashes, writes both texts back, and leaves no repeated piece.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <set>
#include <string>
#include <string_view>

#include "http/cookies.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const std::string_view bytes(reinterpret_cast<const char*>(data) + 1, size - 1);
  const std::size_t cut = data[0] % size;  // 0 to size - 1
  tuvaro::Text cookies(bytes.substr(0, cut));
  tuvaro::Text returned(bytes.substr(cut));
  const tuvaro::Text merged = tuvaro::mergeCookies(cookies, returned);
  if (!(merged == cookies)) std::abort();
  if (!(tuvaro::removeSpaces(returned.view()) == returned)) std::abort();
  // No piece of the merged text repeats.
  std::set<std::string> pieces;
  for (const tuvaro::Text& piece : tuvaro::splitText(merged.view(), "; ")) {
    if (!pieces.insert(piece.str()).second) std::abort();
  }
  tuvaro::joinDistinct(bytes, bytes.substr(0, cut % 3));
  return 0;
}
