// The duplicate elimination part of bench_maintenance: a generated database
// of a kind with one person to every ten messages, a tenth of the persons
// duplicates of another (forum: the CompuServe number written with a dot;
// mail: the address in other case), run to its end.
#pragma once

#include <cstdint>

namespace qvbench {

struct DedupResult {
  double generate = 0;
  double seconds = 0;
  int64_t persons = 0;
  int64_t merged = 0;
};

// False (reported on standard error) when generating or the run failed, or
// the run did not merge every duplicate.
bool benchDedup(int kind, uint32_t messages, DedupResult& result);

}  // namespace qvbench
