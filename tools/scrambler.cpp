#include "tools/scrambler.h"

#include <string>

#include "text/scrambled_text.h"

namespace tuvaro {

Text scrambleText(std::string_view plain, std::string_view key) {
  static constexpr char kHexDigits[] = "0123456789ABCDEF";
  std::string out;
  out.reserve(plain.size() * 2 + kCheckTailLength);
  for (char c : plain) {
    const auto masked =
        static_cast<unsigned>((static_cast<unsigned char>(c) ^ kScrambleMask) & 0xFF);
    out += kHexDigits[masked >> 4];
    out += kHexDigits[masked & 15];
  }
  out.append(midBytes(md5Hex(key, /*keepUpperCase=*/true).view(), 3, kCheckTailLength));
  return Text(out);
}

}  // namespace tuvaro
