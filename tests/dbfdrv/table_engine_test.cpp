// The table engine: create rules, the open checks and what the reader takes
// beyond them, records with the end-of-file byte, pack, empty and locks.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>

#include "support/temp_dir.h"
#include "table/table.h"

namespace {

using namespace dbf;

std::vector<FieldDef> fields(std::initializer_list<std::tuple<const char*, char, uint32_t, uint8_t>> list) {
  std::vector<FieldDef> out;
  for (const auto& [name, type, length, decimals] : list) {
    FieldDef f;
    f.name = name;
    f.type = type;
    f.length = length;
    f.decimals = decimals;
    out.push_back(f);
  }
  return out;
}

// A header image of one C(5) field, as other writers lay it out.
std::string handMadeTable(uint8_t version, uint8_t year, uint8_t flags, const std::string& rows = {}) {
  std::string b(32 + 32 + 1, '\0');
  b[0] = char(version);
  b[1] = char(year);
  b[2] = 5;
  b[3] = 17;
  uint32_t n = uint32_t(rows.size() / 6);
  b[4] = char(n);
  b[8] = char(b.size());
  b[10] = 6;
  b[28] = char(flags);
  std::memcpy(&b[32], "NAME", 4);
  b[32 + 11] = 'C';
  b[32 + 16] = 5;
  b[64] = 0x0D;
  return b + rows + "\x1a";
}

class TableEngine : public ::testing::Test {
 protected:
  qvtest::TempDir dir;
  std::string path = dir.file("T.DBF");
};

TEST_F(TableEngine, CreateWritesTheHeaderTerminatorAndEndOfFileByte) {
  ASSERT_EQ(tableCreate(path, DialectFoxPro, fields({{"NAME", 'C', 20, 0}, {"PRICE", 'N', 9, 2}}), false), 0);
  std::string bytes = qvtest::readFile(path);
  ASSERT_EQ(bytes.size(), 32u * 3 + 1 + 1);
  EXPECT_EQ(uint8_t(bytes[0]), 0x03);
  EXPECT_EQ(uint8_t(bytes[8]) | uint8_t(bytes[9]) << 8, 32 * 3 + 1);
  EXPECT_EQ(uint8_t(bytes[10]), 30);
  EXPECT_EQ(uint8_t(bytes[96]), 0x0D);
  EXPECT_EQ(uint8_t(bytes[97]), 0x1A);
}

TEST_F(TableEngine, MemoFieldsChooseTheVersionByteOfTheDialect) {
  ASSERT_EQ(tableCreate(path, DialectFoxPro, fields({{"TEXT", 'M', 0, 0}}), false), 0);
  EXPECT_EQ(uint8_t(qvtest::readFile(path)[0]), 0xF5);
  std::string other = dir.file("B.DBF");
  ASSERT_EQ(tableCreate(other, DialectFoxBase, fields({{"TEXT", 'M', 0, 0}}), false), 0);
  EXPECT_EQ(uint8_t(qvtest::readFile(other)[0]), 0x83);
  // a FoxBASE table is not one the FoxPro dialect writes
  int h = 0;
  EXPECT_EQ(tableOpen(other, DialectFoxPro, OpenReadWrite, h), ErrInvalidVersion);
}

TEST_F(TableEngine, CreateRulesOfBothDialects) {
  // each table that is made goes again before the next create
  auto made = [&](int status) {
    std::filesystem::remove(path);
    return status;
  };
  EXPECT_EQ(tableCreate(path, DialectFoxPro, {}, false), ErrInvalidNumberOfFields);
  std::vector<FieldDef> many;
  for (int i = 0; i < 129; ++i) many.push_back(fields({{"F", 'C', 1, 0}})[0]), many.back().name += std::to_string(i);
  EXPECT_EQ(tableCreate(path, DialectFoxBase, many, false), ErrInvalidNumberOfFields);
  EXPECT_EQ(made(tableCreate(path, DialectFoxPro, many, false)), 0);
  EXPECT_EQ(tableCreate(path, DialectFoxPro, fields({{"ELEVENCHARS", 'C', 1, 0}}), false), ErrFieldNameInvalid);
  EXPECT_EQ(tableCreate(path, DialectFoxBase, fields({{"RATE", 'F', 10, 2}}), false), ErrInvalidFieldType);
  EXPECT_EQ(made(tableCreate(path, DialectFoxPro, fields({{"RATE", 'F', 10, 2}}), false)), 0);
  EXPECT_EQ(tableCreate(path, DialectFoxPro, fields({{"PIC", 'G', 10, 0}}), false), ErrInvalidFieldType);
  EXPECT_EQ(tableCreate(path, DialectFoxBase, fields({{"N", 'N', 20, 0}}), false), ErrBadFieldLength);
  EXPECT_EQ(made(tableCreate(path, DialectFoxPro, fields({{"N", 'N', 20, 0}}), false)), 0);
  EXPECT_EQ(tableCreate(path, DialectFoxPro, fields({{"N", 'N', 5, 4}}), false), ErrDecimalPlacesParameterInvalid);
  EXPECT_EQ(tableCreate(path, DialectFoxBase, fields({{"N", 'N', 19, 16}}), false), ErrDecimalPlacesParameterInvalid);
  EXPECT_EQ(tableCreate(path, DialectFoxPro, fields({{"A", 'C', 2000, 0}, {"B", 'C', 2000, 0}}), false),
            ErrInvalidRecordLength);
  // an existing file is never replaced
  qvtest::writeFile(path, "another table");
  EXPECT_EQ(tableCreate(path, DialectFoxPro, fields({{"NAME", 'C', 10, 0}}), false), ErrAccessToFileDenied);
  EXPECT_EQ(qvtest::readFile(path), "another table");
}

TEST_F(TableEngine, LongCharacterFieldKeepsItsHighByteInTheDecimalCount) {
  ASSERT_EQ(tableCreate(path, DialectFoxPro, fields({{"NOTE", 'C', 300, 0}}), false), 0);
  std::string bytes = qvtest::readFile(path);
  EXPECT_EQ(uint8_t(bytes[32 + 16]), 44);
  EXPECT_EQ(uint8_t(bytes[32 + 17]), 1);
  int h = 0;
  ASSERT_EQ(tableOpen(path, DialectFoxPro, OpenReadOnly, h), 0);
  EXPECT_EQ(tableInfo(h)->fields[0].length, 300u);
  EXPECT_EQ(tableInfo(h)->recordLength, 301u);
  tableClose(h);
}

TEST_F(TableEngine, AppendWritesTheRecordTheEndOfFileByteAndTheCount) {
  ASSERT_EQ(tableCreate(path, DialectFoxPro, fields({{"NAME", 'C', 5, 0}}), false), 0);
  int h = 0;
  ASSERT_EQ(tableOpen(path, DialectFoxPro, OpenReadWrite | OpenWriteThrough, h), 0);
  uint32_t recno = 0;
  ASSERT_EQ(tableAppend(h, "xAlice", recno), 0);
  ASSERT_EQ(tableAppend(h, "xBob  ", recno), 0);
  EXPECT_EQ(recno, 2u);
  ASSERT_EQ(tableSetDeleted(h, 1, true), 0);
  std::string rec;
  EXPECT_EQ(tableRead(h, 1, rec), CondDeleted);
  EXPECT_EQ(rec, "*Alice");
  EXPECT_EQ(tableRead(h, 2, rec), 0);
  EXPECT_EQ(rec, " Bob  ");
  EXPECT_EQ(tableRead(h, 3, rec), ErrSeekFailed);
  ASSERT_EQ(tableClose(h), 0);
  std::string bytes = qvtest::readFile(path);
  EXPECT_EQ(bytes.substr(65), "*Alice Bob  \x1a");
  EXPECT_EQ(uint8_t(bytes[4]), 2);
}

TEST_F(TableEngine, BufferedWritesReachTheFileWhenFlushed) {
  ASSERT_EQ(tableCreate(path, DialectFoxPro, fields({{"NAME", 'C', 5, 0}}), false), 0);
  int h = 0;
  ASSERT_EQ(tableOpen(path, DialectFoxPro, OpenReadWrite, h), 0);
  tableSetBuffers(h, 8);
  uint32_t recno = 0;
  for (int i = 0; i < 3; ++i) ASSERT_EQ(tableAppend(h, " abcde", recno), 0);
  std::string rec;
  EXPECT_EQ(tableRead(h, 3, rec), 0);  // read from the buffer
  EXPECT_EQ(qvtest::readFile(path).size(), 66u);
  ASSERT_EQ(tableFlush(h), 0);
  EXPECT_EQ(qvtest::readFile(path).size(), 65u + 18 + 1);
  EXPECT_EQ(uint8_t(qvtest::readFile(path)[4]), 3);
  tableClose(h);
}

TEST_F(TableEngine, PackKeepsLiveRecordsAndTheOldTableAsBak) {
  ASSERT_EQ(tableCreate(path, DialectFoxPro, fields({{"NAME", 'C', 5, 0}}), false), 0);
  int h = 0;
  ASSERT_EQ(tableOpen(path, DialectFoxPro, OpenReadWrite, h), 0);
  uint32_t recno = 0;
  for (const char* r : {" one  ", " two  ", " three"}) tableAppend(h, r, recno);
  tableSetDeleted(h, 2, true);
  ASSERT_EQ(tablePack(h), 0);
  uint32_t n = 0;
  tableRecords(h, n);
  EXPECT_EQ(n, 2u);
  std::string rec;
  tableRead(h, 2, rec);
  EXPECT_EQ(rec, " three");
  EXPECT_TRUE(std::filesystem::exists(dir.file("T.BAK")));
  // no record deleted: the copy is still made
  ASSERT_EQ(tablePack(h), 0);
  tableRecords(h, n);
  EXPECT_EQ(n, 2u);
  tableClose(h);
  EXPECT_EQ(qvtest::readFile(path).size(), 65u + 12 + 1);
  EXPECT_FALSE(std::filesystem::exists(dir.file("0.DBF")));
}

TEST_F(TableEngine, EmptyLeavesTheHeaderAndEndOfFileByte) {
  ASSERT_EQ(tableCreate(path, DialectFoxPro, fields({{"NAME", 'C', 5, 0}}), false), 0);
  int h = 0;
  ASSERT_EQ(tableOpen(path, DialectFoxPro, OpenReadWrite, h), 0);
  uint32_t recno = 0;
  tableAppend(h, " one  ", recno);
  ASSERT_EQ(tableEmpty(h), 0);
  tableClose(h);
  std::string bytes = qvtest::readFile(path);
  EXPECT_EQ(bytes.size(), 66u);
  EXPECT_EQ(uint8_t(bytes[4]), 0);
}

TEST_F(TableEngine, ReadOnlyTableRefusesWritesAndPack) {
  ASSERT_EQ(tableCreate(path, DialectFoxPro, fields({{"NAME", 'C', 5, 0}}), false), 0);
  int h = 0;
  ASSERT_EQ(tableOpen(path, DialectFoxPro, OpenReadOnly, h), 0);
  uint32_t recno = 0;
  EXPECT_EQ(tableAppend(h, " one  ", recno), ErrFileOpenForReadingOnly);
  EXPECT_EQ(tablePack(h), ErrFileOpenForReadingOnly);
  tableClose(h);
}

TEST_F(TableEngine, OpenChecksAndWhatTheReaderTakesBeyondThem) {
  int h = 0;
  qvtest::writeFile(path, handMadeTable(0x07, 100, 0));
  EXPECT_EQ(tableOpen(path, DialectFoxPro, OpenReadOnly, h), ErrInvalidVersion);
  // a Visual FoxPro table: read, not written
  qvtest::writeFile(path, handMadeTable(0x30, 100, 0));
  EXPECT_EQ(tableOpen(path, DialectFoxPro, OpenReadWrite, h), ErrInvalidVersion);
  ASSERT_EQ(tableOpen(path, DialectFoxPro, OpenReadOnly, h), 0);
  EXPECT_TRUE(tableInfo(h)->widenings & WidenVersion);
  tableClose(h);
  // table flags above 1 in the FoxPro dialect
  qvtest::writeFile(path, handMadeTable(0x03, 100, 2));
  EXPECT_EQ(tableOpen(path, DialectFoxPro, OpenReadWrite, h), ErrMdxFlagInDbfFileInvalid);
  ASSERT_EQ(tableOpen(path, DialectFoxPro, OpenReadOnly, h), 0);
  tableClose(h);
  EXPECT_EQ(tableOpen(path, DialectFoxBase, OpenReadWrite, h), 0);
  tableClose(h);
  // an impossible month
  std::string b = handMadeTable(0x03, 100, 0);
  b[2] = 13;
  qvtest::writeFile(path, b);
  EXPECT_EQ(tableOpen(path, DialectFoxPro, OpenReadOnly, h), ErrLastFileChangeDateInError);
}

TEST_F(TableEngine, YearBytesFrom2020OnAreTaken) {
  // 126 = 2026: a table written today must open again, for writing too
  int h = 0;
  qvtest::writeFile(path, handMadeTable(0x03, 126, 0));
  ASSERT_EQ(tableOpen(path, DialectFoxPro, OpenReadWrite, h), 0);
  EXPECT_EQ(tableInfo(h)->year, 2026);
  EXPECT_TRUE(tableInfo(h)->widenings & WidenYear);
  tableClose(h);
  qvtest::writeFile(path, handMadeTable(0x03, 15, 0));
  ASSERT_EQ(tableOpen(path, DialectFoxPro, OpenReadOnly, h), 0);
  EXPECT_EQ(tableInfo(h)->year, 1915);
  tableClose(h);
  qvtest::writeFile(path, handMadeTable(0x03, 99, 0));
  ASSERT_EQ(tableOpen(path, DialectFoxPro, OpenReadOnly, h), 0);
  EXPECT_FALSE(tableInfo(h)->widenings & WidenYear);
  tableClose(h);
}

TEST_F(TableEngine, FieldNameOfElevenCharactersAndRecordLengthMismatch) {
  std::string b = handMadeTable(0x03, 100, 0);
  std::memcpy(&b[32], "ABCDEFGHIJK", 11);
  qvtest::writeFile(path, b);
  int h = 0;
  EXPECT_EQ(tableOpen(path, DialectFoxPro, OpenReadWrite, h), ErrFieldNameInvalid);
  ASSERT_EQ(tableOpen(path, DialectFoxPro, OpenReadOnly, h), 0);
  EXPECT_EQ(tableInfo(h)->fields[0].name, "ABCDEFGHIJK");
  EXPECT_TRUE(tableInfo(h)->widenings & WidenFieldName);
  tableClose(h);
  // a NUL ends the name; bytes after it are not part of it
  std::memcpy(&b[32], "AB\0DEFGHIJK", 11);
  qvtest::writeFile(path, b);
  ASSERT_EQ(tableOpen(path, DialectFoxPro, OpenReadWrite, h), 0);
  EXPECT_EQ(tableInfo(h)->fields[0].name, "AB");
  tableClose(h);
  b = handMadeTable(0x03, 100, 0, " Alice");
  b[10] = 7;  // one byte more than the fields
  qvtest::writeFile(path, b);
  EXPECT_EQ(tableOpen(path, DialectFoxPro, OpenReadWrite, h), ErrInvalidRecordLength);
  ASSERT_GE(tableOpen(path, DialectFoxPro, OpenReadOnly, h), 0);
  EXPECT_TRUE(tableInfo(h)->widenings & WidenRecordLength);
  EXPECT_EQ(tableInfo(h)->recordLength, 7u);
  tableClose(h);
  // the header counts one byte short, the file's size shows the fields' sum
  b = handMadeTable(0x03, 100, 0, " Alice Bob  ");
  b[10] = 5;
  qvtest::writeFile(path, b);
  ASSERT_GE(tableOpen(path, DialectFoxPro, OpenReadOnly, h), 0);
  EXPECT_EQ(tableInfo(h)->recordLength, 6u);
  std::string rec;
  tableRead(h, 2, rec);
  EXPECT_EQ(rec, " Bob  ");
  tableClose(h);
}

TEST_F(TableEngine, FieldRunningPastTheRecordIsRefused) {
  // the header's record length (4) is shorter than the field (5) and the
  // file's size fits the header: each field would take bytes of the next
  // record
  std::string b = handMadeTable(0x03, 100, 0);
  b.pop_back();
  b[10] = 4;
  b[4] = 2;
  qvtest::writeFile(path, b + " Ann Bob\x1a");
  int h = 0;
  EXPECT_EQ(tableOpen(path, DialectFoxPro, OpenReadWrite, h), ErrInvalidRecordLength);
  EXPECT_EQ(tableOpen(path, DialectFoxPro, OpenReadOnly, h), ErrInvalidRecordLength);
  EXPECT_EQ(h, 0);
}

TEST_F(TableEngine, ShortFileIsReadAsFarAsItGoes) {
  // the header counts 2 records; the file holds one
  std::string b = handMadeTable(0x03, 100, 0, " Alice Bob  ");
  b.resize(b.size() - 7);
  qvtest::writeFile(path, b);
  int h = 0;
  EXPECT_EQ(tableOpen(path, DialectFoxPro, OpenReadOnly, h), CondFileSize);
  uint32_t n = 0;
  tableRecords(h, n);
  EXPECT_EQ(n, 1u);
  std::string rec;
  EXPECT_EQ(tableRead(h, 2, rec), ErrSeekFailed);
  tableClose(h);
  // for writing the count stays, a read past the file fails, and nothing
  // is written: an append would leave a hole of records
  EXPECT_EQ(tableOpen(path, DialectFoxPro, OpenReadWrite, h), CondFileSize);
  EXPECT_EQ(tableRead(h, 2, rec), ErrFileReadFailure);
  uint32_t recno = 0;
  EXPECT_EQ(tableAppend(h, " Carol", recno), ErrFileCorrupted);
  EXPECT_EQ(tableWrite(h, 1, " Alma "), ErrFileCorrupted);
  EXPECT_EQ(tableSetDeleted(h, 1, true), ErrFileCorrupted);
  EXPECT_EQ(tablePack(h), ErrFileCorrupted);
  EXPECT_EQ(tableEmpty(h), ErrFileCorrupted);
  tableClose(h);
  EXPECT_EQ(qvtest::readFile(path), b);
}

TEST_F(TableEngine, HeaderLongerThanTheFileIsRefused) {
  std::string b = handMadeTable(0x03, 100, 0);
  b[8] = char(0xFF);
  b[9] = 0x10;
  qvtest::writeFile(path, b);
  int h = 0;
  EXPECT_EQ(tableOpen(path, DialectFoxPro, OpenReadOnly, h), ErrFileHeaderLengthError);
  qvtest::writeFile(path, "\x03\x64");
  EXPECT_EQ(tableOpen(path, DialectFoxPro, OpenReadOnly, h), ErrFileHeaderLengthError);
  EXPECT_EQ(tableOpen(dir.file("NONE.DBF"), DialectFoxPro, OpenReadOnly, h), ErrFileNotFound);
}

TEST_F(TableEngine, RecordLocksOfTwoHandlesExcludeEachOther) {
  ASSERT_EQ(tableCreate(path, DialectFoxPro, fields({{"NAME", 'C', 5, 0}}), false), 0);
  int a = 0, b = 0;
  ASSERT_EQ(tableOpen(path, DialectFoxPro, OpenReadWrite | OpenShared, a), 0);
  ASSERT_EQ(tableOpen(path, DialectFoxPro, OpenReadWrite | OpenShared, b), 0);
  uint32_t recno = 0;
  ASSERT_EQ(tableAppend(a, " one  ", recno), 0);
  uint32_t n = 0;
  tableRecords(b, n);
  EXPECT_EQ(n, 1u);  // a shared table rereads the count
  EXPECT_EQ(tableLockRecord(a, 1), 0);
  EXPECT_EQ(tableLockRecord(b, 1), ErrLockConflict);
  EXPECT_EQ(tableLockFile(b), 0);  // another range
  EXPECT_EQ(tableLockFile(a), ErrLockConflict);
  tableUnlockAll(a);
  EXPECT_EQ(tableLockRecord(b, 1), 0);
  tableClose(a);
  tableClose(b);
}

}  // namespace
