#include "lookup/lookup_list.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QScrollBar>
#include <QTreeView>
#include <QVBoxLayout>
#include <algorithm>

#include "frame/window_host.h"
#include "help/help_window.h"
#include "services/settings.h"
#include "services/settings_items.h"
#include "services/window_settings.h"
#include "setup/setting_look.h"

namespace qvm {

namespace {

// Window slots above 25 are kept in the second position set.
bool slotRect(int op, int slot, qv::WindowRect& r) {
  if (slot <= 0) return false;
  return slot > qv::kWindowSlots ? qv::WindowPos2(op, slot - qv::kWindowSlots, r) : qv::WindowPos(op, slot, r);
}

// The size the window keeper fills in for a window that never stored its own.
bool storedRect(const qv::WindowRect& r) { return r.width > 0 && r.height > 0 && !(r.width == 800 && r.height == 560); }

}  // namespace

QString cutText(const QString& s, int n) {
  QString t = s.trimmed();
  if (t.size() <= n) return t;
  // Do not split a surrogate pair.
  int cut = n;
  if (cut > 0 && t.at(cut - 1).isHighSurrogate()) --cut;
  return t.left(cut);
}

// ---- The model ----

LookupModel::LookupModel(const LookupDef& def, QObject* parent)
    : QAbstractTableModel(parent), def_(def), walk_(def.walk) {}

int LookupModel::rowCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : int(rows_.size()); }

int LookupModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : int(def_.columns.size()); }

QVariant LookupModel::data(const QModelIndex& index, int role) const {
  const LookupRow* r = rowAt(index.row());
  if (!r) return QVariant();
  switch (role) {
    case Qt::DisplayRole:
      return index.column() < r->texts.size() ? r->texts.at(index.column()) : QString();
    case Qt::TextAlignmentRole:
      if (def_.numberColumns.contains(index.column())) return QVariant(Qt::AlignRight | Qt::AlignVCenter);
      return QVariant();
    case Qt::ForegroundRole:
      if (r->status == 1) return settingColour(qv::ItemColourKeep);
      if (r->status == 2) return settingColour(qv::ItemColourDelete);
      return QVariant();
    case Qt::UserRole:
      return r->id;
    default:
      return QVariant();
  }
}

QVariant LookupModel::headerData(int section, Qt::Orientation o, int role) const {
  if (o == Qt::Horizontal && role == Qt::DisplayRole && section < def_.columns.size()) return def_.columns.at(section);
  if (o == Qt::Horizontal && role == Qt::TextAlignmentRole && def_.numberColumns.contains(section))
    return QVariant(Qt::AlignRight | Qt::AlignVCenter);
  return QVariant();
}

const LookupRow* LookupModel::rowAt(int row) const {
  return row >= 0 && row < int(rows_.size()) ? &rows_[size_t(row)] : nullptr;
}

LookupRow LookupModel::rowOf(const qv::LookupEntry& e) const {
  LookupRow r;
  r.id = e.id;
  r.pos = e.pos;
  r.status = e.status;
  for (size_t i = 0; i < e.texts.size(); ++i) {
    const QString t = QString::fromStdString(e.texts[i]);
    const int cut = int(i) < def_.cuts.size() ? def_.cuts.at(int(i)) : 0;
    r.texts.append(cut > 0 ? cutText(t, cut) : t);
  }
  if (def_.adjust) def_.adjust(r);
  return r;
}

std::vector<LookupRow> LookupModel::walk(int64_t pos, int n, bool forward, bool& reachedEnd) {
  std::vector<LookupRow> out;
  for (const qv::LookupEntry& e : walk_->walk(order_, pos, n, forward, reachedEnd)) out.push_back(rowOf(e));
  return out;
}

bool LookupModel::canFetchMore(const QModelIndex& parent) const {
  return !parent.isValid() && !atEnd_ && !rows_.empty();
}

void LookupModel::fetchMore(const QModelIndex& parent) {
  if (!canFetchMore(parent)) return;
  bool end = false;
  std::vector<LookupRow> more = walk(rows_.back().pos, kPage, true, end);
  atEnd_ = end;
  if (more.empty()) return;
  beginInsertRows(QModelIndex(), int(rows_.size()), int(rows_.size() + more.size()) - 1);
  for (LookupRow& r : more) rows_.push_back(std::move(r));
  endInsertRows();
}

int LookupModel::fetchBefore() {
  if (atStart_ || rows_.empty()) return 0;
  bool start = false;
  std::vector<LookupRow> more = walk(rows_.front().pos, kPage, false, start);
  atStart_ = start;
  if (more.empty()) return 0;
  std::reverse(more.begin(), more.end());
  beginInsertRows(QModelIndex(), 0, int(more.size()) - 1);
  rows_.insert(rows_.begin(), std::make_move_iterator(more.begin()), std::make_move_iterator(more.end()));
  endInsertRows();
  return int(more.size());
}

int LookupModel::loadAround(int64_t pos) {
  beginResetModel();
  rows_.clear();
  bool start = false, end = false;
  std::vector<LookupRow> before = walk(pos, kPage / 2, false, start);
  // The record itself and what follows it: a forward walk that keeps its first record.
  qv::LookupEntry at;
  if (!walk_->entryAt(pos, at)) {
    endResetModel();
    return loadAtStart();
  }
  rows_.assign(std::make_move_iterator(before.rbegin()), std::make_move_iterator(before.rend()));
  const int anchor = int(rows_.size());
  rows_.push_back(rowOf(at));
  std::vector<LookupRow> after = walk(pos, kPage, true, end);
  for (LookupRow& r : after) rows_.push_back(std::move(r));
  atStart_ = start;
  atEnd_ = end;
  endResetModel();
  return anchor;
}

int LookupModel::loadAtStart() {
  beginResetModel();
  bool end = false;
  rows_ = walk(0, kPage, true, end);
  atStart_ = true;
  atEnd_ = end;
  endResetModel();
  return rows_.empty() ? -1 : 0;
}

int LookupModel::loadAtEnd() {
  beginResetModel();
  bool start = false;
  rows_ = walk(0, kPage, false, start);
  std::reverse(rows_.begin(), rows_.end());
  atStart_ = start;
  atEnd_ = true;
  endResetModel();
  return int(rows_.size()) - 1;
}

int LookupModel::loadAtText(const QString& text) {
  bool past = false;
  const int64_t pos = walk_->seek(order_, text.toStdString(), past);
  if (pos != 0) return loadAround(pos);
  return past ? loadAtEnd() : loadAtStart();
}

int LookupModel::loadAtId(uint32_t id) {
  qv::LookupEntry e;
  const int64_t pos = walk_->entryOfId(id, e) ? e.pos : 0;
  return pos != 0 ? loadAround(pos) : -1;
}

void LookupModel::refreshRow(int row) {
  if (!rowAt(row)) return;
  LookupRow& r = rows_[size_t(row)];
  qv::LookupEntry e;
  if (walk_->entryOfId(r.id, e)) {
    e.pos = r.pos;
    r = rowOf(e);
  }
  Q_EMIT dataChanged(index(row, 0), index(row, columnCount() - 1));
}

// ---- The window ----

LookupList::LookupList(LookupDef def, const QString& startText, uint32_t startId, QWidget* parent)
    : QDialog(parent), def_(std::move(def)) {
  setAttribute(Qt::WA_DeleteOnClose);
  model_ = new LookupModel(def_, this);
  setWindowTitle(def_.title + QString::number(model_->records()) + QStringLiteral("]"));

  view_ = makeLookupView(this, model_, def_, this, [this] { accept(); });
  view_->setVerticalScrollMode(QAbstractItemView::ScrollPerItem);
  if (!def_.statusWord.isEmpty()) {
    view_->setContextMenuPolicy(Qt::CustomContextMenu);
    view_->setToolTip(QStringLiteral("Right click to change the status"));
    connect(view_, &QWidget::customContextMenuRequested, this, &LookupList::showMenu);
  }

  auto* layout = new QVBoxLayout(this);
  if (def_.orders.size() > 1) {
    orderBox_ = new QComboBox(this);
    orderBox_->addItems(def_.orders);
    auto* top = new QHBoxLayout;
    top->addStretch();
    top->addWidget(orderBox_);
    layout->addLayout(top);
    connect(orderBox_, &QComboBox::currentIndexChanged, this, &LookupList::reorder);
  }
  layout->addWidget(view_);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("&Select"));
  if (!def_.help.isEmpty()) buttons->addButton(helpButton(this, def_.help), QDialogButtonBox::HelpRole);
  connect(buttons, &QDialogButtonBox::accepted, this, &LookupList::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  layout->addWidget(buttons);

  int width = 40;
  for (int w : def_.widths) width += w;
  resize(qMax(width, 320), 380);
  qv::WindowRect r;
  if (slotRect(3, def_.slot, r) && storedRect(r)) setGeometry(r.x, r.y, r.width, r.height);

  int row = startId != 0 ? model_->loadAtId(startId) : -1;
  if (row < 0) row = startText.trimmed().isEmpty() ? model_->loadAtStart() : model_->loadAtText(startText);
  showAt(row);
  view_->setFocus();
}

LookupList::~LookupList() = default;

uint32_t LookupList::currentId() const {
  const LookupRow* r = model_->rowAt(view_->currentIndex().row());
  return r ? r->id : 0;
}

void showLookupRow(QTreeView* view, LookupModel* model, int row) {
  if (row < 0) return;
  QModelIndex i = model->index(row, 0);
  view->setCurrentIndex(i);
  view->scrollTo(i, QAbstractItemView::PositionAtCenter);
}

void fetchLookupRowsBefore(QTreeView* view, LookupModel* model) {
  if (!model->canFetchBefore()) return;
  QModelIndex current = view->currentIndex();
  int top = view->verticalScrollBar()->value();
  int added = model->fetchBefore();
  if (added == 0) return;
  // Keep the same rows in view.
  view->scrollTo(model->index(top + added, 0), QAbstractItemView::PositionAtTop);
  if (current.isValid()) view->setCurrentIndex(model->index(current.row() + added, 0));
}

QTreeView* makeLookupView(QWidget* parent, LookupModel* model, const LookupDef& def, QObject* keys,
                          std::function<void()> activated) {
  auto* view = new QTreeView(parent);
  view->setRootIsDecorated(false);
  view->setUniformRowHeights(true);
  view->setAllColumnsShowFocus(true);
  view->setSelectionBehavior(QAbstractItemView::SelectRows);
  view->setSelectionMode(QAbstractItemView::SingleSelection);
  view->setEditTriggers(QAbstractItemView::NoEditTriggers);
  view->setModel(model);
  view->header()->setStretchLastSection(false);
  trackColumns(view->header(), def.listSlot, def.widths);
  view->installEventFilter(keys);
  QObject::connect(view, &QTreeView::doubleClicked, parent, [activated = std::move(activated)](const QModelIndex& i) {
    if (i.isValid()) activated();
  });
  QObject::connect(view->verticalScrollBar(), &QScrollBar::valueChanged, parent, [view, model](int v) {
    if (v == view->verticalScrollBar()->minimum()) fetchLookupRowsBefore(view, model);
  });
  return view;
}

bool lookupNavigationKey(const QKeyEvent* k, QTreeView* view, LookupModel* model, TypeAhead* typeAhead) {
  switch (k->key()) {
    case Qt::Key_Home:
      showLookupRow(view, model, model->loadAtStart());
      return true;
    case Qt::Key_End:
      showLookupRow(view, model, model->loadAtEnd());
      return true;
    case Qt::Key_Up:
    case Qt::Key_PageUp: {
      const int row = view->currentIndex().row();
      if (row <= (k->key() == Qt::Key_Up ? 0 : view->verticalScrollBar()->pageStep())) fetchLookupRowsBefore(view, model);
      return false;
    }
    default:
      return typeAhead && typeAhead->key(k, view, model);
  }
}

void reorderLookup(QTreeView* view, LookupModel* model, int order, uint32_t id) {
  model->setOrder(order);
  int row = id != 0 ? model->loadAtId(id) : -1;
  if (row < 0) row = model->loadAtStart();
  showLookupRow(view, model, row);
}

void LookupList::showAt(int row) { showLookupRow(view_, model_, row); }
void LookupList::reorder(int order) { reorderLookup(view_, model_, order, currentId()); }

QStringList LookupList::statusEntries() const {
  if (def_.statusWord.isEmpty()) return {};
  return {QStringLiteral("Normal ") + def_.statusWord, QStringLiteral("Keep ") + def_.statusWord,
          QStringLiteral("Delete ") + def_.statusWord};
}

bool LookupList::applyStatus(const QString& entry) {
  int code = int(statusEntries().indexOf(entry));
  uint32_t id = currentId();
  if (code < 0 || id == 0 || !def_.setStatus) return false;
  if (!def_.setStatus(id, 7 + code)) return false;
  model_->refreshRow(view_->currentIndex().row());
  return true;
}

void LookupList::showMenu(const QPoint& p) {
  QModelIndex i = view_->indexAt(p);
  if (i.isValid()) view_->setCurrentIndex(i);
  if (currentId() == 0) return;
  QMenu menu(this);
  for (const QString& e : statusEntries()) menu.addAction(e);
  if (QAction* a = menu.exec(view_->viewport()->mapToGlobal(p))) applyStatus(a->text());
}

void LookupList::accept() {
  uint32_t id = currentId();
  if (id == 0) return;
  chosen_ = id;
  QDialog::accept();
}

void LookupList::done(int result) {
  if (finished_) return;
  finished_ = true;
  if (!isMinimized() && !isMaximized()) {
    QRect g = geometry();
    qv::WindowRect r{g.x(), g.y(), g.width(), g.height()};
    slotRect(2, def_.slot, r);
  }
  QDialog::done(result);
}

void LookupList::keyPressEvent(QKeyEvent* e) {
  if (e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter) {
    accept();
    return;
  }
  QDialog::keyPressEvent(e);
}

bool LookupList::eventFilter(QObject* watched, QEvent* e) {
  if (watched == view_ && e->type() == QEvent::KeyPress) {
    auto* k = static_cast<QKeyEvent*>(e);
    if (k->key() == Qt::Key_Return || k->key() == Qt::Key_Enter) {
      accept();
      return true;
    }
    if (lookupNavigationKey(k, view_, model_, &typeAhead_)) return true;
  }
  return QDialog::eventFilter(watched, e);
}

LookupList* openLookupList(QWidget* parent, LookupDef def, const QString& startText, uint32_t startId,
                           PickDone done) {
  auto* dlg = new LookupList(std::move(def), startText, startId, parent);
  QObject::connect(dlg, &QDialog::finished, dlg, [dlg, done](int result) {
    if (done) done(result == QDialog::Accepted, result == QDialog::Accepted ? dlg->chosenId() : 0);
  });
  dlg->setWindowModality(Qt::WindowModal);
  dlg->open();
  return dlg;
}

}  // namespace qvm
