// textBetween over arbitrary texts and markers. The input is split at the first two 0x01 bytes
// into text, start marker and end marker; the first byte picks the start position and case.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "text/text_between.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const auto control = static_cast<std::int8_t>(data[0]);
  std::string_view rest(reinterpret_cast<const char*>(data + 1), size - 1);
  const std::size_t first = rest.find('\x01');
  const std::string_view text = rest.substr(0, first);
  std::string_view start, end;
  if (first != std::string_view::npos) {
    rest.remove_prefix(first + 1);
    const std::size_t second = rest.find('\x01');
    start = rest.substr(0, second);
    if (second != std::string_view::npos) end = rest.substr(second + 1);
  }
  const tuvaro::Text piece = tuvaro::textBetween(text, start, end, control / 2, (control & 1) != 0);
  // The extract is always a piece of the text.
  if (!piece.empty() && text.find(piece.view()) == std::string_view::npos) __builtin_trap();
  return 0;
}
