#include "browse/browse_title.h"

#include "browse/browse_files.h"
#include "dictionary/dictionary.h"
#include "services/file_service.h"
#include "services/globals.h"

namespace qv {

uint32_t messageCount(int kind) {
  uint32_t count = 0;
  bool counted = false;
  {
    auto use = useFiles({2});
    RecordImage saved = saveRecord(Forums.decl());
    FOR = ForumsRec();
    FOR.ID = Mem.ForumNumber;
    if (Forums.get(FOR_ForumKey) && FOR.COUNTFLAG == 0 && FOR.MSGCOUNT > 0) {
      count = FOR.MSGCOUNT;
      counted = true;
    }
    restoreRecord(Forums.decl(), saved);
  }
  if (counted) return count;
  int file = kind == 2 ? 13 : 3;
  auto use = useFiles({file});
  return uint32_t(declaredFile(file).records());
}

std::string browseTitle(int kind, const std::string& description, uint32_t count) {
  std::string n = std::to_string(count);
  if (kind == 2) return " Mail database: " + description + " [" + n + "]";
  return std::string(kind == 3 ? " Newsgroup database: " : " Forum database: ") + description + " Messages [" + n + "]";
}

}  // namespace qv
