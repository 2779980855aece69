// The tags of index files as the command line shows them, and the check of
// every tag against the records of its table.
#include <gtest/gtest.h>

#include <filesystem>

#include "dbf_sample_reader.h"
#include "index/index_check.h"
#include "memory_records.h"
#include "support/temp_dir.h"
#include "table/engine_status.h"

using namespace dbf;

namespace {

using Records = dbftest::MemoryRecords;

std::string corpus(const std::string& rel) {
  std::string dir = qvtest::corpusDir();
  std::string path = dir.empty() ? "" : dir + "/dbf/" + rel;
  return !path.empty() && std::filesystem::exists(path) ? path : "";
}

std::string joined(const std::vector<std::string>& lines) {
  std::string s;
  for (const auto& l : lines) s += l + "\n";
  return s;
}

TEST(IndexCheck, TagsOfACorpusFileWithTheirKeyCounts) {
  std::string table = corpus("infused-dbf/foxprodb/calls.dbf");
  if (table.empty()) GTEST_SKIP() << "corpus absent";
  std::string cdx = structuralIndexPath(table);
  ASSERT_EQ(std::filesystem::path(cdx).filename(), "calls.CDX");
  std::vector<TagReport> tags;
  ASSERT_EQ(describeIndexFile(cdx, tags), StatusOk);
  ASSERT_EQ(tags.size(), 2u);
  EXPECT_EQ(tags[0].name, "CALL_ID");
  EXPECT_EQ(tags[0].keyExpression, "call_id");
  EXPECT_EQ(tags[0].keys, 16u);
  EXPECT_EQ(tags[1].name, "CONTACT_ID");
  EXPECT_EQ(tags[1].keys, 16u);
  std::vector<uint32_t> order;
  ASSERT_EQ(tagRecordOrder(structuralIndexPath(corpus("infused-dbf/foxprodb/contacts.dbf")), "TYPE_ID", order), StatusOk);
  EXPECT_EQ(order, (std::vector<uint32_t>{2, 4, 5, 1, 3}));
  EXPECT_EQ(tagRecordOrder(cdx, "NOSUCH", order), ErrInvalidTagName);
}

TEST(IndexCheck, SoundCorpusIndexesHaveNoFaults) {
  std::string setup = corpus("infused-dbf/foxprodb/setup.dbf");
  if (setup.empty()) GTEST_SKIP() << "corpus absent";
  for (const auto& [index, table] : std::vector<std::pair<std::string, std::string>>{
           {structuralIndexPath(setup), setup},
           {corpus("infused-dbf/foxprodb/FOXPRO-DB-TEST.DCX"), corpus("infused-dbf/foxprodb/FOXPRO-DB-TEST.DBC")}}) {
    Records records;
    records.rows = dbftest::readSampleTable(table);
    std::vector<std::string> faults, notes;
    ASSERT_EQ(checkIndexFile(index, records, faults, notes), StatusOk);
    EXPECT_TRUE(faults.empty()) << joined(faults);
    EXPECT_TRUE(notes.empty()) << joined(notes);
  }
  // Binary integer keys are not compared, and said so.
  Records calls;
  calls.rows = dbftest::readSampleTable(corpus("infused-dbf/foxprodb/calls.dbf"));
  std::vector<std::string> faults, notes;
  ASSERT_EQ(checkIndexFile(structuralIndexPath(corpus("infused-dbf/foxprodb/calls.dbf")), calls, faults, notes), StatusOk);
  EXPECT_TRUE(faults.empty()) << joined(faults);
  EXPECT_EQ(notes.size(), 2u);
}

TEST(IndexCheck, AnIndexLeftBehindByAnotherWriterShowsTheRecordsItLacks) {
  std::string table = corpus("php-xbase/foxpro/issue115.dbf");
  if (table.empty()) GTEST_SKIP() << "corpus absent";
  Records records;
  records.rows = dbftest::readSampleTable(table);
  ASSERT_EQ(records.rows.size(), 9u);
  std::vector<std::string> faults, notes;
  ASSERT_EQ(checkIndexFile(structuralIndexPath(table), records, faults, notes), StatusOk);
  std::string all = joined(faults);
  for (int n = 2; n <= 9; ++n) {
    EXPECT_NE(all.find("tag COD: record " + std::to_string(n) + " has no entry"), std::string::npos) << all;
    EXPECT_NE(all.find("tag DENUMIRE: record " + std::to_string(n) + " has no entry"), std::string::npos) << all;
  }
  EXPECT_EQ(all.find("record 1 "), std::string::npos) << all;
}

TEST(IndexCheck, WrongMissingAndExtraEntriesOfADriversOwnFile) {
  qvtest::TempDir dir;
  Records records;
  for (uint32_t n = 1; n <= 4; ++n) {
    dbftest::MemoryRecord r;
    r.number = n;
    r.set("NAME", 'C', std::string("NAME") + char('0' + n) + "   ");
    records.rows.push_back(r);
  }
  CompoundIndex cdx;
  ASSERT_EQ(cdx.create(dir.file("T.CDX"), {}), StatusOk);
  TreeHeader h;
  h.keyLength = 8;
  h.keyExpression = "NAME";
  IndexTree tag;
  ASSERT_EQ(cdx.createTag("NAME", h, KeyType::Character, tag), StatusOk);
  ASSERT_EQ(tag.insert("NAME1", 1), StatusOk);
  ASSERT_EQ(tag.insert("NAME9", 2), StatusOk);  // not record 2's key
  ASSERT_EQ(tag.insert("NAME3", 3), StatusOk);
  ASSERT_EQ(tag.insert("NAME3", 7), StatusOk);  // no such record
  ASSERT_EQ(cdx.close(), StatusOk);
  std::vector<std::string> faults, notes;
  ASSERT_EQ(checkIndexFile(dir.file("T.CDX"), records, faults, notes), StatusOk);
  std::string all = joined(faults);
  EXPECT_NE(all.find("the entry of record 2 holds another key"), std::string::npos) << all;
  EXPECT_NE(all.find("names record 7"), std::string::npos) << all;
  EXPECT_NE(all.find("record 4 has no entry"), std::string::npos) << all;
  EXPECT_EQ(faults.size(), 3u) << all;
}

}  // namespace
