#include "text/text.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>
#include <string>

namespace tuvaro {
namespace {

using namespace std::string_literals;

// The plain reading of the search rule, one candidate at a time, as a reference for findText.
std::int64_t naiveFind(std::string_view text, std::string_view needle, std::int64_t start,
                       LetterCase lc) {
  if (start < 1) start = 1;
  if (static_cast<std::size_t>(start) > text.size()) return -1;
  if (needle.empty()) return 1;
  for (std::size_t i = 0; i < text.size(); i += charLength(text, i)) {
    if (i + 1 < static_cast<std::size_t>(start)) continue;
    if (isLeadByte(text[i]) && i + 1 == text.size()) return -1;
    if (i + needle.size() > text.size()) continue;
    bool same = true;
    for (std::size_t k = 0; k < needle.size() && same; ++k) {
      same = lc == LetterCase::kIgnore ? foldAscii(text[i + k]) == foldAscii(needle[k])
                                       : text[i + k] == needle[k];
    }
    if (same) return static_cast<std::int64_t>(i) + 1;
  }
  return -1;
}

struct FindCase {
  std::string text, needle;
  std::int64_t start;
  LetterCase lc;
  std::int64_t expected;
  const char* why;
};

TEST(FindText, Table) {
  const FindCase cases[] = {
      {"abcabc", "bc", 1, LetterCase::kExact, 2, "first match"},
      {"abcabc", "bc", 3, LetterCase::kExact, 5, "positions are absolute"},
      {"abcabc", "BC", 1, LetterCase::kExact, -1, "exact case"},
      {"abcabc", "BC", 1, LetterCase::kIgnore, 2, "folded case"},
      {"abc", "abc", 0, LetterCase::kExact, 1, "start 0 counts as 1"},
      {"abc", "abc", -7, LetterCase::kExact, 1, "negative start counts as 1"},
      {"abc", "c", 3, LetterCase::kExact, 3, "start at the last byte"},
      {"abc", "c", 4, LetterCase::kExact, -1, "start past the end"},
      {"abc", "", 2, LetterCase::kExact, 1, "empty needle found at 1 whatever the start"},
      {"abc", "", 4, LetterCase::kExact, -1, "empty needle, nothing remains"},
      {"", "", 1, LetterCase::kExact, -1, "empty text"},
      {"ab", "abc", 1, LetterCase::kExact, -1, "needle longer than text"},
      {"\xB0\xA1\xB0\xC1", "\xA1\xB0", 1, LetterCase::kExact, -1, "never on a second byte"},
      {"\xB0\xA1"
       "a\xA1\xB0",
       "\xA1\xB0", 1, LetterCase::kExact, 4, "after a one-byte char"},
      {"\xB0"
       "A"
       "A",
       "A", 1, LetterCase::kExact, 3, "an ASCII second byte is skipped"},
      {"ab\xB0", "\xB0", 1, LetterCase::kExact, -1, "lone lead byte at the end"},
      {"a\0b"s, "b", 1, LetterCase::kExact, 3, "NUL bytes are ordinary bytes"},
      {"\xB0\xA1"
       "x",
       "x", 2, LetterCase::kExact, 3, "start on a second byte"},
      {"Z[", "z[", 1, LetterCase::kIgnore, 1, "only letters fold"},
      {"@", "`", 1, LetterCase::kIgnore, -1, "@ and ` are not letters"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(findText(c.text, c.needle, c.start, c.lc), c.expected) << c.why;
  }
}

// Every lead/trail combination: a search steps over whole characters.
TEST(FindText, EveryTwoBytePair) {
  for (int a = 0; a < 256; ++a) {
    for (int b = 0; b < 256; ++b) {
      const std::string text{static_cast<char>(a), static_cast<char>(b), 'x'};
      const bool firstIsLead = a >= 0x80;
      // 'x' is the third byte: a character start unless the second byte began a pair.
      if (a != 'x' && b != 'x') {
        const std::int64_t expectX = (firstIsLead || b < 0x80) ? 3 : -1;
        ASSERT_EQ(findText(text, "x", 1), expectX) << a << " " << b;
      }
      // The second byte alone: at 1 when the first byte equals it, else at 2 unless it is the
      // second half of a pair.
      const std::int64_t expectB = a == b ? 1 : !firstIsLead ? 2 : b == 'x' ? 3 : -1;
      ASSERT_EQ(findText(text, std::string(1, static_cast<char>(b)), 1), expectB) << a << " " << b;
      ASSERT_EQ(charLength(text, 0), firstIsLead ? 2u : 1u);
    }
  }
}

// The fast search must agree with the plain rule on texts full of near-misses.
TEST(FindText, AgreesWithPlainRuleOnRandomTexts) {
  std::mt19937 random(1234);
  const std::string alphabet = "aAbB\xB0\xA1\xC4\xE3 ;=";
  for (int round = 0; round < 4000; ++round) {
    std::string text(random() % (round % 2 ? 80 : 400), ' '), needle(1 + random() % 5, ' ');
    for (char& c : text) c = alphabet[random() % alphabet.size()];
    for (char& c : needle) c = alphabet[random() % alphabet.size()];
    const auto start = static_cast<std::int64_t>(random() % 90) - 5;
    for (LetterCase lc : {LetterCase::kExact, LetterCase::kIgnore}) {
      ASSERT_EQ(findText(text, needle, start, lc), naiveFind(text, needle, start, lc))
          << text << " / " << needle << " from " << start;
    }
  }
}

TEST(FindLastText, Table) {
  EXPECT_EQ(findLastText("a:b:c", ":"), 4);
  EXPECT_EQ(findLastText("abc", ":"), -1);
  EXPECT_EQ(findLastText("abc", ""), -1);
  EXPECT_EQ(findLastText("\xB0:"
                         ":",
                         ":"),
            3)
      << "the second byte is not a colon of ours";
  EXPECT_EQ(findLastText("aXa", "x", LetterCase::kIgnore), 2);
}

TEST(Cutting, Table) {
  EXPECT_EQ(leftBytes("abc", 2), "ab");
  EXPECT_EQ(leftBytes("abc", 0), "");
  EXPECT_EQ(leftBytes("abc", -1), "");
  EXPECT_EQ(leftBytes("abc", 9), "abc");
  EXPECT_EQ(rightBytes("abc", 2), "bc");
  EXPECT_EQ(rightBytes("abc", -2), "");
  EXPECT_EQ(rightBytes("abc", 99), "abc");
  EXPECT_EQ(midBytes("abcdef", 2, 3), "bcd");
  EXPECT_EQ(midBytes("abcdef", 5, 9), "ef");
  EXPECT_EQ(midBytes("abcdef", 0, 2), "");
  EXPECT_EQ(midBytes("abcdef", 7, 1), "");
  EXPECT_EQ(midBytes("abcdef", 2, 0), "");
  EXPECT_EQ(midBytes("\xB0\xA1", 1, 1), "\xB0") << "cutting may halve a character";
  EXPECT_EQ(bytesFrom("abc", 3), "c");
  EXPECT_EQ(bytesFrom("abc", 4), "");
}

TEST(LetterCase, OnlyAsciiLettersChange) {
  EXPECT_EQ(toLowerAscii("AbZ@[\xC4\xE3").str(), "abz@[\xC4\xE3");
  EXPECT_EQ(toUpperAscii("azA`{\xB0\xE1").str(), "AZA`{\xB0\xE1");
  EXPECT_TRUE(equalsIgnoringCase("Set-Cookie", "set-cookie"));
  EXPECT_FALSE(equalsIgnoringCase("a", "ab"));
}

struct SpaceCase {
  std::string input, trimmed, removed;
  const char* why;
};

TEST(Spaces, TrimAndRemove) {
  const SpaceCase cases[] = {
      {"  a b  ", "a b", "ab", "ASCII spaces"},
      {"\xA1\xA1"
       "a\xA1\xA1"
       "b\xA1\xA1",
       "a\xA1\xA1"
       "b",
       "ab", "ideographic spaces"},
      {"\ta\t", "\ta\t", "\ta\t", "tabs are not spaces"},
      {"\r\n", "\r\n", "\r\n", "line breaks are not spaces"},
      {"", "", "", "empty"},
      {"   ", "", "", "only spaces"},
      {"\xB0\xA1\xA1\xB0", "\xB0\xA1\xA1\xB0", "\xB0\xA1\xA1\xB0",
       "0xA1 0xA1 across two characters is no space"},
      {"a \xB0", "a", "a", "a lone lead byte at the end is dropped"},
      {"\xB0", "", "", "a lone lead byte alone"},
      {"a\xA1", "a", "a", "half an ideographic space at the end"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(trimSpaces(c.input).str(), c.trimmed) << c.why;
    EXPECT_EQ(removeSpaces(c.input).str(), c.removed) << c.why;
  }
}

struct SplitCase {
  std::string text, separator;
  std::vector<std::string> pieces;
  const char* why;
};

TEST(SplitText, Table) {
  const SplitCase cases[] = {
      {"", ";", {}, "empty text, empty list"},
      {"a;b", "", {"a;b"}, "empty separator, one piece"},
      {"a;b", ";", {"a", "b"}, "plain"},
      {"a;b;", ";", {"a", "b"}, "trailing separator adds nothing"},
      {";a", ";", {"", "a"}, "leading separator adds an empty piece"},
      {"a;;b", ";", {"a", "", "b"}, "adjacent separators"},
      {";", ";", {""}, "separator alone"},
      {"a; b; c", "; ", {"a", "b", "c"}, "two-byte separator"},
      {"aaa", "aa", {"", "a"}, "not overlapping, left to right"},
      {"\xB0;x;y", ";", {"\xB0;x", "y"}, "no cut on a second byte"},
  };
  for (const auto& c : cases) {
    std::vector<std::string> got;
    for (const Text& piece : splitText(c.text, c.separator)) got.push_back(piece.str());
    EXPECT_EQ(got, c.pieces) << c.why;
  }
}

struct RealCase {
  std::string text;
  double real;
  std::int64_t truncated;
};

TEST(Numbers, RealReading) {
  const RealCase cases[] = {
      {"2", 2, 2},
      {" 2", 2, 2},
      {"\t\n2", 2, 2},
      {"2.9", 2.9, 2},
      {"-2.9", -2.9, -2},
      {"02", 2, 2},
      {"+3", 3, 3},
      {"v2", 0, 0},
      {"", 0, 0},
      {".5", 0.5, 0},
      {"5.", 5, 5},
      {".", 0, 0},
      {"-", 0, 0},
      {"1e3x", 1000, 1000},
      {"1e", 1, 1},
      {"1e+", 1, 1},
      {"2.5E-1", 0.25, 0},
      {"0x10", 0, 0},
      {"inf", 0, 0},
      {"nan", 0, 0},
      {"\xA3\xB2", 2, 2},                            // full-width two
      {"\xA1\xA1\xA3\xB2\xA3\xAE\xA3\xB9", 2.9, 2},  // ideographic space, full-width 2.9
      {"\xA3\xAD\xA3\xB3", -3, -3},                  // full-width minus three
      {"1e999", std::numeric_limits<double>::infinity(), std::numeric_limits<std::int64_t>::max()},
      {"-1e999", -std::numeric_limits<double>::infinity(),
       std::numeric_limits<std::int64_t>::min()},
      {"1e-999", 0, 0},
      {"4294967298", 4294967298.0, 4294967298},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(textToReal(c.text), c.real) << c.text;
    EXPECT_EQ(textToTruncatedInteger(c.text), c.truncated) << c.text;
  }
  EXPECT_EQ(low32Bits(textToTruncatedInteger("4294967298")), 2) << "low 32 bits of 2^32 + 2";
  EXPECT_EQ(low32Bits(textToTruncatedInteger("-1")), -1);
}

TEST(Numbers, IntegerReading) {
  const std::pair<std::string, std::int64_t> cases[] = {
      {"8080", 8080},
      {"80abc", 80},
      {"", 0},
      {"abc", 0},
      {" -12", -12},
      {"+7", 7},
      {"1.9", 1},
      {"\xA3\xB8\xA3\xB0", 80},
      {"99999999999999999999", std::numeric_limits<std::int64_t>::max()},
      {"-99999999999999999999", std::numeric_limits<std::int64_t>::min()},
  };
  for (const auto& [text, value] : cases) EXPECT_EQ(textToInteger(text), value) << text;
}

TEST(Numbers, NarrowingLeavesOtherCharactersAlone) {
  EXPECT_EQ(narrowFullWidth("\xA3\xC1\xA3\xE1\xD6\xD0\xA3\xA4"), "Aa\xD6\xD0\xA3\xA4")
      << "0xA3 0xA4 is the yen sign, not a dollar";
  EXPECT_EQ(narrowFullWidth("\xA3"), "\xA3");
}

}  // namespace
}  // namespace tuvaro
