// The browsers' commands: the events the frame and the other windows post,
// the context menus, status marks, copy and print, the look-ups and the
// browse context taken back from the thread tree and the find.
#include <QCheckBox>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPointer>
#include <QTableView>

#include "browse/attachment_saver.h"
#include "browse/browse_items.h"
#include "frame/icons.h"
#include "browse/browse_list.h"
#include "browse/browse_window.h"
#include "browse/message_pane.h"
#include "browse/pro_search.h"
#include "browse/status_marks.h"
#include "browse/view_settle.h"
#include "events.h"
#include "export/copy_msg.h"
#include "export/print_msg.h"
#include "frame/procedures.h"
#include "print/copy_progress.h"
#include "print/print_messages.h"
#include "services/db_kind.h"
#include "services/globals.h"
#include "services/prompt.h"
#include "window_registry/window_registry.h"

namespace qvm {

namespace {

// Commands the frame posts to the browse of the active database.
enum BrowseCommand : int {
  CmdCopyFirst = 1332,  // 1332..1336: copy scopes 1..5
  CmdCopyLast = 1336,
  CmdPrintMessage = 1337,
  CmdPrintThread = 1344,
  CmdAttachTopics = 1365,
  CmdExportGroup = 1400,
  CmdPrintGroup = 1401,
  CmdClassifyGroup = 1408,
};

const QString kThreadTree = QStringLiteral("ThreadTree");
const QString kClassify = QStringLiteral("Classify");
// The group procedures told of a new selection (event 1397).
const char* const kGroupProcedures[] = {"ExportProc", "PrintProc", "ClassifyProc"};

// GlobalRequest of a group command: 10 export, 11 print, 12 classify message sets.
int groupRequest(int command) {
  return command == CmdExportGroup ? 10 : command == CmdPrintGroup ? 11 : 12;
}

}  // namespace

void BrowseWindow::buildMenus() {
  contextMenu_ = new QMenu(this);
  QMenu* status = contextMenu_->addMenu(QStringLiteral("Status"));
  for (const StatusItem& item : info_.statusMenu) {
    if (!item.text) {
      status->addSeparator();
      continue;
    }
    int level = item.level, value = item.status;
    status->addAction(QString::fromLatin1(item.text), this, [this, level, value] { markStatus(level, value); });
  }
  copyMenu_ = new QMenu(QStringLiteral("Copy and Print"), this);
  for (const CopyItem& item : info_.copyMenu) {
    if (!item.text) {
      copyMenu_->addSeparator();
      continue;
    }
    int scope = item.scope;
    bool printing = item.print;
    copyMenu_->addAction(QString::fromLatin1(item.text), this, [this, scope, printing] {
      if (printing)
        print(scope);
      else
        copy(scope);
    });
  }
  contextMenu_->addMenu(copyMenu_);

  QTableView* table = list_->table();
  connect(table, &QWidget::customContextMenuRequested, this, [this, table](const QPoint& at) {
    QModelIndex index = table->indexAt(at);
    if (index.isValid()) list_->showMessage(list_->page()->idAt(index.row()));
    if (state_.selected == 0) return;
    contextMenu_->popup(table->viewport()->mapToGlobal(at));
  });
  QPlainTextEdit* reader = pane_->reader();
  connect(reader, &QWidget::customContextMenuRequested, this, [this, reader](const QPoint& at) {
    QMenu* menu = reader->createStandardContextMenu(at);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    if (state_.selected != 0) {
      saver_->addToMenu(menu, at);
      menu->addSeparator();
      for (QAction* a : copyMenu_->actions()) menu->addAction(a);
    }
    menu->popup(reader->viewport()->mapToGlobal(at));
  });
}

bool BrowseWindow::markStatus(int level, int status) {
  if (state_.selected == 0) return false;
  if (!qv::setStatus(kind_, qv::StatusLevel(level), state_.selected, status)) return false;
  list_->refreshRows();
  return true;
}

void BrowseWindow::copy(int scope) {
  if (state_.selected == 0) return;
  qv::CopyRequest r;
  r.scope = scope;
  r.messageId = state_.selected;
  copyMessages(r);
}

void BrowseWindow::print(int scope) {
  if (state_.selected == 0) return;
  qv::PrintRequest r;
  r.scope = scope;
  r.messageId = state_.selected;
  printMessages(this, r);
}

// Publishes the selection: the context slot, then the thread tree (1321),
// the attach-topics window (1367) and the group procedures (1399) when they run.
void BrowseWindow::tellSelection() {
  qv::writeBrowseContext(state_);
  if (qv::keepsThreads(kind_) && TmGetId(kThreadTree) != 0) postEvent(this, EvTreeSelection);
  postToThread(kClassify, EvAttachTopicsChanged);
  for (const char* name : kGroupProcedures)
    if (TmGetId(QString::fromLatin1(name)) != 0) {
      postEvent(this, EvSelectionChanged);
      break;
    }
}

// 1317: shows the message the thread tree or the find wrote into the
// context. 1368: the view becomes the bookmark, and view and message are
// taken from the context.
void BrowseWindow::takeContext(bool jump) {
  qv::BrowseState ctx = qv::readBrowseContext(kind_);
  if (!jump) {
    showMessage(ctx.selected);
    return;
  }
  saved_ = state_;
  showBookmark();
  ctx.kind = kind_;
  qv::BrowseState from = ctx;
  if (ctx.mode == qv::FmThread && ctx.selected != 0 && qv::chooseFromMessage(from, ctx.selected)) {
    ctx.threadNumber = from.threadNumber;
    ctx.threadAlpha = from.threadAlpha;
    ctx.threadHeading = from.threadHeading;
    ctx.threadCount = from.threadCount;
  }
  state_ = ctx;
  if (state_.mode == qv::resultMode(kind_)) resultOffered_ = true;
  fillSelector();
  relabel();
  rerun(ctx.selected);
}

void BrowseWindow::confirmDelete() {
  qv::Button b = qv::Message(
      "Do you really want to delete all messages in this database? If you do, the entire database directory will be "
      "removed.",
      " Database marked for deletion!", qv::Icon::Question, qv::BtnYes | qv::BtnNo, qv::BtnNo);
  if (b == qv::BtnYes) postToFrame(EvDeleteDatabase);
}

bool BrowseWindow::event(QEvent* e) {
  const QvEvent* ev = privateEvent(e);
  if (!ev) return QWidget::event(e);
  switch (ev->number()) {
    case EvThreadTree:
      if (qv::keepsThreads(kind_) && state_.selected != 0) {
        qv::writeBrowseContext(state_);
        startProcedure(kThreadTree);
      }
      break;
    case EvTreeSelection: postToThread(kThreadTree, EvThreadTree); break;
    case EvToolsEnded:
      // After a purge, merge or count: messages may have gone, counts changed;
      // a view whose subject went shows every message again.
      refreshTitle();
      if (bool fromResult = state_.mode == qv::resultMode(kind_); qv::settleView(state_)) {
        if (fromResult) {
          resultOffered_ = false;
          resultMarks_ = {};
        }
        fillSelector();
      }
      relabel();
      rerun(state_.selected);
      break;
    case CmdCopyFirst:
    case CmdCopyFirst + 1:
    case CmdCopyFirst + 2:
    case CmdCopyFirst + 3:
    case CmdCopyLast: copy(ev->number() - CmdCopyFirst + 1); break;
    case CmdPrintMessage: print(1); break;
    case CmdPrintThread: print(2); break;
    case EvStandardSearch:
      qv::writeBrowseContext(state_);
      startProcedure(QString::fromLatin1(info_.findThread));
      break;
    case CmdAttachTopics: startProcedure(kClassify); break;
    case EvProSearch: professionalSearch(); break;
    case CmdExportGroup:
    case CmdPrintGroup:
    case CmdClassifyGroup: {
      int request = groupRequest(ev->number());
      const char* name = kGroupProcedures[request - 10];
      qv::writeBrowseContext(state_);
      if (!postToThread(QString::fromLatin1(name), EvActivate)) {
        qv::GlobalRequest = request;
        startProcedure(QString::fromLatin1(name));
      }
      break;
    }
    case EvShowContextMessage: takeContext(false); break;
    case EvJumpFromTree: takeContext(true); break;
    case EvDeleteDatabase: confirmDelete(); break;
    case EvSelectionChanged:
      for (const char* name : kGroupProcedures) postToThread(QString::fromLatin1(name), EvGroupSelection);
      break;
    case EvFindStart: qv::writeBrowseContext(state_); break;
    case EvFindSubjectHit:
    case EvFindTextHit: {
      qv::BrowseState ctx = qv::readBrowseContext(kind_);
      findHit_ = ev->number() == EvFindTextHit ? ctx.selected : 0;
      if (!showMessage(ctx.selected)) findHit_ = 0;
      break;
    }
    case EvFindClosed:
      findHit_ = 0;
      showHits();
      break;
    case EvBrowseToFront:
      qvm::activateWindow(this);
      list_->table()->setFocus();
      break;
    default: return QWidget::event(e);
  }
  return true;
}

bool browseCommandOffered(int command, int kind) { return kind != qv::KindMailDb || command != EvThreadTree; }

bool browseCommandInVersion(int command, int kind) {
  auto opens = [](const QString& name) { return procedureRegistered(name); };
  switch (command) {
    case CmdCopyFirst:
    case CmdCopyFirst + 1:
    case CmdCopyFirst + 2:
    case CmdCopyFirst + 3:
    case CmdCopyLast:
    case CmdPrintMessage:
    case CmdPrintThread:
    case EvProSearch: return true;  // the browser answers these itself
    case EvThreadTree: return opens(kThreadTree);
    case EvStandardSearch: return opens(QString::fromLatin1(browseKind(kind).findThread));
    case CmdAttachTopics: return opens(kClassify);
    case CmdExportGroup:
    case CmdPrintGroup:
    case CmdClassifyGroup: return opens(QString::fromLatin1(kGroupProcedures[groupRequest(command) - 10]));
    default: return false;
  }
}

void registerBrowseWindows() {
  registerProcedure(kBrowseMsgNmbr, openBrowseMsgNmbr);
  registerProcedure(kBrowseMail, openBrowseMail);
}

}  // namespace qvm
