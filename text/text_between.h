// Cutting a piece out of a text between two markers.
#pragma once

#include <string_view>

#include "text/text.h"

namespace tuvaro {

// The text between the first occurrence of `startMarker` (searched from `startPosition` on;
// 0 and below count as 1) and the next occurrence of `endMarker` after it; the empty text when
// either is missing. In both markers the token "#引号" (code page 936) stands for one double
// quote. Letters match without regard to ASCII case unless `caseSensitive`. Matches begin only
// at character starts. An empty start marker makes the extract begin at position 1; an empty
// end marker gives the empty text.
// Example: textBetween("ver=RUANJIANBANBEN2JIESHU", "ruanjianbanben", "jieshu") == "2".
Text textBetween(std::string_view text, std::string_view startMarker, std::string_view endMarker,
                 std::int64_t startPosition = 1, bool caseSensitive = false);

}  // namespace tuvaro
