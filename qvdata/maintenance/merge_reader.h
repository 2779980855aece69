// The reader of a database being merged into another: it turns the source
// database's messages or mail, in file order, into temporary import records
// for the target, as a format's parser turns a file's messages, so that the
// import run posts them with the import's own rules.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "import/parser.h"

namespace qv {

struct MergeEnds {
  uint32_t sourceDir = 0;  // FOR.DIRNUMBER of the source
  int kind = 0;            // the DbKind of both databases
  uint32_t target = 0;     // FOR.ID of the target
  std::string targetName;  // its FOR.DESCRIPTION
};

// Records of the source read so far and in all, for the merge's window.
struct MergeReading {
  int64_t read = 0;
  int64_t total = 0;
};

std::unique_ptr<Parser> makeMergeReader(const MergeEnds& ends, MergeReading& reading);

}  // namespace qv
