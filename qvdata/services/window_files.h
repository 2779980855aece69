// The declared files a window holds while it is open, named by what the
// window reads, so that a window holds them through a FileScope without
// knowing the files' numbers.
#pragma once

#include <vector>

namespace qv {

// The thread tree's files: messages (MsgNmbr), Person and Threads.
std::vector<int> threadTreeFiles();

}  // namespace qv
