// Registers the scheduled-task windows with the frame's procedure starter
// and the library's numbered starter.
#pragma once

namespace qvm {

void registerTaskWindows();

}  // namespace qvm
