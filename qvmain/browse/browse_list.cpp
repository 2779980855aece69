#include "browse/browse_list.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QScrollBar>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>

namespace qvm {

namespace {
constexpr int kBarRange = 1000;
}

void BrowseTable::keyPressEvent(QKeyEvent* e) {
  if (keyHandler && keyHandler(e)) return;
  QTableView::keyPressEvent(e);
}

// Three rows a notch; the small steps of touch pads add up to notches.
void BrowseTable::wheelEvent(QWheelEvent* e) {
  if (!wheelHandler) {
    QTableView::wheelEvent(e);
    return;
  }
  wheelDelta_ += e->angleDelta().y();
  int notches = wheelDelta_ / 120;
  wheelDelta_ -= notches * 120;
  if (notches != 0) wheelHandler(-notches * 3);
  e->accept();
}

BrowseList::BrowseList(int kind, QWidget* parent) : QWidget(parent) {
  page_ = new BrowsePage(kind, this);
  table_ = new BrowseTable(this);
  table_->setModel(page_);
  table_->setSelectionBehavior(QAbstractItemView::SelectRows);
  table_->setSelectionMode(QAbstractItemView::SingleSelection);
  table_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  table_->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  table_->setWordWrap(false);
  table_->setTextElideMode(Qt::ElideRight);
  table_->setShowGrid(false);
  table_->setAlternatingRowColors(false);
  table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  table_->verticalHeader()->hide();
  table_->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  table_->horizontalHeader()->setHighlightSections(false);
  table_->horizontalHeader()->setSectionsClickable(false);
  table_->horizontalHeader()->setStretchLastSection(true);
  table_->setContextMenuPolicy(Qt::CustomContextMenu);
  bar_ = new QScrollBar(Qt::Vertical, this);
  bar_->setRange(0, kBarRange);
  bar_->setPageStep(kBarRange / 10);
  bar_->setSingleStep(1);

  auto* layout = new QHBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  layout->addWidget(table_, 1);
  layout->addWidget(bar_);

  connect(table_->selectionModel(), &QItemSelectionModel::currentRowChanged, this, [this](const QModelIndex& cur) {
    if (selecting_ || !cur.isValid()) return;
    uint32_t id = page_->idAt(cur.row());
    if (id != 0 && id != selected_) {
      selected_ = id;
      Q_EMIT messageSelected(id);
    }
  });
  connect(bar_, &QScrollBar::actionTriggered, this, &BrowseList::barAction);
  connect(bar_, &QScrollBar::sliderReleased, this, [this] {
    uint32_t keep = selected_;
    if (page_->showAt(double(bar_->sliderPosition()) / kBarRange)) {
      int row = page_->rowOf(keep);
      afterMove(row);
    }
    updateBar();
  });
  table_->keyHandler = [this](QKeyEvent* e) {
    switch (e->key()) {
      case Qt::Key_Up: moveBy(-1); return true;
      case Qt::Key_Down: moveBy(1); return true;
      case Qt::Key_PageUp: pageBy(-1); return true;
      case Qt::Key_PageDown: pageBy(1); return true;
      case Qt::Key_Home: toFirst(); return true;
      case Qt::Key_End: toLast(); return true;
      default: return false;
    }
  };
  table_->wheelHandler = [this](int rows) { scrollBy(rows); };
}

int BrowseList::visibleRows() const {
  int rowHeight = std::max(1, table_->verticalHeader()->defaultSectionSize());
  return std::max(1, table_->viewport()->height() / rowHeight);
}

void BrowseList::resizeEvent(QResizeEvent* e) {
  QWidget::resizeEvent(e);
  int n = visibleRows();
  if (n == page_->pageRows()) return;
  page_->setPageRows(n);
  if (selected_ != 0 && page_->rowOf(selected_) < 0) page_->showMessage(selected_);
  afterMove(page_->rowOf(selected_));
}

void BrowseList::showEvent(QShowEvent* e) {
  QWidget::showEvent(e);
  int n = visibleRows();
  if (n != page_->pageRows()) {
    page_->setPageRows(n);
    afterMove(page_->rowOf(selected_));
  }
}

uint32_t BrowseList::currentId() const { return selected_; }
int BrowseList::currentRow() const { return page_->rowOf(selected_); }

// Makes `row` the current row; a row of another message selects it.
void BrowseList::selectRow(int row) {
  if (row < 0 || row >= page_->rowCount()) return;
  selecting_ = true;
  table_->setCurrentIndex(page_->index(row, 0));
  selecting_ = false;
  uint32_t id = page_->idAt(row);
  if (id != selected_) {
    selected_ = id;
    Q_EMIT messageSelected(id);
  }
}

// After the page moved: marks `row` (or, with -1, no row: the selected
// message is off the page) and sets the scroll bar.
void BrowseList::afterMove(int row) {
  if (row >= 0) {
    selectRow(row);
  } else {
    selecting_ = true;
    table_->selectionModel()->clear();
    selecting_ = false;
  }
  if (page_->empty() && selected_ != 0) {
    selected_ = 0;
    Q_EMIT messageSelected(0);
  }
  updateBar();
}

uint32_t BrowseList::setView(const qv::BrowseState& s, uint32_t id) {
  page_->setPageRows(visibleRows());
  page_->setView(s);
  selected_ = 0;
  bool shown = id != 0 && page_->showMessage(id);
  if (!shown) page_->showFirst();
  afterMove(shown ? page_->rowOf(id) : 0);
  if (page_->empty()) {
    selected_ = 0;
    Q_EMIT messageSelected(0);
  }
  return selected_;
}

bool BrowseList::showMessage(uint32_t id) {
  int row = page_->rowOf(id);
  if (row < 0) {
    if (!page_->showMessage(id)) return false;
    row = page_->rowOf(id);
  }
  afterMove(row);
  return row >= 0;
}

bool BrowseList::showNumber(uint32_t number) {
  if (!page_->showNumber(number)) return false;
  afterMove(page_->rowOf(page_->located()));
  return true;
}

bool BrowseList::showDate(int32_t date) {
  if (!page_->showDate(date)) return false;
  afterMove(page_->rowOf(page_->located()));
  return true;
}

void BrowseList::toFirst() {
  page_->showFirst();
  afterMove(0);
}

void BrowseList::toLast() {
  page_->showLast();
  afterMove(page_->rowCount() - 1);
}

void BrowseList::moveBy(int rows) {
  if (page_->empty()) return;
  int row = currentRow();
  if (row < 0) {
    // The selected message is off the page: start from the page's edge.
    row = rows > 0 ? 0 : page_->rowCount() - 1;
    afterMove(row);
    return;
  }
  int target = row + rows;
  if (target < 0) {
    page_->scroll(target);
    target = 0;
  } else if (target >= page_->rowCount()) {
    page_->scroll(target - (page_->rowCount() - 1));
    target = page_->rowCount() - 1;
  }
  afterMove(target);
}

void BrowseList::pageBy(int pages) {
  if (page_->empty()) return;
  int row = std::max(0, currentRow());
  int want = pages * page_->pageRows();
  int moved = page_->scroll(want);
  int target = std::clamp(row + (want - moved), 0, page_->rowCount() - 1);
  afterMove(target);
}

void BrowseList::scrollBy(int rows) {
  if (page_->empty()) return;
  page_->scroll(rows);
  afterMove(page_->rowOf(selected_));
}

void BrowseList::refreshRows() {
  page_->refresh();
  afterMove(page_->rowOf(selected_));
}

void BrowseList::updateBar() {
  QSignalBlocker block(bar_);
  bool movable = !(page_->atStart() && page_->atEnd());
  bar_->setEnabled(movable);
  bar_->setValue(movable ? int(std::lround(page_->position() * kBarRange)) : 0);
}

void BrowseList::barAction(int action) {
  switch (action) {
    case QAbstractSlider::SliderSingleStepAdd: scrollBy(1); break;
    case QAbstractSlider::SliderSingleStepSub: scrollBy(-1); break;
    case QAbstractSlider::SliderPageStepAdd: scrollBy(page_->pageRows()); break;
    case QAbstractSlider::SliderPageStepSub: scrollBy(-page_->pageRows()); break;
    case QAbstractSlider::SliderToMinimum: toFirst(); break;
    case QAbstractSlider::SliderToMaximum: toLast(); break;
    default: return;  // dragging: the page moves when the thumb is let go
  }
  bar_->setSliderPosition(bar_->value());
}

}  // namespace qvm
