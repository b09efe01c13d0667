// Conversions between the program's code-page-936 Text and UTF-8, the encoding of the source
// files and of the GTK and WebKit interfaces. Code page 936 is Windows' GBK as ICU's
// "windows-936" tables define it (0x80 is the euro sign).
#pragma once

#include <string>
#include <string_view>

#include "text/text.h"

namespace tuvaro {

// UTF-8 to code page 936. A character that the code page cannot hold becomes "?", malformed
// UTF-8 becomes "?" too, and the result ends at the first NUL character.
// Example: textFromUtf8("中") == Text("\xD6\xD0").
Text textFromUtf8(std::string_view utf8);

// Code page 936 to UTF-8. A byte sequence that the code page does not define becomes U+FFFD.
std::string textToUtf8(std::string_view text);

// A system text written in the source as a UTF-8 literal, converted once per call site.
// Example: static const Text& hint = cp936("返回搜索");
#define TUVARO_CP936(utf8_literal)                                                \
  ([]() -> const ::tuvaro::Text& {                                                \
    static const ::tuvaro::Text converted = ::tuvaro::textFromUtf8(utf8_literal); \
    return converted;                                                             \
  }())

}  // namespace tuvaro
