// The executable: the program's entry on the GTK toolkit.
#include <cstdio>
#include <cstdlib>

#include "app/program.h"
#include "app/toolkit/gtk/gtk_toolkit.h"

int main() {
  // Never destroyed: threads that the program started may use it until the process ends.
  static auto* const toolkit = new tuvaro::toolkit::GtkToolkit;
  const int exitCode = tuvaro::toolkit::runProgram(*toolkit, &tuvaro::programMain);
  if (toolkit->threadsRunning()) {
    // Closing the window ends the program at once, also while update checks still wait for
    // the network or for the user: they end with the process, and nothing of the program is
    // torn down under them.
    std::fflush(nullptr);
    std::_Exit(exitCode);
  }
  return exitCode;
}
