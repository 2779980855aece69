#include "browse/thread_tree_window.h"

#include <QCloseEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <vector>

#include "browse/browse_kinds.h"
#include "browse/browse_state.h"
#include "events.h"
#include "frame/icons.h"
#include "frame/procedures.h"
#include "frame/window_host.h"
#include "services/db_kind.h"
#include "services/window_files.h"
#include "services/settings.h"
#include "setup/setting_look.h"
#include "window_registry/window_registry.h"
#include "services/messages.h"
#include "services/settings_items.h"

namespace qvm {

namespace {

const QString kBrowser = QStringLiteral("BrowseMsgNmbr");
const QString kTreeThread = QStringLiteral("ThreadTree");

// Replies nest at most this deep in the widget: deeper nesting could not be
// read anyway, and the widget's items nest by recursion.
constexpr int kDeepestShown = 64;

QIcon treeIcon(int icon) {
  if (icon == qv::TreeLeaf) return QIcon(QStringLiteral(":/icons/File.svg"));
  if (icon == qv::TreeFolder) return QIcon(QStringLiteral(":/icons/Folder.svg"));
  return QIcon();
}

// The heading of a thread; `alpha` when the record is missing. The record
// buffer is left as it was.
std::string threadHeading(uint32_t number, const std::string& alpha) {
  std::string heading = number != 0 ? qv::headingOfThread(number) : std::string();
  return heading.empty() ? alpha : heading;
}


// The views that list every message of a thread: a jump from the tree shows
// the message in them; any other view is left for the thread view.
bool listsWholeThreads(int mode) {
  return mode == qv::FmNumber || mode == qv::FmThread || mode == qv::FmSection || mode == qv::FmDate;
}

}  // namespace

ThreadTreeWindow::ThreadTreeWindow(QWidget* parent) : QWidget(parent) {
  setAttribute(Qt::WA_DeleteOnClose);
  setWindowIcon(QIcon(QStringLiteral(":/icons/Folder.svg")));
  setWindowTitle(QStringLiteral(" Thread Tree"));
  tree_ = new QTreeWidget(this);
  tree_->setHeaderHidden(true);
  tree_->setColumnCount(1);
  tree_->setUniformRowHeights(true);
  tree_->setExpandsOnDoubleClick(false);
  tree_->setIndentation(16);
  tree_->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
  tree_->header()->setStretchLastSection(false);
  tree_->installEventFilter(this);

  tree_->setFont(settingFont(qv::ItemFontThreadTree, tree_->font()));
  QPalette p = tree_->palette();
  p.setColor(QPalette::Text, settingColour(qv::ItemColourThreadTree));
  tree_->setPalette(p);

  textFormat_ = int(qv::KonfigGet(qv::ItemThreadTreeFormat));
  if (textFormat_ < 1 || textFormat_ > 5) textFormat_ = 2;
  dateFormat_ = int(qv::KonfigGet(qv::ItemDateFormat));

  connect(tree_, &QTreeWidget::itemDoubleClicked, this, [this](QTreeWidgetItem* it) { choose(it); });

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(tree_);
  setMinimumSize(100, 60);

  files_ = qv::FileScope(qv::threadTreeFiles());
  TmCreate(this, kTreeThread, kFindGroup);
  followSelection();
}

ThreadTreeWindow::~ThreadTreeWindow() = default;

QTreeWidgetItem* ThreadTreeWindow::itemOf(uint32_t number) const {
  for (QTreeWidgetItemIterator it(tree_); *it; ++it)
    if ((*it)->data(0, Qt::UserRole).toUInt() == number) return *it;
  return nullptr;
}

void ThreadTreeWindow::followSelection() {
  qv::BrowseState s = qv::readBrowseContext(threadedBrowseKind());
  uint32_t thread = qv::threadOfMessage(s.selected);
  if (builds_ == 0 || thread != tree_data_.threadNumber)
    rebuild(s);
  else
    highlight(s.selected);
}

void ThreadTreeWindow::rebuild(const qv::BrowseState& s) {
  ++builds_;
  qv::buildThreadTree(s.selected, textFormat_, dateFormat_, tree_data_);
  tree_->clear();
  // Rows come depth-first with their levels: the parent of a row of level n
  // is the last row of level n - 1 before it. Rows below the deepest shown
  // level hang at that level, in their order.
  std::vector<QTreeWidgetItem*> parents;
  for (const qv::TreeRow& row : tree_data_.rows) {
    QTreeWidgetItem* item;
    const int level = std::min(row.level, kDeepestShown);
    if (level <= 1 || size_t(level - 1) > parents.size()) {
      item = new QTreeWidgetItem(tree_);
      parents.assign(1, item);
    } else {
      parents.resize(size_t(level - 1));
      item = new QTreeWidgetItem(parents.back());
      parents.push_back(item);
    }
    item->setText(0, QString::fromStdString(row.text));
    item->setIcon(0, treeIcon(row.icon));
    item->setData(0, Qt::UserRole, row.number);
    item->setData(0, Qt::UserRole + 1, row.icon);
    if (row.number != 0) item->setToolTip(0, QStringLiteral("Message %1").arg(row.number));
  }
  tree_->expandAll();
  QString title = QString::fromStdString(threadHeading(tree_data_.threadNumber, tree_data_.threadAlpha)).trimmed();
  setWindowTitle(title.isEmpty() ? QStringLiteral(" Thread Tree") : QStringLiteral(" Thread Tree: ") + title);
  highlight(s.selected);
}

void ThreadTreeWindow::highlight(uint32_t selected) {
  QTreeWidgetItem* it = selected != 0 ? itemOf(selected) : nullptr;
  if (!it) return;
  tree_->setCurrentItem(it);
  tree_->scrollToItem(it);
}

void ThreadTreeWindow::choose(QTreeWidgetItem* item) {
  if (!item) return;
  uint32_t number = item->data(0, Qt::UserRole).toUInt();
  if (number == 0) return;  // the empty first row
  qv::BrowseState s = qv::readBrowseContext(threadedBrowseKind());
  s.kind = threadedBrowseKind();
  s.selected = number;
  int event = EvShowContextMessage;
  if (!listsWholeThreads(s.mode)) {
    s.mode = qv::FmThread;
    s.threadNumber = tree_data_.threadNumber;
    s.threadAlpha = tree_data_.threadAlpha;
    event = EvJumpFromTree;
  }
  qv::writeBrowseContext(s);
  postToThread(kBrowser, event);
  postToThread(kBrowser, EvBrowseToFront);
}

bool ThreadTreeWindow::eventFilter(QObject* watched, QEvent* e) {
  if (watched == tree_ && e->type() == QEvent::KeyPress) {
    auto* k = static_cast<QKeyEvent*>(e);
    if (k->key() == Qt::Key_Return || k->key() == Qt::Key_Enter) {
      choose(tree_->currentItem());
      return true;
    }
  }
  return QWidget::eventFilter(watched, e);
}

bool ThreadTreeWindow::event(QEvent* e) {
  const QvEvent* ev = privateEvent(e);
  if (!ev) return QWidget::event(e);
  switch (ev->number()) {
    case EvThreadTree:
    case EvTreeSelection:
      followSelection();
      return true;
    case EvThreadTreeClose:
      close();
      return true;
    default:
      return QWidget::event(e);
  }
}

void ThreadTreeWindow::closeEvent(QCloseEvent* e) {
  postToThread(kBrowser, EvThreadTreeClose);
  QWidget::closeEvent(e);
}

void openThreadTree() {
  // Rows cannot be written without a date format.
  if (qv::KonfigGet(qv::ItemDateFormat) == 0) return;
  showProcedureWindow(new ThreadTreeWindow, SlotThreadTree);
}

void registerThreadTreeWindow() { registerProcedure(kTreeThread, openThreadTree); }

}  // namespace qvm
