// The user's three actions on the main window: a search shows the browser box over the window
// and points it at the search page for the words in the edit box; back-to-search hides the box
// again; and a page that tries to open a new window is shown in the box itself. The box is
// never made anew: it is shown and hidden by its size alone and keeps its page while hidden.
//
// The main window's form binds these handlers; each runs on the user-interface thread and
// reaches the window through the installed toolkit.
#pragma once

namespace tuvaro {

// The clicked event of the search button. In this order: sets the browser box's height to 800,
// then its width to 720 (so that it covers the client area), reads the edit box's words, and
// writes the search address prefix followed by the words, joined as they are (no trimming, no
// escaping), to the box's address, which navigates it. Empty words give the prefix alone; a
// '#' in the words starts the address's fragment and a '/' adds a path step. A click while the
// box is shown loads the page anew. Ends by starting the update check.
void onSearchClicked();

// The clicked event of the back-to-search image button: sets the browser box's width to 0,
// then its height to 0. Nothing is navigated; the box keeps its page.
void onBackToSearchClicked();

// Event 9 of the browser box, raised before a page would open a new window. Navigates the box
// itself to the address that the new window would open when the browser gives one, else to the
// box's status text (the link last pointed at), even when that is empty or no address at all.
// Answers false, so that the new window is not opened.
bool onNewWindowRequested();

}  // namespace tuvaro
