// The program's frame, a multi-document window with the menu
// tree, the tool bar and the status bar. It starts the procedures, keeps the
// active database, answers the private events that other windows post to it
// and takes the exit path (procedure MAINMENY).
#pragma once

#include <QMainWindow>
#include <QMap>
#include <QPointer>

class QAction;
class QLabel;
class QMdiArea;
class QMenu;
class QTimer;
class QToolBar;

namespace qvm {

class TaskMonitorTimer;

inline const QString kFrameTitle = QStringLiteral(" Quorvane Mail, Forum & Newsgroup Message Archiver ");
inline const QString kNoDatabase = QStringLiteral("[No Active Database]");

class MainFrame : public QMainWindow {
  Q_OBJECT

 public:
  // `startupResult` is what the start-up checks returned (1, or 99 on the first start).
  explicit MainFrame(int startupResult, QWidget* parent = nullptr);
  ~MainFrame() override;

  QMdiArea* area() const { return area_; }
  // The menu item of a procedure number (nullptr when the menus have none).
  QAction* menuAction(int number) const { return menuActions_.value(number); }
  QAction* buttonAction(int number) const { return buttonActions_.value(number); }
  QAction* classifyButton() const { return classifyButton_; }
  QAction* printSetupAction() const { return printSetup_; }
  QAction* exitAction() const { return exit_; }
  TaskMonitorTimer* taskMonitor() const { return monitor_; }
  QMenu* personsMenu() const { return personsMenu_; }
  QString titleSuffix() const { return suffix_; }
  bool exitRefusedLast() const { return exitRefused_; }

  // Chooses a menu command, as the menu item or its button does.
  void choose(int number);
  // The exit path (File > Exit, the exit button, closing the window).
  void requestExit();
  // The help topic F1 opens: the active window's, else the frame's own.
  QString activeHelpTopic() const;

 protected:
  bool event(QEvent* e) override;
  void closeEvent(QCloseEvent* e) override;

 private:
  void buildMenus();
  void buildToolBar();
  void addItem(QMenu* menu, int number, const QString& text, const QString& status, char gate);
  QAction* addButton(int number, const QString& icon, const QString& tip, char gate);
  void updateClock();
  void evaluateDatabase();
  void setMenusEnabled(bool on);
  void applyGating();
  void setPersonsTexts(int kind);
  void setSuffix(const QString& suffix);
  void execute(int number);
  bool closeOtherWindows();
  void exitStep();
  void closeDown();
  void deleteDatabase();
  void printSetup();
  void startDatabaseBrowse();
  bool exclusiveRuns() const;
  void tellNotOpened(int number, const QString& why);

  int startupResult_;
  bool wizardPosted_ = false;
  bool menusOn_ = true;
  bool browseOpen_ = false;
  bool taskToolsOnly_ = false;
  bool mayClose_ = false;
  bool exitRefused_ = false;
  QString exitGroup_;
  // The thread of the last procedure that needs the database to itself.
  QString exclusiveThread_;
  QString suffix_;
  QMdiArea* area_ = nullptr;
  QToolBar* toolBar_ = nullptr;
  QMenu* personsMenu_ = nullptr;
  QMenu* classifyMenu_ = nullptr;
  QMenu* taskMenu_ = nullptr;
  QAction* printSetup_ = nullptr;
  QAction* exit_ = nullptr;
  QAction* classifyButton_ = nullptr;
  QLabel* dateZone_ = nullptr;
  QLabel* timeZone_ = nullptr;
  QTimer* clock_ = nullptr;
  TaskMonitorTimer* monitor_ = nullptr;
  QMap<int, QAction*> menuActions_;
  QMap<int, QAction*> buttonActions_;
  QMap<int, QAction*> classifyPopup_;  // the classify button's pop-up, by procedure number
  QMap<QAction*, char> gates_;  // 'D' needs a database, 'B' a browse, 0 always
  QList<QAction*> topMenus_;
};

// The date and time as the configured formats show them ("" for a format
// that shows nothing).
QString formatDate(const QDate& d, int format);
QString formatTime(const QTime& t, int format);

}  // namespace qvm
