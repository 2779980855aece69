// The sizes that the declarations of the files holding originals (the
// database's Originals file and the import's ImpOriginal) are made with.
#pragma once

#include <cstdint>

namespace qv {

// The largest original kept, packed or not (a longer one is not kept).
inline constexpr uint32_t kOriginalMaxBytes = 512u * 1024 * 1024;

// The page size of a new Originals file: rows of one packed message each
// fill large pages with less room left over than SQLite's 4 KiB ones.
// 32 KiB pages leave less still, but an empty file then takes 192 KiB,
// which every small newsgroup would pay.
inline constexpr uint32_t kOriginalsPageSize = 16384;

}  // namespace qv
