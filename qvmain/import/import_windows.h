// Registers the windows of this folder with the frame's procedure starter
// and the library's numbered starter.
#pragma once

namespace qvm {

void registerImportWindows();

}  // namespace qvm
