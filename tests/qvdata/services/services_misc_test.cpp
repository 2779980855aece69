// The smaller services: directories and files on disk, stopwatches, progress
// scaling, type-ahead, dates and times, the context slots, the database's
// self-description, the installation lock and the explanatory page texts.
#include <gtest/gtest.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <fcntl.h>
#include <unistd.h>

#include <filesystem>
#include <set>
#include <thread>

#include "dictionary/dictionary.h"
#include "services/context.h"
#include "services/datetime.h"
#include "services/db_kind.h"
#include "services/dbref.h"
#include "services/default_stop_list.h"
#include "services/file_service.h"
#include "services/globals.h"
#include "services/installation.h"
#include "services/menu_texts.h"
#include "services/paths.h"
#include "services/prompt.h"
#include "services/record_helpers.h"
#include "services/settings.h"
#include "services/settings_items.h"
#include "services/utilities.h"
#include "support/services_fixture.h"
#include "wordindex/word_cut.h"

using namespace qv;
using namespace qvtest;
namespace fs = std::filesystem;

namespace {

// Makes a file impossible to remove (immutable) for the life of the guard;
// falls back to a read-only directory. `active` is false when neither works.
class Undeletable {
 public:
  explicit Undeletable(const std::string& file) : file_(file), dir_(fs::path(file).parent_path().string()) {
    int fd = ::open(file.c_str(), O_RDONLY);
    if (fd >= 0) {
      int flags = 0;
      if (::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0) {
        flags |= FS_IMMUTABLE_FL;
        immutable_ = ::ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
      }
      ::close(fd);
    }
    if (!immutable_ && ::geteuid() != 0) readOnlyDir_ = ::chmod(dir_.c_str(), 0500) == 0;
  }
  ~Undeletable() {
    if (immutable_) {
      int fd = ::open(file_.c_str(), O_RDONLY);
      int flags = 0;
      if (fd >= 0 && ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0) {
        flags &= ~FS_IMMUTABLE_FL;
        ::ioctl(fd, FS_IOC_SETFLAGS, &flags);
      }
      if (fd >= 0) ::close(fd);
    }
    if (readOnlyDir_) ::chmod(dir_.c_str(), 0700);
  }
  bool active() const { return immutable_ || readOnlyDir_; }

 private:
  std::string file_, dir_;
  bool immutable_ = false;
  bool readOnlyDir_ = false;
};

// ---- ExistPath ----

class PathsTest : public InstallationTest {};

TEST_F(PathsTest, ExistingDirectoryIsFoundSilently) {
  std::string cwd = fs::current_path().string();
  EXPECT_TRUE(ExistPath(PathReport, 0, "extra", root, false));
  EXPECT_TRUE(ExistPath(PathCreate, 0, "extra", root + "/CFG   ", false)) << "trailing blanks do not count";
  EXPECT_EQ(fs::current_path().string(), cwd) << "the current directory is unchanged";
  EXPECT_TRUE(prompts.requests.empty()) << prompts.transcript();
  EXPECT_EQ(prompts.beeps, 0);
}

TEST_F(PathsTest, RelativePathIsRefusedAtOnce) {
  EXPECT_FALSE(ExistPath(PathReport, 0, "extra", "CFG", false));
  EXPECT_FALSE(ExistPath(PathCreate, 0, "extra", "relative/dir", false));
  EXPECT_FALSE(ExistPath(PathReport, 0, "extra", "", false));
  EXPECT_TRUE(prompts.requests.empty()) << prompts.transcript();
  EXPECT_FALSE(fs::exists("relative"));
}

TEST_F(PathsTest, MissingDirectoryIsReported) {
  std::string missing = root + "/nowhere";
  EXPECT_FALSE(ExistPath(PathReport, 0, "Please check the setup.", missing, false));
  const PromptRequest& r = onlyRequest();
  EXPECT_EQ(r.text, "The specified path " + missing + " does not exist.\r\nPlease check the setup.");
  EXPECT_EQ(r.caption, " Path Not Found");
  EXPECT_EQ(prompts.beeps, 1);
  EXPECT_FALSE(fs::exists(missing)) << "kind 1 only looks";

  prompts.reset();
  EXPECT_FALSE(ExistPath(PathReport, 0, "x", missing, true));
  Mem.DoTask = RunUnattended;
  EXPECT_FALSE(ExistPath(PathReport, 0, "x", missing, false));
  EXPECT_TRUE(prompts.requests.empty()) << prompts.transcript();
  EXPECT_EQ(prompts.beeps, 0);
}

TEST_F(PathsTest, PathCreateMakesTheDirectory) {
  std::string missing = root + "/new/deeper";
  EXPECT_FALSE(ExistPath(PathCreate, 0, "", missing, false)) << "the result stays false after the creation";
  EXPECT_EQ(onlyRequest().caption, " Path Not Found");
  ASSERT_TRUE(fs::is_directory(missing));
  EXPECT_EQ(fs::status(missing).permissions() & fs::perms::all, fs::perms::owner_all);
  prompts.reset();
  EXPECT_TRUE(ExistPath(PathCreate, 0, "", missing, false));
  EXPECT_TRUE(prompts.requests.empty());

  // Quietly, too.
  EXPECT_FALSE(ExistPath(PathCreate, 0, "", root + "/quiet", true));
  EXPECT_TRUE(fs::is_directory(root + "/quiet"));
  EXPECT_TRUE(prompts.requests.empty());
}

TEST_F(PathsTest, FileDirKindsTakeTheDirectoryOfAFile) {
  selectDatabase(7, 1);
  fs::remove_all(root + "/F7");
  EXPECT_FALSE(ExistPath(FileDirReport, FileMsgNmbr, "", "ignored", false));
  EXPECT_EQ(onlyRequest().text, "The specified path " + root + "/F7 does not exist.\r\n");
  EXPECT_FALSE(fs::exists(root + "/F7"));

  prompts.reset();
  EXPECT_FALSE(ExistPath(FileDirCreate, FileMsgNmbr, "", "", true));
  EXPECT_TRUE(fs::is_directory(root + "/F7"));
  EXPECT_TRUE(ExistPath(FileDirReport, FileMsgNmbr, "", "", false));
  EXPECT_TRUE(ExistPath(FileDirReport, FileControl, "", "", false)) << "the configuration directory";
  EXPECT_TRUE(prompts.requests.empty()) << prompts.transcript();
}

TEST_F(PathsTest, FailedCreationStopsTheProgram) {
  writeFile(root + "/plain", "a file where a directory should be");
  std::string impossible = root + "/plain/sub";
  auto halted = haltText([&] { ExistPath(PathCreate, 0, "", impossible, false); });
  ASSERT_TRUE(halted);
  EXPECT_EQ(*halted, "Probable access rights violation");
  ASSERT_EQ(prompts.requests.size(), 2u) << prompts.transcript();
  EXPECT_EQ(prompts.requests[1].text,
            "The specified directory " + impossible + " could not be created.\r\nQuorvane will be halted.");
  EXPECT_EQ(prompts.requests[1].caption, " Directory Creation Error");
  EXPECT_EQ(prompts.beeps, 2);
}

// ---- GetFSize and DOSFunc ----

class FilesTest : public ServicesTest {
 protected:
  void SetUp() override {
    ServicesTest::SetUp();
    writeFile(dir.file("A.ADF"), std::string(10, 'a'));
    writeFile(dir.file("b.adf"), std::string(20, 'b'));
    writeFile(dir.file("C.DAT"), std::string(5, 'c'));
    writeFile(dir.file("NOTES.TXT"), std::string(7, 'n'));
    fs::create_directory(dir.file("SUB.ADF"));
    writeFile(dir.file("SUB.ADF/D.ADF"), std::string(100, 'd'));
  }
  TempDir dir;
};

TEST_F(FilesTest, GetFSizeAddsTheMatchingFiles) {
  EXPECT_EQ(GetFSize(dir.file("*.ADF")), 30) << "letter case does not matter; directories do not count";
  EXPECT_EQ(GetFSize(dir.file("*.DAT")), 5);
  EXPECT_EQ(GetFSize(dir.file("?.*")), 35);
  EXPECT_EQ(GetFSize(dir.file("*")), 42);
  EXPECT_EQ(GetFSize(dir.file("NOTES.TXT")), 7);
  EXPECT_EQ(GetFSize(dir.file("*.XYZ")), 0);
  EXPECT_EQ(GetFSize(dir.file("missing/*.ADF")), 0);
}

// File masks keep their DOS meaning: "*.*" every file, "*." the names
// without an extension (mail stores such as "Inbox" or Mac Eudora's "In").
TEST(FileMasks, DosMeaningOfStarDotStarAndStarDot) {
  for (const char* name : {"Inbox", "In", "Inbox.msf", "NEWS.TXT", "a.b.c", "archive.mbox"})
    EXPECT_TRUE(matchesPattern(name, "*.*")) << name;
  EXPECT_TRUE(matchesPattern("Inbox", "*."));
  EXPECT_TRUE(matchesPattern("In", "*."));
  EXPECT_FALSE(matchesPattern("Inbox.msf", "*."));
  EXPECT_FALSE(matchesPattern("NEWS.TXT", "*."));
  EXPECT_TRUE(matchesPattern("NEWS", "NEWS*.*"));
  EXPECT_TRUE(matchesPattern("News1.txt", "NEWS*.*"));
  EXPECT_FALSE(matchesPattern("Mail", "NEWS*.*"));
  EXPECT_TRUE(matchesPattern("inbox", "INBOX."));
  EXPECT_FALSE(matchesPattern("inbox.msf", "INBOX."));
  // The other masks as before: letter case does not matter, hidden names need a dot.
  EXPECT_TRUE(matchesPattern("message.mbx", "*.MBX"));
  EXPECT_FALSE(matchesPattern("Inbox", "*.MBX"));
  EXPECT_TRUE(matchesPattern("X1.K01", "*.K*"));
  EXPECT_FALSE(matchesPattern(".DS_Store", "*.*"));
  EXPECT_FALSE(matchesPattern(".hidden", "*."));
  EXPECT_TRUE(matchesPattern(".hidden", ".*"));
}

TEST_F(FilesTest, MasksFindFilesWithoutAnExtension) {
  writeFile(dir.file("Inbox"), "From x\n");
  EXPECT_EQ(GetFSize(dir.file("*.*")), 42 + 7);
  EXPECT_EQ(GetFSize(dir.file("*.")), 7);
}

TEST_F(FilesTest, DeleteOneFile) {
  EXPECT_TRUE(DOSFunc(DosDeleteFile, dir.file("C.DAT")));
  EXPECT_FALSE(fs::exists(dir.file("C.DAT")));
  EXPECT_TRUE(DOSFunc(DosDeleteFile, dir.file("C.DAT"))) << "a file that is not there is gone";
  EXPECT_TRUE(prompts.requests.empty()) << prompts.transcript();
}

TEST_F(FilesTest, DeleteOneFileWithoutTheRight) {
  Undeletable guard(dir.file("C.DAT"));
  if (!guard.active()) GTEST_SKIP() << "no way to make a file undeletable here";
  EXPECT_FALSE(DOSFunc(DosDeleteFile, dir.file("C.DAT")));
  EXPECT_EQ(onlyRequest().text, "No access rights - the file C.DAT cannot be removed");
  EXPECT_EQ(onlyRequest().caption, "File Deletion Error!");
  EXPECT_TRUE(fs::exists(dir.file("C.DAT")));
}

TEST_F(FilesTest, DeleteEveryMatchingFile) {
  EXPECT_TRUE(DOSFunc(DosDeleteMatching, "*.adf", dir.path()));
  EXPECT_FALSE(fs::exists(dir.file("A.ADF")));
  EXPECT_FALSE(fs::exists(dir.file("b.adf")));
  EXPECT_TRUE(fs::exists(dir.file("C.DAT")));
  EXPECT_TRUE(fs::exists(dir.file("SUB.ADF/D.ADF"))) << "directories and their contents are left alone";
  EXPECT_TRUE(DOSFunc(DosDeleteMatching, "*.ADF", dir.path())) << "nothing left to delete is no error";
  EXPECT_TRUE(prompts.requests.empty()) << prompts.transcript();
}

TEST_F(FilesTest, DeleteMatchingReportsFilesLeftBehind) {
  Undeletable guard(dir.file("A.ADF"));
  if (!guard.active()) GTEST_SKIP() << "no way to make a file undeletable here";
  EXPECT_FALSE(DOSFunc(DosDeleteMatching, "*.ADF", dir.path()));
  EXPECT_EQ(onlyRequest().text, "One or more files have not been \r\nremoved in subdirectory " + dir.path());
  EXPECT_EQ(onlyRequest().caption, "File Deletion Error!");
  EXPECT_TRUE(fs::exists(dir.file("A.ADF")));
  EXPECT_FALSE(fs::exists(dir.file("b.adf"))) << "the others are removed";
}

TEST_F(FilesTest, AnyMatch) {
  EXPECT_TRUE(DOSFunc(DosAnyMatch, "*.dat", dir.path()));
  EXPECT_TRUE(DOSFunc(DosAnyMatch, dir.file("NOTES.TXT")));
  EXPECT_TRUE(DOSFunc(DosAnyMatch, "notes.txt", dir.path()));
  EXPECT_FALSE(DOSFunc(DosAnyMatch, "*.XYZ", dir.path()));
  EXPECT_FALSE(DOSFunc(DosAnyMatch, "SUB.*", dir.path())) << "a directory is no file";
  EXPECT_FALSE(DOSFunc(DosAnyMatch, "*", dir.file("missing")));
}

// ---- stopwatches and progress ----

TEST(StartStopTest, ElapsedSecondsOnTheSameDay) {
  const int32_t day = dateFromYMD(2023, 3, 14);
  StartStopAt(0, 0, 0, 0);
  StartStopAt(1, 1, day, timeFromHMS(10, 0, 0));
  EXPECT_EQ(StartStopAt(2, 1, day, timeFromHMS(10, 1, 30, 50)), 90);
  StartStopAt(1, 2, day, timeFromHMS(10, 0, 0, 1));
  EXPECT_EQ(StartStopAt(2, 2, day, timeFromHMS(10, 0, 1, 99)), 1) << "hundredths are cut off";
  EXPECT_EQ(StartStopAt(2, 1, day, timeFromHMS(11, 0, 0)), 3600) << "a stop leaves the start as it was";
}

TEST(StartStopTest, AcrossMidnight) {
  const int32_t day = dateFromYMD(2023, 12, 31);
  StartStopAt(1, 3, day, timeFromHMS(23, 59, 0));
  EXPECT_EQ(StartStopAt(2, 3, day + 1, timeFromHMS(0, 0, 30)), 90);
  StartStopAt(1, 3, day, timeFromHMS(12, 0, 0));
  EXPECT_EQ(StartStopAt(2, 3, day + 1, timeFromHMS(13, 0, 0)), 25 * 3600);
}

TEST(StartStopTest, AcrossTwoAndMoreMidnights) {
  const int32_t day = dateFromYMD(2024, 2, 28);
  StartStopAt(1, 20, day, timeFromHMS(23, 0, 0));
  EXPECT_EQ(StartStopAt(2, 20, day + 2, timeFromHMS(1, 0, 0)), 26 * 3600);
  EXPECT_EQ(StartStopAt(2, 20, day + 5, timeFromHMS(22, 0, 0)), 5 * 86400 - 3600);
}

TEST(StartStopTest, SlotsAreIndependentAndCanBeCleared) {
  const int32_t day = dateFromYMD(2022, 1, 1);
  StartStopAt(1, 4, day, timeFromHMS(8, 0, 0));
  StartStopAt(1, 5, day, timeFromHMS(9, 0, 0));
  EXPECT_EQ(StartStopAt(2, 4, day, timeFromHMS(10, 0, 0)), 7200);
  EXPECT_EQ(StartStopAt(2, 5, day, timeFromHMS(10, 0, 0)), 3600);
  EXPECT_EQ(StartStopAt(1, 21, day, 1), 0);
  EXPECT_EQ(StartStopAt(2, 21, day, 100000), 0) << "there are 20 slots";
  EXPECT_EQ(StartStopAt(2, 0, day, 100000), 0);
  StartStopAt(0, 0, 0, 0);
  // A cleared slot counts from day 0, time 0: far more than a day.
  EXPECT_GT(StartStopAt(2, 4, day, timeFromHMS(10, 0, 0)), 86400);
}

TEST(CalcMaxTest, ScalesAnyCountToSixteenBits) {
  struct Case {
    int64_t count, steps;
    int16_t size;
  };
  for (const Case& c : {Case{100000, 4, 25000}, Case{0, 1, 0}, Case{1, 1, 1}, Case{32767, 1, 32767},
                        Case{32768, 2, 16384}, Case{65535, 2, 32767}, Case{65536, 3, 21845},
                        Case{10000000, 306, 32679}}) {
    int64_t steps = -1;
    int16_t size = -1;
    CalcMax(c.count, steps, size);
    EXPECT_EQ(steps, c.steps) << "count " << c.count;
    EXPECT_EQ(size, c.size) << "count " << c.count;
    EXPECT_LE(c.count / steps, 32767);
    if (steps > 1) {
      EXPECT_GT(c.count / (steps - 1), 32767) << "the smallest number of steps";
    }
  }
}

// ---- type-ahead ----

class TypeAheadTest : public InstallationTest {
 protected:
  void SetUp() override {
    InstallationTest::SetUp();
    std::string scratch;
    IncrementStep(scratch, U'x', 0);  // forget any earlier key
  }
  // Types the keys at the given times and returns the text.
  std::string type(std::initializer_list<std::pair<char32_t, int32_t>> keys) {
    for (auto [key, at] : keys) EXPECT_TRUE(IncrementStep(text, key, at)) << "key " << uint32_t(key);
    return text;
  }
  std::string text = "old";
};

TEST_F(TypeAheadTest, KeysWithinThePauseMakeOneText) {
  ASSERT_EQ(KonfigGet(ItemTypeAheadPause), 15);
  EXPECT_EQ(type({{U'S', 100000}}), "S") << "the first key starts a new text";
  EXPECT_EQ(type({{U'm', 100100}, {U'i', 100250}}), "Smi") << "150 hundredths apart is still soon enough";
  EXPECT_EQ(type({{U't', 100401}}), "t") << "151 hundredths is a new start";
  EXPECT_EQ(type({{U'h', 100420}, {U' ', 100440}, {U'J', 100460}, {U'7', 100480}}), "th J7");
}

TEST_F(TypeAheadTest, PauseFollowsTheSetting) {
  KonfigSet(ItemTypeAheadPause, 5);
  EXPECT_EQ(type({{U'a', 200000}, {U'b', 200050}, {U'c', 200101}}), "c");
  KonfigSet(ItemTypeAheadPause, 35);
  EXPECT_EQ(type({{U'a', 300000}, {U'b', 300350}}), "ab");
  KonfigSet(ItemTypeAheadPause, 36);  // above 35: taken as 15
  EXPECT_EQ(type({{U'a', 400000}, {U'b', 400150}, {U'c', 400301}}), "c");
  KonfigSet(ItemTypeAheadPause, 0);
  EXPECT_EQ(type({{U'a', 500000}, {U'b', 500150}, {U'c', 500301}}), "c");
}

TEST_F(TypeAheadTest, AtMostTenCharacters) {
  int32_t t = 600000;
  for (char c : std::string("abcdefghijkl")) EXPECT_TRUE(IncrementStep(text, char32_t(c), t += 10));
  EXPECT_EQ(text, "abcdefghij");
  text.clear();
  for (char32_t c : {U'ä', U'ö', U'ü', U'é', U'è', U'à', U'ç', U'ñ', U'ß', U'Ø', U'Å'})
    EXPECT_TRUE(IncrementStep(text, c, t += 10));
  EXPECT_EQ(text, "äöüéèàçñßØ") << "ten characters, not ten bytes";
}

TEST_F(TypeAheadTest, OtherKeysAreNotTaken) {
  text = "ab";
  for (char32_t k : {U'!', U'\t', U'\r', U'-', char32_t(0x20AC), char32_t(0xD7)})
    EXPECT_FALSE(IncrementStep(text, k, 700000)) << uint32_t(k);
  EXPECT_EQ(text, "ab");
}

TEST_F(TypeAheadTest, BackspaceRemovesTheLastCharacter) {
  EXPECT_EQ(type({{U'a', 800000}, {U'ö', 800010}, {U'\b', 800020}}), "a");
  EXPECT_EQ(type({{U'\b', 800030}, {U'\b', 800040}}), "");
}

// ---- dates and times ----

TEST(DateTimeTest, DayNumbersAndWeekdays) {
  EXPECT_EQ(dateFromYMD(1801, 1, 1), 4);
  EXPECT_EQ(weekday(4), 4) << "1 January 1801 was a Thursday";
  EXPECT_EQ(dateFromYMD(2000, 1, 1) % 7, 6) << "a Saturday";
  EXPECT_STREQ(weekdayName(dateFromYMD(2000, 1, 1)), "Sat");
  int32_t sunday = dateFromYMD(2024, 6, 9);
  EXPECT_EQ(sunday % 7, 0);
  EXPECT_EQ(weekday(sunday), 0);
  EXPECT_STREQ(weekdayName(sunday), "Sun");
  EXPECT_STREQ(weekdayName(sunday + 1), "Mon");
  EXPECT_EQ(dateFromYMD(2024, 3, 1) - dateFromYMD(2024, 2, 28), 2) << "a leap year";
  EXPECT_EQ(dateFromYMD(1900, 3, 1) - dateFromYMD(1900, 2, 28), 1) << "1900 was no leap year";

  for (int32_t d : {4, 36525, 72000, dateFromYMD(2099, 12, 31)}) {
    int y, m, day;
    ymdFromDate(d, y, m, day);
    EXPECT_EQ(dateFromYMD(y, m, day), d);
  }
  EXPECT_EQ(dateFromYMD(2023, 2, 29), 0);
  EXPECT_EQ(dateFromYMD(2023, 13, 1), 0);
  EXPECT_EQ(dateFromYMD(1800, 12, 31), 0);
  EXPECT_STREQ(monthName(1), "Jan");
  EXPECT_STREQ(monthName(12), "Dec");
  EXPECT_STREQ(monthName(0), "");
  EXPECT_STREQ(monthName(13), "");
}

TEST(DateTimeTest, TimesAreHundredthsPlusOne) {
  EXPECT_EQ(timeFromHMS(0, 0, 0), 1);
  EXPECT_EQ(timeFromHMS(23, 59, 59, 99), kHundredthsPerDay);
  int h, m, s;
  hmsFromTime(timeFromHMS(13, 5, 42, 17), h, m, s);
  EXPECT_EQ(h, 13);
  EXPECT_EQ(m, 5);
  EXPECT_EQ(s, 42);
  hmsFromTime(kHundredthsPerDay, h, m, s);
  EXPECT_EQ(h, 23);
  EXPECT_EQ(s, 59);
}

TEST(DateTimeTest, DisplayFormats) {
  int32_t d = dateFromYMD(2004, 7, 9);
  EXPECT_EQ(formatDate(d, 2), "07-09-2004");
  EXPECT_EQ(formatDate(d, 6), "09-07-2004");
  EXPECT_EQ(formatDate(d, 10), "2004-07-09");
  EXPECT_FALSE(formatDate(d, 17).empty());
  EXPECT_EQ(formatDate(0, 10), "") << "no date";
  EXPECT_EQ(formatDate(dateFromYMD(1801, 1, 2), 10), "1801-01-02");
  EXPECT_EQ(formatDate(dateFromYMD(1999, 12, 31), 2), "12-31-1999");
  EXPECT_EQ(formatDate(dateFromYMD(1999, 1, 2), 6), "02-01-1999");

  EXPECT_EQ(formatTime(timeFromHMS(13, 5, 0), 1), "13:05");
  EXPECT_EQ(formatTime(timeFromHMS(13, 5, 0), 3), "01:05PM");
  EXPECT_EQ(formatTime(timeFromHMS(0, 30, 0), 3), "12:30AM");
  EXPECT_EQ(formatTime(timeFromHMS(12, 0, 0), 3), "12:00PM");
  EXPECT_EQ(formatTime(timeFromHMS(11, 59, 59), 3), "11:59AM");
  EXPECT_FALSE(formatTime(timeFromHMS(13, 5, 0), 7).empty());
  EXPECT_EQ(formatTime(0, 1), "") << "no time";
}

class DateSettingTest : public InstallationTest {};

TEST_F(DateSettingTest, SetDateAndSetTimeFollowThePreferences) {
  std::string description, picture;
  EXPECT_EQ(SetDate(description, picture), 17) << "the default";
  EXPECT_EQ(description, "Windows setting");
  EXPECT_EQ(SetTime(description, picture), 7);
  EXPECT_EQ(description, "Windows setting");

  for (auto [value, text] : {std::pair{2, "mm-dd-yyyy"}, {6, "dd-mm-yyyy"}, {10, "yyyy-mm-dd"}}) {
    KonfigSet(ItemDateFormat, value);
    EXPECT_EQ(SetDate(description, picture), value);
    EXPECT_EQ(description, text);
  }
  for (auto [value, text] : {std::pair{1, "hh:mm"}, {3, "hh:mmXM"}}) {
    KonfigSet(ItemTimeFormat, value);
    EXPECT_EQ(SetTime(description, picture), value);
    EXPECT_EQ(description, text);
  }

  // A value outside the tables fills nothing.
  description = picture = "untouched";
  KonfigSet(ItemDateFormat, 5);
  KonfigSet(ItemTimeFormat, 2);
  EXPECT_EQ(SetDate(description, picture), 0);
  EXPECT_EQ(SetTime(description, picture), 0);
  EXPECT_EQ(description, "untouched");
  EXPECT_EQ(picture, "untouched");
}

// ---- context slots ----

TEST(ContextTest, SlotsKeepTheirWidth) {
  std::string long80(80, 'x');
  EXPECT_EQ(Context(KSet, long80), "");
  EXPECT_EQ(Context(KGet), std::string(63, 'x'));
  EXPECT_EQ(MailContext(KSet, long80), "");
  EXPECT_EQ(MailContext(KGet), std::string(74, 'x'));

  Context(KSet, "thread 4711");
  MailContext(KSet, "mail 42");
  EXPECT_EQ(Context(KGet), "thread 4711");
  EXPECT_EQ(MailContext(KGet), "mail 42") << "the slots are separate";

  EXPECT_EQ(Context(KLoad, "ignored"), "");
  EXPECT_EQ(Context(KSave, "ignored"), "");
  EXPECT_EQ(Context(KGet), "thread 4711") << "other operations change nothing";

  // Cut on a character boundary.
  Context(KSet, std::string(62, 'a') + "é");
  EXPECT_EQ(Context(KGet), std::string(62, 'a'));
  Context(KSet, "");
  EXPECT_EQ(Context(KGet), "");
}

// ---- the database's self-description ----

class DbRefTest : public InstallationTest {
 protected:
  void SetUp() override {
    InstallationTest::SetUp();
    selectDatabase(3, 2);
    FOR.DESCRIPTION = "My Mail";
    FOR.PERSONID = 250001;
    FOR.MAILADDRESS = "me@example.com";
    FOR.ALTADDRESS[0] = "old@example.com";
    FOR.ALTADDRESS[1] = "12345,678";
    FOR.ALTADDRESS[3] = "after-a-blank@example.com";
    OP_CLOSE(OpShared, {FileDbRef});
  }
  void TearDown() override {
    OP_CLOSE(OpRelease, {FileDbRef});
    InstallationTest::TearDown();
  }
  static void readStored() {
    DbRef.setFileOrder();
    ASSERT_TRUE(DbRef.next());
  }
};

TEST_F(DbRefTest, AddsTheSingleRecordThenChangesIt) {
  ASSERT_TRUE(UpdREF(ReportShow));
  EXPECT_EQ(DbRef.records(), 1);
  REF = DbRefRec();
  readStored();
  EXPECT_EQ(REF.TYPE, KindMailDb);
  EXPECT_EQ(REF.DESCRIPTION.str(), "My Mail");
  EXPECT_EQ(REF.PERSONID, 250001);
  EXPECT_EQ(REF.MAILADDRESS.str(), "me@example.com");
  EXPECT_EQ(REF.ALTADDRESS[0].str(), "old@example.com");
  EXPECT_EQ(REF.ALTADDRESS[1].str(), "12345,678");
  EXPECT_TRUE(REF.ALTADDRESS[3].blank()) << "addresses after the first blank one are left out";

  FOR.DESCRIPTION = "Renamed";
  ASSERT_TRUE(UpdREF(ReportShow));
  EXPECT_EQ(DbRef.records(), 1);
  REF = DbRefRec();
  readStored();
  EXPECT_EQ(REF.DESCRIPTION.str(), "Renamed");
  EXPECT_TRUE(prompts.requests.empty()) << prompts.transcript();
}

TEST_F(DbRefTest, WritesOnlyWhenTheRecordDiffers) {
  ASSERT_TRUE(UpdREF(ReportShow));
  readStored();
  int64_t pos = DbRef.position();
  // Another user holds the record: a write would fail.
  std::thread other([&] {
    setCurrentHolder(555001);
    ASSERT_TRUE(DbRef.getPosition(pos));
    ASSERT_TRUE(DbRef.hold(0));
  });
  other.join();

  EXPECT_TRUE(UpdREF(ReportShow)) << "nothing to write";
  EXPECT_TRUE(prompts.requests.empty()) << prompts.transcript();

  FOR.MAILADDRESS = "new@example.com";
  EXPECT_FALSE(UpdREF(ReportShow));
  EXPECT_EQ(onlyRequest().text, "Record update error!\r\n" + std::string(errorMessage(ErrHeld)));
  EXPECT_EQ(onlyRequest().caption, DbRef.name());
  OP_CLOSE(OpForceClose, {FileDbRef});
  OP_CLOSE(OpShared, {FileDbRef});
}

TEST_F(DbRefTest, ForumDatabasesKeepNoMailAddresses) {
  FOR.TYPE = KindForumDb;
  ASSERT_TRUE(UpdREF(ReportShow));
  REF = DbRefRec();
  readStored();
  EXPECT_EQ(REF.TYPE, KindForumDb);
  EXPECT_EQ(REF.PERSONID, 0);
  EXPECT_TRUE(REF.MAILADDRESS.blank());
  EXPECT_TRUE(REF.ALTADDRESS[0].blank());
}

// ---- the installation ----

class InstallationLifecycleTest : public ServicesTest {
 protected:
  void TearDown() override {
    closeInstallation();
    Mem = MemState();
    MasIdxPath.clear();
    ServicesTest::TearDown();
  }
  // Tries to open the installation in a separate process; returns the
  // error it met, or "" when the open succeeded.
  static std::string openInChild(const std::string& root) {
    int fds[2];
    if (::pipe(fds) != 0) return "no pipe";
    pid_t pid = ::fork();
    if (pid == 0) {
      ::close(fds[0]);
      std::string error;
      bool ok = openInstallation(root, error);
      std::string out = ok ? std::string() : (error.empty() ? "(no text)" : error);
      if (!out.empty() && ::write(fds[1], out.data(), out.size()) < 0) ::_exit(2);
      ::_exit(ok ? 0 : 1);
    }
    ::close(fds[1]);
    std::string got;
    char buf[512];
    for (ssize_t n; (n = ::read(fds[0], buf, sizeof buf)) > 0;) got.append(buf, size_t(n));
    ::close(fds[0]);
    int status = 0;
    ::waitpid(pid, &status, 0);
    if (!WIFEXITED(status)) return "child did not exit";
    if (WEXITSTATUS(status) == 0) return "";
    return got;
  }
  TempDir dir;
};

TEST_F(InstallationLifecycleTest, FirstOpenLaysOutTheRoot) {
  std::string root = dir.path() + "/Quorvane";
  std::string error;
  ASSERT_TRUE(openInstallation(root + "/", error)) << error;
  EXPECT_TRUE(installationOpen());
  EXPECT_EQ(Mem.Net, root);
  EXPECT_EQ(Mem.FileDir, root);
  EXPECT_EQ(Mem.TempDir, root + "/TEMP");
  EXPECT_EQ(MasIdxPath, root);
  for (const char* d : {"", "/CFG", "/TEMP"}) {
    ASSERT_TRUE(fs::is_directory(root + d)) << d;
    EXPECT_EQ(fs::status(root + d).permissions() & fs::perms::all, fs::perms::owner_all) << d;
  }
  EXPECT_TRUE(fs::is_regular_file(root + "/CFG/IDX008.ADF"));
  EXPECT_TRUE(prompts.requests.empty()) << prompts.transcript();

  closeInstallation();
  EXPECT_FALSE(installationOpen());
  EXPECT_EQ(useCount(FileControl), 0);
  ASSERT_TRUE(openInstallation(root, error)) << "opened again after closing: " << error;
}

TEST_F(InstallationLifecycleTest, SecondProgramOnTheSameRootIsRefused) {
  std::string root = dir.path() + "/shared";
  std::string error;
  ASSERT_TRUE(openInstallation(root, error)) << error;
  auto before = snapshotTree(root);
  EXPECT_EQ(openInChild(root),
            "Quorvane is already running on the installation " + root +
                ".\r\nOnly one program at a time may work on an installation.");
  EXPECT_EQ(snapshotTree(root), before) << "the refused program changed nothing";
  EXPECT_TRUE(installationOpen());

  // Another root is no problem meanwhile.
  EXPECT_EQ(openInChild(dir.path() + "/other"), "");

  closeInstallation();
  EXPECT_EQ(openInChild(root), "") << "free again once the first program closed it";
}

TEST_F(InstallationLifecycleTest, SelectingADatabaseSetsTheGlobals) {
  std::string error;
  ASSERT_TRUE(openInstallation(dir.path(), error)) << error;
  FOR = ForumsRec();
  FOR.ID = 260001;
  FOR.DESCRIPTION = "comp.lang.c++";
  FOR.TYPE = KindNewsDb;
  FOR.DIRNUMBER = 12;
  FOR.PERSONID = 77;
  useDatabase();
  EXPECT_EQ(Mem.ForumNumber, 260001u);
  EXPECT_EQ(Mem.Description, "comp.lang.c++");
  EXPECT_EQ(Mem.ForumType, KindNewsDb);
  EXPECT_EQ(Mem.Dirnamn, "F12");
  EXPECT_EQ(Mem.PersonID, 77u);
  EXPECT_EQ(filePath(FileMsgNmbr), Mem.Net + "/F12/IDX003.ADF");
}

// ---- page texts ----

TEST(MenuTextTest, EveryPageHasItsOwnText) {
  std::set<std::string> seen;
  for (int n = kMenuMailboxSetup; n <= kMenuLast; ++n) {
    std::string t = GetMenuText(n);
    ASSERT_FALSE(t.empty()) << "page " << n;
    EXPECT_LE(t.size(), 2500u) << "page " << n;
    EXPECT_TRUE(seen.insert(t).second) << "page " << n << " repeats another page's text";
    size_t heading = t.find("\r\n");
    EXPECT_NE(heading, std::string::npos) << "page " << n;
    EXPECT_GT(heading, 0u) << "page " << n << " starts with its heading";
    for (size_t i = 0; i < t.size(); ++i)
      if (t[i] == '\n') {
        EXPECT_TRUE(i > 0 && t[i - 1] == '\r') << "page " << n << ": a line break is CR LF";
      }
  }
  EXPECT_EQ(GetMenuText(0), "");
  EXPECT_EQ(GetMenuText(kMenuLast + 1), "");
  EXPECT_EQ(GetMenuText(-1), "");
}

// ---- the first stop list ----

// A new installation's stop list is written as the words stand: each must be
// what the word cutter makes of it, or a search would never meet it.
TEST(DefaultStopListTest, WordsAreStoredAsTheCutterUpperCasesThem) {
  std::set<std::string> seen;
  for (std::string_view w : defaultStopWords()) {
    EXPECT_EQ(wordUpper(w), w);
    EXPECT_TRUE(seen.insert(std::string(w)).second) << w << " stands twice";
  }
  EXPECT_TRUE(seen.count("THE"));
}

// ---- message texts ----

TEST(MessageTextTest, LineBreaksArePlainForTheTerminal) {
  EXPECT_EQ(plainLines("one\r\ntwo"), "one\ntwo");
  EXPECT_EQ(plainLines("\r\n\r\n"), "\n\n");
  // A lone CR is not a line break of a message: it stays.
  EXPECT_EQ(plainLines("a\rb\r\nc\r"), "a\rb\nc\r");
  EXPECT_EQ(plainLines(""), "");
}

}  // namespace
