// qvcli dbf on tables with a compound index: the tags with their keys, the
// records in a tag's order, and --check finding an index that lacks records.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>

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

}  // namespace
