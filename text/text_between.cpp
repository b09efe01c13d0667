#include "text/text_between.h"

#include <string>

#include "text/codepage.h"

namespace tuvaro {
namespace {

// "#引号" in a marker stands for one double quote: left to right, not overlapping, exact
// bytes, at character starts.
std::string expandQuoteToken(std::string_view marker) {
  const Text& token = TUVARO_CP936("#引号");
  std::string out;
  std::int64_t from = 1;
  for (std::int64_t hit; (hit = findText(marker, token.view(), from)) != -1;
       from = hit + static_cast<std::int64_t>(token.size())) {
    out.append(midBytes(marker, from, hit - from));
    out += '"';
  }
  out.append(bytesFrom(marker, from));
  return out;
}

}  // namespace

Text textBetween(std::string_view text, std::string_view startMarker, std::string_view endMarker,
                 std::int64_t startPosition, bool caseSensitive) {
  const LetterCase letterCase = caseSensitive ? LetterCase::kExact : LetterCase::kIgnore;
  const std::string start = expandQuoteToken(startMarker);
  const std::string end = expandQuoteToken(endMarker);
  const std::int64_t startHit = findText(text, start, startPosition, letterCase);
  if (startHit == -1) return {};
  const std::int64_t begin = startHit + static_cast<std::int64_t>(start.size());
  const std::int64_t endHit = findText(text, end, begin, letterCase);
  if (endHit == -1) return {};
  return Text(midBytes(text, begin, endHit - begin));
}

}  // namespace tuvaro
