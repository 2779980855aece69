// Step 2 of the full conversion: the new database list. Each mailbox becomes
// a mail database; the old mail database becomes the first mailbox's (its
// directory stays) and every other database keeps its fields, its name
// without the "CIS:" that old versions put before forum names. Also how a
// database joins a new list, which the minor upgrade shares.
#include "conv_files.h"
#include "conv_impl.h"
#include "dictionary/config_files.h"
#include "dictionary/database_files.h"
#include "dictionary/file_numbers.h"
#include "old_files.h"
#include "services/crash_point.h"
#include "services/datetime.h"
#include "services/startup.h"
#include "storage/collation.h"

namespace qvconv {

namespace {

std::string withoutCis(std::string name) {
  if (qv::foldUpper(name.substr(0, 4)) == "CIS:") name.erase(0, 4);
  return name;
}

// The database's self-description beside its files, from which a lost list
// is rebuilt.
bool writeDbRef(const std::string& dir) {
  qv::REF = qv::DbRefRec();
  qv::REF.TYPE = qv::FOR.TYPE;
  qv::REF.DESCRIPTION = qv::FOR.DESCRIPTION.str();
  qv::REF.PERSONID = int32_t(qv::FOR.PERSONID);
  qv::REF.MAILADDRESS = qv::FOR.MAILADDRESS.str();
  qv::REF.ALTADDRESS = qv::FOR.ALTADDRESS;
  if (!createNew(qv::DbRef, dir + "/IDX022.DAT")) return false;
  bool ok = qv::DbRef.add();
  qv::DbRef.close();
  return ok;
}

}  // namespace

bool addDatabase() {
  qv::RecordImage wanted = qv::saveRecord(qv::Forums.decl());
  if (qv::Forums.get(qv::FOR_AlphaKey)) {
    qv::restoreRecord(qv::Forums.decl(), wanted);
    qv::FOR.DESCRIPTION = qv::FOR.DESCRIPTION.str() + " (F" + std::to_string(qv::FOR.DIRNUMBER) + ")";
  } else {
    qv::restoreRecord(qv::Forums.decl(), wanted);
  }
  if (qv::Forums.add()) return true;
  if (qv::ErrorCode() == qv::ErrDuplicateKey) return true;  // an ID or directory given twice: the first stays
  return fail(qv::ErrorText(), "Conversion error!");
}

bool stepDatabaseList(Conversion& c) {
  std::string listPath = c.rootFile(qv::FileForums);
  std::string oldPath = c.rootFile(FileOldForums);
  // The first change to the installation: from here until the converted
  // files are in place, a run cut short is taken back by the next.
  if (!markConversion(c.root(), qv::kMarkConverting))
    return fail("The file " + c.root() + "/" + qv::kConversionMarker + " could not be written.\r\n" + qv::ErrorText(),
                "Conversion error!");
  if (!moveFile(listPath, oldPath)) return fail(qv::ErrorText(), "Conversion error!");
  if (!createNew(qv::Forums, listPath)) return false;
  bool ok = true;
  // Every mailbox but the first (which takes the old mail database) gets a
  // database of its own; so does the first when there is no mail database.
  for (size_t i = 0; ok && i < c.mailboxes.size(); ++i) {
    Mailbox& m = c.mailboxes[i];
    if (i == 0 && c.mailIndex >= 0) {
      const OldDatabase& mail = c.databases[size_t(c.mailIndex)];
      m.databaseId = mail.id;
      m.dirNumber = mail.dirNumber;
      m.dir = mail.dir;
      continue;
    }
    qv::FOR = qv::ForumsRec();
    qv::FOR.ID = nextId(c.controlPath());
    if (qv::FOR.ID == 0) {
      ok = fail("Next ID cannot be generated!", "Control File Error");
      break;
    }
    qv::FOR.DESCRIPTION = m.owner;
    qv::FOR.DIRNUMBER = c.nextDir++;
    qv::FOR.TYPE = 2;
    qv::FOR.CREATED = qv::today();
    qv::FOR.PERSONID = m.personId;
    m.databaseId = qv::FOR.ID;
    m.dirNumber = qv::FOR.DIRNUMBER;
    m.dir = databaseDir(c.inst.dataDir, m.dirNumber);
    if (!makeDirectory(m.dir)) {
      ok = fail("The specified directory " + m.dir + " could not be created.", " Directory Creation Error");
      break;
    }
    ok = addDatabase() && writeDbRef(m.dir);
  }
  if (ok && !openExisting(OldForums30, oldPath)) ok = false;
  if (ok) {
    OldForums30.setFileOrder();
    while (ok && OldForums30.next()) {
      if (c.removed.count(OF3.ID)) continue;
      copyByName(OldForums30.decl(), qv::Forums.decl());
      qv::FOR.DESCRIPTION = withoutCis(OF3.DESCRIPTION.str());
      if (OF3.TYPE == 2) {
        if (c.mailIndex < 0 || OF3.ID != c.databases[size_t(c.mailIndex)].id || c.mailboxes.empty()) continue;
        qv::FOR.DESCRIPTION = c.mailboxes[0].owner;
        qv::FOR.PERSONID = c.mailboxes[0].personId;
      }
      ok = addDatabase();
      if (ok) ok = writeDbRef(databaseDir(c.inst.dataDir, OF3.DIRNUMBER));
      qv::crashPoint("conv-list-added");
    }
    OldForums30.close();
  }
  if (ok && !(qv::Forums.flush() || qv::ErrorCode() == qv::ErrNotSupported)) ok = fail(qv::ErrorText(), "Conversion error!");
  if (ok && !qv::Forums.buildKeys()) ok = fail(qv::ErrorText(), "Conversion error!");
  qv::Forums.close();
  if (ok) removeFile(oldPath);
  return ok;
}

}  // namespace qvconv
