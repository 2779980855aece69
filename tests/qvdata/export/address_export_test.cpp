// Address books: the bytes of every format's entries, the 10000-byte
// buffer, the run over a database (order, skipped persons, refused names,
// an older file kept whole when a run fails or is cancelled), the format
// remembered per kind, and the files read back by independent readers
// (Python's email.utils and the vobject vCard parser,
// tests/scripts/address_book_view.py).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <map>

#include "export/address_entries.h"
#include "export/address_export.h"
#include "dictionary/dictionary.h"
#include "dictionary/file_numbers.h"
#include "services/db_kind.h"
#include "services/file_service.h"
#include "services/globals.h"
#include "services/settings.h"
#include "services/settings_items.h"
#include "support/browse_records.h"
#include "support/services_fixture.h"
#include "support/temp_dir.h"

namespace fs = std::filesystem;
using namespace qv;

namespace {

const PersonText kJohn{"Smith", "John", "12345,678"};
const PersonText kAnn{"", "Ann", "ann@example.com"};

using qvtest::readFile;
using qvtest::writeFile;

TEST(AddressEntries, TapcisLineOfACompuServeMember) {
  EXPECT_EQ(addressEntry(AddressTapcis, kJohn), "John Smith 12345,678|\r\n");
}

TEST(AddressEntries, InternetFormatsWriteTheNumberAsItsInternetAddress) {
  EXPECT_EQ(addressEntry(AddressUnix, kJohn), "\"John Smith\" <12345.678@compuserve.com>\r\n");
  EXPECT_EQ(addressEntry(AddressEudora, kJohn), "alias \"John Smith\" <12345.678@compuserve.com>\r\n");
  EXPECT_EQ(addressBookInternet("76543.21"), "76543.21@compuserve.com");
  // What is neither a number nor an Internet address is not made one.
  EXPECT_EQ(addressBookInternet("1,2,3"), "1,2,3");
  EXPECT_EQ(addressBookInternet("ann at example.org"), "ann at example.org");
  EXPECT_EQ(addressBookInternet("ann@example.com"), "ann@example.com");
}

TEST(AddressEntries, OzWinBinaryEntryOfAnInternetAddress) {
  std::string address = "INTERNET:ann@example.com";
  std::string want;
  want += char(3);
  want += "Ann";
  want += char(address.size());
  want += address;
  want += std::string(2, '\0');
  std::string got = addressEntry(AddressOzWin, kAnn);
  EXPECT_EQ(got, want);
  EXPECT_EQ(got.size(), 3 + address.size() + 4);
  EXPECT_EQ(uint8_t(got[4]), 24);
}

TEST(AddressEntries, NameVariants) {
  PersonText both{"Smith", "John", "12345,678"}, lastOnly{"Smith", "", "12345,678"}, firstOnly{"", "John", "12345,678"},
      none{"", "", "12345,678"};
  EXPECT_EQ(addressEntry(AddressTapcis, lastOnly), "Smith 12345,678|\r\n");
  EXPECT_EQ(addressEntry(AddressTapcis, firstOnly), "John 12345,678|\r\n");
  EXPECT_EQ(addressEntry(AddressTapcis, none), " 12345,678|\r\n");
  EXPECT_EQ(addressEntry(AddressOzWin, none), std::string("\0\x09" "12345,678\0\0", 13));
  EXPECT_EQ(addressEntry(AddressUnix, lastOnly), "Smith <12345.678@compuserve.com>\r\n");
  // Without a last name the Internet formats write the address alone.
  EXPECT_EQ(addressEntry(AddressUnix, firstOnly), "12345.678@compuserve.com\r\n");
  EXPECT_EQ(addressEntry(AddressEudora, none), "alias 12345.678@compuserve.com\r\n");
  EXPECT_EQ(addressEntry(AddressVcard, lastOnly),
            "BEGIN:VCARD\r\nVERSION:4.0\r\nFN:Smith\r\nN:Smith;;;;\r\nEMAIL:12345.678@compuserve.com\r\nEND:VCARD\r\n");
  // A card always has a formatted name: the address without a name.
  EXPECT_NE(addressEntry(AddressVcard, none).find("\r\nFN:12345.678@compuserve.com\r\n"), std::string::npos);
  EXPECT_EQ(addressEntry(AddressOzWin, both), std::string("\x0aJohn Smith\x09" "12345,678\0\0", 23));
}

TEST(AddressEntries, PersonWithoutAddressIsLeftOut) {
  for (const AddressFormatInfo& f : addressFormats()) EXPECT_EQ(addressEntry(f.code, {"Smith", "John", ""}), "") << f.name;
}

TEST(AddressEntries, NamesThatNeedQuotingAreQuoted) {
  EXPECT_EQ(addressEntry(AddressUnix, {"Smith, Jr.", "", "a@b.org"}), "\"Smith, Jr.\" <a@b.org>\r\n");
  EXPECT_EQ(addressEntry(AddressUnix, {"Sm\"i\\th", "Jo", "a@b.org"}), "\"Jo Sm\\\"i\\\\th\" <a@b.org>\r\n");
  // A line end in a name cannot break the line.
  EXPECT_EQ(addressEntry(AddressTapcis, {"Sm\r\nith", "", "1,2"}), "Sm  ith 1,2|\r\n");
}

TEST(AddressEntries, VcardEscapesAndFolds) {
  EXPECT_EQ(vcardEscape("a,b;c\\d\r\ne"), "a\\,b\\;c\\\\d\\ne");
  std::string value;
  for (int i = 0; i < 40; ++i) value += "\xC3\xA9";  // 80 octets of two-octet characters
  std::string line = vcardLine("FN:" + value);
  std::string unfolded;
  size_t start = 0;
  while (start < line.size()) {
    size_t end = line.find("\r\n", start);
    ASSERT_NE(end, std::string::npos);
    std::string physical = line.substr(start, end - start);
    EXPECT_LE(physical.size(), 75u);
    if (start > 0) {
      ASSERT_EQ(physical[0], ' ');
      physical.erase(0, 1);
      // A fold never starts in the middle of a character.
      EXPECT_NE(uint8_t(physical[0]) & 0xC0, 0x80);
    }
    unfolded += physical;
    start = end + 2;
  }
  EXPECT_EQ(unfolded, "FN:" + value);
  EXPECT_EQ(vcardLine("VERSION:4.0"), "VERSION:4.0\r\n");
}

// ---- the buffer ----

TEST(AddressBufferTest, EntriesGoOutWholeInWritesOfAtMostTheBufferSize) {
  std::vector<std::string> writes;
  AddressBuffer b([&](std::string_view s) {
    writes.emplace_back(s);
    return true;
  });
  // 99 entries of 100 bytes, one of 99 that fills the buffer exactly, one of 2 that does not fit.
  std::string all;
  for (int i = 0; i < 99; ++i) {
    std::string e(100, char('a' + i % 26));
    all += e;
    ASSERT_TRUE(b.add(e));
  }
  std::string fill(100 - 1, 'F'), next = "NN";
  ASSERT_TRUE(b.add(fill));
  EXPECT_TRUE(writes.empty()) << "9999 bytes fit";
  ASSERT_TRUE(b.add(next));
  ASSERT_EQ(writes.size(), 1u);
  EXPECT_EQ(writes[0], all + fill);
  // An entry larger than the buffer follows the bytes before it unchanged.
  std::string huge(kAddressBufferSize + 5, 'H');
  ASSERT_TRUE(b.add(huge));
  ASSERT_TRUE(b.add("tail"));
  ASSERT_TRUE(b.flush());
  ASSERT_EQ(writes.size(), 4u);
  EXPECT_EQ(writes[1], next);
  EXPECT_EQ(writes[2], huge);
  EXPECT_EQ(writes[3], "tail");
  EXPECT_TRUE(b.flush()) << "nothing left to write";
  EXPECT_EQ(writes.size(), 4u);
}

TEST(AddressBufferTest, AFailedWriteIsReported) {
  AddressBuffer b([](std::string_view) { return false; });
  EXPECT_TRUE(b.add("x"));
  EXPECT_FALSE(b.flush());
  EXPECT_FALSE(b.add("y"));
}

// ---- runs over a database ----

class AddressRunTest : public qvtest::InstallationTest {
 protected:
  uint32_t database(int kind) {
    std::string name = kind == KindMailDb ? "Owen Owner" : "Address Test " + std::to_string(++databases);
    uint32_t id = qvtest::makeBrowseDatabase(kind, name);
    EXPECT_NE(id, 0u);
    return id;
  }
  int databases = 0;

  // Adds `count` persons in one stream: person i as `make` fills it in.
  static bool addPersons(int count, const std::function<void(int, PersonRec&)>& make) {
    OP_CLOSE(OpShared, {FilePerson});
    bool ok = Person.stream();
    for (int i = 0; ok && i < count; ++i) {
      PER = PersonRec();
      make(i, PER);
      ok = Person.add();
    }
    ok = Person.flush() && ok;
    OP_CLOSE(OpRelease, {FilePerson});
    return ok;
  }

  int run(int format, const std::string& name) {
    AddressRun r(format, name);
    while (r.step()) {
    }
    last = r.view();
    lastPath = r.path();
    lastFailure = r.failure();
    return r.result();
  }

  AddressView last;
  std::string lastPath, lastFailure;
};

TEST_F(AddressRunTest, PersonsAreWrittenByNameWithoutAddresslessOnes) {
  database(KindForumDb);
  ASSERT_TRUE(qvtest::addPerson(300001, "Zoe", "Young", 1, 0, "33333,444"));
  ASSERT_TRUE(qvtest::addPerson(300002, "John", "Smith", 1, 0, "12345,678"));
  ASSERT_TRUE(qvtest::addPerson(300003, "Ann", "", 1, 0, "ann@example.com"));
  ASSERT_TRUE(qvtest::addPerson(300004, "No", "Address", 1, 0, ""));
  ASSERT_EQ(run(AddressTapcis, ""), AddressDone) << lastFailure;
  EXPECT_EQ(fs::path(lastPath).filename(), "Address.Txt");
  EXPECT_EQ(fs::path(lastPath).parent_path(), fs::path(Mem.TempDir));
  EXPECT_EQ(readFile(lastPath), "Ann INTERNET:ann@example.com|\r\n"
                                "John Smith 12345,678|\r\n"
                                "Zoe Young 33333,444|\r\n");
  // Ann has no last name, so she sorts first, named by her first name.
  EXPECT_EQ(last.persons, 4);
  EXPECT_EQ(last.written, 3);
  EXPECT_EQ(last.skipped, 1);
  ASSERT_EQ(run(AddressOzWin, ""), AddressDone) << lastFailure;
  EXPECT_EQ(fs::path(lastPath).filename(), "Address.Ab");
  EXPECT_EQ(readFile(lastPath), addressEntry(AddressOzWin, {"", "Ann", "ann@example.com"}) +
                                    addressEntry(AddressOzWin, kJohn) +
                                    addressEntry(AddressOzWin, {"Young", "Zoe", "33333,444"}));
}

TEST_F(AddressRunTest, ManyPersonsCrossTheBufferUnchanged) {
  database(KindMailDb);
  std::map<std::string, std::string> byName;
  ASSERT_TRUE(addPersons(1200, [&](int i, PersonRec& p) {
    char lastName[16];
    std::snprintf(lastName, sizeof lastName, "Name%04d", i);
    std::string address = "person" + std::to_string(i) + "@example.com";
    p.PERSONID = 400000 + uint32_t(i);
    p.PERSONSTRING = std::string("First ") + lastName;
    p.FIRSTNAME = "First";
    p.LASTNAME = lastName;
    p.ADDRESS = address;
    byName[lastName] = addressEntry(AddressEudora, {lastName, "First", address});
  }));
  int64_t progressCalls = 0;
  AddressRun r(AddressEudora, "book.txt");
  r.onProgress([&](const AddressView&) { ++progressCalls; });
  while (r.step()) {
  }
  ASSERT_EQ(r.result(), AddressDone) << r.failure();
  std::string want;
  for (auto& [name, entry] : byName) want += entry;
  std::string got = readFile(r.path());
  std::string owner = addressEntry(AddressEudora, {"Owner", "Owen", "owner@example.org"});
  size_t at = got.find(owner);
  ASSERT_NE(at, std::string::npos) << "the mailbox owner is a person of the database";
  got.erase(at, owner.size());
  EXPECT_GT(got.size(), 3 * kAddressBufferSize);
  EXPECT_EQ(got, want);
  EXPECT_GE(progressCalls, 3);
}

TEST_F(AddressRunTest, NoPersonsGivesNoFile) {
  database(KindForumDb);
  EXPECT_EQ(run(AddressTapcis, ""), AddressNoPersons);
  EXPECT_FALSE(fs::exists(lastPath));
}

TEST_F(AddressRunTest, NamesWithAPathOrOfTheArchiveAreRefused) {
  database(KindForumDb);
  ASSERT_TRUE(qvtest::addPerson(300002, "John", "Smith", 1, 0, "12345,678"));
  for (const char* name : {"sub/book.txt", "C:\\TEMP\\book.txt", "../book.txt"}) {
    EXPECT_EQ(run(AddressTapcis, name), AddressFailed) << name;
    EXPECT_EQ(lastFailure, "Do not include the path, just the filename!") << name;
  }
  EXPECT_EQ(run(AddressTapcis, "IDX005.ADF"), AddressFailed);
  EXPECT_NE(lastFailure.find("belongs to the archive"), std::string::npos) << lastFailure;
  EXPECT_EQ(run(AddressTapcis, std::string(41, 'a')), AddressFailed);
  EXPECT_EQ(run(AddressTapcis, std::string(40, 'a')), AddressDone) << lastFailure;
}

TEST_F(AddressRunTest, FormatsNotOfferedForTheKindAreRefused) {
  database(KindForumDb);
  ASSERT_TRUE(qvtest::addPerson(300002, "John", "Smith", 1, 0, "12345,678"));
  EXPECT_EQ(run(AddressEudora, ""), AddressFailed);
  EXPECT_EQ(run(AddressUnix, ""), AddressFailed);
  EXPECT_EQ(run(9, ""), AddressFailed);
  EXPECT_EQ(run(AddressVcard, ""), AddressDone) << lastFailure;
  database(KindNewsDb);
  ASSERT_TRUE(qvtest::addPerson(300005, "John", "Smith", 1, 0, "js@example.com"));
  EXPECT_EQ(run(AddressTapcis, ""), AddressFailed);
  EXPECT_EQ(run(AddressOzWin, ""), AddressFailed);
  EXPECT_EQ(run(AddressUnix, ""), AddressDone) << lastFailure;
  EXPECT_EQ(run(AddressVcard, ""), AddressDone) << lastFailure;
}

TEST_F(AddressRunTest, AnOlderFileStaysWholeWhenARunIsCancelledOrFails) {
  database(KindForumDb);
  ASSERT_TRUE(addPersons(1200, [](int i, PersonRec& p) {
    p.PERSONID = 500000 + uint32_t(i);
    p.PERSONSTRING = "F L" + std::to_string(i);
    p.FIRSTNAME = "F";
    p.LASTNAME = "L" + std::to_string(i);
    p.ADDRESS = std::to_string(i) + ",1";
  }));
  std::string path = joinPath({Mem.TempDir, "Address.Txt"});
  fs::create_directories(Mem.TempDir);
  writeFile(path, "older book\r\n");
  std::string part = joinPath({Mem.TempDir, ".~Address.Txt.part"});
  {
    AddressRun r(AddressTapcis, "");
    ASSERT_TRUE(r.step());
    EXPECT_TRUE(fs::exists(part));
    r.cancel();
    EXPECT_EQ(r.result(), AddressCancelled);
  }
  EXPECT_EQ(readFile(path), "older book\r\n");
  EXPECT_FALSE(fs::exists(part));

  // The name is taken by a directory while the run goes: the rename fails,
  // the run says so and leaves nothing behind.
  std::string other = joinPath({Mem.TempDir, "Taken.Txt"});
  AddressRun r(AddressTapcis, "Taken.Txt");
  ASSERT_TRUE(r.step());
  fs::create_directories(other + "/inside");
  while (r.step()) {
  }
  EXPECT_EQ(r.result(), AddressFailed);
  EXPECT_NE(r.failure().find("could not be written"), std::string::npos) << r.failure();
  EXPECT_TRUE(fs::is_directory(other + "/inside"));
  EXPECT_FALSE(fs::exists(joinPath({Mem.TempDir, ".~Taken.Txt.part"})));
}

TEST_F(AddressRunTest, APartLeftByAKilledRunIsClearedByTheNextRun) {
  database(KindForumDb);
  ASSERT_TRUE(qvtest::addPerson(300002, "John", "Smith", 1, 0, "12345,678"));
  fs::create_directories(Mem.TempDir);
  std::string part = joinPath({Mem.TempDir, ".~Address.Txt.part"});
  writeFile(part, "half a book from a killed run");
  ASSERT_EQ(run(AddressTapcis, ""), AddressDone) << lastFailure;
  EXPECT_EQ(readFile(lastPath), "John Smith 12345,678|\r\n");
  EXPECT_FALSE(fs::exists(part));
  EXPECT_EQ(fs::status(lastPath).permissions() & fs::perms::all, fs::perms::owner_read | fs::perms::owner_write);
}

TEST_F(AddressRunTest, TheChoiceIsRememberedPerKind) {
  EXPECT_EQ(rememberedAddressFormat(KindForumDb), AddressTapcis);
  EXPECT_EQ(rememberedAddressFormat(KindMailDb), AddressTapcis);
  EXPECT_EQ(rememberedAddressFormat(KindNewsDb), AddressUnix);
  // The message export's originals layout is no address-book format.
  KonfigSet(ItemExportLayoutMail, 5);
  KonfigSet(ItemExportLayoutNews, 5);
  EXPECT_EQ(rememberedAddressFormat(KindMailDb), AddressTapcis);
  rememberAddressFormat(KindMailDb, AddressVcard);
  EXPECT_EQ(rememberedAddressFormat(KindMailDb), AddressVcard);
  EXPECT_EQ(KonfigGet(ItemExportLayoutMail), 5) << "vCard is no export layout";
  EXPECT_EQ(rememberedAddressFormat(KindForumDb), AddressTapcis);
  rememberAddressFormat(KindMailDb, AddressEudora);
  EXPECT_EQ(rememberedAddressFormat(KindMailDb), AddressEudora);
  EXPECT_EQ(KonfigGet(ItemExportLayoutMail), AddressEudora);
  rememberAddressFormat(KindForumDb, AddressOzWin);
  EXPECT_EQ(rememberedAddressFormat(KindForumDb), AddressOzWin);
  rememberAddressFormat(KindNewsDb, AddressUnix);
  EXPECT_EQ(KonfigGet(ItemExportLayoutNews), 5) << "the newsgroup export keeps its originals";
  rememberAddressFormat(KindNewsDb, AddressVcard);
  EXPECT_EQ(rememberedAddressFormat(KindNewsDb), AddressVcard);
  // Kept in the control file.
  ASSERT_TRUE(Konfig(KLoadDisplay));
  EXPECT_EQ(rememberedAddressFormat(KindNewsDb), AddressVcard);
  EXPECT_EQ(rememberedAddressFormat(KindForumDb), AddressOzWin);
  EXPECT_EQ(rememberedAddressFormat(KindMailDb), AddressEudora);
}

// ---- read back by independent readers ----

std::string scriptPath() { return std::string(QV_TEST_SCRIPTS) + "/address_book_view.py"; }

// A python3 that has the modules, or "".
std::string pythonWith(const std::string& modules) {
  for (const char* py : {"python3", "/usr/bin/python3"}) {
    std::string cmd = std::string(py) + " -c 'import " + modules + "' >/dev/null 2>&1";
    if (std::system(cmd.c_str()) == 0) return py;
  }
  return {};
}

std::string readBack(const std::string& python, const std::string& mode, const std::string& file, int& rc) {
  std::string cmd = python + " '" + scriptPath() + "' " + mode + " '" + file + "' 2>&1";
  std::string out;
  FILE* p = popen(cmd.c_str(), "r");
  if (!p) {
    rc = -1;
    return {};
  }
  char buf[4096];
  size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
  int status = pclose(p);
  rc = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return out;
}

struct Reader {
  std::string last, first, address;
};

const std::vector<Reader> kPeople = {
    {"Smith", "John", "12345,678"},
    {"Smith, Jr.", "Bob", "bob@example.com"},
    {"O'Brien", "", "76543,210"},
    {"Qu\"ote\\d", "Al", "al@example.com"},
    {"Ångström", "Anders", "anders@example.se"},
    {"Semi;Colon", "Cé", "cc@example.com"},
    {"Averyveryverylongsurname", "Maximilianus Bartholomew", "maximilianus.bartholomew@example.com"},
};

class AddressReadBack : public AddressRunTest {
 protected:
  void fill(int kind) {
    database(kind);
    uint32_t id = 600000;
    for (const Reader& r : kPeople) ASSERT_TRUE(qvtest::addPerson(id++, r.first, r.last, 1, 0, r.address));
  }
  // What a reader should find, sorted: "name<TAB>address" lines, for vCards
  // also the family and given names.
  static std::string expected(bool vcard, bool withOwner) {
    std::vector<std::string> rows;
    for (const Reader& r : kPeople) {
      std::string row = (r.first.empty() ? r.last : r.first + " " + r.last) + "\t" + addressBookInternet(r.address);
      rows.push_back(vcard ? row + "\t" + r.last + "\t" + r.first : row);
    }
    if (withOwner) rows.push_back("Owen Owner\towner@example.org");
    std::sort(rows.begin(), rows.end());
    std::string out;
    for (const std::string& row : rows) out += row + "\n";
    return out;
  }
};

TEST_F(AddressReadBack, Rfc822AndEudoraFilesThroughEmailUtils) {
  std::string py = pythonWith("email.utils");
  if (py.empty()) GTEST_SKIP() << "python3 is absent";
  fill(KindMailDb);
  for (auto [format, mode] : {std::pair{AddressUnix, "rfc822"}, std::pair{AddressEudora, "eudora"}}) {
    SCOPED_TRACE(mode);
    ASSERT_EQ(run(format, std::string(mode) + ".txt"), AddressDone) << lastFailure;
    int rc = 0;
    std::string out = readBack(py, mode, lastPath, rc);
    EXPECT_EQ(rc, 0) << out;
    EXPECT_EQ(out, expected(false, true));
  }
}

TEST_F(AddressReadBack, VcardFileThroughVobject) {
  std::string py = pythonWith("vobject");
  if (py.empty()) GTEST_SKIP() << "python3-vobject is absent";
  fill(KindForumDb);
  ASSERT_EQ(run(AddressVcard, ""), AddressDone) << lastFailure;
  EXPECT_EQ(fs::path(lastPath).filename(), "Address.vcf");
  int rc = 0;
  std::string out = readBack(py, "vcard", lastPath, rc);
  EXPECT_EQ(rc, 0) << out;
  EXPECT_EQ(out, expected(true, false));
}

}  // namespace
