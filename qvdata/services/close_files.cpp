// Closing every declared file at once (see close_files.h).
#include "services/close_files.h"

#include "dictionary/file_numbers.h"
#include "services/file_service.h"

namespace qv {

void closeAllFiles() {
  for (int n = kFirstFileNumber; n <= kLastFileNumber; ++n)
    if (useCount(n) > 0) OP_CLOSE(OpForceClose, {n});
}

}  // namespace qv
