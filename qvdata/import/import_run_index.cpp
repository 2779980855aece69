// The word index of the databases an import posts into, kept in the same
// pass (wordindex/import_index.h) when the database indexes automatically
// or the run was asked to: the words of every posted message are committed
// right after the posting's commit, and at the end of the database an
// indexing run brings in what the pass could not (texts an interrupted run
// left behind, words marked for removal).
#include "dictionary/dictionary.h"
#include "dictionary/file_numbers.h"
#include "import/import_run.h"
#include "services/settings.h"
#include "services/settings_items.h"
#include "storage/buffer_guard.h"
#include "wordindex/import_index.h"
#include "wordindex/index_fixup.h"

namespace qv {

void ImportRun::startIndexing() {
  index_.reset();
  if (indexWords_) index_ = ImportIndex::start(current_.id);
}

void ImportRun::commitIndex() {
  if (!index_) return;
  bool ok = index_->commit();
  view_.indexed = indexedBefore_ + index_->indexed();
  // A failure was told; the messages stay posted and their words are left
  // to the indexing run at the end of the database.
  if (!ok) {
    indexedBefore_ += index_->indexed();
    index_.reset();
  }
}

void ImportRun::stageIndexDatabase() {
  if (!indexRun_) {
    if (inTransaction_ && !commitPosting()) {
      abortRun("");
      return;
    }
    if (index_) {
      index_->finish();
      indexedBefore_ += index_->indexed();
      view_.indexed = indexedBefore_;
      index_.reset();
    }
    IndexState state;
    {
      BufferGuard keep({&Forums});
      FOR = ForumsRec();
      FOR.ID = current_.id;
      if (!Forums.get(FOR_ForumKey)) {
        stage_ = ImportStage::NextDatabase;
        return;
      }
      state = IndexState{FOR.LASTMSGID, FOR.RECSLASTTIME, FOR.WORDLISTINDEXNEEDSUPDATE};
    }
    releaseDatabaseFiles();  // the indexing run holds the texts alone
    int advice = WSIndexFixup(state.lastMsgId, state.recsLastTime);
    if (advice == AdviseNothing) {
      storeIndexState(current_.id, state);
      stage_ = ImportStage::NextDatabase;
      return;
    }
    view_.status = "Indexing words";
    indexRun_ = std::make_unique<IndexRun>(advice == AdviseFull ? 1 : 2, int(KonfigGet(ItemSpeedIndex)), current_.id,
                                           state);
    indexRun_->quietFinish();
    return;
  }
  if (indexRun_->step()) {
    view_.indexed = indexedBefore_ + indexRun_->view().indexed;
    return;
  }
  indexedBefore_ += indexRun_->view().indexed;
  view_.indexed = indexedBefore_;
  indexRun_.reset();
  view_.status = "Importing messages";
  stage_ = ImportStage::NextDatabase;
}

}  // namespace qv
