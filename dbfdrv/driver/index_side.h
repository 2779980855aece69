// The index side of the operation layer: the declared keys of a table in
// their compound tags and single index files.
#pragma once

#include <memory>

#include "driver/file_block.h"

namespace dbf {

std::unique_ptr<IndexSide> makeFileIndexSide();

}  // namespace dbf
