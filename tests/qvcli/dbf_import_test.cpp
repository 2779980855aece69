// qvcli import over a reader's DBF store, run as a user runs it: a NavCIS
// HRECV.DBF with its memo file, written through the driver, imported into a
// forum and the mailbox; the same command again imports nothing.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "dictionary/dictionary.h"
#include "driver/file_block.h"
#include "services/fox_driver_host.h"
#include "qvcli_process.h"
#include "support/reader_stores.h"
#include "support/temp_dir.h"

namespace {

using qvtest::runQvcli;
using qvtest::StoreRecord;

StoreRecord navRecord(int internal, int number, int parent, const std::string& sender, const std::string& sendId) {
  return {{{"FORUM_NAME", internal ? "Photo Forum" : ""},
           {"INTERNAL", std::to_string(internal)},
           {"SEC_NUMBER", "3"},
           {"SEC_NAME", "Cameras"},
           {"SUBJECT", "Lens question\r\n"},
           {"SEND_ID", sendId + "\r\n"},
           {"SEND_NAME", sender},
           {"RECV_ID", "70000,1\r\n"},
           {"RECV_NAME", "Owner Person"},
           {"MSG_NUMBER", std::to_string(number)},
           {"MSG_PARENT", std::to_string(parent)},
           {"MSG_DATE", "05-Mar-97"},
           {"MSG_TIME", "10:15"},
           {"MSG_TEXT", "Text of " + std::to_string(number) + "\r\n"}}};
}

TEST(QvcliDbfImport, NavCisStoreImportsOnceIntoForumAndMailbox) {
  qvtest::TempDir dir;
  qv::registerFoxProDriver();
  std::vector<StoreRecord> rows = {navRecord(5, 1001, 0, "Ann Smith", "71234,567"),
                                   navRecord(5, 1002, 1001, "Bob Jones", "72345,678"),
                                   navRecord(0, 0, 0, "Carol", "INTERNET:carol@example.com")};
  rows.push_back(navRecord(5, 1003, 1001, "Gone Person", "79999,999"));
  rows.back().deleted = true;
  ASSERT_TRUE(qvtest::writeStoreTable(qv::HreStore, dir.file("HRECV.DBF"), rows)) << qv::ErrorText();
  std::string root = dir.file("root");
  auto r = runQvcli({"--root", root, "mailbox", "add", "--owner", "Owner Person", "--address", "70000,1"});
  ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
  std::vector<std::string> import = {"--root", root, "import", "--format", "NavCIS 1.7x-", dir.file("HRECV.DBF")};
  r = runQvcli(import);
  ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
  EXPECT_NE(r.out.find("Messages imported:   3"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("Result:              completed"), std::string::npos) << r.out;
  r = runQvcli({"--root", root, "show", "PHOTO FORUM"});
  EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
  EXPECT_NE(r.out.find("Lens question"), std::string::npos) << r.out;

  r = runQvcli(import);
  EXPECT_NE(r.out.find("Messages imported:   0"), std::string::npos) << r.out << r.err;
}

// A store whose field lengths run past its record length would read each
// field from the bytes of the next one (junk messages): the import refuses
// the file with the engine's message and takes nothing from it.
TEST(QvcliDbfImport, AStoreWhoseFieldsRunPastItsRecordsIsRefused) {
  qvtest::TempDir dir;
  qv::registerFoxProDriver();
  std::vector<StoreRecord> rows = {navRecord(5, 1001, 0, "Ann Smith", "71234,567"),
                                   navRecord(0, 0, 0, "Carol", "INTERNET:carol@example.com")};
  ASSERT_TRUE(qvtest::writeStoreTable(qv::HreStore, dir.file("HRECV.DBF"), rows)) << qv::ErrorText();
  std::string bytes = qvtest::readFile(dir.file("HRECV.DBF"));
  bytes[32 + 16] = char(uint8_t(bytes[32 + 16]) + 7);  // the first field grows; the records do not
  qvtest::writeFile(dir.file("HRECV.DBF"), bytes);
  std::string root = dir.file("root");
  auto r = runQvcli({"--root", root, "mailbox", "add", "--owner", "Owner Person", "--address", "70000,1"});
  ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
  r = runQvcli({"--root", root, "import", "--format", "NavCIS 1.7x-", dir.file("HRECV.DBF")});
  EXPECT_NE(r.exitCode, 0) << r.out << r.err;
  EXPECT_NE((r.out + r.err).find("invalid record length"), std::string::npos) << r.out << r.err;
  EXPECT_EQ(r.out.find("Messages imported:   1"), std::string::npos) << r.out;
  EXPECT_EQ(r.out.find("Messages imported:   2"), std::string::npos) << r.out;
}

}  // namespace
