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

}  // namespace
