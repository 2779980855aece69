// bench/browse_window: the browser window's part of bench_browse. Opens the
// forum browser (qvm::BrowseWindow) of each generated database under Qt's
// offscreen platform and times opening it and going to its last message.
#pragma once

#include <cstdint>
#include <vector>

namespace qvbench {

// A generated database as the window timing needs it.
struct WindowDatabase {
  uint32_t id = 0;             // its ID in the database list
  uint32_t middleMessage = 0;  // a message whose thread becomes the limited thread view's
};

// Times the number, limited thread and date views of the browser window on
// the small and the large database, `runs` runs each, and prints the
// "Browser window" section. Returns the largest ratio large/small, or a
// negative value when a window could not be opened or did not reach the
// awaited state (the reason is printed).
double benchBrowseWindow(int& argc, char** argv, const WindowDatabase (&db)[2], int runs);

}  // namespace qvbench
