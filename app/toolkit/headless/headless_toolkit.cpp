#include "app/toolkit/headless/headless_toolkit.h"

#include <utility>

#include "text/codepage.h"

namespace tuvaro::toolkit {
namespace {

// Any non-zero value serves: nothing outside this toolkit reads it.
constexpr std::uintptr_t kWindowHandle = 0x5eed;

}  // namespace

HeadlessToolkit::~HeadlessToolkit() { joinThreads(); }

void HeadlessToolkit::record(Operation operation) {
  std::lock_guard lock(mutex_);
  operations_.push_back(std::move(operation));
}

HeadlessToolkit::Control* HeadlessToolkit::find(std::string_view control) {
  auto it = controls_.find(control);
  return it == controls_.end() ? nullptr : &it->second;
}

void HeadlessToolkit::startUp(ExitHook exitHook) {
  {
    std::lock_guard lock(mutex_);
    exitHook_ = exitHook;
    uiThread_ = std::this_thread::get_id();
  }
  record({.name = "startUp"});
}

void HeadlessToolkit::loadWindow(const WindowForm& form) {
  record({.name = "loadWindow"});
  {
    std::lock_guard lock(mutex_);
    form_ = &form;
    controls_.clear();
    Control& window = controls_[std::string(kMainWindow)];
    window.texts[property::kWindowCaption] = textFromUtf8(form.caption);
    for (const ControlForm& made : form.controls) {
      Control& control = controls_[std::string(made.name)];
      control.kind = made.kind;
      control.form = &made;
      switch (made.kind) {
        case ControlKind::kEditBox:
          control.texts[property::kEditContent] = textFromUtf8(made.initialText);
          break;
        case ControlKind::kBrowserBox:
          control.numbers[property::kBrowserWidth] = made.width;
          control.numbers[property::kBrowserHeight] = made.height;
          control.texts[property::kBrowserStatusText] = Text();
          break;
        case ControlKind::kPushButton:
        case ControlKind::kImageButton:
          break;
      }
    }
  }
  if (form.onCreated != nullptr) form.onCreated();
}

void HeadlessToolkit::runMessageLoop() {
  record({.name = "runMessageLoop"});
  std::function<void(HeadlessToolkit&)> user;
  {
    std::lock_guard lock(mutex_);
    user = user_;
  }
  if (user) user(*this);
}

Text HeadlessToolkit::readTextProperty(std::string_view control, int property) {
  std::lock_guard lock(mutex_);
  operations_.push_back(
      {.name = "readTextProperty", .control = std::string(control), .property = property});
  Control* found = find(control);
  if (found == nullptr) return Text();
  auto it = found->texts.find(property);
  return it == found->texts.end() ? Text() : it->second;
}

void HeadlessToolkit::writeTextProperty(std::string_view control, int property, const Text& value) {
  std::lock_guard lock(mutex_);
  operations_.push_back({.name = "writeTextProperty",
                         .control = std::string(control),
                         .property = property,
                         .value = value});
  if (Control* found = find(control)) found->texts[property] = value;
}

void HeadlessToolkit::writeNumberProperty(std::string_view control, int property,
                                          std::int64_t value) {
  std::lock_guard lock(mutex_);
  operations_.push_back({.name = "writeNumberProperty",
                         .control = std::string(control),
                         .property = property,
                         .number = value});
  if (Control* found = find(control)) found->numbers[property] = value;
}

std::uintptr_t HeadlessToolkit::windowHandle() {
  std::lock_guard lock(mutex_);
  operations_.push_back({.name = "windowHandle"});
  return form_ != nullptr ? kWindowHandle : 0;
}

void HeadlessToolkit::setWindowTransparency(std::uintptr_t handle, int alpha) {
  std::lock_guard lock(mutex_);
  operations_.push_back(
      {.name = "setWindowTransparency", .number = static_cast<std::int64_t>(alpha)});
  if (handle == kWindowHandle && form_ != nullptr) alpha_ = alpha;
}

void HeadlessToolkit::messageBox(const Text& text, int style, const Text& title) {
  record({.name = "messageBox", .value = text, .number = style, .title = title});
}

void HeadlessToolkit::openAddress(const Text& address) {
  record({.name = "openAddress", .value = address});
}

void HeadlessToolkit::startThread(ThreadRoutine routine) {
  std::lock_guard lock(mutex_);
  operations_.push_back({.name = "startThread"});
  threads_.emplace_back(routine);
}

void HeadlessToolkit::processPendingEvents() {
  std::function<void()> handler;
  {
    std::lock_guard lock(mutex_);
    operations_.push_back({.name = "processPendingEvents"});
    if (std::this_thread::get_id() != uiThread_) return;  // a thread with no events
    handler = pendingEventsHandler_;
  }
  if (handler) handler();
}

void HeadlessToolkit::navigate(std::string_view browserBox, const Text& address) {
  std::lock_guard lock(mutex_);
  operations_.push_back({.name = "navigate", .control = std::string(browserBox), .value = address});
  if (Control* found = find(browserBox)) found->texts[property::kBrowserAddress] = address;
}

void HeadlessToolkit::runExitHook() {
  ExitHook hook = nullptr;
  {
    std::lock_guard lock(mutex_);
    operations_.push_back({.name = "runExitHook"});
    if (exitHookRun_) return;
    exitHookRun_ = true;
    hook = exitHook_;
  }
  if (hook != nullptr) hook();
}

void HeadlessToolkit::setUser(std::function<void(HeadlessToolkit&)> user) {
  std::lock_guard lock(mutex_);
  user_ = std::move(user);
}

void HeadlessToolkit::setPendingEventsHandler(std::function<void()> handler) {
  std::lock_guard lock(mutex_);
  pendingEventsHandler_ = std::move(handler);
}

std::optional<bool> HeadlessToolkit::raiseEvent(std::string_view control, int event,
                                                const Text& newWindowAddress) {
  const ControlForm* made = nullptr;
  {
    std::lock_guard lock(mutex_);
    if (control == kMainWindow) {
      if (form_ == nullptr || event != event::kWindowCreated || form_->onCreated == nullptr) {
        return std::nullopt;
      }
    } else {
      Control* found = find(control);
      if (found == nullptr) return std::nullopt;
      made = found->form;
      if (made->kind == ControlKind::kBrowserBox && event == event::kBrowserNewWindow) {
        found->texts[property::kBrowserNewWindowAddress] = newWindowAddress;
      }
    }
  }
  if (made == nullptr) {
    form_->onCreated();
    return std::nullopt;
  }
  std::optional<bool> answer;
  const bool isButton =
      made->kind == ControlKind::kPushButton || made->kind == ControlKind::kImageButton;
  if (isButton && event == event::kButtonClicked && made->onClicked != nullptr) {
    made->onClicked();
  } else if (made->kind == ControlKind::kBrowserBox && event == event::kBrowserNewWindow) {
    if (made->onNewWindow != nullptr) answer = made->onNewWindow();
    std::lock_guard lock(mutex_);
    // The address belongs to the request alone.
    if (Control* found = find(control)) found->texts.erase(property::kBrowserNewWindowAddress);
  }
  return answer;
}

void HeadlessToolkit::setUserText(std::string_view control, int property, const Text& value) {
  std::lock_guard lock(mutex_);
  if (Control* found = find(control)) found->texts[property] = value;
}

std::optional<Text> HeadlessToolkit::textProperty(std::string_view control, int property) const {
  std::lock_guard lock(mutex_);
  auto it = controls_.find(control);
  if (it == controls_.end()) return std::nullopt;
  auto value = it->second.texts.find(property);
  if (value == it->second.texts.end()) return std::nullopt;
  return value->second;
}

std::optional<std::int64_t> HeadlessToolkit::numberProperty(std::string_view control,
                                                            int property) const {
  std::lock_guard lock(mutex_);
  auto it = controls_.find(control);
  if (it == controls_.end()) return std::nullopt;
  auto value = it->second.numbers.find(property);
  if (value == it->second.numbers.end()) return std::nullopt;
  return value->second;
}

std::vector<HeadlessToolkit::Operation> HeadlessToolkit::operations() const {
  std::lock_guard lock(mutex_);
  return operations_;
}

std::vector<std::string> HeadlessToolkit::operationNames() const {
  std::lock_guard lock(mutex_);
  std::vector<std::string> names;
  for (const Operation& operation : operations_) names.push_back(operation.name);
  return names;
}

int HeadlessToolkit::windowAlpha() const {
  std::lock_guard lock(mutex_);
  return alpha_;
}

bool HeadlessToolkit::windowLoaded() const {
  std::lock_guard lock(mutex_);
  return form_ != nullptr;
}

void HeadlessToolkit::joinThreads() {
  std::vector<std::thread> threads;
  {
    std::lock_guard lock(mutex_);
    threads.swap(threads_);
  }
  for (std::thread& thread : threads) thread.join();
}

}  // namespace tuvaro::toolkit
