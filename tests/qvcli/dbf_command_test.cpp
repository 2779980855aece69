// qvcli dbf: a DBF table as the import reads it, and its check, run as a
// user runs it (no installation needed).
#include <gtest/gtest.h>

#include <cstring>

#include "qvcli_process.h"
#include "support/temp_dir.h"

namespace {

using qvtest::runQvcli;

// A FoxBASE table of a C(8), an L(1) and an M(10) field with two records,
// the second deleted, and its memo file (dBASE III blocks of 512 bytes).
void writeTable(const std::string& dbf, const std::string& dbt, uint32_t secondMemoBlock) {
  std::string h(32 * 4 + 1, '\0');
  h[0] = char(0x83);
  h[1] = 100;
  h[2] = 1;
  h[3] = 2;
  h[4] = 2;
  h[8] = char(h.size());
  h[10] = 1 + 8 + 1 + 10;
  const char* names[] = {"NAME", "OK", "NOTE"};
  const char types[] = {'C', 'L', 'M'};
  const int lengths[] = {8, 1, 10};
  for (int i = 0; i < 3; ++i) {
    std::memcpy(&h[32 + 32 * i], names[i], std::strlen(names[i]));
    h[32 + 32 * i + 11] = types[i];
    h[32 + 32 * i + 16] = char(lengths[i]);
  }
  h[128] = 0x0D;
  char second[16];
  std::snprintf(second, sizeof second, "%10u", secondMemoBlock);
  std::string rows = std::string(" Alice   T         1") + "*Bob     F" + second + "\x1a";
  qvtest::writeFile(dbf, h + rows);
  std::string memo(512 * 3, '\0');
  memo[0] = 3;  // next free block
  std::string a = "Alice's memo\x1a\x1a", b = "Bob's memo\x1a\x1a";
  memo.replace(512, a.size(), a);
  memo.replace(1024, b.size(), b);
  qvtest::writeFile(dbt, memo);
}

TEST(QvcliDbf, FieldsRecordsAndDeletedRecordsMarked) {
  qvtest::TempDir dir;
  writeTable(dir.file("T.DBF"), dir.file("T.DBT"), 2);
  auto r = runQvcli({"dbf", dir.file("T.DBF"), "--fields"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_NE(r.out.find("NAME        C     8   0"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("NOTE        M    10   0"), std::string::npos) << r.out;

  r = runQvcli({"dbf", dir.file("T.DBF"), "--records"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_NE(r.out.find("Alice's memo"), std::string::npos) << r.out;
  EXPECT_EQ(r.out.find("Bob"), std::string::npos) << r.out;

  r = runQvcli({"dbf", dir.file("T.DBF"), "--records", "--deleted"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_NE(r.out.find("Record 2 (deleted)"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("Bob's memo"), std::string::npos) << r.out;

  r = runQvcli({"dbf", dir.file("T.DBF"), "--check"});
  EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
  EXPECT_NE(r.out.find("no fault found"), std::string::npos);
}

TEST(QvcliDbf, CheckReportsEveryFaultAndExitsNonZero) {
  qvtest::TempDir dir;
  writeTable(dir.file("T.DBF"), dir.file("T.DBT"), 9);  // past the memo file
  std::string bytes = qvtest::readFile(dir.file("T.DBF"));
  qvtest::writeFile(dir.file("T.DBF"), bytes + "stray bytes");
  auto r = runQvcli({"dbf", dir.file("T.DBF"), "--check"});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_NE(r.err.find("points at block 9"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("header and records make"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("2 faults found"), std::string::npos) << r.err;

  std::remove(dir.file("T.DBT").c_str());
  r = runQvcli({"dbf", dir.file("T.DBF"), "--check"});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_NE(r.err.find("is missing"), std::string::npos) << r.err;

  qvtest::writeFile(dir.file("BAD.DBF"), "not a table at all, but long enough to have a header");
  r = runQvcli({"dbf", dir.file("BAD.DBF"), "--check"});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_NE(r.err.find("cannot be read"), std::string::npos) << r.err;
  r = runQvcli({"dbf", dir.file("BAD.DBF")});
  EXPECT_NE(r.exitCode, 0);
}

// A FoxPro table of a C(8) and an M(10) field with two records and its
// memo file (512-byte blocks); the second memo's block header gives
// `secondLength` bytes, of which the file holds 10.
void writeFptTable(const std::string& dbf, const std::string& fpt, uint32_t secondLength) {
  std::string h(32 * 3 + 1, '\0');
  h[0] = char(0xF5);
  h[1] = 100;
  h[2] = 1;
  h[3] = 2;
  h[4] = 2;
  h[8] = char(h.size());
  h[10] = 1 + 8 + 10;
  std::memcpy(&h[32], "NAME", 4);
  h[32 + 11] = 'C';
  h[32 + 16] = 8;
  std::memcpy(&h[64], "NOTE", 4);
  h[64 + 11] = 'M';
  h[64 + 16] = 10;
  h[96] = 0x0D;
  qvtest::writeFile(dbf, h + " Alice            1 Bob              2\x1a");
  auto be32 = [](uint32_t v) {
    std::string b(4, '\0');
    for (int i = 0; i < 4; ++i) b[size_t(i)] = char(uint8_t(v >> (24 - 8 * i)));
    return b;
  };
  std::string memo = be32(3) + be32(512);
  memo.resize(512, '\0');
  std::string a = be32(1) + be32(12) + "Alice's memo";
  a.resize(512, '\0');
  qvtest::writeFile(fpt, memo + a + be32(1) + be32(secondLength) + "Bob's memo");
}

TEST(QvcliDbf, CheckReadsEachMemoToItsEnd) {
  qvtest::TempDir dir;
  writeFptTable(dir.file("T.DBF"), dir.file("T.FPT"), 10);
  auto r = runQvcli({"dbf", dir.file("T.DBF"), "--check"});
  EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
  EXPECT_NE(r.out.find("no fault found"), std::string::npos) << r.out;
  // a length that runs past the end of the memo file
  writeFptTable(dir.file("T.DBF"), dir.file("T.FPT"), 5000);
  r = runQvcli({"dbf", dir.file("T.DBF"), "--check"});
  EXPECT_EQ(r.exitCode, 1) << r.out << r.err;
  EXPECT_NE(r.err.find("record 2 field NOTE: the memo at block 2 runs past the end of the memo file"),
            std::string::npos)
      << r.err;
  EXPECT_NE(r.err.find("1 fault found"), std::string::npos) << r.err;
}

// Fields whose lengths add up to more than the record length: the table is
// refused with the engine's message, by the check as by the listing.
TEST(QvcliDbf, FieldsRunningPastTheRecordAreAFault) {
  qvtest::TempDir dir;
  writeTable(dir.file("T.DBF"), dir.file("T.DBT"), 2);
  std::string bytes = qvtest::readFile(dir.file("T.DBF"));
  bytes[32 + 16] = 12;  // NAME C(8) becomes C(12); the records stay 20 bytes
  qvtest::writeFile(dir.file("T.DBF"), bytes);
  auto r = runQvcli({"dbf", dir.file("T.DBF"), "--check"});
  EXPECT_EQ(r.exitCode, 1) << r.out << r.err;
  EXPECT_NE(r.err.find("the table cannot be read: invalid record length"), std::string::npos) << r.err;
  r = runQvcli({"dbf", dir.file("T.DBF"), "--records"});
  EXPECT_NE(r.exitCode, 0);
  EXPECT_NE(r.err.find("invalid record length"), std::string::npos) << r.err;
}

}  // namespace
