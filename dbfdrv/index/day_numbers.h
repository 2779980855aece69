// Which day numbers the date keys of a tree hold: the Julian day numbers of
// the other writers and of this driver's new indexes, or the formula's
// numbers of indexes this driver wrote before.
#pragma once

#include "index/index_rebuild.h"

namespace dbf {

// Looks at the entries of the earliest and latest dates, the only ones where
// the two kinds differ, and compares each with the key its record gives. A
// tree whose dates all lie where both agree (or that tells nothing) answers
// Julian. Moves the tree's cursor; answers 0 or the status of a failed read.
int findDayNumbers(IndexTree& tree, const KeyDefinition& def, RecordSource& records, DayNumbers& out);

}  // namespace dbf
