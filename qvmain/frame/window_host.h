// Where procedure windows open, and their stored geometry.
//
// Procedure windows open inside the frame's window area when the frame
// runs, else on their own (as in the tests of a single window). Their
// position and size, and the column widths of their lists, are kept in the
// control file by window and list number.
#pragma once

#include <QList>

class QHeaderView;
class QMdiArea;
class QString;
class QWidget;

namespace qvm {

// Window numbers: 1..25 of the first window-position set, 26..50 of the
// second.
enum WindowSlot : int {
  SlotFrame = 1,
  SlotImportMeny = 2,
  SlotImportIt = 3,
  SlotChangeForum = 4,
  SlotBrowseBox = 5,
  SlotUserPanel = 6,
  SlotDirectoryDialog = 7,
  SlotGpForum = 8,
  SlotGpCodes = 9,
  SlotSetIndex = 10,
  SlotStartupWizard = 11,
  SlotHelp = 12,
  SlotUpdateBox = 13,
  SlotAddForum = 14,
  SlotNewDbName = 15,
  SlotUpdateCodes = 16,
  SlotAbout = 17,
  SlotForumLup = 18,
  SlotBrowseMsgNmbr = 19,
  SlotBrowseMail = 20,
  SlotIndexControl = 21,
  // Slots above 25 are kept in the second position set (slot - 25).
  SlotThreadTree = 26,
  SlotGpThread = 27,
  SlotGpSection = 28,
  SlotGpAns = 29,
  SlotGpWordList = 30,
  SlotBrowseTopics = 31,
  SlotClassify = 32,
  SlotGroupProc = 33,
  SlotPurge = 34,
  SlotShowAlias = 35,
  SlotMergePersons = 36,
  SlotUpdatePerson = 37,
  SlotDuplicates = 38,
  SlotAddressExport = 39,
  SlotTextFind = 40,
  SlotBrowsePerson = 41,
  SlotBrowseTasks = 42,
  SlotBrowseBatch = 43,
  SlotShowLog = 44,
  SlotWordList = 45,
  SlotStopList = 46,
  SlotUpdateStopList = 47,
  SlotSearchWz = 48,
  SlotStartTask = 49,
  SlotTaskRun = 50,
};

// List numbers of the column widths (1..20).
enum ListSlot : int {
  ListChangeForum = 1,
  ListBrowseBox = 2,
  ListGpForum = 3,
  ListGpCodes = 4,
  ListForumLup = 5,
  ListBrowseMsgNmbr = 6,
  ListBrowseNews = 7,
  ListBrowseMail = 8,
  ListGpThread = 16,
  ListGpSection = 17,
  ListGpAns = 18,
  ListGpWordList = 19,
  ListBrowseTopics = 9,
  ListBrowsePerson = 10,
  ListShowAlias = 11,
  ListMergePersons = 12,
  ListWordList = 14,
  ListStopList = 15,
  ListBrowseTasks = 13,
  ListBrowseBatch = 20,
};

enum class Geometry { PositionOnly, PositionAndSize };

// The frame's window area (set by the frame; nullptr when no frame runs).
void setWindowArea(QMdiArea* area);
QMdiArea* windowArea();

// Shows a note in the frame's status bar for a while (nothing when no frame
// runs).
void noteInStatusBar(const QString& text);

// Shows a procedure window (which should have Qt::WA_DeleteOnClose). With a
// slot, its stored geometry is applied now and stored again when it closes;
// PositionOnly keeps the window's own size (forms), PositionAndSize takes the
// stored size too, never below the window's smallest useful size (lists).
void showProcedureWindow(QWidget* w, int slot = 0, Geometry kind = Geometry::PositionAndSize);

// Applies the stored column widths of a list (defaults where none was
// stored) and stores them again when the header goes.
void trackColumns(QHeaderView* header, int list, const QList<int>& defaults);

}  // namespace qvm
