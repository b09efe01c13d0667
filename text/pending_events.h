// A hook through which long text routines let the window toolkit handle the calling thread's
// waiting events. Until a toolkit installs a handler it does nothing.
#pragma once

namespace tuvaro {

using PendingEventsHandler = void (*)();

// Installs the handler (nullptr removes it). Safe to call from any thread.
void setPendingEventsHandler(PendingEventsHandler handler);

// Runs the installed handler, if any, on the calling thread.
void processPendingEvents();

}  // namespace tuvaro
