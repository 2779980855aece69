// Records of a small forum, newsgroup or mail database written one by one,
// so that a test knows exactly what each browser view holds. Shared by the
// library's and the windows' tests; each writer returns false when a record
// could not be written.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "dictionary/dictionary.h"
#include "dictionary/file_numbers.h"
#include "services/databases.h"
#include "services/db_kind.h"
#include "services/file_service.h"
#include "services/globals.h"

namespace qvtest {

inline bool addRecord(int file) {
  qv::OP_CLOSE(qv::OpShared, {file});
  bool ok = qv::declaredFile(file).add();
  qv::OP_CLOSE(qv::OpRelease, {file});
  return ok;
}

// A new database of the kind (qv::DbKind), made current; 0 when it could not
// be made or selected.
inline uint32_t makeBrowseDatabase(int kind, const std::string& name) {
  uint32_t id = 0;
  if (kind == qv::KindMailDb) {
    qv::MailboxSpec spec;
    spec.owner = name;
    spec.address = "owner@example.org";
    id = qv::AddMailbox(spec, false, 0);
  } else {
    id = qv::AddForumDatabase(name, kind, 0);
  }
  return id != 0 && qv::selectDatabase(id) ? id : 0;
}

inline bool addPerson(uint32_t id, const std::string& first, const std::string& last, uint32_t from = 0,
                      uint32_t to = 0, const std::string& address = {}) {
  qv::PER = qv::PersonRec();
  qv::PER.PERSONID = id;
  qv::PER.PERSONSTRING = first + " " + last + " " + std::to_string(id);
  qv::PER.FIRSTNAME = first;
  qv::PER.LASTNAME = last;
  qv::PER.ADDRESS = address;
  qv::PER.FROMCOUNT = from;
  qv::PER.TOCOUNT = to;
  return addRecord(qv::FilePerson);
}

inline bool addSection(uint32_t id, int number, const std::string& description, uint32_t count = 0) {
  qv::SEC = qv::SectionsRec();
  qv::SEC.SECSYSID = id;
  qv::SEC.SECTIONNUMBER = uint8_t(number);
  qv::SEC.DESCRIPTION = description;
  qv::SEC.MSGCOUNT = count;
  return addRecord(qv::FileSections);
}

inline bool addThread(uint32_t id, uint32_t sectionId, const std::string& heading, uint32_t count = 0) {
  qv::THR = qv::ThreadsRec();
  qv::THR.THREADNUMBER = id;
  qv::THR.SECSYSID = sectionId;
  qv::THR.ALPHA = heading.substr(0, 10);
  qv::THR.BETA = heading.size() > 10 ? heading.substr(10) : std::string();
  qv::THR.MSGCOUNT = count;
  return addRecord(qv::FileThreads);
}

// The first `width` characters of a person's last name, as the keys hold it.
inline std::string alphaOf(uint32_t personId, size_t width = 10) {
  qv::OP_CLOSE(qv::OpShared, {qv::FilePerson});
  qv::PER = qv::PersonRec();
  qv::PER.PERSONID = personId;
  std::string a = qv::Person.get(qv::PER_PersonKey) ? qv::PER.LASTNAME.str() : std::string();
  qv::OP_CLOSE(qv::OpRelease, {qv::FilePerson});
  return a.substr(0, width);
}

inline bool addText(uint32_t id, const std::string& body) {
  if (body.empty()) return true;
  qv::TXT = qv::MsgTextRec();
  qv::TXT.MSGNUMBER = id;
  qv::TXT.MsgText = body;
  return addRecord(qv::FileMsgText);
}

// A forum or newsgroup message in the thread and section given, whether or
// not their records exist (a thread tree test writes messages of purged
// threads); the thread's key holds the first 10 characters of `heading`.
inline bool addMessageIn(uint32_t number, uint32_t threadId, uint32_t sectionId, const std::string& heading,
                         uint32_t from, uint32_t to, int32_t date, const std::string& body = {}, uint8_t status = 0,
                         uint32_t ref = 0) {
  std::string fromAlpha = alphaOf(from), toAlpha = alphaOf(to);
  qv::MSG = qv::MsgNmbrRec();
  qv::MSG.MSGNUMBER = number;
  qv::MSG.SECSYSID = sectionId;
  qv::MSG.REFNUMBER = ref;
  qv::MSG.THREADNUMBER = threadId;
  qv::MSG.THREADALPHA = heading.substr(0, 10);
  qv::MSG.FROMID = from;
  qv::MSG.FROMALPHA = fromAlpha;
  qv::MSG.TOID = to;
  qv::MSG.TOALPHA = toAlpha;
  qv::MSG.DATE = date;
  qv::MSG.DUMMY = status;
  return addRecord(qv::FileMsgNmbr) && addText(number, body);
}

// A forum or newsgroup message of an existing thread.
inline bool addMessage(uint32_t number, uint32_t threadId, uint32_t from, uint32_t to, int32_t date,
                       const std::string& body = {}, uint8_t status = 0, uint32_t ref = 0) {
  qv::OP_CLOSE(qv::OpShared, {qv::FileThreads});
  qv::THR = qv::ThreadsRec();
  qv::THR.THREADNUMBER = threadId;
  bool threadFound = qv::Threads.get(qv::THR_ThreadKey);
  qv::ThreadsRec t = qv::THR;
  qv::OP_CLOSE(qv::OpRelease, {qv::FileThreads});
  return threadFound && addMessageIn(number, threadId, t.SECSYSID, t.ALPHA.str(), from, to, date, body, status, ref);
}

// A mail between the owner and a partner; `sent` when the owner wrote it.
inline bool addMail(uint32_t id, uint32_t owner, uint32_t partner, bool sent, int32_t date, int32_t time,
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
  return addRecord(qv::FileMail) && addText(id, body);
}

// A word of the word list with the count it shows, without index entries.
inline bool addWordEntry(uint32_t wordId, const std::string& word, int32_t count) {
  qv::WOR = qv::WordListRec();
  qv::WOR.WORDID = int32_t(wordId);
  qv::WOR.THEWORD = word;
  qv::WOR.WORDCOUNT = count;
  return addRecord(qv::FileWordList);
}

// A word of the word list and its index entries.
inline bool addWord(uint32_t wordId, const std::string& word, const std::vector<uint32_t>& messages) {
  bool ok = addWordEntry(wordId, word, int32_t(messages.size()));
  for (uint32_t m : messages) {
    qv::MAS = qv::MasIdxRec();
    qv::MAS.SYSID = m;
    qv::MAS.WORDID = wordId;
    ok = addRecord(qv::FileMasIdx) && ok;
  }
  return ok;
}

// Links between a topic and messages.
inline bool addTopicLinks(uint32_t topicId, const std::vector<uint32_t>& messages) {
  bool ok = true;
  for (uint32_t m : messages) {
    qv::SIN = qv::SIndexRec();
    qv::SIN.ID = topicId;
    qv::SIN.MSGNUMBER = m;
    ok = addRecord(qv::FileSIndex) && ok;
  }
  return ok;
}

}  // namespace qvtest
