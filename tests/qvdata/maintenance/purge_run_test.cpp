// The purge and count runs over small databases written record by record:
// what status marks at each level delete and keep, ageing at its cut-off,
// duplicate mail, orphans, the word list after a purge against a fresh full
// index, the receivers of newsgroup articles, and an aborted run made right
// by a count run.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <algorithm>
#include <map>
#include <set>

#include "browse_fixture.h"
#include "import/import_run.h"
#include "maintenance/purge_run.h"
#include "services/datetime.h"
#include "services/messages.h"
#include "services/persons.h"
#include "services/record_helpers.h"
#include "services/whole_names.h"
#include "wordindex/index_run.h"

using namespace qv;

namespace {

class PurgeRunTest : public qvtest::BrowseTest {
 protected:
  void TearDown() override {
    OP_CLOSE(OpForceClose, {FilePLINK, FileSubjects, FileCCR, FileOriginals});
    qvtest::BrowseTest::TearDown();
  }

  // Runs a purge (or count) to its end and returns its view.
  PurgeView run(int mode, uint16_t ageWeeks = 0, PurgeState expected = PurgeState::Finished) {
    PurgeRun r(mode, ageWeeks);
    EXPECT_FALSE(r.markedForDeletion());
    EXPECT_TRUE(r.start()) << r.view().failure;
    EXPECT_EQ(runToEnd(r), expected) << r.view().failure;
    return r.view();
  }

  // The IDs of the records of a file by the key's first component.
  template <typename Get>
  std::set<uint32_t> ids(int file, Get get) {
    std::set<uint32_t> out;
    OP_CLOSE(OpShared, {file});
    File& f = declaredFile(file);
    f.setFileOrder();
    while (f.next()) out.insert(get());
    OP_CLOSE(OpRelease, {file});
    return out;
  }
  std::set<uint32_t> messages() { return ids(FileMsgNmbr, [] { return MSG.MSGNUMBER; }); }
  std::set<uint32_t> mails() { return ids(FileMail, [] { return MAI.MAILID; }); }
  std::set<uint32_t> texts() { return ids(FileMsgText, [] { return TXT.MSGNUMBER; }); }
  std::set<uint32_t> threads() { return ids(FileThreads, [] { return THR.THREADNUMBER; }); }
  std::set<uint32_t> sections() { return ids(FileSections, [] { return SEC.SECSYSID; }); }
  std::set<uint32_t> persons() { return ids(FilePerson, [] { return PER.PERSONID; }); }

  template <typename Rec, typename Field>
  static Rec record(int file, const Key& key, Rec& buffer, Field set) {
    OP_CLOSE(OpShared, {file});
    buffer = Rec();
    set();
    EXPECT_TRUE(declaredFile(file).get(key));
    Rec out = buffer;
    OP_CLOSE(OpRelease, {file});
    return out;
  }
  static ThreadsRec threadRec(uint32_t id) { return record(FileThreads, THR_ThreadKey, THR, [&] { THR.THREADNUMBER = id; }); }
  static PersonRec personRec(uint32_t id) { return record(FilePerson, PER_PersonKey, PER, [&] { PER.PERSONID = id; }); }
  static MsgNmbrRec messageRec(uint32_t id) { return record(FileMsgNmbr, MSG_IdKey, MSG, [&] { MSG.MSGNUMBER = id; }); }

  static void setStatusOf(int file, const Key& key, const std::function<void()>& find, const std::function<void()>& set) {
    OP_CLOSE(OpShared, {file});
    find();
    ASSERT_TRUE(declaredFile(file).get(key));
    set();
    ASSERT_TRUE(declaredFile(file).put());
    OP_CLOSE(OpRelease, {file});
  }
  static void threadStatus(uint32_t id, uint8_t s) {
    setStatusOf(FileThreads, THR_ThreadKey, [&] { THR = ThreadsRec(); THR.THREADNUMBER = id; }, [&] { THR.DUMMY = s; });
  }
  static void sectionStatus(uint32_t id, uint8_t s) {
    setStatusOf(FileSections, SEC_SysIdKey, [&] { SEC = SectionsRec(); SEC.SECSYSID = id; }, [&] { SEC.DUMMY = s; });
  }
  static void messageStatus(uint32_t id, uint8_t s) {
    setStatusOf(FileMsgNmbr, MSG_IdKey, [&] { MSG = MsgNmbrRec(); MSG.MSGNUMBER = id; }, [&] { MSG.DUMMY = s; });
  }
  static void mailStatus(uint32_t id, uint8_t s) {
    setStatusOf(FileMail, MAI_IdKey, [&] { MAI = MailRec(); MAI.MAILID = id; }, [&] { MAI.DUMMY = s; });
  }
  static void personStatus(uint32_t id, uint8_t s) {
    setStatusOf(FilePerson, PER_PersonKey, [&] { PER = PersonRec(); PER.PERSONID = id; }, [&] { PER.DUMMY = s; });
  }

  // word -> count, from the word list.
  static std::map<std::string, int32_t> wordList() {
    std::map<std::string, int32_t> out;
    OP_CLOSE(OpShared, {FileWordList});
    WordList.setFileOrder();
    while (WordList.next()) out[WOR.THEWORD.str()] = WOR.WORDCOUNT;
    OP_CLOSE(OpRelease, {FileWordList});
    return out;
  }
  // (message, word) pairs of the index, words by name.
  static std::set<std::pair<uint32_t, std::string>> wordPairs() {
    std::map<uint32_t, std::string> names;
    std::set<std::pair<uint32_t, std::string>> out;
    OP_CLOSE(OpShared, {FileWordList, FileMasIdx});
    WordList.setFileOrder();
    while (WordList.next()) names[uint32_t(WOR.WORDID)] = WOR.THEWORD.str();
    MasIdx.set(MAS_by_SysID);
    while (MasIdx.next()) out.insert({MAS.SYSID, names.count(MAS.WORDID) ? names[MAS.WORDID] : "?"});
    OP_CLOSE(OpRelease, {FileWordList, FileMasIdx});
    return out;
  }

  static void index(int mode) {
    findDatabase(Mem.ForumNumber);
    IndexRun r(mode, 4, Mem.ForumNumber, {FOR.LASTMSGID, FOR.RECSLASTTIME, FOR.WORDLISTINDEXNEEDSUPDATE});
    while (r.step()) {
    }
    storeIndexState(Mem.ForumNumber, r.state());
  }
};

TEST_F(PurgeRunTest, ThreadOfStatusDeleteKeepsItsKeptMessageAndItself) {
  sampleForum();
  threadStatus(1000, 2);   // messages 500, 501, 504
  messageStatus(501, 1);
  PurgeView v = run(PurgePurging);
  EXPECT_EQ(messages(), (std::set<uint32_t>{501, 502, 503, 505}));
  EXPECT_EQ(texts().count(500) + texts().count(504), 0u);
  EXPECT_TRUE(threads().count(1000));
  EXPECT_EQ(threadRec(1000).MSGCOUNT, 1u);
  EXPECT_EQ(v.counters[0], 6);
  EXPECT_EQ(v.counters[1], 2);
  EXPECT_EQ(v.counters[2], 4);

  // Without the kept message the thread goes with its messages.
  messageStatus(501, 0);
  run(PurgePurging);
  EXPECT_EQ(messages(), (std::set<uint32_t>{502, 503, 505}));
  EXPECT_FALSE(threads().count(1000));
}

TEST_F(PurgeRunTest, SectionOfStatusDeleteGoesInADatabaseOfStatusNormal) {
  sampleForum();
  sectionStatus(200, 2);  // thread 1002, message 503
  run(PurgePurging);
  EXPECT_EQ(messages(), (std::set<uint32_t>{500, 501, 502, 504, 505}));
  EXPECT_EQ(threads(), (std::set<uint32_t>{1000, 1001}));
  EXPECT_EQ(sections(), (std::set<uint32_t>{100}));  // the emptied section is counted away

  // A kept thread of a section of status delete stays with its section.
  sectionStatus(100, 2);
  threadStatus(1001, 1);
  run(PurgePurging);
  EXPECT_EQ(messages(), (std::set<uint32_t>{502, 505}));
  EXPECT_EQ(sections(), (std::set<uint32_t>{100}));
}

TEST_F(PurgeRunTest, MessagesOfStatusDeleteGoAndCountsFollow) {
  sampleForum();
  messageStatus(502, 2);
  messageStatus(505, 2);  // thread 1001 is then empty
  run(PurgePurging);
  EXPECT_EQ(messages(), (std::set<uint32_t>{500, 501, 503, 504}));
  EXPECT_FALSE(threads().count(1001));
  findDatabase(Mem.ForumNumber);
  EXPECT_EQ(FOR.MSGCOUNT, 4u);
  EXPECT_EQ(FOR.COUNTFLAG, 0);
}

TEST_F(PurgeRunTest, TheTimesAndWholeNamesOfDeletedRecordsGoWithThem) {
  sampleForum();
  person(14, "Eve", "Without-Any-Message-At-All-Ever");  // removed by the run's count of persons
  OP_CLOSE(OpShared, {FileExtras, FilePerson});
  ASSERT_TRUE(keepMessageTime(500, timeFromHMS(1, 2, 3), ReportQuiet));
  ASSERT_TRUE(keepMessageTime(502, timeFromHMS(4, 5, 6), ReportQuiet));
  for (uint32_t id : {10u, 14u}) {
    PER = PersonRec();
    PER.PERSONID = id;
    ASSERT_TRUE(Person.get(PER_PersonKey));
    ASSERT_TRUE(keepWholeName(id, {PER.LASTNAME.str() + "-Longer-Than-Its-Field", PER.FIRSTNAME.str()}, ReportQuiet));
  }
  OP_CLOSE(OpRelease, {FileExtras, FilePerson});
  messageStatus(502, 2);
  run(PurgePurging);
  EXPECT_FALSE(persons().count(14));
  std::set<std::pair<uint32_t, int>> kept;
  OP_CLOSE(OpShared, {FileExtras});
  Extras.setFileOrder();
  while (Extras.next()) kept.insert({EXT.ID, EXT.KIND});
  OP_CLOSE(OpRelease, {FileExtras});
  EXPECT_EQ(kept, (std::set<std::pair<uint32_t, int>>{{10, ExtraName}, {500, ExtraTime}}));
  EXPECT_EQ(messageTime(500), timeFromHMS(1, 2, 3));
}

TEST_F(PurgeRunTest, AgeingTakesThreadsWhoseNewestMessageIsOnTheCutOff) {
  makeDatabase(KindForumDb);
  section(100, 1, "General");
  person(10, "Ann", "Lee");
  person(11, "Bob", "Ray");
  const uint16_t weeks = 4;
  int32_t cutOff = today() - 7 * weeks;
  thread(1000, 100, "On the cut");
  thread(1001, 100, "A day later");
  thread(1002, 100, "Old but answered");
  message(500, 1000, 10, 11, cutOff - 30);
  message(501, 1000, 11, 10, cutOff);
  message(502, 1001, 10, 11, cutOff + 1);
  // The newest message keeps its thread, though a message numbered after it is old.
  message(503, 1002, 10, 11, cutOff + 20);
  message(504, 1002, 11, 10, cutOff - 50);
  // 999 weeks ages nothing in a database younger than that.
  run(PurgePurging, 999);
  EXPECT_EQ(messages().size(), 5u);
  run(PurgePurging, weeks);
  EXPECT_EQ(messages(), (std::set<uint32_t>{502, 503, 504}));
  EXPECT_EQ(threads(), (std::set<uint32_t>{1001, 1002}));
}

TEST_F(PurgeRunTest, AWordWhoseLastMessageIsPurgedLeavesTheWordListAsAFreshFullIndexMakesIt) {
  sampleMailbox();
  // Texts with words shared and words of one mail only.
  std::map<uint32_t, std::string> bodies = {{700, "alpha beta gamma"}, {701, "beta delta"},
                                            {702, "gamma epsilon zeta"}, {703, "beta"}, {704, "omega alpha"}};
  for (auto& [id, body] : bodies) text(id, body);
  index(1);
  ASSERT_EQ(wordList().count("EPSILON"), 1u);
  // The run built the word list's count key, which every write keeps up to date.
  OP_CLOSE(OpShared, {FileWordList});
  EXPECT_FALSE(WordList.buildKey(WOR_by_WordCount));
  EXPECT_EQ(ErrorCode(), ErrKeyBuilt);
  OP_CLOSE(OpRelease, {FileWordList});
  mailStatus(702, 2);
  run(PurgePurging);
  auto afterPurge = wordList();
  auto pairsAfterPurge = wordPairs();
  EXPECT_FALSE(afterPurge.count("EPSILON"));
  EXPECT_FALSE(afterPurge.count("ZETA"));
  EXPECT_EQ(afterPurge["GAMMA"], 1);
  index(1);
  EXPECT_EQ(afterPurge, wordList());
  EXPECT_EQ(pairsAfterPurge, wordPairs());
}

TEST_F(PurgeRunTest, TwoCopiesOfOneMailLeaveOneAndDifferentTextsBothStay) {
  uint32_t owner = sampleMailbox();
  int32_t minute = timeFromHMS(10, 5, 0);
  int32_t withSeconds = timeFromHMS(10, 5, 37, 12);
  mail(710, owner, 22, false, 300, minute, "Copies", "The same words.\r\n");
  mail(711, owner, 22, false, 300, withSeconds, "COPIES", "The same words.\r\n");
  mail(712, owner, 22, false, 300, minute, "Twins", "One text.\r\n");
  mail(713, owner, 22, false, 300, minute, "Twins", "Another text.\r\n");
  mail(714, owner, 22, false, 300, minute, "Kept", "Kept twice.\r\n", 1);
  mail(715, owner, 22, false, 300, minute, "Kept", "Kept twice.\r\n", 1);
  run(PurgePurging);
  std::set<uint32_t> left = mails();
  EXPECT_TRUE(left.count(710));
  EXPECT_FALSE(left.count(711));
  EXPECT_TRUE(left.count(712) && left.count(713));
  EXPECT_TRUE(left.count(714) && left.count(715));
  EXPECT_FALSE(texts().count(711));
  // Times are compared to the minute; the records keep their seconds.
  mail(716, owner, 22, false, 300, withSeconds, "Alone", "Once.\r\n");
  run(PurgePurging);
  MailRec alone = record(FileMail, MAI_IdKey, MAI, [] { MAI.MAILID = 716; });
  EXPECT_EQ(alone.TIME, withSeconds);
}

TEST_F(PurgeRunTest, PartnerOfStatusDeleteStaysWithItsKeptMail) {
  uint32_t owner = sampleMailbox();
  personStatus(21, 2);  // mails 700, 701, 703
  mailStatus(703, 1);
  run(PurgePurging);
  EXPECT_EQ(mails(), (std::set<uint32_t>{702, 703, 704}));
  EXPECT_TRUE(persons().count(21));
  EXPECT_EQ(personRec(21).TOCOUNT + personRec(21).FROMCOUNT, 1u);

  // Without its kept mail the partner goes.
  personStatus(22, 2);
  run(PurgePurging);
  EXPECT_FALSE(mails().count(702));
  EXPECT_FALSE(persons().count(22));
  EXPECT_TRUE(persons().count(owner));
}

TEST_F(PurgeRunTest, CountingKeepsAMailboxOwnerWithoutMail) {
  makeDatabase(KindMailDb, "Nobody Writes");
  uint32_t owner = Mem.PersonID;
  person(21, "Fay", "Brown");  // a partner without mail goes
  PurgeView v = run(PurgeCounting);
  EXPECT_EQ(persons(), (std::set<uint32_t>{owner}));
  EXPECT_EQ(v.counters[0], 0);
  EXPECT_EQ(v.counters[1], 0);
  EXPECT_EQ(v.counters[2], 1);
}

TEST_F(PurgeRunTest, NewsgroupCountSetsReceiversBeforeCountingPersons) {
  for (int kind : {KindNewsDb, KindForumDb}) {
    SCOPED_TRACE(kind);
    makeDatabase(kind, kind == KindNewsDb ? "news.test" : "Forum Test");
    section(100, 1, "All");
    person(10, "Ann", "Lee");
    person(11, "Bob", "Ray");
    person(12, "Cid", "Wrong");
    thread(1000, 100, "Question");
    message(600, 1000, 10, 0, 100);
    message(601, 1000, 11, 12, 101, {}, 0, 600);  // answers Ann, though stored as to Cid
    run(PurgeCounting);
    if (kind == KindNewsDb) {
      EXPECT_EQ(messageRec(601).TOID, 10u);
      EXPECT_EQ(personRec(10).TOCOUNT, 1u);
      EXPECT_FALSE(persons().count(12));
    } else {
      EXPECT_EQ(messageRec(601).TOID, 12u);
      EXPECT_EQ(personRec(12).TOCOUNT, 1u);
    }
    OP_CLOSE(OpForceClose, {FileMsgNmbr, FileMsgText, FilePerson, FileSections, FileThreads, FilePLINK});
  }
}

TEST_F(PurgeRunTest, OrphanedTopicLinksGoAndTopicCountsFollow) {
  sampleForum();  // topic 77 links 501, 503 and the gone 998
  OP_CLOSE(OpShared, {FileCodes});
  COD = CodesRec();
  COD.TYPE = 1;
  COD.INDEX = "Fruit";
  COD.ID = 77;
  COD.COUNT = 9;
  ASSERT_TRUE(Codes.add());
  OP_CLOSE(OpRelease, {FileCodes});
  topicEntry(78, {500});  // a topic no longer in Codes
  messageStatus(503, 2);
  run(PurgePurging);
  auto links = ids(FileSIndex, [] { return SIN.MSGNUMBER; });
  EXPECT_EQ(links, (std::set<uint32_t>{501}));
  OP_CLOSE(OpShared, {FileCodes});
  Codes.setFileOrder();
  ASSERT_TRUE(Codes.next());
  EXPECT_EQ(COD.COUNT, 1u);
  OP_CLOSE(OpRelease, {FileCodes});
}

TEST_F(PurgeRunTest, AnAbortedRunKeepsWhatItCommittedAndACountRunMakesTheCountersRight) {
  makeDatabase(KindForumDb);
  section(100, 1, "General");
  person(10, "Ann", "Lee");
  person(11, "Bob", "Ray");
  thread(1000, 100, "Many", 300);
  // Three operations a message: commits every 130 or so.
  for (uint32_t i = 0; i < 300; ++i) message(5000 + i, 1000, 10 + i % 2, 11 - i % 2, 100, "text", i < 270 ? 2 : 0);
  {
    PurgeRun r(PurgePurging);
    ASSERT_TRUE(r.start());
    // A tick of no time works at most 16 records.
    while (r.view().counters[1] < 150 && r.tick(std::chrono::milliseconds(0))) {
    }
    r.abort();
    EXPECT_EQ(r.state(), PurgeState::Stopped);
  }
  size_t left = messages().size();
  EXPECT_LT(left, 300u);
  EXPECT_GT(left, 30u);
  EXPECT_EQ(texts().size(), left);  // a message went with its text in each commit
  run(PurgeCounting);
  EXPECT_EQ(threadRec(1000).MSGCOUNT, left);
  EXPECT_EQ(personRec(10).FROMCOUNT + personRec(11).FROMCOUNT, left);
  run(PurgePurging);
  EXPECT_EQ(messages().size(), 30u);
}

TEST_F(PurgeRunTest, ShortDiskSpaceAfterACommitWarnsAndAbortStopsTheRun) {
  sampleForum();
  messageStatus(500, 2);
  messageStatus(502, 2);
  setFreeSpaceFunction([](const std::string&) -> int64_t { return 1000; });
  prompts.script(BtnAbort);
  PurgeRun r(PurgePurging);
  ASSERT_TRUE(r.start());
  EXPECT_EQ(runToEnd(r), PurgeState::Stopped);
  setFreeSpaceFunction(nullptr);
  ASSERT_EQ(prompts.requests.size(), 1u) << prompts.transcript();
  EXPECT_EQ(prompts.requests[0].caption, "Warning");
  const std::string& text = prompts.requests[0].text;
  const std::string tail =
      " This may be too little for this process. Running out of diskspace may corrupt the currently accessed data "
      "file(s).Press OK if you want to continue and Cancel if you want to abort this process!";
  EXPECT_EQ(text.rfind("You have only 1,000 bytes free on disk /", 0), 0u) << text;
  ASSERT_GT(text.size(), tail.size());
  EXPECT_EQ(text.substr(text.size() - tail.size()), tail);
  // The purge offers OK and Abort, Abort the default (the import asks OK or Cancel).
  EXPECT_EQ(prompts.requests[0].buttons, unsigned(BtnOk | BtnAbort));
  EXPECT_EQ(prompts.requests[0].defaultButton, BtnAbort);
  // The first commit (the messages of status delete) stays.
  EXPECT_EQ(messages(), (std::set<uint32_t>{501, 503, 504, 505}));
  // Unattended, nobody is asked and the run stops the same way.
  prompts.reset();
  messageStatus(501, 2);
  Mem.DoTask = RunUnattended;
  setFreeSpaceFunction([](const std::string&) -> int64_t { return 1000; });
  PurgeRun quiet(PurgePurging);
  ASSERT_TRUE(quiet.start());
  EXPECT_EQ(runToEnd(quiet), PurgeState::Stopped);
  setFreeSpaceFunction(nullptr);
  Mem.DoTask = RunInteractive;
  EXPECT_TRUE(prompts.requests.empty()) << prompts.transcript();
  EXPECT_FALSE(messages().count(501));
}

TEST_F(PurgeRunTest, ShortDiskSpaceAnsweredWithOkGoesOnAfterEveryCommit) {
  sampleForum();
  messageStatus(500, 2);
  messageStatus(502, 2);
  setFreeSpaceFunction([](const std::string&) -> int64_t { return 1000; });
  for (int i = 0; i < 40; ++i) prompts.script(BtnOk);
  PurgeRun r(PurgePurging);
  ASSERT_TRUE(r.start());
  EXPECT_EQ(runToEnd(r), PurgeState::Finished) << r.view().failure;
  setFreeSpaceFunction(nullptr);
  EXPECT_GT(prompts.requests.size(), 1u) << prompts.transcript();
  EXPECT_EQ(messages(), (std::set<uint32_t>{501, 503, 504, 505}));
}

TEST_F(PurgeRunTest, ATransactionThatCannotBeBegunIsReportedAndEndsTheRun) {
  sampleForum();
  messageStatus(500, 2);
  std::set<uint32_t> before = messages();
  // Another program holds the write lock of the messages for longer than
  // the run waits for it.
  sqlite3* other = nullptr;
  ASSERT_EQ(sqlite3_open(filePath(FileMsgNmbr).c_str(), &other), SQLITE_OK);
  ASSERT_EQ(sqlite3_exec(other, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr), SQLITE_OK);
  PurgeRun r(PurgePurging);
  ASSERT_TRUE(r.start());
  EXPECT_EQ(runToEnd(r), PurgeState::Failed);
  sqlite3_exec(other, "ROLLBACK", nullptr, nullptr, nullptr);
  sqlite3_close(other);
  ASSERT_EQ(prompts.requests.size(), 1u) << prompts.transcript();
  EXPECT_EQ(prompts.requests[0].caption, "Warning!");
  EXPECT_NE(prompts.requests[0].text.find("\r\nTransaction Frame Error!\r\n"), std::string::npos);
  EXPECT_TRUE(r.view().failureShown);  // the window does not say it twice
  EXPECT_FALSE(r.view().failure.empty());
  EXPECT_FALSE(transactionActive());
  EXPECT_EQ(messages(), before);
}

TEST_F(PurgeRunTest, ShortOfTenMegabytesTheDeletingStepsReopenTheirFilesAndGoOn) {
  makeDatabase(KindForumDb);
  section(100, 1, "General");
  person(10, "Ann", "Lee");
  person(11, "Bob", "Ray");
  thread(1000, 100, "Gone", 40);
  thread(1001, 100, "Many", 200);
  for (uint32_t i = 0; i < 40; ++i) message(4000 + i, 1000, 10, 11, 100, "text", 0);
  for (uint32_t i = 0; i < 200; ++i) message(5000 + i, 1001, 10 + i % 2, 11 - i % 2, 100, "text", i < 150 ? 2 : 0);
  threadStatus(1000, 2);
  // Enough for a commit, short of what the deleting steps want; nothing is
  // scripted, so every question is answered with its default, Abort.
  PurgeRun r(PurgePurging);
  std::vector<int> askedIn;
  setFreeSpaceFunction([&](const std::string&) -> int64_t { return 7000000; });
  ASSERT_TRUE(r.start());
  size_t asked = 0;
  // A tick of no time works at most 16 records: several batches a step.
  while (r.tick(std::chrono::milliseconds(0))) {
    for (; asked < prompts.requests.size(); ++asked) askedIn.push_back(r.step());
  }
  setFreeSpaceFunction(nullptr);
  EXPECT_EQ(r.state(), PurgeState::Finished) << r.view().failure;
  ASSERT_FALSE(askedIn.empty());
  for (int step : askedIn) EXPECT_TRUE(step == 1 || step == 2) << step;
  EXPECT_TRUE(std::count(askedIn.begin(), askedIn.end(), 2) > 1);
  EXPECT_EQ(prompts.requests[0].buttons, unsigned(BtnOk | BtnAbort));
  EXPECT_EQ(prompts.requests[0].text.rfind("You have only 7,000,000 bytes free on disk ", 0), 0u);
  // The walk went on after every reopening: the run deleted what an
  // undisturbed run deletes.
  std::set<uint32_t> left;
  for (uint32_t i = 150; i < 200; ++i) left.insert(5000 + i);
  EXPECT_EQ(messages(), left);
  EXPECT_EQ(texts(), left);
  EXPECT_EQ(threads(), (std::set<uint32_t>{1001}));
  EXPECT_EQ(threadRec(1001).MSGCOUNT, 50u);
}

TEST_F(PurgeRunTest, ADatabaseOfStatusDeleteIsToldToTheCaller) {
  uint32_t id = makeDatabase(KindForumDb);
  ASSERT_TRUE(setDatabaseStatus(id, 2));
  PurgeRun purge(PurgePurging);
  EXPECT_TRUE(purge.markedForDeletion());
  PurgeRun count(PurgeCounting);
  EXPECT_FALSE(count.markedForDeletion());
}

}  // namespace
