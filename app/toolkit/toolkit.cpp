#include "app/toolkit/toolkit.h"

#include <atomic>
#include <cstdlib>

#include "text/pending_events.h"

namespace tuvaro::toolkit {
namespace {

std::atomic<Toolkit*> installed{nullptr};

void processPendingEventsOfCurrentToolkit() {
  if (Toolkit* toolkit = installed.load()) toolkit->processPendingEvents();
}

}  // namespace

Toolkit& currentToolkit() {
  Toolkit* toolkit = installed.load();
  // Every handler runs after the entry installed the toolkit; reaching here without one is a
  // fault of the program itself, not a condition to recover from.
  if (toolkit == nullptr) std::abort();
  return *toolkit;
}

void installToolkit(Toolkit* toolkit) {
  installed.store(toolkit);
  setPendingEventsHandler(toolkit != nullptr ? &processPendingEventsOfCurrentToolkit : nullptr);
}

int runProgram(Toolkit& toolkit, int (*entry)()) {
  installToolkit(&toolkit);
  const int result = entry();
  toolkit.runExitHook();
  // The toolkit stays installed: threads that the program started may still call it until
  // the process ends.
  return result;
}

}  // namespace tuvaro::toolkit
