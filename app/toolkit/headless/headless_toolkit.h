// A toolkit without a screen, for tests. It builds a form as plain objects whose properties a
// test reads and writes, records every operation in the order it was called, lets a test raise
// any event and read the handler's answer, and runs started threads so that a test can wait
// for them.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "app/toolkit/form.h"
#include "app/toolkit/toolkit.h"

namespace tuvaro::toolkit {

class HeadlessToolkit final : public Toolkit {
 public:
  // One recorded call. `value` holds a written or shown text, `number` a written number.
  struct Operation {
    std::string name{};  // "startUp", "loadWindow", "writeTextProperty", ...
    std::string control{};
    int property = -1;
    Text value{};
    std::int64_t number = 0;
    Text title{};  // messageBox only
    friend bool operator==(const Operation&, const Operation&) = default;
  };

  HeadlessToolkit() = default;
  ~HeadlessToolkit() override;  // joins the threads it started
  HeadlessToolkit(const HeadlessToolkit&) = delete;
  HeadlessToolkit& operator=(const HeadlessToolkit&) = delete;

  // Toolkit.
  void startUp(ExitHook exitHook) override;
  void loadWindow(const WindowForm& form) override;
  void runMessageLoop() override;
  Text readTextProperty(std::string_view control, int property) override;
  void writeTextProperty(std::string_view control, int property, const Text& value) override;
  void writeNumberProperty(std::string_view control, int property, std::int64_t value) override;
  std::uintptr_t windowHandle() override;
  void setWindowTransparency(std::uintptr_t handle, int alpha) override;
  void messageBox(const Text& text, int style, const Text& title) override;
  void openAddress(const Text& address) override;
  void startThread(ThreadRoutine routine) override;
  void processPendingEvents() override;
  void navigate(std::string_view browserBox, const Text& address) override;
  void runExitHook() override;

  // What the message loop does while it "runs": the test's own user, acting on this toolkit.
  // Without one the loop returns at once, as if the window had been closed.
  void setUser(std::function<void(HeadlessToolkit&)> user);
  // Makes processPendingEvents run `handler` once per call on the loading thread, standing in
  // for events that arrive while a long routine runs there.
  void setPendingEventsHandler(std::function<void()> handler);

  // Raises `event` on `control` and returns the handler's answer: nullopt when the event has
  // no handler or the handler does not answer. While event 9 of a browser box is raised,
  // property 13 reads `newWindowAddress`.
  std::optional<bool> raiseEvent(std::string_view control, int event,
                                 const Text& newWindowAddress = Text());
  // Sets a text property as the user or the browser would (the edit box's content, the
  // browser box's status text); not recorded as an operation.
  void setUserText(std::string_view control, int property, const Text& value);
  // A property's current value as the control holds it; nullopt when never set.
  std::optional<Text> textProperty(std::string_view control, int property) const;
  std::optional<std::int64_t> numberProperty(std::string_view control, int property) const;

  std::vector<Operation> operations() const;
  std::vector<std::string> operationNames() const;
  int windowAlpha() const;  // 255 until set
  bool windowLoaded() const;
  // Waits for every thread started so far.
  void joinThreads();

 private:
  struct Control {
    ControlKind kind = ControlKind::kEditBox;
    const ControlForm* form = nullptr;
    std::map<int, Text> texts;
    std::map<int, std::int64_t> numbers;
  };

  void record(Operation operation);
  Control* find(std::string_view control);  // with mutex_ held

  mutable std::mutex mutex_;
  std::vector<Operation> operations_;
  std::map<std::string, Control, std::less<>> controls_;
  const WindowForm* form_ = nullptr;
  ExitHook exitHook_ = nullptr;
  bool exitHookRun_ = false;
  int alpha_ = 255;
  std::thread::id uiThread_;
  std::function<void(HeadlessToolkit&)> user_;
  std::function<void()> pendingEventsHandler_;
  std::vector<std::thread> threads_;
};

}  // namespace tuvaro::toolkit
