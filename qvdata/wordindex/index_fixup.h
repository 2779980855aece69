// WSIndexFixup: the recount that recommends a full or partial indexing run
// from the resume point, the number of texts and the index files.
#pragma once

#include <cstdint>

namespace qv {

enum IndexAdvice : int { AdviseFull = 1, AdvisePartial = 2, AdviseNothing = 99 };

// Works on the current database; opens and releases the files it reads.
// `lastMsgId` and `recsLastTime` are the Forums fields, corrected in place.
int WSIndexFixup(uint32_t& lastMsgId, uint32_t& recsLastTime);

}  // namespace qv
