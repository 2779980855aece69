// The driver "FoxPro" on deletion marks and memos: the beginning and end
// tests look without moving a read in key order; RECOVER (sent, or in the
// driver string) gives keys that leave deleted records out their entries
// again; memos of OEM fields are converted like their fields; an empty memo
// is block 0 in the field; and a pack moves the memos of every memo field,
// also those the declaration does not name.
#include <gtest/gtest.h>

#include <filesystem>

#include "dbf_sample_reader.h"
#include "driver/file_block.h"
#include "services/fox_driver_host.h"
#include "index/index_check.h"
#include "index/index_rebuild.h"
#include "support/raw_dbf.h"
#include "support/temp_dir.h"

namespace {

struct Rec {
  qv::Str<10> NAME;
  qv::Str<8> CITY;
};

const char* const kNameTag = "NAME|PEOPLE";
const char* const kLiveTag = "LIVE|PEOPLE=C[NAME],FOR[.NOT.DELETED()]";

struct People {
  Rec rec;
  qv::FileDecl decl{0, "People", "PEO", "FoxPro"};
  qv::File file{decl};
  explicit People(const std::string& path, const std::string& driverString = {}) {
    qv::DeclBuilder<Rec> b(decl, rec);
    b.field("NAME", &Rec::NAME).field("CITY", &Rec::CITY);
    b.key(kNameTag, {{"NAME"}}, 0);
    b.key(kLiveTag, {{"NAME"}}, 0);
    decl.driverString = driverString;
    file.setName(path);
  }
  bool add(const char* name) {
    rec.NAME = name;
    rec.CITY = "Oslo";
    return file.add();
  }
  std::vector<std::string> names(const char* key) {
    std::vector<std::string> out;
    file.set(file.key(key));
    while (file.next()) out.push_back(rec.NAME.str());
    return out;
  }
  int op(int code) { return FOXPRO(code, dbf::fileBlockOf(file), nullptr); }
  // Reads one record in the current order (+1 next, -1 previous); its name,
  // or "end" at either end.
  std::string read(int direction) {
    return op(direction > 0 ? dbf::OpNext : dbf::OpPrevious) == 0 ? rec.NAME.str() : "end";
  }
  // The end test (+1) or the beginning test (-1): "more" or "end".
  std::string look(int direction) {
    int r = op(direction > 0 ? dbf::OpEndTest : dbf::OpBeginTest);
    EXPECT_TRUE(r == 0 || r == dbf::LayerEnd) << r;
    return r == 0 ? "more" : "end";
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

void expectSoundIndex(const std::string& table, const std::string& index) {
  Records records;
  records.rows = dbftest::readSampleTable(table);
  std::vector<std::string> faults, notes;
  ASSERT_EQ(dbf::checkIndexFile(index, records, faults, notes), 0);
  std::string all;
  for (const std::string& f : faults) all += f + "\n";
  EXPECT_TRUE(faults.empty()) << all;
}

class MarksAndMemos : public ::testing::Test {
 protected:
  void SetUp() override { qv::registerFoxProDriver(); }
  qvtest::TempDir dir;
};

// The tests 14 and 2 tell whether a read would hit the end without moving
// the read: at the last entry, at the first, after a deleted record, and
// before the first read from a key value.
TEST_F(MarksAndMemos, BeginAndEndTestsDoNotMoveAReadInKeyOrder) {
  People p(dir.file("PEOPLE"));
  ASSERT_TRUE(p.file.create()) << qv::ErrorText();
  ASSERT_TRUE(p.file.open(qv::Share::Exclusive));
  for (const char* n : {"Dora", "Bob", "Alice", "Carl", "Emma"}) ASSERT_TRUE(p.add(n)) << qv::ErrorText();
  p.rec.NAME = "Carl";
  ASSERT_TRUE(p.file.get(p.file.key(kNameTag)));
  ASSERT_TRUE(p.file.remove());

  p.file.set(p.file.key(kNameTag));
  EXPECT_EQ(p.look(+1), "more");
  EXPECT_EQ(p.read(+1), "Alice");
  EXPECT_EQ(p.look(-1), "end");
  EXPECT_EQ(p.read(+1), "Bob");
  EXPECT_EQ(p.look(+1), "more");  // passes the deleted Carl
  EXPECT_EQ(p.look(-1), "more");
  EXPECT_EQ(p.read(+1), "Dora");
  EXPECT_EQ(p.read(-1), "Bob");
  EXPECT_EQ(p.read(+1), "Dora");
  EXPECT_EQ(p.read(+1), "Emma");
  EXPECT_EQ(p.look(+1), "end");
  EXPECT_EQ(p.read(-1), "Dora");
  EXPECT_EQ(p.read(-1), "Bob");
  EXPECT_EQ(p.look(-1), "more");
  EXPECT_EQ(p.read(-1), "Alice");
  EXPECT_EQ(p.look(-1), "end");
  EXPECT_EQ(p.read(+1), "Bob");

  // from a key value: the tests leave the start where it was
  p.rec.NAME = "Bz";
  p.file.set(p.file.key(kNameTag), p.file.key(kNameTag));
  EXPECT_EQ(p.look(+1), "more");
  EXPECT_EQ(p.look(-1), "more");
  EXPECT_EQ(p.read(+1), "Dora");
  EXPECT_EQ(p.read(+1), "Emma");
}

// RECOVER clears the marks and gives a key that leaves deleted records out
// their entries again (before, those stayed missing until a rebuild);
// other keys do not change.
TEST_F(MarksAndMemos, RecoverGivesKeysOfLiveRecordsTheirEntriesAgain) {
  People p(dir.file("PEOPLE"));
  ASSERT_TRUE(p.file.create()) << qv::ErrorText();
  ASSERT_TRUE(p.file.open(qv::Share::Exclusive));
  for (const char* n : {"Carol", "Alice", "Bob"}) ASSERT_TRUE(p.add(n));
  for (const char* n : {"Alice", "Carol"}) {
    p.rec.NAME = n;
    ASSERT_TRUE(p.file.get(p.file.key(kNameTag)));
    ASSERT_TRUE(p.file.remove());
  }
  EXPECT_EQ(p.names(kLiveTag), (std::vector<std::string>{"Bob"}));
  EXPECT_EQ(dbf::sendCommand(p.file, "RECOVER"), "");
  EXPECT_EQ(p.names(kLiveTag), (std::vector<std::string>{"Alice", "Bob", "Carol"}));
  EXPECT_EQ(p.names(kNameTag), (std::vector<std::string>{"Alice", "Bob", "Carol"}));
  p.file.close();
  expectSoundIndex(dir.file("PEOPLE.DBF"), dir.file("PEOPLE.CDX"));
}

// RECOVER and DELETED in the declaration's driver string do not fail the
// open: RECOVER clears the marks of a table opened for writing (one opened
// for reading is read as it is), DELETED asks about no record there.
TEST_F(MarksAndMemos, RecoverAndDeletedInTheDriverString) {
  {
    People p(dir.file("PEOPLE"));
    ASSERT_TRUE(p.file.create()) << qv::ErrorText();
    ASSERT_TRUE(p.file.open(qv::Share::Exclusive));
    for (const char* n : {"Carol", "Alice", "Bob"}) ASSERT_TRUE(p.add(n));
    ASSERT_TRUE(p.file.getPosition(2));
    ASSERT_TRUE(p.file.remove());
  }
  People withDeleted(dir.file("PEOPLE"), "DELETED");
  ASSERT_TRUE(withDeleted.file.open(qv::Share::Exclusive)) << qv::ErrorText();
  EXPECT_EQ(withDeleted.names(kNameTag), (std::vector<std::string>{"Bob", "Carol"}));
  withDeleted.file.close();

  People reader(dir.file("PEOPLE"), "RECOVER");
  ASSERT_TRUE(reader.file.open(qv::Share::ReadOnly)) << qv::ErrorText();
  EXPECT_FALSE(reader.file.getPosition(2));
  reader.file.close();

  People recover(dir.file("PEOPLE"), "BUFFERS=4;RECOVER");
  ASSERT_TRUE(recover.file.open(qv::Share::Exclusive)) << qv::ErrorText();
  ASSERT_TRUE(recover.file.getPosition(2)) << qv::ErrorText();
  EXPECT_EQ(recover.rec.NAME.str(), "Alice");
  EXPECT_EQ(recover.names(kLiveTag), (std::vector<std::string>{"Alice", "Bob", "Carol"}));
  recover.file.close();
  expectSoundIndex(dir.file("PEOPLE.DBF"), dir.file("PEOPLE.CDX"));
}

struct NotesRec {
  qv::Str<8> TITLE;
  std::string BODY;
  std::string EXTRA;
};

// A table of two memo fields; the declaration names the second or not.
struct Notes {
  NotesRec rec;
  qv::FileDecl decl{0, "Notes", "NOT", "FoxPro"};
  qv::File file{decl};
  Notes(const std::string& path, bool extra, bool oem = false) {
    qv::DeclBuilder<NotesRec> b(decl, rec);
    b.field("TITLE", &NotesRec::TITLE).memo("BODY", &NotesRec::BODY, 4000);
    if (oem) b.oem();
    if (extra) b.memo("EXTRA", &NotesRec::EXTRA, 4000);
    file.setName(path);
  }
  bool add(const char* title, const std::string& body, const std::string& extra = {}) {
    rec.TITLE = title;
    rec.BODY = body;
    rec.EXTRA = extra;
    return file.add();
  }
};

// A memo of a field with the OEM attribute is held in the table's code page
// and read back as it was given; an empty memo is stored as block 0
// ("         0"), as readers and the pack expect it.
TEST_F(MarksAndMemos, OemMemosConvertAndAnEmptyMemoIsBlockZero) {
  Notes n(dir.file("NOTES"), false, true);
  ASSERT_TRUE(n.file.create()) << qv::ErrorText();
  ASSERT_TRUE(n.file.open(qv::Share::Exclusive));
  ASSERT_TRUE(n.add("city", "Zürich, café")) << qv::ErrorText();
  ASSERT_TRUE(n.add("none", ""));
  n.file.close();
  std::string memo = qvtest::readFile(dir.file("NOTES.FPT"));
  EXPECT_NE(memo.find("Z\x81rich, caf\x82"), std::string::npos);  // code page 437
  EXPECT_EQ(memo.find("Zürich"), std::string::npos);
  qvtest::RawDbf raw;
  ASSERT_TRUE(raw.load(dir.file("NOTES.DBF")));
  EXPECT_EQ(raw.value(1, "BODY"), "         0");

  ASSERT_TRUE(n.file.open(qv::Share::Exclusive));
  ASSERT_TRUE(n.file.getPosition(1));
  EXPECT_EQ(n.rec.BODY, "Zürich, café");
  // written back unchanged, the memo keeps its block
  std::string block(raw.value(0, "BODY"));
  ASSERT_TRUE(n.file.put()) << qv::ErrorText();
  n.file.close();
  ASSERT_TRUE(raw.load(dir.file("NOTES.DBF")));
  EXPECT_EQ(raw.value(0, "BODY"), block);
}

// A pack moves the memos of a memo field the declaration leaves out as
// well: every record keeps its own memos (before, the undeclared field kept
// block numbers of the old memo file and read another record's memo).
TEST_F(MarksAndMemos, PackMovesTheMemosOfUndeclaredMemoFields) {
  {
    Notes all(dir.file("NOTES"), true);
    ASSERT_TRUE(all.file.create()) << qv::ErrorText();
    ASSERT_TRUE(all.file.open(qv::Share::Exclusive));
    for (int i = 0; i < 6; ++i) {
      std::string t = "n" + std::to_string(i);
      ASSERT_TRUE(all.add(t.c_str(), "body of " + t + std::string(600, 'b'), "extra of " + t + std::string(600, 'e')))
          << qv::ErrorText();
    }
  }
  Notes bodyOnly(dir.file("NOTES"), false);
  ASSERT_TRUE(bodyOnly.file.open(qv::Share::Exclusive)) << qv::ErrorText();
  for (uint32_t r : {1u, 4u}) {
    ASSERT_TRUE(bodyOnly.file.getPosition(r));
    ASSERT_TRUE(bodyOnly.file.remove());
  }
  ASSERT_TRUE(bodyOnly.file.pack()) << qv::ErrorText();
  bodyOnly.file.close();

  Notes all(dir.file("NOTES"), true);
  ASSERT_TRUE(all.file.open(qv::Share::ReadOnly)) << qv::ErrorText();
  EXPECT_EQ(all.file.records(), 4);
  all.file.setFileOrder();
  std::vector<std::string> seen;
  while (all.file.next()) {
    std::string t = all.rec.TITLE.str();
    EXPECT_EQ(all.rec.BODY, "body of " + t + std::string(600, 'b'));
    EXPECT_EQ(all.rec.EXTRA, "extra of " + t + std::string(600, 'e'));
    seen.push_back(t);
  }
  EXPECT_EQ(seen, (std::vector<std::string>{"n1", "n2", "n4", "n5"}));
}

}  // namespace
