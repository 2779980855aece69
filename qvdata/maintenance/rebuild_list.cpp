// The list half of the rebuild: every listed database checked against its
// directory, and every directory without an entry attached.
#include <algorithm>
#include <filesystem>

#include "dictionary/dictionary.h"
#include "dictionary/file_numbers.h"
#include "maintenance/rebuild_impl.h"
#include "services/db_kind.h"
#include "services/file_service.h"
#include "services/globals.h"
#include "services/ids.h"
#include "services/prompt.h"
#include "services/record_helpers.h"
#include "storage/buffer_guard.h"

namespace qv {

namespace {

std::string unknownName(uint32_t dirNumber) { return "Unknown:F" + std::to_string(dirNumber); }

// True when another entry of the list than `id` has that name.
bool nameTaken(const std::string& name, uint32_t id) {
  BufferGuard keep({&Forums});
  FOR = ForumsRec();
  FOR.DESCRIPTION = name;
  return Forums.get(FOR_AlphaKey) && FOR.ID != id;
}

}  // namespace

// The kind of a directory: as its files tell it; a directory that holds
// persons only is a mailbox without mail (its owner alone); a directory
// without any message file whose own description names a kind is an empty
// database of that kind (a database's files are made by its first import).
RebuildRun::Impl::Found RebuildRun::Impl::recognise(uint32_t dirNumber, bool logProbes) {
  Found f;
  DirFiles files = filesIn(dirNumber);
  f.kind = kindOfFiles(files);
  f.hasRef = readDbRef(dirNumber);
  f.ref = REF;
  if (f.kind == DirPersonsOnly) {
    f.personsOnly = true;
    int64_t persons = personsIn(dirNumber, f.onlyPerson);
    if (logProbes) {
      std::string path = fileIn(dirNumber, FilePerson);
      log(persons == 1 ? "OK .. testing single person file " + path : "Faling test multi person file " + path);
    }
    f.kind = KindMailDb;
    return f;
  }
  if (f.kind == DirUnrecognisable && noMessageFiles(files) && f.hasRef && f.ref.TYPE >= KindForumDb &&
      f.ref.TYPE <= KindNewsDb)
    f.kind = f.ref.TYPE;
  if (f.kind != DirUnrecognisable && logProbes)
    for (const FileProbe& p : probeFiles(dirNumber, f.kind))
      log((p.ok ? "OK .. testing " : "Faling test ") + p.role + " " + p.path);
  return f;
}

void RebuildRun::Impl::logUnrecognisable(uint32_t dirNumber) {
  for (int n : {FileMsgNmbr, FileThreads, FileMail, FileMsgIdIndex, FilePerson}) {
    std::string path = fileIn(dirNumber, n);
    std::error_code ec;
    log(".. " + path + (std::filesystem::is_regular_file(path, ec) ? " exists" : " does not exist"));
  }
  log("Error .. Database type not recognizable");
  log("This database may contains surplus files that do not belong there.");
  log("Please remove them (see below) and run Rebuild again.");
  log("1. A Mail database should never contain idx003.adf,idx007.adf or idx025.adf.");
  log("2. A Forum message database should never contain idx013.adf or idx025.adf.");
  log("3. A Newsgroup database should never contain idx013.adf.");
}

void RebuildRun::Impl::checkListed(uint32_t id) {
  FOR = ForumsRec();
  FOR.ID = id;
  if (!Forums.get(FOR_ForumKey)) return;  // removed meanwhile
  uint32_t dir = FOR.DIRNUMBER;
  std::string name = FOR.DESCRIPTION.str();
  ForumsRec entry = FOR;
  Found f = recognise(dir, false);
  if (f.kind == DirUnrecognisable) {
    log(databaseLine(DirUnrecognisable, dir, name));
    logUnrecognisable(dir);
    Message("Database " + name + " in directory " + databaseDirectory(dir) +
                " is not a recognizable current version Quorvane database.\r\n"
                "The database definition will be removed from the database list but the database will be left as "
                "is.\r\nPlease check the log file testdb.txt in directory cfg for details.",
            "Warning!", Icon::Exclamation);
    FOR = ForumsRec();
    FOR.ID = id;
    if (HoldRec(Forums, &FOR_ForumKey, true)) {
      if (UppDat(Forums, OpRemove, ReportShow)) removed.push_back(dir);
      Forums.release();
    }
    return;
  }

  // The kind and name, and a mailbox's owner, as the directory tells them.
  bool changed = false;
  if (entry.TYPE != f.kind || entry.DESCRIPTION.blank()) {
    bool refAgrees = f.hasRef && f.ref.TYPE == f.kind && !f.ref.DESCRIPTION.blank();
    entry.DESCRIPTION = refAgrees ? f.ref.DESCRIPTION.str() : unknownName(dir);
    entry.TYPE = uint8_t(f.kind);
    changed = true;
  }
  if (f.kind == KindMailDb && (entry.PERSONID == 0 || !personIn(dir, entry.PERSONID))) {
    uint32_t owner = f.hasRef && f.ref.PERSONID > 0 ? uint32_t(f.ref.PERSONID) : f.onlyPerson;
    if (owner != 0 && owner != entry.PERSONID && personIn(dir, owner)) {
      entry.PERSONID = owner;
      if (f.hasRef && entry.MAILADDRESS.blank()) {
        entry.MAILADDRESS = f.ref.MAILADDRESS;
        entry.ALTADDRESS = f.ref.ALTADDRESS;
      }
      changed = true;
    }
  }
  log(databaseLine(f.kind, dir, entry.DESCRIPTION.str()));
  recognise(dir, true);  // the file probes, logged under the database
  if (!changed) return;
  FOR = ForumsRec();
  FOR.ID = id;
  if (HoldRec(Forums, &FOR_ForumKey, true)) {
    FOR = entry;
    UppDat(Forums, OpChange, ReportShow);
    Forums.release();
  }
}

std::vector<uint32_t> RebuildRun::Impl::unlistedDirectories() {
  std::vector<uint32_t> out;
  BufferGuard keep({&Forums});
  for (uint32_t n : databaseDirectories()) {
    FOR = ForumsRec();
    FOR.DIRNUMBER = n;
    // A directory whose entry was removed above was reported there.
    if (!Forums.get(FOR_DirKey) && std::find(removed.begin(), removed.end(), n) == removed.end()) out.push_back(n);
  }
  return out;
}

void RebuildRun::Impl::attach(uint32_t dir) {
  Found f = recognise(dir, false);
  if (f.kind == DirUnrecognisable) {
    log(databaseLine(DirUnrecognisable, dir, f.hasRef ? f.ref.DESCRIPTION.str() : std::string()));
    logUnrecognisable(dir);
    return;
  }
  std::string name;
  if (f.hasRef && f.ref.TYPE == f.kind && !f.ref.DESCRIPTION.blank())
    name = f.ref.DESCRIPTION.str();
  else
    name = f.personsOnly ? "Unknown:Unknown:F" + std::to_string(dir) : unknownName(dir);
  // Two directories with the same description (a copied directory): the
  // second comes in under its directory name rather than not at all.
  if (nameTaken(name, 0)) name = unknownName(dir);
  log(databaseLine(f.kind, dir, name));
  recognise(dir, true);
  if (nameTaken(name, 0)) return;  // reported by the log: its name is in use

  uint32_t id = NextNr();
  if (id == 0) return;  // reported
  highest = std::max(highest, id);
  ForumsRec entry;
  entry.ID = id;
  entry.DIRNUMBER = dir;
  entry.TYPE = uint8_t(f.kind);
  entry.DESCRIPTION = name;
  entry.WORDLISTINDEXNEEDSUPDATE = 1;
  entry.MSGCOUNT = uint32_t(idsIn(dir, f.kind, kOldestTextDate).messages);
  if (f.kind == KindMailDb) {
    uint32_t owner = f.hasRef && f.ref.PERSONID > 0 ? uint32_t(f.ref.PERSONID) : f.onlyPerson;
    if (owner != 0 && personIn(dir, owner)) entry.PERSONID = owner;
    if (f.hasRef && f.ref.TYPE == KindMailDb) {
      entry.MAILADDRESS = f.ref.MAILADDRESS;
      entry.ALTADDRESS = f.ref.ALTADDRESS;
    }
  }
  FOR = entry;
  if (!UppDat(Forums, OpAdd, ReportShow)) return;
  FOR = entry;
  writeDbRef(dir, ReportShow);
}

}  // namespace qv
