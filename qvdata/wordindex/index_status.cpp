// The word-index status as values (see index_status.h).
#include "wordindex/index_status.h"

#include <filesystem>

#include "dictionary/dictionary.h"
#include "services/databases.h"
#include "services/file_scope.h"
#include "services/globals.h"

namespace qv {

bool isWordIndexed() {
  std::error_code ec;
  if (Mem.ForumNumber == 0 || !std::filesystem::exists(filePath(FileMasIdx), ec)) return false;
  FileScope files({FileMasIdx});
  return MasIdx.hasRecords();
}

std::optional<IndexState> readIndexState(uint32_t database) {
  if (!findDatabase(database)) return std::nullopt;
  return IndexState{FOR.LASTMSGID, FOR.RECSLASTTIME, FOR.WORDLISTINDEXNEEDSUPDATE};
}

}  // namespace qv
