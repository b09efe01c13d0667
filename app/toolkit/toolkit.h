// The window toolkit as the program sees it: the operations, property numbers and event
// numbers that the program's code relies on. It holds no platform types, so that another
// platform's toolkit can stand behind it; the GTK backend and the headless test backend do.
//
// Threads: every operation runs on the user-interface thread, except messageBox, openAddress
// and processPendingEvents, which any thread may call.
#pragma once

#include <cstdint>
#include <string_view>

#include "text/text.h"

namespace tuvaro::toolkit {

struct WindowForm;

// Property numbers, by control kind.
namespace property {
inline constexpr int kWindowCaption = 8;       // window: caption (write)
inline constexpr int kEditContent = 8;         // edit box: content (read)
inline constexpr int kBrowserWidth = 2;        // browser box: width in pixels (write)
inline constexpr int kBrowserHeight = 3;       // browser box: height in pixels (write)
inline constexpr int kBrowserAddress = 11;     // browser box: address (write: navigates)
inline constexpr int kBrowserStatusText = 12;  // browser box: last status text (read)
// browser box: while a new-window event is raised, the address that the new window would open
// when the browser gives one, else empty (read)
inline constexpr int kBrowserNewWindowAddress = 13;
}  // namespace property

// Event numbers, by control kind.
namespace event {
inline constexpr int kWindowCreated = 0;
inline constexpr int kButtonClicked = 0;     // push button and image button
inline constexpr int kBrowserNewWindow = 9;  // raised before a new window would open
}  // namespace event

// Message box styles.
inline constexpr int kMessageBoxOk = 0;  // OK button only, no icon

using ExitHook = void (*)();
using ThreadRoutine = void (*)();
using EventHandler = void (*)();
using AnsweringHandler = bool (*)();  // false stops what the event announces

class Toolkit {
 public:
  virtual ~Toolkit() = default;

  // Makes the toolkit ready and registers `exitHook`, which runs once at normal exit, after
  // the message loop has returned.
  virtual void startUp(ExitHook exitHook) = 0;
  // Makes the window and its controls from `form` in the form's stacking order; the window's
  // created event has been handled when this returns.
  virtual void loadWindow(const WindowForm& form) = 0;
  // Dispatches events on this thread; returns when the last window has closed.
  virtual void runMessageLoop() = 0;

  // Controls are named by their form names; properties by the numbers above. Reading an
  // unknown control or property gives the empty text; writing one does nothing.
  virtual Text readTextProperty(std::string_view control, int property) = 0;
  virtual void writeTextProperty(std::string_view control, int property, const Text& value) = 0;
  virtual void writeNumberProperty(std::string_view control, int property, std::int64_t value) = 0;

  // The window's native handle, 0 if none.
  virtual std::uintptr_t windowHandle() = 0;
  // Draws the window, controls included, at constant opacity alpha/255.
  virtual void setWindowTransparency(std::uintptr_t handle, int alpha) = 0;

  // A box with no owner, modal for the calling thread: returns when the user has closed it.
  virtual void messageBox(const Text& text, int style, const Text& title) = 0;
  // Hands `address` to the desktop's default handler; the outcome is not examined.
  virtual void openAddress(const Text& address) = 0;
  // Runs `routine` on a new, detached thread.
  virtual void startThread(ThreadRoutine routine) = 0;
  // Handles the calling thread's waiting events; does nothing on a thread without any.
  virtual void processPendingEvents() = 0;
  // The browser box itself loads `address`.
  virtual void navigate(std::string_view browserBox, const Text& address) = 0;

  // Runs the exit hook that startUp registered, once; later calls do nothing. runProgram
  // calls it after the program's entry has returned.
  virtual void runExitHook() = 0;
};

// The toolkit that the program's handlers use. The program's entry installs it once, before
// anything else runs; a test installs a headless one.
// installToolkit also routes the text subsystem's pending-events hook to the installed
// toolkit's processPendingEvents (nullptr removes both).
Toolkit& currentToolkit();
void installToolkit(Toolkit* toolkit);

// Installs `toolkit`, runs `entry` (the program's entry, which starts the toolkit up and runs
// its message loop), then the exit hook once. Returns what `entry` returned. The toolkit stays
// installed, so it must outlive every thread that the program started.
int runProgram(Toolkit& toolkit, int (*entry)());

}  // namespace tuvaro::toolkit
