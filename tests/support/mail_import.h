// A fixture for end-to-end mail imports: a fresh installation with a
// mailbox, an import run over files, a directory or a tree, and the mail as
// it was stored (subject, date, sender, recipient, text, further recipients).
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "dictionary/dictionary.h"
#include "dictionary/file_numbers.h"
#include "import/import_run.h"
#include "services/databases.h"
#include "services/file_service.h"
#include "services/installation.h"
#include "services/messages.h"
#include "support/services_fixture.h"

namespace qvtest {

struct StoredMail {
  uint32_t id = 0;
  std::string subject;
  int32_t date = 0, time = 0;
  std::string from, fromAddress;  // the sender's person string and address
  std::string to, toAddress;      // the recipient's
  bool fromOwner = false;         // the sender is the mailbox owner (a sent mail)
  std::string text;
  std::vector<qv::CCRRec> copies;
};

class MailImportTest : public InstallationTest {
 protected:
  static constexpr const char* kOwner = "Mary Owner";
  static constexpr const char* kOwnerAddress = "mary@owner.example";
  static constexpr const char* kOwnerAlternative = "m.owner@old.example";

  void SetUp() override {
    InstallationTest::SetUp();
    newMailbox(kOwner);
  }

  // Makes a further mailbox the target; the first one has the owner
  // addresses above, a further one its own.
  void newMailbox(const std::string& name) {
    qv::MailboxSpec spec;
    spec.owner = name;
    spec.address = mailbox == 0 ? kOwnerAddress : "box" + std::to_string(mailbox) + "@owner.example";
    spec.alternatives[0] = mailbox == 0 ? kOwnerAlternative : "";
    mailbox = qv::AddMailbox(spec, false);
    ASSERT_NE(mailbox, 0u) << prompts.transcript();
  }

  // Runs an import of mail to its end; returns the run's result (1 completed).
  int importMail(const std::string& format, int method, const std::string& path, std::vector<std::string> masks,
                 qv::ImportView* view = nullptr) {
    qv::ImportSettings s;
    s.format = format;
    s.method = method;
    s.path = path;
    s.masks = std::move(masks);
    s.importMail = true;
    s.mailbox = mailbox;
    qv::ImportRun r(s);
    for (int guard = 0; r.step() && guard < 10000000; ++guard) {
    }
    r.close();
    if (view) *view = r.view();
    return r.result();
  }
  int importFiles(const std::string& format, const std::vector<std::string>& paths, qv::ImportView* view = nullptr) {
    return importMail(format, qv::SelectFiles, dir.path(), paths, view);
  }

  // The mail of the mailbox in the order it was converted.
  std::vector<StoredMail> stored() {
    std::vector<StoredMail> out;
    if (!qv::findDatabase(mailbox)) return out;
    uint32_t owner = qv::FOR.PERSONID;
    qv::useDatabase();
    qv::OP_CLOSE(qv::OpShared, {qv::FileMail, qv::FileMsgText, qv::FilePerson, qv::FileCCR});
    qv::Mail.set(qv::MAI_IdKey);
    while (qv::Mail.next()) {
      StoredMail m;
      m.id = qv::MAI.MAILID;
      m.subject = qv::mailSubject();
      m.date = qv::MAI.DATE;
      m.time = qv::MAI.TIME;
      m.fromOwner = qv::MAI.FROMID == owner;
      out.push_back(m);
      out.back().from = std::to_string(qv::MAI.FROMID);
      out.back().to = std::to_string(qv::MAI.TOID);
    }
    for (StoredMail& m : out) {
      qv::PER = qv::PersonRec();
      qv::PER.PERSONID = uint32_t(std::stoul(m.from));
      m.from = qv::Person.get(qv::PER_PersonKey) ? qv::PER.PERSONSTRING.str() : "";
      m.fromAddress = qv::PER.ADDRESS.str();
      qv::PER = qv::PersonRec();
      qv::PER.PERSONID = uint32_t(std::stoul(m.to));
      m.to = qv::Person.get(qv::PER_PersonKey) ? qv::PER.PERSONSTRING.str() : "";
      m.toAddress = qv::PER.ADDRESS.str();
      qv::TXT = qv::MsgTextRec();
      qv::TXT.MSGNUMBER = m.id;
      if (qv::MsgText.get(qv::TXT_IdKey)) m.text = qv::TXT.MsgText;
    }
    std::sort(out.begin(), out.end(), [](const StoredMail& a, const StoredMail& b) { return a.id < b.id; });
    qv::CCRFile.setFileOrder();
    while (qv::CCRFile.next())
      for (StoredMail& m : out)
        if (m.id == qv::CCR.MAILID) m.copies.push_back(qv::CCR);
    qv::OP_CLOSE(qv::OpRelease, {qv::FileMail, qv::FileMsgText, qv::FilePerson, qv::FileCCR});
    return out;
  }

  const StoredMail* bySubject(const std::vector<StoredMail>& mails, const std::string& subject) {
    for (const StoredMail& m : mails)
      if (m.subject == subject) return &m;
    return nullptr;
  }

  uint32_t mailbox = 0;
};

}  // namespace qvtest
