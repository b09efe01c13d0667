#include "text/text_between.h"

#include <gtest/gtest.h>

#include <string>

#include "text/codepage.h"

namespace tuvaro {
namespace {

struct Case {
  std::string text, start, end;
  std::int64_t startPosition;
  bool caseSensitive;
  std::string expected;
  const char* why;
};

TEST(TextBetween, Table) {
  const std::string quote = TUVARO_CP936("#引号").str();
  const Case cases[] = {
      {"xAy", "x", "y", 1, false, "A", "plain"},
      {"xy", "x", "y", 1, false, "", "markers side by side"},
      {"yxA", "x", "y", 1, false, "", "end marker only before the start marker"},
      {"xyx", "xy", "yx", 1, false, "", "end marker only overlapping the start marker"},
      {"ver=RUANJIANBANBEN2JIESHU", "ruanjianbanben", "jieshu", 1, false, "2", "letters fold"},
      {"ver=RUANJIANBANBEN2JIESHU", "ruanjianbanben", "jieshu", 1, true, "", "case-sensitive"},
      {"a(1)b(2)", "(", ")", 5, false, "2", "start position"},
      {"a(1)b(2)", "(", ")", 1, false, "1", "first pair"},
      {"a(1)b(2)", "(", ")", 0, false, "1", "start 0 counts as 1"},
      {"a(1)b(2)", "(", ")", -3, false, "1", "negative start counts as 1"},
      {"a(1)b(2)", "(", ")", 99, false, "", "start past the end"},
      {"name=\"v\";", "name=" + quote, quote, 1, false, "v", "the quote token"},
      {"ab\"cd", "b" + quote, "d", 1, false, "c", "the token counts as one byte"},
      {"abc;def", "", ";", 3, false, "abc", "empty start marker begins at 1"},
      {"abc;def", "a", "", 1, false, "", "empty end marker"},
      {"abc", "c", "", 1, false, "", "start marker ends at the last byte"},
      {"abcx", "c", "x", 1, false, "", "end marker right after"},
      {"", "a", "b", 1, false, "", "empty text"},
      {"ab", "abc", "b", 1, false, "", "marker longer than the text"},
      {"\xB0\x41\x42"
       "AB",
       "A", "B", 1, false, "", "never inside a two-byte character"},
      {"\xB0\x41"
       "A1B",
       "a", "b", 1, false, "1", "the first A is a second byte"},
      {"ruanjianbanben2jieshu ruanjianbanben3jieshu", "ruanjianbanben", "jieshu", 1, false, "2",
       "the first pair counts"},
      {"x\xD6\xD0y", "x", "y", 1, false, "\xD6\xD0", "two-byte extract"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(textBetween(c.text, c.start, c.end, c.startPosition, c.caseSensitive).str(),
              c.expected)
        << c.why;
  }
}

TEST(TextBetween, TextHoldingNulBytes) {
  const std::string text("a\0[x\0y]\0", 8);
  EXPECT_EQ(textBetween(text, "[", "]").str(), "x") << "a Text ends at its first NUL";
}

TEST(TextBetween, QuoteTokenInsideTwoByteText) {
  // "#引号" must match as whole characters; the same bytes straddling characters do not count.
  const std::string token = TUVARO_CP936("#引号").str();
  EXPECT_EQ(textBetween("k=\"v\"", "k=" + token, token).str(), "v");
  EXPECT_EQ(textBetween("k=#v#", "k=#", "#").str(), "v") << "a bare # stays a #";
}

}  // namespace
}  // namespace tuvaro
