#include "text/pending_events.h"

#include <atomic>

namespace tuvaro {
namespace {
std::atomic<PendingEventsHandler> installedHandler{nullptr};
}

void setPendingEventsHandler(PendingEventsHandler handler) { installedHandler.store(handler); }

void processPendingEvents() {
  if (PendingEventsHandler handler = installedHandler.load()) handler();
}

}  // namespace tuvaro
