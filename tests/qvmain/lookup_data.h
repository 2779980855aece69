// Records for the look-up list and thread tree tests, written one by one so
// that a test knows what each list holds.
#pragma once

#include <QtTest>
#include <string>

#include "dictionary/dictionary.h"
#include "services/databases.h"
#include "services/file_service.h"
#include "services/globals.h"

namespace qvtest {

inline bool addTo(int file) {
  qv::OP_CLOSE(qv::OpShared, {file});
  bool ok = qv::declaredFile(file).add();
  qv::OP_CLOSE(qv::OpRelease, {file});
  return ok;
}

// A new forum (1), mail (2) or newsgroup (3) database, made current.
inline uint32_t makeDatabase(int kind, const std::string& name) {
  uint32_t id = 0;
  if (kind == 2) {
    qv::MailboxSpec box;
    box.owner = name;
    box.address = "owner@example.org";
    id = qv::AddMailbox(box, false, 0);
  } else {
    id = qv::AddForumDatabase(name, kind, 0);
  }
  if (id != 0) qv::selectDatabase(id);
  return id;
}

inline void person(uint32_t id, const std::string& first, const std::string& last, const std::string& address = "",
                   uint32_t sent = 0, uint32_t received = 0) {
  qv::PER = qv::PersonRec();
  qv::PER.PERSONID = id;
  qv::PER.PERSONSTRING = first + " " + last + " " + std::to_string(id);
  qv::PER.FIRSTNAME = first;
  qv::PER.LASTNAME = last;
  qv::PER.ADDRESS = address;
  qv::PER.FROMCOUNT = sent;
  qv::PER.TOCOUNT = received;
  QVERIFY(addTo(5));
}

inline void section(uint32_t id, int number, const std::string& description, uint32_t count = 0) {
  qv::SEC = qv::SectionsRec();
  qv::SEC.SECSYSID = id;
  qv::SEC.SECTIONNUMBER = uint8_t(number);
  qv::SEC.DESCRIPTION = description;
  qv::SEC.MSGCOUNT = count;
  QVERIFY(addTo(6));
}

inline void thread(uint32_t id, const std::string& heading, uint32_t count = 0) {
  qv::THR = qv::ThreadsRec();
  qv::THR.THREADNUMBER = id;
  qv::THR.SECSYSID = 100;
  qv::THR.ALPHA = heading.substr(0, 10);
  qv::THR.BETA = heading.size() > 10 ? heading.substr(10) : std::string();
  qv::THR.MSGCOUNT = count;
  QVERIFY(addTo(7));
}

inline void message(uint32_t number, uint32_t threadId, const std::string& heading, uint32_t ref, uint32_t from,
                    int32_t date = 70000) {
  qv::MSG = qv::MsgNmbrRec();
  qv::MSG.MSGNUMBER = number;
  qv::MSG.SECSYSID = 100;
  qv::MSG.THREADNUMBER = threadId;
  qv::MSG.THREADALPHA = heading.substr(0, 10);
  qv::MSG.REFNUMBER = ref;
  qv::MSG.FROMID = from;
  qv::MSG.DATE = date;
  QVERIFY(addTo(3));
}

inline void word(int32_t id, const std::string& w, int32_t count) {
  qv::WOR = qv::WordListRec();
  qv::WOR.WORDID = id;
  qv::WOR.THEWORD = w;
  qv::WOR.WORDCOUNT = count;
  QVERIFY(addTo(28));
}

}  // namespace qvtest
