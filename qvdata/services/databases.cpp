#include "services/databases.h"

#include <filesystem>

#include "dictionary/dictionary.h"
#include "services/datetime.h"
#include "services/db_kind.h"
#include "services/dbref.h"
#include "services/file_scope.h"
#include "services/file_service.h"
#include "services/globals.h"
#include "services/ids.h"
#include "services/installation.h"
#include "services/originals_setting.h"
#include "services/paths.h"
#include "services/persons.h"
#include "services/prompt.h"
#include "services/record_helpers.h"
#include "services/procedure_starter.h"
#include "services/settings.h"
#include "services/settings_items.h"
#include "storage/buffer_guard.h"
#include "storage/collation.h"

namespace qv {

namespace {

// Opens the files of a database directory while `fn` runs, then puts the
// current database's directory back.
template <typename Fn>
bool inDirectory(uint32_t dirNumber, const std::vector<int>& files, Fn fn) {
  std::string saved = Mem.Dirnamn;
  // Files of the current database that are open must not be written under the other name.
  for (int n : files)
    if (useCount(n) > 0) {
      Mem.Dirnamn = saved;
      setError(ErrAccessDenied, filePath(n), "a file of the current database is in use");
      return false;
    }
  Mem.Dirnamn = "F" + std::to_string(dirNumber);
  FileScope scope(files);
  bool ok = fn();
  scope.release();
  Mem.Dirnamn = saved;
  return ok;
}

bool makeDirectory(uint32_t dirNumber) {
  std::string dir = joinPath({Mem.FileDir, "F" + std::to_string(dirNumber)});
  ExistPath(PathCreate, 0, "", dir, true);
  return true;
}

void fillMailbox(const MailboxSpec& spec) {
  FOR.DESCRIPTION = spec.owner;
  FOR.MAILADDRESS = spec.address;
  for (size_t i = 0; i < spec.alternatives.size(); ++i) FOR.ALTADDRESS[i] = spec.alternatives[i];
}

}  // namespace

bool dirNumberOnDisk(uint32_t n) {
  std::error_code ec;
  std::string name = "F" + std::to_string(n);
  for (const std::string& root : {Mem.FileDir, MasIdxPath})
    if (!root.empty() && std::filesystem::symlink_status(joinPath({root, name}), ec).type() !=
                             std::filesystem::file_type::not_found)
      return true;
  return false;
}

uint32_t nextDirNumber() {
  BufferGuard keep({&Forums});
  Forums.set(FOR_ForumKey);
  uint32_t n = 1;
  // The ID key descends: the first record is the highest ID.
  if (Forums.next()) n = FOR.DIRNUMBER + 1;
  // A number in use (after a rebuild of the list) or whose directory is still
  // on disk is passed over.
  for (;;) {
    FOR = ForumsRec();
    FOR.DIRNUMBER = n;
    if (!Forums.get(FOR_DirKey) && !dirNumberOnDisk(n)) break;
    ++n;
  }
  return n;
}

uint32_t AddForumDatabase(const std::string& name, int kind, int mode) {
  FileScope scope({FileForums, FileControl});
  uint32_t result = 0;
  uint32_t dir = nextDirNumber();
  uint32_t id = NextNr();
  if (id != 0) {
    FOR = ForumsRec();
    FOR.ID = id;
    FOR.DIRNUMBER = dir;
    FOR.CREATED = today();
    FOR.TYPE = uint8_t(kind);
    FOR.WORDLISTINDEXNEEDSUPDATE = 1;
    FOR.DESCRIPTION = name;
    if (UppDat(Forums, OpAdd, mode)) {
      makeDirectory(dir);
      RecordImage rec = saveRecord(Forums.decl());
      inDirectory(dir, {22}, [&] {
        restoreRecord(Forums.decl(), rec);
        return UpdREF(mode);
      });
      // A new newsgroup keeps the originals of its articles.
      if (kind == KindNewsDb)
        inDirectory(dir, {FileOriginals}, [&] { return setKeepOriginals(kind, true, mode); });
      restoreRecord(Forums.decl(), rec);
      result = id;
    }
  }
  return result;
}

uint32_t AddMailbox(const MailboxSpec& spec, bool remember, int mode) {
  FileScope scope({FileForums, FileControl});
  uint32_t dir = nextDirNumber();
  makeDirectory(dir);
  uint32_t result = 0;
  // A new mailbox keeps the originals of its mail, a setting written with it.
  bool ok = inDirectory(dir, {5, 22, 23, FileExtras, FileOriginals}, [&] {
    if (!BeginTransaction({&Forums, &DbRef, &Person, &PLINK, &Extras, &Control, &Originals}, 5, mode)) return false;
    if (AddPers(spec.owner, spec.address)) return false;  // rolled back already
    uint32_t owner = PER.PERSONID;
    uint32_t id = NextNr();
    if (id == 0) {
      rollbackTransaction();
      return false;
    }
    FOR = ForumsRec();
    FOR.ID = id;
    FOR.DIRNUMBER = dir;
    FOR.CREATED = today();
    FOR.TYPE = KindMailDb;
    FOR.PERSONID = owner;
    FOR.WORDLISTINDEXNEEDSUPDATE = 1;
    fillMailbox(spec);
    if (!UppDat(Forums, OpAdd, ReportRollback)) return false;
    if (!UpdREF(ReportRollback)) return false;
    if (!setKeepOriginals(KindMailDb, true, ReportRollback)) return false;
    if (!commitTransaction()) {
      TransactionCheck();
      return false;
    }
    result = id;
    return true;
  });
  if (ok && remember) {
    KonfigSet(ItemLastMailbox, result);
    Konfig(KSave);
  }
  return ok ? result : 0;
}

bool UpdateMailbox(uint32_t id, const MailboxSpec& spec, int mode) {
  FileScope scope({FileForums});
  FOR = ForumsRec();
  FOR.ID = id;
  bool ok = Forums.get(FOR_ForumKey) && FOR.TYPE == KindMailDb;
  if (ok) {
    uint32_t dir = FOR.DIRNUMBER;
    ok = inDirectory(dir, {22}, [&] {
      if (!BeginTransaction({&Forums, &DbRef}, 5, mode)) return false;
      FOR = ForumsRec();
      FOR.ID = id;
      if (!Forums.get(FOR_ForumKey)) {
        rollbackTransaction();
        return false;
      }
      fillMailbox(spec);
      if (!UppDat(Forums, OpChange, ReportRollback) || !UpdREF(ReportRollback)) return false;
      if (!commitTransaction()) {
        TransactionCheck();
        return false;
      }
      return true;
    });
  }
  return ok;
}

bool findDatabase(uint32_t id) {
  FileScope scope({FileForums});
  FOR = ForumsRec();
  FOR.ID = id;
  bool ok = Forums.get(FOR_ForumKey);
  return ok;
}

bool findDatabase(const std::string& name) {
  FileScope scope({FileForums});
  FOR = ForumsRec();
  FOR.DESCRIPTION = name;
  bool ok = Forums.get(FOR_AlphaKey);
  return ok;
}

bool selectDatabase(uint32_t id) {
  if (!findDatabase(id)) return false;
  useDatabase();
  return true;
}

std::vector<DatabaseEntry> listDatabases(int kind, bool byDirectory) {
  std::vector<DatabaseEntry> out;
  FileScope scope({FileForums});
  Forums.set(byDirectory ? FOR_DirKey : FOR_AlphaKey);
  while (Forums.next()) {
    if (kind != kAllDbKinds && FOR.TYPE != kind) continue;
    out.push_back(bufferedDatabase());
  }
  return out;
}

bool setImportAllowed(uint32_t id, bool allowed) {
  FileScope scope({FileForums});
  FOR = ForumsRec();
  FOR.ID = id;
  bool ok = Forums.get(FOR_ForumKey);
  if (ok) {
    FOR.NOIMPORT = allowed ? 0 : 1;
    ok = UppDat(Forums, OpChange, ReportShow);
  }
  return ok;
}

namespace {

// Holds the record of a database, lets `change` edit the buffer and writes
// it back (mode ReportShow reports failures).
template <typename Change>
bool changeDatabase(uint32_t id, Change change, int mode = ReportShow) {
  FileScope scope({FileForums});
  FOR = ForumsRec();
  FOR.ID = id;
  bool ok = HoldRec(Forums, &FOR_ForumKey, true);
  if (ok) {
    change();
    ok = UppDat(Forums, OpChange, mode);
    Forums.release();
  }
  return ok;
}

bool directoryExists(uint32_t dirNumber) {
  std::error_code ec;
  return std::filesystem::is_directory(joinPath({Mem.FileDir, "F" + std::to_string(dirNumber)}), ec);
}

bool isArchiveFile(const std::string& name) {
  std::string base = name;
  for (const char* suffix : {"-journal", "-wal", "-shm"}) {
    std::string s(suffix);
    if (base.size() > s.size() && base.compare(base.size() - s.size(), s.size(), s) == 0) base.resize(base.size() - s.size());
  }
  for (const char* pattern : {"*.ADF", "*.DAT", "*.K*", "*.I*"})
    if (matchesPattern(base, pattern)) return true;
  return false;
}

// Removes the archive files of a directory and the directory when nothing
// else is left in it. False when an archive file could not be removed.
bool removeDatabaseDirectory(const std::string& dir) {
  namespace fs = std::filesystem;
  std::error_code ec;
  if (!fs::is_directory(dir, ec)) return true;
  bool failed = false;
  for (const fs::directory_entry& e : fs::directory_iterator(dir, ec)) {
    if (!e.is_regular_file(ec) || !isArchiveFile(e.path().filename().string())) continue;
    std::error_code rc;
    if (!fs::remove(e.path(), rc) || rc) failed = true;
  }
  if (failed)
    Message("One or more files have not been \r\nremoved in subdirectory " + dir, "File Deletion Error!", Icon::Exclamation);
  fs::remove(dir, ec);  // only when empty
  return !failed;
}

}  // namespace

bool setDatabaseStatus(uint32_t id, int status) {
  return changeDatabase(id, [&] { FOR.DUMMY = uint8_t(status); });
}

bool storeMessageCount(uint32_t id, uint32_t count) {
  return changeDatabase(
      id,
      [&] {
        FOR.MSGCOUNT = count;
        FOR.COUNTFLAG = 0;
      },
      ReportQuiet);
}

bool setAutoIndexing(uint32_t id, bool on) {
  return changeDatabase(id, [&] { FOR.INDEXTYPE = on ? 1 : 0; });
}

bool renameDatabase(uint32_t id, const std::string& name, int mode) {
  uint32_t dir = 0;
  bool ok = changeDatabase(
      id,
      [&] {
        FOR.DESCRIPTION = name;
        dir = FOR.DIRNUMBER;
      },
      mode);
  if (!ok || !directoryExists(dir)) return ok;
  RecordImage rec = saveRecord(Forums.decl());
  if (Mem.Dirnamn == "F" + std::to_string(dir)) {
    if (Mem.ForumNumber == id) Mem.Description = name;
    FileScope scope({FileDbRef});
    UpdREF(mode);
  } else {
    inDirectory(dir, {22}, [&] {
      restoreRecord(Forums.decl(), rec);
      return UpdREF(mode);
    });
  }
  restoreRecord(Forums.decl(), rec);
  return ok;
}

bool ActivateDatabase(uint32_t id) {
  if (id == 0 || !findDatabase(id) || !directoryExists(FOR.DIRNUMBER)) return false;
  useDatabase();
  Mem.WordListIndexNeedsUpdate = FOR.WORDLISTINDEXNEEDSUPDATE;
  if (KonfigGet(ItemLastDatabase) != id) {
    KonfigSet(ItemLastDatabase, id);
    Konfig(KSave);
  }
  return true;
}

bool ReopenLastDatabase() {
  if (ActivateDatabase(uint32_t(KonfigGet(ItemLastDatabase)))) return true;
  FileScope scope({FileForums});
  std::vector<uint32_t> ids;
  Forums.set(FOR_ForumKey);
  while (Forums.next()) ids.push_back(FOR.ID);
  scope.release();
  for (uint32_t id : ids)
    if (ActivateDatabase(id)) return true;
  return false;
}

bool DeleteDatabase(uint32_t id) {
  if (!findDatabase(id)) return false;
  uint32_t dir = FOR.DIRNUMBER;
  for (int n = kFirstFileNumber; n <= kLastFileNumber; ++n)
    if (useCount(n) > 0) OP_CLOSE(OpForceClose, {n});
  std::string name = "F" + std::to_string(dir);
  bool removed = removeDatabaseDirectory(joinPath({Mem.FileDir, name}));
  if (compareNoCase(trimRight(MasIdxPath), trimRight(Mem.FileDir)) != 0)
    removed = removeDatabaseDirectory(joinPath({MasIdxPath, name})) && removed;
  // A database whose files are still there stays listed, so that it can be
  // deleted again and no new database takes its directory.
  if (!removed) return false;

  FileScope scope({FileForums});
  FOR = ForumsRec();
  FOR.ID = id;
  bool ok = HoldRec(Forums, &FOR_ForumKey, true) && UppDat(Forums, OpRemove, ReportShow);
  scope.release();
  // The scheduler forgets the database.
  SemaFore(TaskServiceDatabasesChanged);
  if (KonfigGet(ItemLastDatabase) == id) {
    KonfigSet(ItemLastDatabase, 0);
    Konfig(KSave);
  }
  if (Mem.ForumNumber == id) {
    Mem.ForumNumber = 0;
    Mem.Dirnamn.clear();
    Mem.Description.clear();
  }
  return ok;
}

}  // namespace qv
