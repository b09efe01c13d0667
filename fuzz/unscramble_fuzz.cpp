// unscrambleText and the hex routines over arbitrary scrambled texts and keys (split at the
// first 0x01 byte).
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "text/scrambled_text.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  const std::size_t split = input.find('\x01');
  const std::string_view scrambled = input.substr(0, split);
  const std::string_view key = split == std::string_view::npos ? "" : input.substr(split + 1);
  const tuvaro::Text plain = tuvaro::unscrambleText(scrambled, key);
  if (plain.size() > scrambled.size() / 2) __builtin_trap();  // two digits per plain byte
  const tuvaro::Bytes bytes = tuvaro::hexToBytes(scrambled);
  if (bytes.size() != (scrambled.size() + 1) / 2) __builtin_trap();
  tuvaro::hexToNumber(key);
  tuvaro::md5Hex(input, size % 2 == 0, size % 3 == 0);
  return 0;
}
