#include "browse/browse_title.h"

#include "dictionary/dictionary.h"
#include "dictionary/file_numbers.h"
#include "services/db_kind.h"
#include "services/file_scope.h"
#include "services/file_service.h"
#include "services/globals.h"
#include "storage/buffer_guard.h"

namespace qv {

uint32_t messageCount(int kind) {
  uint32_t count = 0;
  bool counted = false;
  {
    FileScope use({FileForums});
    BufferGuard keep({&Forums});
    FOR = ForumsRec();
    FOR.ID = Mem.ForumNumber;
    if (Forums.get(FOR_ForumKey) && FOR.COUNTFLAG == 0 && FOR.MSGCOUNT > 0) {
      count = FOR.MSGCOUNT;
      counted = true;
    }
  }
  if (counted) return count;
  int file = kind == KindMailDb ? FileMail : FileMsgNmbr;
  FileScope use({file});
  return uint32_t(declaredFile(file).records());
}

std::string browseTitle(int kind, const std::string& description, uint32_t count) {
  std::string n = std::to_string(count);
  if (kind == KindMailDb) return " Mail database: " + description + " [" + n + "]";
  const char* label = kind == KindNewsDb ? " Newsgroup database: " : " Forum database: ";
  return label + description + " Messages [" + n + "]";
}

}  // namespace qv
