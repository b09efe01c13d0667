// The search, back-to-search and new-window handlers, driven through the main window's form
// on the headless toolkit: each test clicks or raises events as the user and the browser would
// and reads back the operations that reached the toolkit.
#include "app/search.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "app/build_settings.h"
#include "app/controls.h"
#include "app/main_form.h"
#include "app/toolkit/headless/headless_toolkit.h"
#include "app/toolkit/toolkit.h"
#include "app/update_check.h"
#include "text/codepage.h"

namespace tuvaro {
namespace {

using toolkit::HeadlessToolkit;
using Operation = HeadlessToolkit::Operation;
namespace property = toolkit::property;
namespace event = toolkit::event;

Operation numberWrite(std::string_view control, int propertyNumber, std::int64_t value) {
  return {.name = "writeNumberProperty",
          .control = std::string(control),
          .property = propertyNumber,
          .number = value};
}
Operation textWrite(std::string_view control, int propertyNumber, const Text& value) {
  return {.name = "writeTextProperty",
          .control = std::string(control),
          .property = propertyNumber,
          .value = value};
}
Operation textRead(std::string_view control, int propertyNumber) {
  return {.name = "readTextProperty", .control = std::string(control), .property = propertyNumber};
}
Operation navigation(const Text& address) {
  return {.name = "navigate", .control = std::string(kBrowserBox), .value = address};
}

const Text& prefix() {
  static const Text text(kSearchAddressPrefix);
  return text;
}

// What one search click must do, in this order, for the words in the edit box.
std::vector<Operation> searchOperations(const Text& words) {
  return {numberWrite(kBrowserBox, property::kBrowserHeight, 800),
          numberWrite(kBrowserBox, property::kBrowserWidth, 720),
          textRead(kSearchWordsBox, property::kEditContent),
          textWrite(kBrowserBox, property::kBrowserAddress, prefix() + words),
          {.name = "startThread"}};
}

const std::vector<Operation> kBackOperations = {
    numberWrite(kBrowserBox, property::kBrowserWidth, 0),
    numberWrite(kBrowserBox, property::kBrowserHeight, 0)};

const UpdateCheckValues kNoAddresses{"", "", 0.0};

class SearchTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // The update check that each search starts finds nothing to decode here, so it ends at
    // once without touching the toolkit; its own tests live beside it.
    setUpdateCheckValuesForTesting(&kNoAddresses);
    toolkit::installToolkit(&toolkit_);
    toolkit_.loadWindow(mainWindowForm());  // start-up's own operations come first
    loadedOperations_ = toolkit_.operations().size();
  }
  void TearDown() override {
    toolkit_.joinThreads();
    toolkit::installToolkit(nullptr);
    setUpdateCheckValuesForTesting(nullptr);
  }

  // The operations since the window was loaded, once the started checks have ended.
  std::vector<Operation> operationsSinceLoad() {
    toolkit_.joinThreads();
    const std::vector<Operation> all = toolkit_.operations();
    return {all.begin() + static_cast<std::ptrdiff_t>(loadedOperations_), all.end()};
  }
  void typeWords(const Text& words) {
    toolkit_.setUserText(kSearchWordsBox, property::kEditContent, words);
  }
  void clickSearch() {
    EXPECT_EQ(toolkit_.raiseEvent(kSearchButton, event::kButtonClicked), std::nullopt);
  }
  void clickBack() {
    EXPECT_EQ(toolkit_.raiseEvent(kBackToSearchButton, event::kButtonClicked), std::nullopt);
  }
  std::int64_t boxWidth() const {
    return toolkit_.numberProperty(kBrowserBox, property::kBrowserWidth).value_or(-1);
  }
  std::int64_t boxHeight() const {
    return toolkit_.numberProperty(kBrowserBox, property::kBrowserHeight).value_or(-1);
  }
  Text boxAddress() const {
    return toolkit_.textProperty(kBrowserBox, property::kBrowserAddress).value_or(Text());
  }

  HeadlessToolkit toolkit_;
  std::size_t loadedOperations_ = 0;
};

TEST_F(SearchTest, PrefixIsHttpHostAndSearchPath) {
  const std::string_view text = prefix().view();
  EXPECT_TRUE(text.starts_with("http://")) << text;
  EXPECT_TRUE(text.ends_with("/s/")) << text;
  EXPECT_GT(text.size(), std::string_view("http:///s/").size()) << "no host";
}

TEST_F(SearchTest, SearchSetsHeightThenWidthThenNavigatesToTheWords) {
  const Text words("movie");
  typeWords(words);
  clickSearch();
  EXPECT_EQ(operationsSinceLoad(), searchOperations(words));
  EXPECT_EQ(boxWidth(), 720);
  EXPECT_EQ(boxHeight(), 800);
  EXPECT_EQ(boxAddress(), prefix() + words);
}

TEST_F(SearchTest, AddressHoldsTheWordsAsTheyStand) {
  struct Case {
    const char* why;
    const char* wordsUtf8;  // typed by the user; the edit box hands them over in code page 936
  };
  const Case cases[] = {
      {"empty words give the prefix alone", ""},
      {"plain words", "movie"},
      {"a space stays a space, not %20", "two words"},
      {"no trimming of leading or trailing spaces", "  padded  "},
      {"a '#' goes in and starts the fragment", "a#b"},
      {"a '?' goes in and starts the query", "a?b=c"},
      {"an '&' goes in unchanged", "a&b"},
      {"a '/' adds path steps", "a/b/"},
      {"percent signs are not decoded", "%41%20"},
      {"Chinese words", "电影 中文"},
      {"ideographic spaces are not trimmed either", "　星际　"},
      {"the euro sign, byte 0x80 of the code page", "€"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.why);
    const Text words = textFromUtf8(c.wordsUtf8);
    ASSERT_EQ(textToUtf8(words.view()), c.wordsUtf8) << "the code page holds the words";
    const std::size_t before = toolkit_.operations().size();
    typeWords(words);
    clickSearch();
    toolkit_.joinThreads();
    const std::vector<Operation> all = toolkit_.operations();
    ASSERT_EQ(all.size(), before + 5);
    const Operation& write = all[before + 3];
    EXPECT_EQ(write, textWrite(kBrowserBox, property::kBrowserAddress, prefix() + words));
    // Characters out: the address reads back as the prefix and the very characters typed.
    EXPECT_EQ(textToUtf8(write.value.view()), std::string(prefix().view()) + c.wordsUtf8);
  }
}

TEST_F(SearchTest, BackBeforeAnySearchHidesTheSmallBoxWithoutNavigating) {
  ASSERT_EQ(boxWidth(), 72);
  ASSERT_EQ(boxHeight(), 24);
  const Text firstPage = boxAddress();
  ASSERT_FALSE(firstPage.empty()) << "start-up points the box at the hint's search page";
  clickBack();
  EXPECT_EQ(operationsSinceLoad(), kBackOperations);
  EXPECT_EQ(boxWidth(), 0);
  EXPECT_EQ(boxHeight(), 0);
  EXPECT_EQ(boxAddress(), firstPage);
}

TEST_F(SearchTest, BackKeepsThePageAndSearchingAgainLoadsItAnew) {
  const Text words = textFromUtf8("风起 长安");
  typeWords(words);
  clickSearch();
  clickBack();
  EXPECT_EQ(boxWidth(), 0);
  EXPECT_EQ(boxHeight(), 0);
  EXPECT_EQ(boxAddress(), prefix() + words) << "the hidden box keeps its page";
  clickSearch();  // the same words again
  clickSearch();  // and once more while the box is shown

  std::vector<Operation> expected = searchOperations(words);
  expected.insert(expected.end(), kBackOperations.begin(), kBackOperations.end());
  const std::vector<Operation> once = searchOperations(words);
  for (int i = 0; i < 2; ++i) expected.insert(expected.end(), once.begin(), once.end());
  EXPECT_EQ(operationsSinceLoad(), expected);
  EXPECT_EQ(boxWidth(), 720);
  EXPECT_EQ(boxHeight(), 800);
}

TEST_F(SearchTest, SearchReadsTheWordsAtTheClick) {
  typeWords(Text("first"));
  clickSearch();
  typeWords(Text("second"));
  clickSearch();
  EXPECT_EQ(boxAddress(), prefix() + Text("second"));
}

TEST_F(SearchTest, NewWindowIsRefusedAndLoadedInTheBox) {
  struct Case {
    const char* why;
    const char* newWindowAddress;  // what the browser gives for the new window, if anything
    const char* statusText;        // the link that the mouse last passed over, if any
    const char* expectedNavigation;
  };
  const Case cases[] = {
      {"a link's own address wins over the status text", "http://127.0.0.1:8631/detail/101",
       "http://127.0.0.1:8631/detail/101", "http://127.0.0.1:8631/detail/101"},
      {"a script's window loads its own address, not the link last pointed at",
       "http://127.0.0.1:8631/detail/102", "http://127.0.0.1:8631/detail/7",
       "http://127.0.0.1:8631/detail/102"},
      {"the browser's address with no status text", "http://127.0.0.1:8631/detail/102", "",
       "http://127.0.0.1:8631/detail/102"},
      {"no address from the browser: the status text", "", "http://127.0.0.1:8631/detail/5",
       "http://127.0.0.1:8631/detail/5"},
      {"no address and an empty status text: the box is asked for the empty text", "", "", ""},
      {"a status text that is no address is still what the box is sent to", "", "正在打开网页…",
       "正在打开网页…"},
      {"Chinese in the browser's address stays characters", "http://127.0.0.1:8631/s/电影", "",
       "http://127.0.0.1:8631/s/电影"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.why);
    toolkit_.setUserText(kBrowserBox, property::kBrowserStatusText, textFromUtf8(c.statusText));
    const std::size_t before = toolkit_.operations().size();
    const std::optional<bool> answer = toolkit_.raiseEvent(kBrowserBox, event::kBrowserNewWindow,
                                                           textFromUtf8(c.newWindowAddress));
    EXPECT_EQ(answer, std::optional<bool>(false));

    const std::vector<Operation> all = toolkit_.operations();
    std::vector<Operation> actions;  // everything but reads: nothing is resized or written
    for (std::size_t i = before; i < all.size(); ++i) {
      if (all[i].name != "readTextProperty") actions.push_back(all[i]);
    }
    EXPECT_EQ(actions, std::vector<Operation>{navigation(textFromUtf8(c.expectedNavigation))});
  }
}

TEST_F(SearchTest, NewWindowWhileShownKeepsTheBoxShown) {
  clickSearch();
  toolkit_.setUserText(kBrowserBox, property::kBrowserStatusText,
                       Text("http://127.0.0.1:8631/detail/3"));
  EXPECT_EQ(toolkit_.raiseEvent(kBrowserBox, event::kBrowserNewWindow), std::optional(false));
  EXPECT_EQ(boxWidth(), 720);
  EXPECT_EQ(boxHeight(), 800);
  EXPECT_EQ(toolkit_.operations().back(), navigation(Text("http://127.0.0.1:8631/detail/3")));
}

}  // namespace
}  // namespace tuvaro
