#include "app/placeholder_handlers.h"

namespace tuvaro {

void placeholderSearchClicked() {}
void placeholderBackToSearchClicked() {}
bool placeholderNewWindowRequested() { return false; }

}  // namespace tuvaro
