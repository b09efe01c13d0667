#include "app/search.h"

#include <cstdint>

#include "app/build_settings.h"
#include "app/controls.h"
#include "app/toolkit/toolkit.h"
#include "app/update_check.h"
#include "text/text.h"

namespace tuvaro {
namespace {

using toolkit::currentToolkit;
namespace property = toolkit::property;

struct BoxSize {
  std::int64_t width;
  std::int64_t height;
};

// Shown, the box is larger than the client area: its scroll bars lie outside the window and
// the page scrolls with the wheel or the keyboard. Hidden, nothing of it is left to see.
constexpr BoxSize kShownBox{720, 800};
constexpr BoxSize kHiddenBox{0, 0};

}  // namespace

void onSearchClicked() {
  toolkit::Toolkit& toolkit = currentToolkit();
  toolkit.writeNumberProperty(kBrowserBox, property::kBrowserHeight, kShownBox.height);
  toolkit.writeNumberProperty(kBrowserBox, property::kBrowserWidth, kShownBox.width);
  const Text words = toolkit.readTextProperty(kSearchWordsBox, property::kEditContent);
  // Joined as they stand: the words are the user's own, escaping them is the browser's matter.
  const Text address = Text(kSearchAddressPrefix) + words;
  toolkit.writeTextProperty(kBrowserBox, property::kBrowserAddress, address);
  startUpdateCheck();
}

void onBackToSearchClicked() {
  toolkit::Toolkit& toolkit = currentToolkit();
  toolkit.writeNumberProperty(kBrowserBox, property::kBrowserWidth, kHiddenBox.width);
  toolkit.writeNumberProperty(kBrowserBox, property::kBrowserHeight, kHiddenBox.height);
}

bool onNewWindowRequested() {
  toolkit::Toolkit& toolkit = currentToolkit();
  const Text statusText = toolkit.readTextProperty(kBrowserBox, property::kBrowserStatusText);
  // The status text is only the link that the mouse last passed over: a window opened by a
  // script would load that instead of its own address, so the browser's own answer wins.
  const Text newWindowAddress =
      toolkit.readTextProperty(kBrowserBox, property::kBrowserNewWindowAddress);
  toolkit.navigate(kBrowserBox, newWindowAddress.empty() ? statusText : newWindowAddress);
  return false;
}

}  // namespace tuvaro
