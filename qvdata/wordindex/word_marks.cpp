#include "wordindex/word_marks.h"

#include "dictionary/dictionary.h"
#include "dictionary/file_numbers.h"
#include "services/databases.h"
#include "services/file_service.h"
#include "storage/errors.h"
#include "services/globals.h"
#include "storage/buffer_guard.h"
#include "wordindex/index_run.h"
#include "wordindex/word_cut.h"

namespace qv {

WordMarks loadWordMarks() {
  WordMarks marks;
  OP_CLOSE(OpShared, {FilePurgeList});
  PurgeList.setFileOrder();
  while (PurgeList.next()) marks.insert(PUR.WORDID);
  OP_CLOSE(OpRelease, {FilePurgeList});
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
  OP_CLOSE(OpExclusive, {FilePurgeList});
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
  OP_CLOSE(OpRelease, {FilePurgeList});
  return ok;
}

int32_t wordIdOf(const std::string& word) {
  std::string w = wordUpper(word);
  if (w.empty()) return 0;
  OP_CLOSE(OpShared, {FileWordList});
  WOR = WordListRec();
  WOR.THEWORD = w;
  int32_t id = WordList.get(WOR_by_theWord) ? WOR.WORDID : 0;
  OP_CLOSE(OpRelease, {FileWordList});
  return id;
}

bool refreshWordCountOrder() {
  if (Mem.WordListIndexNeedsUpdate != 1) return true;
  if (IndexingInProgress != 0) return false;
  OP_CLOSE(OpExclusive, {FileWordList});
  bool built = WordList.buildKey(WOR_by_WordCount) || ErrorCode() == ErrKeyBuilt;
  OP_CLOSE(OpRelease, {FileWordList});
  if (!built) return false;
  BufferGuard keep({&Forums});
  if (!findDatabase(Mem.ForumNumber)) return false;
  IndexState state{FOR.LASTMSGID, FOR.RECSLASTTIME, 0};
  return storeIndexState(Mem.ForumNumber, state);
}

}  // namespace qv
