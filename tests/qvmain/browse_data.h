// Records for the browser window tests: a small forum, newsgroup or mail
// database written record by record, so that a test knows what each view
// holds.
#pragma once

#include <string>
#include <vector>

#include "dictionary/dictionary.h"
#include "services/databases.h"
#include "services/file_service.h"
#include "services/globals.h"

namespace qvtest {

inline bool addRecord(int file) {
  qv::OP_CLOSE(qv::OpShared, {file});
  bool ok = qv::declaredFile(file).add();
  qv::OP_CLOSE(qv::OpRelease, {file});
  return ok;
}

// A new database of the kind (1 forum, 2 mail, 3 newsgroup), made current.
inline uint32_t makeBrowseDatabase(int kind, const std::string& name) {
  uint32_t id = 0;
  if (kind == 2) {
    qv::MailboxSpec spec;
    spec.owner = name;
    spec.address = "owner@example.org";
    id = qv::AddMailbox(spec, false, 0);
  } else {
    id = qv::AddForumDatabase(name, kind, 0);
  }
  if (id != 0) qv::selectDatabase(id);
  return id;
}

inline void addPerson(uint32_t id, const std::string& first, const std::string& last, uint32_t from = 0,
                      uint32_t to = 0) {
  qv::PER = qv::PersonRec();
  qv::PER.PERSONID = id;
  qv::PER.PERSONSTRING = first + " " + last + " " + std::to_string(id);
  qv::PER.FIRSTNAME = first;
  qv::PER.LASTNAME = last;
  qv::PER.FROMCOUNT = from;
  qv::PER.TOCOUNT = to;
  addRecord(5);
}

inline void addSection(uint32_t id, int number, const std::string& description) {
  qv::SEC = qv::SectionsRec();
  qv::SEC.SECSYSID = id;
  qv::SEC.SECTIONNUMBER = uint8_t(number);
  qv::SEC.DESCRIPTION = description;
  addRecord(6);
}

inline void addThread(uint32_t id, uint32_t sectionId, const std::string& heading, uint32_t count = 0) {
  qv::THR = qv::ThreadsRec();
  qv::THR.THREADNUMBER = id;
  qv::THR.SECSYSID = sectionId;
  qv::THR.ALPHA = heading.substr(0, 10);
  qv::THR.BETA = heading.size() > 10 ? heading.substr(10) : std::string();
  qv::THR.MSGCOUNT = count;
  addRecord(7);
}

inline std::string alphaOf(uint32_t personId, size_t width = 10) {
  qv::OP_CLOSE(qv::OpShared, {5});
  qv::PER = qv::PersonRec();
  qv::PER.PERSONID = personId;
  std::string a = qv::Person.get(qv::PER_PersonKey) ? qv::PER.LASTNAME.str() : std::string();
  qv::OP_CLOSE(qv::OpRelease, {5});
  return a.substr(0, width);
}

inline void addText(uint32_t id, const std::string& body) {
  if (body.empty()) return;
  qv::TXT = qv::MsgTextRec();
  qv::TXT.MSGNUMBER = id;
  qv::TXT.MsgText = body;
  addRecord(4);
}

inline void addMessage(uint32_t number, uint32_t threadId, uint32_t from, uint32_t to, int32_t date,
                       const std::string& body = {}, uint8_t status = 0, uint32_t ref = 0) {
  qv::OP_CLOSE(qv::OpShared, {7});
  qv::THR = qv::ThreadsRec();
  qv::THR.THREADNUMBER = threadId;
  qv::Threads.get(qv::THR_ThreadKey);
  qv::ThreadsRec t = qv::THR;
  qv::OP_CLOSE(qv::OpRelease, {7});
  std::string fromAlpha = alphaOf(from), toAlpha = alphaOf(to);
  qv::MSG = qv::MsgNmbrRec();
  qv::MSG.MSGNUMBER = number;
  qv::MSG.SECSYSID = t.SECSYSID;
  qv::MSG.REFNUMBER = ref;
  qv::MSG.THREADNUMBER = threadId;
  qv::MSG.THREADALPHA = t.ALPHA;
  qv::MSG.FROMID = from;
  qv::MSG.FROMALPHA = fromAlpha;
  qv::MSG.TOID = to;
  qv::MSG.TOALPHA = toAlpha;
  qv::MSG.DATE = date;
  qv::MSG.DUMMY = status;
  addRecord(3);
  addText(number, body);
}

// A mail between the owner and a partner; `sent` when the owner wrote it.
inline void addMail(uint32_t id, uint32_t owner, uint32_t partner, bool sent, int32_t date, int32_t time,
                    const std::string& subject, const std::string& body = {}, uint8_t status = 0) {
  uint32_t from = sent ? owner : partner, to = sent ? partner : owner;
  qv::MAI = qv::MailRec();
  qv::MAI.MAILID = id;
  qv::MAI.DATE = date;
  qv::MAI.TIME = time;
  qv::MAI.SUBJECT = subject;
  qv::MAI.FROMID = from;
  qv::MAI.FROMALPHA = alphaOf(from);
  qv::MAI.TOID = to;
  qv::MAI.TOALPHA = alphaOf(to);
  qv::MAI.PAIRID = partner;
  qv::MAI.PAIRALPHA = alphaOf(partner, 25);
  qv::MAI.RECIPTYPE = "TO";
  qv::MAI.DUMMY = status;
  addRecord(13);
  addText(id, body);
}

inline void addWord(uint32_t wordId, const std::string& word, const std::vector<uint32_t>& messages) {
  qv::WOR = qv::WordListRec();
  qv::WOR.WORDID = int32_t(wordId);
  qv::WOR.THEWORD = word;
  qv::WOR.WORDCOUNT = int32_t(messages.size());
  addRecord(28);
  for (uint32_t m : messages) {
    qv::MAS = qv::MasIdxRec();
    qv::MAS.SYSID = m;
    qv::MAS.WORDID = wordId;
    addRecord(29);
  }
}

// Three threads in two sections, four people, six messages:
//   500 thread 1000 Ann -> Bob        503 thread 1002 Ann -> Cid (section 200)
//   501 thread 1000 Bob -> Ann        504 thread 1000 Ann -> Dee
//   502 thread 1001 Cid -> Ann        505 thread 1001 Dee -> Bob
inline uint32_t sampleForum(int kind = 1, const std::string& name = "Browse Forum") {
  uint32_t id = makeBrowseDatabase(kind, name);
  addSection(100, 1, "General");
  addSection(200, 4, "Utilities");
  addPerson(10, "Ann", "Lee", 3, 2);
  addPerson(11, "Bob", "Ray", 1, 2);
  addPerson(12, "Cid", "Zed", 1, 1);
  addPerson(13, "Dee", "Adams", 1, 1);
  addThread(1000, 100, "Pears and apples", 3);
  addThread(1001, 100, "Bananas", 2);
  addThread(1002, 200, "Cherries", 1);
  addMessage(500, 1000, 10, 11, 100, "I like apples.\r\nRed apples most.\r\n");
  addMessage(501, 1000, 11, 10, 102, "Pears are better.\r\n", 0, 500);
  addMessage(502, 1001, 12, 10, 101, "Bananas!\r\n");
  addMessage(503, 1002, 10, 12, 105, "Cherries are red.\r\n");
  addMessage(504, 1000, 10, 13, 103, "Apples again.\r\n", 1, 501);
  addMessage(505, 1001, 13, 11, 104, "More bananas.\r\n", 0, 502);
  return id;
}

}  // namespace qvtest
