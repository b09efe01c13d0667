#include "app/program.h"

#include <atomic>

#include "app/build_settings.h"
#include "app/controls.h"
#include "app/main_form.h"
#include "app/program_values.h"
#include "app/scramble_keys.h"
#include "app/toolkit/form.h"
#include "app/toolkit/toolkit.h"
#include "text/scrambled_text.h"

namespace tuvaro {
namespace {

constexpr StartupValues kBuiltIn{
    .searchAddressPrefix = kSearchAddressPrefix,
    .scrambledTitle = kScrambledTitle,
    .titleKeyNumber = kTitleKeyNumber,
};

std::atomic<const StartupValues*> testValues{nullptr};

const StartupValues& startupValues() {
  const StartupValues* values = testValues.load();
  return values != nullptr ? *values : kBuiltIn;
}

// The program's own start-up routine: nothing needs doing before the window is made.
void startUpRoutine() {}

}  // namespace

const StartupValues& builtInStartupValues() { return kBuiltIn; }

void setStartupValuesForTesting(const StartupValues* values) { testValues.store(values); }

int programMain() {
  toolkit::Toolkit& toolkit = toolkit::currentToolkit();
  toolkit.startUp(&releaseGlobals);
  startUpRoutine();
  toolkit.loadWindow(mainWindowForm());
  toolkit.runMessageLoop();
  return 0;
}

void onMainWindowCreated() {
  toolkit::Toolkit& toolkit = toolkit::currentToolkit();
  const StartupValues& values = startupValues();

  toolkit.setWindowTransparency(toolkit.windowHandle(), kMainWindowAlpha);

  {
    const Text hint = toolkit.readTextProperty(kSearchWordsBox, toolkit::property::kEditContent);
    const Text address = Text(values.searchAddressPrefix) + hint;
    toolkit.writeTextProperty(kBrowserBox, toolkit::property::kBrowserAddress, address);
  }

  programValues().setScrambledTitle(Text(values.scrambledTitle));
  programValues().setTitleKeyNumber(values.titleKeyNumber);

  const Text key(keyTextOf(programValues().titleKeyNumber()));
  const Text title = unscrambleText(programValues().scrambledTitle().view(), key.view());
  toolkit.writeTextProperty(toolkit::kMainWindow, toolkit::property::kWindowCaption, title);
}

void releaseGlobals() { programValues().releaseTexts(); }

}  // namespace tuvaro
