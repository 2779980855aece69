// Memo files written by other programs (FoxPro 2, Visual FoxPro, dBASE III,
// dBASE IV and 7), read through the blocks their tables point to; the values
// are those the peers' own tests state for these files.
#include <gtest/gtest.h>

#include <string>

#include "memo/memo_file.h"
#include "support/raw_dbf.h"
#include "support/temp_dir.h"
#include "table/engine_status.h"

namespace {

using namespace dbf;

class MemoCorpus : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = qvtest::corpusDir();
    if (dir.empty()) GTEST_SKIP() << "the sample corpus folder (shared/corpus) is absent";
    dir += "/dbf/";
  }
  void TearDown() override { memoClose(memo); }
  // Opens a table and its memo file.
  void open(const std::string& table, const std::string& memoName, MemoKind kind) {
    ASSERT_TRUE(dbf.load(dir + table)) << table;
    ASSERT_EQ(memoOpen(memo, dir + memoName, kind, MemoAccess::ReadOnly), StatusOk) << memoName;
  }
  // The memo of a record's field (0-based record number).
  std::string memoOf(uint32_t record, const std::string& field, bool* raw = nullptr) {
    MemoData data;
    uint32_t block = dbf.memoBlock(record, field);
    if (block == 0) return "";
    EXPECT_EQ(memoRead(memo, block, kMemoNoLimit, data), StatusOk) << field << " of record " << record;
    if (raw) *raw = data.raw();
    return data.bytes;
  }
  std::string dir;
  qvtest::RawDbf dbf;
  MemoFile memo;
};

bool startsWith(const std::string& s, const std::string& p) { return s.compare(0, p.size(), p) == 0; }
bool endsWith(const std::string& s, const std::string& p) {
  return s.size() >= p.size() && s.compare(s.size() - p.size(), p.size(), p) == 0;
}

TEST_F(MemoCorpus, Dbase3MemosOfAllRecordsIncludingTheDeleted) {
  open("DBD-XBase/test.dbf", "DBD-XBase/test.dbt", MemoKind::Dbt);
  EXPECT_EQ(memoOf(0, "NOTE"), "This is a memo for record no one");
  EXPECT_TRUE(dbf.deleted(1));
  EXPECT_EQ(memoOf(1, "NOTE"), "This is a memo for record 2");
  EXPECT_EQ(memoOf(2, "NOTE"), "This is a memo for record 3");
}

TEST_F(MemoCorpus, Dbase3MemoOfTheProductTable) {
  open("infused-dbf/dbase_83.dbf", "infused-dbf/dbase_83.dbt", MemoKind::Dbt);
  std::string desc = memoOf(0, "DESC");
  EXPECT_TRUE(startsWith(desc, "Our Original assortment...a little taste of heaven for everyone.  Let us\r\n"));
  EXPECT_TRUE(endsWith(desc, "Grand Orange, Plum Squares, Milk chocolate squares, and Raspberry Blanc.")) << desc;
  std::string nine = memoOf(9, "DESC");
  EXPECT_TRUE(startsWith(nine, "Once tasted you will understand why we won The\r\nBoston Herald's Fruitcake Taste-off."));
  EXPECT_TRUE(endsWith(nine, "Presented in a gift tin.  (3lbs. 4oz)")) << nine;
}

TEST_F(MemoCorpus, Dbase4BlockHeadersGiveTheMemoLength) {
  open("infused-dbf/dbase_8b.dbf", "infused-dbf/dbase_8b.dbt", MemoKind::Dbt);
  EXPECT_EQ(memoOf(0, "MEMO"), "First memo\r\n");
  open("php-xbase/dBase/dBaseIV.dbf", "php-xbase/dBase/dBaseIV.dbt", MemoKind::Dbt);
  EXPECT_TRUE(startsWith(memoOf(0, "BIO"), "Groot (/"));
  EXPECT_EQ(memoOf(0, "IMAGE"), qvtest::readFile(dir + "php-xbase/img/groot.jpeg"));
  EXPECT_EQ(memoOf(1, "IMAGE"), qvtest::readFile(dir + "php-xbase/img/rocket_raccoon.png"));
  EXPECT_EQ(memoOf(2, "IMAGE"), qvtest::readFile(dir + "php-xbase/img/star_lord.png"));
  EXPECT_TRUE(endsWith(memoOf(2, "BIO"), "Pratt will return to play the character in Guardians of the Galaxy Vol. 3."));
}

TEST_F(MemoCorpus, Dbase3TextMemosOfTheComicTable) {
  open("php-xbase/dBase/dBaseIII.dbf", "php-xbase/dBase/dBaseIII.dbt", MemoKind::Dbt);
  std::string bio = memoOf(0, "BIO");
  EXPECT_TRUE(startsWith(bio, "Groot (/"));
  EXPECT_NE(bio.find("is a fictional character appearing in American comic books published by Marvel Comics."),
            std::string::npos);
  EXPECT_NE(bio.find("with his repeated line \"I am Groot\" becoming an Internet meme."), std::string::npos);
  EXPECT_TRUE(startsWith(memoOf(1, "BIO"), "Rocket Raccoon is a fictional character"));
  EXPECT_NE(memoOf(1, "BIO").find("with motion capture provided by Sean Gunn."), std::string::npos);
}

// dBASE 7 tables have descriptors of their own; the blocks are those the
// peers state (the image of the second record at block 0x3F, its length word
// 98034 counting the 8-byte block header).
TEST_F(MemoCorpus, Dbase7MemoFile) {
  ASSERT_EQ(memoOpen(memo, dir + "php-xbase/dBase/dBaseVII.dbt", MemoKind::Dbt, MemoAccess::ReadOnly), StatusOk);
  MemoData data;
  ASSERT_EQ(memoRead(memo, 1, kMemoNoLimit, data), StatusOk);
  EXPECT_TRUE(startsWith(data.bytes, "Groot (/"));
  ASSERT_EQ(memoRead(memo, 0x3F, kMemoNoLimit, data), StatusOk);
  EXPECT_EQ(data.bytes.size(), 98034u - 8u);
  EXPECT_TRUE(startsWith(data.bytes, "\x89PNG"));
}

TEST_F(MemoCorpus, VisualFoxProMemosWithLiveAndDeletedRecords) {
  open("olemb-dbfread/memotest.dbf", "olemb-dbfread/memotest.FPT", MemoKind::Fpt);
  EXPECT_EQ(memo.blockSize, 512u);
  EXPECT_EQ(memoOf(0, "MEMO"), "Alice memo");
  EXPECT_EQ(memoOf(1, "MEMO"), "Bob memo");
  EXPECT_TRUE(dbf.deleted(2));
  EXPECT_EQ(memoOf(2, "MEMO"), "Deleted Guy memo");
}

TEST_F(MemoCorpus, FoxPro2MemoKeepsItsOemBytes) {
  open("infused-dbf/dbase_f5.dbf", "infused-dbf/dbase_f5.fpt", MemoKind::Fpt);
  EXPECT_EQ(memo.blockSize, 64u);
  EXPECT_EQ(memoOf(3, "OBSE"),
            "jos\x82 vicente salvador\r\ncapell\x85: salvador vidal\r\nen n\x82ixer, les castellers li van fer "
            "un pilar i el van entregar al seu pare.");
  EXPECT_EQ(memoOf(0, "OBSE"), "");
}

TEST_F(MemoCorpus, FoxPro2ImagesAndLongCharacterTable) {
  open("php-xbase/foxpro/Foxpro2.dbf", "php-xbase/foxpro/Foxpro2.fpt", MemoKind::Fpt);
  EXPECT_EQ(memoOf(1, "IMAGE"), qvtest::readFile(dir + "php-xbase/img/rocket_raccoon.png"));
  EXPECT_EQ(memoOf(2, "IMAGE"), qvtest::readFile(dir + "php-xbase/img/star_lord.png"));
  open("php-xbase/foxpro/pr90.dbf", "php-xbase/foxpro/pr90.fpt", MemoKind::Fpt);
  EXPECT_EQ(memoOf(0, "NOTEMEMO"), "He will call us on the 18th to settle - 123 xp");
}

TEST_F(MemoCorpus, VisualFoxProBlockSize64) {
  open("php-xbase/foxpro/vfp.dbf", "php-xbase/foxpro/vfp.fpt", MemoKind::Fpt);
  EXPECT_EQ(dbf.memoBlock(0, "IMAGE"), 0x20u);
  EXPECT_EQ(dbf.memoBlock(1, "IMAGE"), 0x1DBu);
  EXPECT_EQ(dbf.memoBlock(2, "IMAGE"), 0x7C6u);
  EXPECT_EQ(memoOf(0, "IMAGE"), qvtest::readFile(dir + "php-xbase/img/groot.jpeg"));
  EXPECT_EQ(memoOf(1, "IMAGE").size(), 95714u);
  EXPECT_EQ(memoOf(2, "IMAGE").size(), 187811u);
  EXPECT_EQ(memoOf(0, "BLOB").size(), 7146u);
  open("infused-dbf/dbase_30.dbf", "infused-dbf/dbase_30.fpt", MemoKind::Fpt);
  std::string classes = memoOf(3, "CLASSES");
  EXPECT_TRUE(startsWith(classes, "Agriculture")) << classes;
  EXPECT_TRUE(endsWith(classes, "Farming\r\n")) << classes;
  open("go-foxpro-dbf/dbase_30.dbf", "go-foxpro-dbf/dbase_30.fpt", MemoKind::Fpt);
  // The peer compares trimmed texts.
  EXPECT_EQ(memoOf(13, "CLASSES"), "People\r\nMcWilliams\r\n");
  open("go-foxpro-dbf/TEST.DBF", "go-foxpro-dbf/TEST.FPT", MemoKind::Fpt);
  EXPECT_TRUE(dbf.deleted(1));
  EXPECT_EQ(memoOf(1, "MELDING"), "T\xEBsting w\xEDth \xE9nc\xF4" "dings!");
}

// Every memo block that a corpus table points to reads without error, and
// every memo file opens.
TEST_F(MemoCorpus, EveryPointedMemoReads) {
  struct Set {
    const char* table;
    const char* memo;
    MemoKind kind;
  };
  const Set sets[] = {
      {"DBD-XBase/test.dbf", "DBD-XBase/test.dbt", MemoKind::Dbt},
      {"DBD-XBase/afox5.dbf", "DBD-XBase/afox5.FPT", MemoKind::Fpt},
      {"olemb-dbfread/memotest.dbf", "olemb-dbfread/memotest.FPT", MemoKind::Fpt},
      {"php-xbase/dBase/dBaseIV.dbf", "php-xbase/dBase/dBaseIV.dbt", MemoKind::Dbt},
      {"php-xbase/foxpro/visual_fox_pro6.dbf", "php-xbase/foxpro/visual_fox_pro6.fpt", MemoKind::Fpt},
      {"php-xbase/foxpro/Foxpro2.dbf", "php-xbase/foxpro/Foxpro2.fpt", MemoKind::Fpt},
      {"php-xbase/foxpro/pr90.dbf", "php-xbase/foxpro/pr90.fpt", MemoKind::Fpt},
      {"php-xbase/foxpro/vfp.dbf", "php-xbase/foxpro/vfp.fpt", MemoKind::Fpt},
      {"php-xbase/foxpro/91.dbf", "php-xbase/foxpro/91.fpt", MemoKind::Fpt},
      {"infused-dbf/dbase_83.dbf", "infused-dbf/dbase_83.dbt", MemoKind::Dbt},
      {"infused-dbf/dbase_8b.dbf", "infused-dbf/dbase_8b.dbt", MemoKind::Dbt},
      {"infused-dbf/dbase_f5.dbf", "infused-dbf/dbase_f5.fpt", MemoKind::Fpt},
      {"infused-dbf/dbase_30.dbf", "infused-dbf/dbase_30.fpt", MemoKind::Fpt},
      {"infused-dbf/foxprodb/calls.dbf", "infused-dbf/foxprodb/calls.FPT", MemoKind::Fpt},
      {"infused-dbf/foxprodb/contacts.dbf", "infused-dbf/foxprodb/contacts.FPT", MemoKind::Fpt},
      {"yellowfeather-DbfDataReader/client.dbf", "yellowfeather-DbfDataReader/client.dbt", MemoKind::Dbt},
      {"go-foxpro-dbf/TEST.DBF", "go-foxpro-dbf/TEST.FPT", MemoKind::Fpt},
  };
  for (const Set& s : sets) {
    SCOPED_TRACE(s.table);
    memoClose(memo);
    open(s.table, s.memo, s.kind);
    int memos = 0;
    for (uint32_t r = 0; r < dbf.recordCount(); ++r) {
      for (const qvtest::RawDbfField& f : dbf.fields()) {
        if (f.type != 'M' && f.type != 'G' && f.type != 'W') continue;
        if (dbf.memoBlock(r, f.name) == 0) continue;
        memoOf(r, f.name);
        ++memos;
      }
    }
    if (dbf.recordCount() > 0) {
      EXPECT_GT(memos, 0);
    }
  }
}

}  // namespace
