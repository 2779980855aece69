// The merge of one database into another as an engine on the one engine
// base, and the checks of a selection of source and target.
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
#include "services/engine_run.h"
#include "services/file_scope.h"
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
  FileScope scope({FileForums});
  FOR = ForumsRec();
  FOR.ID = id;
  if (id != 0 && Forums.get(FOR_ForumKey)) {
    e.found = true;
    e.name = FOR.DESCRIPTION.str();
    e.dir = FOR.DIRNUMBER;
    e.kind = FOR.TYPE;
    e.importAllowed = FOR.NOIMPORT == 0;
  }
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
    FileScope scope({file});
    fn();
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

// The merge as an engine: each slice is one step of the import run, which
// keeps the batches itself (the base keeps none). The run ends Finished when
// the merge completed, Stopped when it was stopped, Failed otherwise; a halt
// or a working queue that could not grow ends it where it stands, with
// nothing more written.
struct MergeRun::Impl : EngineRun {
  Impl(uint32_t s, uint32_t t) : EngineRun(engine, kNoBatchRules), source(s), target(t) {}
  ~Impl() override { stop(); }

  bool start();
  void stop();
  void refresh();
  // Lets go of the import run and tells how the merge went, once.
  void wrapUp();
  void afterPosting();

  bool runSlice(std::chrono::milliseconds slice) override;
  void ended() override;

  uint32_t source;
  uint32_t target;
  int kind = 0;
  MergeEnds ends;
  MergeReading reading;
  std::unique_ptr<ImportRun> run;
  EngineView engine;
  MergeView view;
  std::string failure;
  int result = 2;
  int commitEvery = 0;
  bool over = false;     // the merge has ended (also one with nothing to merge)
  bool wrapped = false;  // wrapUp() was done
  bool stopping = false; // stop() ended it
};

MergeRun::MergeRun(uint32_t source, uint32_t target) : d_(std::make_unique<Impl>(source, target)) {}

MergeRun::~MergeRun() = default;

void MergeRun::setCommitEvery(int messages) { d_->commitEvery = messages; }
bool MergeRun::start() { return d_->start(); }
void MergeRun::stop() { d_->stop(); }
bool MergeRun::finished() const { return d_->over; }
int MergeRun::result() const { return d_->result; }
const MergeView& MergeRun::view() const { return d_->view; }
const std::string& MergeRun::failure() const { return d_->failure; }

// One step of the import run; false once the merge has ended (or was never
// started). A halt goes on from here after the base ended the merge.
bool MergeRun::step() { return d_->tick(kEngineLoopSlice); }

bool MergeRun::Impl::start() {
  MergeSelection sel = checkMergeSelection(source, target);
  if (sel != MergeSelection::Fine) {
    failure = mergeRefusalText(sel);
    Message(failure, mergeRefusalCaption(sel), Icon::Exclamation);
    return false;
  }
  Entry s = entryOf(source);
  Entry t = entryOf(target);
  kind = s.kind;
  view.sourceName = s.name;
  view.targetName = t.name;
  if (!t.importAllowed) {
    failure = "The database " + t.name + " does not take imports (\"Disallow import\" is set).";
    Message(failure, "Warning!", Icon::Exclamation);
    return false;
  }
  std::error_code ec;
  if (!std::filesystem::is_directory(databaseDirectory(s.dir), ec) ||
      !std::filesystem::is_directory(databaseDirectory(t.dir), ec)) {
    failure = "The directory of a database is missing: run the Rebuild Utility.";
    Message(failure, "Warning!", Icon::Exclamation);
    return false;
  }
  // The number of the source's records.
  withFileIn(s.dir, kind == KindMailDb ? FileMail : FileMsgNmbr,
             [&] { view.sourceRecords = (kind == KindMailDb ? Mail : MsgNmbr).records(); });
  view.status = kConverting;
  if (view.sourceRecords == 0) {
    view.status = kNothing;
    result = 1;
    over = true;
    return true;
  }

  ImportSettings settings;
  settings.path = databaseDirectory(s.dir);
  settings.importForum = kind == KindForumDb;
  settings.importMail = kind == KindMailDb;
  settings.importNews = kind == KindNewsDb;
  if (kind == KindMailDb) settings.mailbox = target;
  settings.commitMessages = commitEvery;
  ends.sourceDir = s.dir;
  ends.kind = kind;
  ends.target = target;
  ends.targetName = t.name;
  run = std::make_unique<ImportRun>(settings, makeMergeReader(ends, reading));
  begin(0);
  return true;
}

bool MergeRun::Impl::runSlice(std::chrono::milliseconds) {
  bool more = run->step();
  refresh();
  if (more && !run->closed()) return true;
  wrapUp();
  if (result == 1) {
    end(EngineState::Finished);
    return false;
  }
  return fail(view.status);
}

void MergeRun::Impl::refresh() {
  const ImportView& v = run->view();
  switch (run->stage()) {
    case ImportStage::Start:
    case ImportStage::NextDirectory:
    case ImportStage::NextFile:
    case ImportStage::ConvertFile:
      view.status = kConverting;
      view.progress = reading.total > 0 ? std::min<int64_t>(100, reading.read * 100 / reading.total) : 0;
      break;
    case ImportStage::NextDatabase:
    case ImportStage::PostMessages:
      view.status = kMerging;
      view.progress = v.progress;
      break;
    default:
      view.status = kComplete;
      view.progress = 100;
      break;
  }
  if (v.status == "Building Temporary File Index!") view.status = v.status;
  view.converted = reading.read;
  if (reading.total > 0) view.sourceRecords = reading.total;
  view.merged = v.imported;
  view.updated = v.updated;
  view.skipped = v.skipped;
  view.inTarget = v.inDatabase;
}

void MergeRun::Impl::stop() {
  if (!running()) return;
  stopping = true;
  run->stop();
  refresh();
  cancel();
}

void MergeRun::Impl::ended() {
  over = true;
  if (state() == EngineState::Failed && !wrapped) {
    // A halt or no memory in the middle of a step: the import run rolled its
    // open transaction back, and the merge writes nothing more.
    result = 2;
    failure = engine.failure;
    return;
  }
  wrapUp();
}

void MergeRun::Impl::wrapUp() {
  if (wrapped) return;
  wrapped = true;
  run->close();
  result = run->result();
  // What was posted stays, also when the merge was stopped.
  if (view.merged > 0) afterPosting();
  if (stopping && result != 1) {
    view.status = kInterrupted;
  } else if (result != 1) {
    view.status = run->stopReason().find("disk space") != std::string::npos ? kLowSpace : kFailed;
  } else {
    view.status = view.merged > 0 ? kFinished : kNothing;
  }
}

// The target's topics are searched again from the start, and its word
// index learns of texts that were written again.
void MergeRun::Impl::afterPosting() {
  Entry t = entryOf(target);
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
  if (view.updated == 0) return;
  // A message written again keeps its place in the text file, where a
  // partial indexing run does not look: the next run must be a full one.
  std::string saved = Mem.Dirnamn;
  Mem.Dirnamn = "F" + std::to_string(t.dir);
  std::error_code ec;
  bool indexed = std::filesystem::is_regular_file(filePath(FileMasIdx), ec);
  Mem.Dirnamn = saved;
  if (!indexed) return;
  FileScope scope({FileForums});
  FOR = ForumsRec();
  FOR.ID = target;
  if (HoldRec(Forums, &FOR_ForumKey, true)) {
    if (FOR.RECSLASTTIME != 0) {
      FOR.RECSLASTTIME = 0;
      UppDat(Forums, OpChange, ReportShow);
    }
    Forums.release();
  }
}

int runToEnd(MergeRun& run) {
  while (run.step()) {
  }
  return run.result();
}

}  // namespace qv
