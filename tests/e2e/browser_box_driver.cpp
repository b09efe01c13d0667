// browser_box_driver START [AGAIN]: a small program on the GTK toolkit whose one control is a
// browser box large enough to click in. It loads START, writes AGAIN (or START) to the address
// property once more three seconds later, and prints every new-window event with the address
// and status text that the toolkit gives, so that a test can check the browser box's side of
// the toolkit. Every new window is refused.
#include <glib.h>

#include <array>
#include <cstdio>
#include <string>

#include "app/toolkit/form.h"
#include "app/toolkit/gtk/gtk_toolkit.h"
#include "app/toolkit/toolkit.h"

namespace {

using namespace tuvaro::toolkit;

std::string startAddress;
std::string againAddress;

bool onNewWindowRequested() {
  Toolkit& toolkit = currentToolkit();
  const tuvaro::Text address = toolkit.readTextProperty("box", property::kBrowserNewWindowAddress);
  const tuvaro::Text status = toolkit.readTextProperty("box", property::kBrowserStatusText);
  std::printf("new-window address=%s status=%s\n", address.c_str(), status.c_str());
  std::fflush(stdout);
  return false;
}

void onCreated() {
  currentToolkit().writeTextProperty("box", property::kBrowserAddress, tuvaro::Text(startAddress));
  g_timeout_add_seconds(
      3,
      [](gpointer) -> gboolean {
        currentToolkit().writeTextProperty("box", property::kBrowserAddress,
                                           tuvaro::Text(againAddress));
        return G_SOURCE_REMOVE;
      },
      nullptr);
}

constexpr std::array<ControlForm, 1> kControls{{
    {.name = "box",
     .kind = ControlKind::kBrowserBox,
     .width = 600,
     .height = 500,
     .silent = true,
     .onNewWindow = &onNewWindowRequested},
}};
constexpr WindowForm kForm{
    .outerWidth = 640, .outerHeight = 560, .controls = kControls, .onCreated = &onCreated};

int entry() {
  Toolkit& toolkit = currentToolkit();
  toolkit.startUp(nullptr);
  toolkit.loadWindow(kForm);
  toolkit.runMessageLoop();
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return 2;
  startAddress = argv[1];
  againAddress = argc > 2 ? argv[2] : argv[1];
  static auto* const toolkit = new GtkToolkit;
  return runProgram(*toolkit, &entry);
}
