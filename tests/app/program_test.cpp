// Start-up and end of the program against the headless toolkit.
#include "app/program.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "app/controls.h"
#include "app/program_values.h"
#include "app/toolkit/headless/headless_toolkit.h"
#include "text/codepage.h"
#include "text/scrambled_text.h"
#include "tools/scrambler.h"

namespace tuvaro {
namespace {

using toolkit::HeadlessToolkit;
using Operation = HeadlessToolkit::Operation;
namespace property = toolkit::property;

// Written out here rather than taken from the form, so that a slip in either shows.
constexpr const char* kHintUtf8 = "点击搜索后，请往下拉，如果出现空白，多搜索几次";

Text expectedFirstAddress() {
  return Text(std::string("http://") + TUVARO_TEST_SEARCH_HOST + "/s/") + textFromUtf8(kHintUtf8);
}

std::vector<Operation> withoutPendingEvents(std::vector<Operation> operations) {
  std::erase_if(operations, [](const Operation& o) { return o.name == "processPendingEvents"; });
  return operations;
}

class ProgramTest : public ::testing::Test {
 protected:
  void SetUp() override { resetValues(); }
  void TearDown() override {
    toolkit::installToolkit(nullptr);
    setStartupValuesForTesting(nullptr);
    resetValues();
  }
  static void resetValues() {
    programValues().releaseTexts();
    programValues().setTitleKeyNumber(0);
    programValues().setRemoteVersion(0);
  }

  HeadlessToolkit toolkit_;
};

TEST_F(ProgramTest, StartsInOrderAndRunsTheExitHookOnceAfterTheLoop) {
  const int result = toolkit::runProgram(toolkit_, &programMain);

  EXPECT_EQ(result, 0);
  const Text title = textFromUtf8(TUVARO_TEST_TITLE);
  const std::vector<Operation> expected = {
      {.name = "startUp"},
      {.name = "loadWindow"},
      {.name = "windowHandle"},
      {.name = "setWindowTransparency", .number = 180},
      {.name = "readTextProperty",
       .control = std::string(kSearchWordsBox),
       .property = property::kEditContent},
      {.name = "writeTextProperty",
       .control = std::string(kBrowserBox),
       .property = property::kBrowserAddress,
       .value = expectedFirstAddress()},
      {.name = "writeTextProperty",
       .control = "",
       .property = property::kWindowCaption,
       .value = title},
      {.name = "runMessageLoop"},
      {.name = "runExitHook"},
  };
  EXPECT_EQ(withoutPendingEvents(toolkit_.operations()), expected);
  EXPECT_EQ(toolkit_.windowAlpha(), 180);
  EXPECT_EQ(toolkit_.textProperty("", property::kWindowCaption), title);
}

TEST_F(ProgramTest, TheTitleDecodeLetsTheToolkitHandleEventsOncePerByte) {
  // The text subsystem's hook must reach the toolkit: one call per decoded byte.
  int handled = 0;
  toolkit_.setPendingEventsHandler([&handled] { ++handled; });
  toolkit::runProgram(toolkit_, &programMain);

  const std::size_t titleBytes = textFromUtf8(TUVARO_TEST_TITLE).size();
  EXPECT_EQ(handled, static_cast<int>(titleBytes));
  const auto names = toolkit_.operationNames();
  EXPECT_EQ(std::count(names.begin(), names.end(), "processPendingEvents"),
            static_cast<long>(titleBytes));
}

TEST_F(ProgramTest, EventsHandledDuringTheTitleDecodeSeeTheBrowserBoxAlreadySent) {
  Text addressSeen;
  toolkit_.setPendingEventsHandler([this, &addressSeen] {
    if (addressSeen.empty()) {
      addressSeen = toolkit_.textProperty(kBrowserBox, property::kBrowserAddress).value_or(Text());
    }
  });
  toolkit::runProgram(toolkit_, &programMain);
  EXPECT_EQ(addressSeen, expectedFirstAddress());
}

TEST_F(ProgramTest, TheExitHookReleasesTheTextsOnceAndKeepsTheNumbers) {
  toolkit_.setUser([](HeadlessToolkit&) {
    programValues().setUpdateInfoUrl(Text("http://example.invalid/u"));
    programValues().setDownloadPageUrl(Text("http://example.invalid/d"));
    programValues().setRemoteVersion(2);
  });
  toolkit::runProgram(toolkit_, &programMain);

  EXPECT_EQ(programValues().updateInfoUrl(), Text());
  EXPECT_EQ(programValues().downloadPageUrl(), Text());
  EXPECT_EQ(programValues().scrambledTitle(), Text());
  EXPECT_EQ(programValues().remoteVersion(), 2);
  EXPECT_EQ(programValues().titleKeyNumber(), 583217);

  // A second request to run the hook does not run it again.
  programValues().setScrambledTitle(Text("kept"));
  toolkit_.runExitHook();
  EXPECT_EQ(programValues().scrambledTitle(), Text("kept"));
}

TEST_F(ProgramTest, TheBuiltInTitleDecodesWithTheTitleKeyNumber) {
  const StartupValues& builtIn = builtInStartupValues();
  EXPECT_EQ(builtIn.titleKeyNumber, 583217);
  EXPECT_EQ(builtIn.searchAddressPrefix, std::string("http://") + TUVARO_TEST_SEARCH_HOST + "/s/");
  EXPECT_EQ(unscrambleText(builtIn.scrambledTitle, "583217"), textFromUtf8(TUVARO_TEST_TITLE));
}

TEST_F(ProgramTest, AKeyThatDoesNotFitGivesAnEmptyTitleAndAWorkingProgram) {
  const Text plain = textFromUtf8(TUVARO_TEST_TITLE);
  const Text underOtherKey = scrambleText(plain.view(), "583218");
  const Text underRightKey = scrambleText(plain.view(), "583217");
  std::string lowerTail = underRightKey.str();
  for (std::size_t i = lowerTail.size() - 9; i < lowerTail.size(); ++i) {
    lowerTail[i] = static_cast<char>(std::tolower(static_cast<unsigned char>(lowerTail[i])));
  }
  const bool tailHasLetters = lowerTail != underRightKey.str();

  struct Case {
    const char* why;
    std::string scrambled;
    std::int32_t keyNumber;
  };
  std::vector<Case> cases = {
      {"scrambled under another key", underOtherKey.str(), 583217},
      {"the key number is another", underRightKey.str(), 583216},
      {"shorter than the check tail", "ABCDEF12", 583217},
      {"empty", "", 583217},
  };
  if (tailHasLetters) cases.push_back({"tail in lower case", lowerTail, 583217});

  for (const Case& c : cases) {
    SCOPED_TRACE(c.why);
    HeadlessToolkit toolkit;
    const StartupValues values{.searchAddressPrefix = builtInStartupValues().searchAddressPrefix,
                               .scrambledTitle = c.scrambled,
                               .titleKeyNumber = c.keyNumber};
    setStartupValuesForTesting(&values);
    bool loopRan = false;
    toolkit.setUser([&loopRan](HeadlessToolkit&) { loopRan = true; });

    EXPECT_EQ(toolkit::runProgram(toolkit, &programMain), 0);
    EXPECT_EQ(toolkit.textProperty("", property::kWindowCaption), Text());
    EXPECT_EQ(toolkit.textProperty(kBrowserBox, property::kBrowserAddress), expectedFirstAddress());
    EXPECT_EQ(toolkit.windowAlpha(), 180);
    EXPECT_TRUE(loopRan);
    toolkit::installToolkit(nullptr);
  }
}

TEST_F(ProgramTest, TheFirstAddressIsThePrefixAndTheHintJoinedAsTheyStand) {
  struct Case {
    const char* why;
    const char* prefix;
  };
  const Case cases[] = {
      {"another host", "http://search.example:80/s/"},
      {"empty prefix", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.why);
    HeadlessToolkit toolkit;
    const StartupValues values{.searchAddressPrefix = c.prefix,
                               .scrambledTitle = builtInStartupValues().scrambledTitle,
                               .titleKeyNumber = 583217};
    setStartupValuesForTesting(&values);
    toolkit::runProgram(toolkit, &programMain);
    EXPECT_EQ(toolkit.textProperty(kBrowserBox, property::kBrowserAddress),
              Text(c.prefix) + textFromUtf8(kHintUtf8));
    toolkit::installToolkit(nullptr);
  }
}

}  // namespace
}  // namespace tuvaro
