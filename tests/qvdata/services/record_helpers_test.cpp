// Adding, changing, deleting and holding records with their failure reports,
// the list write-back, the in-memory list check and the transaction check.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <thread>

#include "dictionary/dictionary.h"
#include "services/file_service.h"
#include "services/globals.h"
#include "services/record_helpers.h"
#include "storage/collation.h"
#include "support/services_fixture.h"

using namespace qv;
using namespace qvtest;

namespace {

class RecordHelpersTest : public InstallationTest {
 protected:
  void SetUp() override {
    InstallationTest::SetUp();
    selectDatabase(1, 2);
    OP_CLOSE(OpShared, {FilePerson, FilePLINK});
  }
  void TearDown() override {
    if (transactionActive()) rollbackTransaction();
    OP_CLOSE(OpRelease, {FilePerson, FilePLINK});
    InstallationTest::TearDown();
  }

  // Adds a person and returns its stored position.
  int64_t addPerson(uint32_t id, const std::string& string, const std::string& last = "") {
    PER = PersonRec();
    PER.PERSONID = id;
    PER.PERSONSTRING = string;
    PER.LASTNAME = last;
    EXPECT_TRUE(Person.add()) << ErrorText();
    return Person.position();
  }
  bool readPerson(uint32_t id) {
    PER = PersonRec();
    PER.PERSONID = id;
    return Person.get(PER_PersonKey);
  }
  // Runs fn on a thread of its own that holds records as another user.
  static void asOtherUser(const std::function<void()>& fn) {
    std::thread t([&] {
      setCurrentHolder(777001);
      fn();
    });
    t.join();
  }
  // Holds the person at a position as another user.
  void holdAsOtherUser(int64_t pos) {
    asOtherUser([&] {
      ASSERT_TRUE(Person.getPosition(pos)) << ErrorText();
      ASSERT_TRUE(Person.hold(0)) << ErrorText();
    });
  }
  bool otherUserCanHold(int64_t pos) {
    bool held = false;
    asOtherUser([&] {
      held = Person.getPosition(pos) && Person.hold(0);
      if (held) Person.release();
    });
    return held;
  }
  // Changes the Person file behind the program's back, as another program would.
  void execOnPerson(const std::string& sql) {
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(Person.name().c_str(), &db), SQLITE_OK);
    registerCollations(db);
    sqlite3_busy_timeout(db, 2000);
    ASSERT_EQ(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr), SQLITE_OK) << sqlite3_errmsg(db);
    sqlite3_close(db);
  }
  void changeStored(int64_t pos, const std::string& column, const std::string& value) {
    execOnPerson("UPDATE \"Person\" SET \"" + column + "\" = '" + value + "' WHERE qv_pos = " + std::to_string(pos));
  }
  void deleteStored(int64_t pos) { execOnPerson("DELETE FROM \"Person\" WHERE qv_pos = " + std::to_string(pos)); }
};

const char* kDuplicate = "Record add error!\r\nA record with identical key already exists!";

// ---- UppDat ----

TEST_F(RecordHelpersTest, UppDatPerformsEachOperation) {
  PER = PersonRec();
  PER.PERSONID = 1;
  PER.PERSONSTRING = "ANN";
  ASSERT_TRUE(UppDat(Person, OpAdd, ReportShow));
  PER.PERSONID = 2;
  PER.PERSONSTRING = "BOB";
  ASSERT_TRUE(UppDat(Person, OpAppend, ReportShow));
  ASSERT_TRUE(readPerson(1));
  PER.LASTNAME = "Changed";
  ASSERT_TRUE(UppDat(Person, OpChange, ReportShow));
  ASSERT_TRUE(readPerson(2));
  ASSERT_TRUE(UppDat(Person, OpRemove, ReportShow));

  EXPECT_TRUE(prompts.requests.empty()) << prompts.transcript();
  EXPECT_EQ(Person.records(), 1);
  ASSERT_TRUE(readPerson(1));
  EXPECT_EQ(PER.LASTNAME.str(), "Changed");
  EXPECT_FALSE(readPerson(2));
}

TEST_F(RecordHelpersTest, DuplicateKeyIsReportedWithTheFileNameInModeSeven) {
  addPerson(1, "JOHN SMITH");
  PER = PersonRec();
  PER.PERSONID = 2;
  PER.PERSONSTRING = "john smith";  // the key ignores letter case
  EXPECT_FALSE(UppDat(Person, OpAdd, ReportShow));
  const PromptRequest& r = onlyRequest();
  EXPECT_EQ(r.text, kDuplicate);
  EXPECT_EQ(r.caption, Person.name());
  EXPECT_EQ(Person.records(), 1);
}

TEST_F(RecordHelpersTest, DuplicateKeyShowsNothingInModeZeroOrUnattended) {
  addPerson(1, "JOHN SMITH");
  PER = PersonRec();
  PER.PERSONID = 2;
  PER.PERSONSTRING = "JOHN SMITH";
  EXPECT_FALSE(UppDat(Person, OpAdd, ReportQuiet));
  EXPECT_EQ(ErrorCode(), ErrDuplicateKey);
  Mem.DoTask = RunUnattended;
  EXPECT_FALSE(UppDat(Person, OpAdd, ReportShow));
  EXPECT_FALSE(UppDat(Person, OpAdd, ReportRollback));
  Mem.DoTask = RunAbandoning;
  EXPECT_FALSE(UppDat(Person, OpAdd, ReportShow));
  EXPECT_TRUE(prompts.requests.empty()) << prompts.transcript();
}

TEST_F(RecordHelpersTest, ModeEightRollsTheTransactionBack) {
  ASSERT_TRUE(BeginTransaction({&Person, &PLINK}, 2));
  addPerson(1, "FIRST IN TRANSACTION");
  PLI = PLINKRec();
  PLI.PERSONSTRING = "ALIAS";
  PLI.PERSONID = 1;
  ASSERT_TRUE(PLINK.add()) << ErrorText();
  PER = PersonRec();
  PER.PERSONID = 2;
  PER.PERSONSTRING = "FIRST IN TRANSACTION";
  EXPECT_FALSE(UppDat(Person, OpAdd, ReportRollback));

  const PromptRequest& r = onlyRequest();
  EXPECT_EQ(r.text, std::string(kDuplicate) + "\r\nThe last transaction is rolled back.");
  EXPECT_EQ(r.caption, Person.name());
  EXPECT_FALSE(transactionActive());
  EXPECT_EQ(Person.records(), 0);
  EXPECT_EQ(PLINK.records(), 0);

  // Unattended, the transaction is rolled back just the same, silently.
  prompts.reset();
  Mem.DoTask = RunUnattended;
  ASSERT_TRUE(BeginTransaction({&Person}, 2));
  addPerson(3, "SECOND");
  PER.PERSONID = 4;
  EXPECT_FALSE(UppDat(Person, OpAdd, ReportRollback));
  EXPECT_FALSE(transactionActive());
  EXPECT_EQ(Person.records(), 0);
  EXPECT_TRUE(prompts.requests.empty()) << prompts.transcript();
}

TEST_F(RecordHelpersTest, FirstLineNamesTheOperation) {
  int64_t a = addPerson(1, "ANN");
  addPerson(2, "BOB");

  // Change to a key value another record has.
  ASSERT_TRUE(readPerson(2));
  PER.PERSONSTRING = "ANN";
  EXPECT_FALSE(UppDat(Person, OpChange, ReportShow));
  EXPECT_EQ(onlyRequest().text, "Record update error!\r\nA record with identical key already exists!");

  // Delete of a record another program removed meanwhile.
  prompts.reset();
  ASSERT_TRUE(Person.getPosition(a));
  deleteStored(a);
  EXPECT_FALSE(UppDat(Person, OpRemove, ReportShow));
  EXPECT_EQ(onlyRequest().text, "Record delete error!\r\nRecord not available!");
  EXPECT_EQ(onlyRequest().caption, Person.name());

  // Change without a current record.
  prompts.reset();
  Person.close();
  OP_CLOSE(OpForceClose, {FilePerson});
  OP_CLOSE(OpShared, {FilePerson});
  PER = PersonRec();
  EXPECT_FALSE(UppDat(Person, OpChange, ReportShow));
  EXPECT_EQ(onlyRequest().text, "Record update error!\r\nRecord not available!");

  // Append with a duplicate primary key.
  prompts.reset();
  PER = PersonRec();
  PER.PERSONID = 2;
  PER.PERSONSTRING = "CAROL";
  EXPECT_FALSE(UppDat(Person, OpAppend, ReportShow));
  EXPECT_EQ(onlyRequest().text, kDuplicate);
}

TEST_F(RecordHelpersTest, OtherFailuresShowThePlatformText) {
  int64_t a = addPerson(1, "ANN");
  holdAsOtherUser(a);
  ASSERT_TRUE(Person.getPosition(a));
  PER.LASTNAME = "Mine";
  EXPECT_FALSE(UppDat(Person, OpChange, ReportShow));
  EXPECT_EQ(onlyRequest().text, "Record update error!\r\n" + std::string(errorMessage(ErrHeld)));
}

TEST_F(RecordHelpersTest, ModeSevenReleasesTheHeldRecordOfAFailedChange) {
  addPerson(1, "ANN");
  int64_t b = addPerson(2, "BOB");

  // Mode 0: the record stays held.
  ASSERT_TRUE(Person.getPosition(b));
  ASSERT_TRUE(Person.hold(1));
  PER.PERSONSTRING = "ANN";
  EXPECT_FALSE(UppDat(Person, OpChange, ReportQuiet));
  EXPECT_FALSE(otherUserCanHold(b));

  // Mode 7: released with the message.
  ASSERT_TRUE(Person.getPosition(b));
  ASSERT_TRUE(Person.hold(1));
  PER.PERSONSTRING = "ANN";
  EXPECT_FALSE(UppDat(Person, OpChange, ReportShow));
  EXPECT_EQ(prompts.requests.size(), 1u);
  EXPECT_TRUE(otherUserCanHold(b));
}

// ---- HoldRec ----

TEST_F(RecordHelpersTest, HoldRecReadsAndHoldsByKeyOrPosition) {
  int64_t a = addPerson(1, "ANN", "Anders");
  addPerson(2, "BOB", "Berg");

  PER = PersonRec();
  PER.PERSONID = 2;
  ASSERT_TRUE(HoldRec(Person, &PER_PersonKey, true));
  EXPECT_EQ(PER.LASTNAME.str(), "Berg");
  EXPECT_FALSE(otherUserCanHold(Person.position()));

  PER = PersonRec();
  ASSERT_TRUE(HoldRec(Person, &PER_PersonKey, false, a));
  EXPECT_EQ(PER.LASTNAME.str(), "Anders");
  EXPECT_FALSE(otherUserCanHold(a));
  EXPECT_TRUE(prompts.requests.empty()) << prompts.transcript();
  Person.release();
}

TEST_F(RecordHelpersTest, HoldRecOfADeletedRecord) {
  int64_t a = addPerson(1, "ANN");
  deleteStored(a);
  EXPECT_FALSE(HoldRec(Person, nullptr, false, a));
  const PromptRequest& r = onlyRequest();
  EXPECT_EQ(r.text, "The record has been deleted by another user!\r\n                   Update is cancelled!");
  EXPECT_EQ(r.caption, Person.name());

  prompts.reset();
  PER = PersonRec();
  PER.PERSONID = 1;
  EXPECT_FALSE(HoldRec(Person, &PER_PersonKey, true));
  EXPECT_EQ(onlyRequest().caption, Person.name());

  prompts.reset();
  Mem.DoTask = RunUnattended;
  EXPECT_FALSE(HoldRec(Person, nullptr, false, a));
  EXPECT_TRUE(prompts.requests.empty()) << prompts.transcript();
}

TEST_F(RecordHelpersTest, HoldRecOfARecordHeldByAnother) {
  int64_t a = addPerson(1, "ANN");
  holdAsOtherUser(a);
  EXPECT_FALSE(HoldRec(Person, nullptr, false, a));
  const PromptRequest& r = onlyRequest();
  EXPECT_EQ(r.text, "The record is locked by another user!\r\nUpdate is cancelled, try again later!");
  EXPECT_EQ(r.caption, "The record is not accessible!");

  prompts.reset();
  Mem.DoTask = RunAbandoning;
  EXPECT_FALSE(HoldRec(Person, nullptr, false, a));
  EXPECT_TRUE(prompts.requests.empty()) << prompts.transcript();
}

TEST_F(RecordHelpersTest, HoldRecOfAnUnreadableRecord) {
  addPerson(1, "ANN");
  Person.close();  // the file behind the number is not open
  EXPECT_FALSE(HoldRec(Person, nullptr, false, 1));
  const PromptRequest& r = onlyRequest();
  EXPECT_EQ(r.text, "               The record cannot be read!\r\nUpdate is cancelled, try again later!");
  EXPECT_EQ(r.caption, "The record is not accessible!");
  OP_CLOSE(OpForceClose, {FilePerson});
  OP_CLOSE(OpShared, {FilePerson});
}

// ---- SaveRec ----

TEST_F(RecordHelpersTest, SaveRecWritesAnUnchangedRecordBack) {
  int64_t a = addPerson(1, "ANN", "Anders");
  ASSERT_TRUE(Person.getPosition(a));
  RecordImage original = saveRecord(Person.decl());
  PER.LASTNAME = "Andersson";
  int refreshed = 0;
  EXPECT_TRUE(SaveRec(Person, a, original, OpChange, [&] { ++refreshed; }));
  EXPECT_EQ(refreshed, 1);
  EXPECT_TRUE(prompts.requests.empty()) << prompts.transcript();
  ASSERT_TRUE(readPerson(1));
  EXPECT_EQ(PER.LASTNAME.str(), "Andersson");
  EXPECT_TRUE(otherUserCanHold(a)) << "the hold ends with the write";

  ASSERT_TRUE(Person.getPosition(a));
  original = saveRecord(Person.decl());
  EXPECT_TRUE(SaveRec(Person, a, original, OpRemove, nullptr));
  EXPECT_FALSE(readPerson(1));
}

TEST_F(RecordHelpersTest, SaveRecDetectsAChangeMadeMeanwhile) {
  int64_t a = addPerson(1, "ANN", "Anders");
  ASSERT_TRUE(Person.getPosition(a));
  RecordImage original = saveRecord(Person.decl());
  PER.LASTNAME = "Mine";
  changeStored(a, "LASTNAME", "Theirs");
  int refreshed = 0;
  EXPECT_FALSE(SaveRec(Person, a, original, OpChange, [&] { ++refreshed; }));
  const PromptRequest& r = onlyRequest();
  EXPECT_EQ(r.text, "The record has just been changed by another user!\r\nTry again!");
  EXPECT_EQ(r.caption, "Warning!");
  EXPECT_EQ(refreshed, 1);
  EXPECT_EQ(PER.LASTNAME.str(), "Theirs") << "the buffer shows the stored record";
  ASSERT_TRUE(readPerson(1));
  EXPECT_EQ(PER.LASTNAME.str(), "Theirs") << "the other user's change is kept";
  EXPECT_TRUE(otherUserCanHold(a));

  // Nor is a record deleted after the other user changed it.
  prompts.reset();
  ASSERT_TRUE(Person.getPosition(a));
  original = saveRecord(Person.decl());
  changeStored(a, "FIRSTNAME", "Eve");
  EXPECT_FALSE(SaveRec(Person, a, original, OpRemove, nullptr));
  EXPECT_EQ(prompts.requests.size(), 1u);
  EXPECT_TRUE(readPerson(1));
}

TEST_F(RecordHelpersTest, SaveRecOfARecordDeletedMeanwhile) {
  int64_t a = addPerson(1, "ANN");
  ASSERT_TRUE(Person.getPosition(a));
  RecordImage original = saveRecord(Person.decl());
  deleteStored(a);
  EXPECT_FALSE(SaveRec(Person, a, original, OpChange, nullptr));
  EXPECT_EQ(onlyRequest().caption, Person.name());
  EXPECT_EQ(Person.records(), 0) << "the record is not brought back";
}

// ---- QError ----

TEST_F(RecordHelpersTest, QErrorChecksTheLastListOperation) {
  setQueueError(QueueOk);
  EXPECT_FALSE(QError(ReportShow));
  setQueueError(QueueNotFound);
  EXPECT_FALSE(QError(ReportShow));
  EXPECT_TRUE(prompts.requests.empty()) << prompts.transcript();

  struct Case {
    int code;
    const char* detail;
    const char* caption;
  };
  for (const Case& c : {Case{QueueNoMemory, "Insufficient memory!", "Fatal error!"},
                        Case{QueueBadDescriptor, "Invalid field type descriptor!", "Fatal error!"},
                        Case{QueueOther, "list trouble", "Warning!"}}) {
    prompts.reset();
    setQueueError(c.code, "list trouble");
    EXPECT_TRUE(QError(ReportShow));
    EXPECT_EQ(onlyRequest().text, std::string("Queue access error\r\n") + c.detail);
    EXPECT_EQ(onlyRequest().caption, c.caption);
  }

  prompts.reset();
  setQueueError(QueueOther, "list trouble");
  EXPECT_TRUE(QError(ReportQuiet));
  Mem.DoTask = RunUnattended;
  EXPECT_TRUE(QError(ReportShow));
  EXPECT_TRUE(prompts.requests.empty()) << prompts.transcript();
}

TEST_F(RecordHelpersTest, QErrorInModeEightRollsBack) {
  ASSERT_TRUE(BeginTransaction({&Person}, 2));
  addPerson(1, "ANN");
  setQueueError(QueueNoMemory);
  EXPECT_TRUE(QError(ReportRollback));
  EXPECT_EQ(onlyRequest().text, "Queue access error\r\nInsufficient memory!\r\nThe last transaction is rolled back.");
  EXPECT_EQ(onlyRequest().caption, "Fatal error");
  EXPECT_FALSE(transactionActive());
  EXPECT_EQ(Person.records(), 0);
}

// ---- the transaction check ----

TEST_F(RecordHelpersTest, TransactionCheckPassesACommittedTransaction) {
  ASSERT_TRUE(BeginTransaction({&Person}, 2));
  addPerson(1, "ANN");
  ASSERT_TRUE(commitTransaction());
  EXPECT_FALSE(TransactionCheck());
  EXPECT_TRUE(prompts.requests.empty()) << prompts.transcript();
  EXPECT_EQ(Person.records(), 1);
}

TEST_F(RecordHelpersTest, TransactionCheckRollsBackAFailedCommit) {
  ASSERT_TRUE(BeginTransaction({&Person}, 2));
  addPerson(1, "ANN");
  // What a failed commit leaves behind.
  setError(ErrDiskFull, Person.name());
  EXPECT_TRUE(TransactionCheck());
  EXPECT_EQ(onlyRequest().text, std::string(errorMessage(ErrDiskFull)) + "\r\nTransaction Frame Error!\r\n");
  EXPECT_EQ(onlyRequest().caption, "Warning!");
  EXPECT_FALSE(transactionActive());
  EXPECT_EQ(Person.records(), 0);

  prompts.reset();
  Mem.DoTask = RunUnattended;
  ASSERT_TRUE(BeginTransaction({&Person}, 2));
  addPerson(2, "BOB");
  setError(ErrDiskFull, Person.name());
  EXPECT_TRUE(TransactionCheck());
  EXPECT_FALSE(transactionActive());
  EXPECT_EQ(Person.records(), 0);
  EXPECT_TRUE(prompts.requests.empty()) << prompts.transcript();
}

TEST_F(RecordHelpersTest, BeginTransactionReportsWhyItCouldNotStart) {
  OP_CLOSE(OpForceClose, {FilePLINK});
  EXPECT_FALSE(BeginTransaction({&Person, &PLINK}, 1));
  EXPECT_EQ(prompts.requests.size(), 1u);
  EXPECT_NE(onlyRequest().text.find("The transaction could not be started."), std::string::npos);
  EXPECT_FALSE(transactionActive());
  prompts.reset();
  EXPECT_FALSE(BeginTransaction({&Person, &PLINK}, 1, ReportQuiet));
  EXPECT_TRUE(prompts.requests.empty());
  OP_CLOSE(OpShared, {FilePLINK});
}

}  // namespace
