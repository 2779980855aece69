// The driver "FoxPro" with its keys in index files: reads by key and in key
// order, adds, changes and deletions keeping every key current, duplicate
// keys refused, and a pack that rebuilds the indexes; after each change the
// index files hold exactly the keys of the records.
#include <gtest/gtest.h>

#include <filesystem>

#include "driver/file_block.h"
#include "services/fox_driver_host.h"
#include "index/index_check.h"
#include "support/temp_dir.h"
#include "dbf_sample_reader.h"

namespace {

struct Rec {
  qv::Str<10> NAME;
  double PRICE = 0;
  qv::Str<8> CITY;
};

struct Table {
  Rec rec;
  qv::FileDecl decl{0, "People", "PEO", "FoxPro"};
  qv::File file{decl};
  explicit Table(const std::string& path) {
    qv::DeclBuilder<Rec> b(decl, rec);
    b.field("NAME", &Rec::NAME).field("PRICE", &Rec::PRICE).field("CITY", &Rec::CITY);
    b.key("NAME|PEOPLE", {{"NAME"}}, qv::KeyUnique);
    b.key("PRICEKEY", {{"PRICE"}}, 0);
    b.key("CITY|PEOPLE=C[UPPER(CITY)+NAME],FOR[PRICE>0]", {{"CITY"}, {"NAME"}}, 0);
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

// Every index file beside the table holds exactly the keys of its records.
void expectSound(const qvtest::TempDir& dir) {
  Records records;
  records.rows = dbftest::readSampleTable(dir.file("PEOPLE.DBF"));
  for (const char* index : {"PEOPLE.CDX", "PRICEKEY.IDX"}) {
    std::vector<std::string> faults, notes;
    ASSERT_EQ(dbf::checkIndexFile(dir.file(index), records, faults, notes), 0);
    std::string all;
    for (const auto& f : faults) all += f + "\n";
    EXPECT_TRUE(faults.empty()) << all;
  }
}

class FoxProIndexes : public ::testing::Test {
 protected:
  void SetUp() override { qv::registerFoxProDriver(); }
  qvtest::TempDir dir;
};

TEST_F(FoxProIndexes, KeysStayCurrentThroughAddsChangesDeletionsAndPack) {
  Table t(dir.file("PEOPLE"));
  ASSERT_TRUE(t.file.create()) << qv::ErrorText();
  EXPECT_TRUE(std::filesystem::exists(dir.file("PEOPLE.CDX")));
  EXPECT_TRUE(std::filesystem::exists(dir.file("PRICEKEY.IDX")));
  ASSERT_TRUE(t.file.open(qv::Share::Exclusive)) << qv::ErrorText();
  ASSERT_TRUE(t.add("Carol", 30, "Oslo")) << qv::ErrorText();
  ASSERT_TRUE(t.add("Alice", 12.5, "bergen"));
  ASSERT_TRUE(t.add("Bob", -1, "Athens"));
  ASSERT_TRUE(t.add("Dave", 0.5, "Athens"));
  EXPECT_FALSE(t.add("Alice", 1, "Rome"));  // NAME is unique
  EXPECT_EQ(qv::ErrorCode(), qv::ErrDuplicateKey);
  EXPECT_EQ(t.names("NAME|PEOPLE"), (std::vector<std::string>{"Alice", "Bob", "Carol", "Dave"}));
  EXPECT_EQ(t.names("PRICEKEY"), (std::vector<std::string>{"Bob", "Dave", "Alice", "Carol"}));
  // The filter leaves Bob out; upper case puts bergen between Athens and Oslo.
  EXPECT_EQ(t.names("CITY|PEOPLE=C[UPPER(CITY)+NAME],FOR[PRICE>0]"),
            (std::vector<std::string>{"Dave", "Alice", "Carol"}));
  t.file.close();
  expectSound(dir);

  ASSERT_TRUE(t.file.open(qv::Share::Exclusive)) << qv::ErrorText();
  t.rec.NAME = "Carol";
  ASSERT_TRUE(t.file.get(t.file.key("NAME|PEOPLE"))) << qv::ErrorText();
  EXPECT_DOUBLE_EQ(t.rec.PRICE, 30);
  t.rec.PRICE = -5;
  t.rec.NAME = "Anna";
  ASSERT_TRUE(t.file.put()) << qv::ErrorText();
  EXPECT_EQ(t.names("NAME|PEOPLE"), (std::vector<std::string>{"Alice", "Anna", "Bob", "Dave"}));
  EXPECT_EQ(t.names("PRICEKEY"), (std::vector<std::string>{"Anna", "Bob", "Dave", "Alice"}));
  t.rec.NAME = "Bob";
  ASSERT_TRUE(t.file.get(t.file.key("NAME|PEOPLE")));
  ASSERT_TRUE(t.file.remove()) << qv::ErrorText();
  t.rec.NAME = "Bob";
  EXPECT_FALSE(t.file.get(t.file.key("NAME|PEOPLE")));  // its entry stays, the read passes it over
  t.file.close();
  expectSound(dir);

  ASSERT_TRUE(t.file.open(qv::Share::Exclusive));
  ASSERT_TRUE(t.file.pack()) << qv::ErrorText();
  EXPECT_EQ(t.file.records(), 3);
  EXPECT_EQ(t.names("NAME|PEOPLE"), (std::vector<std::string>{"Alice", "Anna", "Dave"}));
  ASSERT_TRUE(t.file.buildKeys()) << qv::ErrorText();
  EXPECT_EQ(t.names("PRICEKEY"), (std::vector<std::string>{"Anna", "Dave", "Alice"}));
  t.file.close();
  expectSound(dir);
}

TEST_F(FoxProIndexes, AMissingIndexFileFailsTheOpen) {
  Table t(dir.file("PEOPLE"));
  ASSERT_TRUE(t.file.create()) << qv::ErrorText();
  std::filesystem::remove(dir.file("PRICEKEY.IDX"));
  EXPECT_FALSE(t.file.open(qv::Share::Exclusive));
}

}  // namespace
