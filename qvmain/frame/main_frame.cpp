#include "frame/main_frame.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDate>
#include <QLabel>
#include <QLocale>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QStatusBar>
#include <QTime>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>

#include "browse/browse_kinds.h"
#include "events.h"
#include "frame/closing_service.h"
#include "frame/file_drop.h"
#include "frame/icons.h"
#include "frame/printer.h"
#include "frame/procedure_table.h"
#include "frame/procedures.h"
#include "frame/window_host.h"
#include "help/help_window.h"
#include "import/import_wizard.h"
#include "services/active_database.h"
#include "services/close_files.h"
#include "services/database_choice.h"
#include "services/databases.h"
#include "services/db_kind.h"
#include "services/globals.h"
#include "services/prompt.h"
#include "services/run_mode.h"
#include "services/procedure_starter.h"
#include "services/settings.h"
#include "services/settings_items.h"
#include "services/startup.h"
#include "setup/first_start.h"
#include "services/window_settings.h"
#include "tasks/task_monitor.h"
#include "tasks/task_run_window.h"
#include "window_registry/window_registry.h"

namespace qvm {

namespace {

// The status-bar note of a command whose window this version does not have yet.
const QString kNotYet = QStringLiteral(" (not available in this version)");
// How long the status bar says why a command's window did not open.
constexpr int kNoteMilliseconds = 10000;

// Items that stay enabled without an active database.
bool allowedWithoutDatabase(int number) {
  switch (number) {
    case ProcImportWizard:
    case ProcPreferences:
    case ProcRebuild:
    case ProcMailBoxSetup:
    case ProcDefineImports:
    case ProcScheduleTasks:
    case ProcShowTaskLog:
    case ProcSearchWizard:
      return true;
    default:
      return false;
  }
}

// The windows of the groups that close before a command that needs the
// database to itself and still stand: a window that took its close is
// hidden at once, though it goes only a little later.
QStringList standingWindows() {
  QStringList standing;
  for (const QString& g : {kFindGroup, kNotToolsGroup})
    for (const QString& name : TmMembers(g)) {
      QWidget* w = TmWindow(TmGetId(name));
      QWidget* outer = w && qobject_cast<QMdiSubWindow*>(w->parentWidget()) ? w->parentWidget() : w;
      if (outer && !outer->isHidden()) standing << name;
    }
  return standing;
}

bool isTaskTool(int number) {
  return number == ProcDefineImports || number == ProcScheduleTasks || number == ProcShowTaskLog;
}

}  // namespace

QString formatDate(const QDate& d, int format) {
  switch (format) {
    case 2: return d.toString(QStringLiteral("MM-dd-yyyy"));
    case 6: return d.toString(QStringLiteral("dd-MM-yyyy"));
    case 10: return d.toString(QStringLiteral("yyyy-MM-dd"));
    case 17: return QLocale::system().toString(d, QLocale::ShortFormat);
    default: return QString();
  }
}

QString formatTime(const QTime& t, int format) {
  switch (format) {
    case 1: return t.toString(QStringLiteral("HH:mm"));
    case 3: return t.toString(QStringLiteral("h:mm AP"));
    case 7: return QLocale::system().toString(t, QLocale::ShortFormat);
    default: return QString();
  }
}

MainFrame::MainFrame(int startupResult, QWidget* parent) : QMainWindow(parent), startupResult_(startupResult) {
  setAttribute(Qt::WA_DeleteOnClose, false);
  setWindowTitle(QStringLiteral(" Quorvane Message Archiver [No Active Database]"));
  setWindowIcon(systemIcon(QStringLiteral("AASYSTEM")));
  area_ = new QMdiArea(this);
  acceptFileDrops(area_->viewport(), [this](const QStringList& paths) {
    execute(ProcImportWizard);
    dropIntoImportMeny(paths);
  });
  area_->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  area_->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  setCentralWidget(area_);
  setWindowArea(area_);
  TmCreate(this, kFrameThread);
  if (startupResult == qv::StartupFirstRun) applyFirstStartSettings();

  buildMenus();
  buildToolBar();
  dateZone_ = new QLabel(this);
  timeZone_ = new QLabel(this);
  for (QLabel* l : {dateZone_, timeZone_}) {
    l->setContentsMargins(6, 0, 6, 0);
    statusBar()->addPermanentWidget(l);
  }

  resize(1000, 700);
  if (qv::KonfigGet(qv::ItemRestoreFrame) != 0) {
    qv::WindowRect r;
    if (qv::WindowPos(3, SlotFrame, r) && r.width > 0 && r.height > 0) setGeometry(r.x, r.y, r.width, r.height);
  }

  clock_ = new QTimer(this);
  clock_->setInterval(1000);
  connect(clock_, &QTimer::timeout, this, &MainFrame::updateClock);
  clock_->start();
  // The scheduler's idle check: the monitor looks for due tasks on its timer.
  monitor_ = new TaskMonitorTimer(this);
  updateClock();

  evaluateDatabase();
}

MainFrame::~MainFrame() { setWindowArea(nullptr); }

// ---- menus and tool bar ----

void MainFrame::addItem(QMenu* menu, int number, const QString& text, const QString& status, char gate) {
  QAction* a = menu->addAction(text);
  a->setStatusTip(status);
  a->setData(status);
  connect(a, &QAction::triggered, this, [this, number] { choose(number); });
  menuActions_[number] = a;
  gates_[a] = gate;
}

QAction* MainFrame::addButton(int number, const QString& icon, const QString& tip, char gate) {
  QAction* a = toolBar_->addAction(systemIcon(icon), tip);
  a->setToolTip(tip);
  a->setStatusTip(tip);
  a->setData(tip);
  if (number > 0) connect(a, &QAction::triggered, this, [this, number] { choose(number); });
  buttonActions_[number] = a;
  gates_[a] = gate;
  return a;
}

void MainFrame::buildMenus() {
  QMenu* file = menuBar()->addMenu(QStringLiteral("&File"));
  addItem(file, ProcChangeDatabase, QStringLiteral("&Change Active Database"), QStringLiteral("Change to another database"), 'D');
  addItem(file, ProcImportWizard, QStringLiteral("&Import Wizard"), QStringLiteral("Import Messages"), 0);
  addItem(file, ProcPreferences, QStringLiteral("&Preferences"), QStringLiteral("User definable settings"), 0);
  addItem(file, ProcMergeDatabases, QStringLiteral("Merge &Databases"), QStringLiteral("Merge two databases"), 'D');
  addItem(file, ProcRebuild, QStringLiteral("&Rebuild Utility"),
          QStringLiteral("Rebuild the database list and check next ID number"), 0);
  addItem(file, ProcMailBoxSetup, QStringLiteral("&MailBox Setup"), QStringLiteral("Set up a MailBox"), 0);
  taskMenu_ = file->addMenu(QStringLiteral("&Task Manager"));
  taskMenu_->menuAction()->setStatusTip(QStringLiteral("Automating the import process"));
  addItem(taskMenu_, ProcDefineImports, QStringLiteral("Define Import Procedures"), QStringLiteral("Define import procedures"), 0);
  addItem(taskMenu_, ProcScheduleTasks, QStringLiteral("Schedule Tasks"), QStringLiteral("Set up scheduled tasks"), 0);
  addItem(taskMenu_, ProcShowTaskLog, QStringLiteral("Show Task Log"), QStringLiteral("Show task log"), 0);
  addItem(file, ProcSearchWizard, QStringLiteral("Word Index &SetUp Wizard"),
          QStringLiteral("Wizard to set up Word Indexing preferences"), 0);
  file->addSeparator();
  printSetup_ = file->addAction(QStringLiteral("Print &Setup ..."));
  printSetup_->setStatusTip(QStringLiteral("Setup printer"));
  printSetup_->setData(printSetup_->statusTip());
  gates_[printSetup_] = 'D';
  connect(printSetup_, &QAction::triggered, this, &MainFrame::printSetup);
  file->addSeparator();
  exit_ = file->addAction(QStringLiteral("E&xit Quorvane"));
  exit_->setStatusTip(QStringLiteral("Exit Quorvane"));
  connect(exit_, &QAction::triggered, this, &MainFrame::requestExit);
  gates_[exit_] = 0;

  personsMenu_ = menuBar()->addMenu(QString());
  addItem(personsMenu_, ProcBrowsePersons, QString(), QString(), 'D');
  addItem(personsMenu_, ProcMergeDuplicates, QString(), QString(), 'D');
  addItem(personsMenu_, ProcExportAddresses, QStringLiteral("&Export Address Book "), QStringLiteral("Export Address Book"), 'D');

  QMenu* msgs = menuBar()->addMenu(QStringLiteral("&Messages"));
  addItem(msgs, ProcBrowseMessages, QStringLiteral("&Browse Messages"), QStringLiteral("Show Messages browse list"), 'D');
  addItem(msgs, ProcCountMessages, QStringLiteral("&Count Messages"), QStringLiteral("Show Count Messages starting window"), 'D');
  addItem(msgs, ProcPurgeMessages, QStringLiteral("Purge &Deleted Messages"),
          QStringLiteral("Show Purge Deleted Messages starting window"), 'D');
  msgs->addSeparator();
  addItem(msgs, ProcStandardSearch, QStringLiteral("&Standard Search"), QStringLiteral("Standard search"), 'B');
  addItem(msgs, ProcProSearch, QStringLiteral("&Professional Search"), QStringLiteral("Professional search"), 'B');
  classifyMenu_ = msgs->addMenu(QStringLiteral("Classify &Messages"));
  gates_[classifyMenu_->menuAction()] = 'B';
  addItem(classifyMenu_, ProcTopics, QStringLiteral("Topics"), QStringLiteral("Edit Message Topics list"), 'B');
  addItem(classifyMenu_, ProcAttachTopics, QStringLiteral("Attach Topics"), QStringLiteral("Associate messages with Topics"), 'B');
  addItem(classifyMenu_, ProcClassifySets, QStringLiteral("Classify Message Sets"), QStringLiteral("Classify sets of messages"), 'B');
  addItem(msgs, ProcExportMessages, QStringLiteral("&Export Messages"), QStringLiteral("Export messages"), 'B');
  addItem(msgs, ProcPrintMessages, QStringLiteral("P&rint Messages"), QStringLiteral("Print messages"), 'B');
  addItem(msgs, ProcCopyToClipboard, QStringLiteral("C&opy to Clip-board"), QStringLiteral("Copy to clip-board"), 'B');
  addItem(msgs, ProcThreadTree, QStringLiteral("Show T&hread Tree"), QStringLiteral("Show thread tree"), 'D');

  QMenu* idx = menuBar()->addMenu(QStringLiteral("&Indexing"));
  addItem(idx, ProcIndexedWords, QStringLiteral("&Indexed Words"), QStringLiteral("List of indexed Words"), 'D');
  addItem(idx, ProcNonIndexedWords, QStringLiteral("&Non Indexed Words"), QStringLiteral("List of non indexed Words"), 'D');
  addItem(idx, ProcBuildIndex, QStringLiteral("&Build Word Index"), QStringLiteral("Show Build Word Index starting window"), 'D');
  addItem(idx, ProcWordIndexStatus, QStringLiteral("&Word Index Status"), QStringLiteral("Toggle Auto Indexing"), 'D');
  for (QMenu* m : {personsMenu_, msgs, idx}) gates_[m->menuAction()] = 'D';

  QMenu* win = menuBar()->addMenu(QStringLiteral("&Window"));
  win->menuAction()->setStatusTip(QStringLiteral("Create and Arrange Windows"));
  connect(win, &QMenu::aboutToShow, this, [this, win] {
    win->clear();
    win->addAction(QStringLiteral("&Cascade"), area_, &QMdiArea::cascadeSubWindows);
    win->addAction(QStringLiteral("&Tile"), area_, &QMdiArea::tileSubWindows);
    win->addAction(QStringLiteral("Arrange &Icons"), area_, [this] {
      for (QMdiSubWindow* s : area_->subWindowList())
        if (s->isMinimized()) s->showMinimized();
    });
    win->addAction(QStringLiteral("C&lose All"), area_, &QMdiArea::closeAllSubWindows);
    const auto subs = area_->subWindowList();
    if (!subs.isEmpty()) win->addSeparator();
    int n = 0;
    for (QMdiSubWindow* s : subs) {
      QAction* a = win->addAction(QStringLiteral("&%1 %2").arg(++n).arg(s->windowTitle().trimmed()));
      a->setCheckable(true);
      a->setChecked(s == area_->activeSubWindow());
      connect(a, &QAction::triggered, area_, [this, s] { area_->setActiveSubWindow(s); });
    }
  });

  QMenu* help = menuBar()->addMenu(QStringLiteral("&Help"));
  help->menuAction()->setStatusTip(QStringLiteral("Windows Help"));
  help->addAction(QStringLiteral("&Contents"), this, [] { showHelp(QStringLiteral("Contents")); });
  help->addAction(QStringLiteral("&Search for Help On..."), this, [] { showHelpSearch(); });
  help->addAction(QStringLiteral("How to &Use Help"), this, [] { showHelp(QStringLiteral("How_to_use_help")); });
  help->addSeparator();
  QAction* news = help->addAction(QStringLiteral("What is new?"), this,
                                  [] { showHelp(QStringLiteral("~What_s_new_in_Quorvane_3.7_")); });
  news->setStatusTip(QStringLiteral("What is new in version 3.7?"));
  QAction* support = help->addAction(QStringLiteral("Su&pport"), this,
                                     [] { showHelp(QStringLiteral("~Support_and_future_updates")); });
  support->setStatusTip(QStringLiteral("Where to find support on Quorvane"));
  addItem(help, ProcAbout, QStringLiteral("&About.."), QStringLiteral("About this program"), 0);
  // F1: the help of the window in front, the frame's own topic when none is.
  QAction* windowHelp = new QAction(QStringLiteral("&Help on This Window"), help);
  windowHelp->setStatusTip(QStringLiteral("Help on the active window"));
  connect(windowHelp, &QAction::triggered, this, [this] { showHelp(activeHelpTopic()); });
  help->insertAction(help->actions().value(0), windowHelp);

  // The desktop's usual keys, shown in the menus; none takes a key the
  // system or the windows' text fields use themselves (Ctrl+C copies text).
  windowHelp->setShortcut(QKeySequence::HelpContents);
  for (auto [number, key] : {std::pair{ProcChangeDatabase, QKeySequence(QKeySequence::Open)},
                             std::pair{ProcStandardSearch, QKeySequence(QKeySequence::Find)},
                             std::pair{ProcProSearch, QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_F)},
                             std::pair{ProcPrintMessages, QKeySequence(QKeySequence::Print)}})
    menuActions_[number]->setShortcut(key);
  exit_->setShortcut(QKeySequence::Quit);
}

QString MainFrame::activeHelpTopic() const {
  if (QMdiSubWindow* sub = area_->activeSubWindow()) {
    QString topic = windowHelpTopic(sub->widget());
    if (!topic.isEmpty()) return topic;
  }
  return QStringLiteral("~What_is_Quorvane_");
}

void MainFrame::buildToolBar() {
  toolBar_ = addToolBar(QStringLiteral("Tools"));
  toolBar_->setObjectName(QStringLiteral("ToolBar"));
  toolBar_->setIconSize(QSize(24, 24));
  toolBar_->setMovable(false);
  addButton(ProcImportWizard, QStringLiteral("IMPORT"), QStringLiteral("Import messages"), 0);
  addButton(ProcChangeDatabase, QStringLiteral("TIDNING"), QStringLiteral("Change active database"), 'D');
  addButton(ProcPreferences, QStringLiteral("SETUP"), QStringLiteral("User definable settings"), 0);
  addButton(ProcScheduleTasks, QStringLiteral("TASK"), QStringLiteral("Schedule Tasks"), 0);
  toolBar_->addSeparator();
  addButton(ProcBrowsePersons, QStringLiteral("PERS2"), QString(), 'D');
  addButton(ProcMergeDuplicates, QStringLiteral("DUPL"), QString(), 'D');
  addButton(ProcExportAddresses, QStringLiteral("EXPADR"), QStringLiteral("Export address book"), 'D');
  addButton(ProcCountMessages, QStringLiteral("COUNT"), QStringLiteral("Count messages"), 'D');
  addButton(ProcPurgeMessages, QStringLiteral("TRASH1"), QStringLiteral("Purge Deleted Messages"), 'D');
  toolBar_->addSeparator();
  classifyButton_ = addButton(-1, QStringLiteral("ATTACH"), QStringLiteral("Classify Messages"), 'B');
  auto* popup = new QMenu(this);
  const std::pair<int, const char*> choices[] = {
      {ProcTopics, "Topics"}, {ProcAttachTopics, "Attach Topics"}, {ProcClassifySets, "Classify Message sets"}};
  for (auto [number, text] : choices) {
    QAction* a = popup->addAction(QString::fromLatin1(text), this, [this, number] { choose(number); });
    // The pop-up's entries tell what they do as the menu's items do.
    a->setData(menuActions_.value(number)->data());
    gates_[a] = 'B';
    classifyPopup_[number] = a;
  }
  classifyButton_->setMenu(popup);
  if (auto* b = qobject_cast<QToolButton*>(toolBar_->widgetForAction(classifyButton_)))
    b->setPopupMode(QToolButton::InstantPopup);
  addButton(ProcExportMessages, QStringLiteral("EXPMSG"), QStringLiteral("Export Messages"), 'B');
  addButton(ProcPrintMessages, QStringLiteral("SKRIV7"), QStringLiteral("Print messages"), 'B');
  addButton(ProcCopyToClipboard, QStringLiteral("COPY"), QStringLiteral("Copy to clip-board"), 'B');
  toolBar_->addSeparator();
  addButton(ProcIndexedWords, QStringLiteral("KONTROLL"), QStringLiteral("Indexed words"), 'B');
  addButton(ProcBuildIndex, QStringLiteral("ADMIN"), QStringLiteral("Build Word Index"), 'B');
  addButton(ProcStandardSearch, QStringLiteral("SEARCH2"), QStringLiteral("Standard search"), 'B');
  addButton(ProcProSearch, QStringLiteral("SEARCH3"), QStringLiteral("Pro search"), 'B');
  toolBar_->addSeparator();
  QAction* exitButton = toolBar_->addAction(systemIcon(QStringLiteral("EXIT1")), QStringLiteral("Exit Quorvane"));
  exitButton->setToolTip(QStringLiteral("Exit Quorvane"));
  connect(exitButton, &QAction::triggered, this, &MainFrame::requestExit);
}

void MainFrame::setPersonsTexts(int kind) {
  struct Texts {
    const char *menu, *browse, *browseStatus, *merge, *mergeStatus, *browseTip, *mergeTip;
  };
  static const Texts mail = {"Mail &Partners", "&Browse Mail Partners", "Show mail partners browse list",
                             "&Merge Duplicate Mail Partners", "Show Merge Duplicate Mail Partners starting window",
                             "Browse mail partners", "Merge duplicate mail partners"};
  static const Texts forum = {"Forum Mem&bers", "&Browse Forum Members", "Show Forum Members browse list",
                              "&Merge Duplicate Forum Members", "Show Merge Duplicate Forum Members starting window",
                              "Browse Forum members", "Merge duplicate Forum members"};
  static const Texts news = {"Newsgroup &Participants", "&Browse Newsgroup Participants",
                             "Show Newsgroup Participants browse list", "&Merge Duplicate Newsgroup Participants",
                             "Show Merge Duplicate Newsgroup Participants starting window",
                             "Browse Newsgroup participants", "Merge duplicate Newsgroup participants"};
  const Texts& t = kind == qv::KindMailDb ? mail : kind == qv::KindNewsDb ? news : forum;
  personsMenu_->setTitle(QString::fromLatin1(t.menu));
  QAction* b = menuActions_[ProcBrowsePersons];
  QAction* m = menuActions_[ProcMergeDuplicates];
  b->setText(QString::fromLatin1(t.browse));
  b->setData(QString::fromLatin1(t.browseStatus));
  m->setText(QString::fromLatin1(t.merge));
  m->setData(QString::fromLatin1(t.mergeStatus));
  for (auto [num, tip] : {std::pair{ProcBrowsePersons, t.browseTip}, std::pair{ProcMergeDuplicates, t.mergeTip}}) {
    QAction* a = buttonActions_[num];
    a->setText(QString::fromLatin1(tip));
    a->setToolTip(QString::fromLatin1(tip));
    a->setData(QString::fromLatin1(tip));
  }
}

// Enables each item by its gate, the menus' state and whether its window
// exists in this version; the status text says when it does not.
void MainFrame::applyGating() {
  bool db = qv::activeDatabaseId() != 0;
  auto allowed = [&](QAction* a, int number) {
    char gate = gates_.value(a);
    if (gate == 'D' && !db) return false;
    if (gate == 'B' && !browseOpen_) return false;
    if (!db && number > 0 && !allowedWithoutDatabase(number) && number != ProcAbout) return false;
    if (!menusOn_ && !(taskToolsOnly_ && isTaskTool(number))) return false;
    return true;
  };
  const int kind = qv::activeKind();
  // Returns whether the item's procedure is in this version at all.
  auto apply = [&](QAction* a, int number) {
    QString status = a->data().toString();
    const Procedure* p = procedure(number);
    bool inVersion = p && procedureInVersion(*p, kind);
    if (!inVersion) status += kNotYet;
    a->setEnabled(inVersion && allowed(a, number) && procedureAvailable(*p, kind));
    if (!status.isEmpty() && a->toolTip() != status) a->setStatusTip(status);
    return a->isEnabled();
  };
  for (auto it = menuActions_.begin(); it != menuActions_.end(); ++it) apply(it.value(), it.key());
  for (auto it = buttonActions_.begin(); it != buttonActions_.end(); ++it)
    if (it.key() > 0) apply(it.value(), it.key());
  // The classify sub-menu and the tool bar's pop-up offer the same three
  // commands: each is enabled when one of them can run.
  bool anyClassify = false;
  for (auto it = classifyPopup_.begin(); it != classifyPopup_.end(); ++it)
    anyClassify = apply(it.value(), it.key()) || anyClassify;
  for (QAction* a : {printSetup_, personsMenu_->menuAction()}) a->setEnabled(allowed(a, 0));
  classifyMenu_->menuAction()->setEnabled(allowed(classifyMenu_->menuAction(), 0) && anyClassify);
  classifyButton_->setEnabled(allowed(classifyButton_, 0) && menusOn_ && anyClassify);
  for (QAction* m : menuBar()->actions()) {
    char gate = gates_.value(m);
    if (gate == 'D') m->setEnabled(db && menusOn_);
  }
  taskMenu_->menuAction()->setEnabled(menusOn_ || taskToolsOnly_);
  exit_->setEnabled(true);
}

void MainFrame::setMenusEnabled(bool on) {
  menusOn_ = on;
  toolBar_->setEnabled(on || taskToolsOnly_);
  applyGating();
}

void MainFrame::setSuffix(const QString& suffix) {
  suffix_ = suffix.left(100);
  setWindowTitle(kFrameTitle + suffix_);
}

void MainFrame::updateClock() {
  dateZone_->setText(formatDate(QDate::currentDate(), int(qv::KonfigGet(qv::ItemDateFormat))));
  timeZone_->setText(formatTime(QTime::currentTime(), int(qv::KonfigGet(qv::ItemTimeFormat))));
  dateZone_->setVisible(!dateZone_->text().isEmpty());
  timeZone_->setVisible(!timeZone_->text().isEmpty());
}

// ---- the active database ----

void MainFrame::evaluateDatabase() {
  if (qv::activeDatabaseId() == 0 && !qv::unattended()) qv::ReopenLastDatabase();
  menusOn_ = true;
  toolBar_->setEnabled(true);
  if (qv::activeDatabaseId() == 0) {
    setSuffix(kNoDatabase);
    setPersonsTexts(qv::KindForumDb);
    applyGating();
    if (startupResult_ == 99 && !wizardPosted_) {
      wizardPosted_ = true;
      postEvent(this, EvStartupWizard);
    }
    return;
  }
  setSuffix(QStringLiteral("[") + QString::fromStdString(qv::activeDescription()).trimmed() + QStringLiteral("]"));
  setPersonsTexts(qv::activeKind());
  applyGating();
  startDatabaseBrowse();
}

void MainFrame::startDatabaseBrowse() {
  if (!isVisible()) {
    // At start-up the frame is not shown yet and its window area has no
    // size: the browser opens once the frame stands, so that it takes the
    // room it will have.
    QTimer::singleShot(0, this, [this] {
      if (isVisible() && qv::hasActiveDatabase()) startDatabaseBrowse();
    });
    return;
  }
  const Procedure* p = procedure(ProcBrowseMessages);
  const int kind = qv::activeKind();
  if (p && procedureAvailable(*p, kind)) startProcedure(threadName(*p, kind));
}

// ---- commands ----

void MainFrame::choose(int number) {
  // No other work while a task is due or runs.
  if (qv::runMode() != qv::RunInteractive) {
    tellNotOpened(number, QStringLiteral("a scheduled task runs"));
    return;
  }
  QApplication::setOverrideCursor(Qt::WaitCursor);
  postEvent(this, EvExecute, number);
}

// Closes the find windows, else the browses and maintenance windows.
// Returns true when a group had to be closed (the command waits).
bool MainFrame::closeOtherWindows() {
  const QStringList standing = standingWindows();
  for (const QString& g : {kFindGroup, kNotToolsGroup}) {
    bool stands = false;
    for (const QString& name : TmMembers(g)) stands = stands || standing.contains(name);
    if (!stands) continue;
    TmDestroyGroup(g);
    return true;
  }
  return false;
}

void MainFrame::execute(int number) {
  const Procedure* p = procedure(number);
  if (!p) return;
  bool keepIndexing = number == ProcSearchWizard && qv::IndexingInProgress;
  if (p->exclusive && !keepIndexing) {
    exclusiveThread_ = threadName(*p, qv::activeKind());
    const QStringList before = standingWindows();
    if (!before.isEmpty()) {
      closeOtherWindows();
      if (standingWindows() == before) {
        // a window refused to close: the command is dropped
        tellNotOpened(number, QStringLiteral("the open windows must close first"));
        return;
      }
      QApplication::setOverrideCursor(Qt::WaitCursor);
      postEvent(this, EvExecute, number);
      return;
    }
  }
  int kind = qv::activeKind();
  if (p->command != 0) {
    if (!postToThread(browseThreadName(kind), p->command))
      tellNotOpened(number, QStringLiteral("it works on the message browser, which is not open"));
    return;
  }
  QString name = threadName(*p, kind);
  if (postToThread(name, EvActivate)) return;
  if (p->toolBarOff) toolBar_->setEnabled(false);
  if (p->exclusive) {
    taskToolsOnly_ = isTaskTool(number);
    setMenusEnabled(false);
    if (p->noDatabaseTitle) setSuffix(kNoDatabase);
  }
  if (number == ProcPurgeMessages || number == ProcCountMessages) qv::GlobalRequest = number == ProcPurgeMessages ? 1 : 0;
  if (p->semafore != 0)
    qv::SemaFore(p->semafore);
  else if (!startProcedure(name))
    tellNotOpened(number, QStringLiteral("this version does not have it"));
}

// True while the window of a procedure that needs the database to itself
// runs: the windows closed for it post their ends, and neither the browser
// nor the menus come back before it has closed itself.
bool MainFrame::exclusiveRuns() const { return !exclusiveThread_.isEmpty() && TmGetId(exclusiveThread_) != 0; }

// A command whose window does not open says why in the status bar.
void MainFrame::tellNotOpened(int number, const QString& why) {
  QAction* a = menuActions_.value(number, buttonActions_.value(number));
  QString what = a ? (a->text().isEmpty() ? a->toolTip() : a->text()) : QString::number(number);
  what.remove(QLatin1Char('&'));
  statusBar()->showMessage(what + QStringLiteral(" did not open: ") + why + QLatin1Char('.'), kNoteMilliseconds);
}

// ---- events ----

bool MainFrame::event(QEvent* e) {
  const QvEvent* ev = privateEvent(e);
  if (!ev) return QMainWindow::event(e);
  switch (ev->number()) {
    case EvExecute:
      QApplication::restoreOverrideCursor();
      execute(int(ev->arg()));
      break;
    case EvToolBarOff: toolBar_->setEnabled(false); break;
    case EvEnableAll: setMenusEnabled(true); break;
    case EvReevaluate:
      if (!exclusiveRuns()) evaluateDatabase();
      break;
    case EvForgetDatabase:
      qv::forgetActiveDatabase();
      taskToolsOnly_ = false;
      evaluateDatabase();
      break;
    case EvToolsEnded:
    case EvToolsEnded2:
      if (exclusiveRuns()) break;
      taskToolsOnly_ = false;
      evaluateDatabase();
      break;
    case EvDeleteDatabase:
    case EvDeleteDatabase2: deleteDatabase(); break;
    case EvBrowseOpened:
      browseOpen_ = true;
      applyGating();
      break;
    case EvBrowseClosed:
      browseOpen_ = false;
      applyGating();
      break;
    case EvStartTask: execute(ProcRunTask); break;
    case EvImportWizard: execute(ProcImportWizard); break;
    case EvBrowseBatch:
      if (!postToThread(QStringLiteral("BrowseBatch"), EvActivate)) qv::SemaFore(205);
      break;
    case EvScheduledRunEnded: {
      qv::setRunMode(qv::RunInteractive);
      // A task log that could not be written is told before anything else.
      if (std::string failure = takeTaskLogFailure(); !failure.empty())
        qv::Message(failure, "Task Log Error", qv::Icon::Exclamation);
      int64_t after = qv::KonfigGet(qv::ItemAfterTask);
      if (after == 1)
        requestExit();
      else if (after == 0)
        postEvent(this, EvForgetDatabase);
      else
        postEvent(this, EvReevaluate);  // the windows closed for the task: the database's browse comes back
      break;
    }
    case EvStartupWizard:
      if (!postToThread(QStringLiteral("StartUpWizard"), EvActivate)) qv::SemaFore(22);
      break;
    case EvExit: exitStep(); break;
    case EvCloseDown: closeDown(); break;
    default: break;  // the task run window takes the steps, scheduled runs and clean-ups itself
  }
  return true;
}

// ---- deleting the active database ----

void MainFrame::deleteDatabase() {
  setMenusEnabled(false);
  if (!closeToolsFor(6)) {
    postEvent(this, EvDeleteDatabase);
    return;
  }
  qv::deleteActiveDatabase();
  setMenusEnabled(true);
  evaluateDatabase();
}

// ---- the exit path ----

void MainFrame::requestExit() {
  exitRefused_ = false;
  exitGroup_.clear();
  postEvent(this, EvExit);
}

void MainFrame::exitStep() {
  if (!qv::IndexingInProgress) {
    for (const QString& g : {kFindGroup, kImportGroup, kNotToolsGroup}) {
      if (!TmQuery(g)) continue;
      if (exitGroup_ == g) {
        // The group was asked to close and a window refused: the program stays.
        exitGroup_.clear();
        return;
      }
      exitGroup_ = g;
      TmDestroyGroup(g);
      postEvent(this, EvExit);
      return;
    }
  }
  postEvent(this, EvCloseDown);
}

void MainFrame::closeDown() {
  if (qv::IndexingInProgress) {
    exitRefused_ = true;
    qv::Message("You May NOT Exit until Indexing Is Done.\r\nThis is to Avoid Corruption.", "Exit Not Allowed",
                qv::Icon::Exclamation);
    return;
  }
  mayClose_ = true;
  close();
}

void MainFrame::closeEvent(QCloseEvent* e) {
  if (!mayClose_) {
    e->ignore();
    requestExit();
    return;
  }
  clock_->stop();
  // Windows that are not procedures (help) close with the frame.
  area_->closeAllSubWindows();
  qv::closeAllFiles();
  if (!isMinimized() && !isMaximized()) {
    qv::WindowRect r{x(), y(), width(), height()};
    qv::WindowPos(2, SlotFrame, r);
  }
  qv::WindowRect dummy;
  std::array<int, qv::kListColumns> widths{};
  qv::WindowPos(4, 0, dummy);
  qv::WindowPos2(4, 0, dummy);
  qv::ListCol(4, 0, widths);
  TmDestroy(this);
  e->accept();
}

void MainFrame::printSetup() { showPrintSetup(this); }

}  // namespace qvm
