#include "maintenance/rebuild_run.h"

#include <cerrno>
#include <cstring>
#include <filesystem>

#include "dictionary/dictionary.h"
#include "dictionary/file_numbers.h"
#include "maintenance/rebuild_impl.h"
#include "services/db_kind.h"
#include "services/file_service.h"
#include "services/globals.h"
#include "services/ids.h"
#include "services/paths.h"
#include "services/prompt.h"
#include "services/record_helpers.h"

namespace fs = std::filesystem;

namespace qv {

namespace {

bool directoryThere(const std::string& path) {
  std::error_code ec;
  return !path.empty() && fs::is_directory(path, ec);
}

}  // namespace

std::string rebuildLogPath() { return joinPath({Mem.Net, "CFG", "TestDB.Txt"}); }

std::string kindWord(int kind) {
  std::string w;
  switch (kind) {
    case KindForumDb: w = "Forum"; break;
    case KindMailDb: w = "Mail"; break;
    case KindNewsDb: w = "Newsgroup"; break;
    default: w = "Invalid DB"; break;
  }
  w.resize(11, ' ');
  return w;
}

std::string databaseLine(int kind, uint32_t dirNumber, const std::string& name) {
  return kindWord(kind) + "F" + std::to_string(dirNumber) + " " + name;
}

std::string separatorLine() { return std::string(53, '-'); }

RebuildRun::RebuildRun(int request) : d_(std::make_unique<Impl>()) {
  d_->request = request == RequestNextId ? RequestNextId : RequestRebuild;
}

RebuildRun::~RebuildRun() = default;

RebuildState RebuildRun::state() const { return d_->state(); }
Status RebuildRun::status() const { return d_->status(); }
const RebuildView& RebuildRun::view() const { return d_->view; }
uint32_t RebuildRun::nextNumber() const { return d_->next; }

void RebuildRun::Impl::log(const std::string& line) {
  view.log.push_back(line);
  if (logFile.is_open()) {
    logFile << line << '\n';
    logFile.flush();
  }
}

void RebuildRun::Impl::ended() {
  phase = Phase::Done;
  if (logFile.is_open()) logFile.close();
  releaseHeldFiles();
}

bool RebuildRun::start() { return d_->start(); }

bool RebuildRun::Impl::start() {
  if (state() != RebuildState::Ready) return false;
  // The log is made anew by every run.
  logFile.open(rebuildLogPath(), std::ios::out | std::ios::trunc);
  if (!logFile) {
    std::string why = std::strerror(errno);
    Message(why, "Warning!", Icon::Exclamation);
    return fail(why);
  }
  if (idCounterReserved()) {
    std::string why = "An import holds the ID counter: run the rebuild when it has finished.";
    Message(why, "Warning!", Icon::Exclamation);
    return fail(why);
  }
  holdFiles({FileForums, FileControl});
  begin(0);
  if (request == RequestRebuild) log("Checking the Quorvane directory structure ...");
  if (!checkDirectories()) return false;
  if (request == RequestRebuild) {
    log("...OK!");
    log("Checking the existing Quorvane database list ...");
    log(separatorLine());
    log(" Databases recorded in the IDX002.ADF file");
    log(separatorLine());
    enter(Phase::CheckList);
  } else {
    enter(Phase::CheckIds);
  }
  return true;
}

// Before anything else: the three root directories must be there, and so
// must the directory of every listed database.
bool RebuildRun::Impl::checkDirectories() {
  struct Root {
    const std::string& path;
    const char* what;
    const char* where;
  };
  bool ok = true;
  for (const Root& r : {Root{Mem.FileDir, "Database directory path ", "the directory for database files"},
                        Root{MasIdxPath, "WordSearch index file directory path ", "the directory for WordSearch index files"},
                        Root{Mem.TempDir, "The temporary file directory path ", "the directory for temporary files"}}) {
    if (directoryThere(r.path)) continue;
    Message(std::string(r.what) + r.path + " does not exist!\r\nCheck " + r.where + " in Preferences.", "Warning!",
            Icon::Exclamation);
    ok = false;
  }
  if (!ok) return fail("a directory of the installation does not exist");

  std::vector<uint32_t> ids;
  Forums.set(FOR_ForumKey);
  while (Forums.next()) ids.push_back(FOR.ID);
  for (uint32_t id : ids) {
    FOR = ForumsRec();
    FOR.ID = id;
    if (!Forums.get(FOR_ForumKey)) continue;
    std::string path = databaseDirectory(FOR.DIRNUMBER);
    if (!directoryThere(path)) {
      Button b = Message("Directory path " + path + " for database " + FOR.DESCRIPTION.str() +
                             " does not exist! If you press OK this database definition will be removed. If you "
                             "press Cancel Quorvane will be aborted.",
                         "Warning!", Icon::Exclamation, BtnOk | BtnCancel, BtnOk);
      if (b != BtnOk) Halt("Program aborted!");
      if (HoldRec(Forums, &FOR_ForumKey, true)) {
        UppDat(Forums, OpRemove, ReportShow);
        Forums.release();
      }
      continue;
    }
    // A word-index root of its own gets the database's index directory.
    if (MasIdxPath != Mem.FileDir) {
      std::string index = joinPath({MasIdxPath, "F" + std::to_string(FOR.DIRNUMBER)});
      if (!directoryThere(index)) makePrivateDirectory(index);
    }
  }
  return true;
}

void RebuildRun::Impl::enter(Phase p) {
  phase = p;
  pos = 0;
  work.clear();
  switch (p) {
    case Phase::CheckList:
    case Phase::CheckIds:
      Forums.set(FOR_ForumKey);
      while (Forums.next()) work.push_back(FOR.ID);
      if (p == Phase::CheckIds) log("Checking for highest existing ID ...");
      break;
    case Phase::Attach: {
      std::vector<uint32_t> dirs = unlistedDirectories();
      work.assign(dirs.begin(), dirs.end());
      break;
    }
    case Phase::Done: break;
  }
  view.done = 0;
  view.total = int64_t(work.size());
}

bool RebuildRun::step() { return d_->tick(std::chrono::milliseconds(0)); }

bool RebuildRun::Impl::runSlice(std::chrono::milliseconds) {
  Impl& d = *this;
  if (d.pos < d.work.size()) {
    uint32_t item = uint32_t(d.work[d.pos++]);
    switch (d.phase) {
      case Phase::CheckList: d.checkListed(item); break;
      case Phase::Attach: d.attach(item); break;
      case Phase::CheckIds: d.checkIds(item); break;
      case Phase::Done: break;
    }
    d.view.done = int64_t(d.pos);
    return d.running();
  }
  switch (d.phase) {
    case Phase::CheckList: {
      d.log(separatorLine());
      d.log(" Databases not recorded in the IDX002.ADF file");
      d.log(separatorLine());
      d.log("Attaching new database directories");
      std::vector<uint32_t> unlisted = d.unlistedDirectories();
      // New entries draw their IDs from the counter: it must first lie
      // above every ID in use, also when the control file was lost.
      if (!unlisted.empty() && !d.raiseCounter(databaseDirectories())) return false;
      d.enter(Phase::Attach);
      return true;
    }
    case Phase::Attach:
      if (!Forums.hasRecords()) {
        Message("No database available at " + Mem.FileDir + ".\r\nRebuild process aborted.", "No databases!",
                Icon::Exclamation);
        return d.fail("no database available at " + Mem.FileDir);
      }
      d.log(separatorLine());
      d.log(" All databases are connected");
      d.log(separatorLine());
      d.enter(Phase::CheckIds);
      return true;
    case Phase::CheckIds:
      if (!d.storeCounter()) return false;
      d.log("Checking for highest existing ID ...OK!");
      d.view.status = "Checking for highest existing ID ...OK!";
      d.end(RebuildState::Finished);
      return false;
    case Phase::Done: return false;
  }
  return false;
}

RebuildState runToEnd(RebuildRun& run) {
  while (run.step()) {
  }
  return run.state();
}

}  // namespace qv
