#include "wordindex/index_run.h"

#include <algorithm>

#include "dictionary/dictionary.h"
#include "dictionary/file_numbers.h"
#include "services/file_scope.h"
#include "services/file_service.h"
#include "services/globals.h"
#include "services/messages.h"
#include "services/prompt.h"
#include "services/record_helpers.h"
#include "services/settings.h"
#include "services/settings_items.h"
#include "storage/buffer_guard.h"
#include "storage/posting_driver.h"
#include "wordindex/bar_lines.h"
#include "wordindex/index_run_impl.h"
#include "wordindex/index_text.h"

namespace qv {

using namespace indexing;

namespace indexing {

void tell(const std::string& text, const std::string& caption, Icon icon) {
  if (!unattended()) Message(barLines(text), caption, icon);
}

void observe(IndexPoint point) {
  if (indexTuning().probe) indexTuning().probe(point);
}

}  // namespace indexing

// ---------------------------------------------------------------------------

bool IndexRun::Impl::readSettings() {
  IndexingInProgress = 1;
  kind = Mem.ForumType;
  if (!WSVars(KLoad) || !openStopMoves()) {
    tell("Unable to read configuration file.|Indexing Skipped", "Index Problem");
    close(2);
    return false;
  }
  indexNumbers = WSVarsGet(ItemIndexNumbers) != 0;
  indexFooters = footersIndexed(kind);
  moveFrequent = WSVarsGet(kind == KindForumDb ? ItemFrequentForum
                           : kind == KindMailDb ? ItemFrequentMail
                                                : ItemFrequentNews) != 0;
  StartWordHash['^'] = 1;
  return true;
}

void IndexRun::Impl::start() {
  view.caption = std::string(unattended() ? " Scheduled indexing [" : " Indexing [") + Mem.Description + "]";
  view.status = "Starting";
  if (!readSettings()) return;

  std::vector<int> files = indexFiles();
  files.push_back(FileMsgText);
  if (kind == KindMailDb)
    files.push_back(FileMail);
  else
    files.insert(files.end(), {FileMsgNmbr, FileThreads});

  if (full() && !unattended() && (state.lastMsgId != 0 || state.recsLastTime != 0)) {
    bool holds;
    {
      FileScope scope({FileWordList, FileMasIdx});
      holds = WordList.hasRecords() || MasIdx.hasRecords();
    }
    if (holds &&
        Message(barLines("This will DELETE the current Wordlist & Master Index.|All messages in the file will be "
                      "indexed.|Are you SURE you want to continue?"),
                "Warning", Icon::Question, BtnYes | BtnNo, BtnNo) != BtnYes) {
      close(2);
      return;
    }
  }
  if (full()) {
    // The index is thrown away: a run cut short from here on leaves no
    // resume point into it, and the words an earlier run moved to the stop
    // list are indexed again (and moved again when they are still frequent).
    state.lastMsgId = 0;
    state.recsLastTime = 0;
    storeIndexState(database, state);
    giveBackMovedWords(database);
  }
  bool pending;
  {
    FileScope scope({FilePurgeList});
    pending = PurgeList.hasRecords();
  }
  if (!pending && full()) OP_CLOSE(OpDelete, {FileWordList, FileMasIdx, FilePurgeList});
  holdFiles(files, OpExclusive);
  stage = pending ? Stage::MovePending : Stage::Prepare;
}

std::vector<int> IndexRun::Impl::indexFiles() { return {FileMasIdx, FilePurgeList, FileStopList, FileWordList}; }

void IndexRun::Impl::prepareWords() {
  loadStopList(stop);
  if (full()) {
    state.lastMsgId = 0;
    state.recsLastTime = 0;
  }
  savedCount = state.recsLastTime;
  lastTextPos = int64_t(state.lastMsgId);
  // The next new word number.
  WordList.set(WOR_by_WordId);
  nextWordId = WordList.previous() ? WOR.WORDID + 1 : 1;
  wordListComplete = !WordList.hasRecords();
}

// Words marked in the word list: to the stop list, then out of the index.
void IndexRun::Impl::prepare() {
  view.status = "Preparing";
  int64_t textCount = MsgText.records();
  // Long sequential reads and bulk writes: larger page caches.
  MsgText.sendOption("QUICKSCAN=ON");
  MasIdx.sendOption("QUICKSCAN=ON");
  WordList.sendOption("QUICKSCAN=ON");
  prepareWords();
  if (state.lastMsgId != 0) {
    MsgText.setFileOrder(int64_t(state.lastMsgId));
    lastTextPos = skipPos = int64_t(state.lastMsgId);
  } else {
    savedCount = 0;
    MsgText.setFileOrder();
  }
  view.pending = std::max<int64_t>(0, textCount - savedCount);
  view.progressMax = std::max<int64_t>(1, view.pending);
  int64_t occurrences = MasIdx.records();
  checkExisting = occurrences > 0;
  // Large additions are appended without key maintenance and the keys built
  // once at the end; a few texts on top of a large index are added with it.
  bulk = occurrences == 0 || view.pending * 30 > occurrences;
  state.wordListNeedsUpdate = 1;
  storeIndexState(database, state);
  view.status = "Indexing";
  stage = Stage::Index;
}

bool IndexRun::Impl::hasOccurrences(uint32_t id) {
  MAS = MasIdxRec();
  MAS.SYSID = id;
  MasIdx.setPrefix(MAS_by_SysID, 1);
  return MasIdx.next() && MAS.SYSID == id;
}

std::string IndexRun::Impl::headingOf(uint32_t thread) {
  auto it = headings.find(thread);
  if (it != headings.end()) return it->second;
  if (headings.size() > 200000) headings.clear();
  return headings[thread] = headingOfThread(thread);
}

// The subject of a text's message; false when its header record is missing.
// Thread headings are read once per run.
bool IndexRun::Impl::textHeader(uint32_t id, std::string& subject) {
  if (!readMessage(kind, id)) return false;
  subject = bufferedSubject();
  return true;
}

std::string IndexRun::Impl::bufferedSubject() {
  return kind == KindMailDb ? mailSubject() : headingOf(MSG.THREADNUMBER);
}

void IndexRun::Impl::indexBatch() {
  bool moved = false;
  for (int i = 0; i < batch; ++i) {
    if (!MsgText.next()) {
      textsEnded = true;
      break;
    }
    if (skipPos != 0) {
      // The walk starts at the last text the previous run indexed, when it is still there.
      bool same = MsgText.position() == skipPos;
      skipPos = 0;
      if (same) continue;
    }
    size_t movedBefore = movedWords.size();
    indexMessage();
    if (stage == Stage::Done) return;
    if (movedWords.size() != movedBefore) moved = true;
    ++passed;
    lastTextPos = MsgText.position();
    if (passed % 50 == 0) updateView();
  }
  updateView();
  int64_t remaining = view.pending - passed;
  if (textsEnded) {
    beginFlush(true);
  } else if (moved || (pairs.size() >= indexTuning().flushPairs && remaining > 50)) {
    beginFlush(false);
  }
}

void IndexRun::Impl::indexMessage() {
  uint32_t id = TXT.MSGNUMBER;
  currentMsg = id;
  if (checkExisting && hasOccurrences(id)) return;
  std::string subject;
  if (!textHeader(id, subject)) return;
  cutMessage(id, subject, TXT.MsgText);
}

void IndexRun::Impl::cutMessage(uint32_t id, const std::string& subject, std::string_view text) {
  ++msgStamp;
  // The subject's and the text's words in order go with the occurrences,
  // for the phrase check; not for a message with '^', which this run cuts
  // as a word start and a search may not.
  indexing::TextWords order;
  order.msg = id;
  bool caret = subject.find('^') != std::string::npos;
  CutWord w;
  WordCutter s(subject);
  while (s.next(w))
    if (acceptWord(w, indexNumbers)) order.words.push_back(addWord(w, id));
  order.subjectWords = uint32_t(order.words.size());
  forEachIndexedPart(text, kind, indexFooters, [&](std::string_view piece) {
    if (piece.find('^') != std::string_view::npos) caret = true;
    WordCutter c(piece);
    while (c.next(w))
      if (acceptWord(w, indexNumbers)) order.words.push_back(addWord(w, id));
  });
  // A word without a number (a failed read) leaves the message to be read.
  bool numbered = std::find(order.words.begin(), order.words.end(), 0u) == order.words.end();
  if (!caret && numbered && stage != Stage::Done) texts.push_back(std::move(order));
}

// A word met for the first time in this run: a stop word, else the word as
// the word list holds it, else a new word with the next number.
uint32_t IndexRun::Impl::newWord(const CutWord& w, WordTable::Hash h, uint32_t msg) {
  WordEntry e;
  if (stop.count(w.word)) {
    e.stop = true;
    return words.add(w.word, h, e);
  }
  bool stored = false;
  if (!wordListComplete) {
    WOR = WordListRec();
    WOR.THEWORD = w.word;
    if (WordList.get(WOR_by_theWord)) {
      stored = true;
      e.id = WOR.WORDID;
      e.count = e.stored = WOR.WORDCOUNT;
      e.pos = WordList.position();
    } else if (ErrorCode() != ErrNotFound) {
      tell("Unexpected file error:Wordlist(Get)||on Message#" + std::to_string(msg) + "|Word=" + w.word,
           "Unexpected Error");
      tell("There is unwritten data in memory.|The data set is corrupt.|Please restore from a backup.",
           "Corrupt Data");
      close(2);
      return WordTable::kNone;
    }
  }
  if (!stored) e.id = nextWordId++;
  ++indexWords;
  return words.add(w.word, h, e);
}

uint32_t IndexRun::Impl::addWord(const CutWord& w, uint32_t msg) {
  if (stage == Stage::Done) return 0;
  const WordTable::Hash h = WordTable::hashOf(w.word);
  uint32_t n = words.find(w.word, h);
  if (n == WordTable::kNone) {
    n = newWord(w, h, msg);
    if (n == WordTable::kNone) return 0;
  }
  WordEntry& e = words.entry(n);
  if (e.textId == 0) e.textId = textWordNumber(MasIdx, w.word);
  const uint32_t textId = e.textId;
  if (e.stop || e.lastMsg == msgStamp) return textId;  // not indexed, or counted for this message already
  int64_t indexed = savedCount + passed;
  if (moveFrequent && indexed > indexTuning().frequentAfter && indexed / 4 < e.count) {
    // Too common to be worth indexing: to the stop list and out of the index,
    // both with the next flush.
    stop.insert(w.word);
    movedWords.push_back(w.word);
    removeIds.insert(uint32_t(e.id));
    if (e.pos) removeWordPositions.push_back(e.pos);
    e = WordEntry();
    e.stop = true;
    e.textId = textId;
    --indexWords;
    return textId;
  }
  e.lastMsg = msgStamp;
  ++e.count;
  e.dirty = true;
  pairs.emplace_back(msg, uint32_t(e.id));
  return textId;
}

// ---- the end ----

void IndexRun::Impl::finish() {
  if (bulk && !MasIdx.buildKeys()) {
    tell("Unexpected file error:MASIDX(Build)||on Message#" + std::to_string(currentMsg), "Unexpected Error");
    close(2);
    return;
  }
  bulk = false;
  if (WordList.buildKey(WOR_by_WordCount) || ErrorCode() == ErrKeyBuilt) state.wordListNeedsUpdate = 0;
  storeIndexState(database, state);
  view.status = cancelled ? "Indexing cancelled" : "Indexing finished!";
  updateView();
  if (!cancelled && !quiet) tell("Indexing finished!", "Indexing", Icon::Information);
  close(cancelled ? 2 : 1);
}

void IndexRun::Impl::close(int res) {
  if (closed) return;
  closed = true;
  result = res;
  if (flushOpen) rollbackTransaction();
  flushOpen = false;
  words.clear();
  indexWords = 0;
  pairs.clear();
  IndexingInProgress = 0;
  stage = Stage::Done;
  end(res == 1 ? EngineState::Finished : EngineState::Stopped);
  EngineRun::close();  // lets go of the files the run held
}

void IndexRun::Impl::updateView() {
  view.indexed = passed;
  view.progress = std::min(passed, view.progressMax);
  view.words = int64_t(indexWords);
}

// ---------------------------------------------------------------------------

IndexRun::IndexRun(int mode, int batch, uint32_t database, const IndexState& state)
    : impl_(std::make_unique<Impl>(mode, batch, database, state)) {}

IndexRun::~IndexRun() {
  if (!impl_ || impl_->closed) return;
  if (impl_->stage == Stage::Start) return;  // never started: nothing to close
  impl_->cancelled = true;
  while (step()) {
  }
}

// A halt in the slice goes on to the program after the base has ended the
// run: the open flush is rolled back, the index stays as its last complete
// flush left it.
bool IndexRun::step() { return impl_->tick(kEngineLoopSlice); }

bool IndexRun::Impl::runSlice(std::chrono::milliseconds) {
  if (stage != Stage::Done) observe(IndexPoint::Step);
  size_t writes = size_t(batch) * 1000;
  switch (stage) {
    case Stage::Start: start(); break;
    case Stage::MovePending: movePending(); break;
    case Stage::RemoveByKey: removeByKey(); break;
    case Stage::DeleteWords: deleteWords(); break;
    case Stage::Prepare:
      if (cancelled) {
        close(2);
        break;
      }
      prepare();
      break;
    case Stage::Index:
      if (cancelled) {
        stage = Stage::Finish;
        break;
      }
      indexBatch();
      break;
    case Stage::FlushPairs: flushPairs(finishing || cancelled ? SIZE_MAX : writes); break;
    case Stage::FlushWords: flushWords(finishing || cancelled ? SIZE_MAX : size_t(batch) * 250); break;
    case Stage::FlushRemove: flushRemove(finishing || cancelled ? SIZE_MAX : writes); break;
    case Stage::FlushCommit: commitFlush(); break;
    case Stage::Finish: finish(); break;
    case Stage::Done: return false;
  }
  return stage != Stage::Done;
}

bool IndexRun::finished() const { return impl_->stage == Stage::Done; }
void IndexRun::cancel() { impl_->cancelled = true; }
void IndexRun::quietFinish() { impl_->quiet = true; }
int IndexRun::result() const { return impl_->result; }
const IndexState& IndexRun::state() const { return impl_->state; }
const IndexView& IndexRun::view() const { return impl_->view; }

// ---------------------------------------------------------------------------

IndexTuning& indexTuning() {
  static IndexTuning tuning;
  return tuning;
}

bool storeIndexState(uint32_t database, const IndexState& state) {
  bool ok;
  {
    FileScope scope({FileForums});
    BufferGuard keep({&Forums});
    FOR = ForumsRec();
    FOR.ID = database;
    ok = HoldRec(Forums, &FOR_ForumKey, true);
    if (ok) {
      FOR.LASTMSGID = state.lastMsgId;
      FOR.RECSLASTTIME = state.recsLastTime;
      FOR.WORDLISTINDEXNEEDSUPDATE = state.wordListNeedsUpdate;
      ok = UppDat(Forums, OpChange, ReportShow);
      Forums.release();
    }
  }
  if (ok) Mem.WordListIndexNeedsUpdate = state.wordListNeedsUpdate;
  return ok;
}

int INDEXFILE1(int mode, int batch, uint32_t database, IndexState& state, void (*onStep)(const IndexView&, void*),
               void* data) {
  IndexRun run(mode, batch, database, state);
  while (run.step())
    if (onStep) onStep(run.view(), data);
  state = run.state();
  return run.result();
}

}  // namespace qv
