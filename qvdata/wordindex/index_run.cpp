#include "wordindex/index_run.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "dictionary/dictionary.h"
#include "services/file_service.h"
#include "services/globals.h"
#include "services/prompt.h"
#include "services/record_helpers.h"
#include "services/settings.h"
#include "wordindex/index_text.h"
#include "wordindex/stop_list.h"
#include "wordindex/word_cut.h"
#include "services/messages.h"

namespace fs = std::filesystem;

namespace qv {

namespace {

// The word-index messages write "|" for a line break.
std::string lines(const std::string& text) {
  std::string s;
  for (char c : text) {
    if (c == '|')
      s += "\r\n";
    else
      s += c;
  }
  return s;
}

void tell(const std::string& text, const std::string& caption, Icon icon = Icon::Exclamation) {
  if (!unattended()) Message(lines(text), caption, icon);
}

// A moved word's share of the occurrence records from which its records
// are removed by copying the file rather than one by one.
constexpr double kCopyShare = 50.7;
// Seconds a flush waits for its files.
constexpr int kFlushWait = 5;

enum class Stage {
  Start,
  MovePending,   // words marked for removal go to the stop list
  RemoveByKey,   // their occurrence records are deleted one by one
  DeleteWords,   // and the words leave the word list
  Prepare,
  Index,
  FlushPairs,    // a flush: the occurrence records,
  FlushWords,    // the word counts,
  FlushRemove,   // the occurrence records of words moved to the stop list,
  FlushCommit,   // the moved words and the commit, then the resume point
  Finish,
  Done,
};

void observe(IndexPoint point) {
  if (indexTuning().probe) indexTuning().probe(point);
}

struct WordEntry {
  int32_t id = 0;
  int32_t count = 0;
  int32_t stored = 0;     // the count as last written to WordList
  int64_t pos = 0;        // stored position in WordList; 0 while not written
  uint32_t lastMsg = 0;   // the message that counted it last (a run-local number)
  bool dirty = false;
};

}  // namespace

struct IndexRun::Impl {
  int mode;
  int batch;
  uint32_t database;
  IndexState state;
  IndexView view;
  Stage stage = Stage::Start;
  int result = 2;
  bool cancelled = false;
  bool closed = false;

  int kind = 0;
  std::vector<int> files;
  bool indexNumbers = true, indexFooters = false, moveFrequent = true;

  StopWords stop;
  std::unordered_map<std::string, WordEntry> words;
  bool wordListComplete = false;  // every stored word is in `words` (the list was empty)
  int32_t nextWordId = 1;
  std::vector<std::pair<uint32_t, uint32_t>> pairs;  // (message ID, word ID) since the last flush
  uint32_t msgStamp = 0;
  std::unordered_map<uint32_t, std::string> headings;  // thread subjects

  // Progress through MsgText.
  int64_t savedCount = 0;  // texts indexed before this run
  int64_t passed = 0;      // texts passed in this run
  int64_t lastTextPos = 0; // position of the last text passed
  int64_t skipPos = 0;     // the resume point, passed over once
  uint32_t currentMsg = 0;
  bool textsEnded = false;
  bool checkExisting = true;  // messages may already have occurrence records
  bool bulk = false;          // MasIdx is appended without key maintenance

  // Words leaving the index: moved to the stop list now or marked before.
  std::unordered_set<uint32_t> removeIds;
  std::vector<int64_t> removeWordPositions;  // their WordList records
  int32_t lastRemovedCount = 0;
  std::vector<uint32_t> removeQueue;  // word IDs whose occurrences are still to be deleted
  std::vector<std::string> movedWords;  // moved to the stop list since the last flush

  // The flush under way (its transaction is open from beginFlush to commitFlush).
  size_t flushAt = 0;
  std::vector<std::pair<const std::string, WordEntry>*> dirtyWords;
  bool flushOpen = false;
  bool finishing = false;       // flush everything, then finish

  Impl(int m, int b, uint32_t db, const IndexState& s) : mode(m), batch(b), database(db), state(s) {
    if (batch < 1 || batch > 7) batch = 4;
  }

  bool full() const { return mode == 1; }

  // ---- stages ----

  void start();
  void movePending();
  void removeByKey();
  void deleteWords();
  void prepare();
  void indexBatch();
  void indexMessage();
  void addWord(const CutWord& w, uint32_t msg);
  void beginFlush(bool finish);
  void flushPairs(size_t limit);
  void flushWords(size_t limit);
  void flushRemove(size_t limit);
  void commitFlush();
  void beginRemoval();
  bool removeSome(size_t limit);
  void finish();
  void close(int res);

  bool removeByCopy();
  void appendFailed();
  void wordWriteFailed();
  std::string headingOf(uint32_t thread);
  bool textHeader(uint32_t id, std::string& subject);
  bool hasOccurrences(uint32_t id);
  void updateView();
};

// ---------------------------------------------------------------------------

void IndexRun::Impl::start() {
  IndexingInProgress = 1;
  kind = Mem.ForumType;
  view.caption = std::string(unattended() ? " Scheduled indexing [" : " Indexing [") + Mem.Description + "]";
  view.status = "Starting";
  if (!WSVars(KLoad)) {
    tell("Unable to read configuration file.|Indexing Skipped", "Index Problem");
    close(2);
    return;
  }
  indexNumbers = WSVarsGet(49) != 0;
  indexFooters = kind == KindForumDb ? WSVarsGet(51) != 0 : kind == KindNewsDb ? WSVarsGet(52) != 0 : false;
  moveFrequent = WSVarsGet(kind == KindForumDb ? 53 : kind == KindMailDb ? 54 : 55) != 0;
  StartWordHash['^'] = 1;

  files = {4, 29, 33, 30, 28};
  if (kind == KindMailDb)
    files.push_back(13);
  else
    files.insert(files.end(), {3, 7});
  if (!openStopMoves()) {
    tell("Unable to read configuration file.|Indexing Skipped", "Index Problem");
    close(2);
    return;
  }

  if (full() && !unattended() && (state.lastMsgId != 0 || state.recsLastTime != 0)) {
    OP_CLOSE(OpShared, {28, 29});
    bool holds = WordList.hasRecords() || MasIdx.hasRecords();
    OP_CLOSE(OpRelease, {28, 29});
    if (holds &&
        Message(lines("This will DELETE the current Wordlist & Master Index.|All messages in the file will be "
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
  OP_CLOSE(OpShared, {33});
  bool pending = PurgeList.hasRecords();
  OP_CLOSE(OpRelease, {33});
  if (!pending && full()) OP_CLOSE(OpDelete, {28, 29, 33});
  OP_CLOSE(OpExclusive, files);
  stage = pending ? Stage::MovePending : Stage::Prepare;
}

// Words marked in the word list: to the stop list, then out of the index.
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
  OP_CLOSE(OpDelete, {33});
  OP_CLOSE(OpExclusive, {33});
  if (full()) {
    // Everything is indexed again from nothing: the marked words are on the stop list now.
    OP_CLOSE(OpDelete, {28, 29});
    OP_CLOSE(OpExclusive, {28, 29});
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
  std::string path = filePath(29);
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
  OP_CLOSE(OpForceClose, {29});
  fs::rename(temp, path, ec);
  OP_CLOSE(OpExclusive, {29});
  bulk = false;
  return !ec;
}

void IndexRun::Impl::deleteWords() {
  view.status = "Deleting index words";
  if (!removeWordPositions.empty()) WordList.stream();
  for (int64_t pos : removeWordPositions)
    if (WordList.getPosition(pos)) WordList.remove();
  WordList.flush();
  removeWordPositions.clear();
  removeIds.clear();
  stage = Stage::Prepare;
}

void IndexRun::Impl::prepare() {
  view.status = "Preparing";
  loadStopList(stop);
  int64_t texts = MsgText.records();
  // Long sequential reads and bulk writes: larger page caches.
  MsgText.sendOption("QUICKSCAN=ON");
  MasIdx.sendOption("QUICKSCAN=ON");
  WordList.sendOption("QUICKSCAN=ON");
  if (full()) {
    state.lastMsgId = 0;
    state.recsLastTime = 0;
  }
  savedCount = state.recsLastTime;
  if (state.lastMsgId != 0) {
    MsgText.setFileOrder(int64_t(state.lastMsgId));
    lastTextPos = skipPos = int64_t(state.lastMsgId);
  } else {
    savedCount = 0;
    MsgText.setFileOrder();
  }
  view.pending = std::max<int64_t>(0, texts - savedCount);
  view.progressMax = std::max<int64_t>(1, view.pending);

  // The next new word number.
  WordList.set(WOR_by_WordId);
  nextWordId = WordList.previous() ? WOR.WORDID + 1 : 1;
  wordListComplete = !WordList.hasRecords();
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
  THR = ThreadsRec();
  THR.THREADNUMBER = thread;
  std::string h;
  if (Threads.get(THR_ThreadKey)) h = threadHeading();
  if (headings.size() > 200000) headings.clear();
  return headings[thread] = h;
}

// The subject of a text's message; false when its header record is missing.
bool IndexRun::Impl::textHeader(uint32_t id, std::string& subject) {
  if (kind == KindMailDb) {
    MAI = MailRec();
    MAI.MAILID = id;
    if (!Mail.get(MAI_IdKey)) return false;
    subject = mailSubject();
    return true;
  }
  MSG = MsgNmbrRec();
  MSG.MSGNUMBER = id;
  if (!MsgNmbr.get(MSG_IdKey)) return false;
  subject = headingOf(MSG.THREADNUMBER);
  return true;
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
  ++msgStamp;
  CutWord w;
  WordCutter s(subject);
  while (s.next(w))
    if (acceptWord(w, indexNumbers)) addWord(w, id);
  forEachIndexedPart(TXT.MsgText, kind, indexFooters, [&](std::string_view piece) {
    WordCutter c(piece);
    while (c.next(w))
      if (acceptWord(w, indexNumbers)) addWord(w, id);
  });
}

void IndexRun::Impl::addWord(const CutWord& w, uint32_t msg) {
  if (stage == Stage::Done) return;
  auto it = words.find(w.word);
  if (it == words.end()) {
    if (stop.count(w.word)) return;
    WordEntry e;
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
        return;
      }
    }
    if (!stored) {
      e.id = nextWordId++;
      e.count = 0;
    }
    it = words.emplace(w.word, e).first;
  }
  WordEntry& e = it->second;
  if (e.lastMsg == msgStamp) return;  // counted for this message already
  int64_t indexed = savedCount + passed;
  if (moveFrequent && indexed > indexTuning().frequentAfter && indexed / 4 < e.count) {
    // Too common to be worth indexing: to the stop list and out of the index,
    // both with the next flush.
    stop.insert(w.word);
    movedWords.push_back(w.word);
    removeIds.insert(uint32_t(e.id));
    if (e.pos) removeWordPositions.push_back(e.pos);
    words.erase(it);
    return;
  }
  e.lastMsg = msgStamp;
  ++e.count;
  e.dirty = true;
  pairs.emplace_back(msg, uint32_t(e.id));
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
  for (auto& entry : words)
    if (entry.second.dirty) dirtyWords.push_back(&entry);
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
    flushAt = 0;
    stage = Stage::FlushWords;
  }
  observe(IndexPoint::FlushSlice);
}

void IndexRun::Impl::flushWords(size_t limit) {
  size_t end = std::min(dirtyWords.size(), flushAt + limit);
  for (; flushAt < end; ++flushAt) {
    WordEntry& e = dirtyWords[flushAt]->second;
    bool ok;
    if (e.pos == 0) {
      WOR.WORDID = e.id;
      WOR.THEWORD = dirtyWords[flushAt]->first;
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
  for (int64_t pos : removeWordPositions)
    if (ok && WordList.getPosition(pos)) ok = WordList.remove();
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
  for (auto* entry : dirtyWords) {
    entry->second.stored = entry->second.count;
    entry->second.dirty = false;
  }
  view.pairs += int64_t(pairs.size());
  pairs.clear();
  dirtyWords.clear();
  removeIds.clear();
  removeWordPositions.clear();
  movedWords.clear();
  view.words = int64_t(words.size());
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
  if (!cancelled) tell("Indexing finished!", "Indexing", Icon::Information);
  close(cancelled ? 2 : 1);
}

void IndexRun::Impl::close(int res) {
  if (closed) return;
  closed = true;
  result = res;
  if (flushOpen) rollbackTransaction();
  flushOpen = false;
  if (!files.empty()) OP_CLOSE(OpRelease, files);
  files.clear();
  words.clear();
  pairs.clear();
  IndexingInProgress = 0;
  stage = Stage::Done;
}

void IndexRun::Impl::updateView() {
  view.indexed = passed;
  view.progress = std::min(passed, view.progressMax);
  view.words = int64_t(words.size());
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

bool IndexRun::step() {
  Impl& r = *impl_;
  if (r.stage != Stage::Done) observe(IndexPoint::Step);
  size_t writes = size_t(r.batch) * 1000;
  switch (r.stage) {
    case Stage::Start: r.start(); break;
    case Stage::MovePending: r.movePending(); break;
    case Stage::RemoveByKey: r.removeByKey(); break;
    case Stage::DeleteWords: r.deleteWords(); break;
    case Stage::Prepare:
      if (r.cancelled) {
        r.close(2);
        break;
      }
      r.prepare();
      break;
    case Stage::Index:
      if (r.cancelled) {
        r.stage = Stage::Finish;
        break;
      }
      r.indexBatch();
      break;
    case Stage::FlushPairs: r.flushPairs(r.finishing || r.cancelled ? SIZE_MAX : writes); break;
    case Stage::FlushWords: r.flushWords(r.finishing || r.cancelled ? SIZE_MAX : size_t(r.batch) * 250); break;
    case Stage::FlushRemove: r.flushRemove(r.finishing || r.cancelled ? SIZE_MAX : writes); break;
    case Stage::FlushCommit: r.commitFlush(); break;
    case Stage::Finish: r.finish(); break;
    case Stage::Done: return false;
  }
  return r.stage != Stage::Done;
}

bool IndexRun::finished() const { return impl_->stage == Stage::Done; }
void IndexRun::cancel() { impl_->cancelled = true; }
int IndexRun::result() const { return impl_->result; }
const IndexState& IndexRun::state() const { return impl_->state; }
const IndexView& IndexRun::view() const { return impl_->view; }

// ---------------------------------------------------------------------------

IndexTuning& indexTuning() {
  static IndexTuning tuning;
  return tuning;
}

bool storeIndexState(uint32_t database, const IndexState& state) {
  OP_CLOSE(OpShared, {2});
  RecordImage saved = saveRecord(Forums.decl());
  FOR = ForumsRec();
  FOR.ID = database;
  bool ok = HoldRec(Forums, &FOR_ForumKey, true);
  if (ok) {
    FOR.LASTMSGID = state.lastMsgId;
    FOR.RECSLASTTIME = state.recsLastTime;
    FOR.WORDLISTINDEXNEEDSUPDATE = state.wordListNeedsUpdate;
    ok = UppDat(Forums, OpChange, ReportShow);
    Forums.release();
  }
  restoreRecord(Forums.decl(), saved);
  OP_CLOSE(OpRelease, {2});
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
