// Writing the word index: a flush commits the occurrence records collected
// since the last one, the word counts, the removal of words moved to the
// stop list and the moved words themselves in one transaction, then the
// resume point; words marked for removal before the run leave the index
// here too, their occurrence records deleted one by one or, when they are
// many, by copying the occurrence file without them.
#include <algorithm>
#include <filesystem>

#include "dictionary/dictionary.h"
#include "dictionary/file_numbers.h"
#include "services/file_service.h"
#include "storage/posting_driver.h"
#include "wordindex/index_text.h"
#include "wordindex/index_run_impl.h"

namespace fs = std::filesystem;

namespace qv {

using namespace indexing;

void IndexRun::Impl::movePending() {
  view.status = "Moving marked words to the stop list";
  int64_t total = 0;
  std::vector<uint32_t> ids;
  PurgeList.setFileOrder();
  std::vector<int32_t> marked;
  while (PurgeList.next()) marked.push_back(PUR.WORDID);
  for (int32_t id : marked) {
    WOR = WordListRec();
    WOR.WORDID = id;
    if (!WordList.get(WOR_by_WordId)) continue;
    total += WOR.WORDCOUNT;
    ids.push_back(uint32_t(id));
    removeWordPositions.push_back(WordList.position());
    lastRemovedCount = WOR.WORDCOUNT;
    addStopWord(WOR.THEWORD.view());
  }
  OP_CLOSE(OpDelete, {FilePurgeList});
  OP_CLOSE(OpExclusive, {FilePurgeList});
  if (full()) {
    // Everything is indexed again from nothing: the marked words are on the stop list now.
    OP_CLOSE(OpDelete, {FileWordList, FileMasIdx});
    OP_CLOSE(OpExclusive, {FileWordList, FileMasIdx});
    removeWordPositions.clear();
    stage = Stage::Prepare;
    return;
  }
  for (uint32_t id : ids) removeIds.insert(id);
  if (total == 0 || !MasIdx.hasRecords()) {
    stage = removeWordPositions.empty() ? Stage::Prepare : Stage::DeleteWords;
    return;
  }
  lastRemovedCount = int32_t(std::min<int64_t>(total, INT32_MAX));
  beginRemoval();
}

// Chooses how the occurrence records of the words marked by the user go: one
// by one through MAS:by_WordId when they are few, else by copying the file
// without them.
void IndexRun::Impl::beginRemoval() {
  int64_t records = MasIdx.records();
  if (records == 0 || removeIds.empty()) {
    stage = Stage::DeleteWords;
    return;
  }
  double share = double(lastRemovedCount) / double(records) * 100.0;
  if (share < kCopyShare) {
    view.status = "Deleting orphaned word indexes";
    removeQueue.assign(removeIds.begin(), removeIds.end());
    MasIdx.stream();
    stage = Stage::RemoveByKey;
    return;
  }
  view.status = "Purging orphaned word indexes";
  if (!removeByCopy()) {
    tell("Unexpected file error:MASIDX||on Message#" + std::to_string(currentMsg), "Unexpected Error");
    close(2);
    return;
  }
  stage = Stage::DeleteWords;
}

// Deletes at most `limit` occurrence records of the words in removeQueue;
// true when none is left. A failure has been told and has ended the run.
bool IndexRun::Impl::removeSome(size_t limit) {
  size_t done = 0;
  while (!removeQueue.empty() && done < limit) {
    uint32_t id = removeQueue.back();
    MAS = MasIdxRec();
    MAS.WORDID = id;
    MasIdx.setPrefix(MAS_by_WordId, 1);
    if (!MasIdx.next() || MAS.WORDID != id) {
      removeQueue.pop_back();
      continue;
    }
    if (!MasIdx.remove()) {
      tell("Unexpected file error:MASIDX||on Message#" + std::to_string(currentMsg), "Unexpected Error");
      close(2);
      return false;
    }
    ++done;
  }
  return removeQueue.empty();
}

void IndexRun::Impl::removeByKey() {
  if (!removeSome(size_t(batch) * 1000)) return;
  MasIdx.flush();
  stage = Stage::DeleteWords;
}

bool IndexRun::Impl::removeByCopy() {
  std::string path = filePath(FileMasIdx);
  std::string temp = path + ".NEW";
  File copy(MasIdx.decl());
  copy.setName(temp);
  if (!copy.create() || !copy.open(Share::Exclusive)) return false;
  bool ok = copy.stream();
  MasIdx.setFileOrder();
  while (ok && MasIdx.next())
    if (!removeIds.count(MAS.WORDID)) ok = copy.append();
  ok = ok && (ErrorCode() == ErrNone || ErrorCode() == ErrNotAvailable);
  ok = ok && copy.flush() && copy.buildKeys();
  copy.close();
  std::error_code ec;
  if (!ok) {
    fs::remove(temp, ec);
    return false;
  }
  OP_CLOSE(OpForceClose, {FileMasIdx});
  fs::rename(temp, path, ec);
  OP_CLOSE(OpExclusive, {FileMasIdx});
  bulk = false;
  return !ec;
}

void IndexRun::Impl::deleteWords() {
  view.status = "Deleting index words";
  if (!removeWordPositions.empty()) WordList.stream();
  for (int64_t wordPos : removeWordPositions)
    if (WordList.getPosition(wordPos)) WordList.remove();
  WordList.flush();
  removeWordPositions.clear();
  removeIds.clear();
  stage = Stage::Prepare;
}

// ---- flushing ----

void IndexRun::Impl::beginFlush(bool finish) {
  finishing = finish;
  view.status = "Flushing Buffers/Building Indexes";
  // Pairs of words that left the index in this batch are not written.
  if (!removeIds.empty())
    pairs.erase(std::remove_if(pairs.begin(), pairs.end(), [&](const auto& p) { return removeIds.count(p.second) > 0; }),
                pairs.end());
  std::sort(pairs.begin(), pairs.end());
  dirtyWords.clear();
  for (uint32_t n = 0; n < words.size(); ++n)
    if (words.entry(n).dirty) dirtyWords.push_back(n);
  flushAt = 0;
  // Everything of the flush commits at once or not at all, so that the
  // counts always count exactly the occurrence records kept. (The resume
  // point is written after the commit: should that write be lost, the next
  // run passes over the texts that have their records already.)
  if (!beginTransaction({&MasIdx, &WordList, &StopList, &StopMoves}, kFlushWait)) {
    tell("Unexpected file error:MASIDX||on Message#" + std::to_string(currentMsg), "Unexpected Error");
    close(2);
    return;
  }
  flushOpen = true;
  stage = Stage::FlushPairs;
}

void IndexRun::Impl::flushPairs(size_t limit) {
  size_t end = std::min(pairs.size(), flushAt + limit);
  for (; flushAt < end; ++flushAt) {
    MAS.SYSID = pairs[flushAt].first;
    MAS.WORDID = pairs[flushAt].second;
    if (!(bulk ? MasIdx.append() : MasIdx.add())) {
      currentMsg = MAS.SYSID;
      appendFailed();
      return;
    }
  }
  if (flushAt >= pairs.size()) {
    // The texts' words, for the phrase check, in the same transaction.
    for (indexing::TextWords& t : texts)
      if (!setMessageSequence(MasIdx, t.msg, textCut(indexNumbers, indexFooters), t.subjectWords, std::move(t.words))) {
        currentMsg = t.msg;
        appendFailed();
        return;
      }
    texts.clear();
    flushAt = 0;
    stage = Stage::FlushWords;
  }
  observe(IndexPoint::FlushSlice);
}

void IndexRun::Impl::flushWords(size_t limit) {
  size_t end = std::min(dirtyWords.size(), flushAt + limit);
  for (; flushAt < end; ++flushAt) {
    WordEntry& e = words.entry(dirtyWords[flushAt]);
    bool ok;
    if (e.pos == 0) {
      WOR.WORDID = e.id;
      WOR.THEWORD = words.word(dirtyWords[flushAt]);
      WOR.WORDCOUNT = e.count;
      ok = WordList.add();
      if (ok) e.pos = WordList.position();
    } else {
      ok = WordList.getPosition(e.pos);
      if (ok) {
        WOR.WORDCOUNT = e.count;
        ok = WordList.put();
      }
    }
    if (!ok) {
      wordWriteFailed();
      return;
    }
  }
  if (flushAt >= dirtyWords.size()) {
    stage = Stage::FlushCommit;
    if (!removeWordPositions.empty()) {
      // Words moved to the stop list that the files hold already: their
      // records go in the same transaction.
      view.status = "Word delete cleanup process";
      // The removal needs MAS:by_WordId; later appends drop it again, and the
      // run's end builds the keys once more.
      if (bulk && !MasIdx.buildKeys()) {
        tell("Unexpected file error:MASIDX(Build)||on Message#" + std::to_string(currentMsg), "Unexpected Error");
        close(2);
        return;
      }
      removeQueue.assign(removeIds.begin(), removeIds.end());
      stage = Stage::FlushRemove;
    }
  }
  observe(IndexPoint::FlushSlice);
}

void IndexRun::Impl::flushRemove(size_t limit) {
  if (!removeSome(limit)) return;
  stage = Stage::FlushCommit;
  observe(IndexPoint::FlushSlice);
}

void IndexRun::Impl::commitFlush() {
  bool ok = true;
  for (int64_t wordPos : removeWordPositions)
    if (ok && WordList.getPosition(wordPos)) ok = WordList.remove();
  for (size_t i = 0; ok && i < movedWords.size(); ++i) ok = moveToStopList(movedWords[i], database);
  if (!ok) {
    wordWriteFailed();
    return;
  }
  observe(IndexPoint::BeforeCommit);
  if (!commitTransaction()) {
    wordWriteFailed();
    return;
  }
  flushOpen = false;
  observe(IndexPoint::AfterCommit);
  state.lastMsgId = uint32_t(lastTextPos);
  state.recsLastTime = uint32_t(savedCount + passed);
  storeIndexState(database, state);
  for (uint32_t n : dirtyWords) {
    WordEntry& e = words.entry(n);
    e.stored = e.count;
    e.dirty = false;
  }
  view.pairs += int64_t(pairs.size());
  pairs.clear();
  texts.clear();
  dirtyWords.clear();
  removeIds.clear();
  removeWordPositions.clear();
  movedWords.clear();
  view.words = int64_t(indexWords);
  stage = finishing || cancelled ? Stage::Finish : Stage::Index;
  if (stage == Stage::Index) view.status = "Indexing";
}

// A write of the flush failed: everything it wrote is rolled back with its
// transaction, and the files stay as the last complete flush left them.
void IndexRun::Impl::appendFailed() {
  tell("Unexpected file error:MASIDX||on Message#" + std::to_string(currentMsg), "Unexpected Error");
  close(2);
}

void IndexRun::Impl::wordWriteFailed() {
  tell("Unexpected file error:Wordlist||on Message#" + std::to_string(currentMsg), "Unexpected Error");
  tell("Will try to rollback changes.", "Rollback", Icon::Information);
  rollbackTransaction();
  flushOpen = false;
  tell("Rollback was sucessfull.", "Rollback Complete", Icon::Information);
  close(2);
}

}  // namespace qv
