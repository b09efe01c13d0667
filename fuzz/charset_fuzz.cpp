// Charset conversion on any bytes: the first byte picks the pair of charsets and the skip.
// Never crashes; the UTF-8 to GBK result never holds a NUL and never grows past the input.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "http/charset.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  static const char* const kCharsets[] = {"UTF-8",      "GBK",  "UTF-16LE", "UTF-16",
                                          "ISO-8859-1", "Big5", "GB18030",  "no-such-charset"};
  const unsigned choice = data[0];
  const tuvaro::Bytes input(std::string(reinterpret_cast<const char*>(data) + 1, size - 1));
  tuvaro::Text from(kCharsets[choice & 7]);
  tuvaro::Text to(kCharsets[(choice >> 3) & 7]);
  const std::optional<std::int32_t> skip =
      (choice & 0x40) ? std::optional<std::int32_t>(static_cast<std::int32_t>(choice >> 7) * 3)
                      : std::nullopt;
  tuvaro::convertCharset(input, &from, &to, skip);

  const tuvaro::Bytes gbk = tuvaro::convertCharset(input);
  if (gbk.str().find('\0') != std::string::npos) std::abort();
  if (gbk.size() > input.size()) std::abort();
  return 0;
}
