#include "browse/message_pane.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTextBlock>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>

#include "services/datetime.h"
#include "services/db_kind.h"
#include "services/settings.h"
#include "services/settings_items.h"

namespace qvm {

QString displayText(const std::string& page, std::vector<int>& byteToDisplay) {
  byteToDisplay.assign(page.size() + 1, 0);
  std::string plain;
  plain.reserve(page.size());
  int shown = 0;  // UTF-16 units written so far
  for (size_t i = 0; i < page.size();) {
    auto c = static_cast<unsigned char>(page[i]);
    if (c == '\r' && i + 1 < page.size() && page[i + 1] == '\n') {
      byteToDisplay[i] = shown;  // the CR shows as the line break that follows
      ++i;
      continue;
    }
    size_t len = c < 0x80 ? 1 : (c >> 5) == 0x6 ? 2 : (c >> 4) == 0xE ? 3 : (c >> 3) == 0x1E ? 4 : 1;
    len = std::min(len, page.size() - i);
    for (size_t k = 0; k < len; ++k) byteToDisplay[i + k] = shown;
    plain.append(page, i, len);
    shown += len == 4 ? 2 : 1;
    i += len;
  }
  byteToDisplay[page.size()] = shown;
  return QString::fromUtf8(plain.data(), qsizetype(plain.size()));
}

MessagePane::MessagePane(int kind, QWidget* parent) : QWidget(parent), kind_(kind) {
  auto field = [this](const char* tip, int chars) {
    auto* e = new QLineEdit(this);
    e->setReadOnly(true);
    e->setToolTip(QString::fromLatin1(tip));
    e->setFocusPolicy(Qt::NoFocus);
    e->setFixedWidth(e->fontMetrics().horizontalAdvance(QLatin1Char('0')) * chars + 16);
    return e;
  };
  auto button = [this](Qt::ArrowType arrow, const char* tip) {
    auto* b = new QToolButton(this);
    b->setArrowType(arrow);
    b->setToolTip(QString::fromLatin1(tip));
    b->setAccessibleName(QString::fromLatin1(tip));
    b->setAutoRaise(true);
    return b;
  };
  bool mail = kind == qv::KindMailDb;
  // Forum and newsgroup messages show their time beside the date.
  date_ = field(mail ? "Message date" : "Message date and time", mail ? 11 : 20);
  number_ = field(mail ? "Message time" : "Message number", mail ? 8 : 10);
  reply_ = field("Reply to this message number", 10);
  reply_->setVisible(!mail);
  prevPage_ = button(Qt::LeftArrow, "Previous page");
  nextPage_ = button(Qt::RightArrow, "Next page");
  prevHit_ = button(Qt::UpArrow, "Locate previous search hit instance");
  nextHit_ = button(Qt::DownArrow, "Locate next search hit instance");
  connect(prevPage_, &QToolButton::clicked, this, &MessagePane::previousPage);
  connect(nextPage_, &QToolButton::clicked, this, &MessagePane::nextPage);
  connect(prevHit_, &QToolButton::clicked, this, &MessagePane::previousHit);
  connect(nextHit_, &QToolButton::clicked, this, &MessagePane::nextHit);

  headerRow_ = new QHBoxLayout;
  headerRow_->setContentsMargins(0, 0, 0, 0);
  headerRow_->addWidget(date_);
  headerRow_->addWidget(number_);
  headerRow_->addWidget(reply_);
  headerRow_->addSpacing(12);
  headerRow_->addWidget(prevPage_);
  headerRow_->addWidget(nextPage_);
  headerRow_->addSpacing(12);
  headerRow_->addWidget(prevHit_);
  headerRow_->addWidget(nextHit_);
  headerRow_->addStretch(1);

  reader_ = new QPlainTextEdit(this);
  reader_->setReadOnly(true);
  reader_->setLineWrapMode(QPlainTextEdit::WidgetWidth);
  reader_->setContextMenuPolicy(Qt::CustomContextMenu);
  connect(reader_, &QPlainTextEdit::cursorPositionChanged, this, &MessagePane::updateButtons);

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addLayout(headerRow_);
  layout->addWidget(reader_, 1);
  setMessage(nullptr, std::string());
}

void MessagePane::setMessage(const qv::BrowseRow* row, const std::string& shown) {
  if (row) {
    std::string date = kind_ == qv::KindMailDb && !row->dateText.empty()
                           ? row->dateText
                           : qv::formatDate(row->date, int(qv::KonfigGet(qv::ItemDateFormat)));
    // A forum or newsgroup message shows its time beside the date, when its source gave one.
    if (kind_ != qv::KindMailDb && !row->timeText.empty()) date += " " + row->timeText;
    date_->setText(QString::fromStdString(date));
    if (kind_ == qv::KindMailDb) {
      number_->setText(QString::fromStdString(row->timeText));
    } else {
      number_->setText(QString::number(row->id));
      reply_->setText(row->refNumber ? QString::number(row->refNumber) : QString());
    }
  } else {
    date_->clear();
    number_->clear();
    reply_->clear();
  }
  shown_ = shown;
  pages_ = qv::splitPages(shown_);
  hits_.clear();
  showPage(0);
}

void MessagePane::setHits(const qv::Hits& hits) {
  hits_ = hits;
  if (!hits_.empty() && !pages_.empty()) {
    // The first hit comes into view: its page, scrolled to it. The caret
    // goes before it without selecting it, so that the next-hit button
    // still steps onto the first hit.
    size_t first = size_t(std::min_element(hits_.begin(), hits_.end())->first);
    size_t page = qv::pageOf(pages_, first);
    if (page != page_) showPage(page);
    const qv::TextPage& p = pages_[page_];
    if (first >= p.first && first < p.first + p.length) {
      QTextCursor c(reader_->document());
      c.setPosition(toDisplay(first - p.first + p.lead));
      reader_->setTextCursor(c);
      reader_->ensureCursorVisible();
    }
  }
  markHits();
  updateButtons();
}

void MessagePane::showPage(size_t page) {
  if (pages_.empty()) return;
  page_ = std::min(page, pages_.size() - 1);
  reader_->setPlainText(displayText(pages_[page_].text, byteToDisplay_));
  reader_->moveCursor(QTextCursor::Start);
  markHits();
  updateButtons();
}

void MessagePane::previousPage() {
  if (page_ > 0) showPage(page_ - 1);
}

void MessagePane::nextPage() {
  if (page_ + 1 < pages_.size()) showPage(page_ + 1);
}

// The display index of an offset within the page's part of the shown text.
int MessagePane::toDisplay(size_t pageOffset) const {
  size_t b = std::min(pageOffset, byteToDisplay_.size() - 1);
  return byteToDisplay_[b];
}

void MessagePane::markHits() {
  QList<QTextEdit::ExtraSelection> marks;
  if (!pages_.empty()) {
    const qv::TextPage& p = pages_[page_];
    QTextCharFormat fmt;
    fmt.setBackground(highlight_);
    fmt.setForeground(highlight_.lightness() > 140 ? Qt::black : Qt::white);
    for (const auto& [first, last] : hits_) {
      if (size_t(first) < p.first || size_t(first) >= p.first + p.length) continue;
      size_t from = size_t(first) - p.first + p.lead;
      size_t to = std::min(size_t(last), p.first + p.length - 1) - p.first + p.lead + 1;
      QTextEdit::ExtraSelection sel;
      sel.format = fmt;
      sel.cursor = QTextCursor(reader_->document());
      sel.cursor.setPosition(toDisplay(from));
      sel.cursor.setPosition(toDisplay(to), QTextCursor::KeepAnchor);
      marks << sel;
    }
  }
  reader_->setExtraSelections(marks);
}

int MessagePane::selectionStart() const {
  if (pages_.empty()) return -1;
  QTextCursor c = reader_->textCursor();
  if (!c.hasSelection()) return -1;
  return shownOffset(c.selectionStart());
}

int MessagePane::offsetAt(const QPoint& at) const {
  if (pages_.empty()) return -1;
  return shownOffset(reader_->cursorForPosition(at).position());
}

int MessagePane::shownOffset(int pos) const {
  const qv::TextPage& p = pages_[page_];
  // The first byte of the page text shown at or after that character.
  auto it = std::lower_bound(byteToDisplay_.begin(), byteToDisplay_.end(), pos);
  auto b = size_t(it - byteToDisplay_.begin());
  if (b < p.lead) return int(p.first);
  return int(p.first + std::min(b - p.lead, p.length));
}

// Where a step to the next or previous hit starts: the selection, else the
// start of the page on screen.
int MessagePane::stepAnchor(bool forward) const {
  int sel = selectionStart();
  if (sel >= 0) return sel;
  int pageStart = pages_.empty() ? 0 : int(pages_[page_].first);
  return forward ? pageStart - 1 : pageStart;
}

bool MessagePane::stepHit(bool forward) {
  int h = qv::stepHit(hits_, stepAnchor(forward), forward);
  if (h < 0) return false;
  size_t first = size_t(hits_[size_t(h)].first), last = size_t(hits_[size_t(h)].second);
  size_t page = qv::pageOf(pages_, first);
  if (page != page_) showPage(page);
  const qv::TextPage& p = pages_[page_];
  QTextCursor c(reader_->document());
  c.setPosition(toDisplay(first - p.first + p.lead));
  c.setPosition(toDisplay(std::min(last, p.first + p.length - 1) - p.first + p.lead + 1), QTextCursor::KeepAnchor);
  reader_->setTextCursor(c);
  reader_->ensureCursorVisible();
  updateButtons();
  return true;
}

bool MessagePane::nextHit() { return stepHit(true); }
bool MessagePane::previousHit() { return stepHit(false); }

void MessagePane::updateButtons() {
  prevPage_->setEnabled(page_ > 0);
  nextPage_->setEnabled(page_ + 1 < pages_.size());
  nextHit_->setEnabled(qv::stepHit(hits_, stepAnchor(true), true) >= 0);
  prevHit_->setEnabled(qv::stepHit(hits_, stepAnchor(false), false) >= 0);
}

}  // namespace qvm
