// The driver "FoxPro" with keys of every kind a declaration gives: keys on
// OEM text, keys that exclude empty values, keys built on demand, date keys
// before 1901 in either kind of day numbers, and dynamic indexes built from
// a key description (operation 5). After each change the index files hold
// exactly the keys of the records.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "dbf_sample_reader.h"
#include "driver/file_block.h"
#include "services/fox_driver_host.h"
#include "index/compound_index.h"
#include "index/index_check.h"
#include "index/index_rebuild.h"
#include "services/datetime.h"
#include "support/temp_dir.h"
#include "table/engine_status.h"

namespace {

struct Rec {
  qv::Str<10> NAME;
  int32_t BORN = 0;  // day number
  double SCORE = 0;
  qv::Str<8> NICK;
};

const char* const kNameKey = "NAME|PEOPLE";
const char* const kBornKey = "BORN|PEOPLE";
const char* const kNickKey = "NICK|PEOPLE";
const char* const kNickPositiveKey = "NICKPOS|PEOPLE=C[NICK],FOR[SCORE>0]";
const char* const kScoreKey = "SCORE|PEOPLE";

struct Table {
  Rec rec;
  qv::FileDecl decl{0, "People", "PEO", "FoxPro"};
  qv::File file{decl};
  explicit Table(const std::string& path, bool keys = true) {
    qv::DeclBuilder<Rec> b(decl, rec);
    b.field("NAME", &Rec::NAME).oem().field("BORN", &Rec::BORN).field("SCORE", &Rec::SCORE).field("NICK", &Rec::NICK);
    if (keys) {
      b.key(kNameKey, {{"NAME"}}, 0);
      b.key(kBornKey, {{"BORN"}}, 0);
      b.key(kNickKey, {{"NICK"}}, qv::KeyExcludeEmpty);
      b.key(kNickPositiveKey, {{"NICK"}}, qv::KeyExcludeEmpty);
      b.key(kScoreKey, {{"SCORE"}}, qv::KeyOnDemand);
    }
    file.setName(path);
  }
  bool add(const char* name, int32_t born, double score, const char* nick) {
    rec.NAME = name;
    rec.BORN = born;
    rec.SCORE = score;
    rec.NICK = nick;
    return file.add();
  }
  std::vector<std::string> names(const char* key) {
    std::vector<std::string> out;
    file.set(file.key(key));
    while (file.next()) out.push_back(rec.NAME.str());
    return out;
  }
  dbf::FileBlock& block() { return *dbf::fileBlockOf(file); }
  // Operation 5: answers the file-layer number and the new key's number.
  int buildDynamic(const std::string& description, int& key) {
    dbf::OpArgs a;
    a.text = description;
    int r = FOXPRO(dbf::OpBuildDynamic, &block(), &a);
    key = a.key;
    return r;
  }
  // The names in the order of a key given by number (a dynamic one).
  std::vector<std::string> namesOf(int key, int direction = 1) {
    dbf::OpArgs a;
    a.key = key;
    EXPECT_EQ(FOXPRO(dbf::OpSetKeyStart, &block(), &a), 0);
    std::vector<std::string> out;
    while (FOXPRO(direction > 0 ? dbf::OpNext : dbf::OpPrevious, &block(), nullptr) == 0) out.push_back(rec.NAME.str());
    return out;
  }
};

class Records : public dbf::RecordSource {
 public:
  std::vector<dbftest::MemoryRecord> rows;
  uint32_t count() const override { return static_cast<uint32_t>(rows.size()); }
  int read(uint32_t n, const dbf::RecordAccess*& out) override {
    out = &rows[n - 1];
    return 0;
  }
};

std::string faultsOf(const qvtest::TempDir& dir) {
  Records records;
  records.rows = dbftest::readSampleTable(dir.file("PEOPLE.DBF"));
  std::vector<std::string> faults, notes;
  EXPECT_EQ(dbf::checkIndexFile(dir.file("PEOPLE.CDX"), records, faults, notes), 0);
  std::string all;
  for (const auto& f : faults) all += f + "\n";
  return all;
}

uint64_t tagKeys(const qvtest::TempDir& dir, const std::string& tag) {
  std::vector<dbf::TagReport> tags;
  EXPECT_EQ(dbf::describeIndexFile(dir.file("PEOPLE.CDX"), tags), 0);
  for (const auto& t : tags)
    if (t.name == tag) return t.keys;
  ADD_FAILURE() << "no tag " << tag;
  return 0;
}

class FoxProKeyKinds : public ::testing::Test {
 protected:
  void SetUp() override {
    qv::registerFoxProDriver();
    // Dynamic indexes go to the current directory.
    saved_ = std::filesystem::current_path();
    std::filesystem::current_path(work.path());
  }
  void TearDown() override { std::filesystem::current_path(saved_); }
  qvtest::TempDir dir, work;

 private:
  std::filesystem::path saved_;
};

TEST_F(FoxProKeyKinds, AnOemKeyCollatesOnTheOemText) {
  Table t(dir.file("PEOPLE"));
  ASSERT_TRUE(t.file.create()) << qv::ErrorText();
  ASSERT_TRUE(t.file.open(qv::Share::Exclusive)) << qv::ErrorText();
  for (const char* name : {"Äpfel", "éclair", "Zeta", "Apfel"}) ASSERT_TRUE(t.add(name, 0, 0, "")) << qv::ErrorText();
  // In the OEM code page é is 0x82 and Ä 0x8E (in UTF-8 the other way round).
  EXPECT_EQ(t.names(kNameKey), (std::vector<std::string>{"Apfel", "Zeta", "éclair", "Äpfel"}));
  t.rec.NAME = "Äpfel";
  ASSERT_TRUE(t.file.get(t.file.key(kNameKey))) << qv::ErrorText();
  EXPECT_EQ(t.file.position(), 1);
  t.file.close();
  EXPECT_EQ(faultsOf(dir), "");
}

TEST_F(FoxProKeyKinds, AKeyThatExcludesEmptyValuesHoldsNoBlankKeys) {
  Table t(dir.file("PEOPLE"));
  ASSERT_TRUE(t.file.create()) << qv::ErrorText();
  ASSERT_TRUE(t.file.open(qv::Share::Exclusive)) << qv::ErrorText();
  ASSERT_TRUE(t.add("Ann", 0, 1, "zed"));
  ASSERT_TRUE(t.add("Bob", 0, -1, ""));
  ASSERT_TRUE(t.add("Cy", 0, -2, "abe"));
  ASSERT_TRUE(t.add("Di", 0, 3, ""));
  EXPECT_EQ(t.names(kNickKey), (std::vector<std::string>{"Cy", "Ann"}));
  EXPECT_EQ(t.names(kNickPositiveKey), (std::vector<std::string>{"Ann"}));  // with its own filter
  t.rec.NICK = "";
  EXPECT_FALSE(t.file.get(t.file.key(kNickKey)));
  EXPECT_EQ(qv::ErrorCode(), qv::ErrNotFound);
  // A change into and out of the empty value adds and removes the entry.
  t.rec.NAME = "Di";
  ASSERT_TRUE(t.file.get(t.file.key(kNameKey)));
  t.rec.NICK = "mo";
  ASSERT_TRUE(t.file.put()) << qv::ErrorText();
  t.rec.NAME = "Ann";
  ASSERT_TRUE(t.file.get(t.file.key(kNameKey)));
  t.rec.NICK = "";
  ASSERT_TRUE(t.file.put()) << qv::ErrorText();
  EXPECT_EQ(t.names(kNickKey), (std::vector<std::string>{"Cy", "Di"}));
  EXPECT_EQ(t.names(kNickPositiveKey), (std::vector<std::string>{"Di"}));
  t.file.close();
  // Every reader of the file leaves the same records out: the check agrees.
  EXPECT_EQ(faultsOf(dir), "");
  EXPECT_EQ(tagKeys(dir, "NICK"), 2u);
  // The declaration is taken again at open, its filter and the stored one agreeing.
  ASSERT_TRUE(t.file.open(qv::Share::Exclusive)) << qv::ErrorText();
  ASSERT_TRUE(t.file.buildKeys()) << qv::ErrorText();
  EXPECT_EQ(t.names(kNickKey), (std::vector<std::string>{"Cy", "Di"}));
  t.file.close();
  EXPECT_EQ(faultsOf(dir), "");
}

TEST_F(FoxProKeyKinds, AnOnDemandKeyIsBuiltWhenFirstUsedNotOnEveryWrite) {
  Table t(dir.file("PEOPLE"));
  ASSERT_TRUE(t.file.create()) << qv::ErrorText();
  ASSERT_TRUE(t.file.open(qv::Share::Exclusive)) << qv::ErrorText();
  ASSERT_TRUE(t.add("Ann", 0, 5, ""));
  ASSERT_TRUE(t.add("Bob", 0, 2, ""));
  ASSERT_TRUE(t.file.flush());
  EXPECT_EQ(tagKeys(dir, "SCORE"), 0u);  // the writes passed it by
  EXPECT_EQ(tagKeys(dir, "NAME"), 2u);
  t.file.close();
  EXPECT_EQ(tagKeys(dir, "SCORE"), 2u);  // built before the file was left
  EXPECT_EQ(faultsOf(dir), "");

  ASSERT_TRUE(t.file.open(qv::Share::Exclusive)) << qv::ErrorText();
  EXPECT_EQ(t.names(kScoreKey), (std::vector<std::string>{"Bob", "Ann"}));  // built now
  ASSERT_TRUE(t.add("Cy", 0, 3, ""));
  EXPECT_EQ(t.names(kScoreKey), (std::vector<std::string>{"Bob", "Cy", "Ann"}));
  t.rec.SCORE = 3;
  ASSERT_TRUE(t.file.get(t.file.key(kScoreKey)));
  EXPECT_EQ(t.rec.NAME.str(), "Cy");
  t.rec.SCORE = 9;
  ASSERT_TRUE(t.file.put());
  ASSERT_TRUE(t.file.buildKey(t.file.key(kScoreKey))) << qv::ErrorText();  // the build operation
  t.file.close();
  EXPECT_EQ(tagKeys(dir, "SCORE"), 3u);
  EXPECT_EQ(faultsOf(dir), "");
  ASSERT_TRUE(t.file.open(qv::Share::Exclusive)) << qv::ErrorText();
  EXPECT_EQ(t.names(kScoreKey), (std::vector<std::string>{"Bob", "Ann", "Cy"}));
  // A read in its order that changes the key as it goes (each record moves
  // before the start) goes on from where it was after the key is built again.
  std::vector<std::string> visited;
  t.file.set(t.file.key(kScoreKey));
  while (visited.size() < 10 && t.file.next()) {
    visited.push_back(t.rec.NAME.str());
    t.rec.SCORE = -t.rec.SCORE;
    ASSERT_TRUE(t.file.put()) << qv::ErrorText();
  }
  EXPECT_EQ(visited, (std::vector<std::string>{"Bob", "Ann", "Cy"}));
  EXPECT_EQ(t.names(kScoreKey), (std::vector<std::string>{"Cy", "Ann", "Bob"}));
  t.file.close();
  EXPECT_EQ(faultsOf(dir), "");
  // Opened for reading only, the key is read as it is.
  ASSERT_TRUE(t.file.open(qv::Share::ReadOnly)) << qv::ErrorText();
  EXPECT_EQ(t.names(kScoreKey), (std::vector<std::string>{"Cy", "Ann", "Bob"}));
}

TEST_F(FoxProKeyKinds, DatesBefore1901AreFoundInNewAndInOlderIndexes) {
  Table t(dir.file("PEOPLE"));
  ASSERT_TRUE(t.file.create()) << qv::ErrorText();
  ASSERT_TRUE(t.file.open(qv::Share::Exclusive)) << qv::ErrorText();
  ASSERT_TRUE(t.add("Ann", qv::dateFromYMD(1870, 6, 30), 0, ""));
  ASSERT_TRUE(t.add("Bob", qv::dateFromYMD(1999, 1, 1), 0, ""));
  ASSERT_TRUE(t.add("Cy", qv::dateFromYMD(1869, 12, 31), 0, ""));
  ASSERT_TRUE(t.add("Di", qv::dateFromYMD(2150, 1, 1), 0, ""));
  EXPECT_EQ(t.names(kBornKey), (std::vector<std::string>{"Cy", "Ann", "Bob", "Di"}));
  t.rec.BORN = qv::dateFromYMD(1870, 6, 30);
  ASSERT_TRUE(t.file.get(t.file.key(kBornKey))) << qv::ErrorText();
  EXPECT_EQ(t.rec.NAME.str(), "Ann");
  t.file.close();
  EXPECT_EQ(faultsOf(dir), "");

  // New indexes hold the Julian day numbers, as the other writers do.
  auto holds = [&](const char* digits, dbf::DayNumbers kind) {
    dbf::CompoundIndex cdx;
    dbf::IndexTree tree;
    dbf::IndexOpenOptions ro;
    ro.readOnly = true;
    EXPECT_EQ(cdx.open(dir.file("PEOPLE.CDX"), ro), 0);
    EXPECT_EQ(cdx.openTag("BORN", dbf::KeyType::Date, tree), 0);
    bool found = false;
    EXPECT_EQ(tree.find(dbf::encodeDateKey(digits, kind), dbf::FindMode::FirstEqual, 0, found), 0);
    return found;
  };
  EXPECT_TRUE(holds("18700630", dbf::DayNumbers::Julian));
  EXPECT_FALSE(holds("18700630", dbf::DayNumbers::Formula));

  // An index the driver wrote before, in the formula's day numbers, stays
  // readable and is kept in its own numbers until it is built again.
  {
    Records records;
    records.rows = dbftest::readSampleTable(dir.file("PEOPLE.DBF"));
    dbf::CompoundIndex cdx;
    dbf::IndexTree tree;
    ASSERT_EQ(cdx.open(dir.file("PEOPLE.CDX"), {}), 0);
    ASSERT_EQ(cdx.openTag("BORN", dbf::KeyType::Date, tree), 0);
    dbf::KeyDefinition def;
    ASSERT_EQ(dbf::defineKey('D', "BORN", "", 0, records.rows.front(), def), 0);
    def.days = dbf::DayNumbers::Formula;
    ASSERT_EQ(dbf::rebuildTree(tree, def, records, dir.path()), 0);
    ASSERT_EQ(cdx.close(), 0);
  }
  EXPECT_TRUE(holds("18700630", dbf::DayNumbers::Formula));
  EXPECT_EQ(faultsOf(dir), "");
  ASSERT_TRUE(t.file.open(qv::Share::Exclusive)) << qv::ErrorText();
  t.rec.BORN = qv::dateFromYMD(1870, 6, 30);
  ASSERT_TRUE(t.file.get(t.file.key(kBornKey))) << qv::ErrorText();
  EXPECT_EQ(t.rec.NAME.str(), "Ann");
  ASSERT_TRUE(t.add("Eve", qv::dateFromYMD(1870, 7, 1), 0, ""));
  EXPECT_EQ(t.names(kBornKey), (std::vector<std::string>{"Cy", "Ann", "Eve", "Bob", "Di"}));
  t.file.close();
  EXPECT_EQ(faultsOf(dir), "");
  EXPECT_TRUE(holds("18700701", dbf::DayNumbers::Formula));
  // Built again, it takes the Julian numbers.
  ASSERT_TRUE(t.file.open(qv::Share::Exclusive)) << qv::ErrorText();
  ASSERT_TRUE(t.file.buildKeys()) << qv::ErrorText();
  t.rec.BORN = qv::dateFromYMD(1870, 7, 1);
  ASSERT_TRUE(t.file.get(t.file.key(kBornKey))) << qv::ErrorText();
  EXPECT_EQ(t.rec.NAME.str(), "Eve");
  t.file.close();
  EXPECT_TRUE(holds("18700701", dbf::DayNumbers::Julian));
  EXPECT_EQ(faultsOf(dir), "");
}

TEST_F(FoxProKeyKinds, ADynamicIndexIsBuiltReadKeptCurrentAndRemovedAtClose) {
  Table t(dir.file("PEOPLE"));
  ASSERT_TRUE(t.file.create()) << qv::ErrorText();
  ASSERT_TRUE(t.file.open(qv::Share::Exclusive)) << qv::ErrorText();
  ASSERT_TRUE(t.add("Ann", 0, 5, "zed"));
  ASSERT_TRUE(t.add("Bob", 0, 2, "abe"));
  ASSERT_TRUE(t.add("Cy", 0, 9, "abe"));
  int byScore = -1, byNick = -1, bySpec = -1;
  ASSERT_EQ(t.buildDynamic("-SCORE", byScore), 0) << t.block().detail;
  EXPECT_EQ(byScore, 5);  // after the five declared keys
  EXPECT_TRUE(std::filesystem::exists(work.file("DYN000.$$$")));
  EXPECT_EQ(t.namesOf(byScore), (std::vector<std::string>{"Cy", "Ann", "Bob"}));
  EXPECT_EQ(t.namesOf(byScore, -1), (std::vector<std::string>{"Bob", "Ann", "Cy"}));
  ASSERT_EQ(t.buildDynamic(" +nick , name ", byNick), 0) << t.block().detail;
  EXPECT_TRUE(std::filesystem::exists(work.file("DYN001.$$$")));
  EXPECT_EQ(t.namesOf(byNick), (std::vector<std::string>{"Bob", "Cy", "Ann"}));
  ASSERT_EQ(t.buildDynamic("C[UPPER(NICK)+NAME],FOR[SCORE>2]", bySpec), 0) << t.block().detail;
  EXPECT_EQ(t.namesOf(bySpec), (std::vector<std::string>{"Cy", "Ann"}));
  // Kept current while the table is open.
  ASSERT_TRUE(t.add("Al", 0, 7, "abe"));
  EXPECT_EQ(t.namesOf(byScore), (std::vector<std::string>{"Cy", "Al", "Ann", "Bob"}));
  EXPECT_EQ(t.namesOf(bySpec), (std::vector<std::string>{"Al", "Cy", "Ann"}));
  // A read by its key value; the whole value or the first field of the list.
  dbf::OpArgs a;
  a.key = byNick;
  t.rec.NICK = "zed";
  a.components = 1;
  ASSERT_EQ(FOXPRO(dbf::OpSetKeyValue2, &t.block(), &a), 0);
  ASSERT_EQ(FOXPRO(dbf::OpNext, &t.block(), nullptr), 0);
  EXPECT_EQ(t.rec.NAME.str(), "Ann");
  // Packed and built again with the table; never copied or removed with it.
  ASSERT_TRUE(t.file.pack()) << qv::ErrorText();
  EXPECT_EQ(t.namesOf(byScore), (std::vector<std::string>{"Cy", "Al", "Ann", "Bob"}));
  t.file.close();
  EXPECT_FALSE(std::filesystem::exists(work.file("DYN000.$$$")));
  EXPECT_FALSE(std::filesystem::exists(work.file("DYN001.$$$")));
  EXPECT_FALSE(std::filesystem::exists(work.file("DYN002.$$$")));
  EXPECT_EQ(faultsOf(dir), "");
}

TEST_F(FoxProKeyKinds, DynamicIndexDescriptionsThatFail) {
  Table t(dir.file("PEOPLE"), false);  // no declared keys
  ASSERT_TRUE(t.file.create()) << qv::ErrorText();
  ASSERT_TRUE(t.file.open(qv::Share::Exclusive)) << qv::ErrorText();
  ASSERT_TRUE(t.add("Ann", 0, 5, "zed"));
  ASSERT_TRUE(t.add("Bob", 0, 2, "abe"));
  int key = -1;
  EXPECT_EQ(t.buildDynamic("+NAME,+WEIGHT", key), dbf::LayerKeyField);
  EXPECT_EQ(t.buildDynamic("C[UPPER(WEIGHT)]", key), dbf::LayerKeyField);
  EXPECT_EQ(t.buildDynamic("+NAME,-SCORE", key), dbf::LayerMismatch);  // no one order for both
  EXPECT_EQ(t.block().engineStatus, dbf::ErrBadUserSpecifiedKeyExpression);
  EXPECT_EQ(t.buildDynamic("C[UPPER(NAME)", key), dbf::LayerMismatch);
  EXPECT_EQ(t.buildDynamic("NAME,", key), dbf::LayerMismatch);
  EXPECT_FALSE(std::filesystem::exists(work.file("DYN000.$$$")));  // nothing left behind
  // A table without declared keys takes one too; ":" stands for the next character.
  ASSERT_EQ(t.buildDynamic("N:A:ME", key), 0) << t.block().detail;
  EXPECT_EQ(key, 0);
  EXPECT_EQ(t.namesOf(key), (std::vector<std::string>{"Ann", "Bob"}));
  // With DYN000.$$$ to DYN999.$$$ all taken there is no name left.
  for (int n = 1; n < 1000; ++n) {
    char name[16];
    std::snprintf(name, sizeof name, "DYN%03d.$$$", n);
    std::ofstream(work.file(name)).put('x');
  }
  EXPECT_EQ(t.buildDynamic("NAME", key), dbf::LayerNoName);
  t.file.close();
  EXPECT_FALSE(std::filesystem::exists(work.file("DYN000.$$$")));
  EXPECT_TRUE(std::filesystem::exists(work.file("DYN001.$$$")));  // not the table's own
}

struct NotesRec {
  qv::Str<12> TITLE;
  std::string BODY;
};

// A create that fails at its memo file leaves neither the table nor its
// index files behind.
TEST_F(FoxProKeyKinds, ACreateThatFailsLeavesNoIndexFileBehind) {
  NotesRec rec;
  qv::FileDecl decl{0, "Notes", "NOT", "FoxPro"};
  qv::File file{decl};
  qv::DeclBuilder<NotesRec>(decl, rec).field("TITLE", &NotesRec::TITLE).memo("BODY", &NotesRec::BODY, 65280);
  qv::DeclBuilder<NotesRec>(decl, rec).key("TITLE|NOTES", {{"TITLE"}}, 0);
  file.setName(dir.file("NOTES"));
  std::filesystem::create_directory(dir.file("NOTES.FPT"));  // the memo file cannot be made
  EXPECT_FALSE(file.create());
  EXPECT_FALSE(std::filesystem::exists(dir.file("NOTES.DBF")));
  EXPECT_FALSE(std::filesystem::exists(dir.file("NOTES.CDX")));
}

struct NickRec {
  qv::Str<8> NICK;
};

// Blank values are not keys: a unique key that excludes them takes any
// number of records without one.
TEST_F(FoxProKeyKinds, AUniqueKeyThatExcludesEmptyValuesTakesManyBlankOnes) {
  NickRec rec;
  qv::FileDecl decl{0, "Nicks", "NIC", "FoxPro"};
  qv::File file{decl};
  qv::DeclBuilder<NickRec>(decl, rec).field("NICK", &NickRec::NICK).key("NICK|NICKS", {{"NICK"}},
                                                                        qv::KeyUnique | qv::KeyExcludeEmpty);
  file.setName(dir.file("NICKS"));
  ASSERT_TRUE(file.create()) << qv::ErrorText();
  ASSERT_TRUE(file.open(qv::Share::Exclusive)) << qv::ErrorText();
  for (const char* nick : {"", "x", ""}) {
    rec.NICK = nick;
    EXPECT_TRUE(file.add()) << nick << ": " << qv::ErrorText();
  }
  rec.NICK = "x";
  EXPECT_FALSE(file.add());
  EXPECT_EQ(qv::ErrorCode(), qv::ErrDuplicateKey);
  EXPECT_EQ(file.records(), 3);
}

}  // namespace
