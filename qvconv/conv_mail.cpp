// Steps 3 and 4 of the full conversion: the one old mail database is split
// into one database per mailbox (headers, texts, topics), and each gets the
// persons of its own mail with their counts.
#include <map>
#include <set>

#include "conv_files.h"
#include "conv_impl.h"
#include "dictionary/config_files.h"
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

// A record write that failed inside a transaction: rolled back and told as
// the record helpers tell it.
bool writeFailed(const qv::File& f) {
  std::string reason = qv::ErrorCode() == qv::ErrDuplicateKey ? "A record with identical key already exists!"
                       : qv::ErrorCode() == qv::ErrNotFound || qv::ErrorCode() == qv::ErrNotAvailable
                           ? "Record not available!"
                           : qv::ErrorText();
  if (qv::transactionActive()) qv::rollbackTransaction();
  return fail("Record add error!\r\n" + reason + "\r\nThe last transaction is rolled back.", f.label());
}

// The mailbox a mail of the old database belongs to; mail naming no known
// mailbox goes to the first.
size_t mailboxOf(const std::map<std::string, size_t>& byOwner, const std::string& box) {
  auto it = byOwner.find(qv::foldUpper(box));
  return it == byOwner.end() ? 0 : it->second;
}

// Copies the topic codes of the old mail database into a mailbox's, as
// topics, counting the links to the mailbox's own mail.
bool copyMailTopics(const std::string& oldCodes, const std::string& dir, const std::set<uint32_t>& mails) {
  if (!fileExists(oldCodes)) return true;
  std::map<uint32_t, uint32_t> links;
  std::string linkPath = dirFile(dir, qv::FileSIndex);
  if (fileExists(linkPath)) {
    if (!openExisting(qv::SIndex, linkPath)) return false;
    qv::SIndex.setFileOrder();
    while (qv::SIndex.next())
      if (mails.count(qv::SIN.MSGNUMBER)) ++links[qv::SIN.ID];
    qv::SIndex.close();
  }
  if (!openExisting(OldCodes, oldCodes)) return false;
  if (!createNew(qv::Codes, dirFile(dir, qv::FileCodes))) {
    OldCodes.close();
    return false;
  }
  OldCodes.setFileOrder();
  while (OldCodes.next()) {
    copyByName(OldCodes.decl(), qv::Codes.decl());
    qv::COD.TYPE = qv::kTopicType;
    qv::COD.COUNT = links.count(OCO.ID) ? links[OCO.ID] : 0;
    if (!qv::Codes.add()) qv::Beep();
  }
  OldCodes.close();
  qv::Codes.close();
  return true;
}

bool setMessageCount(const std::string& listPath, uint32_t databaseId, uint32_t count) {
  if (!openExisting(qv::Forums, listPath)) return false;
  qv::FOR.ID = databaseId;
  bool ok = true;
  if (qv::Forums.get(qv::FOR_ForumKey)) {
    qv::FOR.MSGCOUNT = count;
    ok = qv::Forums.put() || fail("Record update error!\r\n" + qv::ErrorText(), qv::Forums.label());
  }
  qv::Forums.close();
  return ok;
}

// Copies the mail of one mailbox with its texts in one transaction.
bool copyMailbox(const Conversion& c, const std::map<std::string, size_t>& byOwner, size_t index,
                 std::set<uint32_t>& mails) {
  const Mailbox& m = c.mailboxes[index];
  if (!createNew(qv::Mail, dirFile(m.dir, qv::FileMail))) return false;
  if (!createNew(qv::MsgText, dirFile(m.dir, qv::FileMsgText))) return false;
  if (!qv::beginTransaction({&qv::Mail, &qv::MsgText}, 10)) return fail(qv::ErrorText(), "Conversion error!");
  OldMail.setFileOrder();
  while (OldMail.next()) {
    if (mailboxOf(byOwner, OMA.MAILBOX.str()) != index) continue;
    copyByName(OldMail.decl(), qv::Mail.decl());
    if (!qv::Mail.add()) return writeFailed(qv::Mail);
    mails.insert(OMA.MAILID);
    OTX.MSGNUMBER = OMA.MAILID;
    if (OldMsgText.get(OTX_IdKey)) {
      copyByName(OldMsgText.decl(), qv::MsgText.decl());
      if (!qv::MsgText.add()) return writeFailed(qv::MsgText);
    }
    qv::crashPoint("conv-mail-copied");
  }
  if (!qv::commitTransaction()) {
    qv::rollbackTransaction();
    return fail(qv::ErrorText() + "\r\nTransaction Frame Error!\r\n", "Warning!");
  }
  if (!qv::Mail.buildKeys())
    return fail("The Mail file could not be rebuilt! The databases cannot be converted!", "Conversion error!");
  if (!qv::MsgText.buildKeys())
    return fail("The Mail text file could not be rebuilt! The databases cannot be converted!", "Conversion error!");
  qv::Mail.close();
  qv::MsgText.close();
  return true;
}

}  // namespace

bool stepSplitMail(Conversion& c) {
  if (c.mailIndex < 0 || c.mailboxes.empty()) return true;  // no mail to split
  const std::string mailDir = c.mailDir();
  const std::string listPath = c.rootFile(qv::FileForums);
  // The old mail database's record, now the first mailbox's.
  if (!openExisting(qv::Forums, listPath)) return false;
  qv::FOR.ID = c.databases[size_t(c.mailIndex)].id;
  bool have = qv::Forums.get(qv::FOR_ForumKey);
  qv::Forums.close();
  if (!have)
    return fail("The existing Mail record in the Forum file cannot be accessed! The databases cannot be converted!",
                "Conversion error!");
  int64_t bytes = fileSize(dirFile(mailDir, qv::FileMsgText)) + fileSize(dirFile(mailDir, qv::FileMail)) +
                  fileSize(dirFile(mailDir, qv::FilePerson));
  if (!enoughSpace(c.inst.dataDir, bytes, "Mail database")) return false;

  // The old files step aside under their temporary names.
  const std::pair<int, int> moves[] = {{qv::FileMsgText, FileOldText},
                                       {qv::FilePerson, FileOldPerson},
                                       {qv::FileMail, FileOldMail},
                                       {qv::FileCodes, FileOldCodes}};
  for (auto [from, to] : moves) {
    std::string path = dirFile(mailDir, from);
    if (fileExists(path) && !moveFile(path, dirFile(mailDir, to))) return fail(qv::ErrorText(), "Conversion error!");
  }
  qv::crashPoint("conv-split-moved");

  std::map<std::string, size_t> byOwner;
  for (size_t i = 0; i < c.mailboxes.size(); ++i) byOwner.emplace(qv::foldUpper(c.mailboxes[i].owner), i);
  std::string oldMail = dirFile(mailDir, FileOldMail), oldText = dirFile(mailDir, FileOldText);
  bool haveMail = fileExists(oldMail);
  if (haveMail) {
    if (!openExisting(OldMail, oldMail)) return false;
    if (fileExists(oldText) && !openExisting(OldMsgText, oldText)) {
      OldMail.close();
      return false;
    }
  }
  bool ok = true;
  for (size_t i = 0; ok && i < c.mailboxes.size(); ++i) {
    Mailbox& m = c.mailboxes[i];
    // The files kept whole: topic links, the further file and the carbon copies.
    if (m.dir != mailDir)
      for (int n : {int(qv::FileSIndex), 15, int(qv::FileCCR)})
        if (fileExists(dirFile(mailDir, n)) && !copyFile(dirFile(mailDir, n), dirFile(m.dir, n)))
          ok = fail(qv::ErrorText(), "Conversion error!");
    std::set<uint32_t> mails;
    if (ok && haveMail) ok = copyMailbox(c, byOwner, i, mails);
    if (ok) ok = copyMailTopics(dirFile(mailDir, FileOldCodes), m.dir, mails);
    m.mails = uint32_t(mails.size());
    if (ok) ok = setMessageCount(listPath, m.databaseId, m.mails);
    qv::crashPoint("conv-split-mailbox");
  }
  OldMail.close();
  OldMsgText.close();
  return ok;
}

bool stepMailPersons(Conversion& c) {
  if (c.mailIndex < 0) return true;
  const std::string oldPersons = dirFile(c.mailDir(), FileOldPerson);
  if (!fileExists(oldPersons)) return true;
  for (const Mailbox& m : c.mailboxes) {
    c.status(m.owner + " - converting person file!");
    // The mail each person sent and received in this mailbox.
    struct Counts {
      uint32_t from = 0, to = 0;
      int32_t last = 0;
    };
    std::map<uint32_t, Counts> counts;
    std::string mailPath = dirFile(m.dir, qv::FileMail);
    if (fileExists(mailPath)) {
      if (!openExisting(qv::Mail, mailPath)) return false;
      qv::Mail.setFileOrder();
      while (qv::Mail.next()) {
        Counts& f = counts[qv::MAI.FROMID];
        ++f.from;
        f.last = std::max(f.last, qv::MAI.DATE);
        Counts& t = counts[qv::MAI.TOID];
        ++t.to;
        t.last = std::max(t.last, qv::MAI.DATE);
      }
      qv::Mail.close();
    }
    if (!openExisting(OldPerson, oldPersons)) return false;
    if (!createNew(qv::Person, dirFile(m.dir, qv::FilePerson))) return false;
    auto copyPerson = [&]() {
      copyByName(OldPerson.decl(), qv::Person.decl());
      const Counts& n = counts[OPE.PERSONID];
      qv::PER.FROMCOUNT = n.from;
      qv::PER.TOCOUNT = n.to;
      qv::PER.LASTDATE = n.last;
      return qv::Person.append() || qv::ErrorCode() == qv::ErrDuplicateKey;
    };
    bool ok = true;
    if (m.personId != 0) {
      OPE.PERSONID = m.personId;
      if (OldPerson.get(OPE_PersonKey)) ok = copyPerson();
    }
    OldPerson.setFileOrder();
    while (ok && OldPerson.next()) {
      if (OPE.PERSONID == m.personId) continue;
      auto it = counts.find(OPE.PERSONID);
      if (it == counts.end() || (it->second.from == 0 && it->second.to == 0)) continue;
      ok = copyPerson();
    }
    OldPerson.close();
    if (!ok) {
      qv::Person.close();
      return fail("Record add error!\r\n" + qv::ErrorText(), qv::Person.label());
    }
    bool built = qv::Person.buildKeys();
    qv::Person.close();
    if (!built)
      return fail("The Person file could not be rebuilt! The databases cannot be converted!", "Conversion error!");
  }
  return true;
}

}  // namespace qvconv
