// The status marks the look-up lists set on a thread or a section chosen by
// its ID: normal (0), keep (1) or delete (2). The purge acts on them.
#pragma once

#include <cstdint>

namespace qv {

// The status menus of the look-up lists name their entries by code:
// 7 normal, 8 keep, 9 delete. The status byte of a code; -1 for any other.
int statusOfCode(int code);

// Sets THR.DUMMY of thread `threadNumber` / SEC.DUMMY of section
// `sectionId` of the current database (the caller has the file open). The
// record is read with a hold of at most 5 seconds and written back with
// only the status changed; the record buffer is left as it was. False when
// the record or the hold could not be had, the status is not 0, 1 or 2, or
// the write failed: the record is then as it was.
bool setThreadStatus(uint32_t threadNumber, int status);
bool setSectionStatus(uint32_t sectionId, int status);

}  // namespace qv
