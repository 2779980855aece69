// The driver "FoxPro" on whole files: create, copy, rename and remove take
// the table with its index and memo files, open or closed, in both dialects,
// and never replace a file that exists; failures of the open keep the
// engine's code and text, and a missing directory is a missing path.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "driver/file_block.h"
#include "services/fox_driver_host.h"
#include "support/temp_dir.h"

namespace {

namespace fs = std::filesystem;

struct Rec {
  qv::Str<10> NAME;
  qv::Str<8> CITY;
  std::string BODY;
};

const char* const kNameTag = "NAME|PEOPLE";
const char* const kCityKey = "CITYKEY";

struct People {
  Rec rec;
  qv::FileDecl decl{0, "People", "PEO", "FoxPro"};
  qv::File file{decl};
  People(const std::string& path, const std::string& driverString = {}) {
    qv::DeclBuilder<Rec> b(decl, rec);
    b.field("NAME", &Rec::NAME).field("CITY", &Rec::CITY).memo("BODY", &Rec::BODY, 4000);
    // a FoxBASE table has no compound index: its name key is a single one
    b.key(driverString.empty() ? kNameTag : "NAMEKEY", {{"NAME"}}, qv::KeyUnique);
    b.key(kCityKey, {{"CITY"}}, 0);
    decl.driverString = driverString;
    file.setName(path);
  }
  bool add(const char* name, const char* city, const char* body) {
    rec.NAME = name;
    rec.CITY = city;
    rec.BODY = body;
    return file.add();
  }
  // The names in the order of the city key, with their memos.
  std::vector<std::string> byCity() {
    std::vector<std::string> out;
    file.set(file.key(kCityKey));
    while (file.next()) out.push_back(rec.NAME.str() + ":" + rec.BODY);
    return out;
  }
  // Operation `op` (copy, rename, remove) with a name, on the file as it is.
  int operation(int op, const std::string& text = {}) {
    dbf::OpArgs a;
    a.text = text;
    return FOXPRO(op, dbf::fileBlockOf(file), &a);
  }
};

const std::vector<std::string> kByCity = {"Carol:memo of Carol", "Alice:memo of Alice", "Bob:memo of Bob"};

// A table made by the driver with three records, closed.
void makePeople(People& p) {
  ASSERT_TRUE(p.file.create()) << qv::ErrorText();
  ASSERT_TRUE(p.file.open(qv::Share::Exclusive)) << qv::ErrorText();
  ASSERT_TRUE(p.add("Alice", "Oslo", "memo of Alice")) << qv::ErrorText();
  ASSERT_TRUE(p.add("Bob", "Rome", "memo of Bob"));
  ASSERT_TRUE(p.add("Carol", "Bern", "memo of Carol"));
  p.file.close();
}

// The files of a directory, by name.
std::vector<std::string> filesIn(const std::string& dir) {
  std::vector<std::string> out;
  for (const auto& e : fs::directory_iterator(dir))
    if (e.is_regular_file()) out.push_back(e.path().filename().string());
  std::sort(out.begin(), out.end());
  return out;
}

class FileOperations : public ::testing::Test {
 protected:
  void SetUp() override { qv::registerFoxProDriver(); }
  qvtest::TempDir dir;
};

// Rename refuses a target that exists, as copy does: the table, or any of
// the files that would go with it (before, the other table was replaced).
TEST_F(FileOperations, RenameAndCopyReplaceNothing) {
  People p(dir.file("PEOPLE"));
  makePeople(p);
  qvtest::writeFile(dir.file("OTHER.DBF"), "another table");
  const std::vector<std::string> before = filesIn(dir.path());
  for (int op : {dbf::OpRename, dbf::OpCopy}) {
    EXPECT_EQ(p.operation(op, dir.file("OTHER")), dbf::LayerAccessDenied) << op;
    EXPECT_EQ(qvtest::readFile(dir.file("OTHER.DBF")), "another table");
    qvtest::writeFile(dir.file("THIRD.FPT"), "another memo file");
    EXPECT_EQ(p.operation(op, dir.file("THIRD")), dbf::LayerAccessDenied) << op;
    EXPECT_EQ(qvtest::readFile(dir.file("THIRD.FPT")), "another memo file");
    fs::remove(dir.file("THIRD.FPT"));
  }
  EXPECT_EQ(filesIn(dir.path()), before);
  ASSERT_TRUE(p.file.open(qv::Share::ReadOnly)) << qv::ErrorText();
  EXPECT_EQ(p.byCity(), kByCity);
}

// A closed table is renamed, copied and removed with its compound index,
// its memo file and its single index (which keeps its own name, beside the
// table); what is made opens and reads by key as the original did.
TEST_F(FileOperations, AClosedTableMovesWithItsIndexAndMemoFiles) {
  People p(dir.file("PEOPLE"));
  makePeople(p);
  fs::create_directory(dir.file("sub"));
  ASSERT_EQ(p.operation(dbf::OpRename, dir.file("MOVED")), 0) << dbf::fileBlockOf(p.file)->detail;
  EXPECT_EQ(filesIn(dir.path()), (std::vector<std::string>{"CITYKEY.IDX", "MOVED.CDX", "MOVED.DBF", "MOVED.FPT"}));
  People moved(dir.file("MOVED"));
  for (auto& k : moved.decl.keys)
    if (k.name == kNameTag) k.name = "NAME|MOVED";
  ASSERT_TRUE(moved.file.open(qv::Share::ReadOnly)) << qv::ErrorText();
  EXPECT_EQ(moved.byCity(), kByCity);
  moved.file.close();

  // into a directory: every file goes, the single index too
  ASSERT_EQ(moved.operation(dbf::OpRename, dir.file("sub")), 0) << dbf::fileBlockOf(moved.file)->detail;
  EXPECT_EQ(filesIn(dir.path()), std::vector<std::string>());
  EXPECT_EQ(filesIn(dir.file("sub")), (std::vector<std::string>{"CITYKEY.IDX", "MOVED.CDX", "MOVED.DBF", "MOVED.FPT"}));

  // copied back, the copy opens by itself; then removed with all its files
  moved.file.setName(dir.file("sub/MOVED"));
  ASSERT_EQ(moved.operation(dbf::OpCopy, dir.path()), 0) << dbf::fileBlockOf(moved.file)->detail;
  People copy(dir.file("MOVED"));
  for (auto& k : copy.decl.keys)
    if (k.name == kNameTag) k.name = "NAME|MOVED";
  ASSERT_TRUE(copy.file.open(qv::Share::Exclusive)) << qv::ErrorText();
  EXPECT_EQ(copy.byCity(), kByCity);
  ASSERT_TRUE(copy.add("Dave", "Athens", "memo of Dave"));
  copy.file.close();
  EXPECT_EQ(filesIn(dir.file("sub")).size(), 4u);
  ASSERT_EQ(copy.operation(dbf::OpRemove), 0) << dbf::fileBlockOf(copy.file)->detail;
  EXPECT_EQ(filesIn(dir.path()), std::vector<std::string>());

  // a copy beside the original cannot have an index file of its own name
  // (the two tables would share it): refused, nothing copied
  moved.file.setName(dir.file("sub/MOVED"));
  EXPECT_EQ(moved.operation(dbf::OpCopy, dir.file("sub/TWIN")), dbf::LayerAccessDenied);
  EXPECT_EQ(filesIn(dir.file("sub")).size(), 4u);
}

// A FoxBASE table keeps its memos in a .DBT file, which goes with it.
TEST_F(FileOperations, AFoxBaseTableTakesItsDbtFile) {
  People p(dir.file("PEOPLE"), "FOXBASE");
  makePeople(p);
  EXPECT_EQ(filesIn(dir.path()), (std::vector<std::string>{"CITYKEY.IDX", "NAMEKEY.IDX", "PEOPLE.DBF", "PEOPLE.DBT"}));
  fs::create_directory(dir.file("sub"));
  ASSERT_EQ(p.operation(dbf::OpCopy, dir.file("sub")), 0) << dbf::fileBlockOf(p.file)->detail;
  EXPECT_EQ(filesIn(dir.file("sub")), filesIn(dir.path()));
  ASSERT_EQ(p.operation(dbf::OpRename, dir.file("OLD")), 0) << dbf::fileBlockOf(p.file)->detail;
  EXPECT_EQ(filesIn(dir.path()), (std::vector<std::string>{"CITYKEY.IDX", "NAMEKEY.IDX", "OLD.DBF", "OLD.DBT"}));
  People copy(dir.file("sub/PEOPLE"), "FOXBASE");
  ASSERT_TRUE(copy.file.open(qv::Share::ReadOnly)) << qv::ErrorText();
  EXPECT_EQ(copy.byCity(), kByCity);
  copy.file.close();
  ASSERT_EQ(copy.operation(dbf::OpRemove), 0) << dbf::fileBlockOf(copy.file)->detail;
  EXPECT_EQ(filesIn(dir.file("sub")), std::vector<std::string>());
}

// Create never replaces a file that exists (the table, its records and its
// memos stay); a name in a directory that does not exist is "path not
// found", for open and create alike.
TEST_F(FileOperations, CreateRefusesAnExistingFileAndAMissingDirectoryIsAMissingPath) {
  People p(dir.file("PEOPLE"));
  makePeople(p);
  const std::string table = qvtest::readFile(dir.file("PEOPLE.DBF"));
  EXPECT_FALSE(p.file.create());
  EXPECT_EQ(qv::ErrorCode(), qv::ErrAccessDenied);
  EXPECT_NE(qv::ErrorText().find("access to file denied"), std::string::npos) << qv::ErrorText();
  EXPECT_EQ(qvtest::readFile(dir.file("PEOPLE.DBF")), table);
  ASSERT_TRUE(p.file.open(qv::Share::ReadOnly));
  EXPECT_EQ(p.byCity(), kByCity);
  p.file.close();

  People lost(dir.file("no/such/dir/PEOPLE"));
  EXPECT_FALSE(lost.file.open(qv::Share::ReadOnly));
  EXPECT_EQ(qv::ErrorCode(), qv::ErrPathNotFound);
  EXPECT_NE(qv::ErrorText().find("path not found"), std::string::npos) << qv::ErrorText();
  EXPECT_FALSE(lost.file.create());
  EXPECT_EQ(qv::ErrorCode(), qv::ErrPathNotFound);
  People missing(dir.file("NONE"));
  EXPECT_FALSE(missing.file.open(qv::Share::ReadOnly));
  EXPECT_EQ(qv::ErrorCode(), qv::ErrFileNotFound);
}

// An index or memo file that cannot be opened fails the open with the
// engine's code and text, not just the file layer's number.
TEST_F(FileOperations, IndexAndMemoOpenFailuresKeepTheEngineCodeAndText) {
  People p(dir.file("PEOPLE"));
  makePeople(p);
  const std::string memo = qvtest::readFile(dir.file("PEOPLE.FPT"));
  std::string bad = memo;
  bad[4] = bad[5] = bad[6] = bad[7] = '\0';  // block size 0
  qvtest::writeFile(dir.file("PEOPLE.FPT"), bad);
  EXPECT_FALSE(p.file.open(qv::Share::ReadOnly));
  EXPECT_NE(qv::ErrorText().find("xBase error -249"), std::string::npos) << qv::ErrorText();
  EXPECT_NE(qv::ErrorText().find("invalid page size in blocks"), std::string::npos) << qv::ErrorText();
  qvtest::writeFile(dir.file("PEOPLE.FPT"), memo);

  std::string index = qvtest::readFile(dir.file("CITYKEY.IDX"));
  qvtest::writeFile(dir.file("CITYKEY.IDX"), index.substr(0, 100));
  EXPECT_FALSE(p.file.open(qv::Share::ReadOnly));
  EXPECT_NE(qv::ErrorText().find("xBase error -"), std::string::npos) << qv::ErrorText();
  qvtest::writeFile(dir.file("CITYKEY.IDX"), index);
  EXPECT_TRUE(p.file.open(qv::Share::ReadOnly)) << qv::ErrorText();
}

}  // namespace
