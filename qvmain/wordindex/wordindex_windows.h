// The windows around the word index: the word list, the stop list and the
// word index settings wizard, registered under their start routines.
#pragma once

namespace qvm {

void registerWordIndexWindows();

}  // namespace qvm
