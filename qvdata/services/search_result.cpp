// The search result's size, read under a file scope.
#include "services/search_result.h"

#include "dictionary/dictionary.h"
#include "dictionary/file_numbers.h"
#include "services/file_scope.h"

namespace qv {

int64_t searchResultCount() {
  FileScope files{FileSearch};
  return Search.records();
}

}  // namespace qv
