// Every file the system declares, and the mapping from file numbers to them.
#pragma once

#include <vector>

#include "dictionary/config_files.h"
#include "dictionary/database_files.h"
#include "dictionary/external_files.h"
#include "dictionary/file_numbers.h"
#include "dictionary/temp_files.h"
#include "dictionary/wordindex_files.h"

namespace qv {

// The file of a file number (kFirstFileNumber..kLastFileNumber); nullptr for
// a number no file has (15, 16, 36, 37, 38 and anything outside the range).
File* fileByNumber(int n);

// All declared files, the numbered ones in number order, then the two line
// files and the stop-list moves (which have no number).
const std::vector<File*>& allDeclaredFiles();

}  // namespace qv
