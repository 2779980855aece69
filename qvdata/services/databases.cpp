#include "services/databases.h"

#include "dictionary/dictionary.h"
#include "services/datetime.h"
#include "services/dbref.h"
#include "services/file_service.h"
#include "services/globals.h"
#include "services/ids.h"
#include "services/installation.h"
#include "services/paths.h"
#include "services/persons.h"
#include "services/record_helpers.h"
#include "services/settings.h"

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
  OP_CLOSE(OpShared, files);
  bool ok = fn();
  OP_CLOSE(OpRelease, files);
  Mem.Dirnamn = saved;
  return ok;
}

bool makeDirectory(uint32_t dirNumber) {
  std::string dir = joinPath({Mem.FileDir, "F" + std::to_string(dirNumber)});
  ExistPath(3, 0, "", dir, true);
  return true;
}

void fillMailbox(const MailboxSpec& spec) {
  FOR.DESCRIPTION = spec.owner;
  FOR.MAILADDRESS = spec.address;
  for (size_t i = 0; i < spec.alternatives.size(); ++i) FOR.ALTADDRESS[i] = spec.alternatives[i];
}

}  // namespace

uint32_t nextDirNumber() {
  RecordImage saved = saveRecord(Forums.decl());
  Forums.set(FOR_ForumKey);
  uint32_t n = 1;
  // The ID key descends: the first record is the highest ID.
  if (Forums.next()) n = FOR.DIRNUMBER + 1;
  // A number in use (after a rebuild of the list) is passed over.
  for (;;) {
    FOR = ForumsRec();
    FOR.DIRNUMBER = n;
    if (!Forums.get(FOR_DirKey)) break;
    ++n;
  }
  restoreRecord(Forums.decl(), saved);
  return n;
}

uint32_t AddForumDatabase(const std::string& name, int kind, int mode) {
  OP_CLOSE(OpShared, {2, 8});
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
      restoreRecord(Forums.decl(), rec);
      result = id;
    }
  }
  OP_CLOSE(OpRelease, {2, 8});
  return result;
}

uint32_t AddMailbox(const MailboxSpec& spec, bool remember, int mode) {
  OP_CLOSE(OpShared, {2, 8});
  uint32_t dir = nextDirNumber();
  makeDirectory(dir);
  uint32_t result = 0;
  bool ok = inDirectory(dir, {5, 22, 23}, [&] {
    if (!BeginTransaction({&Forums, &DbRef, &Person, &PLINK, &Control}, 5, mode)) return false;
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
    FOR.TYPE = 2;
    FOR.PERSONID = owner;
    FOR.WORDLISTINDEXNEEDSUPDATE = 1;
    fillMailbox(spec);
    if (!UppDat(Forums, OpAdd, ReportRollback)) return false;
    if (!UpdREF(ReportRollback)) return false;
    if (!commitTransaction()) {
      TransactionCheck();
      return false;
    }
    result = id;
    return true;
  });
  if (ok && remember) {
    KonfigSet(19, result);
    Konfig(KSave);
  }
  OP_CLOSE(OpRelease, {2, 8});
  return ok ? result : 0;
}

bool UpdateMailbox(uint32_t id, const MailboxSpec& spec, int mode) {
  OP_CLOSE(OpShared, {2});
  FOR = ForumsRec();
  FOR.ID = id;
  bool ok = Forums.get(FOR_ForumKey) && FOR.TYPE == 2;
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
  OP_CLOSE(OpRelease, {2});
  return ok;
}

bool findDatabase(uint32_t id) {
  OP_CLOSE(OpShared, {2});
  FOR = ForumsRec();
  FOR.ID = id;
  bool ok = Forums.get(FOR_ForumKey);
  OP_CLOSE(OpRelease, {2});
  return ok;
}

bool findDatabase(const std::string& name) {
  OP_CLOSE(OpShared, {2});
  FOR = ForumsRec();
  FOR.DESCRIPTION = name;
  bool ok = Forums.get(FOR_AlphaKey);
  OP_CLOSE(OpRelease, {2});
  return ok;
}

bool selectDatabase(uint32_t id) {
  if (!findDatabase(id)) return false;
  useDatabase();
  return true;
}

std::vector<DatabaseEntry> listDatabases(int kind, bool byDirectory) {
  std::vector<DatabaseEntry> out;
  OP_CLOSE(OpShared, {2});
  Forums.set(byDirectory ? FOR_DirKey : FOR_AlphaKey);
  while (Forums.next()) {
    if (kind != 0 && FOR.TYPE != kind) continue;
    out.push_back({FOR.ID, FOR.DESCRIPTION.str(), FOR.DIRNUMBER, FOR.TYPE, FOR.MSGCOUNT, FOR.NOIMPORT == 0});
  }
  OP_CLOSE(OpRelease, {2});
  return out;
}

bool setImportAllowed(uint32_t id, bool allowed) {
  OP_CLOSE(OpShared, {2});
  FOR = ForumsRec();
  FOR.ID = id;
  bool ok = Forums.get(FOR_ForumKey);
  if (ok) {
    FOR.NOIMPORT = allowed ? 0 : 1;
    ok = UppDat(Forums, OpChange, ReportShow);
  }
  OP_CLOSE(OpRelease, {2});
  return ok;
}

}  // namespace qv
