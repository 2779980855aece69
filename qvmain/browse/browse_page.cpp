#include "browse/browse_page.h"
#include "services/db_kind.h"

#include <algorithm>
#include <cmath>

namespace qvm {

namespace {

// Views in message-number order: the number view, and the key word, topic
// and result views (their entries follow the message number within the item).
bool inNumberOrder(const qv::BrowseState& s) {
  if (s.kind == qv::KindMailDb) return s.mode == qv::MmWord || s.mode == qv::MmTopic || s.mode == qv::MmResult;
  return s.mode == qv::FmNumber || s.mode == qv::FmWord || s.mode == qv::FmTopic || s.mode == qv::FmResult;
}
bool isDateView(const qv::BrowseState& s) {
  return (s.kind != qv::KindMailDb && s.mode == qv::FmDate) || (s.kind == qv::KindMailDb && s.mode == qv::MmDate);
}

}  // namespace

BrowsePage::BrowsePage(int kind, QObject* parent) : QAbstractTableModel(parent), kind_(kind) {
  for (const std::string& c : qv::browseColumns(kind)) columns_ << QString::fromStdString(c);
  state_.kind = kind;
}

BrowsePage::~BrowsePage() = default;

int BrowsePage::rowCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : int(rows_.size()); }
int BrowsePage::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : int(columns_.size()); }

QVariant BrowsePage::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.row() >= int(rows_.size())) return {};
  const Row& r = rows_[size_t(index.row())];
  switch (role) {
    case Qt::DisplayRole:
    case Qt::ToolTipRole: return index.column() < r.texts.size() ? r.texts[index.column()] : QString();
    case Qt::ForegroundRole:
      if (r.data.colour == qv::RowDelete) return delete_;
      if (r.data.colour == qv::RowKeep) return keep_;
      return {};
    case Qt::UserRole: return r.data.id;
    default: return {};
  }
}

QVariant BrowsePage::headerData(int section, Qt::Orientation o, int role) const {
  if (o == Qt::Horizontal && role == Qt::DisplayRole && section < columns_.size()) return columns_[section];
  return QAbstractTableModel::headerData(section, o, role);
}

void BrowsePage::setColours(const QColor& keep, const QColor& del) {
  keep_ = keep;
  delete_ = del;
  if (!rows_.empty()) Q_EMIT dataChanged(index(0, 0), index(rowCount() - 1, columnCount() - 1));
}

void BrowsePage::setView(const qv::BrowseState& s) {
  beginResetModel();
  rows_.clear();
  state_ = s;
  state_.kind = kind_;
  view_ = std::make_unique<qv::BrowseView>(state_);
  atStart_ = atEnd_ = true;
  endResetModel();
  measureEnds();
}

void BrowsePage::measureEnds() {
  estimable_ = false;
  if (!inNumberOrder(state_) && !isDateView(state_)) return;
  qv::BrowseRow first, last;
  if (!view_->toFirst() || !qv::readBrowseRow(kind_, view_->current(), first)) return;
  if (!view_->toLast() || !qv::readBrowseRow(kind_, view_->current(), last)) return;
  firstValue_ = estimate(first);
  lastValue_ = estimate(last);
  estimable_ = firstValue_ != lastValue_;
}

double BrowsePage::estimate(const qv::BrowseRow& r) const {
  if (inNumberOrder(state_)) return double(r.id);
  return double(r.date) + double(r.time) / 8640000.0;
}

void BrowsePage::setPageRows(int n) {
  n = std::max(1, n);
  if (n == page_) return;
  page_ = n;
  if (!rows_.empty()) fillFrom(rows_.front().data.id);
}

uint32_t BrowsePage::idAt(int row) const {
  return row >= 0 && row < int(rows_.size()) ? rows_[size_t(row)].data.id : 0;
}

int BrowsePage::rowOf(uint32_t id) const {
  for (size_t i = 0; i < rows_.size(); ++i)
    if (rows_[i].data.id == id) return int(i);
  return -1;
}

bool BrowsePage::hasFollowing(uint32_t id) { return view_->toMessage(id) && !view_->fetch(1, true).empty(); }
bool BrowsePage::hasPreceding(uint32_t id) { return view_->toMessage(id) && !view_->fetch(1, false).empty(); }

void BrowsePage::fill(std::vector<uint32_t> ids) {
  beginResetModel();
  rows_.clear();
  for (qv::BrowseRow& r : qv::readBrowseRows(kind_, ids)) {
    Row row;
    for (const std::string& t : qv::rowTexts(kind_, r)) row.texts << QString::fromStdString(t);
    row.data = std::move(r);
    rows_.push_back(std::move(row));
  }
  endResetModel();
}

// Reads the page that begins with `top`; near the end of the view the page
// reaches back so that it stays full.
bool BrowsePage::fillFrom(uint32_t top) {
  if (!view_ || !view_->toMessage(top)) return false;
  located_ = top;
  std::vector<uint32_t> ids{top};
  std::vector<uint32_t> after = view_->fetch(page_, true);
  atEnd_ = int(after.size()) < page_;
  for (size_t i = 0; i < after.size() && int(ids.size()) < page_; ++i) ids.push_back(after[i]);
  if (int(ids.size()) < page_) {
    std::vector<uint32_t> before = view_->fetch(page_ - int(ids.size()), false);
    ids.insert(ids.begin(), before.rbegin(), before.rend());
  }
  atStart_ = !hasPreceding(ids.front());
  fill(std::move(ids));
  return true;
}

bool BrowsePage::showFirst() {
  if (!view_ || !view_->toFirst()) {
    fill({});
    atStart_ = atEnd_ = true;
    return false;
  }
  return fillFrom(view_->current());
}

bool BrowsePage::showLast() {
  if (!view_ || !view_->toLast()) {
    fill({});
    atStart_ = atEnd_ = true;
    return false;
  }
  std::vector<uint32_t> before = view_->fetch(page_ - 1, false);
  uint32_t top = before.empty() ? view_->current() : before.back();
  return fillFrom(top);
}

bool BrowsePage::showMessage(uint32_t id) { return id != 0 && fillFrom(id); }

bool BrowsePage::showNumber(uint32_t number) {
  if (!view_ || !view_->seekNumber(number)) return false;
  return fillFrom(view_->current());
}

bool BrowsePage::showDate(int32_t date) {
  if (!view_ || !view_->seekDate(date)) return false;
  return fillFrom(view_->current());
}

int BrowsePage::scroll(int rows) {
  if (rows_.empty() || rows == 0) return 0;
  bool forward = rows > 0;
  if (forward ? atEnd_ : atStart_) return 0;
  int n = std::abs(rows);
  uint32_t edge = forward ? rows_.back().data.id : rows_.front().data.id;
  if (!view_->toMessage(edge)) {
    // The edge row left the view meanwhile: read the page again from where it can.
    if (!fillFrom(rows_.front().data.id)) showFirst();
    return 0;
  }
  std::vector<uint32_t> more = view_->fetch(n, forward);
  if (more.empty()) {
    (forward ? atEnd_ : atStart_) = true;
    return 0;
  }
  int moved = int(more.size());
  std::vector<uint32_t> ids;
  for (const Row& r : rows_) ids.push_back(r.data.id);
  if (forward) {
    ids.erase(ids.begin(), ids.begin() + std::min<size_t>(size_t(moved), ids.size()));
    ids.insert(ids.end(), more.begin(), more.end());
    if (int(ids.size()) > page_) ids.erase(ids.begin(), ids.end() - page_);
    atStart_ = false;
    atEnd_ = int(more.size()) < n || !hasFollowing(ids.back());
  } else {
    ids.resize(ids.size() - std::min<size_t>(size_t(moved), ids.size()));
    ids.insert(ids.begin(), more.rbegin(), more.rend());
    if (int(ids.size()) > page_) ids.resize(size_t(page_));
    atEnd_ = false;
    atStart_ = int(more.size()) < n || !hasPreceding(ids.front());
  }
  fill(std::move(ids));
  return forward ? moved : -moved;
}

void BrowsePage::refresh() {
  if (rows_.empty()) return;
  std::vector<uint32_t> ids;
  for (const Row& r : rows_) ids.push_back(r.data.id);
  fill(std::move(ids));
}

double BrowsePage::position() const {
  if (rows_.empty() || atStart_) return 0.0;
  if (atEnd_) return 1.0;
  if (!estimable_) return 0.5;
  double f = (estimate(rows_.front().data) - firstValue_) / (lastValue_ - firstValue_);
  return std::clamp(f, 0.01, 0.99);
}

bool BrowsePage::showAt(double where) {
  if (where <= 0.0) return showFirst();
  if (where >= 1.0) return showLast();
  if (!estimable_) return false;
  double target = firstValue_ + where * (lastValue_ - firstValue_);
  if (inNumberOrder(state_)) return showNumber(uint32_t(std::llround(target)));
  return showDate(int32_t(std::floor(target)));
}

}  // namespace qvm
