#include "http/charset.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

namespace tuvaro {
namespace {

struct ConvertCase {
  const char* why;
  std::string input;
  std::string from;
  std::string to;
  std::string expected;
};

TEST(ConvertCharsetTest, ReEncodesThroughCodePage936) {
  using namespace std::string_literals;
  const ConvertCase cases[] = {
      {"empty input", "", "UTF-8", "GBK", ""},
      {"one Chinese character", "\xE4\xB8\xAD", "UTF-8", "GBK", "\xD6\xD0"},
      {"ASCII unchanged", "Hello, world! 123", "UTF-8", "GBK", "Hello, world! 123"},
      {"Hangul cannot pass code page 936", "a\xEA\xB0\x80z", "UTF-8", "GBK", "a?z"},
      {"the euro sign is 0x80 in code page 936", "\xE2\x82\xAC", "UTF-8", "GBK", "\x80"},
      {"a NUL ends the text", "ab\0cd"s, "UTF-8", "GBK", "ab"},
      {"a NUL first gives nothing", "\0abc"s, "UTF-8", "GBK", ""},
      {"a UTF-8 signature is dropped", "\xEF\xBB\xBFok", "UTF-8", "GBK", "ok"},
      {"a signature later is a character", "o\xEF\xBB\xBFk", "UTF-8", "GBK", "o?k"},
      {"an invisible character is still a character",
       "a\xE2\x80\x8B"
       "b",
       "UTF-8", "GBK", "a?b"},
      {"a lone continuation byte is malformed", "a\x80z", "UTF-8", "GBK", "a?z"},
      {"a cut-off sequence at the end", "a\xE4\xB8", "UTF-8", "GBK", "a?"},
      {"an overlong form", "\xC0\xAFx", "UTF-8", "GBK", "??x"},
      {"a character outside the BMP", "\xF0\x9F\x98\x80", "UTF-8", "GBK", "?"},
      {"charset names in any case", "\xE4\xB8\xAD", "utf-8", "gbk", "\xD6\xD0"},
      {"GBK back to UTF-8", "\xD6\xD0\xCE\xC4", "GBK", "UTF-8", "\xE4\xB8\xAD\xE6\x96\x87"},
      {"into UTF-16LE", "\xE4\xB8\xAD", "UTF-8", "UTF-16LE", "\x2D\x4E"},
      {"Latin-1 into UTF-8 keeps what code page 936 holds", "\xE9\xFC", "ISO-8859-1", "UTF-8",
       "\xC3\xA9\xC3\xBC"},
      {"a target that cannot hold the character", "\xE4\xB8\xAD", "UTF-8", "ISO-8859-1", "?"},
      {"an unknown source charset", "abc", "no-such-charset", "GBK", ""},
      {"an unknown target charset", "abc", "UTF-8", "no-such-charset", ""},
  };
  for (const ConvertCase& c : cases) {
    SCOPED_TRACE(c.why);
    Text from(c.from), to(c.to);
    EXPECT_EQ(convertCharset(Bytes(c.input), &from, &to).str(), c.expected);
  }
}

TEST(ConvertCharsetTest, EmptyCharsetsTakeTheirDefaultsAndAreWrittenBack) {
  Text from, to;
  EXPECT_EQ(convertCharset(Bytes("\xE4\xB8\xAD"), &from, &to).str(), "\xD6\xD0");
  EXPECT_EQ(from.str(), "UTF-8");
  EXPECT_EQ(to.str(), "GBK");
  Text onlyTo("UTF-16LE");
  Text emptyFrom;
  EXPECT_EQ(convertCharset(Bytes("A"), &emptyFrom, &onlyTo).str(), std::string("A\0", 2));
  EXPECT_EQ(emptyFrom.str(), "UTF-8");
  EXPECT_EQ(onlyTo.str(), "UTF-16LE");
  EXPECT_EQ(convertCharset(Bytes("\xE4\xB8\xAD")).str(), "\xD6\xD0");
}

struct SkipCase {
  std::string to;
  std::int32_t skip;
  std::string expected;
};

TEST(ConvertCharsetTest, SkipLeavesOutLeadingBytesOfTheEncoding) {
  using namespace std::string_literals;
  const SkipCase cases[] = {
      {"GBK", 0, "\xD6\xD0\xCE\xC4"},
      {"GBK", 3, "\xC4"},
      {"GBK", 4, ""},
      {"GBK", 100, ""},
      {"GBK", -1, "\xD6\xD0\xCE\xC4"},
      // "UTF-16" writes a byte-order mark first (in the machine's byte order); the skip
      // counts it.
      {"UTF-16", 2, "\x2D\x4E\x87\x65"s},
      {"UTF-16LE", 2, "\x87\x65"s},
  };
  for (const SkipCase& c : cases) {
    SCOPED_TRACE(c.to + " skip " + std::to_string(c.skip));
    Text from("UTF-8"), to(c.to);
    EXPECT_EQ(convertCharset(Bytes("\xE4\xB8\xAD\xE6\x96\x87"), &from, &to, c.skip).str(),
              c.expected);
  }
}

TEST(StreamConvertTest, SkipOnlyWhenGiven) {
  const Bytes data("\xE4\xB8\xAD\xE6\x96\x87");
  EXPECT_EQ(streamConvert(data, Text("UTF-8"), Text("GBK"), 3, false).str(), "\xD6\xD0\xCE\xC4");
  EXPECT_EQ(streamConvert(data, Text("UTF-8"), Text("GBK"), 3, true).str(), "\xC4");
}

TEST(ConvertCharsetTest, EveryTwoByteCharacterOfCodePage936SurvivesTheRoundTrip) {
  // Each valid GBK pair decoded to UTF-8 and back must give the same pair.
  std::string gbk;
  for (int lead = 0x81; lead <= 0xFE; ++lead) {
    for (int trail = 0x40; trail <= 0xFE; ++trail) {
      if (trail == 0x7F) continue;
      gbk += static_cast<char>(lead);
      gbk += static_cast<char>(trail);
    }
  }
  Text gbkName("GBK"), utf8Name("UTF-8");
  const Bytes utf8 = convertCharset(Bytes(gbk), &gbkName, &utf8Name);
  const Bytes back = convertCharset(utf8);
  ASSERT_EQ(back.size(), gbk.size());
  // Pairs the code page does not define decode to U+FFFD and come back as "?": every
  // other pair must come back unchanged.
  std::size_t unchanged = 0;
  for (std::size_t i = 0, j = 0; i < gbk.size(); i += 2) {
    if (back.str().compare(j, 2, gbk, i, 2) == 0) {
      ++unchanged;
      j += 2;
    } else {
      j += 1;
    }
  }
  EXPECT_GT(unchanged, 21000u);
}

TEST(ConvertCharsetTest, LargeInputAcrossBufferBoundaries) {
  std::string utf8, expected;
  for (int i = 0; i < 100000; ++i) {
    utf8 += (i % 7 == 0) ? "x" : "\xE4\xB8\xAD";
    expected += (i % 7 == 0) ? "x" : "\xD6\xD0";
  }
  EXPECT_EQ(convertCharset(Bytes(utf8)).str(), expected);
}

TEST(ConvertCharsetConcurrencyTest, ThreadsConvertIndependently) {
  std::vector<std::thread> threads;
  std::vector<int> ok(4, 0);
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([t, &ok] {
      int good = 0;
      for (int i = 0; i < 200; ++i) {
        good += convertCharset(
                    Bytes(std::string(static_cast<std::size_t>(t + 1), 'a') + "\xE4\xB8\xAD"))
                    .str() == std::string(static_cast<std::size_t>(t + 1), 'a') + "\xD6\xD0";
      }
      ok[static_cast<std::size_t>(t)] = good;
    });
  }
  for (auto& thread : threads) thread.join();
  for (int good : ok) EXPECT_EQ(good, 200);
}

}  // namespace
}  // namespace tuvaro
