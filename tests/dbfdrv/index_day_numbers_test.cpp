// Day numbers of date keys: the Julian day numbers the other writers store
// (and new indexes take), the formula's numbers of indexes the driver wrote
// before, and which of the two a tree holds, told from its earliest and
// latest dates. Dates before 1901 are the case that matters: the sample
// corpus has a table with dates of 1870.
#include <gtest/gtest.h>

#include <filesystem>

#include "dbf_sample_reader.h"
#include "index/day_numbers.h"
#include "index/index_check.h"
#include "memory_record.h"
#include "memory_records.h"
#include "support/temp_dir.h"
#include "table/engine_status.h"

using namespace dbf;
using dbftest::MemoryRecord;

namespace {

using Records = dbftest::MemoryRecords;

Records datesOf(std::initializer_list<const char*> dates) {
  Records r;
  uint32_t n = 0;
  for (const char* d : dates) {
    MemoryRecord m;
    m.number = ++n;
    m.set("BORN", 'D', d);
    r.rows.push_back(m);
  }
  return r;
}

// A CDX with one date tag over the records, its keys in the given day numbers.
void buildDateTag(const std::string& path, const std::string& field, bool descending, DayNumbers days,
                  Records& records, CompoundIndex& cdx, IndexTree& tree, KeyDefinition& def) {
  ASSERT_EQ(cdx.create(path, {}), StatusOk);
  MemoryRecord sample = records.rows.front();
  ASSERT_EQ(defineKey('D', field, "", 0, sample, def), StatusOk);
  TreeHeader h;
  h.keyLength = def.length;
  h.descending = descending;
  h.keyExpression = field;
  ASSERT_EQ(cdx.createTag(field, h, KeyType::Date, tree), StatusOk);
  def.days = days;
  ASSERT_EQ(rebuildTree(tree, def, records, std::filesystem::path(path).parent_path().string()), StatusOk);
}

std::vector<std::string> checkFaults(const std::string& path, RecordSource& records) {
  std::vector<std::string> faults, notes;
  EXPECT_EQ(checkIndexFile(path, records, faults, notes), StatusOk);
  return faults;
}

TEST(DayNumbers, JulianDayNumbersOfEveryCenturyAndTheFormulasOwnRange) {
  long j = 0, f = 0;
  // The other writers' numbers, as their tests state them.
  ASSERT_TRUE(julianDayNumber(1970, 1, 1, j));
  EXPECT_EQ(j, 2440588);
  ASSERT_TRUE(julianDayNumber(2000, 1, 1, j));
  EXPECT_EQ(j, 2451545);
  ASSERT_TRUE(julianDayNumber(1, 1, 1, j));
  EXPECT_EQ(j, 1721426);
  ASSERT_TRUE(julianDayNumber(1997, 12, 12, j));
  EXPECT_EQ(j, 2450795);
  EXPECT_FALSE(julianDayNumber(1900, 2, 29, j));
  // 1900 has no February 29: the day after February 28 is March 1.
  long feb28 = 0, mar1 = 0;
  ASSERT_TRUE(julianDayNumber(1900, 2, 28, feb28));
  ASSERT_TRUE(julianDayNumber(1900, 3, 1, mar1));
  EXPECT_EQ(mar1, feb28 + 1);
  // The formula agrees from 1901 to 2100 and differs outside.
  for (int year : {1901, 1950, 2000, 2099, 2100}) {
    ASSERT_TRUE(julianDayNumber(year, 1, 1, j));
    ASSERT_TRUE(dayNumber(year, 1, 1, f));
    EXPECT_EQ(j, f) << year;
    EXPECT_TRUE(dayNumbersAgree(static_cast<double>(j))) << year;
  }
  for (int year : {1, 1600, 1870, 1900, 2101, 2400}) {
    ASSERT_TRUE(julianDayNumber(year, 6, 30, j));
    ASSERT_TRUE(dayNumber(year, 6, 30, f));
    EXPECT_NE(j, f) << year;
    EXPECT_FALSE(dayNumbersAgree(static_cast<double>(j))) << year;
  }
  EXPECT_EQ(encodeDateKey("18700630"), encodeNumberKey(2404244));
  EXPECT_EQ(encodeDateKey("18700630", DayNumbers::Formula), encodeNumberKey(2404243));
  // Both orders stay the order of the dates.
  for (DayNumbers kind : {DayNumbers::Julian, DayNumbers::Formula}) {
    EXPECT_LT(compareKeyBytes(encodeDateKey("18991231", kind), encodeDateKey("19000101", kind)), 0);
    EXPECT_LT(compareKeyBytes(encodeDateKey("19000228", kind), encodeDateKey("19000301", kind)), 0);
    EXPECT_LT(compareKeyBytes(encodeDateKey("19001231", kind), encodeDateKey("19010101", kind)), 0);
    EXPECT_LT(compareKeyBytes(encodeDateKey("21001231", kind), encodeDateKey("21010101", kind)), 0);
  }
}

TEST(DayNumbers, ATreeTellsItsDayNumbersByItsEarliestAndLatestDates) {
  qvtest::TempDir dir;
  struct Case {
    Records records;
    DayNumbers built;
    bool descending;
    DayNumbers told;
  };
  std::vector<Case> cases;
  // Early dates after a run of blank ones, which tell nothing.
  cases.push_back({datesOf({"        ", "18700630", "        ", "19990101", "        ", "18691231"}), DayNumbers::Formula,
                   false, DayNumbers::Formula});
  cases.push_back({datesOf({"        ", "18700630", "19990101"}), DayNumbers::Julian, true, DayNumbers::Julian});
  // Only late dates.
  cases.push_back({datesOf({"19990101", "22000101"}), DayNumbers::Formula, true, DayNumbers::Formula});
  cases.push_back({datesOf({"19990101", "22000101"}), DayNumbers::Julian, false, DayNumbers::Julian});
  // Dates where both agree: the tree is taken as Julian, and both read alike.
  cases.push_back({datesOf({"19990101", "20201231"}), DayNumbers::Formula, false, DayNumbers::Julian});
  int n = 0;
  for (Case& c : cases) {
    SCOPED_TRACE(n);
    std::string path = dir.file("T" + std::to_string(n++) + ".CDX");
    CompoundIndex cdx;
    IndexTree tree;
    KeyDefinition def;
    buildDateTag(path, "BORN", c.descending, c.built, c.records, cdx, tree, def);
    DayNumbers told = DayNumbers::Julian;
    ASSERT_EQ(findDayNumbers(tree, def, c.records, told), StatusOk);
    EXPECT_EQ(told, c.told);
    ASSERT_EQ(cdx.close(), StatusOk);
    EXPECT_TRUE(checkFaults(path, c.records).empty());
  }
}

TEST(DayNumbers, TheCorpusTablesDatesOf1870AreFoundInEitherKindOfIndex) {
  std::string dirPath = qvtest::corpusDir();
  std::string table = dirPath.empty() ? "" : dirPath + "/dbf/infused-dbf/dbase_f5.dbf";
  if (table.empty() || !std::filesystem::exists(table)) GTEST_SKIP() << "corpus absent";
  Records records;
  records.rows = dbftest::readSampleTable(table);
  ASSERT_EQ(records.rows.size(), 975u);
  qvtest::TempDir dir;
  for (DayNumbers kind : {DayNumbers::Julian, DayNumbers::Formula}) {
    std::string path = dir.file(kind == DayNumbers::Julian ? "JULIAN.CDX" : "FORMULA.CDX");
    CompoundIndex cdx;
    IndexTree tree;
    KeyDefinition def;
    buildDateTag(path, "DATN", false, kind, records, cdx, tree, def);
    DayNumbers told = DayNumbers::Julian;
    ASSERT_EQ(findDayNumbers(tree, def, records, told), StatusOk);
    EXPECT_EQ(told, kind);
    // Record 4 (the peers' record 3, counted from 0) was born on 30 June 1870.
    bool found = false;
    ASSERT_EQ(tree.find(encodeDateKey("18700630", told), FindMode::FirstEqual, 0, found), StatusOk);
    ASSERT_TRUE(found);
    bool four = false;
    while (found && tree.key() == encodeDateKey("18700630", told)) {
      four = four || tree.record() == 4;
      ASSERT_EQ(tree.next(found), StatusOk);
    }
    EXPECT_TRUE(four);
    ASSERT_EQ(cdx.close(), StatusOk);
    EXPECT_TRUE(checkFaults(path, records).empty());
  }
}

}  // namespace
