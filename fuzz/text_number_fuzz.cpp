// Reading numbers, narrowing full-width forms, trimming and splitting over arbitrary bytes.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "text/text.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  tuvaro::textToReal(input);
  tuvaro::textToTruncatedInteger(input);
  tuvaro::textToInteger(input);
  if (tuvaro::narrowFullWidth(input).size() > input.size()) __builtin_trap();
  if (tuvaro::trimSpaces(input).size() > input.size()) __builtin_trap();
  if (tuvaro::removeSpaces(input).size() > input.size()) __builtin_trap();
  std::size_t total = 0;
  for (const auto& piece : tuvaro::splitText(input, ";")) total += piece.size() + 1;
  if (total > input.size() + 1) __builtin_trap();
  tuvaro::findLastText(input, ":");
  return 0;
}
