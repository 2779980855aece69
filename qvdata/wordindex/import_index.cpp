// The word index kept by an import in the same pass (wordindex/import_index.h):
// an indexing run fed the messages as they are posted instead of walking
// the texts.
#include "wordindex/import_index.h"

#include "dictionary/dictionary.h"
#include "dictionary/file_numbers.h"
#include "services/file_scope.h"
#include "services/messages.h"
#include "storage/buffer_guard.h"
#include "wordindex/index_run_impl.h"

namespace qv {

using namespace indexing;

bool indexUpToDate(const IndexState& state) {
  FileScope scope({FileMsgText, FilePurgeList});
  if (PurgeList.hasRecords()) return false;
  MsgText.setFileOrder();
  if (!MsgText.previous()) return true;  // no texts
  return state.lastMsgId != 0 && MsgText.position() == int64_t(state.lastMsgId);
}

ImportIndex::ImportIndex(std::unique_ptr<IndexRun::Impl> impl) : impl_(std::move(impl)) {}

ImportIndex::~ImportIndex() {
  if (impl_ && !impl_->closed) impl_->close(2);
}

std::unique_ptr<ImportIndex> ImportIndex::start(uint32_t database) {
  IndexState state;
  {
    FileScope scope({FileForums});
    BufferGuard keep({&Forums});
    FOR = ForumsRec();
    FOR.ID = database;
    if (!Forums.get(FOR_ForumKey)) return nullptr;
    state = IndexState{FOR.LASTMSGID, FOR.RECSLASTTIME, FOR.WORDLISTINDEXNEEDSUPDATE};
  }
  if (!indexUpToDate(state)) return nullptr;
  {
    // A database without texts starts its index from nothing.
    FileScope scope({FileMsgText});
    if (!MsgText.hasRecords()) state.lastMsgId = state.recsLastTime = 0;
  }
  auto impl = std::make_unique<IndexRun::Impl>(2, 4, database, state);
  if (!impl->startFed()) return nullptr;
  return std::unique_ptr<ImportIndex>(new ImportIndex(std::move(impl)));
}

bool IndexRun::Impl::startFed() {
  fed = true;
  quiet = true;
  if (!readSettings()) return false;
  // Shared, not exclusive as an indexing run holds them: a search in another
  // process goes on during a long import, and an indexing run, which wants
  // them alone, cannot start beside it.
  if (!holdFiles(indexFiles(), OpShared)) {
    close(2);
    return false;
  }
  prepareWords();
  checkExisting = MasIdx.hasRecords();
  bulk = false;
  state.wordListNeedsUpdate = 1;
  if (!storeIndexState(database, state)) {
    close(2);
    return false;
  }
  stage = Stage::Index;
  return true;
}

void ImportIndex::add(uint32_t msg, int64_t textPosition) {
  IndexRun::Impl& r = *impl_;
  if (r.stage != Stage::Index || textPosition <= r.lastTextPos) return;  // no text, or one updated in place
  r.currentMsg = msg;
  if (!(r.checkExisting && r.hasOccurrences(msg))) {
    // The header and text posting wrote are still in their buffers; should
    // they have moved on, they are read as an indexing run reads them.
    bool inBuffers = TXT.MSGNUMBER == msg && (r.kind == KindMailDb ? MAI.MAILID : MSG.MSGNUMBER) == msg;
    bool found = inBuffers || readMessage(r.kind, msg);
    if (found && !inBuffers) {
      TXT = MsgTextRec();
      TXT.MSGNUMBER = msg;
      found = MsgText.get(TXT_IdKey);
    }
    if (found) {
      r.cutMessage(msg, r.bufferedSubject(), TXT.MsgText);
    }
  }
  ++r.passed;
  r.lastTextPos = textPosition;
}

bool ImportIndex::commit() { return flush(false); }

bool ImportIndex::flush(bool all) {
  IndexRun::Impl& r = *impl_;
  if (r.stage != Stage::Index) return false;
  if (r.passed == committedPassed_) return true;
  // The words wait for as many occurrence records as a flush of an indexing
  // run writes: a flush rewrites the lists of most words, and a commit of the
  // posting every few thousand messages would rewrite them all again and
  // again. What waits is cut from committed messages only; should the run
  // end without its flush, the indexing run at the database's end (of this
  // run or the next) reads those texts back.
  if (!all && r.pairs.size() < indexTuning().flushPairs) return true;
  r.beginFlush(false);
  for (;;) {
    switch (r.stage) {
      case Stage::FlushPairs: r.flushPairs(SIZE_MAX); continue;
      case Stage::FlushWords: r.flushWords(SIZE_MAX); continue;
      case Stage::FlushRemove: r.flushRemove(SIZE_MAX); continue;
      case Stage::FlushCommit: r.commitFlush(); continue;
      default: break;
    }
    break;
  }
  if (r.stage != Stage::Index) return false;
  committedPassed_ = r.passed;
  return true;
}

bool ImportIndex::finish() {
  if (!flush(true)) return false;
  impl_->finish();
  return impl_->result == 1;
}

int64_t ImportIndex::indexed() const { return impl_->passed; }
bool ImportIndex::ended() const { return impl_->closed; }

}  // namespace qv
