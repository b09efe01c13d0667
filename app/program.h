// The program's entry, its start-up and its exit hook.
#pragma once

#include <cstdint>
#include <string_view>

namespace tuvaro {

// Starts the toolkit with releaseGlobals as the exit hook, runs the start-up routine, loads the
// main window (which runs onMainWindowCreated) and runs the message loop. Returns 0 once the
// main window has closed. The toolkit must have been installed (toolkit::runProgram does).
int programMain();

// The main window's created event: opacity 180, the browser box's first page (the search
// address for the edit box's hint text, joined unescaped), and the decoded title. With a title
// key that does not fit, the title is empty and the program works on.
void onMainWindowCreated();

// The exit hook: releases the program-wide texts.
void releaseGlobals();

inline constexpr int kMainWindowAlpha = 180;

// The fixed values that start-up uses: the built-in ones unless a test has put others in
// their place.
struct StartupValues {
  std::string_view searchAddressPrefix;  // "http://" + search host + "/s/"
  std::string_view scrambledTitle;
  std::int32_t titleKeyNumber;
};
const StartupValues& builtInStartupValues();
void setStartupValuesForTesting(const StartupValues* values);  // nullptr: the built-in ones

}  // namespace tuvaro
