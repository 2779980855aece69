#include "wordindex/word_marks.h"

#include "dictionary/dictionary.h"
#include "dictionary/file_numbers.h"
#include "services/databases.h"
#include "services/file_scope.h"
#include "services/file_service.h"
#include "storage/errors.h"
#include "services/globals.h"
#include "storage/buffer_guard.h"
#include "wordindex/index_run.h"
#include "wordindex/word_cut.h"

namespace qv {

WordMarks loadWordMarks() {
  WordMarks marks;
  FileScope scope({FilePurgeList});
  PurgeList.setFileOrder();
  while (PurgeList.next()) marks.insert(PUR.WORDID);
  return marks;
}

bool saveWordMarks(const WordMarks& marks) {
  // The run owns PurgeList while it lasts (it deletes the file when it has
  // taken the marks).
  if (IndexingInProgress != 0) return false;
  if (marks.empty()) {
    OP_CLOSE(OpDelete, {FilePurgeList});
    return true;
  }
  FileScope scope({FilePurgeList}, OpExclusive);
  bool ok = beginTransaction({&PurgeList}, 5);
  PurgeList.setFileOrder();
  while (ok && PurgeList.next()) ok = PurgeList.remove();
  for (auto it = marks.begin(); ok && it != marks.end(); ++it) {
    PUR = PurgeListRec();
    PUR.WORDID = *it;
    PUR.SYSID = 0;
    ok = PurgeList.add();
  }
  if (ok) ok = commitTransaction();
  if (!ok && transactionActive()) rollbackTransaction();
  return ok;
}

int32_t wordIdOf(const std::string& word) {
  std::string w = wordUpper(word);
  if (w.empty()) return 0;
  FileScope scope({FileWordList});
  WOR = WordListRec();
  WOR.THEWORD = w;
  int32_t id = WordList.get(WOR_by_theWord) ? WOR.WORDID : 0;
  return id;
}

bool refreshWordCountOrder() {
  if (Mem.WordListIndexNeedsUpdate != 1) return true;
  if (IndexingInProgress != 0) return false;
  FileScope scope({FileWordList}, OpExclusive);
  bool built = WordList.buildKey(WOR_by_WordCount) || ErrorCode() == ErrKeyBuilt;
  scope.release();
  if (!built) return false;
  BufferGuard keep({&Forums});
  if (!findDatabase(Mem.ForumNumber)) return false;
  IndexState state{FOR.LASTMSGID, FOR.RECSLASTTIME, 0};
  return storeIndexState(Mem.ForumNumber, state);
}

}  // namespace qv
