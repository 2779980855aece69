// The person operations of the person windows and qvcli persons: the merge
// list and the merge (messages, aliases, counts, the mailbox owner), the
// alias list with its swap, the name change and the way to a person's
// messages.
#include <gtest/gtest.h>

#include <algorithm>

#include "browse/browse_state.h"
#include "browse_fixture.h"
#include "persons/person_aliases.h"
#include "persons/person_list.h"
#include "persons/person_merge.h"
#include "persons/person_messages.h"
#include "persons/person_names.h"
#include "persons/person_rename.h"

using namespace qv;

namespace {

class PersonOpsTest : public qvtest::BrowseTest {
 protected:
  void TearDown() override {
    OP_CLOSE(OpForceClose, {FilePLINK, FileDbRef});
    BrowseTest::TearDown();
  }

  static void alias(const std::string& string, uint32_t personId) {
    PLI = PLINKRec();
    PLI.PERSONSTRING = string;
    PLI.PERSONID = personId;
    add(FilePLINK);
  }
  static void personAt(uint32_t id, const std::string& first, const std::string& last, const std::string& address,
                       const std::string& string) {
    PER = PersonRec();
    PER.PERSONID = id;
    PER.FIRSTNAME = first;
    PER.LASTNAME = last;
    PER.ADDRESS = address;
    PER.PERSONSTRING = string;
    add(FilePerson);
  }
  // A mail with sender, receiver and partner given one by one.
  static void rawMail(uint32_t id, uint32_t from, uint32_t to, uint32_t pair) {
    MAI = MailRec();
    MAI.MAILID = id;
    MAI.DATE = 100 + int32_t(id % 50);
    MAI.FROMID = from;
    MAI.FROMALPHA = qvtest::alphaOf(from);
    MAI.TOID = to;
    MAI.TOALPHA = qvtest::alphaOf(to);
    MAI.PAIRID = pair;
    MAI.PAIRALPHA = qvtest::alphaOf(pair, 25);
    add(FileMail);
  }

  static bool personExists(uint32_t id) {
    PersonRow r;
    return readPersonRow(id, r);
  }
  static PersonRow row(uint32_t id) {
    PersonRow r;
    EXPECT_TRUE(readPersonRow(id, r)) << id;
    return r;
  }
  // (id, alpha) of every role of every message, to check that none names a person.
  struct Ref {
    uint32_t message, id;
    std::string alpha;
  };
  static std::vector<Ref> references(int kind) {
    std::vector<Ref> out;
    if (kind == KindMailDb) {
      OP_CLOSE(OpShared, {FileMail});
      Mail.setFileOrder();
      while (Mail.next()) {
        out.push_back({MAI.MAILID, MAI.FROMID, MAI.FROMALPHA.str()});
        out.push_back({MAI.MAILID, MAI.TOID, MAI.TOALPHA.str()});
        out.push_back({MAI.MAILID, MAI.PAIRID, MAI.PAIRALPHA.str()});
      }
      OP_CLOSE(OpRelease, {FileMail});
    } else {
      OP_CLOSE(OpShared, {FileMsgNmbr});
      MsgNmbr.setFileOrder();
      while (MsgNmbr.next()) {
        out.push_back({MSG.MSGNUMBER, MSG.FROMID, MSG.FROMALPHA.str()});
        out.push_back({MSG.MSGNUMBER, MSG.TOID, MSG.TOALPHA.str()});
      }
      OP_CLOSE(OpRelease, {FileMsgNmbr});
    }
    return out;
  }
  static std::vector<std::pair<std::string, uint32_t>> aliases() {
    std::vector<std::pair<std::string, uint32_t>> out;
    OP_CLOSE(OpShared, {FilePLINK});
    PLINK.set(PLI_StringKey);
    while (PLINK.next()) out.emplace_back(PLI.PERSONSTRING.str(), PLI.PERSONID);
    OP_CLOSE(OpRelease, {FilePLINK});
    return out;
  }
  static MergeList listOf(std::initializer_list<uint32_t> ids) {
    MergeList l;
    for (uint32_t id : ids) EXPECT_EQ(l.add(id), MergeList::Added::Added) << id;
    return l;
  }
  int warnings(const std::string& text) {
    return int(std::count_if(prompts.requests.begin(), prompts.requests.end(),
                             [&](const PromptRequest& r) { return r.text == text; }));
  }
};

// ---- names

TEST_F(PersonOpsTest, DisplayNamesJoinLastAndFirstWithACommaOnly) {
  EXPECT_EQ(personWindowName("Smith", "John", false), "Smith,John");
  EXPECT_EQ(personWindowName("Smith  ", "", false), "Smith");
  EXPECT_EQ(personWindowName("", "Cher", false), "");
  EXPECT_EQ(personWindowName("", "Cher", true), "Cher");
  EXPECT_EQ(lastNameAlpha("Abcdefghijklmn", kAlphaWidth), "Abcdefghij");
  EXPECT_EQ(lastNameAlpha("Schäfersmann", kAlphaWidth), "Schäfersm") << "cut on a character boundary";
}

// ---- the merge list

TEST_F(PersonOpsTest, MergeListKeepsOneEntryPerPersonAndAlwaysOneKept) {
  sampleForum();
  MergeList l;
  EXPECT_EQ(l.add(10), MergeList::Added::Added);
  EXPECT_EQ(l.add(10), MergeList::Added::Listed) << "a person dropped twice is listed once";
  EXPECT_EQ(l.add(999), MergeList::Added::NotFound);
  EXPECT_EQ(l.size(), 1u);
  EXPECT_FALSE(l.canMerge()) << "one entry cannot be merged";
  EXPECT_EQ(l.keptId(), 10u) << "the first person is the kept one";
  EXPECT_EQ(l.add(11), MergeList::Added::Added);
  EXPECT_EQ(l.add(12), MergeList::Added::Added);
  EXPECT_TRUE(l.canMerge());
  EXPECT_STREQ(l.entries()[1].action(), "Merge");
  EXPECT_EQ(l.entries()[1].name, "Ray,Bob");

  l.keep(2);
  EXPECT_EQ(l.keptId(), 12u);
  EXPECT_EQ(std::count_if(l.entries().begin(), l.entries().end(), [](const MergeEntry& e) { return e.keep; }), 1);
  l.remove(2);  // the kept entry
  EXPECT_EQ(l.keptId(), 10u) << "removing the kept entry keeps the first remaining one";
  l.remove(0);
  EXPECT_EQ(l.keptId(), 11u);
  l.remove(0);
  EXPECT_TRUE(l.empty());
  EXPECT_EQ(l.keptId(), 0u);
}

TEST_F(PersonOpsTest, MergeListShowsTheFirstNameOfAPersonWithoutLastName) {
  makeDatabase(KindForumDb);
  personAt(30, "Cher", "", "cher@example.org", "CHER CHER@EXAMPLE.ORG");
  MergeList l;
  ASSERT_EQ(l.add(30), MergeList::Added::Added);
  EXPECT_EQ(l.entries()[0].name, "Cher");
  EXPECT_EQ(l.entries()[0].address, "cher@example.org");
  EXPECT_EQ(l.entries()[0].personString, "CHER CHER@EXAMPLE.ORG");
}

// ---- merging

TEST_F(PersonOpsTest, ForumMergeMovesEveryMessageAndAliasAndRecountsTheKeptPerson) {
  sampleForum();
  alias("BOB RAY 76543,21", 11);
  ASSERT_EQ(mergePersons(listOf({10, 11})).merged, (std::vector<uint32_t>{11}));
  EXPECT_TRUE(prompts.requests.empty()) << prompts.transcript();
  EXPECT_FALSE(personExists(11));
  for (const Ref& r : references(KindForumDb)) {
    EXPECT_NE(r.id, 11u) << "message " << r.message << " still names the merged person";
    if (r.id == 10) {
      EXPECT_EQ(r.alpha, "Lee") << "message " << r.message;
    }
  }
  // 10 sent 500, 503, 504 and received 501, 502; 11 sent 501 and received 500, 505.
  PersonRow kept = row(10);
  EXPECT_EQ(kept.sent, 4u);
  EXPECT_EQ(kept.received, 4u) << "500 to 11 and 501 to 10 both count now";
  auto a = aliases();
  EXPECT_NE(std::find(a.begin(), a.end(), std::make_pair(std::string("BOB RAY 76543,21"), 10u)), a.end())
      << "the merged person's aliases move to the kept one";
  EXPECT_NE(std::find(a.begin(), a.end(), std::make_pair(std::string("Bob Ray 11"), 10u)), a.end())
      << "the merged person's own string becomes an alias";
}

TEST_F(PersonOpsTest, MergingAPersonWhoseStringIsAnAliasAlreadyAddsNoSecondAlias) {
  sampleForum();
  alias("Bob Ray 11", 10);  // the person string of person 11 (see addPerson)
  EXPECT_TRUE(mergePersons(listOf({10, 11})).completed) << prompts.transcript();
  EXPECT_TRUE(prompts.requests.empty()) << prompts.transcript();
  auto a = aliases();
  EXPECT_EQ(std::count_if(a.begin(), a.end(), [](const auto& p) { return p.first == "BOB RAY 11" || p.first == "Bob Ray 11"; }),
            1);
}

TEST_F(PersonOpsTest, MailMergeMovesTheMergedPersonInEveryRoleOfEveryMail) {
  uint32_t owner = sampleMailbox();
  person(24, "Fay", "Browne");
  person(25, "List", "Members");
  rawMail(800, 24, owner, 24);  // 24 wrote to the owner
  rawMail(801, owner, 24, 24);  // the owner wrote to 24
  rawMail(802, 25, 24, 25);     // a list mail to 24, whose partner is the list
  rawMail(803, 24, 24, 24);     // a note to oneself
  MergeResult r = mergePersons(listOf({21, 24}));
  EXPECT_TRUE(r.completed) << prompts.transcript();
  EXPECT_FALSE(personExists(24));
  for (const Ref& ref : references(KindMailDb)) {
    EXPECT_NE(ref.id, 24u) << "mail " << ref.message << " still names the merged person";
    if (ref.id == 21) {
      EXPECT_EQ(ref.alpha, "Brown") << "mail " << ref.message;
    }
  }
  // 21 sent 700, 703 and received 701; now also 800, 803 sent and 801, 802, 803 received.
  PersonRow kept = row(21);
  EXPECT_EQ(kept.sent, 4u);
  EXPECT_EQ(kept.received, 4u);
}

TEST_F(PersonOpsTest, TheMailboxOwnerIsNeverMergedAway) {
  uint32_t owner = sampleMailbox();
  MergeResult r = mergePersons(listOf({21, owner, 22}));
  EXPECT_TRUE(r.completed);
  EXPECT_TRUE(r.ownerStayed);
  EXPECT_EQ(r.merged, (std::vector<uint32_t>{22})) << "the others are merged";
  EXPECT_TRUE(personExists(owner));
  EXPECT_EQ(warnings("You are not allowed to change the MailBox owner default address!"), 1) << prompts.transcript();
  for (const Ref& ref : references(KindMailDb))
    if (ref.message == 702) {
      EXPECT_TRUE(ref.id == owner || ref.id == 21) << "702 is between the owner and 21 now";
    }
}

TEST_F(PersonOpsTest, AMergeWhoseKeptPersonIsGoneDoesNothing) {
  sampleForum();
  MergeList l = listOf({12, 11});
  OP_CLOSE(OpShared, {FilePerson});
  PER.PERSONID = 12;
  ASSERT_TRUE(Person.get(PER_PersonKey));
  ASSERT_TRUE(Person.remove());
  OP_CLOSE(OpRelease, {FilePerson});
  MergeResult r = mergePersons(l);
  EXPECT_FALSE(r.completed);
  EXPECT_TRUE(r.merged.empty());
  EXPECT_TRUE(personExists(11));
}

// ---- aliases

TEST_F(PersonOpsTest, AliasListHoldsEachOtherAddressOnceInLowerCaseByAddress) {
  makeDatabase(KindForumDb);
  personAt(40, "John", "Smith", "jsmith@example.org", "JOHN SMITH JSMITH@EXAMPLE.ORG");
  alias("J SMITH JSMITH@EXAMPLE.ORG", 40);  // the current address again
  alias("JOHN SMITH ZED@EXAMPLE.ORG", 40);
  alias("JOHN SMITH 12345,678", 40);
  alias("JOHNNY SMITH 12345,678", 40);  // the same address once more
  alias("NOBLANK", 40);
  alias("JOHN SMITH OTHER@EXAMPLE.ORG", 41);  // someone else's
  AliasList l;
  ASSERT_TRUE(buildAliasList(40, l));
  EXPECT_EQ(l.name, "Smith,John");
  EXPECT_EQ(l.address, "jsmith@example.org");
  std::vector<std::string> addresses;
  for (const AliasEntry& e : l.entries) addresses.push_back(e.address);
  EXPECT_EQ(addresses, (std::vector<std::string>{"", "12345,678", "zed@example.org"}));
  EXPECT_FALSE(buildAliasList(999, l));
}

TEST_F(PersonOpsTest, AliasListOfStringsAllCarryingTheCurrentAddressIsEmpty) {
  makeDatabase(KindForumDb);
  personAt(40, "John", "Smith", "JSmith@Example.org", "JOHN SMITH JSMITH@EXAMPLE.ORG");
  alias("J SMITH JSMITH@EXAMPLE.ORG", 40);
  alias("JOHN Q SMITH JSMITH@EXAMPLE.ORG", 40);
  AliasList l;
  ASSERT_TRUE(buildAliasList(40, l));
  EXPECT_TRUE(l.entries.empty());
}

TEST_F(PersonOpsTest, SwappedAliasIsSavedAsTheCurrentAddressAndTheOldOneBecomesTheAlias) {
  makeDatabase(KindForumDb);
  personAt(40, "John", "Smith", "jsmith@example.org", "JOHN SMITH JSMITH@EXAMPLE.ORG");
  alias("JOHN SMITH 12345,678", 40);
  AliasList l;
  ASSERT_TRUE(buildAliasList(40, l));
  ASSERT_EQ(l.entries.size(), 1u);
  swapAlias(l, 0);
  EXPECT_EQ(l.address, "12345,678");
  EXPECT_EQ(l.entries[0].address, "jsmith@example.org");
  EXPECT_EQ(saveAliasChange(l), AliasSave::Saved) << prompts.transcript();
  PersonRow p = row(40);
  EXPECT_EQ(p.address, "12345,678");
  EXPECT_EQ(p.personString, "JOHN SMITH 12345,678");
  EXPECT_EQ(aliases(), (std::vector<std::pair<std::string, uint32_t>>{{"JOHN SMITH JSMITH@EXAMPLE.ORG", 40}}));
}

TEST_F(PersonOpsTest, SavingWithoutASwapOrSwappingBackChangesNothing) {
  makeDatabase(KindForumDb);
  personAt(40, "John", "Smith", "jsmith@example.org", "JOHN SMITH JSMITH@EXAMPLE.ORG");
  alias("JOHN SMITH 12345,678", 40);
  auto before = aliases();
  AliasList l;
  ASSERT_TRUE(buildAliasList(40, l));
  EXPECT_EQ(saveAliasChange(l), AliasSave::Unchanged);
  swapAlias(l, 0);
  swapAlias(l, 0);
  EXPECT_EQ(saveAliasChange(l), AliasSave::Unchanged);
  EXPECT_EQ(aliases(), before);
  EXPECT_EQ(row(40).address, "jsmith@example.org");
}

TEST_F(PersonOpsTest, TheMailboxOwnersAddressIsNeverSwapped) {
  uint32_t owner = sampleMailbox();
  alias("OWEN TEST OWEN@ELSEWHERE.ORG", owner);
  AliasList l;
  ASSERT_TRUE(buildAliasList(owner, l));
  ASSERT_EQ(l.entries.size(), 1u);
  swapAlias(l, 0);
  EXPECT_EQ(saveAliasChange(l), AliasSave::OwnerRefused);
  EXPECT_EQ(warnings("You are not allowed to change the MailBox owner default address!"), 1);
  EXPECT_EQ(row(owner).address, "owner@example.org");
}

TEST_F(PersonOpsTest, AnAliasOfAnotherPersonIsNeverTakenOver) {
  makeDatabase(KindForumDb);
  personAt(40, "John", "Smith", "jsmith@example.org", "JOHN SMITH JSMITH@EXAMPLE.ORG");
  alias("JOHN SMITH 12345,678", 40);
  AliasList l;
  ASSERT_TRUE(buildAliasList(40, l));
  swapAlias(l, 0);
  // Meanwhile the alias went to another person.
  OP_CLOSE(OpShared, {FilePLINK});
  PLI = PLINKRec();
  PLI.PERSONSTRING = "JOHN SMITH 12345,678";
  ASSERT_TRUE(PLINK.get(PLI_StringKey));
  PLI.PERSONID = 41;
  ASSERT_TRUE(PLINK.put());
  OP_CLOSE(OpRelease, {FilePLINK});
  EXPECT_EQ(saveAliasChange(l), AliasSave::Failed);
  EXPECT_EQ(warnings("Failed to swap address!"), 1) << prompts.transcript();
  EXPECT_EQ(row(40).personString, "JOHN SMITH JSMITH@EXAMPLE.ORG") << "rolled back";
}

// ---- name changes

TEST_F(PersonOpsTest, ANameChangedByAnotherUserMeanwhileIsDetectedAndNothingIsWritten) {
  sampleForum();
  PersonRec opened;
  ASSERT_TRUE(readPersonRecord(10, opened));
  // Another user renames the person after the form read it.
  OP_CLOSE(OpShared, {FilePerson});
  PER.PERSONID = 10;
  ASSERT_TRUE(Person.get(PER_PersonKey));
  PER.FIRSTNAME = "Anne";
  ASSERT_TRUE(Person.put());
  OP_CLOSE(OpRelease, {FilePerson});

  EXPECT_EQ(renamePerson(opened, "Leigh", "Ann"), RenameResult::ChangedMeanwhile);
  EXPECT_EQ(warnings("The record has just been changed by another user!\r\nTry again!"), 1) << prompts.transcript();
  EXPECT_EQ(opened.FIRSTNAME.str(), "Anne") << "the form takes the stored record";
  EXPECT_EQ(row(10).lastName, "Lee");
  for (const Ref& r : references(KindForumDb))
    if (r.id == 10) {
      EXPECT_EQ(r.alpha, "Lee");
    }
  // Tried again from the new copy, the change goes through.
  EXPECT_EQ(renamePerson(opened, "Leigh", "Anne"), RenameResult::Done);
  EXPECT_EQ(row(10).lastName, "Leigh");
}

TEST_F(PersonOpsTest, ANewLastNameReachesTheMessagesThatCopyIt) {
  sampleForum();
  PersonRec opened;
  ASSERT_TRUE(readPersonRecord(10, opened));
  EXPECT_EQ(renamePerson(opened, "Leeuwenhoekster", "Ann"), RenameResult::Done) << prompts.transcript();
  int named = 0;
  for (const Ref& r : references(KindForumDb))
    if (r.id == 10) {
      EXPECT_EQ(r.alpha, "Leeuwenhoe") << "message " << r.message;
      ++named;
    }
  EXPECT_EQ(named, 5);
  EXPECT_EQ(preparePersonMessages(10), 504u) << "found by the new alpha";
}

TEST_F(PersonOpsTest, ANewLastNameOfAMailPartnerReachesSenderReceiverAndPartnerCopies) {
  uint32_t owner = sampleMailbox();
  PersonRec opened;
  ASSERT_TRUE(readPersonRecord(21, opened));
  EXPECT_EQ(renamePerson(opened, "Brown-Whitmore-Smythe", "Fay"), RenameResult::Done) << prompts.transcript();
  for (const Ref& r : references(KindMailDb))
    if (r.id == 21) {
      EXPECT_TRUE(r.alpha == "Brown-Whit" || r.alpha == "Brown-Whitmore-Smythe") << r.message << " " << r.alpha;
    }
  EXPECT_EQ(row(owner).lastName, "Test") << "others stay";
  EXPECT_EQ(Mem.Description, "Owen Test") << "only the owner's name names the mailbox";
}

TEST_F(PersonOpsTest, TheOwnersNewNameBecomesTheMailboxName) {
  uint32_t owner = sampleMailbox();
  PersonRec opened;
  ASSERT_TRUE(readPersonRecord(owner, opened));
  EXPECT_EQ(renamePerson(opened, "Testing", "Owen"), RenameResult::Done) << prompts.transcript();
  EXPECT_EQ(Mem.Description, "Owen Testing");
  ASSERT_TRUE(findDatabase(Mem.ForumNumber));
  EXPECT_EQ(FOR.DESCRIPTION.str(), "Owen Testing");
}

// ---- messages of a person

TEST_F(PersonOpsTest, APersonsMessagesOpenInTheSenderViewOnItsFirstMessage) {
  sampleForum();
  EXPECT_EQ(preparePersonMessages(10), 504u) << "the sender view lists the newest first";
  BrowseState s = readBrowseContext(KindForumDb);
  EXPECT_EQ(s.mode, FmSender);
  EXPECT_EQ(s.sender.id, 10u);
  EXPECT_TRUE(s.limitSender);
  EXPECT_EQ(s.selected, 504u);
  makeDatabase(KindForumDb, "Empty");
  person(60, "No", "Mail");
  EXPECT_EQ(preparePersonMessages(60), 0u);
  EXPECT_EQ(readBrowseContext(KindForumDb).selected, 504u) << "the context is left alone";
}

TEST_F(PersonOpsTest, PersonsAreListedByNameOrByAddress) {
  makeDatabase(KindForumDb);
  personAt(50, "Zoe", "Adams", "zz@example.org", "ZOE ADAMS ZZ@EXAMPLE.ORG");
  personAt(51, "Al", "Young", "aa@example.org", "AL YOUNG AA@EXAMPLE.ORG");
  std::vector<uint32_t> byName, byAddress;
  forEachPerson(PersonOrder::ByName, [&](const PersonRow& r) { return byName.push_back(r.id), true; });
  forEachPerson(PersonOrder::ByAddress, [&](const PersonRow& r) { return byAddress.push_back(r.id), true; });
  EXPECT_EQ(byName, (std::vector<uint32_t>{50, 51}));
  EXPECT_EQ(byAddress, (std::vector<uint32_t>{51, 50}));
  EXPECT_EQ(personCount(), 2);
}

}  // namespace
