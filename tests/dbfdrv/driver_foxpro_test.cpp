// The driver "FoxPro" in the keyed-file layer: declared fields mapped by
// position, conversions, deleted records, options, errors and the
// dispatcher's operation codes.
#include <gtest/gtest.h>

#include <filesystem>

#include <cstring>
#include <filesystem>

#include "driver/file_block.h"
#include "services/fox_driver_host.h"
#include "services/datetime.h"
#include "support/temp_dir.h"
#include "table_dump.h"

namespace {

struct PeopleRec {
  qv::Str<10> NAME;
  double PRICE = 0;
  int32_t BORN = 0;  // day number
  uint8_t ACTIVE = 0;
  qv::Str<8> CITY;
};

struct People {
  PeopleRec rec;
  qv::FileDecl decl{0, "People", "PEO", "FoxPro"};
  qv::File file{decl};
  explicit People(const std::string& path, const std::string& driverString = {}) {
    qv::DeclBuilder<PeopleRec> b(decl, rec);
    b.field("NAME", &PeopleRec::NAME)
        .field("PRICE", &PeopleRec::PRICE)
        .field("BORN", &PeopleRec::BORN)
        .field("ACTIVE", &PeopleRec::ACTIVE)
        .field("CITY", &PeopleRec::CITY)
        .oem();
    decl.driverString = driverString;
    file.setName(path);
  }
  bool add(const char* name, double price, int32_t born, uint8_t active, const char* city = "") {
    rec.NAME = name;
    rec.PRICE = price;
    rec.BORN = born;
    rec.ACTIVE = active;
    rec.CITY = city;
    return file.add();
  }
};

class FoxProDriver : public ::testing::Test {
 protected:
  void SetUp() override { qv::registerFoxProDriver(); }
  qvtest::TempDir dir;
};

TEST_F(FoxProDriver, CreateAddAndReadBackInRecordOrder) {
  People p(dir.file("PEOPLE"));
  ASSERT_TRUE(p.file.create()) << qv::ErrorText();
  ASSERT_TRUE(p.file.open(qv::Share::Exclusive)) << qv::ErrorText();
  int32_t born = qv::dateFromYMD(1987, 3, 1);
  ASSERT_TRUE(p.add("Alice", 12.5, born, 'T')) << qv::ErrorText();
  ASSERT_TRUE(p.add("Bob", 0, 0, 'F'));
  EXPECT_EQ(p.file.records(), 2);
  p.file.close();

  std::string bytes = qvtest::readFile(dir.file("PEOPLE.DBF"));
  // NAME C10, PRICE N9.2, BORN D8, ACTIVE L1, CITY C8
  std::string first = bytes.substr(32 * 6 + 1, 37);
  EXPECT_EQ(first.substr(0, 11), " Alice     ");
  EXPECT_EQ(first.substr(11, 9), "    12.50");
  EXPECT_EQ(first.substr(20, 8), "19870301");
  EXPECT_EQ(first.substr(28, 1), "T");
  EXPECT_EQ(bytes.substr(32 * 6 + 1 + 37 + 20, 8), "        ");  // no date: blanks
  EXPECT_EQ(uint8_t(bytes.back()), 0x1A);

  ASSERT_TRUE(p.file.open(qv::Share::ReadOnly));
  p.file.setFileOrder();
  ASSERT_TRUE(p.file.next()) << qv::ErrorText();
  EXPECT_EQ(p.rec.NAME.str(), "Alice");
  EXPECT_DOUBLE_EQ(p.rec.PRICE, 12.5);
  EXPECT_EQ(p.rec.BORN, born);
  EXPECT_EQ(p.rec.ACTIVE, 'T');
  ASSERT_TRUE(p.file.next());
  EXPECT_EQ(p.rec.NAME.str(), "Bob");
  EXPECT_EQ(p.rec.BORN, 0);
  EXPECT_FALSE(p.file.next());
  EXPECT_EQ(qv::ErrorCode(), qv::ErrNotAvailable);
  // backwards from the end of the order
  p.file.setFileOrder();
  ASSERT_TRUE(p.file.previous());
  EXPECT_EQ(p.rec.NAME.str(), "Bob");
}

TEST_F(FoxProDriver, DeletedRecordsAreSkippedUnlessIgnoreStatus) {
  People p(dir.file("PEOPLE.DBF"));
  ASSERT_TRUE(p.file.create());
  ASSERT_TRUE(p.file.open(qv::Share::Shared));
  p.add("One", 1, 0, 'T');
  p.add("Two", 2, 0, 'T');
  p.add("Three", 3, 0, 'T');
  ASSERT_TRUE(p.file.getPosition(2));
  ASSERT_TRUE(p.file.remove());
  EXPECT_FALSE(p.file.getPosition(2));
  EXPECT_EQ(qv::ErrorCode(), qv::ErrNotFound);
  p.file.setFileOrder();
  ASSERT_TRUE(p.file.next());
  ASSERT_TRUE(p.file.next());
  EXPECT_EQ(p.rec.NAME.str(), "Three");

  EXPECT_EQ(dbf::sendCommand(p.file, "IGNORESTATUS=ON"), "ON");
  ASSERT_TRUE(p.file.getPosition(2));
  EXPECT_EQ(p.rec.NAME.str(), "Two");
  EXPECT_EQ(dbf::sendCommand(p.file, "DELETED"), "ON");
  ASSERT_TRUE(p.file.getPosition(1));
  EXPECT_EQ(dbf::sendCommand(p.file, "DELETED"), "OFF");
  dbf::sendCommand(p.file, "IGNORESTATUS=OFF");

  // RECOVER clears every mark
  dbf::sendCommand(p.file, "RECOVER");
  EXPECT_TRUE(p.file.getPosition(2));
  EXPECT_EQ(p.file.records(), 3);
}

TEST_F(FoxProDriver, PutWritesBackAndPackDropsDeletedRecords) {
  People p(dir.file("PEOPLE.DBF"));
  ASSERT_TRUE(p.file.create());
  ASSERT_TRUE(p.file.open(qv::Share::Exclusive));
  p.add("One", 1, 0, 'T');
  p.add("Two", 2, 0, 'T');
  ASSERT_TRUE(p.file.getPosition(1));
  p.rec.PRICE = 99.25;
  ASSERT_TRUE(p.file.put()) << qv::ErrorText();
  ASSERT_TRUE(p.file.getPosition(2));
  ASSERT_TRUE(p.file.remove());
  ASSERT_TRUE(p.file.pack()) << qv::ErrorText();
  EXPECT_EQ(p.file.records(), 1);
  ASSERT_TRUE(p.file.getPosition(1));
  EXPECT_DOUBLE_EQ(p.rec.PRICE, 99.25);
  ASSERT_TRUE(p.file.empty());
  EXPECT_EQ(p.file.records(), 0);
}

TEST_F(FoxProDriver, ValuesTheFieldCannotHoldAreBadData) {
  People p(dir.file("PEOPLE.DBF"));
  ASSERT_TRUE(p.file.create());
  ASSERT_TRUE(p.file.open(qv::Share::Exclusive));
  EXPECT_FALSE(p.add("Big", 1.0e10, 0, 'T'));  // N(9,2)
  EXPECT_NE(qv::ErrorText().find("bad data"), std::string::npos) << qv::ErrorText();
  EXPECT_FALSE(p.add("Odd", 1, 0, 'X'));  // not a logical value
  EXPECT_TRUE(p.add("Edge", 999999.99, 0, '?'));
  EXPECT_FALSE(p.add("Over", 1000000.0, 0, ' '));
  EXPECT_EQ(p.file.records(), 1);
}

TEST_F(FoxProDriver, BlankNumericReadsAsZeroAndOemTextConverts) {
  People p(dir.file("PEOPLE.DBF"));
  ASSERT_TRUE(p.file.create());
  ASSERT_TRUE(p.file.open(qv::Share::Exclusive));
  ASSERT_TRUE(p.add("Zoë", 5, 0, 'T', "Zürich"));
  p.file.close();
  std::string bytes = qvtest::readFile(dir.file("PEOPLE.DBF"));
  size_t rec = 32 * 6 + 1;
  EXPECT_EQ(bytes.substr(rec + 29, 6), "Z\x81rich");  // code page 437
  bytes.replace(rec + 11, 9, std::string(9, ' '));
  qvtest::writeFile(dir.file("PEOPLE.DBF"), bytes);
  ASSERT_TRUE(p.file.open(qv::Share::ReadOnly));
  p.rec.PRICE = 7;
  ASSERT_TRUE(p.file.getPosition(1));
  EXPECT_EQ(p.rec.PRICE, 0);
  EXPECT_EQ(p.rec.CITY.str(), "Zürich");
}

TEST_F(FoxProDriver, TypeHintsAndTheLongCharacterField) {
  struct Rec {
    qv::Str<300> NOTE;
    double COUNT = 0;
    qv::Str<8> WHEN;
  } rec;
  qv::FileDecl decl{0, "Notes", "NOT", "FoxPro"};
  qv::DeclBuilder<Rec> b(decl, rec);
  b.field("NOTE", &Rec::NOTE).external("NOTE=C").field("COUNT", &Rec::COUNT).external("X:CNT=N(12,3)");
  b.field("WHEN", &Rec::WHEN).external("WHEN=D");
  qv::File f(decl);
  f.setName(dir.file("NOTES.DBF"));
  ASSERT_TRUE(f.create()) << qv::ErrorText();
  std::string bytes = qvtest::readFile(dir.file("NOTES.DBF"));
  EXPECT_EQ(std::string(&bytes[32], 4), "NOTE");
  EXPECT_EQ(uint8_t(bytes[32 + 16]), 44);
  EXPECT_EQ(uint8_t(bytes[32 + 17]), 1);
  EXPECT_EQ(std::string(&bytes[64], 3), "CNT");
  EXPECT_EQ(bytes[64 + 11], 'N');
  EXPECT_EQ(uint8_t(bytes[64 + 16]), 12);
  EXPECT_EQ(uint8_t(bytes[64 + 17]), 3);
  EXPECT_EQ(bytes[96 + 11], 'D');
  ASSERT_TRUE(f.open(qv::Share::Exclusive));
  rec.NOTE = std::string(300, 'x');
  rec.COUNT = 1.5;
  rec.WHEN = "20240229";
  ASSERT_TRUE(f.add()) << qv::ErrorText();
  rec.NOTE = "";
  ASSERT_TRUE(f.getPosition(1));
  EXPECT_EQ(rec.NOTE.str(), std::string(300, 'x'));
  EXPECT_EQ(rec.WHEN.str(), "20240229");
}

TEST_F(FoxProDriver, DeclarationThatDoesNotMatchTheTable) {
  People p(dir.file("PEOPLE.DBF"));
  ASSERT_TRUE(p.file.create());
  struct Rec {
    qv::Str<10> NAME;
  } rec;
  qv::FileDecl decl{0, "Other", "OTH", "FoxPro"};
  qv::DeclBuilder<Rec>(decl, rec).field("NAME", &Rec::NAME).external("SURNAME");
  qv::File f(decl);
  f.setName(dir.file("PEOPLE.DBF"));
  EXPECT_FALSE(f.open(qv::Share::ReadOnly));
  EXPECT_EQ(qv::ErrorCode(), qv::ErrLayout);
  // more declared fields than the table has
  struct Wide {
    qv::Str<10> A, B, C, D, E, F;
  } wide;
  qv::FileDecl wdecl{0, "Wide", "WID", "FoxPro"};
  qv::DeclBuilder<Wide>(wdecl, wide)
      .field("A", &Wide::A).field("B", &Wide::B).field("C", &Wide::C)
      .field("D", &Wide::D).field("E", &Wide::E).field("F", &Wide::F);
  qv::File w(wdecl);
  w.setName(dir.file("PEOPLE.DBF"));
  EXPECT_FALSE(w.open(qv::Share::Exclusive));
  EXPECT_EQ(qv::ErrorCode(), qv::ErrLayout);
  EXPECT_FALSE(w.open(qv::Share::Shared));
  EXPECT_EQ(qv::ErrorCode(), qv::ErrLayout);
  // a field missing before the table's last one shifts the names
  struct Gap {
    qv::Str<10> NAME;
    qv::Str<8> CITY;
  } gap;
  qv::FileDecl gdecl{0, "Gap", "GAP", "FoxPro"};
  qv::DeclBuilder<Gap>(gdecl, gap).field("NAME", &Gap::NAME).external("NAME").field("CITY", &Gap::CITY).external("CITY");
  qv::File g(gdecl);
  g.setName(dir.file("PEOPLE.DBF"));
  EXPECT_FALSE(g.open(qv::Share::ReadOnly));
  EXPECT_EQ(qv::ErrorCode(), qv::ErrLayout);
  // a type that does not fit, read-only too
  struct Typed {
    double NAME = 0;
  } typed;
  qv::FileDecl tdecl{0, "Typed", "TYP", "FoxPro"};
  qv::DeclBuilder<Typed>(tdecl, typed).field("NAME", &Typed::NAME);
  qv::File t(tdecl);
  t.setName(dir.file("PEOPLE.DBF"));
  EXPECT_FALSE(t.open(qv::Share::ReadOnly));
  EXPECT_EQ(qv::ErrorCode(), qv::ErrLayout);
}

// Other programs write tables that stop before the fields a declaration adds
// at its end. Read-only, such a table opens and the missing fields read
// empty on every read, never what the record before left in the buffer.
TEST_F(FoxProDriver, ReadOnlyTableMayLackTrailingDeclaredFields) {
  {
    People p(dir.file("PEOPLE.DBF"));
    ASSERT_TRUE(p.file.create());
    ASSERT_TRUE(p.file.open(qv::Share::Exclusive));
    ASSERT_TRUE(p.add("Alice", 12.5, qv::dateFromYMD(1987, 3, 1), 'T', "Oslo"));
    ASSERT_TRUE(p.add("Bob", 2, 0, 'F', "Rome"));
  }
  struct Longer {
    qv::Str<10> NAME;
    double PRICE = 0;
    int32_t BORN = 0;
    uint8_t ACTIVE = 0;
    qv::Str<8> CITY;
    qv::Str<1> FLAG;
    double COUNT = 0;
    int32_t SEEN = 0;
    std::string NOTES;
  } rec;
  qv::FileDecl decl{0, "Longer", "LON", "FoxPro"};
  qv::DeclBuilder<Longer> b(decl, rec);
  b.field("NAME", &Longer::NAME)
      .field("PRICE", &Longer::PRICE)
      .field("BORN", &Longer::BORN)
      .field("ACTIVE", &Longer::ACTIVE)
      .field("CITY", &Longer::CITY)
      .field("FLAG", &Longer::FLAG)
      .field("COUNT", &Longer::COUNT)
      .field("SEEN", &Longer::SEEN)
      .memo("NOTES", &Longer::NOTES, 100);
  qv::File f(decl);
  f.setName(dir.file("PEOPLE.DBF"));
  ASSERT_TRUE(f.open(qv::Share::ReadOnly)) << qv::ErrorText();
  f.setFileOrder();
  rec.FLAG = "T";
  rec.COUNT = 7;
  rec.SEEN = 99;
  rec.NOTES = "stale";
  ASSERT_TRUE(f.next()) << qv::ErrorText();
  EXPECT_EQ(rec.NAME.str(), "Alice");
  EXPECT_EQ(rec.CITY.str(), "Oslo");
  EXPECT_EQ(rec.FLAG.str(), "");
  EXPECT_EQ(rec.COUNT, 0);
  EXPECT_EQ(rec.SEEN, 0);
  EXPECT_EQ(rec.NOTES, "");
  rec.FLAG = "T";
  rec.NOTES = "stale";
  ASSERT_TRUE(f.getPosition(2));
  EXPECT_EQ(rec.NAME.str(), "Bob");
  EXPECT_EQ(rec.FLAG.str(), "");
  EXPECT_EQ(rec.NOTES, "");
  EXPECT_EQ(f.records(), 2);
  f.close();
  // with write access the same declaration is refused: a record written
  // back would lose the fields
  EXPECT_FALSE(f.open(qv::Share::Exclusive));
  EXPECT_EQ(qv::ErrorCode(), qv::ErrLayout);
}

TEST_F(FoxProDriver, FoxBaseDialectRefusesFloatFields) {
  struct Rec {
    double RATE = 0;
  } rec;
  qv::FileDecl decl{0, "Rates", "RAT", "FoxPro"};
  qv::DeclBuilder<Rec>(decl, rec).field("RATE", &Rec::RATE).external("RATE=F(10,2)");
  qv::File f(decl);
  f.setName(dir.file("RATES.DBF"));
  decl.driverString = "FOXBASE";
  EXPECT_FALSE(f.create());
  EXPECT_NE(qv::ErrorText().find("invalid field type"), std::string::npos) << qv::ErrorText();
  decl.driverString.clear();
  f.close();
  qv::File g(decl);
  g.setName(dir.file("RATES.DBF"));
  EXPECT_TRUE(g.create()) << qv::ErrorText();
}

// A key declared by a plain name lives in a single index file of that name
// beside the table.
TEST_F(FoxProDriver, AKeyNamedWithoutSpecificationIsASingleIndexOfItsName) {
  People p(dir.file("PEOPLE.DBF"));
  qv::DeclBuilder<PeopleRec>(p.decl, p.rec).key("NameKey", {{"NAME"}}, qv::KeyUnique);
  ASSERT_TRUE(p.file.create()) << qv::ErrorText();
  EXPECT_TRUE(std::filesystem::exists(dir.file("NAMEKEY.IDX")));
  ASSERT_TRUE(p.file.open(qv::Share::Exclusive));
  p.rec.NAME = "Alice";
  EXPECT_FALSE(p.file.get(p.file.key("NameKey")));
  EXPECT_EQ(qv::ErrorCode(), qv::ErrNotFound);
  EXPECT_TRUE(p.add("Alice", 1, 0, 'T')) << qv::ErrorText();
  EXPECT_FALSE(p.add("Alice", 2, 0, 'T'));
  EXPECT_EQ(qv::ErrorCode(), qv::ErrDuplicateKey);
  p.rec.NAME = "Alice";
  EXPECT_TRUE(p.file.get(p.file.key("NameKey"))) << qv::ErrorText();
  EXPECT_DOUBLE_EQ(p.rec.PRICE, 1);
  p.file.setFileOrder();
  EXPECT_TRUE(p.file.next());
  EXPECT_FALSE(p.file.next());
  EXPECT_EQ(qv::ErrorCode(), qv::ErrNotAvailable);
}

TEST_F(FoxProDriver, MissingFileAndNoName) {
  People p(dir.file("NONE.DBF"));
  EXPECT_FALSE(p.file.open(qv::Share::ReadOnly));
  EXPECT_EQ(qv::ErrorCode(), qv::ErrFileNotFound);
  People q("");
  EXPECT_FALSE(q.file.open(qv::Share::ReadOnly));
  EXPECT_EQ(qv::ErrorCode(), qv::ErrInvalidFileName);
}

TEST_F(FoxProDriver, DispatcherCodesAndRegistration) {
  EXPECT_STREQ(FoxDrvReg.name, "FoxPro");
  EXPECT_STREQ(FoxDrvReg.description, "FoxPro File Driver 1.0");
  EXPECT_EQ(FoxDrvReg.operations[0], 57);
  EXPECT_EQ(FoxDrvReg.operations[1], 1);
  EXPECT_EQ(FoxDrvReg.operations[57], 58);
  EXPECT_EQ(FoxDrvReg.types[0], 7);
  EXPECT_EQ(FoxDrvReg.maxRecordLength, 4000u);
  People p(dir.file("PEOPLE.DBF"));
  ASSERT_TRUE(p.file.create());
  ASSERT_TRUE(p.file.open(qv::Share::Exclusive));
  dbf::FileBlock* b = dbf::fileBlockOf(p.file);
  ASSERT_NE(b, nullptr);
  dbf::OpArgs a;
  EXPECT_EQ(FOXPRO(75, b, &a), 80);
  EXPECT_EQ(FOXPRO(8, b, &a), 80);
  EXPECT_EQ(FOXPRO(56, b, &a), 0);
  EXPECT_EQ(FOXPRO(72, b, &a), 0);
  EXPECT_EQ(FOXPRO(dbf::OpPosition, b, &a), 33);  // no current record
  a.number = 0;
  EXPECT_EQ(FOXPRO(dbf::OpGetByRecord, b, &a), 35);
  a.text = "BUFFERS=4";
  EXPECT_EQ(FOXPRO(dbf::OpSend, b, &a), 0);
  EXPECT_EQ(a.answer, "4");
  a.text = "EXTERRORS";
  EXPECT_EQ(FOXPRO(dbf::OpSend, b, &a), 0);
  EXPECT_EQ(a.answer, "OFF");
  a.text = "REGISTER";
  EXPECT_EQ(FOXPRO(dbf::OpSend, b, &a), 0);
  EXPECT_EQ(a.answer, std::to_string(reinterpret_cast<uintptr_t>(&FoxDrvReg)));
  p.add("One", 1, 0, 'T');
  EXPECT_EQ(FOXPRO(dbf::OpBytes, b, &a), 0);
  EXPECT_EQ(a.number, 37);
  EXPECT_EQ(FOXPRO(dbf::OpPositionText, b, &a), 0);
  EXPECT_EQ(a.answer, "1");
}

TEST_F(FoxProDriver, HoldsOfTwoFilesOnOneSharedTable) {
  People p(dir.file("PEOPLE.DBF"));
  ASSERT_TRUE(p.file.create());
  ASSERT_TRUE(p.file.open(qv::Share::Shared));
  p.add("One", 1, 0, 'T');
  People q(dir.file("PEOPLE.DBF"));
  ASSERT_TRUE(q.file.open(qv::Share::Shared));
  ASSERT_TRUE(p.file.getPosition(1));
  ASSERT_TRUE(p.file.hold(0));
  ASSERT_TRUE(q.file.getPosition(1));
  EXPECT_FALSE(q.file.hold(0));
  EXPECT_EQ(qv::ErrorCode(), qv::ErrHeld);
  p.file.release();
  EXPECT_TRUE(q.file.hold(0));
}

// Tables the driver writes, in both dialects, read back equal by
// python3-dbfread and by the driver.
TEST_F(FoxProDriver, RoundTripsReadBackByDbfread) {
  std::string py = dbftest::dbfreadPython();
  for (const char* dialect : {"", "FOXBASE"}) {
    std::string path = dir.file(std::string("ROUND") + dialect + ".DBF");
    People p(path, dialect);
    ASSERT_TRUE(p.file.create()) << qv::ErrorText();
    ASSERT_TRUE(p.file.open(qv::Share::Exclusive));
    ASSERT_TRUE(p.add("Alice", 12.5, qv::dateFromYMD(1987, 3, 1), 'T', "Oslo"));
    ASSERT_TRUE(p.add("Bob", -3.25, qv::dateFromYMD(1980, 11, 12), 'F'));
    ASSERT_TRUE(p.add("Deleted", 0, 0, '?'));
    ASSERT_TRUE(p.file.remove());
    ASSERT_TRUE(p.add("Carol", 999999.99, qv::dateFromYMD(2026, 12, 9), ' '));
    p.file.close();
    const std::string want =
        "FIELD NAME C 10 0\nFIELD PRICE N 9 2\nFIELD BORN D 8 0\nFIELD ACTIVE L 1 0\nFIELD CITY C 8 0\n"
        "LIVE Alice\t12.5\t19870301\tT\tOslo\n"
        "LIVE Bob\t-3.25\t19801112\tF\t\n"
        "LIVE Carol\t999999.99\t20261209\t\t\n"
        "DELETED Deleted\t0\t\t\t\n";
    EXPECT_EQ(dbftest::ownDump(path), want) << dialect;
    if (py.empty()) continue;
    EXPECT_EQ(dbftest::dbfreadDump(py, path), want) << dialect;
    // and again after a pack
    ASSERT_TRUE(p.file.open(qv::Share::Exclusive));
    ASSERT_TRUE(p.file.pack());
    p.file.close();
    std::string packed = want.substr(0, want.find("DELETED"));
    EXPECT_EQ(dbftest::dbfreadDump(py, path), packed) << dialect;
  }
  if (py.empty()) GTEST_SKIP() << "python3-dbfread is not installed: read back by the driver only";
}

struct NotesRec {
  qv::Str<12> TITLE;
  std::string BODY;
  qv::Str<4> TAG;
};

struct Notes {
  NotesRec rec;
  qv::FileDecl decl{0, "Notes", "NOT", "FoxPro"};
  qv::File file{decl};
  Notes(const std::string& path, const std::string& driverString) {
    qv::DeclBuilder<NotesRec>(decl, rec)
        .field("TITLE", &NotesRec::TITLE)
        .memo("BODY", &NotesRec::BODY, 65280)
        .field("TAG", &NotesRec::TAG);
    decl.driverString = driverString;
    file.setName(path);
  }
  bool add(const char* title, const std::string& body) {
    rec.TITLE = title;
    rec.BODY = body;
    rec.TAG = "t";
    return file.add();
  }
};

// Memos of both dialects: written before their record, loaded after each
// read, kept through a pack that compacts the memo file; read back by
// python3-dbfread too.
TEST_F(FoxProDriver, MemosRoundTripThroughWritePackAndDbfread) {
  std::string py = dbftest::dbfreadPython();
  std::string longText;
  for (int i = 0; i < 200; ++i) longText += "line " + std::to_string(i) + " of a memo over many blocks\r\n";
  for (const char* dialect : {"", "FOXBASE"}) {
    std::string path = dir.file(std::string("NOTES") + dialect + ".DBF");
    Notes n(path, dialect);
    ASSERT_TRUE(n.file.create()) << qv::ErrorText();
    std::string memoPath = dir.file(std::string("NOTES") + dialect + (*dialect ? ".DBT" : ".FPT"));
    ASSERT_TRUE(std::filesystem::exists(memoPath));
    ASSERT_TRUE(n.file.open(qv::Share::Exclusive)) << qv::ErrorText();
    ASSERT_TRUE(n.add("first", "First memo")) << qv::ErrorText();
    ASSERT_TRUE(n.add("gone", "A memo that goes with its record"));
    ASSERT_TRUE(n.file.remove());
    ASSERT_TRUE(n.add("long", longText));
    ASSERT_TRUE(n.add("none", ""));
    n.file.close();
    EXPECT_EQ(uint8_t(qvtest::readFile(path)[0]), *dialect ? 0x83 : 0xF5);

    ASSERT_TRUE(n.file.open(qv::Share::Exclusive));
    ASSERT_TRUE(n.file.getPosition(3));
    EXPECT_EQ(n.rec.BODY, longText);
    ASSERT_TRUE(n.file.getPosition(4));
    EXPECT_EQ(n.rec.BODY, "");
    // a changed memo, longer than its blocks
    ASSERT_TRUE(n.file.getPosition(1));
    n.rec.BODY = "First memo, now longer than it was: " + std::string(600, 'x');
    ASSERT_TRUE(n.file.put()) << qv::ErrorText();
    n.file.close();

    std::string want = std::string("FIELD TITLE C 12 0\nFIELD BODY M 10 0\nFIELD TAG C 4 0\n") +
                       "LIVE first\t" + dbftest::escaped("First memo, now longer than it was: " + std::string(600, 'x')) +
                       "\tt\n" + "LIVE long\t" + dbftest::escaped(longText.substr(0, longText.size() - 2)) + "\\x0D\\x0A\tt\n" +
                       "LIVE none\t\tt\n" + "DELETED gone\tA memo that goes with its record\tt\n";
    EXPECT_EQ(dbftest::ownDump(path), want) << dialect;
    if (!py.empty()) {
      EXPECT_EQ(dbftest::dbfreadDump(py, path), want) << dialect;
    }

    auto before = std::filesystem::file_size(memoPath);
    ASSERT_TRUE(n.file.open(qv::Share::Exclusive));
    ASSERT_TRUE(n.file.pack()) << qv::ErrorText();
    EXPECT_EQ(n.file.records(), 3);
    ASSERT_TRUE(n.file.getPosition(2));
    EXPECT_EQ(n.rec.TITLE.str(), "long");
    EXPECT_EQ(n.rec.BODY, longText);
    n.file.close();
    EXPECT_LT(std::filesystem::file_size(memoPath), before) << dialect;
    std::string packed = want.substr(0, want.find("DELETED"));
    EXPECT_EQ(dbftest::ownDump(path), packed) << dialect;
    if (!py.empty()) {
      EXPECT_EQ(dbftest::dbfreadDump(py, path), packed) << dialect;
    }
  }
}

TEST_F(FoxProDriver, MissingMemoFileIsTheDriversError) {
  Notes n(dir.file("NOTES.DBF"), "");
  ASSERT_TRUE(n.file.create());
  std::filesystem::remove(dir.file("NOTES.FPT"));
  EXPECT_FALSE(n.file.open(qv::Share::ReadOnly));
  EXPECT_EQ(qv::ErrorCode(), qv::ErrFileNotFound);
  EXPECT_NE(qv::ErrorText().find("FoxPro 73"), std::string::npos) << qv::ErrorText();
}

TEST_F(FoxProDriver, CorpusTableWithMemosReadThroughADeclaration) {
  std::string c = qvtest::corpusDir();
  if (c.empty() || !std::filesystem::exists(c + "/dbf/olemb-dbfread/memotest.dbf"))
    GTEST_SKIP() << "the DBF corpus is not present";
  struct Rec {
    qv::Str<16> NAME;
    qv::Str<8> BIRTHDATE;
    std::string MEMO;
  } rec;
  qv::FileDecl decl{0, "Memotest", "MEM", "FoxPro"};
  qv::DeclBuilder<Rec>(decl, rec)
      .field("NAME", &Rec::NAME)
      .field("BIRTHDATE", &Rec::BIRTHDATE)
      .memo("MEMO", &Rec::MEMO, 65280);
  qv::File f(decl);
  f.setName(c + "/dbf/olemb-dbfread/memotest.dbf");
  ASSERT_TRUE(f.open(qv::Share::ReadOnly)) << qv::ErrorText();
  std::vector<std::string> seen;
  f.setFileOrder();
  while (f.next()) seen.push_back(rec.NAME.str() + "|" + rec.BIRTHDATE.str() + "|" + rec.MEMO);
  EXPECT_EQ(seen, (std::vector<std::string>{"Alice|19870301|Alice memo", "Bob|19801112|Bob memo"}));
  EXPECT_EQ(dbf::sendCommand(f, "IGNORESTATUS=ON"), "ON");
  ASSERT_TRUE(f.getPosition(3));
  EXPECT_EQ(rec.MEMO, "Deleted Guy memo");
  // the same table without its memo file
  qv::File g(decl);
  g.setName(c + "/dbf/olemb-dbfread/no_memofile.dbf");
  EXPECT_FALSE(g.open(qv::Share::ReadOnly));
  EXPECT_EQ(qv::ErrorCode(), qv::ErrFileNotFound);
}

}  // namespace
