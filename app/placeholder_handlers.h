// Stand-ins that the main window's form binds until the search, back-to-search and
// new-window handlers exist. Each does nothing; the new-window one refuses the window, so that
// the program never opens a second window of its own.
#pragma once

namespace tuvaro {

void placeholderSearchClicked();
void placeholderBackToSearchClicked();
bool placeholderNewWindowRequested();

}  // namespace tuvaro
