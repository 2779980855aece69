// Finding and creating persons (directly, through an alias, or anew when the
// alias is stale) and recounting the messages of a person.
#include <gtest/gtest.h>

#include <thread>

#include "dictionary/dictionary.h"
#include "services/file_service.h"
#include "services/globals.h"
#include "services/ids.h"
#include "services/persons.h"
#include "services/record_helpers.h"
#include "services/whole_names.h"
#include "support/services_fixture.h"

using namespace qv;
using namespace qvtest;

namespace {

class PersonsTest : public InstallationTest {
 protected:
  void SetUp() override {
    InstallationTest::SetUp();
    selectDatabase(1, 2);
    OP_CLOSE(OpShared, {FileControl, FilePerson, FilePLINK, FileExtras, FileMail, FileMsgNmbr});
  }
  void TearDown() override {
    if (transactionActive()) rollbackTransaction();
    OP_CLOSE(OpRelease, {FileControl, FilePerson, FilePLINK, FileExtras, FileMail, FileMsgNmbr});
    InstallationTest::TearDown();
  }

  static void addAlias(const std::string& string, uint32_t personId) {
    PLI = PLINKRec();
    PLI.PERSONSTRING = string;
    PLI.PERSONID = personId;
    ASSERT_TRUE(PLINK.add()) << ErrorText();
  }
  static bool aliasExists(const std::string& string) {
    PLI = PLINKRec();
    PLI.PERSONSTRING = string;
    return PLINK.get(PLI_StringKey);
  }
  static void addMail(uint32_t id, const std::string& fromAlpha, uint32_t fromId, const std::string& toAlpha,
                      uint32_t toId) {
    MAI = MailRec();
    MAI.MAILID = id;
    MAI.FROMALPHA = fromAlpha;
    MAI.FROMID = fromId;
    MAI.TOALPHA = toAlpha;
    MAI.TOID = toId;
    MAI.DATE = 80000 + int32_t(id);
    ASSERT_TRUE(Mail.add()) << ErrorText();
  }
  static void addMessage(uint32_t id, const std::string& fromAlpha, uint32_t fromId, const std::string& toAlpha,
                         uint32_t toId) {
    MSG = MsgNmbrRec();
    MSG.MSGNUMBER = id;
    MSG.FROMALPHA = fromAlpha;
    MSG.FROMID = fromId;
    MSG.TOALPHA = toAlpha;
    MSG.TOID = toId;
    ASSERT_TRUE(MsgNmbr.add()) << ErrorText();
  }
  static void setPerson(uint32_t id, const std::string& last, uint32_t from, uint32_t to) {
    PER = PersonRec();
    PER.PERSONID = id;
    PER.LASTNAME = last;
    PER.FROMCOUNT = from;
    PER.TOCOUNT = to;
  }
};

// ---- AddPers ----

TEST_F(PersonsTest, CreatesAPersonWithTheNameSplit) {
  EXPECT_FALSE(AddPers("Mary Ann Smith", "mary@example.com"));
  EXPECT_TRUE(prompts.requests.empty()) << prompts.transcript();
  EXPECT_EQ(PER.PERSONID, 250000u) << "IDs come from the installation's counter";
  EXPECT_EQ(PER.PERSONSTRING.str(), "MARY ANN SMITH MARY@EXAMPLE.COM");
  EXPECT_EQ(PER.LASTNAME.str(), "Smith");
  EXPECT_EQ(PER.FIRSTNAME.str(), "Mary Ann");
  EXPECT_EQ(PER.ADDRESS.str(), "mary@example.com");
  EXPECT_EQ(PER.FROMCOUNT, 0u);
  EXPECT_EQ(PER.TOCOUNT, 0u);

  // Stored as it is in the buffer.
  uint32_t id = PER.PERSONID;
  PER = PersonRec();
  PER.PERSONID = id;
  ASSERT_TRUE(Person.get(PER_PersonKey));
  EXPECT_EQ(PER.LASTNAME.str(), "Smith");

  EXPECT_FALSE(AddPers("John Smith III", "12345,678"));
  EXPECT_EQ(PER.PERSONID, 250001u);
  EXPECT_EQ(PER.LASTNAME.str(), "Smith III");
  EXPECT_EQ(PER.FIRSTNAME.str(), "John");

  EXPECT_FALSE(AddPers("Cher", ""));
  EXPECT_EQ(PER.LASTNAME.str(), "Cher");
  EXPECT_EQ(PER.FIRSTNAME.str(), "");
  EXPECT_EQ(Person.records(), 3);
}

TEST_F(PersonsTest, LongNamesKeepTheirStartInTheFieldsAndAreKeptWhole) {
  std::string first = "Bartholomew-Maximilian";
  std::string last = "Featherstonehaugh-Wolfeschlegel";
  EXPECT_FALSE(AddPers(first + " " + last, "b@example.com"));
  EXPECT_EQ(PER.LASTNAME.str(), last.substr(0, 25));
  EXPECT_EQ(PER.FIRSTNAME.str(), first);
  EXPECT_EQ(personName().last, last);
  EXPECT_EQ(personName().first, first);

  // Cut by bytes, a field never ends inside a character: 46 bytes of
  // Cyrillic in 25-byte fields keep 12 and 12 characters.
  EXPECT_FALSE(AddPers("служба ФНС Даниил Суворовский-Преображенский", "s@example.ru"));
  EXPECT_EQ(PER.LASTNAME.str(), "Суворовский-П");
  EXPECT_EQ(PER.FIRSTNAME.str(), "служба ФНС Да");
  EXPECT_EQ(personName().last, "Суворовский-Преображенский");
  EXPECT_EQ(personName().first, "служба ФНС Даниил");
  // A name that fits keeps nothing beside its fields.
  int64_t kept = Extras.records();
  EXPECT_FALSE(AddPers("Ann Lee", "ann@example.com"));
  EXPECT_EQ(Extras.records(), kept);
  EXPECT_EQ(personName().last, "Lee");
}

TEST_F(PersonsTest, FindsAPersonAgainWhateverTheLetterCase) {
  ASSERT_FALSE(AddPers("Jörg Müller", "joerg@example.de"));
  uint32_t id = PER.PERSONID;
  EXPECT_EQ(PER.PERSONSTRING.str(), "JÖRG MÜLLER JOERG@EXAMPLE.DE");

  EXPECT_FALSE(AddPers("JÖRG MÜLLER   ", "Joerg@Example.DE"));
  EXPECT_EQ(PER.PERSONID, id);
  EXPECT_FALSE(AddPers("jörg müller", "joerg@example.de"));
  EXPECT_EQ(PER.PERSONID, id);
  EXPECT_EQ(Person.records(), 1);

  // Another address is another person.
  EXPECT_FALSE(AddPers("Jörg Müller", "joerg@example.com"));
  EXPECT_NE(PER.PERSONID, id);
  EXPECT_EQ(Person.records(), 2);
}

TEST_F(PersonsTest, ResolvesAnAlias) {
  ASSERT_FALSE(AddPers("John Smith", "jsmith@example.com"));
  uint32_t id = PER.PERSONID;
  addAlias(personString("J. Smith", "old@example.com"), id);

  PER = PersonRec();
  EXPECT_FALSE(AddPers("j. smith", "OLD@example.com"));
  EXPECT_EQ(PER.PERSONID, id);
  EXPECT_EQ(PER.PERSONSTRING.str(), "JOHN SMITH JSMITH@EXAMPLE.COM");
  EXPECT_EQ(Person.records(), 1);
  EXPECT_TRUE(aliasExists("J. SMITH OLD@EXAMPLE.COM"));
}

TEST_F(PersonsTest, RecreatesThePersonOfAStaleAlias) {
  addAlias("GONE PERSON GONE@EXAMPLE.COM", 123456);
  EXPECT_FALSE(AddPers("Gone Person", "gone@example.com"));
  EXPECT_TRUE(prompts.requests.empty()) << prompts.transcript();
  uint32_t id = PER.PERSONID;
  EXPECT_NE(id, 123456u);
  EXPECT_NE(id, 0u);
  EXPECT_EQ(PER.PERSONSTRING.str(), "GONE PERSON GONE@EXAMPLE.COM");
  EXPECT_EQ(PER.LASTNAME.str(), "Person");
  EXPECT_FALSE(aliasExists("GONE PERSON GONE@EXAMPLE.COM")) << "the stale alias is removed";
  EXPECT_EQ(Person.records(), 1);

  // Found directly from now on.
  EXPECT_FALSE(AddPers("Gone Person", "gone@example.com"));
  EXPECT_EQ(PER.PERSONID, id);
  EXPECT_EQ(Person.records(), 1);
}

TEST_F(PersonsTest, StaleAliasIsLeftToThePurgeByATransactionWithoutTheLinks) {
  // Posting holds at most 11 files and reads the links only.
  addAlias("GONE PERSON GONE@EXAMPLE.COM", 123456);
  ASSERT_TRUE(BeginTransaction({&Person, &Control}, 2));
  EXPECT_FALSE(AddPers("Gone Person", "gone@example.com"));
  ASSERT_TRUE(commitTransaction()) << ErrorText();
  EXPECT_EQ(Person.records(), 1);
  EXPECT_TRUE(aliasExists("GONE PERSON GONE@EXAMPLE.COM"));
  // The person is found by its string from now on.
  uint32_t id = PER.PERSONID;
  EXPECT_FALSE(AddPers("Gone Person", "gone@example.com"));
  EXPECT_EQ(PER.PERSONID, id);
}

TEST_F(PersonsTest, StaleAliasInsideATransactionCommitsAsOne) {
  addAlias("GONE PERSON GONE@EXAMPLE.COM", 123456);
  ASSERT_TRUE(BeginTransaction({&Person, &PLINK}, 2));
  EXPECT_FALSE(AddPers("Gone Person", "gone@example.com"));
  ASSERT_TRUE(commitTransaction()) << ErrorText();
  EXPECT_EQ(Person.records(), 1);
  EXPECT_EQ(PLINK.records(), 0);
}

TEST_F(PersonsTest, NoPersonWithoutAnId) {
  // Another user holds the counter's record, so no ID can be drawn.
  CTL = ControlRec();
  CTL.ID = 1;
  ASSERT_TRUE(Control.get(CTL_IdKey));
  int64_t pos = Control.position();
  std::thread other([&] {
    setCurrentHolder(888001);
    ASSERT_TRUE(Control.getPosition(pos));
    ASSERT_TRUE(Control.hold(0));
  });
  other.join();

  ASSERT_TRUE(BeginTransaction({&Person, &PLINK}, 2));
  addAlias("SOMEONE ELSE X", 5);
  EXPECT_TRUE(AddPers("New Person", "new@example.com"));
  ASSERT_EQ(prompts.requests.size(), 2u) << prompts.transcript();
  EXPECT_EQ(prompts.requests[0].text, std::string(errorMessage(ErrHeld)) + "\r\nNext ID cannot be generated!");
  EXPECT_EQ(prompts.requests[0].caption, "Control File Error");
  EXPECT_EQ(prompts.requests[1].text, "A new person ID could not be generated \r\nThe last transaction is rolled back.");
  EXPECT_EQ(prompts.requests[1].caption, Person.name());
  EXPECT_FALSE(transactionActive());
  EXPECT_EQ(PLINK.records(), 0) << "the transaction was rolled back";
  EXPECT_EQ(Person.records(), 0);

  prompts.reset();
  Mem.DoTask = RunUnattended;
  EXPECT_TRUE(AddPers("New Person", "new@example.com"));
  EXPECT_TRUE(prompts.requests.empty()) << prompts.transcript();
  OP_CLOSE(OpForceClose, {FileControl});  // lets the other user's hold go
  OP_CLOSE(OpShared, {FileControl});
}

// ---- counting ----

TEST_F(PersonsTest, CFromToMailCountsTheMailOfThePerson) {
  // Last name longer than the 10 characters kept in the mail records.
  const std::string alpha = "Smitherson";
  addMail(1, alpha, 7, "Other", 9);
  addMail(2, alpha, 7, "Other", 9);
  addMail(3, "Other", 9, alpha, 7);
  addMail(4, alpha, 8, alpha, 8);          // a namesake
  addMail(5, "Smitherso", 7, "Other", 9);  // the person under another name
  addMail(6, "Other", 9, "Other", 9);

  setPerson(7, "Smithersonian", 0, 0);
  EXPECT_EQ(CFromToMail(RecountReportNone), RecountChanged);
  EXPECT_EQ(PER.FROMCOUNT, 2u);
  EXPECT_EQ(PER.TOCOUNT, 1u);
  EXPECT_EQ(CFromToMail(RecountReportNone), RecountSame) << "the counts are right now";
  EXPECT_EQ(CFromToMail(RecountZeroNone), RecountSame);

  setPerson(8, "Smithersonian", 1, 1);
  EXPECT_EQ(CFromToMail(RecountCountsOnly), RecountSame);
  setPerson(8, "Smithersonian", 1, 0);
  EXPECT_EQ(CFromToMail(RecountCountsOnly), RecountChanged);
  EXPECT_EQ(PER.TOCOUNT, 1u);
}

TEST_F(PersonsTest, CFromToMailOfAPersonWithoutMail) {
  addMail(1, "Other", 9, "Other", 9);

  setPerson(7, "Nobody", 4, 5);
  EXPECT_EQ(CFromToMail(RecountReportNone), RecountNoMessages);
  EXPECT_EQ(PER.FROMCOUNT, 4u) << "RecountReportNone leaves the counts to the caller, who deletes the person";
  EXPECT_EQ(PER.TOCOUNT, 5u);

  EXPECT_EQ(CFromToMail(RecountZeroNone), RecountChanged);
  EXPECT_EQ(PER.FROMCOUNT, 0u);
  EXPECT_EQ(PER.TOCOUNT, 0u);

  setPerson(7, "Nobody", 4, 5);
  EXPECT_EQ(CFromToMail(RecountCountsOnly), RecountSame);
  EXPECT_EQ(PER.FROMCOUNT, 4u);
  EXPECT_EQ(PER.TOCOUNT, 5u);
}

TEST_F(PersonsTest, RecountForumPersonCountsTheMessages) {
  addMessage(1, "Berg", 21, "Dahl", 22);
  addMessage(2, "Berg", 21, "Berg", 23);
  addMessage(3, "Dahl", 22, "Berg", 21);
  addMessage(4, "Dahl", 22, "Dahl", 22);

  setPerson(21, "Berg", 0, 0);
  EXPECT_EQ(RecountForumPerson(), RecountChanged);
  EXPECT_EQ(PER.FROMCOUNT, 2u);
  EXPECT_EQ(PER.TOCOUNT, 1u);
  EXPECT_EQ(RecountForumPerson(), RecountSame);

  setPerson(22, "Dahl", 2, 2);
  EXPECT_EQ(RecountForumPerson(), RecountSame);

  setPerson(30, "Quiet", 1, 0);
  EXPECT_EQ(RecountForumPerson(), RecountNoMessages);
}

}  // namespace
