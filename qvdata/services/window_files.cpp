// The files each window holds while it is open.
#include "services/window_files.h"

#include "dictionary/file_numbers.h"

namespace qv {

std::vector<int> threadTreeFiles() { return {FileMsgNmbr, FilePerson, FileThreads}; }

}  // namespace qv
