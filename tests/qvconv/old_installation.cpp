#include "old_installation.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "conv_files.h"
#include "conv_install.h"
#include "dictionary/config_files.h"
#include "dictionary/database_files.h"
#include "dictionary/file_numbers.h"
#include "dictionary/temp_files.h"
#include "old_files.h"
#include "services/settings.h"
#include "services/settings_items.h"

namespace fs = std::filesystem;
using namespace qvconv;

namespace qvtest {

namespace {

void create(qv::File& f, const std::string& path) {
  fs::create_directories(fs::path(path).parent_path());
  ASSERT_TRUE(createNew(f, path)) << path << ": " << qv::ErrorText();
}

void add(qv::File& f) { ASSERT_TRUE(f.add()) << f.label() << ": " << qv::ErrorText(); }

void writeControl(const std::string& path, int version) {
  create(qv::Control, path);
  qv::CTL = qv::ControlRec();
  qv::CTL.ID = qv::BlockGeneral;
  qv::CTL.NEXTNUMBER = 300000;
  qv::setRawItem(qv::BlockGeneral, qv::CTL.CTLFIELD, qv::ItemConfigVersion, version);
  add(qv::Control);
  qv::CTL = qv::ControlRec();
  qv::CTL.ID = qv::BlockPaths;
  qv::CTL.CTLFIELD.fill(' ');
  add(qv::Control);
  qv::Control.close();
}

void oldForum(uint32_t id, const std::string& name, uint32_t dir, uint8_t type, uint32_t count) {
  OF3 = OldForums30Rec();
  OF3.ID = id;
  OF3.DESCRIPTION = name;
  OF3.DIRNUMBER = dir;
  OF3.TYPE = type;
  OF3.MSGCOUNT = count;
  OF3.CREATED = 72000;
  add(OldForums30);
}

void oldPerson(uint32_t id, const std::string& first, const std::string& last, const std::string& address) {
  OPE = OldPersonRec();
  OPE.PERSONID = id;
  std::string upper = first + " " + last + " " + address;
  for (char& ch : upper) ch = char(std::toupper(static_cast<unsigned char>(ch)));
  OPE.PERSONSTRING = upper;
  OPE.LASTNAME = last;
  OPE.FIRSTNAME = first;
  OPE.ADDRESS = address;
  OPE.FROMCOUNT = 1;
  add(OldPerson);
}

void oldCode(const std::string& text, uint32_t id, uint32_t count) {
  OCO = OldCodesRec();
  OCO.TYPE = 0;
  OCO.INDEX = text;
  OCO.ID = id;
  OCO.COUNT = count;
  add(OldCodes);
}

void link(uint32_t code, uint32_t message) {
  qv::SIN.ID = code;
  qv::SIN.MSGNUMBER = message;
  add(qv::SIndex);
}

// A forum database: one section, one thread of `texts.size()` messages
// numbered from `first`, two members, a key word attached to the first
// message.
void writeForum(const std::string& dir, uint32_t base, uint32_t first, const std::string& subject,
                const std::vector<std::string>& texts) {
  create(qv::Sections, dir + "/IDX006.ADF");
  qv::SEC = qv::SectionsRec();
  qv::SEC.SECTIONNUMBER = 1;
  qv::SEC.SECSYSID = base + 1;
  qv::SEC.DESCRIPTION = "General";
  qv::SEC.MSGCOUNT = uint32_t(texts.size());
  add(qv::Sections);
  qv::Sections.close();
  create(qv::Threads, dir + "/IDX007.ADF");
  qv::THR = qv::ThreadsRec();
  qv::THR.THREADNUMBER = base + 2;
  qv::THR.SECSYSID = base + 1;
  qv::THR.ALPHA = subject.substr(0, 10);
  qv::THR.BETA = subject.size() > 10 ? subject.substr(10) : "";
  qv::THR.MSGCOUNT = uint32_t(texts.size());
  add(qv::Threads);
  qv::Threads.close();
  create(OldPerson, dir + "/IDX005.ADF");
  oldPerson(base + 3, "Ann", "Smith", "76543,210");
  oldPerson(base + 4, "Bob", "Jones", "71234,567");
  OldPerson.close();
  create(qv::MsgNmbr, dir + "/IDX003.ADF");
  create(qv::MsgText, dir + "/IDX004.ADF");
  for (size_t i = 0; i < texts.size(); ++i) {
    qv::MSG = qv::MsgNmbrRec();
    qv::MSG.MSGNUMBER = first + uint32_t(i);
    qv::MSG.SECSYSID = base + 1;
    qv::MSG.REFNUMBER = i == 0 ? 0 : first;
    qv::MSG.THREADNUMBER = base + 2;
    qv::MSG.THREADALPHA = subject.substr(0, 10);
    qv::MSG.FROMID = i % 2 == 0 ? base + 3 : base + 4;
    qv::MSG.FROMALPHA = i % 2 == 0 ? "Smith" : "Jones";
    qv::MSG.TOID = i % 2 == 0 ? base + 4 : base + 3;
    qv::MSG.TOALPHA = i % 2 == 0 ? "Jones" : "Smith";
    qv::MSG.DATE = 72000 + int32_t(i);
    add(qv::MsgNmbr);
    qv::TXT = qv::MsgTextRec();
    qv::TXT.MSGNUMBER = first + uint32_t(i);
    qv::TXT.DATE = 72000 + int32_t(i);
    qv::TXT.TIME = 360001;
    qv::TXT.MsgText = texts[i];
    add(qv::MsgText);
  }
  qv::MsgNmbr.close();
  qv::MsgText.close();
  create(OldCodes, dir + "/IDX001.ADF");
  oldCode("Printer", base + 10, 1);
  OldCodes.close();
  create(qv::SIndex, dir + "/IDX009.ADF");
  link(base + 10, first);
  qv::SIndex.close();
}

void oldMail(uint32_t id, const std::string& box, uint32_t from, const std::string& fromName, uint32_t to,
             const std::string& toName, uint32_t pair, const std::string& pairName, const std::string& subject,
             const std::string& text) {
  OMA = OldMailRec();
  OMA.DATE = 72100 + int32_t(id % 100);
  OMA.TIME = 4000001;
  OMA.SUBJECT = subject;
  OMA.MAILID = id;
  OMA.FROMID = from;
  OMA.FROMALPHA = fromName;
  OMA.TOID = to;
  OMA.TOALPHA = toName;
  OMA.PAIRID = pair;
  OMA.PAIRALPHA = pairName;
  OMA.RECIPTYPE = "TO";
  OMA.MAILBOX = box;
  add(OldMail);
  OTX = OldMsgTextRec();
  OTX.MSGNUMBER = id;
  OTX.DATE = OMA.DATE;
  OTX.TIME = OMA.TIME;
  OTX.MsgText = text;
  add(OldMsgText);
}

void writeMailDatabase(const std::string& dir, const std::string& john) {
  create(OldMail, dir + "/IDX013.ADF");
  create(OldMsgText, dir + "/IDX004.ADF");
  oldMail(kMailDateHeader, "Mary Owner", kAliceId, "Brown", kMaryId, "Owner", kAliceId, "Brown", "Hello from Alice",
          "Date: Mon, 1 Jan 1996 10:00:00 +0100\r\nFrom: Alice Brown <alice@home.example>\r\nTo: Mary Owner "
          "<mary@owner.example>\r\nSubject: Hello from Alice\r\n\r\nHi Mary,\r\nthe garden is blooming.\r\n");
  oldMail(kMailGreeting, "Mary Owner", kMaryId, "Owner", kAliceId, "Brown", kAliceId, "Brown", "Pictures",
          kGreetingText);
  oldMail(kMailHtml, "Mary Owner", kAliceId, "Brown", kMaryId, "Owner", kAliceId, "Brown", "Newsletter",
          "From: Alice Brown <alice@home.example>\r\nMIME-Version: 1.0\r\nContent-Type: multipart/alternative;\r\n"
          "\tboundary=\"XYZ\"\r\n\r\nThis is a multi-part message.\r\n--XYZ\r\nContent-Type: text/plain\r\n\r\n"
          "Plain newsletter text.\r\n--XYZ\r\nContent-Type: text/html\r\n\r\n<html><b>Bold</b> news</html>\r\n"
          "--XYZ--\r\n");
  oldMail(kMailJohn, john, kBobId, "Miller", kJohnId, "Smith", kBobId, "Miller", "Fishing trip",
          "Hi John,\r\nshall we go fishing on Sunday?\r\n");
  oldMail(kMailReceived, john, kJohnId, "Smith", kBobId, "Miller", kBobId, "Miller", "Re: Fishing trip",
          "Received: from mail.example by relay.example\r\n\tfor <bob@river.example>\r\nMessage-ID: "
          "<5@john.example>\r\n\r\nSunday is fine.\r\n");
  OldMail.close();
  OldMsgText.close();
  create(OldPerson, dir + "/IDX005.ADF");
  oldPerson(kMaryId, "Mary", "Owner", "mary@owner.example");
  oldPerson(kJohnId, "John", "Smith", "john@smith.example");
  oldPerson(kAliceId, "Alice", "Brown", "alice@home.example");
  oldPerson(kBobId, "Bob", "Miller", "bob@river.example");
  oldPerson(kCarlId, "Carl", "Quiet", "carl@quiet.example");
  OldPerson.close();
  create(OldCodes, dir + "/IDX001.ADF");
  oldCode("Family", 280001, 2);
  OldCodes.close();
  create(qv::SIndex, dir + "/IDX009.ADF");
  link(280001, kMailDateHeader);
  link(280001, kMailJohn);
  qv::SIndex.close();
  create(qv::CCRFile, dir + "/IDX017.ADF");
  qv::CCR = qv::CCRRec();
  qv::CCR.MAILID = kMailGreeting;
  qv::CCR.R_NAME = "Carl Quiet";
  qv::CCR.R_CISADRESS = "carl@quiet.example";
  qv::CCR.RECIPTYPE = "CC";
  add(qv::CCRFile);
  qv::CCRFile.close();
}

}  // namespace

void writeOldInstallation(const std::string& root, const OldInstallationOptions& o) {
  fs::create_directories(root);
  writeControl(root + "/IDX008.ADF", o.version);
  create(OldForums30, root + "/IDX002.ADF");
  oldForum(250001, "CIS:IBMPRO", 1, 1, 3);
  oldForum(250002, "CIS:MACFORUM", 2, 1, 1);
  oldForum(250003, "CIS:MAIL", 3, 2, 5);
  if (o.missingDirectory) oldForum(250004, "CIS:GONE", 7, 1, 0);
  OldForums30.close();
  create(MailBoxes, root + "/IDX016.ADF");
  MBX.OWNER = "Mary Owner";
  MBX.PERSONID = kMaryId;
  add(MailBoxes);
  MBX.OWNER = o.duplicateOwners ? "Mary Owner" : "John Smith";
  MBX.PERSONID = kJohnId;
  add(MailBoxes);
  MailBoxes.close();
  create(OldFileList, root + "/IDX027.ADF");
  OFL.ID = 1;
  OFL.FILESPEC = "C:\\CSERVE\\WINCIM\\*.MSG";
  add(OldFileList);
  OFL.ID = 1;
  OFL.FILESPEC = "C:\\CSERVE\\MAIL\\FILING.MBX";
  add(OldFileList);
  OldFileList.close();
  create(qv::ImpRegistry, root + "/IDX018.ADF");
  qv::IMP.FORUMNUMBER = 250001;
  qv::IMP.MSGNUMBER = 1001;
  add(qv::ImpRegistry);
  qv::ImpRegistry.close();
  create(qv::ImpHeader, root + "/IDX010.ADF");
  qv::ImpHeader.close();
  create(qv::ImpCCR, root + "/IDX019.ADF");
  qv::ImpCCR.close();
  writeForum(root + "/F1", 290000, 1001, "Printer drivers for the laser",
             {"Which driver works with the LaserJet 4?\r\n", "The one from the library works fine.\r\n",
              "Thanks, printing again.\r\n"});
  writeForum(root + "/F2", 291000, 2001, "System 7 upgrade", {"Is System 7.5 worth it?\r\n"});
  writeMailDatabase(root + "/F3", o.duplicateOwners ? "Mary Owner" : "John Smith");
}

void writeNewLayout(const std::string& root, int version) {
  std::string cfg = root + "/CFG";
  fs::create_directories(cfg);
  writeControl(cfg + "/IDX008.ADF", version);
  bool oldLists = version < kNoNeedFrom || (version > kNoNeedTo && version < kTargetVersion);
  struct Db {
    uint32_t id;
    const char* name;
    uint32_t dir;
    uint8_t type;
  };
  const Db dbs[] = {{250001, "CIS:IBMPRO", 1, 1}, {250002, "Mary Owner", 2, 2}};
  if (oldLists) {
    create(OldForums40, cfg + "/IDX002.ADF");
    for (const Db& d : dbs) {
      OF4 = OldForums40Rec();
      OF4.ID = d.id;
      OF4.DESCRIPTION = d.name;
      OF4.DIRNUMBER = d.dir;
      OF4.TYPE = d.type;
      OF4.PERSONID = d.type == 2 ? kMaryId : 0;
      add(OldForums40);
    }
    OldForums40.close();
    create(OldFileList, cfg + "/IDX027.ADF");
    OFL.ID = 7;
    OFL.FILESPEC = "C:\\CSERVE\\WINCIM\\*.MSG";
    add(OldFileList);
    OldFileList.close();
  } else {
    create(qv::Forums, cfg + "/IDX002.ADF");
    for (const Db& d : dbs) {
      qv::FOR = qv::ForumsRec();
      qv::FOR.ID = d.id;
      qv::FOR.DESCRIPTION = d.name;
      qv::FOR.DIRNUMBER = d.dir;
      qv::FOR.TYPE = d.type;
      add(qv::Forums);
    }
    qv::Forums.close();
  }
  for (const Db& d : dbs) fs::create_directories(root + "/F" + std::to_string(d.dir));
}

}  // namespace qvtest
