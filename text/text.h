// The program's text model: code-page-936 Text, raw Bytes, and the helpers that every
// subsystem shares (searching, cutting, letter case, spaces, splitting, reading numbers).
//
// Conventions that hold for every routine here:
//  - Positions count from 1, in bytes; a search that finds nothing gives -1.
//  - Searches, splitting and space removal step through a text character by character in
//    code page 936: a byte of 0x80 or above and the byte after it form one character, and a
//    match never begins on the second byte of such a pair.
//  - Letter-case folding touches only the ASCII letters A-Z and a-z.
//  - Every routine takes every input (empty, lone lead bytes, odd lengths) and never fails.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace tuvaro {

// A byte string in code page 936 that never holds a NUL byte. Constructing one from bytes
// keeps them up to, not including, the first NUL.
class Text {
 public:
  Text() = default;
  explicit Text(std::string_view bytes) : bytes_(bytes.substr(0, bytes.find('\0'))) {}
  explicit Text(const char* bytes) : Text(std::string_view(bytes)) {}
  // Takes over `bytes` without copying them (a large response body, say), cut at the first NUL.
  explicit Text(std::string&& bytes) : bytes_(std::move(bytes)) {
    bytes_.resize(std::min(bytes_.size(), bytes_.find('\0')));
  }

  const std::string& str() const { return bytes_; }
  std::string_view view() const { return bytes_; }
  const char* c_str() const { return bytes_.c_str(); }
  std::size_t size() const { return bytes_.size(); }
  bool empty() const { return bytes_.empty(); }

  Text& operator+=(const Text& more) {
    bytes_ += more.bytes_;
    return *this;
  }
  friend Text operator+(Text left, const Text& right) { return left += right; }
  friend bool operator==(const Text&, const Text&) = default;

 private:
  std::string bytes_;
};

// A counted byte string that may hold any byte values, NUL included.
class Bytes {
 public:
  Bytes() = default;
  explicit Bytes(std::string bytes) : bytes_(std::move(bytes)) {}
  explicit Bytes(const Text& text) : bytes_(text.str()) {}

  const std::string& str() const { return bytes_; }
  std::string& mutableStr() { return bytes_; }
  std::string_view view() const { return bytes_; }
  const unsigned char* data() const {
    return reinterpret_cast<const unsigned char*>(bytes_.data());
  }
  std::size_t size() const { return bytes_.size(); }
  bool empty() const { return bytes_.empty(); }
  void append(std::string_view more) { bytes_.append(more); }

  // The one place where Bytes become Text: everything before the first NUL.
  Text toText() const { return Text(std::string_view(bytes_)); }

  friend bool operator==(const Bytes&, const Bytes&) = default;

 private:
  std::string bytes_;
};

using TextList = std::vector<Text>;

enum class LetterCase { kExact, kIgnore };

// ---- Character steps --------------------------------------------------------------------

// True for a byte that begins a two-byte character (0x80 or above).
constexpr bool isLeadByte(char byte) { return static_cast<unsigned char>(byte) >= 0x80; }

// The number of bytes of the character that begins at index `i` (0-based): 2 for a lead byte
// followed by another byte, else 1. A lone lead byte at the end counts as 1.
constexpr std::size_t charLength(std::string_view text, std::size_t i) {
  return (isLeadByte(text[i]) && i + 1 < text.size()) ? 2 : 1;
}

// ---- Searching --------------------------------------------------------------------------

// Position of the first occurrence of `needle` in `text` at a character start, searching from
// `start` on (below 1 counts as 1; past the end finds nothing). An empty needle is found at 1
// whenever any text remains from `start` on. A lone lead byte at the very end is never a
// candidate. Example: findText("a(1)b(2)", "(", 5) == 5.
std::int64_t findText(std::string_view text, std::string_view needle, std::int64_t start = 1,
                      LetterCase letterCase = LetterCase::kExact);

// Position of the last occurrence of `needle` at a character start, or -1. An empty needle
// gives -1.
std::int64_t findLastText(std::string_view text, std::string_view needle,
                          LetterCase letterCase = LetterCase::kExact);

inline bool containsText(std::string_view text, std::string_view needle,
                         LetterCase letterCase = LetterCase::kExact) {
  return findText(text, needle, 1, letterCase) != -1;
}

// True when `a` and `b` have the same bytes, ASCII letters compared without regard to case.
bool equalsIgnoringCase(std::string_view a, std::string_view b);

// ---- Cutting (counts bytes; may cut a two-byte character in half) ------------------------

// The first `n` bytes: empty for n <= 0, the whole text for n beyond its length.
std::string_view leftBytes(std::string_view text, std::int64_t n);
// The last `n` bytes: empty for n <= 0, the whole text for n beyond its length.
std::string_view rightBytes(std::string_view text, std::int64_t n);
// `n` bytes from 1-based `position`: empty when position < 1, position past the end or
// n <= 0; stops at the end of the text.
std::string_view midBytes(std::string_view text, std::int64_t position, std::int64_t n);
// Everything from 1-based `position` to the end; empty when position < 1 or past the end.
std::string_view bytesFrom(std::string_view text, std::int64_t position);

// ---- Letter case --------------------------------------------------------------------------

Text toLowerAscii(std::string_view text);
Text toUpperAscii(std::string_view text);
constexpr char foldAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; }

// ---- Spaces -------------------------------------------------------------------------------
// A space is the ASCII space 0x20 or the ideographic space 0xA1 0xA1. Tabs and line breaks
// are not spaces. Both routines drop a lone lead byte at the very end of the text.

// Removes leading and trailing runs of spaces. Example: trimSpaces("  a b\xA1\xA1") == "a b".
Text trimSpaces(std::string_view text);
// Removes every space. Example: removeSpaces("a = 1 2") == "a=12".
Text removeSpaces(std::string_view text);

// ---- Splitting ----------------------------------------------------------------------------

// Cuts `text` at every occurrence of `separator` (exact bytes, at character starts, left to
// right, not overlapping). An empty text gives an empty list; an empty separator gives the
// whole text as one piece. A leading separator or two adjacent ones give an empty piece; a
// trailing separator adds none. Example: splitText("a;;b;", ";") == {"a", "", "b"}.
TextList splitText(std::string_view text, std::string_view separator);

// ---- Numbers ------------------------------------------------------------------------------

// The text with every full-width form of an ASCII character (code page 936, and the
// ideographic space) replaced by its ASCII form; other bytes unchanged.
std::string narrowFullWidth(std::string_view text);

// Reads the longest leading decimal real number (after leading white space; optional sign,
// digits, decimal point, exponent), full-width forms counted. No number gives 0.
// Example: textToReal(" 2.9x") == 2.9.
double textToReal(std::string_view text);

// textToReal truncated toward zero to a 64-bit integer (saturating outside its range, NaN
// gives 0). Example: textToTruncatedInteger("-2.9") == -2.
std::int64_t textToTruncatedInteger(std::string_view text);

// Reads the longest leading decimal integer (after leading white space; optional sign and
// digits), full-width forms counted; saturates outside the 64-bit range. No digits give 0.
std::int64_t textToInteger(std::string_view text);

// The low 32 bits of `value` as a signed 32-bit integer (two's complement wrap).
constexpr std::int32_t low32Bits(std::int64_t value) {
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(static_cast<std::uint64_t>(value)));
}

}  // namespace tuvaro
