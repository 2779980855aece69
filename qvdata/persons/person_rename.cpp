#include "persons/person_rename.h"

#include "dictionary/dictionary.h"
#include "persons/person_recode.h"
#include "services/db_kind.h"
#include "services/dbref.h"
#include "services/file_scope.h"
#include "services/globals.h"
#include "services/prompt.h"
#include "services/record_helpers.h"
#include "services/whole_names.h"
#include "storage/buffer_guard.h"

namespace qv {

namespace {

// The mailbox's name of an owner: the first name, a blank and the last name
// (only the last name when there is no first name).
std::string ownerName(const std::string& last, const std::string& first) {
  std::string f(trimRight(first)), l(trimRight(last));
  return f.empty() ? l : f + " " + l;
}

// Renames the mailbox whose owner changed name, with its self-description.
bool renameMailbox(const std::string& name) {
  FOR = ForumsRec();
  FOR.ID = Mem.ForumNumber;
  if (!Forums.get(FOR_ForumKey)) {
    rollbackTransaction();
    Message("Record update error!\r\nRecord not available!\r\nThe last transaction is rolled back.", Forums.name(),
            Icon::Hand);
    return false;
  }
  FOR.DESCRIPTION = name;
  return UppDat(Forums, OpChange, ReportRollback) && UpdREF(ReportRollback);
}

}  // namespace

bool samePerson(const PersonRec& a, const PersonRec& b) {
  return a.PERSONID == b.PERSONID && a.PERSONSTRING.raw() == b.PERSONSTRING.raw() &&
         a.LASTNAME.raw() == b.LASTNAME.raw() && a.FIRSTNAME.raw() == b.FIRSTNAME.raw() &&
         a.ADDRESS.raw() == b.ADDRESS.raw() && a.FROMCOUNT == b.FROMCOUNT && a.TOCOUNT == b.TOCOUNT &&
         a.LASTDATE == b.LASTDATE && a.DUMMY == b.DUMMY;
}

RenameResult renamePerson(PersonRec& opened, const std::string& last, const std::string& first) {
  const int kind = Mem.ForumType;
  const bool mail = kind == KindMailDb;
  const bool owner = mail && opened.PERSONID == Mem.PersonID;
  FileScope files(mail ? std::vector<int>{FileMail, FilePerson, FileExtras, FileForums, FileDbRef}
                       : std::vector<int>{FileMsgNmbr, FilePerson, FileExtras});
  BufferGuard guard({&Person, &Mail, &MsgNmbr, &Forums});
  bool begun = mail ? beginPersonTransaction({&Mail, &Person, &Extras, &Forums, &DbRef})
                    : beginPersonTransaction({&MsgNmbr, &Person, &Extras});
  if (!begun) return RenameResult::Failed;
  PER = PersonRec();
  PER.PERSONID = opened.PERSONID;
  if (!Person.get(PER_PersonKey)) {
    rollbackTransaction();
    Message("The record has been deleted by another user!\r\n                   Update is cancelled!", Person.name(),
            Icon::Exclamation);
    return RenameResult::Gone;
  }
  if (!samePerson(PER, opened)) {
    opened = PER;
    rollbackTransaction();
    Message("The record has just been changed by another user!\r\nTry again!", "Warning!", Icon::Exclamation);
    return RenameResult::ChangedMeanwhile;
  }
  const std::string oldLast = PER.LASTNAME.str();
  // The fields keep the names' start; names longer than them are kept whole.
  const PersonName whole{std::string(trimRight(last)), std::string(trimRight(first))};
  setNameFields(whole);
  const std::string newLast = PER.LASTNAME.str();
  const PersonRec written = PER;
  if (!UppDat(Person, OpChange, ReportRollback)) return RenameResult::Failed;
  PER = written;
  if (!keepWholeName(written.PERSONID, whole, ReportRollback)) return RenameResult::Failed;
  std::string mailboxName;
  if (owner) {
    mailboxName = ownerName(whole.last, whole.first);
    if (!renameMailbox(mailboxName)) return RenameResult::Failed;
  }
  if (newLast != oldLast && !recodePersonMessages(kind, written.PERSONID, oldLast, written.PERSONID, newLast))
    return RenameResult::Failed;
  if (!commitPersonTransaction()) return RenameResult::Failed;
  if (owner) Mem.Description = mailboxName;
  opened = written;
  return RenameResult::Done;
}

}  // namespace qv
