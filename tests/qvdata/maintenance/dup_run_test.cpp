// Duplicate elimination over small databases written record by record: the
// forms of a CompuServe address that are one, the person kept of an
// address, messages and aliases moved onto it, case in mail and forum
// addresses, the mailbox owner, persons without messages, and counts as a
// count run leaves them.
#include <gtest/gtest.h>

#include <map>
#include <set>

#include "browse_fixture.h"
#include "maintenance/dup_run.h"
#include "maintenance/purge_run.h"

using namespace qv;

namespace {

TEST(RepairedCisAddress, EveryFormOfACompuServeNumberGivesTheCommaForm) {
  EXPECT_EQ(repairedCisAddress("70000.100@compuserve.com"), "70000,100");
  EXPECT_EQ(repairedCisAddress("70000.100@CompuServe.COM"), "70000,100");
  EXPECT_EQ(repairedCisAddress("12345.678"), "12345,678");
  EXPECT_EQ(repairedCisAddress("12345, 678"), "12345,678");
  EXPECT_EQ(repairedCisAddress("12345. 678"), "12345,678");
  EXPECT_EQ(repairedCisAddress("[12345,678]"), "12345,678");
  EXPECT_EQ(repairedCisAddress("[12345.678]"), "12345,678");
  EXPECT_EQ(repairedCisAddress("12345,678   "), "12345,678");
}

TEST(RepairedCisAddress, OtherAddressesStay) {
  EXPECT_EQ(repairedCisAddress("john.smith@example.com"), "john.smith@example.com");
  EXPECT_EQ(repairedCisAddress("a.b@COMPUSERVE.COMX"), "a.b@COMPUSERVE.COMX");
  // A member name at the CompuServe domain is an address of its own.
  EXPECT_EQ(repairedCisAddress("john.smith@compuserve.com"), "john.smith@compuserve.com");
  EXPECT_EQ(repairedCisAddress("abc"), "abc");
  EXPECT_EQ(repairedCisAddress("a.b"), "a.b");
  EXPECT_EQ(repairedCisAddress(""), "");
  // Only a CompuServe number takes the comma form; an address without "@"
  // is kept as written.
  EXPECT_EQ(repairedCisAddress("christian at example.org"), "christian at example.org");
  EXPECT_EQ(repairedCisAddress("example.org"), "example.org");
  EXPECT_EQ(repairedCisAddress("john, smith"), "john, smith");
  EXPECT_EQ(repairedCisAddress("[john.smith]"), "[john.smith]");
  EXPECT_EQ(repairedCisAddress("12345.678.9"), "12345.678.9");
}

class DupRunTest : public qvtest::BrowseTest {
 protected:
  void TearDown() override {
    OP_CLOSE(OpForceClose, {FilePLINK});
    qvtest::BrowseTest::TearDown();
  }

  DupView run(PurgeState expected = PurgeState::Finished) {
    DupRun r;
    EXPECT_TRUE(r.start()) << r.view().failure;
    EXPECT_EQ(runToEnd(r), expected) << r.view().failure;
    EXPECT_EQ(r.view().counters[DupRemaining],
              r.view().counters[DupBefore] - r.view().counters[DupObsolete] - r.view().counters[DupMerged]);
    return r.view();
  }

  // A person with its own string and address.
  static void person(uint32_t id, const std::string& string, const std::string& last, const std::string& address) {
    PER = PersonRec();
    PER.PERSONID = id;
    PER.PERSONSTRING = string;
    PER.LASTNAME = last;
    PER.ADDRESS = address;
    add(FilePerson);
  }
  static void alias(const std::string& string, uint32_t id) {
    PLI = PLINKRec();
    PLI.PERSONSTRING = string;
    PLI.PERSONID = id;
    add(FilePLINK);
  }

  static std::map<uint32_t, PersonRec> persons() {
    std::map<uint32_t, PersonRec> out;
    OP_CLOSE(OpShared, {FilePerson});
    Person.setFileOrder();
    while (Person.next()) out[PER.PERSONID] = PER;
    OP_CLOSE(OpRelease, {FilePerson});
    return out;
  }
  static std::map<std::string, uint32_t> aliases() {
    std::map<std::string, uint32_t> out;
    OP_CLOSE(OpShared, {FilePLINK});
    PLINK.setFileOrder();
    while (PLINK.next()) out[PLI.PERSONSTRING.str()] = PLI.PERSONID;
    OP_CLOSE(OpRelease, {FilePLINK});
    return out;
  }
  static std::map<uint32_t, MsgNmbrRec> messages() {
    std::map<uint32_t, MsgNmbrRec> out;
    OP_CLOSE(OpShared, {FileMsgNmbr});
    MsgNmbr.setFileOrder();
    while (MsgNmbr.next()) out[MSG.MSGNUMBER] = MSG;
    OP_CLOSE(OpRelease, {FileMsgNmbr});
    return out;
  }
  static std::map<uint32_t, MailRec> mails() {
    std::map<uint32_t, MailRec> out;
    OP_CLOSE(OpShared, {FileMail});
    Mail.setFileOrder();
    while (Mail.next()) out[MAI.MAILID] = MAI;
    OP_CLOSE(OpRelease, {FileMail});
    return out;
  }
  // Every message's sender and receiver are persons that exist, under their alphas.
  static void expectMessagesNamePersons() {
    auto people = persons();
    auto alpha = [&](uint32_t id) { return Str<10>(people[id].LASTNAME.view()).str(); };
    for (auto& [id, m] : messages()) {
      EXPECT_TRUE(people.count(m.FROMID) && people.count(m.TOID)) << "message " << id;
      EXPECT_EQ(m.FROMALPHA.str(), alpha(m.FROMID)) << "message " << id;
      EXPECT_EQ(m.TOALPHA.str(), alpha(m.TOID)) << "message " << id;
    }
    for (auto& [id, m] : mails()) {
      EXPECT_TRUE(people.count(m.FROMID) && people.count(m.TOID) && people.count(m.PAIRID)) << "mail " << id;
      EXPECT_EQ(m.FROMALPHA.str(), alpha(m.FROMID)) << "mail " << id;
      EXPECT_EQ(m.TOALPHA.str(), alpha(m.TOID)) << "mail " << id;
      EXPECT_EQ(m.PAIRALPHA.str(), people[m.PAIRID].LASTNAME.str()) << "mail " << id;
    }
  }
  // Counts after a count run, which must find nothing to change.
  static void expectCountsOfACountRun() {
    auto before = persons();
    PurgeRun count(PurgeCounting);
    ASSERT_TRUE(count.start());
    ASSERT_EQ(runToEnd(count), PurgeState::Finished);
    auto after = persons();
    ASSERT_EQ(before.size(), after.size());
    for (auto& [id, p] : after) {
      EXPECT_EQ(before[id].FROMCOUNT, p.FROMCOUNT) << "person " << id;
      EXPECT_EQ(before[id].TOCOUNT, p.TOCOUNT) << "person " << id;
    }
  }

  void forum(int kind = KindForumDb) {
    makeDatabase(kind);
    section(100, 1, "General");
    thread(1000, 100, "Talk");
  }
};

TEST_F(DupRunTest, CompuServeNumbersDifferingInTheSeparatorAreMerged) {
  forum();
  person(10, "ANN LEE 12345,678", "LEE", "12345,678");
  person(11, "A. LEE 12345.678", "LEE", "12345.678");
  person(12, "BOB RAY 22222,1", "RAY", "22222,1");
  message(500, 1000, 10, 12, 100);
  message(501, 1000, 11, 12, 105);
  message(502, 1000, 12, 10, 106);
  DupView v = run();
  auto people = persons();
  EXPECT_EQ(people.count(10), 0u);
  ASSERT_EQ(people.count(11), 1u);
  EXPECT_EQ(people[11].ADDRESS.str(), "12345,678");
  EXPECT_EQ(people[11].FROMCOUNT, 2u);
  EXPECT_EQ(people[11].TOCOUNT, 1u);
  EXPECT_EQ(aliases(), (std::map<std::string, uint32_t>{{"ANN LEE 12345,678", 11}}));
  EXPECT_EQ(messages()[500].FROMID, 11u);
  EXPECT_EQ(messages()[502].TOID, 11u);
  EXPECT_EQ(v.counters[DupBefore], 3);
  EXPECT_EQ(v.counters[DupMerged], 1);
  EXPECT_EQ(v.counters[DupObsolete], 0);
  EXPECT_EQ(v.counters[DupRemaining], 2);
  expectMessagesNamePersons();
  expectCountsOfACountRun();
}

TEST_F(DupRunTest, TheInternetFormOfACompuServeNumberMergesWithItsCommaForm) {
  forum(KindNewsDb);
  person(10, "ANN LEE 70000,100", "LEE", "70000,100");
  person(11, "ANN LEE 70000.100@COMPUSERVE.COM", "LEE", "70000.100@compuserve.com");
  message(500, 1000, 10, 11, 100);
  message(501, 1000, 11, 10, 99);
  run();
  auto people = persons();
  EXPECT_EQ(people.size(), 1u);
  ASSERT_EQ(people.count(10), 1u);
  EXPECT_EQ(aliases(), (std::map<std::string, uint32_t>{{"ANN LEE 70000.100@COMPUSERVE.COM", 10}}));
  expectMessagesNamePersons();
}

TEST_F(DupRunTest, OfThreePersonsOfOneAddressTheNewestSenderStays) {
  forum();
  person(10, "JOHN SMITH 70000,1", "SMITH", "70000,1");
  person(11, "J. SMITHERS 70000,1", "SMITHERS", "70000,1");
  person(12, "JS 70000,1", "JS", "70000,1");
  person(13, "DEE ADAMS 70000,2", "ADAMS", "70000,2");
  message(500, 1000, 10, 13, 100);
  message(501, 1000, 11, 13, 200);  // the newest sent
  message(502, 1000, 10, 13, 150);
  message(503, 1000, 13, 12, 300);  // 12 only received
  message(504, 1000, 13, 10, 301);
  DupView v = run();
  auto people = persons();
  EXPECT_EQ(people.count(10) + people.count(12), 0u);
  ASSERT_EQ(people.count(11), 1u);
  EXPECT_EQ(people[11].FROMCOUNT, 3u);
  EXPECT_EQ(people[11].TOCOUNT, 2u);
  EXPECT_EQ(aliases(), (std::map<std::string, uint32_t>{{"JOHN SMITH 70000,1", 11}, {"JS 70000,1", 11}}));
  for (auto& [id, m] : messages()) {
    EXPECT_NE(m.FROMID, 10u);
    EXPECT_NE(m.FROMID, 12u);
    EXPECT_NE(m.TOID, 10u);
    EXPECT_NE(m.TOID, 12u);
  }
  EXPECT_EQ(v.counters[DupMerged], 2);
  expectMessagesNamePersons();
  expectCountsOfACountRun();
}

TEST_F(DupRunTest, TwoPersonsWithoutMessagesMergeAndTheKeeperGoesAsObsolete) {
  forum();
  person(10, "ANN LEE 75000,5", "LEE", "75000,5");
  person(11, "ANNE LEE 75000,5", "LEE", "75000,5");
  person(12, "BOB RAY 22222,1", "RAY", "22222,1");
  person(13, "CID ZED 22222,2", "ZED", "22222,2");
  message(500, 1000, 12, 13, 100);
  DupView v = run();
  auto people = persons();
  EXPECT_EQ(people.size(), 2u);
  EXPECT_EQ(people.count(10) + people.count(11), 0u);
  // The last of them was kept and the other merged into it.
  EXPECT_EQ(aliases(), (std::map<std::string, uint32_t>{{"ANN LEE 75000,5", 11}}));
  EXPECT_EQ(v.counters[DupMerged], 1);
  EXPECT_EQ(v.counters[DupObsolete], 1);
  EXPECT_EQ(v.counters[DupRemaining], 2);
}

TEST_F(DupRunTest, CaseOnlyDifferencesMergeInMailAndNotInAForum) {
  forum(KindNewsDb);
  person(10, "ANN ann@x.org", "ANN", "ann@x.org");
  person(11, "ANNIE ANN@X.ORG", "ANNIE", "ANN@X.ORG");
  person(12, "BOB BOB@y.org", "BOB", "BOB@y.org");  // sorts between the two by bytes
  message(500, 1000, 10, 12, 100);
  message(501, 1000, 11, 12, 101);
  message(502, 1000, 12, 11, 102);
  DupView v = run();
  EXPECT_EQ(persons().size(), 3u);
  EXPECT_EQ(v.counters[DupMerged], 0);

  uint32_t owner = makeDatabase(KindMailDb, "Case Box");
  (void)owner;
  uint32_t ownerId = Mem.PersonID;
  person(20, "ANN ann@x.org", "ANN", "ann@x.org");
  person(21, "ANNIE ANN@X.ORG", "ANNIE", "ANN@X.ORG");
  person(22, "BOB BOB@y.org", "BOB", "BOB@y.org");
  mail(700, ownerId, 20, false, 100, 0, "One");
  mail(701, ownerId, 21, false, 101, 0, "Two");
  mail(702, ownerId, 21, true, 102, 0, "Three");
  mail(703, ownerId, 22, false, 103, 0, "Four");
  v = run();
  auto people = persons();
  EXPECT_EQ(people.count(20), 0u);
  ASSERT_EQ(people.count(21), 1u);
  EXPECT_EQ(people[21].FROMCOUNT, 2u);
  EXPECT_EQ(people[21].TOCOUNT, 1u);
  EXPECT_EQ(v.counters[DupMerged], 1);
  for (auto& [id, m] : mails()) EXPECT_NE(m.PAIRID, 20u) << id;
  findDatabase(Mem.ForumNumber);
  EXPECT_EQ(FOR.MSGCOUNT, 4u);
  EXPECT_EQ(FOR.COUNTFLAG, 0);
  expectMessagesNamePersons();
  expectCountsOfACountRun();
}

TEST_F(DupRunTest, TheMailboxOwnerStaysWhenAnotherPersonOfItsAddressSentTheNewestMail) {
  makeDatabase(KindMailDb, "Owner Box");
  uint32_t owner = Mem.PersonID;
  std::string ownerAddress = persons()[owner].ADDRESS.str();
  person(30, "MARY AT WORK " + ownerAddress, "WORK", ownerAddress);
  person(31, "FAY BROWN fay@x.org", "BROWN", "fay@x.org");
  // The owner has sent nothing; its other person has.
  mail(700, owner, 31, false, 100, 0, "To the owner");
  mail(701, 30, 31, true, 200, 0, "From the other");  // sent by the owner's other person
  DupView v = run();
  auto people = persons();
  ASSERT_EQ(people.count(owner), 1u);
  EXPECT_EQ(people.count(30), 0u);
  EXPECT_EQ(people[owner].FROMCOUNT, 1u);
  EXPECT_EQ(mails()[701].FROMID, owner);
  EXPECT_EQ(v.counters[DupMerged], 1);
  expectMessagesNamePersons();
  expectCountsOfACountRun();
}

TEST_F(DupRunTest, TheMailboxOwnerWithoutAnyMailStays) {
  makeDatabase(KindMailDb, "Quiet Box");
  uint32_t owner = Mem.PersonID;
  std::string ownerAddress = persons()[owner].ADDRESS.str();
  person(30, "QUIET " + ownerAddress, "QUIET", ownerAddress);
  person(31, "FAY BROWN fay@x.org", "BROWN", "fay@x.org");
  DupView v = run();
  auto people = persons();
  EXPECT_EQ(people.size(), 1u);
  EXPECT_EQ(people.count(owner), 1u);
  EXPECT_EQ(aliases().count("QUIET " + ownerAddress), 1u);
  EXPECT_EQ(v.counters[DupObsolete], 1);  // 31, without mail
}

TEST_F(DupRunTest, AMissingAddressIsTakenFromThePersonStringAndTheMessagesFollowTheNewName) {
  forum();
  person(10, "JOHN SMITH 12345,678", "OLDNAME", "");
  person(11, "JACK SMITH 12345.678", "SMITH", "12345.678");
  message(500, 1000, 10, 11, 300);
  message(501, 1000, 11, 10, 100);
  run();
  auto people = persons();
  ASSERT_EQ(people.count(10), 1u);  // the newest sender
  EXPECT_EQ(people.count(11), 0u);
  EXPECT_EQ(people[10].ADDRESS.str(), "12345,678");
  EXPECT_EQ(people[10].LASTNAME.str(), "SMITH");
  EXPECT_EQ(people[10].FIRSTNAME.str(), "JOHN");
  EXPECT_EQ(people[10].FROMCOUNT, 2u);
  expectMessagesNamePersons();
  expectCountsOfACountRun();
}

TEST_F(DupRunTest, AMailboxStringWithACsinetAddressIsReadAgain) {
  makeDatabase(KindMailDb, "Csinet Box");
  uint32_t owner = Mem.PersonID;
  person(30, "FAY BROWN CSINET:fay@x.org", "CSINET:FAY@X.ORG", "CSINET:fay@x.org");
  person(31, "FAY B fay@x.org", "B", "fay@x.org");
  mail(700, owner, 30, false, 300, 0, "Newest");
  mail(701, owner, 31, false, 100, 0, "Older");
  run();
  auto people = persons();
  ASSERT_EQ(people.count(30), 1u);
  EXPECT_EQ(people.count(31), 0u);
  EXPECT_EQ(people[30].ADDRESS.str(), "fay@x.org");
  EXPECT_EQ(people[30].LASTNAME.str(), "BROWN");
  expectMessagesNamePersons();
  expectCountsOfACountRun();
}

TEST_F(DupRunTest, AliasesOfAMergedPersonStandForTheKeeperAndNoneIsAddedTwice) {
  forum();
  person(10, "ANN LEE 12345,678", "LEE", "12345,678");
  person(11, "A LEE 12345,678", "LEE", "12345,678");
  alias("ANNIE LEE 12345,678", 10);  // an earlier name of 10
  alias("ANN LEE 12345,678", 99);    // 10's own string, already an alias of a person gone
  message(500, 1000, 10, 11, 100);
  message(501, 1000, 11, 10, 200);
  run();
  EXPECT_EQ(aliases(), (std::map<std::string, uint32_t>{{"ANN LEE 12345,678", 11}, {"ANNIE LEE 12345,678", 11}}));
}

TEST_F(DupRunTest, ARunWithoutDuplicatesOnlyRecounts) {
  sampleForum();
  DupView v = run();
  EXPECT_EQ(v.counters[DupMerged], 0);
  EXPECT_EQ(v.counters[DupBefore], 4);
  expectCountsOfACountRun();
}

}  // namespace
