#include "http/cookies.h"

#include <gtest/gtest.h>

#include <string>

namespace tuvaro {
namespace {

struct MergeCase {
  std::string cookies;
  std::string returned;
  std::string merged;
  std::string returnedAfter;
};

TEST(MergeCookiesTest, MergesAndWritesBothParametersBack) {
  const MergeCase cases[] = {
      {"a=1; b=2", "b=3; c=4", "b=3; c=4; a=1", "b=3;c=4"},
      // A returned deletion hides the supplied cookie and is itself dropped.
      {"a=1; b=2", "a=deleted", "b=2", "a=deleted"},
      {"x=deleted; y=1", "", "y=1", ""},
      // Letter case counts in "=deleted"; a doubled "=" or a bare "=deleted" is deleted.
      {"a=Deleted", "", "a=Deleted", ""},
      {"a==deleted; b=1", "", "b=1", ""},
      {"=deleted; b=1", "", "b=1", ""},
      {"", "", "", ""},
      // Spaces vanish everywhere, the ideographic one too; a tab stays.
      {"a = 1 2", "", "a=12", ""},
      {"a\xA1\xA1=1", "", "a=1", ""},
      {"a=\t1", "", "a=\t1", ""},
      // Names are case-sensitive.
      {"A=1", "a=2", "a=2; A=1", "a=2"},
      // Supplied duplicates: the first wins.
      {"a=1;a=2", "", "a=1", ""},
      // Returned duplicates all stay unless equal as whole pieces.
      {"", "a=1; a=2", "a=1; a=2", "a=1;a=2"},
      {"", "a=1; a=1", "a=1", "a=1;a=1"},
      // A piece without "=" is named by its whole text.
      {"secure; a=1", "secure", "secure; a=1", "secure"},
      {"a=1;", "", "a=1", ""},
      // An empty piece between separators survives.
      {"a=1;;b=2", "", "a=1; ; b=2", ""},
      // A "=" or ";" inside a two-byte character is no separator: 0x81 0x3B is one character.
      {"a=\x81;b=1; c=2", "", "a=\x81;b=1; c=2", ""},
  };
  for (const MergeCase& c : cases) {
    SCOPED_TRACE(c.cookies + " | " + c.returned);
    Text cookies(c.cookies);
    Text returned(c.returned);
    const Text merged = mergeCookies(cookies, returned);
    EXPECT_EQ(merged.str(), c.merged);
    EXPECT_EQ(cookies.str(), c.merged);
    EXPECT_EQ(returned.str(), c.returnedAfter);
  }
}

TEST(MergeCookiesTest, ManyPiecesKeepTheirOrderAndFirstOccurrence) {
  // Large enough that a hash set must agree with the list scans on every decision.
  std::string supplied, returned, expected;
  for (int i = 0; i < 3000; ++i) {
    supplied += "s" + std::to_string(i % 1000) + "=" + std::to_string(i) + ";";
    if (i % 3 == 0) returned += "s" + std::to_string(i) + "=r;";
  }
  for (int i = 0; i < 3000; i += 3) expected += "s" + std::to_string(i) + "=r; ";
  for (int i = 0; i < 1000; ++i) {
    if (i % 3 != 0) expected += "s" + std::to_string(i) + "=" + std::to_string(i) + "; ";
  }
  expected.resize(expected.size() - 2);
  Text cookies(supplied), returnedText(returned);
  EXPECT_EQ(mergeCookies(cookies, returnedText).str(), expected);
}

// The merge exactly as its contract tells it, with list scans: the fast one must agree with it
// on every input.
Text referenceJoinDistinct(std::string_view text, std::string_view separator) {
  TextList seen;
  std::string joined;
  for (const Text& piece : splitText(text, separator)) {
    if (indexOfText(seen, piece.view()) != -1) continue;
    seen.push_back(piece);
    joined += piece.str();
    joined += separator;
  }
  return Text(joined.size() > separator.size() ? joined.substr(0, joined.size() - separator.size())
                                               : "");
}

Text referenceMerge(Text& cookies, Text& returned) {
  cookies = removeSpaces(cookies.view());
  returned = removeSpaces(returned.view());
  const TextList supplied = splitText(cookies.view(), ";");
  TextList merged = splitText(returned.view(), ";");
  for (const Text& piece : supplied) {
    if (!hasCookieNamed(merged, cookieName(piece.view()).view())) merged.push_back(piece);
  }
  std::string t;
  for (const Text& piece : merged) {
    if (piece.size() >= 8 && piece.view().substr(piece.size() - 8) == "=deleted") continue;
    t += piece.str() + "; ";
  }
  t.resize(t.size() > 2 ? t.size() - 2 : 0);
  cookies = referenceJoinDistinct(t, "; ");
  return cookies;
}

TEST(MergeCookiesTest, AgreesWithTheListScansOnRandomTexts) {
  // Short texts over a small alphabet hit every rule: separators, "=", spaces of both kinds,
  // two-byte characters whose second byte is ";" or "=" or " ", lone lead bytes, deletions.
  const std::string_view alphabet[] = {"a",     "b",     "=",        ";",  " ",  "\xA1\xA1", "\x81",
                                       "\x81;", "\x81=", "=deleted", "; ", "\t", "\xA1"};
  std::uint32_t seed = 12345;
  auto next = [&seed] {
    seed = seed * 1664525u + 1013904223u;
    return seed >> 8;
  };
  auto randomText = [&] {
    std::string text;
    const std::uint32_t length = next() % 12;
    for (std::uint32_t i = 0; i < length; ++i) text += alphabet[next() % std::size(alphabet)];
    return text;
  };
  for (int round = 0; round < 20000; ++round) {
    const std::string a = randomText(), b = randomText();
    Text cookies(a), returned(b), expectedCookies(a), expectedReturned(b);
    const Text merged = mergeCookies(cookies, returned);
    const Text expected = referenceMerge(expectedCookies, expectedReturned);
    ASSERT_EQ(merged, expected) << "cookies [" << a << "] returned [" << b << "]";
    ASSERT_EQ(cookies, expectedCookies);
    ASSERT_EQ(returned, expectedReturned);
    const std::string separator = randomText().substr(0, next() % 3);
    ASSERT_EQ(joinDistinct(a, separator), referenceJoinDistinct(a, separator))
        << "[" << a << "] at [" << separator << "]";
  }
}

struct NameCase {
  std::string piece;
  std::string name;
};

TEST(CookieNameTest, TextBeforeTheFirstEqualsTrimmed) {
  const NameCase cases[] = {
      {"a=1", "a"},
      {" a =1", "a"},
      {"a b=1", "a b"},
      {"secure", "secure"},
      {"=1", ""},
      {"", ""},
      {"a=b=c", "a"},
      {"\xA1\xA1x\xA1\xA1=1", "x"},
      {"\x81=x=1", "\x81=x"},  // the "=" inside a two-byte character does not count
  };
  for (const NameCase& c : cases) {
    SCOPED_TRACE(c.piece);
    EXPECT_EQ(cookieName(c.piece).str(), c.name);
  }
}

TEST(HasCookieNamedTest, ComparesNamesExactly) {
  const TextList list = {Text("a=1"), Text(" B =2"), Text("flag"), Text("=x")};
  EXPECT_TRUE(hasCookieNamed(list, "a"));
  EXPECT_TRUE(hasCookieNamed(list, "B"));
  EXPECT_FALSE(hasCookieNamed(list, "b"));
  EXPECT_TRUE(hasCookieNamed(list, "flag"));
  EXPECT_TRUE(hasCookieNamed(list, ""));  // the piece "=x" has an empty name
  EXPECT_FALSE(hasCookieNamed({}, ""));
  EXPECT_FALSE(hasCookieNamed({Text("a=1")}, ""));
}

struct JoinCase {
  std::string text;
  std::string separator;
  std::string joined;
};

TEST(JoinDistinctTest, KeepsFirstOccurrences) {
  const JoinCase cases[] = {
      {"", "; ", ""},         {"x; y; x", "; ", "x; y"}, {"x; y; x", "", "x; y; x"},
      {"x;x;x", ";", "x"},    {"; x", "; ", "; x"},  // the leading empty piece is a piece
      {"x; ", "; ", "x"},                            // a trailing separator adds none
      {"X; x", "; ", "X; x"},
  };
  for (const JoinCase& c : cases) {
    SCOPED_TRACE(c.text + " | " + c.separator);
    EXPECT_EQ(joinDistinct(c.text, c.separator).str(), c.joined);
  }
}

TEST(IndexOfTextTest, FirstEqualElementFromOne) {
  EXPECT_EQ(indexOfText({}, "a"), -1);
  EXPECT_EQ(indexOfText({Text("a"), Text("b"), Text("a")}, "a"), 1);
  EXPECT_EQ(indexOfText({Text("a"), Text("b"), Text("a")}, "b"), 2);
  EXPECT_EQ(indexOfText({Text("a"), Text("b")}, "A"), -1);
  EXPECT_EQ(indexOfText({Text("a"), Text()}, ""), 2);
}

}  // namespace
}  // namespace tuvaro
