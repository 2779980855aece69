#include "maintenance/merge_run.h"

#include <algorithm>
#include <filesystem>

#include "dictionary/dictionary.h"
#include "dictionary/file_numbers.h"
#include "maintenance/rebuild_dirs.h"
#include "services/databases.h"
#include "services/db_kind.h"
#include "services/file_service.h"
#include "services/globals.h"
#include "services/prompt.h"
#include "services/record_helpers.h"
#include "storage/buffer_guard.h"

namespace qv {

namespace {

const char* kConverting = "Pre-merge message conversion";
const char* kMerging = "Merging messages";
const char* kComplete = "Merge complete";
const char* kFinished = "The merging process has finished!";
const char* kNothing = "No messages to merge!";
const char* kInterrupted = "The merge was interrupted: the messages merged so far are kept.";
const char* kFailed = "The merge was stopped by an error: the messages of the last commit are kept.";
const char* kLowSpace = "The merge was stopped: too little free disk space!";

struct Entry {
  bool found = false;
  std::string name;
  uint32_t dir = 0;
  int kind = 0;
  bool importAllowed = true;
};

Entry entryOf(uint32_t id) {
  Entry e;
  BufferGuard keep({&Forums});
  OP_CLOSE(OpShared, {FileForums});
  FOR = ForumsRec();
  FOR.ID = id;
  if (id != 0 && Forums.get(FOR_ForumKey)) {
    e.found = true;
    e.name = FOR.DESCRIPTION.str();
    e.dir = FOR.DIRNUMBER;
    e.kind = FOR.TYPE;
    e.importAllowed = FOR.NOIMPORT == 0;
  }
  OP_CLOSE(OpRelease, {FileForums});
  return e;
}

// Runs `fn` with F<dir> as the current database directory and `file` open
// when it is there; false when it is not.
template <typename Fn>
bool withFileIn(uint32_t dir, int file, Fn fn) {
  std::string saved = Mem.Dirnamn;
  Mem.Dirnamn = "F" + std::to_string(dir);
  std::error_code ec;
  bool there = std::filesystem::is_regular_file(filePath(file), ec);
  if (there) {
    if (useCount(file) > 0 && declaredFile(file).name() != filePath(file)) OP_CLOSE(OpForceClose, {file});
    OP_CLOSE(OpShared, {file});
    fn();
    OP_CLOSE(OpRelease, {file});
  }
  Mem.Dirnamn = saved;
  return there;
}

}  // namespace

MergeSelection checkMergeSelection(uint32_t source, uint32_t target) {
  Entry s = entryOf(source);
  if (!s.found) return MergeSelection::NoSource;
  Entry t = entryOf(target);
  if (!t.found) return MergeSelection::NoTarget;
  if (source == target) return MergeSelection::SameDatabase;
  if (s.kind != t.kind) return MergeSelection::KindsDiffer;
  return MergeSelection::Fine;
}

std::string mergeRefusalText(MergeSelection s) {
  switch (s) {
    case MergeSelection::NoSource: return "The source database is not in the database list.";
    case MergeSelection::NoTarget: return "The target database is not in the database list.";
    case MergeSelection::KindsDiffer:
      return "You cannot merge different kinds of databases - they both will have to be either Mail, Forum or "
             "Newsgroup!";
    case MergeSelection::SameDatabase: return "A database cannot be merged into itself - choose another target.";
    case MergeSelection::Fine: break;
  }
  return {};
}

std::string mergeRefusalCaption(MergeSelection) { return "Illegal selection!"; }

MergeRun::MergeRun(uint32_t source, uint32_t target) : source_(source), target_(target) {}

MergeRun::~MergeRun() {
  if (run_ && !ended_) stop();
}

bool MergeRun::start() {
  MergeSelection sel = checkMergeSelection(source_, target_);
  if (sel != MergeSelection::Fine) {
    failure_ = mergeRefusalText(sel);
    Message(failure_, mergeRefusalCaption(sel), Icon::Exclamation);
    return false;
  }
  Entry s = entryOf(source_);
  Entry t = entryOf(target_);
  kind_ = s.kind;
  view_.sourceName = s.name;
  view_.targetName = t.name;
  if (!t.importAllowed) {
    failure_ = "The database " + t.name + " does not take imports (\"Disallow import\" is set).";
    Message(failure_, "Warning!", Icon::Exclamation);
    return false;
  }
  std::error_code ec;
  if (!std::filesystem::is_directory(databaseDirectory(s.dir), ec) ||
      !std::filesystem::is_directory(databaseDirectory(t.dir), ec)) {
    failure_ = "The directory of a database is missing: run the Rebuild Utility.";
    Message(failure_, "Warning!", Icon::Exclamation);
    return false;
  }
  // The number of the source's records.
  withFileIn(s.dir, kind_ == KindMailDb ? FileMail : FileMsgNmbr,
             [&] { view_.sourceRecords = (kind_ == KindMailDb ? Mail : MsgNmbr).records(); });
  view_.status = kConverting;
  if (view_.sourceRecords == 0) {
    view_.status = kNothing;
    result_ = 1;
    ended_ = true;
    return true;
  }

  ImportSettings settings;
  settings.path = databaseDirectory(s.dir);
  settings.importForum = kind_ == KindForumDb;
  settings.importMail = kind_ == KindMailDb;
  settings.importNews = kind_ == KindNewsDb;
  if (kind_ == KindMailDb) settings.mailbox = target_;
  settings.commitMessages = commitEvery_;
  ends_.sourceDir = s.dir;
  ends_.kind = kind_;
  ends_.target = target_;
  ends_.targetName = t.name;
  run_ = std::make_unique<ImportRun>(settings, makeMergeReader(ends_, reading_));
  return true;
}

bool MergeRun::step() {
  if (ended_) return false;
  bool more = false;
  try {
    more = run_->step();
  } catch (const ProgramHalt& halt) {
    // The import run rolled its open transaction back; the merge ends here
    // and writes nothing more while the halt goes on to the program.
    ended_ = true;
    result_ = 2;
    failure_ = halt.text;
    throw;
  }
  refresh();
  if (!more || run_->closed()) end();
  return !ended_;
}

void MergeRun::refresh() {
  const ImportView& v = run_->view();
  switch (run_->stage()) {
    case ImportStage::Start:
    case ImportStage::NextDirectory:
    case ImportStage::NextFile:
    case ImportStage::ConvertFile:
      view_.status = kConverting;
      view_.progress = reading_.total > 0 ? std::min<int64_t>(100, reading_.read * 100 / reading_.total) : 0;
      break;
    case ImportStage::NextDatabase:
    case ImportStage::PostMessages:
      view_.status = kMerging;
      view_.progress = v.progress;
      break;
    default:
      view_.status = kComplete;
      view_.progress = 100;
      break;
  }
  if (v.status == "Building Temporary File Index!") view_.status = v.status;
  view_.converted = reading_.read;
  if (reading_.total > 0) view_.sourceRecords = reading_.total;
  view_.merged = v.imported;
  view_.updated = v.updated;
  view_.skipped = v.skipped;
  view_.inTarget = v.inDatabase;
}

void MergeRun::stop() {
  if (ended_ || !run_) return;
  stopped_ = true;
  run_->stop();
  refresh();
  end();
}

void MergeRun::end() {
  if (ended_) return;
  run_->close();
  ended_ = true;
  result_ = run_->result();
  // What was posted stays, also when the merge was stopped.
  if (view_.merged > 0) afterPosting();
  if (stopped_ && result_ != 1) {
    view_.status = kInterrupted;
  } else if (result_ != 1) {
    view_.status = run_->stopReason().find("disk space") != std::string::npos ? kLowSpace : kFailed;
  } else {
    view_.status = view_.merged > 0 ? kFinished : kNothing;
  }
}

// The target's topics are searched again from the start, and its word
// index learns of texts that were written again.
void MergeRun::afterPosting() {
  Entry t = entryOf(target_);
  if (!t.found) return;
  withFileIn(t.dir, FileCodes, [] {
    Codes.setFileOrder();
    while (Codes.next()) {
      if (COD.DATE == 0 && COD.TIME == 0) continue;
      COD.DATE = 0;
      COD.TIME = 0;
      UppDat(Codes, OpChange, ReportShow);
    }
  });
  if (view_.updated == 0) return;
  // A message written again keeps its place in the text file, where a
  // partial indexing run does not look: the next run must be a full one.
  bool indexed = false;
  std::string saved = Mem.Dirnamn;
  Mem.Dirnamn = "F" + std::to_string(t.dir);
  std::error_code ec;
  indexed = std::filesystem::is_regular_file(filePath(FileMasIdx), ec);
  Mem.Dirnamn = saved;
  if (!indexed) return;
  OP_CLOSE(OpShared, {FileForums});
  FOR = ForumsRec();
  FOR.ID = target_;
  if (HoldRec(Forums, &FOR_ForumKey, true)) {
    if (FOR.RECSLASTTIME != 0) {
      FOR.RECSLASTTIME = 0;
      UppDat(Forums, OpChange, ReportShow);
    }
    Forums.release();
  }
  OP_CLOSE(OpRelease, {FileForums});
}

int runToEnd(MergeRun& run) {
  while (run.step()) {
  }
  return run.result();
}

}  // namespace qv
