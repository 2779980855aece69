// The ID counter and the settings blocks of the control file: defaults,
// round trips through the file, the invalid-item stop, the tuning tables,
// window positions and list columns.
#include <gtest/gtest.h>

#include <thread>

#include "dictionary/dictionary.h"
#include "services/datetime.h"
#include "services/file_service.h"
#include "services/globals.h"
#include "services/ids.h"
#include "services/installation.h"
#include "services/settings.h"
#include "services/settings_items.h"
#include "services/window_settings.h"
#include "support/services_fixture.h"

using namespace qv;
using namespace qvtest;

namespace {

class SettingsTest : public InstallationTest {
 protected:
  // Closes and opens the installation again, so that everything comes from disk.
  void reopen() {
    closeInstallation();
    std::string error;
    ASSERT_TRUE(openInstallation(root, error)) << error;
  }
  static uint32_t storedCounter() {
    OP_CLOSE(OpShared, {FileControl});
    CTL = ControlRec();
    CTL.ID = 1;
    bool found = Control.get(CTL_IdKey);
    OP_CLOSE(OpRelease, {FileControl});
    return found ? CTL.NEXTNUMBER : 0;
  }
  static void setStoredCounter(uint32_t value) {
    OP_CLOSE(OpShared, {FileControl});
    CTL = ControlRec();
    CTL.ID = 1;
    ASSERT_TRUE(Control.get(CTL_IdKey));
    CTL.NEXTNUMBER = value;
    ASSERT_TRUE(Control.put());
    OP_CLOSE(OpRelease, {FileControl});
  }
  // Holds the control record of a block as another user; the hold lasts
  // while file 8 stays open.
  static void holdBlockAsOtherUser(uint8_t id) {
    OP_CLOSE(OpShared, {FileControl});
    CTL = ControlRec();
    CTL.ID = id;
    ASSERT_TRUE(Control.get(CTL_IdKey));
    int64_t pos = Control.position();
    std::thread other([&] {
      setCurrentHolder(999001);
      ASSERT_TRUE(Control.getPosition(pos));
      ASSERT_TRUE(Control.hold(0));
    });
    other.join();
  }
  static void endOtherUsersHold() {
    OP_CLOSE(OpForceClose, {FileControl});
  }
  void expectControlFileFailure() {
    const PromptRequest& r = onlyRequest();
    EXPECT_EQ(r.text, "The control file is not available - no access to application!");
    EXPECT_EQ(r.caption, "Fatal Error!");
  }
};

// ---- the ID counter ----

TEST_F(SettingsTest, NextNrStartsAtOneOnAnEmptyControlFile) {
  OP_CLOSE(OpEmpty, {FileControl});
  OP_CLOSE(OpShared, {FileControl});
  EXPECT_EQ(NextNr(), 1u);
  EXPECT_EQ(NextNr(), 2u);
  EXPECT_EQ(NextNr(), 3u);
  EXPECT_EQ(Control.records(), 1);
  OP_CLOSE(OpRelease, {FileControl});

  // Loading the general settings raises the counter.
  ASSERT_TRUE(Konfig(KLoad));
  OP_CLOSE(OpShared, {FileControl});
  EXPECT_EQ(NextNr(), 250000u);
  EXPECT_EQ(NextNr(), 250001u);
  OP_CLOSE(OpRelease, {FileControl});
  EXPECT_TRUE(prompts.requests.empty()) << prompts.transcript();
}

TEST_F(SettingsTest, NextNrCountsOnFromTheInstallationsCounter) {
  OP_CLOSE(OpShared, {FileControl});
  uint32_t a = NextNr();
  uint32_t b = NextNr();
  OP_CLOSE(OpRelease, {FileControl});
  EXPECT_EQ(a, 250000u);
  EXPECT_EQ(b, a + 1);
  EXPECT_EQ(storedCounter(), b + 1);

  reopen();
  OP_CLOSE(OpShared, {FileControl});
  EXPECT_EQ(NextNr(), b + 1) << "no ID is handed out twice";
  OP_CLOSE(OpRelease, {FileControl});
}

TEST_F(SettingsTest, NextNrReportsAFailedWrite) {
  holdBlockAsOtherUser(1);
  uint32_t before = storedCounter();
  EXPECT_EQ(NextNr(), 0u);
  const PromptRequest& r = onlyRequest();
  EXPECT_EQ(r.text, std::string(errorMessage(ErrHeld)) + "\r\nNext ID cannot be generated!");
  EXPECT_EQ(r.caption, "Control File Error");

  prompts.reset();
  Mem.DoTask = RunUnattended;
  EXPECT_EQ(NextNr(), 0u);
  EXPECT_TRUE(prompts.requests.empty()) << prompts.transcript();
  endOtherUsersHold();
  EXPECT_EQ(storedCounter(), before);
}

// ---- block 1 ----

TEST_F(SettingsTest, GeneralBlockDefaults) {
  // A control file without the block: loading creates it.
  OP_CLOSE(OpEmpty, {FileControl});
  KonfigSet(ItemTypeAheadPause, 33);
  KonfigSetText(ItemImportDirectory, "left over in memory");
  ASSERT_TRUE(Konfig(KLoad));
  OP_CLOSE(OpShared, {FileControl});
  EXPECT_EQ(Control.records(), 1);
  OP_CLOSE(OpRelease, {FileControl});

  const std::map<int, int64_t> defaults = {{2, 1},  {3, 15}, {4, 1},  {6, 0},  {7, 0},  {8, 0},  {9, 1},
                                           {10, 17}, {11, 0}, {12, 17}, {13, 7}, {15, 0}, {16, 2}, {17, 0},
                                           {18, 0}, {19, 0}};
  for (auto [item, value] : defaults) EXPECT_EQ(KonfigGet(item), value) << "item " << item;
  EXPECT_EQ(KonfigGet(ItemLastIdCheck), today());
  for (int item : {14, 20, 21}) EXPECT_EQ(KonfigText(item), "") << "item " << item;
  EXPECT_EQ(storedCounter(), 250000u);
}

TEST_F(SettingsTest, LoadRaisesALowCounterOnly) {
  setStoredCounter(1234);
  ASSERT_TRUE(Konfig(KLoad));
  EXPECT_EQ(storedCounter(), 250000u);

  setStoredCounter(312345);
  ASSERT_TRUE(Konfig(KLoad));
  EXPECT_EQ(storedCounter(), 312345u);
  EXPECT_TRUE(prompts.requests.empty()) << prompts.transcript();
}

TEST_F(SettingsTest, LoadFillsOnlyItemsThatAreZero) {
  KonfigSet(ItemTypeAheadPause, 22);
  KonfigSet(2, 0);
  KonfigSet(ItemLastIdCheck, 0);
  ASSERT_TRUE(Konfig(KSave));
  ASSERT_TRUE(Konfig(KLoad));
  EXPECT_EQ(KonfigGet(ItemTypeAheadPause), 22);
  EXPECT_EQ(KonfigGet(2), 1);
  EXPECT_EQ(KonfigGet(ItemLastIdCheck), today());
}

TEST_F(SettingsTest, GeneralItemsRoundTrip) {
  int64_t v = 0;
  std::string t;
  t = "Signature line, with ünïcödé";
  ASSERT_TRUE(Konfig(KSet, ItemImportDirectory, v, t));
  t = "0123456789ABCDEFGHIJ";  // longer than the 15 characters of item 20
  ASSERT_TRUE(Konfig(KSet, 20, v, t));
  KonfigSetText(21, "last mailbox");
  v = 4000000000;  // the mailbox ID is unsigned
  ASSERT_TRUE(Konfig(KSet, ItemLastMailbox, v, t));
  KonfigSet(ItemSchedulerInterval, 3600);
  KonfigSet(ItemLastIdCheck, dateFromYMD(2001, 9, 30));
  KonfigSet(ItemDateFormat, 10);
  KonfigSet(ItemTimeFormat, 3);
  ASSERT_TRUE(Konfig(KSave));

  // Changed in memory only, then loaded from disk again.
  KonfigSet(ItemSchedulerInterval, 1);
  KonfigSetText(ItemImportDirectory, "scratch");
  ASSERT_TRUE(Konfig(KLoad));
  reopen();

  ASSERT_TRUE(Konfig(KGet, ItemImportDirectory, v, t));
  EXPECT_EQ(t, "Signature line, with ünïcödé");
  ASSERT_TRUE(Konfig(KGet, 20, v, t));
  EXPECT_EQ(t, "0123456789ABCDE");
  EXPECT_EQ(KonfigText(21), "last mailbox");
  ASSERT_TRUE(Konfig(KGet, ItemLastMailbox, v, t));
  EXPECT_EQ(v, 4000000000);
  EXPECT_EQ(t, "4000000000");
  EXPECT_EQ(KonfigGet(ItemSchedulerInterval), 3600);
  EXPECT_EQ(KonfigGet(ItemLastIdCheck), dateFromYMD(2001, 9, 30));
  EXPECT_EQ(KonfigGet(ItemDateFormat), 10);
  EXPECT_EQ(KonfigGet(ItemTimeFormat), 3);
  EXPECT_TRUE(prompts.requests.empty()) << prompts.transcript();
}

TEST_F(SettingsTest, SavingSettingsKeepsTheCounter) {
  OP_CLOSE(OpShared, {FileControl});
  NextNr();
  NextNr();
  OP_CLOSE(OpRelease, {FileControl});
  KonfigSet(ItemTypeAheadPause, 30);
  ASSERT_TRUE(Konfig(KSave));
  EXPECT_EQ(storedCounter(), 250002u);
}

TEST_F(SettingsTest, InvalidItemStopsTheProgram) {
  int64_t v = 0;
  std::string t;
  for (auto call : std::initializer_list<std::function<void()>>{
           [&] { Konfig(KGet, 1, v, t); },
           [&] { Konfig(KSet, 22, v, t); },
           [&] { Konfig(KGetDisplay, 21, v, t); },
           [&] { Konfig(KSetDisplay, 67, v, t); },
           [] { KonfigGet(0); },
           [] { KonfigSet(99, 1); },
           [] { KonfigFont(23); },
           [&] { AutoPath(KGet, 16, t); },
           [&] { WSVars(KGet, 45, v, t); },
       }) {
    auto halted = haltText(call);
    ASSERT_TRUE(halted);
    EXPECT_EQ(*halted, "Internal Error - invalid xType");
  }
}

TEST_F(SettingsTest, UnreadableControlFileIsReported) {
  holdBlockAsOtherUser(1);
  EXPECT_FALSE(Konfig(KSave));
  expectControlFileFailure();
  prompts.reset();
  // Loading reads the held block and writes back only what loading changed.
  EXPECT_TRUE(Konfig(KLoad));
  EXPECT_TRUE(prompts.requests.empty()) << prompts.transcript();
  endOtherUsersHold();

  // A block whose defaults loading must write back cannot be loaded while held.
  std::array<uint8_t, 200> data{};
  bool created = false;
  ASSERT_TRUE(loadBlock(1, data, {}, created));
  std::fill(data.begin() + 6, data.begin() + 10, 0);  // item 5, the date of the last ID check
  ASSERT_TRUE(saveBlock(1, data));
  holdBlockAsOtherUser(1);
  EXPECT_FALSE(Konfig(KLoad));
  expectControlFileFailure();
  endOtherUsersHold();
}

// ---- block 9 ----

TEST_F(SettingsTest, DisplayBlockDefaults) {
  OP_CLOSE(OpEmpty, {FileControl});
  KonfigSet(ItemColourHighlight, 1);
  KonfigSetFont(ItemFontFirst, {"Courier", 12, true});
  ASSERT_TRUE(Konfig(KLoadDisplay));
  std::map<int, int64_t> expected = {{22, 255}, {23, 12632256}, {24, 8388608}, {25, 255}, {38, 1},
                                     {39, 1},   {58, 78},       {59, 1}};
  for (int i = 26; i <= 30; ++i) expected[i] = 4;
  for (int i = 22; i <= 66; ++i) {
    if (i >= 33 && i <= 36) continue;
    int64_t want = expected.count(i) ? expected[i] : 0;
    EXPECT_EQ(KonfigGet(i), want) << "item " << i;
  }
  for (int i = 33; i <= 36; ++i) {
    FontSetting f = KonfigFont(i);
    EXPECT_EQ(f.name, "Arial") << "item " << i;
    EXPECT_EQ(f.size, 8) << "item " << i;
    EXPECT_FALSE(f.bold);
  }
}

TEST_F(SettingsTest, DisplayItemsRoundTrip) {
  int64_t v = 0x00FF8040;
  std::string t;
  ASSERT_TRUE(Konfig(KSetDisplay, ItemColourCounters, v, t));
  v = 7;
  ASSERT_TRUE(Konfig(KSetDisplay, ItemSpeedDuplicates, v, t));
  KonfigSet(ItemHardLineEnds, 3);
  KonfigSetFont(34, {"DejaVu Sans Mono", 11, true});
  ASSERT_TRUE(Konfig(KSaveDisplay));
  reopen();
  ASSERT_TRUE(Konfig(KGetDisplay, ItemColourCounters, v, t));
  EXPECT_EQ(v, 0x00FF8040);
  EXPECT_EQ(KonfigGet(ItemSpeedDuplicates), 7);
  EXPECT_EQ(KonfigGet(ItemHardLineEnds), 3);
  FontSetting f = KonfigFont(34);
  EXPECT_EQ(f.name, "DejaVu Sans Mono");
  EXPECT_EQ(f.size, 11);
  EXPECT_TRUE(f.bold);
  EXPECT_EQ(KonfigFont(ItemFontFirst).name, "Arial");
  EXPECT_EQ(SpeedVal(KGet, ItemSpeedDuplicates), 1250) << "loading the block sets the working values";
}

// ---- SpeedVal ----

TEST_F(SettingsTest, SpeedValTablesForEveryPosition) {
  const int64_t t26[] = {50, 100, 250, 500, 750, 1000, 1250};
  const int64_t t27[] = {50, 100, 200, 275, 350, 500, 700};
  const int64_t t28[] = {1, 3, 7, 10, 20, 30, 40};
  const int64_t t30[] = {10, 20, 20, 25, 25, 50, 50};
  const int64_t t31[] = {8, 16, 30, 50, 70, 85, 100};
  for (int p = 1; p <= 7; ++p) {
    for (int item = 26; item <= 30; ++item) KonfigSet(item, p);
    SpeedVal(KSet, 0);
    EXPECT_EQ(SpeedVal(KGet, ItemSpeedDuplicates), t26[p - 1]) << "position " << p;
    EXPECT_EQ(SpeedVal(KGet, ItemSpeedPurge), t27[p - 1]) << "position " << p;
    EXPECT_EQ(SpeedVal(KGet, ItemSpeedIndex), t28[p - 1]) << "position " << p;
    EXPECT_EQ(SpeedVal(KGet, ItemSpeedFind), t28[p - 1]) << "position " << p;
    EXPECT_EQ(SpeedVal(KGet, ItemSpeedImport), t30[p - 1]) << "position " << p;
    EXPECT_EQ(SpeedVal(KGet, ItemImportSlice), t31[p - 1]) << "position " << p;
  }
  // Each item has its own position; 31 follows 30's.
  KonfigSet(ItemSpeedDuplicates, 1);
  KonfigSet(ItemSpeedPurge, 7);
  KonfigSet(ItemSpeedIndex, 2);
  KonfigSet(ItemSpeedFind, 6);
  KonfigSet(ItemSpeedImport, 3);
  SpeedVal(KSet, 0);
  EXPECT_EQ(SpeedVal(KGet, ItemSpeedDuplicates), 50);
  EXPECT_EQ(SpeedVal(KGet, ItemSpeedPurge), 700);
  EXPECT_EQ(SpeedVal(KGet, ItemSpeedIndex), 3);
  EXPECT_EQ(SpeedVal(KGet, ItemSpeedFind), 30);
  EXPECT_EQ(SpeedVal(KGet, ItemSpeedImport), 20);
  EXPECT_EQ(SpeedVal(KGet, ItemImportSlice), 30);
}

TEST_F(SettingsTest, SpeedValFallbacksForUnreadablePositions) {
  for (int item = 26; item <= 30; ++item) KonfigSet(item, 2);
  SpeedVal(KSet, 0);
  ASSERT_EQ(SpeedVal(KGet, ItemSpeedImport), 20);
  for (int bad : {0, 8, 255}) {
    for (int item = 26; item <= 30; ++item) KonfigSet(item, bad);
    SpeedVal(KSet, 0);
    EXPECT_EQ(SpeedVal(KGet, ItemSpeedDuplicates), 500) << "position " << bad;
    EXPECT_EQ(SpeedVal(KGet, ItemSpeedPurge), 300) << "position " << bad;
    EXPECT_EQ(SpeedVal(KGet, ItemSpeedIndex), 4) << "position " << bad;
    EXPECT_EQ(SpeedVal(KGet, ItemSpeedFind), 4) << "position " << bad;
    EXPECT_EQ(SpeedVal(KGet, ItemImportSlice), 4) << "position " << bad;
    EXPECT_EQ(SpeedVal(KGet, ItemSpeedImport), 20) << "item 30 keeps its last value";
  }
}

TEST_F(SettingsTest, SpeedValPassesOtherItemsThrough) {
  EXPECT_EQ(SpeedVal(3, 25, 77), 77);
  EXPECT_EQ(SpeedVal(3, 32, -5), -5);
  EXPECT_EQ(SpeedVal(1, 26, 9), 9);
}

// ---- block 4 ----

TEST_F(SettingsTest, AutoPathDefaultsAndRoundTrip) {
  EXPECT_EQ(AutoPathGet(ItemTempDirectory), root + "/TEMP");
  EXPECT_EQ(AutoPathGet(ItemDataDirectory), root);
  EXPECT_EQ(Mem.TempDir, root + "/TEMP");
  EXPECT_EQ(Mem.FileDir, root);

  std::string t = root + "/scratch";
  ASSERT_TRUE(AutoPath(KSet, ItemTempDirectory, t));
  t = root + "/databases";
  ASSERT_TRUE(AutoPath(KSet, ItemDataDirectory, t));
  ASSERT_TRUE(AutoPath(KGet, ItemTempDirectory, t));
  EXPECT_EQ(t, root + "/scratch");
  ASSERT_TRUE(AutoPath(KSave));
  reopen();
  EXPECT_EQ(AutoPathGet(ItemTempDirectory), root + "/scratch");
  EXPECT_EQ(AutoPathGet(ItemDataDirectory), root + "/databases");
  EXPECT_EQ(Mem.TempDir, root + "/scratch") << "the installation uses the chosen directories";
  EXPECT_EQ(Mem.FileDir, root + "/databases");
}

// ---- block 10 ----

TEST_F(SettingsTest, WSVarsDefaults) {
  EXPECT_EQ(WSVarsText(ItemIndexRoot), Mem.FileDir);
  EXPECT_EQ(MasIdxPath, Mem.FileDir);
  const std::map<int, int64_t> defaults = {{49, 1}, {50, 10000}, {51, 0}, {52, 0},
                                           {53, 1}, {54, 1},     {55, 1}, {56, 1}};
  for (auto [item, value] : defaults) EXPECT_EQ(WSVarsGet(item), value) << "item " << item;
}

TEST_F(SettingsTest, WSVarsRoundTrip) {
  int64_t v = 0;
  std::string t = root + "/INDEX";
  ASSERT_TRUE(WSVars(KSet, ItemIndexRoot, v, t));
  v = 2500;
  ASSERT_TRUE(WSVars(KSet, ItemSearchPause, v, t));
  WSVarsSet(ItemIndexNumbers, 0);
  WSVarsSet(ItemFrequentForum, 0);
  WSVarsSet(ItemForumFooters, 1);
  ASSERT_TRUE(WSVars(KSave));
  reopen();
  EXPECT_EQ(WSVarsText(ItemIndexRoot), root + "/INDEX");
  EXPECT_EQ(MasIdxPath, root + "/INDEX");
  EXPECT_EQ(WSVarsGet(ItemSearchPause), 2500);
  EXPECT_EQ(WSVarsGet(ItemIndexNumbers), 0) << "0 is a setting, not a blank";
  EXPECT_EQ(WSVarsGet(ItemFrequentForum), 0);
  EXPECT_EQ(WSVarsGet(ItemForumFooters), 1);
}

TEST_F(SettingsTest, WSVarsWithItem49BlankStartsFromTheDefaults) {
  // A block written with item 49 blank and everything else set.
  WSVarsSetText(ItemIndexRoot, "/elsewhere");
  WSVarsSet(ItemSearchPause, 1);
  for (int i = 51; i <= 56; ++i) WSVarsSet(i, i % 2 ? 0 : 7);
  ASSERT_TRUE(WSVars(KSave));
  std::array<uint8_t, 200> data{};
  bool created = false;
  ASSERT_TRUE(loadBlock(10, data, {}, created));
  data[100] = ' ';  // item 49
  ASSERT_TRUE(saveBlock(10, data));

  Mem.FileDir = root + "/files";
  ASSERT_TRUE(WSVars(KLoad));
  EXPECT_EQ(WSVarsText(ItemIndexRoot), root + "/files");
  EXPECT_EQ(WSVarsGet(ItemIndexNumbers), 1);
  EXPECT_EQ(WSVarsGet(ItemSearchPause), 10000);
  EXPECT_EQ(WSVarsGet(ItemForumFooters), 0);
  EXPECT_EQ(WSVarsGet(ItemNewsFooters), 0);
  for (int i = 53; i <= 56; ++i) EXPECT_EQ(WSVarsGet(i), 1) << "item " << i;
}

TEST_F(SettingsTest, WSVarsIndexRootDefaultsToTheDatabaseRoot) {
  WSVarsSetText(ItemIndexRoot, "");
  ASSERT_TRUE(WSVars(KSave));
  Mem.FileDir = "/srv/archive";
  ASSERT_TRUE(WSVars(KLoad));
  EXPECT_EQ(WSVarsText(ItemIndexRoot), "/srv/archive");
  EXPECT_EQ(WSVarsGet(ItemSearchPause), 10000) << "the other items are kept";
}

// ---- window positions and list columns ----

TEST_F(SettingsTest, WindowPosIgnoresValuesOf2000AndMore) {
  WindowRect r;
  ASSERT_TRUE(WindowPos(3, 4, r));
  WindowRect defaults = r;
  EXPECT_GT(defaults.width, 0);
  EXPECT_GT(defaults.height, 0);

  ASSERT_TRUE(WindowPos(2, 4, r = WindowRect{120, 2000, 1999, 2500}));
  ASSERT_TRUE(WindowPos(3, 4, r));
  EXPECT_EQ(r.x, 120);
  EXPECT_EQ(r.y, defaults.y);
  EXPECT_EQ(r.width, 1999);
  EXPECT_EQ(r.height, defaults.height);

  EXPECT_FALSE(WindowPos(3, 0, r));
  EXPECT_FALSE(WindowPos(3, 26, r));
  EXPECT_FALSE(WindowPos(2, 26, r));
}

TEST_F(SettingsTest, WindowPositionsPersist) {
  WindowRect r{0, 0, 640, 480};  // the top left corner is a place like any other
  ASSERT_TRUE(WindowPos(2, 1, r));
  ASSERT_TRUE(WindowPos(2, 25, r = WindowRect{300, 200, 1024, 768}));
  ASSERT_TRUE(WindowPos2(2, 25, r = WindowRect{10, 20, 30, 40}));
  ASSERT_TRUE(WindowPos(4, 0, r));
  ASSERT_TRUE(WindowPos2(4, 0, r));
  // Changed in memory only: loading brings back what was saved.
  ASSERT_TRUE(WindowPos(2, 25, r = WindowRect{1, 1, 1, 1}));
  reopen();

  ASSERT_TRUE(WindowPos(3, 1, r));
  EXPECT_EQ(r.x, 0);
  EXPECT_EQ(r.y, 0);
  EXPECT_EQ(r.width, 640);
  EXPECT_EQ(r.height, 480);
  ASSERT_TRUE(WindowPos(3, 25, r));
  EXPECT_EQ(r.x, 300);
  EXPECT_EQ(r.width, 1024);
  ASSERT_TRUE(WindowPos2(3, 25, r));
  EXPECT_EQ(r.x, 10);
  EXPECT_EQ(r.height, 40);
  EXPECT_TRUE(prompts.requests.empty()) << prompts.transcript();
}

TEST_F(SettingsTest, ListColKeepsFiveWidthsPerList) {
  std::array<int, kListColumns> w{};
  ASSERT_TRUE(ListCol(3, 2, w));
  std::array<int, kListColumns> defaults = w;
  for (int x : defaults) EXPECT_GT(x, 0);

  w = {50, 2500, 70, 999, 999};
  ASSERT_TRUE(ListCol(2, 2, w, 3));
  ASSERT_TRUE(ListCol(3, 2, w));
  EXPECT_EQ(w, (std::array<int, kListColumns>{50, defaults[1], 70, defaults[3], defaults[4]}));
  ASSERT_TRUE(ListCol(3, 2, w, 2));
  EXPECT_EQ(w, (std::array<int, kListColumns>{50, defaults[1], 0, 0, 0}));

  ASSERT_TRUE(ListCol(4, 0, w));
  reopen();
  ASSERT_TRUE(ListCol(3, 2, w));
  EXPECT_EQ(w[0], 50);
  EXPECT_EQ(w[2], 70);
  ASSERT_TRUE(ListCol(3, 3, w));
  EXPECT_EQ(w, defaults) << "other lists keep their defaults";
  EXPECT_FALSE(ListCol(3, 21, w));
  EXPECT_FALSE(ListCol(3, 0, w));
}

TEST_F(SettingsTest, WindowSettingsReportAControlFileFailure) {
  WindowRect r;
  holdBlockAsOtherUser(3);
  EXPECT_FALSE(WindowPos(4, 0, r));
  expectControlFileFailure();
  endOtherUsersHold();
  prompts.reset();
  std::array<int, kListColumns> w{};
  holdBlockAsOtherUser(6);
  EXPECT_FALSE(ListCol(4, 0, w));
  expectControlFileFailure();
  endOtherUsersHold();
}

}  // namespace
