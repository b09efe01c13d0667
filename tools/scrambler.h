// The build-time counterpart of unscrambleText: plain text and key to the scrambled form.
#pragma once

#include <string_view>

#include "text/text.h"

namespace tuvaro {

// The hex body (each byte of `plain` exclusive-or kScrambleMask, upper-case digits) followed by
// characters 3 to 11 of the upper-case MD5 digest of `key`.
// unscrambleText(scrambleText(p, k), k) == p for every p that holds no byte equal to the mask.
Text scrambleText(std::string_view plain, std::string_view key);

}  // namespace tuvaro
