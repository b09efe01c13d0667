#include "text/scrambled_text.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>

#include "text/codepage.h"
#include "text/pending_events.h"
#include "tools/scrambler.h"

namespace tuvaro {
namespace {

TEST(Md5Hex, Rfc1321TestSuite) {
  const std::pair<std::string, std::string> suite[] = {
      {"", "d41d8cd98f00b204e9800998ecf8427e"},
      {"a", "0cc175b9c0f1b6a831c399e269772661"},
      {"abc", "900150983cd24fb0d6963f7d28e17f72"},
      {"message digest", "f96b697d7cb7938d525a2f31aaf161d0"},
      {"abcdefghijklmnopqrstuvwxyz", "c3fcd3d76192e4007dfb496cca67e13b"},
      {"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789",
       "d174ab98d277d9f5a5611c2c9f419d9f"},
      {[] {
         std::string eightTimes;
         for (int i = 0; i < 8; ++i) eightTimes += "1234567890";
         return eightTimes;
       }(),
       "57edf4a22be3c955ac49da2e2107b67a"},
  };
  for (const auto& [input, digest] : suite) EXPECT_EQ(md5Hex(input).str(), digest) << input;
}

TEST(Md5Hex, Flags) {
  EXPECT_EQ(md5Hex("abc", true).str(), "900150983CD24FB0D6963F7D28E17F72");
  EXPECT_EQ(md5Hex("abc", false, true).str(), "3cd24fb0d6963f7d");
  EXPECT_EQ(md5Hex("abc", true, true).str(), "3CD24FB0D6963F7D");
  EXPECT_EQ(md5Hex(std::string_view("a\0b", 3)).str(), "70350f6027bce3713f6b76473084309b")
      << "NUL bytes are hashed";
}

TEST(HashHex, AlgorithmsAndSizes) {
  EXPECT_EQ(hashHex("abc", kAlgorithmMd5, 16).str(), "900150983CD24FB0D6963F7D28E17F72");
  EXPECT_EQ(hashHex("abc", kAlgorithmMd5, 64).str(), "900150983CD24FB0D6963F7D28E17F72")
      << "a larger size gives the digest's digits only";
  EXPECT_EQ(hashHex("abc", kAlgorithmMd5, 15).str(), "") << "too small for the digest";
  EXPECT_EQ(hashHex("abc", kAlgorithmMd5, -1).str(), "");
  EXPECT_EQ(hashHex("abc", 0x1234, 16).str(), "") << "unknown algorithm";
  EXPECT_EQ(hashHex("abc", kAlgorithmSha1, 20).str(), "A9993E364706816ABA3E25717850C26C9CD0D89D");
}

TEST(HexToNumber, Table) {
  const std::pair<std::string, std::int32_t> cases[] = {
      {"4F", 79},
      {"4f", 79},
      {"", 0},
      {"G", -2},
      {"G1", -31},
      {"FF", 255},
      {"0", 0},
      {"7FFFFFFF", 2147483647},
      {"80000000", -2147483647 - 1},
      {"FFFFFFFF", -1},
      {"100000000", 0},
      {"123456789", 0x23456789},
      {" ", -2},
      {"\xB0", -2},
      {"--", -34},
  };
  for (const auto& [digits, value] : cases) EXPECT_EQ(hexToNumber(digits), value) << digits;
}

TEST(HexToBytes, PairsOddTailAndJunk) {
  EXPECT_EQ(hexToBytes("4F00ff").str(), std::string("\x4F\x00\xFF", 3));
  EXPECT_EQ(hexToBytes("4F7").str(), "\x4F\x07") << "a last single digit is a byte of its own";
  EXPECT_EQ(hexToBytes("G1").str(), "\xE1") << "-31 stored as 225";
  EXPECT_EQ(hexToBytes("").str(), "");
}

std::atomic<int> pendingEventCalls{0};

TEST(HexToBytes, ProcessesPendingEventsAfterEveryByte) {
  pendingEventCalls = 0;
  setPendingEventsHandler([] { ++pendingEventCalls; });
  hexToBytes("0102030");
  setPendingEventsHandler(nullptr);
  EXPECT_EQ(pendingEventCalls.load(), 4);
}

class UnscrambleText : public ::testing::Test {
 protected:
  const std::string key = "583217";
  std::string tail() const { return md5Hex(key, true).str().substr(2, 9); }
  static std::string masked(std::string_view plain) {
    std::string hex;
    for (char c : plain) {
      char digits[3];
      std::snprintf(digits, sizeof digits, "%02X",
                    static_cast<unsigned>((static_cast<unsigned char>(c) ^ kScrambleMask) & 0xFF));
      hex += digits;
    }
    return hex;
  }
};

TEST_F(UnscrambleText, Table) {
  const std::string body = masked("Tuvaro");
  std::string lowerTail = tail();
  for (char& c : lowerTail) c = static_cast<char>(std::tolower(c));
  std::string lowerBody = body;
  for (char& c : lowerBody) c = static_cast<char>(std::tolower(c));
  const struct {
    std::string scrambled, key, expected;
    const char* why;
  } cases[] = {
      {body + tail(), key, "Tuvaro", "plain"},
      {lowerBody + tail(), key, "Tuvaro", "lower-case body decodes the same"},
      {body + lowerTail, key, "", "lower-case tail never matches"},
      {body + tail(), "583218", "", "wrong key"},
      {tail(), key, "", "tail alone"},
      {tail().substr(1), key, "", "shorter than the tail"},
      {"", key, "", "empty"},
      {masked("ab") + "7" + tail(), key,
       std::string("ab") + static_cast<char>((7 ^ kScrambleMask) & 0xFF), "odd body"},
      {masked("ab") + masked(std::string(1, '\0')) + masked("cd") + tail(), key, "ab",
       "a byte masking back to zero ends the text"},
      {"ZZ" + tail(), key, std::string(1, static_cast<char>((0xDE ^ kScrambleMask) & 0xFF)),
       "non-hex digits decode by the number rule"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(unscrambleText(c.scrambled, c.key).str(), c.expected) << c.why;
}

TEST_F(UnscrambleText, EmptyKeyWorksLikeAnyOther) {
  const std::string emptyTail = md5Hex("", true).str().substr(2, 9);
  EXPECT_EQ(unscrambleText(masked("x") + emptyTail, "").str(), "x");
}

TEST(Scrambler, RoundTrips) {
  const std::string keys[] = {"583217", "7315946", "", "key with spaces"};
  const std::string plains[] = {"Tuvaro", TUVARO_CP936("Tuvaro 影视种子搜索 2.0").str(),
                                "http://127.0.0.1:8631/update", ""};
  for (const auto& key : keys) {
    for (const auto& plain : plains) {
      const Text scrambled = scrambleText(plain, key);
      EXPECT_EQ(scrambled.size(), 2 * plain.size() + kCheckTailLength);
      EXPECT_EQ(unscrambleText(scrambled.view(), key).str(), plain) << key;
    }
  }
}

}  // namespace
}  // namespace tuvaro
