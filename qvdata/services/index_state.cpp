// The word index's and the search result's state, each read under a file scope.
#include "services/index_state.h"

#include "dictionary/dictionary.h"
#include "dictionary/file_numbers.h"
#include "services/file_scope.h"

namespace qv {

bool isIndexed() {
  FileScope files{FileMasIdx};
  return MasIdx.hasRecords();
}

int64_t searchResultCount() {
  FileScope files{FileSearch};
  return Search.records();
}

}  // namespace qv
