// qvcli dbf on tables with a compound index: the tags with their keys, the
// records in a tag's order, and --check finding an index that lacks records.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>

#include "driver/file_block.h"
#include "services/fox_driver_host.h"
#include "qvcli_process.h"
#include "support/temp_dir.h"

namespace {

std::string corpus(const std::string& rel) {
  std::string dir = qvtest::corpusDir();
  std::string path = dir.empty() ? "" : dir + "/dbf/" + rel;
  return !path.empty() && std::filesystem::exists(path) ? path : "";
}

TEST(QvcliDbfTags, TagsAndRecordsInATagsOrder) {
  std::string contacts = corpus("infused-dbf/foxprodb/contacts.dbf");
  if (contacts.empty()) GTEST_SKIP() << "corpus absent";
  auto r = qvtest::runQvcli({"dbf", contacts, "--tags"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_NE(r.out.find("Tags: 2"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("TYPE_ID    keys 5, key length 4"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("key: contact_type_id"), std::string::npos) << r.out;

  r = qvtest::runQvcli({"dbf", contacts, "--records", "--tag", "TYPE_ID"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  std::vector<std::size_t> at;
  for (const char* rec : {"Record 2\n", "Record 4\n", "Record 5\n", "Record 1\n", "Record 3\n"}) {
    at.push_back(r.out.find(rec));
    ASSERT_NE(at.back(), std::string::npos) << rec << r.out;
  }
  EXPECT_TRUE(std::is_sorted(at.begin(), at.end())) << r.out;

  r = qvtest::runQvcli({"dbf", contacts, "--records", "--tag", "NOSUCH"});
  EXPECT_NE(r.exitCode, 0);
  r = qvtest::runQvcli({"dbf", contacts, "--tag", "TYPE_ID"});
  EXPECT_NE(r.exitCode, 0) << "--tag goes with --records";
}

TEST(QvcliDbfTags, CheckComparesEveryTagWithTheRecords) {
  std::string setup = corpus("infused-dbf/foxprodb/setup.dbf");
  std::string stale = corpus("php-xbase/foxpro/issue115.dbf");
  if (setup.empty() || stale.empty()) GTEST_SKIP() << "corpus absent";
  auto r = qvtest::runQvcli({"dbf", setup, "--check"});
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_NE(r.out.find("no fault found"), std::string::npos) << r.out;
  // This table gained eight records from a writer that left its index as it was.
  r = qvtest::runQvcli({"dbf", stale, "--check"});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_NE(r.err.find("issue115.cdx tag COD: record 9 has no entry"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("16 faults found"), std::string::npos) << r.err;
}

// A tag whose filter holds the exact equality "==", as other writers make
// them: --check compares it like any other tag (before, the filter did not
// compile and the check failed on a sound index).
TEST(QvcliDbfTags, AFilterWithTheExactEqualityIsChecked) {
  qvtest::TempDir dir;
  qv::registerFoxProDriver();
  struct Rec {
    qv::Str<10> FACILITY;
  } rec;
  qv::FileDecl decl{0, "Rooms", "ROO", "FoxPro"};
  // ">=" and "==" are as long: the filter is made with the one and given the other
  qv::DeclBuilder<Rec>(decl, rec)
      .field("FACILITY", &Rec::FACILITY)
      .key("AUDIO|ROOMS=C[FACILITY],FOR[TRIM(UPPER(facility))>=\"AUDIO\"]", {{"FACILITY"}}, 0);
  qv::File f(decl);
  f.setName(dir.file("ROOMS"));
  ASSERT_TRUE(f.create()) << qv::ErrorText();
  ASSERT_TRUE(f.open(qv::Share::Exclusive)) << qv::ErrorText();
  for (const char* facility : {"Audio", "ABC", "audio  ", "Aaa"}) {
    rec.FACILITY = facility;
    ASSERT_TRUE(f.add()) << qv::ErrorText();
  }
  f.close();
  std::string cdx = qvtest::readFile(dir.file("ROOMS.CDX"));
  size_t at = cdx.find(">=\"AUDIO\"");
  ASSERT_NE(at, std::string::npos);
  cdx.replace(at, 2, "==");
  qvtest::writeFile(dir.file("ROOMS.CDX"), cdx);

  auto r = qvtest::runQvcli({"dbf", dir.file("ROOMS.DBF"), "--tags"});
  EXPECT_NE(r.out.find("for: TRIM(UPPER(FACILITY))==\"AUDIO\""), std::string::npos) << r.out;
  r = qvtest::runQvcli({"dbf", dir.file("ROOMS.DBF"), "--check"});
  EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
  EXPECT_NE(r.out.find("no fault found"), std::string::npos) << r.out;
}

}  // namespace
