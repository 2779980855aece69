// Steps 5 and 6 of the full conversion: persons and topic codes of the
// forum databases in the new layout, and the Internet headers taken out of
// the mail texts.
#include "conv_files.h"
#include "conv_headers.h"
#include "conv_impl.h"
#include "dictionary/database_files.h"
#include "dictionary/file_numbers.h"
#include "old_files.h"
#include "services/crash_point.h"
#include "services/prompt.h"
#include "services/topics.h"
#include "storage/collation.h"

namespace qvconv {

namespace {

std::string dirFile(const std::string& dir, int number) { return dir + "/" + idxName(number); }

bool convertPersons(const std::string& oldPath, const std::string& newPath) {
  if (!fileExists(oldPath)) return true;
  if (!openExisting(OldPerson, oldPath)) return false;
  if (!createNew(qv::Person, newPath)) {
    OldPerson.close();
    return false;
  }
  bool ok = true;
  OldPerson.setFileOrder();
  while (ok && OldPerson.next()) {
    copyByName(OldPerson.decl(), qv::Person.decl());
    ok = qv::Person.append() || qv::ErrorCode() == qv::ErrDuplicateKey;
    qv::crashPoint("conv-person-copied");
  }
  OldPerson.close();
  if (!ok) {
    qv::Person.close();
    return fail("Record add error!\r\n" + qv::ErrorText(), qv::Person.label());
  }
  bool built = qv::Person.buildKeys();
  qv::Person.close();
  return built || fail("The Person file could not be rebuilt! The databases cannot be converted!", "Conversion error!");
}

bool convertCodes(const std::string& oldPath, const std::string& newPath) {
  if (!fileExists(oldPath)) return true;
  if (!openExisting(OldCodes, oldPath)) return false;
  if (!createNew(qv::Codes, newPath)) {
    OldCodes.close();
    return false;
  }
  OldCodes.setFileOrder();
  while (OldCodes.next()) {
    copyByName(OldCodes.decl(), qv::Codes.decl());
    // The key words of old versions are the topics of this one.
    qv::COD.TYPE = qv::kTopicType;
    if (!qv::Codes.add()) qv::Beep();
  }
  OldCodes.close();
  qv::Codes.close();
  return true;
}

}  // namespace

bool stepForumFiles(Conversion& c) {
  for (const OldDatabase& db : c.databases) {
    if (db.type == 2) continue;
    std::string persons = dirFile(db.dir, qv::FilePerson), codes = dirFile(db.dir, qv::FileCodes);
    if (!enoughSpace(c.inst.dataDir, fileSize(persons) + fileSize(codes), "Msg database")) return false;
    std::string oldPersons = dirFile(db.dir, FileOldPerson), oldCodes = dirFile(db.dir, FileOldCodes);
    if (fileExists(persons) && !moveFile(persons, oldPersons)) return fail(qv::ErrorText(), "Conversion error!");
    if (fileExists(codes) && !moveFile(codes, oldCodes)) return fail(qv::ErrorText(), "Conversion error!");
    // The database's name as the new list has it.
    std::string name = qv::foldUpper(db.name.substr(0, 4)) == "CIS:" ? db.name.substr(4) : db.name;
    c.status(name + " - converting person file!");
    if (!convertPersons(oldPersons, persons)) return false;
    c.status(name + " - converting key word file!");
    if (!convertCodes(oldCodes, codes)) return false;
  }
  return true;
}

bool stepInternetHeaders(Conversion& c) {
  c.status(" Removing mail Internet headers!");
  for (const Mailbox& m : c.mailboxes) {
    std::string path = dirFile(m.dir, qv::FileMsgText);
    if (!fileExists(path)) continue;
    if (!openExisting(qv::MsgText, path)) return false;
    if (!qv::beginTransaction({&qv::MsgText}, 10)) {
      qv::MsgText.close();
      return fail(qv::ErrorText(), "Conversion error!");
    }
    qv::MsgText.setFileOrder();
    while (qv::MsgText.next()) {
      if (!startsWithHeaders(qv::TXT.MsgText)) continue;
      qv::TXT.MsgText = stripInternetHeaders(qv::TXT.MsgText);
      if (!qv::MsgText.put()) {
        qv::rollbackTransaction();
        qv::MsgText.close();
        return fail("Record update error!\r\n" + qv::ErrorText() + "\r\nThe last transaction is rolled back.",
                    qv::MsgText.label());
      }
      qv::crashPoint("conv-text-stripped");
    }
    bool ok = qv::commitTransaction();
    if (!ok) qv::rollbackTransaction();
    qv::MsgText.close();
    if (!ok) return fail(qv::ErrorText() + "\r\nTransaction Frame Error!\r\n", "Warning!");
  }
  return true;
}

}  // namespace qvconv
