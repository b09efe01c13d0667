#include "text/codepage.h"

#include <gtest/gtest.h>

#include <unicode/ucnv.h>

#include <memory>

namespace tuvaro {
namespace {

TEST(CodePage, Utf8ToCodePage936) {
  EXPECT_EQ(textFromUtf8("中").str(), "\xD6\xD0");
  EXPECT_EQ(textFromUtf8("abc").str(), "abc");
  EXPECT_EQ(textFromUtf8("€").str(), "\x80") << "windows-936 places the euro sign at 0x80";
  EXPECT_EQ(textFromUtf8("한").str(), "?") << "a Hangul syllable has no place in the code page";
  EXPECT_EQ(textFromUtf8("a\xFF"
                         "b")
                .str(),
            "a?b")
      << "malformed UTF-8";
  EXPECT_EQ(textFromUtf8(std::string_view("a\0b", 3)).str(), "a") << "ends at the first NUL";
  EXPECT_EQ(textFromUtf8("").str(), "");
}

TEST(CodePage, RoundTripsChinese) {
  const std::string utf8 = "点击搜索后，请往下拉，如果出现空白，多搜索几次";
  EXPECT_EQ(textToUtf8(textFromUtf8(utf8).view()), utf8);
  EXPECT_EQ(TUVARO_CP936("返回搜索").size(), 8u);
}

TEST(CodePage, LongTextsConvertWhole) {
  std::string utf8;
  for (int i = 0; i < 20000; ++i) utf8 += "影视a";
  const Text text = textFromUtf8(utf8);
  EXPECT_EQ(text.size(), 20000u * 5);
  EXPECT_EQ(textToUtf8(text.view()), utf8);
}

// The full-width forms that number reading narrows are exactly those that ICU's windows-936
// table maps to U+FF01..U+FF5E and U+3000, over every two-byte sequence.
TEST(CodePage, FullWidthNarrowingMatchesTheCodePage) {
  UErrorCode status = U_ZERO_ERROR;
  std::unique_ptr<UConverter, void (*)(UConverter*)> converter(ucnv_open("windows-936", &status),
                                                               ucnv_close);
  ASSERT_TRUE(U_SUCCESS(status));
  int narrowed = 0;
  for (int lead = 0x81; lead <= 0xFE; ++lead) {
    for (int trail = 0x40; trail <= 0xFE; ++trail) {
      const char pair[2] = {static_cast<char>(lead), static_cast<char>(trail)};
      UChar unit[4];
      status = U_ZERO_ERROR;
      const int32_t length = ucnv_toUChars(converter.get(), unit, 4, pair, 2, &status);
      std::string expected(pair, 2);
      if (U_SUCCESS(status) && length == 1) {
        if (unit[0] >= 0xFF01 && unit[0] <= 0xFF5E)
          expected = std::string(1, static_cast<char>(unit[0] - 0xFEE0));
        if (unit[0] == 0x3000) expected = " ";
      }
      EXPECT_EQ(narrowFullWidth(std::string_view(pair, 2)), expected)
          << std::hex << lead << " " << trail;
      narrowed += expected.size() == 1;
    }
  }
  EXPECT_EQ(narrowed, 95) << "94 full-width forms and the ideographic space";
}

}  // namespace
}  // namespace tuvaro
