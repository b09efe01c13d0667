// The toolkit on GTK 3 and WebKitGTK: one top-level window built from a form, with an edit
// box, picture buttons and a web view as the browser box.
//
// Threads: the thread that calls startUp is the user-interface thread. messageBox and
// openAddress from other threads are carried over to it and wait there; processPendingEvents
// on any other thread does nothing, as such a thread has no events of its own.
#pragma once

#include <memory>

#include "app/toolkit/toolkit.h"

namespace tuvaro::toolkit {

class GtkToolkit final : public Toolkit {
 public:
  GtkToolkit();
  ~GtkToolkit() override;
  GtkToolkit(const GtkToolkit&) = delete;
  GtkToolkit& operator=(const GtkToolkit&) = delete;

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

  // True while a thread that startThread began has not finished. The program then ends
  // without waiting for it.
  bool threadsRunning() const;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

// The application id: the program's name towards the desktop (window class, icon name).
inline constexpr const char* kApplicationId = "org.tuvaro.Tuvaro";
// Where the program's own resources (its pictures and icon) live in its resource bundle.
inline constexpr const char* kResourcePrefix = "/org/tuvaro/Tuvaro/";

}  // namespace tuvaro::toolkit
