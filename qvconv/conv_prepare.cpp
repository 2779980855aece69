// The preparation of the full conversion: the old files are opened and
// checked, database definitions that cannot be converted are dropped, and
// the database list, control file and mailbox list are saved as SAVxxx.ADF
// in the program directory. Nothing of the installation changes here but
// the saved copies: definitions are dropped when the new list is written.
#include <algorithm>
#include <filesystem>

#include "conv_files.h"
#include "conv_impl.h"
#include "dictionary/config_files.h"
#include "dictionary/file_numbers.h"
#include "old_files.h"
#include "services/prompt.h"
#include "storage/collation.h"
#include "storage/errors.h"

namespace fs = std::filesystem;

namespace qvconv {

namespace {

std::string trimmed(const std::string& s) {
  size_t n = s.find_last_not_of(' ');
  return n == std::string::npos ? std::string() : s.substr(0, n + 1);
}

// The files of a database that the conversion reads with the old
// declarations; a file that is not there is made by the conversion.
bool databaseFilesMatch(const OldDatabase& db, std::string& badFile) {
  struct Check {
    File* file;
    int number;
  };
  std::vector<Check> checks = {{&OldPerson, qv::FilePerson}, {&OldCodes, qv::FileCodes}};
  if (db.type == 2) {
    checks.push_back({&OldMail, qv::FileMail});
    checks.push_back({&OldMsgText, qv::FileMsgText});
  }
  for (const Check& ch : checks) {
    std::string path = db.dir + "/" + idxName(ch.number);
    if (!fileExists(path)) continue;
    if (!matchesDeclaration(*ch.file, path)) {
      badFile = idxName(ch.number);
      return false;
    }
  }
  return true;
}

bool readMailboxes(Conversion& c) {
  c.mailboxes.clear();
  std::string path = c.rootFile(FileMailBoxes);
  if (fileExists(path)) {
    if (!openExisting(MailBoxes, path)) return false;
    MailBoxes.setFileOrder();
    while (MailBoxes.next()) {
      Mailbox m;
      m.owner = trimmed(MBX.OWNER.str());
      m.personId = MBX.PERSONID;
      c.mailboxes.push_back(m);
    }
    MailBoxes.close();
  }
  return true;
}

}  // namespace

bool prepare(Conversion& c) {
  // 1. The old files. A database list of another layout beside the saved
  // copies is one that a conversion cut short has written.
  if (!openExisting(OldForums30, c.rootFile(qv::FileForums), true)) {
    if (qv::ErrorCode() == qv::ErrLayout && fileExists(c.root() + "/" + savName(qv::FileForums)))
      return fail(interruptedText(), "Conversion error!");
    showOpenFailure(c.rootFile(qv::FileForums));
    return false;
  }
  if (!OldForums30.hasRecords()) {
    OldForums30.close();
    return fail("The Forum file does not contain any records! The databases cannot be converted!", "Conversion error!");
  }
  std::vector<OldDatabase> all;
  OldForums30.setFileOrder();
  while (OldForums30.next())
    all.push_back({OF3.ID, trimmed(OF3.DESCRIPTION.str()), OF3.DIRNUMBER, OF3.TYPE,
                   databaseDir(c.inst.dataDir, OF3.DIRNUMBER)});
  OldForums30.close();
  if (!readMailboxes(c)) return false;
  {
    std::array<uint8_t, 200> probe{};
    if (!readControlBlock(c.controlPath(), 1, probe)) {
      std::string path = c.controlPath();
      return openExisting(qv::Control, path) ? (qv::Control.close(), true) : false;
    }
  }

  // 2. Every database must have its directory and files of the old layout.
  c.databases.clear();
  c.removed.clear();
  c.mailIndex = -1;
  uint32_t highest = 0;
  for (const OldDatabase& db : all) {
    highest = std::max(highest, db.dirNumber);
    std::error_code ec;
    if (!fs::is_directory(db.dir, ec)) {
      qv::Button b = qv::Message("Directory path " + db.dir + " does not exist! If you press OK this database " +
                                     "definition will be removed from the Forum file. If you press Cancel the " +
                                     "conversion will be aborted.",
                                 "Warning!", qv::Icon::Exclamation, qv::BtnOk | qv::BtnCancel, qv::BtnOk);
      if (b != qv::BtnOk) return false;
      c.removed.insert(db.id);
      continue;
    }
    // A database whose files cannot be read is left out only when the user
    // says so (Cancel, the default, ends the conversion with nothing changed).
    std::string badFile;
    if (!databaseFilesMatch(db, badFile)) {
      qv::Button b =
          qv::Message("The file " + badFile + " in the database " + db.name + " does not have the correct format.\r\n" +
                          "This database will not be converted and the definition will be removed from the Forum "
                          "file. If you press Cancel the conversion will be aborted.\r\n",
                      "Warning", qv::Icon::Exclamation, qv::BtnOk | qv::BtnCancel, qv::BtnCancel);
      if (b != qv::BtnOk) return false;
      c.removed.insert(db.id);
      continue;
    }
    if (db.type == 2 && c.mailIndex < 0) c.mailIndex = int(c.databases.size());
    c.databases.push_back(db);
  }
  c.nextDir = highest + 1;

  // 3. The saved copies.
  const int saved[] = {qv::FileForums, qv::FileControl, FileMailBoxes};
  for (int n : saved)
    if (!removeFile(c.root() + "/" + savName(n)))
      return fail("Could not remove existing SAVxxx.ADF files in program directory.", "Setup problem!");
  for (int n : saved) {
    std::string from = c.rootFile(n);
    if (!fileExists(from)) continue;  // an installation without mailboxes has no IDX016
    if (!copyFile(from, c.root() + "/" + savName(n)))
      return fail("Could not save IDX002.ADF, IDX008.ADF and IDX016.ADF as SAVxxx.ADF files in program directory.",
                  "Setup problem!");
  }
  return true;
}

bool stepOwners(Conversion& c) {
  if (c.mailboxes.size() > 1) {
    std::vector<std::string> names;
    for (const Mailbox& m : c.mailboxes) names.push_back(qv::foldUpper(m.owner));
    std::sort(names.begin(), names.end());
    if (std::adjacent_find(names.begin(), names.end()) != names.end())
      return fail("You have two mailboxes with the same owner name! Please change the owner name of one of them in "
                  "MailPartners|Browse Mail Partners before converting.",
                  "Setup problem!");
  }
  // Mail without any mailbox still has a home: one mailbox named after the
  // mail database, without an owner.
  if (c.mailboxes.empty() && c.mailIndex >= 0) {
    std::string name = c.databases[size_t(c.mailIndex)].name;
    if (qv::foldUpper(name.substr(0, 4)) == "CIS:") name = name.substr(4);
    Mailbox m;
    m.owner = name.empty() ? std::string("Mail") : name;
    c.mailboxes.push_back(m);
  }
  return true;
}

}  // namespace qvconv
