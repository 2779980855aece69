// Private events by which the program's windows talk to one another. Each
// keeps its number as its event type and is posted, never sent: nothing
// waits on another window.
#pragma once

#include <QEvent>
#include <QString>

class QObject;

namespace qvm {

enum EventNumber : int {
  EvActivate = 546,          // restore if minimised, else bring to the front
  EvExecute = 1280,          // the frame carries a menu command out
  EvToolBarOff = 1288,       // a chooser or wizard is about to run
  EvEnableAll = 1289,        // enable all menus and the tool bar
  EvFindStart = 1300,        // to a browser: a text find starts from the current message
  EvFindSubjectHit = 1301,   // to a browser: show the message the find wrote into the context
  EvFindTextHit = 1302,      // to a browser: show it and mark the find string in its text
  EvFindEnd = 1303,          // to a browser: the find reached the end of the view
  EvFindClosed = 1314,       // to a browser: the find window closes
  EvThreadTree = 1315,       // to a browser: show the thread tree; to the tree: rebuild if the thread changed
  EvThreadTreeClose = 1316,  // to the tree: close; to the browser: the tree closed
  EvShowContextMessage = 1317,  // to a browser: show the message the thread tree wrote into the context
  EvTreeSelection = 1321,    // to the tree: the browser's selection changed
  EvBrowseToFront = 1328,    // to a browser: bring its window forward and focus its list
  EvStandardSearch = 1364,   // to a browser: start or activate the text find
  EvAttachTopics = 1365,     // to a browser: start the attach-topics window; to it: the selection may have changed
  EvAttachTopicsClose = 1366,  // to the attach-topics window: close; to the browser: it closed
  EvAttachTopicsChanged = 1367,  // to the attach-topics window: the selection changed
  EvPersonsChanged = 1351,   // to the person list: persons were merged; rebuild the title and the list
  EvJumpFromTree = 1368,     // to a browser: bookmark the view, then take view and message from the context
  EvProSearch = 1395,        // to a browser: professional search
  EvGroupSelection = 1397,   // to export, print and classify procedures: the selection changed
  EvGroupClosed = 1398,      // to a browser: a group procedure closed
  EvSelectionChanged = 1399, // to a browser: tell the export, print and classify procedures
  EvReevaluate = 1298,       // re-evaluate the active database
  EvForgetDatabase = 1299,   // forget the active database, then as 1330
  EvDeleteDatabase = 1318,   // delete the active database
  EvDeleteDatabase2 = 1319,
  EvToolsEnded = 1330,       // a task tool ended
  EvToolsEnded2 = 1331,
  EvBrowseOpened = 1345,
  EvBrowseClosed = 1346,
  EvStartTask = 1369,
  EvImportWizard = 1377,
  EvScheduledPurge = 1378,
  EvScheduledIndex = 1380,
  EvScheduledCount = 1381,
  EvScheduledDuplicates = 1382,
  EvBrowseBatch = 1384,
  EvTaskStep = 1385,
  EvCleanUp3 = 1392,
  EvCleanUp6 = 1393,
  EvScheduledRunEnded = 1394,
  EvStartupWizard = 1396,
  EvExit = 1404,             // the frame's exit command, re-posted until the groups are closed
  EvCloseDown = 1405,        // the frame's close-down
  EvImportFinished = 1410,   // to the import wizard: the import finished, close
  EvImportClosed = 1411,     // to the import wizard: the import window closed early
};

// A private event. `arg` carries a small value where an event needs one
// (the procedure number of an execute event).
class QvEvent : public QEvent {
 public:
  explicit QvEvent(int number, long long arg = 0) : QEvent(QEvent::Type(number)), arg_(arg) {}
  int number() const { return int(type()); }
  long long arg() const { return arg_; }

 private:
  long long arg_;
};

// The private event in `e`, or nullptr for any other event.
inline const QvEvent* privateEvent(QEvent* e) { return dynamic_cast<const QvEvent*>(e); }

// Posts event `number` to a window.
void postEvent(QObject* target, int number, long long arg = 0);
// Posts to the window registered under a thread name; false when none runs.
bool postToThread(const QString& name, int number, long long arg = 0);
// Posts to the main frame (thread name "MainMeny"); nothing when it does not run.
void postToFrame(int number, long long arg = 0);

}  // namespace qvm
