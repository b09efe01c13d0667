#include "text/text.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace tuvaro {
namespace {

constexpr unsigned char kIdeographicSpaceByte = 0xA1;

unsigned char byteAt(std::string_view text, std::size_t i) {
  return static_cast<unsigned char>(text[i]);
}

bool hasAsciiLetter(std::string_view text) {
  return std::any_of(text.begin(), text.end(),
                     [](char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); });
}

// Every byte below 0x80 ends a character: it is either a character of its own or the second
// byte of a pair. So whether index `i` starts a character depends only on the run of bytes of
// 0x80 or above just before it: an even run pairs up, an odd one leaves `i` as a second byte.
// The scan back stops at `knownStart`, an index known to start a character, so that a search
// that moves `knownStart` forward never scans a byte back twice.
bool startsCharacter(std::string_view text, std::size_t i, std::size_t knownStart) {
  std::size_t j = i;
  while (j > knownStart && isLeadByte(text[j - 1])) --j;
  return (i - j) % 2 == 0;
}

bool matchesAt(std::string_view text, std::size_t i, std::string_view needle, LetterCase lc) {
  if (i + needle.size() > text.size()) return false;
  if (lc == LetterCase::kExact)
    return std::memcmp(text.data() + i, needle.data(), needle.size()) == 0;
  for (std::size_t k = 0; k < needle.size(); ++k) {
    if (foldAscii(text[i + k]) != foldAscii(needle[k])) return false;
  }
  return true;
}

// The first index at or after `from` where `needle` (non-empty) matches as bytes, without
// regard to character starts; npos when none.
std::size_t findBytes(std::string_view text, std::string_view needle, std::size_t from,
                      LetterCase lc) {
  if (from >= text.size() || needle.size() > text.size() - from) return std::string_view::npos;
  if (lc == LetterCase::kExact) {
    const void* hit = memmem(text.data() + from, text.size() - from, needle.data(), needle.size());
    return hit ? static_cast<std::size_t>(static_cast<const char*>(hit) - text.data())
               : std::string_view::npos;
  }
  const std::size_t last = text.size() - needle.size();  // last index a match can start at
  std::size_t i = from;
#if defined(__SSE2__)
  // Sixteen candidates at a time, filtered by the needle's first and last bytes. A letter is
  // compared with its 0x20 bit set on both sides; the few non-letters that this lets through
  // are weeded out by matchesAt.
  const auto isLetter = [](char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); };
  const char firstByte = needle.front(), lastByte = needle.back();
  const __m128i firstFold = _mm_set1_epi8(isLetter(firstByte) ? 0x20 : 0);
  const __m128i lastFold = _mm_set1_epi8(isLetter(lastByte) ? 0x20 : 0);
  const __m128i first = _mm_or_si128(_mm_set1_epi8(firstByte), firstFold);
  const __m128i lastWanted = _mm_or_si128(_mm_set1_epi8(lastByte), lastFold);
  const std::size_t lastOffset = needle.size() - 1;
  while (i + 16 <= last + 1) {
    const auto* block = reinterpret_cast<const __m128i*>(text.data() + i);
    const __m128i head = _mm_or_si128(_mm_loadu_si128(block), firstFold);
    const __m128i tail = _mm_or_si128(
        _mm_loadu_si128(reinterpret_cast<const __m128i*>(text.data() + i + lastOffset)), lastFold);
    unsigned mask = static_cast<unsigned>(_mm_movemask_epi8(
        _mm_and_si128(_mm_cmpeq_epi8(head, first), _mm_cmpeq_epi8(tail, lastWanted))));
    while (mask != 0) {
      const std::size_t candidate = i + static_cast<std::size_t>(__builtin_ctz(mask));
      if (matchesAt(text, candidate, needle, lc)) return candidate;
      mask &= mask - 1;
    }
    i += 16;
  }
#endif
  for (; i <= last; ++i) {
    if (matchesAt(text, i, needle, lc)) return i;
  }
  return std::string_view::npos;
}

// The first match of a non-empty `needle` at a character start at or after the character
// start `cursor`; npos when none. A lone lead byte at the very end is never a candidate.
std::size_t findAtCharStart(std::string_view text, std::string_view needle, std::size_t cursor,
                            LetterCase lc) {
  std::size_t from = cursor;
  for (;;) {
    const std::size_t hit = findBytes(text, needle, from, lc);
    if (hit == std::string_view::npos) return hit;
    if (startsCharacter(text, hit, cursor)) {
      if (isLeadByte(text[hit]) && hit + 1 == text.size()) return std::string_view::npos;
      return hit;
    }
    cursor = hit - 1;  // the lead byte of the pair that `hit` ends
    from = hit + 1;
  }
}

bool isSpaceAt(std::string_view text, std::size_t i) {
  return text[i] == ' ' || (byteAt(text, i) == kIdeographicSpaceByte && i + 1 < text.size() &&
                            byteAt(text, i + 1) == kIdeographicSpaceByte);
}

// Code page 936 places the full-width forms of "!" to "}" at 0xA3 0xA1 to 0xA3 0xFD, with one
// exception: 0xA3 0xA4 is the full-width yen sign, and the full-width dollar sign sits at
// 0xA1 0xE7. The full-width tilde is 0xA1 0xAB (0xA3 0xFE is a macron), the ideographic space
// 0xA1 0xA1.
char narrowPair(unsigned char lead, unsigned char trail) {
  if (lead == 0xA3 && trail >= 0xA1 && trail <= 0xFD && trail != 0xA4) {
    return static_cast<char>(trail - 0x80);
  }
  if (lead == 0xA1) {
    if (trail == 0xA1) return ' ';
    if (trail == 0xE7) return '$';
    if (trail == 0xAB) return '~';
  }
  return 0;
}

bool isAsciiDigit(char c) { return c >= '0' && c <= '9'; }
bool isAsciiWhiteSpace(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

// Index of the first byte after leading ASCII white space.
std::size_t skipWhiteSpace(std::string_view s) {
  std::size_t i = 0;
  while (i < s.size() && isAsciiWhiteSpace(s[i])) ++i;
  return i;
}

std::size_t skipDigits(std::string_view s, std::size_t i) {
  while (i < s.size() && isAsciiDigit(s[i])) ++i;
  return i;
}

}  // namespace

std::int64_t findText(std::string_view text, std::string_view needle, std::int64_t start,
                      LetterCase letterCase) {
  if (start < 1) start = 1;
  if (static_cast<std::uint64_t>(start) > text.size()) return -1;
  if (needle.empty()) return 1;
  if (letterCase == LetterCase::kIgnore && !hasAsciiLetter(needle)) letterCase = LetterCase::kExact;
  std::size_t cursor = static_cast<std::size_t>(start - 1);
  if (!startsCharacter(text, cursor, 0)) ++cursor;  // `start` fell on the second byte of a pair
  const std::size_t hit = findAtCharStart(text, needle, cursor, letterCase);
  return hit == std::string_view::npos ? -1 : static_cast<std::int64_t>(hit) + 1;
}

std::int64_t findLastText(std::string_view text, std::string_view needle, LetterCase letterCase) {
  if (needle.empty()) return -1;
  std::int64_t last = -1;
  std::size_t cursor = 0;
  for (;;) {
    const std::size_t hit = findAtCharStart(text, needle, cursor, letterCase);
    if (hit == std::string_view::npos) return last;
    last = static_cast<std::int64_t>(hit) + 1;
    cursor = hit + charLength(text, hit);
  }
}

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && matchesAt(a, 0, b, LetterCase::kIgnore);
}

std::string_view leftBytes(std::string_view text, std::int64_t n) {
  if (n <= 0) return {};
  return text.substr(0, static_cast<std::size_t>(
                            std::min<std::uint64_t>(static_cast<std::uint64_t>(n), text.size())));
}

std::string_view rightBytes(std::string_view text, std::int64_t n) {
  if (n <= 0) return {};
  const auto count =
      static_cast<std::size_t>(std::min<std::uint64_t>(static_cast<std::uint64_t>(n), text.size()));
  return text.substr(text.size() - count);
}

std::string_view midBytes(std::string_view text, std::int64_t position, std::int64_t n) {
  if (position < 1 || n <= 0 || static_cast<std::uint64_t>(position) > text.size()) return {};
  const std::size_t from = static_cast<std::size_t>(position - 1);
  const std::size_t count = static_cast<std::size_t>(
      std::min<std::uint64_t>(static_cast<std::uint64_t>(n), text.size() - from));
  return text.substr(from, count);
}

std::string_view bytesFrom(std::string_view text, std::int64_t position) {
  if (position < 1 || static_cast<std::uint64_t>(position) > text.size()) return {};
  return text.substr(static_cast<std::size_t>(position - 1));
}

Text toLowerAscii(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = foldAscii(c);
  return Text(out);
}

Text toUpperAscii(std::string_view text) {
  std::string out(text);
  for (char& c : out) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
  }
  return Text(out);
}

Text trimSpaces(std::string_view text) {
  std::size_t begin = text.size(), end = 0;
  for (std::size_t i = 0; i < text.size();) {
    const std::size_t len = charLength(text, i);
    const bool loneLead = isLeadByte(text[i]) && len == 1;
    if (!loneLead && !isSpaceAt(text, i)) {
      begin = std::min(begin, i);
      end = i + len;
    }
    i += len;
  }
  return begin < end ? Text(text.substr(begin, end - begin)) : Text();
}

Text removeSpaces(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size();) {
    const std::size_t len = charLength(text, i);
    const bool loneLead = isLeadByte(text[i]) && len == 1;
    if (!loneLead && !isSpaceAt(text, i)) out.append(text.substr(i, len));
    i += len;
  }
  return Text(out);
}

TextList splitText(std::string_view text, std::string_view separator) {
  TextList pieces;
  if (text.empty()) return pieces;
  if (separator.empty()) {
    pieces.emplace_back(text);
    return pieces;
  }
  std::size_t cursor = 0;
  for (;;) {
    const std::size_t hit = findAtCharStart(text, separator, cursor, LetterCase::kExact);
    if (hit == std::string_view::npos) break;
    pieces.emplace_back(text.substr(cursor, hit - cursor));
    cursor = hit + separator.size();
  }
  if (cursor < text.size()) pieces.emplace_back(text.substr(cursor));
  return pieces;
}

std::string narrowFullWidth(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size();) {
    const std::size_t len = charLength(text, i);
    const char narrow = len == 2 ? narrowPair(byteAt(text, i), byteAt(text, i + 1)) : 0;
    if (narrow != 0) {
      out.push_back(narrow);
    } else {
      out.append(text.substr(i, len));
    }
    i += len;
  }
  return out;
}

double textToReal(std::string_view text) {
  const std::string s = narrowFullWidth(text);
  std::size_t i = skipWhiteSpace(s);
  bool negative = false;
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) negative = s[i++] == '-';
  const std::size_t numberStart = i;
  const std::size_t intEnd = skipDigits(s, i);
  std::size_t end = intEnd;
  bool anyDigit = intEnd > i;
  if (end < s.size() && s[end] == '.') {
    const std::size_t fracEnd = skipDigits(s, end + 1);
    if (fracEnd > end + 1 || anyDigit) {
      anyDigit = anyDigit || fracEnd > end + 1;
      end = fracEnd;
    }
  }
  if (!anyDigit) return 0.0;
  if (end < s.size() && (s[end] == 'e' || s[end] == 'E')) {
    std::size_t e = end + 1;
    if (e < s.size() && (s[e] == '+' || s[e] == '-')) ++e;
    const std::size_t expEnd = skipDigits(s, e);
    if (expEnd > e) end = expEnd;
  }
  double value = 0.0;
  const auto result =
      std::from_chars(s.data() + numberStart, s.data() + end, value, std::chars_format::general);
  if (result.ec == std::errc::result_out_of_range) {
    // from_chars leaves the value untouched when it is out of range: decide by the exponent.
    const std::size_t ePos = s.find_first_of("eE", numberStart);
    const bool tiny = ePos < end && s.find('-', ePos) < end;
    value = tiny ? 0.0 : std::numeric_limits<double>::infinity();
  }
  return negative ? -value : value;
}

std::int64_t textToTruncatedInteger(std::string_view text) {
  const double value = std::trunc(textToReal(text));
  if (std::isnan(value)) return 0;
  constexpr double kLimit = 9223372036854775808.0;  // 2^63
  if (value >= kLimit) return std::numeric_limits<std::int64_t>::max();
  if (value < -kLimit) return std::numeric_limits<std::int64_t>::min();
  return static_cast<std::int64_t>(value);
}

std::int64_t textToInteger(std::string_view text) {
  const std::string s = narrowFullWidth(text);
  std::size_t i = skipWhiteSpace(s);
  bool negative = false;
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) negative = s[i++] == '-';
  std::uint64_t magnitude = 0;
  constexpr std::uint64_t kMaxMagnitude = 9223372036854775808ULL;  // 2^63
  for (; i < s.size() && isAsciiDigit(s[i]); ++i) {
    const auto digit = static_cast<std::uint64_t>(s[i] - '0');
    magnitude = (magnitude > (kMaxMagnitude - digit) / 10) ? kMaxMagnitude : magnitude * 10 + digit;
  }
  if (negative) {
    return magnitude >= kMaxMagnitude ? std::numeric_limits<std::int64_t>::min()
                                      : -static_cast<std::int64_t>(magnitude);
  }
  return magnitude >= kMaxMagnitude ? std::numeric_limits<std::int64_t>::max()
                                    : static_cast<std::int64_t>(magnitude);
}

}  // namespace tuvaro
