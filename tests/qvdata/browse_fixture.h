// A small forum, newsgroup or mail database written record by record, so
// that the browsers' tests know exactly which messages each view holds.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "browse/browse_state.h"
#include "dictionary/dictionary.h"
#include "dictionary/file_numbers.h"
#include "services/databases.h"
#include "services/file_service.h"
#include "services/globals.h"
#include "support/browse_records.h"
#include "support/services_fixture.h"

namespace qvtest {

class BrowseTest : public InstallationTest {
 protected:
  void TearDown() override {
    qv::OP_CLOSE(qv::OpForceClose, {qv::FileCodes, qv::FileForums, qv::FileMsgNmbr, qv::FileMsgText, qv::FilePerson,
                                    qv::FileSections, qv::FileThreads, qv::FileSIndex, qv::FileMail, qv::FileWordList,
                                    qv::FileMasIdx, qv::FileSearch});
    InstallationTest::TearDown();
  }

  // A new database of the kind (a DbKind), made current.
  uint32_t makeDatabase(int kind, const std::string& name = "Browse Test") {
    uint32_t id = makeBrowseDatabase(kind, name);
    EXPECT_NE(id, 0u) << prompts.transcript();
    return id;
  }

  // Three threads in two sections, four people, six messages; the orders
  // of every view are spelled out in browse_view_test.cpp.
  void sampleForum(int kind = qv::KindForumDb) {
    makeDatabase(kind);
    section(100, 1, "General");
    section(200, 4, "Utilities");
    person(10, "Ann", "Lee");
    person(11, "Bob", "Ray");
    person(12, "Cid", "Zed");
    person(13, "Dee", "Adams");
    thread(1000, 100, "Pears and apples");
    thread(1001, 100, "Bananas");
    thread(1002, 200, "Cherries");
    message(500, 1000, 10, 11, 100);
    message(501, 1000, 11, 10, 102);
    message(502, 1001, 12, 10, 101);
    message(503, 1002, 10, 12, 105);
    message(504, 1000, 10, 13, 103);
    message(505, 1001, 13, 11, 104);
    wordEntry(7, "APPLES", {500, 504, 999});  // 999: an index entry whose message is gone
    topicEntry(77, {501, 503, 998});
    qv::OP_CLOSE(qv::OpShared, {qv::FileSearch});
    for (uint32_t id : {505u, 500u, 997u}) {
      qv::SEA.ID = id;
      ASSERT_TRUE(qv::Search.add());
    }
    qv::OP_CLOSE(qv::OpRelease, {qv::FileSearch});
  }

  // Mail with three partners of the owner, in both directions.
  uint32_t sampleMailbox() {
    makeDatabase(qv::KindMailDb, "Owen Test");
    uint32_t owner = qv::Mem.PersonID;
    person(21, "Fay", "Brown");
    person(22, "Gus", "Carter");
    person(23, "Hal", "Doe");
    mail(700, owner, 21, false, 200, 100, "Hello");
    mail(701, owner, 21, true, 201, 100, "Re: Hello");
    mail(702, owner, 22, false, 201, 500, "Meeting");
    mail(703, owner, 21, false, 203, 100, "Again");
    mail(704, owner, 23, true, 199, 100, "Zebra");
    return owner;
  }

  static qv::BrowseState state(int kind, int mode) {
    qv::BrowseState s;
    s.kind = kind;
    s.mode = mode;
    return s;
  }

  static qv::BrowsePerson who(uint32_t id, const std::string& alpha) {
    qv::BrowsePerson p;
    p.id = id;
    p.alpha = alpha;
    return p;
  }

  static void add(int file) { ASSERT_TRUE(addRecord(file)) << qv::ErrorText(); }
  static void person(uint32_t id, const std::string& first, const std::string& last, uint32_t from = 0,
                     uint32_t to = 0) {
    ASSERT_TRUE(addPerson(id, first, last, from, to)) << qv::ErrorText();
  }
  static void section(uint32_t id, int number, const std::string& description) {
    ASSERT_TRUE(addSection(id, number, description)) << qv::ErrorText();
  }
  static void thread(uint32_t id, uint32_t sectionId, const std::string& heading, uint32_t count = 0) {
    ASSERT_TRUE(addThread(id, sectionId, heading, count)) << qv::ErrorText();
  }
  static void text(uint32_t id, const std::string& body) { ASSERT_TRUE(addText(id, body)) << qv::ErrorText(); }
  static void message(uint32_t number, uint32_t threadId, uint32_t from, uint32_t to, int32_t date,
                      const std::string& body = {}, uint8_t status = 0, uint32_t ref = 0) {
    ASSERT_TRUE(addMessage(number, threadId, from, to, date, body, status, ref)) << qv::ErrorText();
  }
  static void mail(uint32_t id, uint32_t owner, uint32_t partner, bool sent, int32_t date, int32_t time,
                   const std::string& subject, const std::string& body = {}, uint8_t status = 0) {
    ASSERT_TRUE(addMail(id, owner, partner, sent, date, time, subject, body, status)) << qv::ErrorText();
  }
  static void wordEntry(uint32_t wordId, const std::string& word, std::vector<uint32_t> messages) {
    ASSERT_TRUE(addWord(wordId, word, messages)) << qv::ErrorText();
  }
  static void topicEntry(uint32_t topicId, std::vector<uint32_t> messages) {
    ASSERT_TRUE(addTopicLinks(topicId, messages)) << qv::ErrorText();
  }
};

}  // namespace qvtest
