// show: the messages of a database, or one message with its text.
#include <cstdio>
#include <map>

#include "commands.h"
#include "browse/display_names.h"
#include "dictionary/dictionary.h"
#include "dictionary/file_numbers.h"
#include "services/databases.h"
#include "services/datetime.h"
#include "services/db_kind.h"
#include "services/file_scope.h"
#include "services/file_service.h"
#include "services/globals.h"
#include "services/installation.h"
#include "services/messages.h"
#include "storage/fixedstr.h"

namespace qvcli {

namespace {

// A person as show prints it: the name the browser's lists show, then the
// address in angle brackets (alone when the person has no name); "?" for
// a person that is missing.
std::string personName(uint32_t id) {
  static std::map<uint32_t, std::string> cache;
  auto it = cache.find(id);
  if (it != cache.end()) return it->second;
  qv::PER = qv::PersonRec();
  qv::PER.PERSONID = id;
  std::string s = "?";
  if (qv::Person.get(qv::PER_PersonKey)) {
    s = qv::personDisplayName();
    std::string address = qv::PER.ADDRESS.str();
    if (s == address) s.clear();
    if (!address.empty()) s += (s.empty() ? "<" : " <") + address + ">";
  }
  return cache[id] = s;
}

std::string threadSubject(uint32_t id) {
  std::string heading = qv::headingOfThread(id);
  return heading.empty() ? "?" : heading;
}

std::string sectionName(uint32_t id) {
  qv::SEC = qv::SectionsRec();
  qv::SEC.SECSYSID = id;
  if (!qv::Sections.get(qv::SEC_SysIdKey)) return "?";
  return std::to_string(qv::SEC.SECTIONNUMBER) + " " + qv::SEC.DESCRIPTION.str();
}

void printText(uint32_t number) {
  qv::TXT = qv::MsgTextRec();
  qv::TXT.MSGNUMBER = number;
  if (!qv::MsgText.get(qv::TXT_IdKey)) {
    say("(no text)\n");
    return;
  }
  std::string t;
  for (size_t i = 0; i < qv::TXT.MsgText.size(); ++i)
    if (!(qv::TXT.MsgText[i] == '\r' && i + 1 < qv::TXT.MsgText.size() && qv::TXT.MsgText[i + 1] == '\n'))
      t += qv::TXT.MsgText[i];
  say("\n%s\n", t.c_str());
}

std::string date(int32_t d) { return qv::formatDate(d, 10); }

// A message's date and its time to the second, as one message is shown;
// the date alone for a message without a known time.
std::string dateAndTime(int32_t d, int32_t t) {
  if (t <= 0) return date(d);
  int h = 0, m = 0, s = 0;
  qv::hmsFromTime(t, h, m, s);
  char clock[16];
  std::snprintf(clock, sizeof clock, "%02d:%02d:%02d", h, m, s);
  return date(d) + " " + clock;
}

// A name cut to a column's width on a character boundary (printf's
// precision counts bytes and would cut a character in two).
std::string fit(const std::string& s, size_t width) { return s.substr(0, qv::utf8CutLength(s, width)); }

}  // namespace

int cmdShow(const Args& argsIn) {
  Args args = argsIn;
  bool byThread = takeFlag(args, "--thread");
  bool bySender = takeFlag(args, "--sender");
  takeFlag(args, "--date");
  if (args.empty() || args.size() > 2) return fail("usage: show DB [--thread|--sender|--date] [MSGID]");
  if (!qv::findDatabase(args[0])) return fail("no database named \"" + args[0] + "\"");
  qv::useDatabase();
  uint32_t msgId = args.size() == 2 ? uint32_t(std::strtoul(args[1].c_str(), nullptr, 10)) : 0;
  bool mail = qv::Mem.ForumType == qv::KindMailDb;
  std::vector<int> files = mail ? std::vector<int>{qv::FileMail, qv::FileMsgText, qv::FilePerson, qv::FileCCR}
                                : std::vector<int>{qv::FileMsgNmbr, qv::FileMsgText, qv::FilePerson, qv::FileSections,
                                                   qv::FileThreads};
  qv::FileScope scope(files);
  int rc = 0;
  if (mail) {
    if (msgId) {
      qv::MAI = qv::MailRec();
      qv::MAI.MAILID = msgId;
      if (!qv::Mail.get(qv::MAI_IdKey)) {
        rc = fail("no mail " + std::to_string(msgId));
      } else {
        qv::MailRec m = qv::MAI;
        say("Mail:     %u\nDate:     %s\nFrom:     %s\nTo:       %s\nSubject:  %s\n", m.MAILID,
            dateAndTime(m.DATE, m.TIME).c_str(), personName(m.FROMID).c_str(), personName(m.TOID).c_str(),
            qv::mailSubject().c_str());
        if (m.CCR) {
          qv::CCR = qv::CCRRec();
          qv::CCR.MAILID = m.MAILID;
          qv::CCRFile.setPrefix(qv::CCR_IdKey, 1);
          while (qv::CCRFile.next() && qv::CCR.MAILID == m.MAILID)
            say("%-9s %s <%s>\n", (qv::CCR.RECIPTYPE.str() + ":").c_str(), qv::CCR.R_NAME.str().c_str(),
                qv::CCR.R_CISADRESS.str().c_str());
        }
        printText(m.MAILID);
      }
    } else {
      qv::Mail.set(byThread ? qv::MAI_SubjectKey : bySender ? qv::MAI_FromKey : qv::MAI_DateKey);
      while (qv::Mail.next()) {
        qv::MailRec m = qv::MAI;
        say("%-10u %s %-5s  %-30s -> %-30s  %s\n", m.MAILID, date(m.DATE).c_str(),
            qv::formatTime(m.TIME, 1).c_str(), fit(personName(m.FROMID), 30).c_str(),
            fit(personName(m.TOID), 30).c_str(), qv::mailSubject().c_str());
      }
    }
  } else {
    if (msgId) {
      qv::MSG = qv::MsgNmbrRec();
      qv::MSG.MSGNUMBER = msgId;
      if (!qv::MsgNmbr.get(qv::MSG_IdKey)) {
        rc = fail("no message " + std::to_string(msgId));
      } else {
        qv::MsgNmbrRec m = qv::MSG;
        say("Message:  %u\nDate:     %s\nSection:  %s\nThread:   %u %s\nReply to: %u\nFrom:     %s\nTo:       %s\n",
            m.MSGNUMBER, dateAndTime(m.DATE, qv::messageTime(m.MSGNUMBER)).c_str(), sectionName(m.SECSYSID).c_str(),
            m.THREADNUMBER,
            threadSubject(m.THREADNUMBER).c_str(), m.REFNUMBER, personName(m.FROMID).c_str(),
            personName(m.TOID).c_str());
        printText(m.MSGNUMBER);
      }
    } else {
      qv::MsgNmbr.set(byThread ? qv::MSG_Threadkey : bySender ? qv::MSG_FromKey : qv::MSG_DateKey);
      while (qv::MsgNmbr.next()) {
        qv::MsgNmbrRec m = qv::MSG;
        std::string subject = threadSubject(m.THREADNUMBER);
        say("%-10u %s  ref %-8u %-28s -> %-28s  %s\n", m.MSGNUMBER, date(m.DATE).c_str(), m.REFNUMBER,
            fit(personName(m.FROMID), 28).c_str(), fit(personName(m.TOID), 28).c_str(), subject.c_str());
        qv::MSG = m;
      }
    }
  }
  return rc;
}

}  // namespace qvcli
