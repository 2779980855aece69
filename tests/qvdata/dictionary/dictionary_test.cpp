// The declared files: record lengths, file numbers, that every declaration
// works through its driver, and the key orders the procedures rely on.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <map>
#include <set>
#include <string>
#include <vector>

#include "dictionary/dictionary.h"
#include "dictionary/passwords.h"
#include "storage/collation.h"
#include "support/temp_dir.h"

using namespace qv;
using qvtest::TempDir;

namespace {

// Points a declared file at a scratch path for the length of a test, and puts
// it back (closed, under its old name) afterwards, since the declarations are
// process-wide.
class ScratchFile {
 public:
  ScratchFile(File& f, const std::string& path) : f_(f), saved_(f.name()) {
    f_.close();
    f_.setName(path);
  }
  ~ScratchFile() {
    f_.close();
    f_.setName(saved_);
    f_.clear();
  }
  bool createAndOpen() { return f_.create() && f_.open(); }

 private:
  File& f_;
  std::string saved_;
};

uint32_t memoCount(const FileDecl& d) {
  uint32_t n = 0;
  for (const FieldDesc& f : d.fields)
    if (f.type == FieldType::Memo) ++n;
  return n;
}

File* byLabel(const std::string& label) {
  for (File* f : allDeclaredFiles())
    if (f->label() == label) return f;
  return nullptr;
}

// ---------------------------------------------------------------------------
// Record lengths

TEST(DictionaryLayout, RecordLengthsOfKeyedFiles) {
  const std::map<std::string, uint32_t> expected = {
      {"Forums", 801},     {"Control", 205},    {"ImpRegistry", 8}, {"Tasks", 96},       {"Batches", 177},
      {"TaskBatch", 13},   {"FileList", 104},   {"StopList", 40},   {"MsgNmbr", 60},     {"MsgText", 12},
      {"Person", 227},     {"PLINK", 104},      {"Sections", 40},   {"Threads", 63},     {"Mail", 124},
      {"CCR", 106},        {"MsgIdIndex", 64},  {"Codes", 59},      {"SIndex", 8},       {"DbRef", 765},
      {"WordList", 48},    {"MasIdx", 8},       {"PurgeList", 8},   {"WordDefs", 44},    {"Search", 4},
      {"ImpHeader", 413},  {"ImpCCR", 106},     {"ImpThreadId", 64},
  };
  for (const auto& [label, length] : expected) {
    File* f = byLabel(label);
    ASSERT_NE(f, nullptr) << label;
    EXPECT_EQ(f->decl().recordLength(), length) << label;
  }
}

TEST(DictionaryLayout, MemosOfTextFiles) {
  // The texts live beside the record, not in it; the temporary record
  // carries the whole subject and the whole names beside its text.
  for (File* f : {&MsgText, &ImpHeader}) {
    int text = f->decl().fieldIndex(f == &MsgText ? "MsgText" : "MSGTEXT");
    ASSERT_GE(text, 0) << f->label();
    EXPECT_EQ(memoCount(f->decl()), f == &MsgText ? 1u : 4u) << f->label();
    EXPECT_EQ(f->decl().fields[size_t(text)].type, FieldType::Memo) << f->label();
    EXPECT_EQ(f->decl().fields[size_t(text)].size, 64000u) << f->label();
  }
  EXPECT_EQ(memoCount(Subjects.decl()), 1u);
  EXPECT_EQ(memoCount(Extras.decl()), 3u);
  // The line driver keeps a whole line in the first field.
  for (File* f : {&LineFile, &LineFile2}) {
    ASSERT_EQ(f->decl().fields.size(), 1u);
    EXPECT_EQ(f->decl().fields[0].type, FieldType::Memo);
    EXPECT_EQ(f->decl().fields[0].size, 64000u);
    EXPECT_EQ(f->decl().recordLength(), 0u);
  }
  for (File* f : {&RawFile, &RawFile2}) {
    ASSERT_EQ(f->decl().fields.size(), 1u);
    EXPECT_EQ(f->decl().recordLength(), 10000u);
  }
}

TEST(DictionaryLayout, ExternalTables) {
  // Record lengths without the memo columns; a table's own record length
  // counts each memo column as a 4-byte reference (191, 146, 549, 369).
  struct Expect {
    File* file;
    uint32_t length;
    uint32_t memos;
    uint32_t columns;
  };
  for (const Expect& e : {Expect{&CcoStore, 187, 1, 23}, Expect{&CmaStore, 134, 3, 17},
                          Expect{&HreStore, 537, 3, 35}, Expect{&OuiStore, 349, 5, 30}}) {
    const FileDecl& d = e.file->decl();
    EXPECT_EQ(d.driver, "FoxPro") << d.label;
    EXPECT_EQ(d.recordLength(), e.length) << d.label;
    EXPECT_EQ(memoCount(d), e.memos) << d.label;
    EXPECT_EQ(d.fields.size(), e.columns) << d.label;
    EXPECT_TRUE(d.keys.empty()) << d.label;
    for (const FieldDesc& f : d.fields) {
      if (f.type == FieldType::Memo) {
        EXPECT_EQ(f.size, 65280u) << d.label << " " << f.name;
      }
    }
  }
}

// Writing every field element through the declaration and reading them all
// back finds two fields declared over the same struct member, or a width
// that reaches into the next member.
TEST(DictionaryLayout, FieldsDoNotOverlap) {
  static const char alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
  for (File* file : allDeclaredFiles()) {
    const FileDecl& d = file->decl();
    std::vector<std::pair<std::pair<int, uint32_t>, FieldValue>> written;
    int counter = 0;
    for (size_t i = 0; i < d.fields.size(); ++i) {
      const FieldDesc& f = d.fields[i];
      for (uint32_t e = 0; e < f.dim; ++e, ++counter) {
        FieldValue v;
        switch (f.type) {
          case FieldType::Byte: v = int64_t(counter % 250 + 1); break;
          case FieldType::Long:
          case FieldType::ULong: v = int64_t(100000 + counter); break;
          case FieldType::Real: v = 0.5 + counter; break;
          case FieldType::String:
          case FieldType::Memo: {
            std::string s = std::string(1, alphabet[counter % 62]) + std::to_string(counter);
            if (f.type == FieldType::String && s.size() > f.size) s.resize(f.size);
            v = s;
            break;
          }
        }
        setField(d, int(i), e, v);
        written.push_back({{int(i), e}, v});
      }
    }
    for (const auto& [where, v] : written)
      EXPECT_EQ(getField(d, where.first, where.second), v)
          << d.label << "." << d.columnName(where.first, where.second);
    clearRecord(d);
  }
}

// ---------------------------------------------------------------------------
// File numbers

TEST(DictionaryNumbers, EachNumberNamesItsFile) {
  const std::map<int, std::pair<const char*, const char*>> expected = {
      {1, {"Codes", "COD"}},       {2, {"Forums", "FOR"}},       {3, {"MsgNmbr", "MSG"}},
      {4, {"MsgText", "TXT"}},     {5, {"Person", "PER"}},       {6, {"Sections", "SEC"}},
      {7, {"Threads", "THR"}},     {8, {"Control", "CTL"}},      {9, {"SIndex", "SIN"}},
      {10, {"ImpHeader", "NHR"}},  {11, {"HreStore", "HRE"}},    {12, {"RawFile", "DOS"}},
      {13, {"Mail", "MAI"}},       {14, {"Subjects", "SUB"}},    {15, {"Extras", "EXT"}},
      {17, {"CCR", "CCR"}},
      {18, {"ImpRegistry", "IMP"}},
      {19, {"ImpCCR", "CCT"}},     {20, {"CcoStore", "CCO"}},    {21, {"CmaStore", "CMA"}},
      {22, {"DbRef", "REF"}},      {23, {"PLINK", "PLI"}},       {24, {"ImpThreadId", "TID"}},
      {25, {"MsgIdIndex", "MST"}}, {26, {"Tasks", "TAS"}},       {27, {"FileList", "FLI"}},
      {28, {"WordList", "WOR"}},   {29, {"MasIdx", "MAS"}},      {30, {"StopList", "STO"}},
      {31, {"RawFile2", "TOC"}},   {32, {"Search", "SEA"}},      {33, {"PurgeList", "PUR"}},
      {34, {"Batches", "BAT"}},    {35, {"TaskBatch", "TIM"}},   {36, {"Originals", "ORI"}},   {37, {"ImpOriginal", "NHO"}},
      {39, {"WordDefs", "WD"}},
      {40, {"OuiStore", "OUI"}},
  };
  for (int n = -1; n <= 42; ++n) {
    File* f = fileByNumber(n);
    auto it = expected.find(n);
    if (it == expected.end()) {
      EXPECT_EQ(f, nullptr) << n;
      continue;
    }
    ASSERT_NE(f, nullptr) << n;
    EXPECT_EQ(f->label(), it->second.first) << n;
    EXPECT_EQ(f->decl().prefix, it->second.second) << n;
    EXPECT_EQ(f->decl().number, n) << n;
  }
}

TEST(DictionaryNumbers, AllDeclaredFilesOnceEach) {
  const auto& all = allDeclaredFiles();
  EXPECT_EQ(all.size(), 41u);  // 38 numbered files, the two line files and the stop-list moves
  std::set<std::string> labels, prefixes;
  for (File* f : all) {
    EXPECT_TRUE(labels.insert(f->label()).second) << f->label();
    EXPECT_TRUE(prefixes.insert(f->decl().prefix).second) << f->decl().prefix;
    if (f->decl().number != 0) {
      EXPECT_EQ(fileByNumber(f->decl().number), f) << f->label();
    }
  }
  EXPECT_TRUE(labels.count("LineFile"));
  EXPECT_TRUE(labels.count("LineFile2"));
  EXPECT_EQ(LineFile.decl().number, 0);
  EXPECT_EQ(LineFile2.decl().number, 0);
}

// ---------------------------------------------------------------------------
// Every keyed declaration through its driver

TEST(DictionaryFiles, EveryKeyedFileIsCreatedWrittenAndReopened) {
  TempDir dir;
  for (File* f : allDeclaredFiles()) {
    const std::string& drv = f->decl().driver;
    if (drv != "ARDENT" && drv != "VELDRA") continue;
    SCOPED_TRACE(f->label());
    ScratchFile scratch(*f, dir.file(f->label() + (drv == "VELDRA" ? ".DAT" : ".ADF")));
    ASSERT_TRUE(scratch.createAndOpen()) << ErrorText();
    // One record with every field non-empty, so that it enters every key.
    const FileDecl& d = f->decl();
    for (size_t i = 0; i < d.fields.size(); ++i)
      for (uint32_t e = 0; e < d.fields[i].dim; ++e) {
        const FieldDesc& fd = d.fields[i];
        if (fd.type == FieldType::String || fd.type == FieldType::Memo)
          setField(d, int(i), e, std::string("x"));
        else
          setField(d, int(i), e, int64_t(1));
      }
    RecordImage before = saveRecord(d);
    ASSERT_TRUE(f->add()) << ErrorText();
    f->close();
    ASSERT_TRUE(f->open()) << ErrorText();
    EXPECT_EQ(f->records(), 1);
    f->clear();
    f->setFileOrder();
    ASSERT_TRUE(f->next()) << ErrorText();
    EXPECT_TRUE(sameRecord(d, before, saveRecord(d)));
    // The record is found again through each key.
    for (size_t k = 0; k < d.keys.size(); ++k) {
      if (d.keys[k].onDemand) {
        ASSERT_TRUE(f->buildKey(f->key(int(k)))) << ErrorText();
      }
      f->set(f->key(int(k)));
      EXPECT_TRUE(f->next()) << d.keys[k].name << ": " << ErrorText();
    }
  }
}

TEST(DictionaryFiles, OwnerPasswords) {
  TempDir dir;
  struct Expect {
    File* file;
    const char* right;
    const char* wrong;
  };
  for (const Expect& e : {Expect{&Forums, kPassword7, kPassword12}, Expect{&Mail, kPassword7, kPassword12},
                          Expect{&Control, kPassword12, kPassword7},
                          Expect{&ImpHeader, kPassword12, kPassword7}}) {
    SCOPED_TRACE(e.file->label());
    ScratchFile scratch(*e.file, dir.file(e.file->label() + ".ADF"));
    ASSERT_TRUE(e.file->create()) << ErrorText();
    EXPECT_FALSE(e.file->open(Share::Shared, e.wrong));
    EXPECT_EQ(ErrorCode(), ErrAccessDenied);
    EXPECT_FALSE(e.file->open(Share::Shared, ""));
    EXPECT_TRUE(e.file->open(Share::Shared, e.right)) << ErrorText();
  }
  // The other files have none.
  for (File* f : allDeclaredFiles()) {
    if (f == &Forums || f == &Mail || f == &Control || f == &ImpHeader) continue;
    EXPECT_TRUE(f->decl().password.empty()) << f->label();
  }
}

TEST(DictionaryFiles, LineAndRawFilesCarryTheirRecords) {
  TempDir dir;
  {
    ScratchFile scratch(LineFile, dir.file("lines.txt"));
    ASSERT_TRUE(scratch.createAndOpen()) << ErrorText();
    ASC.LINE = "first line";
    ASSERT_TRUE(LineFile.add()) << ErrorText();
    ASC.LINE = std::string(64000, 'x');
    ASSERT_TRUE(LineFile.add()) << ErrorText();
    LineFile.setFileOrder();
    ASSERT_TRUE(LineFile.next());
    EXPECT_EQ(ASC.LINE, "first line");
    ASSERT_TRUE(LineFile.next());
    EXPECT_EQ(ASC.LINE.size(), 64000u);
  }
  EXPECT_EQ(qvtest::readFile(dir.file("lines.txt")).substr(0, 12), "first line\r\n");
  {
    ScratchFile scratch(RawFile2, dir.file("raw.bin"));
    ASSERT_TRUE(scratch.createAndOpen()) << ErrorText();
    TOC.CHAR = "abcdef";
    ASSERT_TRUE(RawFile2.addBlock(6)) << ErrorText();
    TOC.CHAR = "";
    ASSERT_TRUE(RawFile2.getBlock(2, 3)) << ErrorText();
    EXPECT_EQ(TOC.CHAR.view(), "cde");
  }
}

// ---------------------------------------------------------------------------
// Key orders

std::vector<uint32_t> walk(File& f, const Key& k, uint32_t& idField) {
  std::vector<uint32_t> out;
  f.set(k);
  while (f.next()) out.push_back(idField);
  return out;
}

class DictionaryMsgNmbr : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(scratch.createAndOpen()) << ErrorText(); }
  void add(uint32_t id, const char* fromAlpha, uint32_t fromId, int32_t date = 1, const char* threadAlpha = "t",
           uint32_t thread = 1) {
    ASSERT_TRUE(tryAdd(id, fromAlpha, fromId, date, threadAlpha, thread)) << ErrorText();
  }
  bool tryAdd(uint32_t id, const char* fromAlpha, uint32_t fromId, int32_t date = 1, const char* threadAlpha = "t",
              uint32_t thread = 1) {
    MsgNmbr.clear();
    MSG.MSGNUMBER = id;
    MSG.FROMALPHA = fromAlpha;
    MSG.FROMID = fromId;
    MSG.TOALPHA = fromAlpha;
    MSG.TOID = fromId;
    MSG.DATE = date;
    MSG.THREADALPHA = threadAlpha;
    MSG.THREADNUMBER = thread;
    return MsgNmbr.add();
  }
  TempDir dir;
  ScratchFile scratch{MsgNmbr, dir.file("IDX003.ADF")};
};

TEST_F(DictionaryMsgNmbr, IdKeyGivesTheNewestFirst) {
  add(5, "a", 1);
  add(42, "a", 1);
  add(17, "a", 1);
  EXPECT_EQ(walk(MsgNmbr, MSG_IdKey, MSG.MSGNUMBER), (std::vector<uint32_t>{42, 17, 5}));
  EXPECT_FALSE(tryAdd(17, "b", 2));  // the ID is unique
  EXPECT_EQ(ErrorCode(), ErrDuplicateKey);
}

TEST_F(DictionaryMsgNmbr, PersonKeysFoldCaseAndBreakTiesByIdThenNewest) {
  add(1, "adam", 1);
  add(2, "Fox", 2);
  add(3, "eve", 3);
  add(4, "Zed", 4);
  add(20, "élan", 5);
  add(10, "ÉLAN", 5);  // equal to "élan": the newer message comes first
  add(30, "smith", 7);
  add(31, "SMITH", 3);
  add(35, "Smith", 3);
  // Folded: ADAM EVE FOX SMITH(3) SMITH(7) ZED ÉLAN; É comes after the ASCII letters.
  const std::vector<uint32_t> expected{1, 3, 2, 35, 31, 30, 4, 20, 10};
  EXPECT_EQ(walk(MsgNmbr, MSG_FromKey, MSG.MSGNUMBER), expected);
  EXPECT_EQ(walk(MsgNmbr, MSG_ToKey, MSG.MSGNUMBER), expected);

  // Counting a person's messages: from (name prefix, ID) while both match.
  MsgNmbr.clear();
  MSG.FROMALPHA = "smith";
  MSG.FROMID = 3;
  MsgNmbr.setPrefix(MSG_FromKey, 2);
  std::vector<uint32_t> his;
  while (MsgNmbr.next() && MSG.FROMID == 3 && compareNoCase(MSG.FROMALPHA.view(), "smith") == 0)
    his.push_back(MSG.MSGNUMBER);
  EXPECT_EQ(his, (std::vector<uint32_t>{35, 31}));
}

TEST_F(DictionaryMsgNmbr, DateKeyNewestDateThenNewestId) {
  add(1, "a", 1, 100);
  add(2, "a", 1, 200);
  add(3, "a", 1, 100);
  add(4, "a", 1, 150);
  EXPECT_EQ(walk(MsgNmbr, MSG_DateKey, MSG.MSGNUMBER), (std::vector<uint32_t>{2, 4, 3, 1}));
}

TEST_F(DictionaryMsgNmbr, ThreadKeyBySubjectThenThreadThenOldest) {
  add(9, "a", 1, 1, "beta", 50);
  add(3, "a", 1, 1, "ALPHA", 60);
  add(7, "a", 1, 1, "alpha", 60);
  add(5, "a", 1, 1, "Alpha", 40);
  add(8, "a", 1, 1, "Beta", 50);
  EXPECT_EQ(walk(MsgNmbr, MSG_Threadkey, MSG.MSGNUMBER), (std::vector<uint32_t>{5, 3, 7, 8, 9}));
}

TEST(DictionaryMail, GroupsListTheNewestMailFirst) {
  TempDir dir;
  ScratchFile scratch(Mail, dir.file("IDX013.ADF"));
  ASSERT_TRUE(scratch.createAndOpen()) << ErrorText();
  auto add = [](uint32_t id, const char* alpha, uint32_t person, int32_t date, int32_t time) {
    Mail.clear();
    MAI.MAILID = id;
    MAI.PAIRALPHA = alpha;
    MAI.PAIRID = person;
    MAI.FROMALPHA = alpha;
    MAI.FROMID = person;
    MAI.TOALPHA = alpha;
    MAI.TOID = person;
    MAI.SUBJECT = alpha;
    MAI.DATE = date;
    MAI.TIME = time;
    ASSERT_TRUE(Mail.add()) << ErrorText();
  };
  add(1, "Baker", 9, 100, 500);
  add(2, "BAKER", 9, 100, 900);
  add(3, "baker", 9, 101, 10);
  add(4, "Baker", 9, 100, 900);
  add(5, "Adams", 8, 200, 0);
  add(6, "Baker", 10, 300, 0);

  // Partner by partner; within one, newest date, then time, then ID.
  const std::vector<uint32_t> byPerson{5, 3, 4, 2, 1, 6};
  EXPECT_EQ(walk(Mail, MAI_PairKey, MAI.MAILID), byPerson);
  EXPECT_EQ(walk(Mail, MAI_FromKey, MAI.MAILID), byPerson);
  EXPECT_EQ(walk(Mail, MAI_ToKey, MAI.MAILID), byPerson);
  EXPECT_EQ(walk(Mail, MAI_SubjectKey, MAI.MAILID), (std::vector<uint32_t>{5, 6, 3, 4, 2, 1}));
  EXPECT_EQ(walk(Mail, MAI_DateKey, MAI.MAILID), (std::vector<uint32_t>{6, 5, 3, 4, 2, 1}));
  EXPECT_EQ(walk(Mail, MAI_IdKey, MAI.MAILID), (std::vector<uint32_t>{6, 5, 4, 3, 2, 1}));

  // One partner's mail, as the browser lists it.
  Mail.clear();
  MAI.PAIRALPHA = "BAKER";
  MAI.PAIRID = 9;
  Mail.setPrefix(MAI_PairKey, 2);
  std::vector<uint32_t> one;
  while (Mail.next() && MAI.PAIRID == 9) one.push_back(MAI.MAILID);
  EXPECT_EQ(one, (std::vector<uint32_t>{3, 4, 2, 1}));
}

TEST(DictionaryWordIndex, WordListKeys) {
  TempDir dir;
  const std::string path = dir.file("IDX028.DAT");
  ScratchFile scratch(WordList, path);
  ASSERT_TRUE(scratch.createAndOpen()) << ErrorText();
  auto add = [](int32_t id, const char* word, int32_t count) {
    WordList.clear();
    WOR.WORDID = id;
    WOR.THEWORD = word;
    WOR.WORDCOUNT = count;
    return WordList.add();
  };
  ASSERT_TRUE(add(1, "apple", 3));
  ASSERT_TRUE(add(2, "", 5));
  ASSERT_TRUE(add(3, "Banana", 0));
  ASSERT_TRUE(add(4, "cherry", 7));
  ASSERT_TRUE(add(6, "", 1));  // blank words stay out of the word key, so they do not clash
  EXPECT_FALSE(add(5, "APPLE", 1));
  EXPECT_EQ(ErrorCode(), ErrDuplicateKey);
  std::vector<std::string> words;
  WordList.set(WOR_by_theWord);
  while (WordList.next()) words.push_back(WOR.THEWORD.str());
  EXPECT_EQ(words, (std::vector<std::string>{"apple", "Banana", "cherry"}));

  WordList.clear();
  WOR.THEWORD = "BANANA";
  ASSERT_TRUE(WordList.get(WOR_by_theWord)) << ErrorText();
  EXPECT_EQ(WOR.WORDID, 3);

  // The count key exists only once built, and leaves out words of no count.
  auto indexCount = [&] {
    sqlite3* db = nullptr;
    EXPECT_EQ(sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr), SQLITE_OK);
    sqlite3_stmt* st = nullptr;
    sqlite3_prepare_v2(db, "SELECT count(*) FROM sqlite_schema WHERE type='index' AND name LIKE '%WordCount%'", -1,
                       &st, nullptr);
    int n = -1;
    if (sqlite3_step(st) == SQLITE_ROW) n = sqlite3_column_int(st, 0);
    sqlite3_finalize(st);
    sqlite3_close(db);
    return n;
  };
  EXPECT_EQ(indexCount(), 0);
  ASSERT_TRUE(WordList.buildKey(WOR_by_WordCount)) << ErrorText();
  EXPECT_EQ(indexCount(), 1);
  std::vector<int32_t> counts;
  WordList.set(WOR_by_WordCount);
  while (WordList.next()) counts.push_back(WOR.WORDCOUNT);
  EXPECT_EQ(counts, (std::vector<int32_t>{1, 3, 5, 7}));
}

TEST(DictionaryWordIndex, StopWordsAreOneRegardlessOfCase) {
  TempDir dir;
  ScratchFile scratch(StopList, dir.file("IDX030.ADF"));
  ASSERT_TRUE(scratch.createAndOpen()) << ErrorText();
  STO.THEWORD = "Über";
  ASSERT_TRUE(StopList.add()) << ErrorText();
  STO.THEWORD = "ÜBER";
  EXPECT_FALSE(StopList.add());
  EXPECT_EQ(ErrorCode(), ErrDuplicateKey);
  STO.THEWORD = "über";
  EXPECT_TRUE(StopList.get(STO_BY_THEWORD)) << ErrorText();
}

TEST(DictionaryMessageIds, ComparedExactlyAlsoInAFileOfTheOlderDeclaration) {
  TempDir dir;
  std::string path = dir.file("IDX025.ADF");
  {
    // The file as it was written when its ID key ignored letter case.
    FileDecl older = MsgIdIndex.decl();
    older.keys[size_t(MST_IDSTRINGKEY.index())].nocase = true;
    ASSERT_NE(older.keySignature(), MsgIdIndex.decl().keySignature());
    File f(older);
    f.setName(path);
    ASSERT_TRUE(f.create() && f.open()) << ErrorText();
    MST = MsgIdIndexRec();
    MST.IDSTRING = "<AbCdE@example.com>";
    MST.MSGNUMBER = 300001;
    ASSERT_TRUE(f.add()) << ErrorText();
    f.close();
  }
  ScratchFile scratch(MsgIdIndex, path);
  ASSERT_TRUE(MsgIdIndex.open()) << ErrorText();
  MST = MsgIdIndexRec();
  MST.IDSTRING = "<abcde@example.com>";
  EXPECT_FALSE(MsgIdIndex.get(MST_IDSTRINGKEY)) << "another ID";
  MST.MSGNUMBER = 300002;
  ASSERT_TRUE(MsgIdIndex.add()) << ErrorText();
  for (auto [id, number] : std::vector<std::pair<std::string, uint32_t>>{{"<AbCdE@example.com>", 300001},
                                                                        {"<abcde@example.com>", 300002}}) {
    MST = MsgIdIndexRec();
    MST.IDSTRING = id;
    ASSERT_TRUE(MsgIdIndex.get(MST_IDSTRINGKEY)) << id;
    EXPECT_EQ(MST.MSGNUMBER, number) << id;
  }
  MsgIdIndex.close();
  // Reopened, both are still found.
  ASSERT_TRUE(MsgIdIndex.open()) << ErrorText();
  MST = MsgIdIndexRec();
  MST.IDSTRING = "<AbCdE@example.com>";
  ASSERT_TRUE(MsgIdIndex.get(MST_IDSTRINGKEY));
  EXPECT_EQ(MST.MSGNUMBER, 300001u);
}

TEST(DictionaryTopics, TopicLinksListTheNewestMessageFirst) {
  TempDir dir;
  ScratchFile scratch(SIndex, dir.file("IDX009.ADF"));
  ASSERT_TRUE(scratch.createAndOpen()) << ErrorText();
  for (auto [topic, msg] : std::vector<std::pair<uint32_t, uint32_t>>{{1, 5}, {1, 9}, {2, 7}, {1, 3}}) {
    SIN.ID = topic;
    SIN.MSGNUMBER = msg;
    ASSERT_TRUE(SIndex.add()) << ErrorText();
  }
  EXPECT_EQ(walk(SIndex, SIN_IdKey, SIN.MSGNUMBER), (std::vector<uint32_t>{9, 5, 3, 7}));
  EXPECT_EQ(walk(SIndex, SIN_MsgKey, SIN.MSGNUMBER), (std::vector<uint32_t>{3, 5, 7, 9}));
}

TEST(DictionarySearch, ResultsReadNewestFirst) {
  TempDir dir;
  ScratchFile scratch(Search, dir.file("IDX032.ADF"));
  ASSERT_TRUE(scratch.createAndOpen()) << ErrorText();
  for (uint32_t id : {10u, 30u, 20u}) {
    SEA.ID = id;
    ASSERT_TRUE(Search.add()) << ErrorText();
  }
  EXPECT_EQ(walk(Search, SEA_IdKey, SEA.ID), (std::vector<uint32_t>{30, 20, 10}));
}

TEST(DictionaryPersons, PersonStringsAreOneRegardlessOfCase) {
  TempDir dir;
  ScratchFile scratch(Person, dir.file("IDX005.ADF"));
  ASSERT_TRUE(scratch.createAndOpen()) << ErrorText();
  Person.clear();
  PER.PERSONID = 1;
  PER.PERSONSTRING = "José Smith <js@example.org>";
  ASSERT_TRUE(Person.add()) << ErrorText();
  PER.PERSONID = 2;
  PER.PERSONSTRING = "JOSÉ SMITH <JS@EXAMPLE.ORG>";
  EXPECT_FALSE(Person.add());
  EXPECT_EQ(ErrorCode(), ErrDuplicateKey);
}

}  // namespace
