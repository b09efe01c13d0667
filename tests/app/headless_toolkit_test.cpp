// The headless toolkit that the handler tests stand on, and the main window's form it builds.
#include "app/toolkit/headless/headless_toolkit.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>

#include "app/controls.h"
#include "app/main_form.h"
#include "text/codepage.h"
#include "text/pending_events.h"

namespace tuvaro::toolkit {
namespace {

std::atomic<int> clicks{0};
void countClick() { ++clicks; }
bool refuse() { return false; }
bool allow() { return true; }
Text addressSeenByHandler;
bool readNewWindowAddress() {
  addressSeenByHandler =
      currentToolkit().readTextProperty("box", property::kBrowserNewWindowAddress);
  return false;
}

const ControlForm kTestControls[] = {
    {.name = "button", .kind = ControlKind::kPushButton, .onClicked = &countClick},
    {.name = "silent", .kind = ControlKind::kImageButton},
    {.name = "box",
     .kind = ControlKind::kBrowserBox,
     .width = 72,
     .height = 24,
     .onNewWindow = &readNewWindowAddress},
    {.name = "refusing", .kind = ControlKind::kBrowserBox, .onNewWindow = &refuse},
    {.name = "allowing", .kind = ControlKind::kBrowserBox, .onNewWindow = &allow},
    {.name = "unbound", .kind = ControlKind::kBrowserBox},
    {.name = "edit", .kind = ControlKind::kEditBox, .initialText = "中文"},
};
const WindowForm kTestForm{.controls = kTestControls};

class HeadlessToolkitTest : public ::testing::Test {
 protected:
  void SetUp() override {
    installToolkit(&toolkit_);
    toolkit_.startUp(nullptr);
    toolkit_.loadWindow(kTestForm);
  }
  void TearDown() override { installToolkit(nullptr); }
  HeadlessToolkit toolkit_;
};

TEST_F(HeadlessToolkitTest, EventsReachTheirHandlersAndGiveTheirAnswers) {
  struct Case {
    const char* control;
    int event;
    std::optional<bool> answer;
    int clicksAdded;
  };
  const Case cases[] = {
      {"button", event::kButtonClicked, std::nullopt, 1},
      {"button", 5, std::nullopt, 0},                      // an event the button lacks
      {"silent", event::kButtonClicked, std::nullopt, 0},  // no handler bound
      {"refusing", event::kBrowserNewWindow, false, 0},
      {"allowing", event::kBrowserNewWindow, true, 0},
      {"unbound", event::kBrowserNewWindow, std::nullopt, 0},  // no answer lets it open
      {"nobody", event::kButtonClicked, std::nullopt, 0},      // no such control
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.control) + " event " + std::to_string(c.event));
    const int before = clicks.load();
    EXPECT_EQ(toolkit_.raiseEvent(c.control, c.event), c.answer);
    EXPECT_EQ(clicks.load() - before, c.clicksAdded);
  }
}

TEST_F(HeadlessToolkitTest, TheNewWindowAddressIsReadableOnlyWhileTheEventIsRaised) {
  const Text address("http://127.0.0.1/new");
  EXPECT_EQ(toolkit_.raiseEvent("box", event::kBrowserNewWindow, address), false);
  EXPECT_EQ(addressSeenByHandler, address);
  EXPECT_EQ(toolkit_.readTextProperty("box", property::kBrowserNewWindowAddress), Text());
}

TEST_F(HeadlessToolkitTest, PropertiesStartFromTheFormAndKeepWhatIsWritten) {
  EXPECT_EQ(toolkit_.readTextProperty("edit", property::kEditContent), textFromUtf8("中文"));
  EXPECT_EQ(toolkit_.numberProperty("box", property::kBrowserWidth), 72);
  EXPECT_EQ(toolkit_.numberProperty("box", property::kBrowserHeight), 24);
  EXPECT_EQ(toolkit_.readTextProperty("box", property::kBrowserStatusText), Text());

  toolkit_.writeNumberProperty("box", property::kBrowserHeight, 800);
  toolkit_.writeTextProperty("box", property::kBrowserAddress, Text("http://a/"));
  toolkit_.setUserText("box", property::kBrowserStatusText, Text("http://a/link"));
  toolkit_.writeTextProperty("nobody", property::kBrowserAddress, Text("x"));

  EXPECT_EQ(toolkit_.numberProperty("box", property::kBrowserHeight), 800);
  EXPECT_EQ(toolkit_.numberProperty("box", property::kBrowserWidth), 72);
  EXPECT_EQ(toolkit_.textProperty("box", property::kBrowserAddress), Text("http://a/"));
  EXPECT_EQ(toolkit_.readTextProperty("box", property::kBrowserStatusText), Text("http://a/link"));
  EXPECT_EQ(toolkit_.readTextProperty("nobody", property::kBrowserAddress), Text());
  EXPECT_EQ(toolkit_.readTextProperty("box", 99), Text());
}

std::atomic<bool> workerRan{false};
void worker() {
  currentToolkit().messageBox(Text("msg"), kMessageBoxOk, Text("title"));
  // A thread without events: the pending-events hook must not run the test's handler here.
  processPendingEvents();
  workerRan = true;
}

TEST_F(HeadlessToolkitTest, ThreadsRunAndPendingEventsAreHandledOnTheLoadingThreadOnly) {
  std::atomic<int> handled{0};
  toolkit_.setPendingEventsHandler([&handled] { ++handled; });
  toolkit_.startThread(&worker);
  toolkit_.joinThreads();
  EXPECT_TRUE(workerRan);
  EXPECT_EQ(handled.load(), 0);

  processPendingEvents();  // through the text subsystem's hook, on the loading thread
  EXPECT_EQ(handled.load(), 1);

  bool sawBox = false;
  for (const auto& operation : toolkit_.operations()) {
    if (operation.name == "messageBox") {
      sawBox = true;
      EXPECT_EQ(operation.value, Text("msg"));
      EXPECT_EQ(operation.title, Text("title"));
      EXPECT_EQ(operation.number, kMessageBoxOk);
    }
  }
  EXPECT_TRUE(sawBox);
}

TEST(MainWindowFormTest, HoldsTheFourControlsInStackingOrderWhereTheyBelong) {
  struct Expected {
    std::string_view name;
    ControlKind kind;
    int left, top, width, height;
  };
  const Expected expected[] = {
      {kBackToSearchButton, ControlKind::kImageButton, -11, -8, 113, 55},
      {kBrowserBox, ControlKind::kBrowserBox, 0, 0, 72, 24},
      {kSearchButton, ControlKind::kPushButton, 223, 384, 119, 46},
      {kSearchWordsBox, ControlKind::kEditBox, 122, 336, 326, 26},
  };
  const WindowForm& form = mainWindowForm();
  ASSERT_EQ(form.controls.size(), std::size(expected));
  for (std::size_t i = 0; i < std::size(expected); ++i) {
    SCOPED_TRACE(std::string(expected[i].name));
    const ControlForm& control = form.controls[i];
    EXPECT_EQ(control.name, expected[i].name);
    EXPECT_EQ(control.kind, expected[i].kind);
    EXPECT_EQ(control.left, expected[i].left);
    EXPECT_EQ(control.top, expected[i].top);
    EXPECT_EQ(control.width, expected[i].width);
    EXPECT_EQ(control.height, expected[i].height);
    EXPECT_FALSE(control.defaultButton);  // Enter presses nothing
  }
  EXPECT_EQ(form.outerWidth, 594);
  EXPECT_EQ(form.outerHeight, 603);
  EXPECT_TRUE(form.centred);
  EXPECT_FALSE(form.resizable);
  EXPECT_FALSE(form.maximisable);
  EXPECT_TRUE(form.escapeCloses);
  EXPECT_NE(form.onCreated, nullptr);

  const ControlForm* back = findControl(form, kBackToSearchButton);
  const ControlForm* search = findControl(form, kSearchButton);
  const ControlForm* box = findControl(form, kBrowserBox);
  const ControlForm* edit = findControl(form, kSearchWordsBox);
  ASSERT_TRUE(back && search && box && edit);
  EXPECT_EQ(back->caption, "返回搜索");
  EXPECT_EQ(search->caption, "搜索");
  EXPECT_EQ(edit->initialText, "点击搜索后，请往下拉，如果出现空白，多搜索几次");
  EXPECT_EQ(box->textSize, 2);
  EXPECT_TRUE(box->silent);
  EXPECT_FALSE(box->offline);
  EXPECT_NE(back->onClicked, nullptr);
  EXPECT_NE(search->onClicked, nullptr);
  EXPECT_NE(box->onNewWindow, nullptr);
}

}  // namespace
}  // namespace tuvaro::toolkit
