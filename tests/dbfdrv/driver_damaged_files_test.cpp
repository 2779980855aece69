// The driver "FoxPro" on damaged files: a table whose fields run past its
// records, a header that counts records the file lacks, a memo file cut
// short or with a next free block at the end of its numbers, and index tags
// whose pages are damaged. Writes on such files are refused and write
// nothing; builds and packs repair damaged tags instead of failing on them.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>

#include "dbf_sample_reader.h"
#include "driver/file_block.h"
#include "services/fox_driver_host.h"
#include "index/compound_index.h"
#include "index/index_check.h"
#include "index/index_rebuild.h"
#include "memo/memo_file.h"
#include "support/temp_dir.h"
#include "table/table.h"

namespace {

struct NotesRec {
  qv::Str<12> TITLE;
  std::string BODY;
  qv::Str<4> TAG;
};

struct Notes {
  NotesRec rec;
  qv::FileDecl decl{0, "Notes", "NOT", "FoxPro"};
  qv::File file{decl};
  explicit Notes(const std::string& path) {
    qv::DeclBuilder<NotesRec>(decl, rec)
        .field("TITLE", &NotesRec::TITLE)
        .memo("BODY", &NotesRec::BODY, 65280)
        .field("TAG", &NotesRec::TAG);
    file.setName(path);
  }
  bool add(const std::string& title, const std::string& body) {
    rec.TITLE = title;
    rec.BODY = body;
    rec.TAG = "t";
    return file.add();
  }
};

struct PeopleRec {
  qv::Str<10> NAME;
  double PRICE = 0;
  qv::Str<8> CITY;
};

const char* const kNameTag = "NAME|PEOPLE";
const char* const kCityTag = "CITY|PEOPLE=C[UPPER(CITY)+NAME]";

struct People {
  PeopleRec rec;
  qv::FileDecl decl{0, "People", "PEO", "FoxPro"};
  qv::File file{decl};
  explicit People(const std::string& path) {
    qv::DeclBuilder<PeopleRec> b(decl, rec);
    b.field("NAME", &PeopleRec::NAME).field("PRICE", &PeopleRec::PRICE).field("CITY", &PeopleRec::CITY);
    b.key(kNameTag, {{"NAME"}}, qv::KeyUnique);
    b.key(kCityTag, {{"CITY"}, {"NAME"}}, 0);
    file.setName(path);
  }
  bool add(const char* name, double price, const char* city) {
    rec.NAME = name;
    rec.PRICE = price;
    rec.CITY = city;
    return file.add();
  }
  std::vector<std::string> names(const char* key) {
    std::vector<std::string> out;
    file.set(file.key(key));
    while (file.next()) out.push_back(rec.NAME.str());
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

// The faults checkIndexFile finds in an index file against its table.
std::vector<std::string> indexFaults(const std::string& table, const std::string& index) {
  Records records;
  records.rows = dbftest::readSampleTable(table);
  std::vector<std::string> faults, notes;
  if (int st = dbf::checkIndexFile(index, records, faults, notes); st) faults.push_back("check failed: " + std::to_string(st));
  return faults;
}

// Overwrites the root page of a tag of a compound index with bytes no page
// holds.
void damageTagRoot(const std::string& cdx, const std::string& tag) {
  uint32_t root = 0;
  {
    dbf::CompoundIndex index;
    ASSERT_EQ(index.open(cdx, dbf::IndexOpenOptions()), 0);
    dbf::IndexTree tree;
    ASSERT_EQ(index.openTag(tag, dbf::KeyType::Character, tree), 0);
    root = tree.header().root;
    index.close();
  }
  std::string bytes = qvtest::readFile(cdx);
  const size_t page = dbf::kIndexPageSize;
  ASSERT_LE(root + page, bytes.size());
  bytes.replace(root, page, std::string(page, '\xEE'));
  qvtest::writeFile(cdx, bytes);
  ASSERT_FALSE(indexFaults(cdx.substr(0, cdx.size() - 4) + ".DBF", cdx).empty()) << "the damage shows";
}

void setBigEndian(std::string& bytes, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) bytes[at + size_t(i)] = char(uint8_t(v >> (24 - 8 * i)));
}

class DamagedFiles : public ::testing::Test {
 protected:
  void SetUp() override { qv::registerFoxProDriver(); }
  qvtest::TempDir dir;
};

// A table whose field lengths add up to more than its record length would
// read each field from the bytes of the next: it is refused with the
// engine's message, for reading as for writing.
TEST_F(DamagedFiles, FieldsRunningPastTheRecordAreRefused) {
  People p(dir.file("PEOPLE"));
  ASSERT_TRUE(p.file.create()) << qv::ErrorText();
  ASSERT_TRUE(p.file.open(qv::Share::Exclusive));
  ASSERT_TRUE(p.add("Alice", 1, "Oslo"));
  ASSERT_TRUE(p.add("Bob", 2, "Rome"));
  p.file.close();
  std::string bytes = qvtest::readFile(dir.file("PEOPLE.DBF"));
  bytes[32 + 16] = 20;  // NAME C(10) becomes C(20); the record length stays 28
  qvtest::writeFile(dir.file("PEOPLE.DBF"), bytes);
  for (qv::Share share : {qv::Share::ReadOnly, qv::Share::Exclusive}) {
    EXPECT_FALSE(p.file.open(share));
    EXPECT_NE(qv::ErrorText().find("invalid record length"), std::string::npos) << qv::ErrorText();
  }
  int handle = 0;
  EXPECT_EQ(dbf::tableOpen(dir.file("PEOPLE.DBF"), dbf::DialectFoxPro, dbf::OpenReadOnly, handle),
            dbf::ErrInvalidRecordLength);
}

// A header that counts more records than the file holds: read, the table
// shows the records it has; opened for writing, every write is refused
// with "file corrupted" and the file stays as it was (before, an add wrote
// its record after a hole and a pack kept the hole as all-NUL records).
TEST_F(DamagedFiles, AHeaderCountBeyondTheFileRefusesEveryWrite) {
  People p(dir.file("PEOPLE"));
  ASSERT_TRUE(p.file.create()) << qv::ErrorText();
  ASSERT_TRUE(p.file.open(qv::Share::Exclusive));
  ASSERT_TRUE(p.add("Alice", 1, "Oslo"));
  ASSERT_TRUE(p.add("Bob", 2, "Rome"));
  ASSERT_TRUE(p.add("Carol", 3, "Bern"));
  p.file.close();
  std::string bytes = qvtest::readFile(dir.file("PEOPLE.DBF"));
  bytes[4] = 53;
  qvtest::writeFile(dir.file("PEOPLE.DBF"), bytes);
  const std::string cdx = qvtest::readFile(dir.file("PEOPLE.CDX"));

  ASSERT_TRUE(p.file.open(qv::Share::ReadOnly)) << qv::ErrorText();
  EXPECT_EQ(p.file.records(), 3);
  p.file.close();

  ASSERT_TRUE(p.file.open(qv::Share::Exclusive)) << qv::ErrorText();
  EXPECT_FALSE(p.add("Dave", 4, "Kiel"));
  EXPECT_NE(qv::ErrorText().find("file corrupted"), std::string::npos) << qv::ErrorText();
  ASSERT_TRUE(p.file.getPosition(2)) << qv::ErrorText();
  p.rec.PRICE = 22;
  EXPECT_FALSE(p.file.put());
  EXPECT_NE(qv::ErrorText().find("file corrupted"), std::string::npos) << qv::ErrorText();
  ASSERT_TRUE(p.file.getPosition(2));
  EXPECT_FALSE(p.file.remove());
  EXPECT_FALSE(p.file.pack());
  EXPECT_NE(qv::ErrorText().find("file corrupted"), std::string::npos) << qv::ErrorText();
  EXPECT_FALSE(p.file.empty());
  p.file.close();
  EXPECT_EQ(qvtest::readFile(dir.file("PEOPLE.DBF")), bytes);
  EXPECT_EQ(qvtest::readFile(dir.file("PEOPLE.CDX")), cdx);
  EXPECT_FALSE(std::filesystem::exists(dir.file("PEOPLE.BAK")));
}

// A memo file whose next free block is the last number a header can hold:
// a memo appended there would need a block number past it. Nothing is
// written (before, the memo went out at 2 TB and then the header refused).
TEST_F(DamagedFiles, AMemoBeyondTheLastBlockNumberIsRefusedBeforeItIsWritten) {
  Notes n(dir.file("NOTES"));
  ASSERT_TRUE(n.file.create()) << qv::ErrorText();
  ASSERT_TRUE(n.file.open(qv::Share::Exclusive));
  ASSERT_TRUE(n.add("first", "First memo")) << qv::ErrorText();
  n.file.close();
  std::string memo = qvtest::readFile(dir.file("NOTES.FPT"));
  setBigEndian(memo, 0, 0xFFFFFFFFu);
  qvtest::writeFile(dir.file("NOTES.FPT"), memo);
  const std::string table = qvtest::readFile(dir.file("NOTES.DBF"));

  ASSERT_TRUE(n.file.open(qv::Share::Exclusive)) << qv::ErrorText();
  EXPECT_FALSE(n.add("second", "Second memo"));
  EXPECT_NE(qv::ErrorText().find("file corrupted"), std::string::npos) << qv::ErrorText();
  EXPECT_EQ(n.file.records(), 1);
  n.file.close();
  ASSERT_EQ(std::filesystem::file_size(dir.file("NOTES.FPT")), memo.size());
  EXPECT_EQ(qvtest::readFile(dir.file("NOTES.FPT")), memo);
  EXPECT_EQ(qvtest::readFile(dir.file("NOTES.DBF")), table);

  // the engine alone, at the same place: refused before any byte is written
  dbf::MemoFile f;
  ASSERT_EQ(dbf::memoOpen(f, dir.file("NOTES.FPT"), dbf::MemoKind::Fpt, dbf::MemoAccess::Exclusive), 0);
  uint32_t block = 0;
  EXPECT_EQ(dbf::memoWrite(f, "text", dbf::MemoTypeText, 0, false, block), dbf::ErrFileCorrupted);
  dbf::memoClose(f);
  EXPECT_EQ(std::filesystem::file_size(dir.file("NOTES.FPT")), memo.size());
}

// A memo file cut short: its memos past the cut are lost already, and a memo
// written at its next free block would make them read as empty memos, which
// a pack then kept as empty (before: the add succeeded and the pack
// reported success with the memos turned empty). Add, change and pack are
// refused and leave table and memo file as they were.
TEST_F(DamagedFiles, AMemoFileCutShortRefusesAddsChangesAndPack) {
  Notes n(dir.file("NOTES"));
  ASSERT_TRUE(n.file.create()) << qv::ErrorText();
  ASSERT_TRUE(n.file.open(qv::Share::Exclusive));
  for (int i = 0; i < 12; ++i)
    ASSERT_TRUE(n.add("note " + std::to_string(i), "Memo " + std::to_string(i) + std::string(700, 'x')));
  n.file.close();
  std::string memo = qvtest::readFile(dir.file("NOTES.FPT"));
  memo.resize(memo.size() / 2);
  qvtest::writeFile(dir.file("NOTES.FPT"), memo);
  const std::string table = qvtest::readFile(dir.file("NOTES.DBF"));

  ASSERT_TRUE(n.file.open(qv::Share::Exclusive)) << qv::ErrorText();
  ASSERT_TRUE(n.file.getPosition(1)) << qv::ErrorText();
  EXPECT_EQ(n.rec.BODY, "Memo 0" + std::string(700, 'x'));
  EXPECT_FALSE(n.file.getPosition(12));  // its memo is past the cut
  EXPECT_NE(qv::ErrorText().find("file corrupted"), std::string::npos) << qv::ErrorText();
  EXPECT_FALSE(n.add("more", "One memo more"));
  EXPECT_NE(qv::ErrorText().find("file corrupted"), std::string::npos) << qv::ErrorText();
  ASSERT_TRUE(n.file.getPosition(1));
  n.rec.BODY = "A changed memo longer than its blocks " + std::string(900, 'y');
  EXPECT_FALSE(n.file.put());
  ASSERT_TRUE(n.file.getPosition(1));
  ASSERT_TRUE(n.file.remove());  // a mark writes no memo
  EXPECT_FALSE(n.file.pack());
  EXPECT_NE(qv::ErrorText().find("file corrupted"), std::string::npos) << qv::ErrorText();
  EXPECT_EQ(n.file.records(), 12);
  n.file.close();
  EXPECT_EQ(qvtest::readFile(dir.file("NOTES.FPT")), memo);
  std::string marked = table;
  marked[32 * 4 + 1] = '*';
  EXPECT_EQ(qvtest::readFile(dir.file("NOTES.DBF")), marked);
}

// A tag whose pages are damaged is built again from the records without
// reading them: build of one key, of all keys, and the pack (which before
// failed on the damage and left the other tags with old record numbers).
TEST_F(DamagedFiles, ADamagedTagIsBuiltAfreshByBuildsAndPack) {
  People p(dir.file("PEOPLE"));
  ASSERT_TRUE(p.file.create()) << qv::ErrorText();
  ASSERT_TRUE(p.file.open(qv::Share::Exclusive));
  const char* names[] = {"Hugo", "Alice", "Emil", "Carol", "Bob", "Greta", "Dave", "Frida"};
  const char* cities[] = {"Oslo", "Rome", "Bern", "Kiel", "Oslo", "Bern", "Rome", "Kiel"};
  for (int i = 0; i < 8; ++i) ASSERT_TRUE(p.add(names[i], i, cities[i])) << qv::ErrorText();
  p.file.close();
  const std::string table = dir.file("PEOPLE.DBF"), cdx = dir.file("PEOPLE.CDX");
  const std::vector<std::string> byName = {"Alice", "Bob", "Carol", "Dave", "Emil", "Frida", "Greta", "Hugo"};

  damageTagRoot(cdx, "NAME");
  ASSERT_TRUE(p.file.open(qv::Share::Exclusive)) << qv::ErrorText();
  ASSERT_TRUE(p.file.buildKey(p.file.key(kNameTag))) << qv::ErrorText();
  EXPECT_EQ(p.names(kNameTag), byName);
  p.file.close();
  EXPECT_TRUE(indexFaults(table, cdx).empty());

  damageTagRoot(cdx, "NAME");
  ASSERT_TRUE(p.file.open(qv::Share::Exclusive)) << qv::ErrorText();
  ASSERT_TRUE(p.file.buildKeys()) << qv::ErrorText();
  EXPECT_EQ(p.names(kNameTag), byName);
  p.file.close();
  EXPECT_TRUE(indexFaults(table, cdx).empty());

  // a pack moves records: every tag, the damaged one first among them,
  // gets the new record numbers
  ASSERT_TRUE(p.file.open(qv::Share::Exclusive));
  p.rec.NAME = "Alice";
  ASSERT_TRUE(p.file.get(p.file.key(kNameTag)));
  ASSERT_TRUE(p.file.remove());
  p.rec.NAME = "Hugo";
  ASSERT_TRUE(p.file.get(p.file.key(kNameTag)));
  ASSERT_TRUE(p.file.remove());
  p.file.close();
  damageTagRoot(cdx, "NAME");
  ASSERT_TRUE(p.file.open(qv::Share::Exclusive)) << qv::ErrorText();
  ASSERT_TRUE(p.file.pack()) << qv::ErrorText();
  EXPECT_EQ(p.file.records(), 6);
  EXPECT_EQ(p.names(kNameTag), (std::vector<std::string>{"Bob", "Carol", "Dave", "Emil", "Frida", "Greta"}));
  EXPECT_EQ(p.names(kCityTag), (std::vector<std::string>{"Emil", "Greta", "Carol", "Frida", "Bob", "Dave"}));
  p.file.close();
  std::vector<std::string> faults = indexFaults(table, cdx);
  std::string all;
  for (const std::string& f : faults) all += f + "\n";
  EXPECT_TRUE(faults.empty()) << all;
}

}  // namespace
