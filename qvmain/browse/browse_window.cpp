#include "browse/browse_window.h"

#include <algorithm>

#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QHBoxLayout>
#include <QHash>
#include <QHeaderView>
#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QMdiSubWindow>
#include <QCloseEvent>
#include <QMenu>
#include <QPlainTextEdit>
#include <QShortcut>
#include <QSplitter>
#include <QToolButton>
#include <QVBoxLayout>

#include "browse/browse_files.h"
#include "browse/browse_items.h"
#include "browse/browse_list.h"
#include "browse/browse_title.h"
#include "browse/hit_scan.h"
#include "browse/attachment_saver.h"
#include "browse/message_pane.h"
#include "browse/pro_search.h"
#include "browse/reading_pane.h"
#include "browse/view_settle.h"
#include "database/topic_codes.h"
#include "lookup/lookups.h"
#include "events.h"
#include "frame/icons.h"
#include "frame/window_host.h"
#include "services/active_database.h"
#include "services/datetime.h"
#include "services/db_kind.h"
#include "services/prompt.h"
#include "services/search_result.h"
#include "services/settings.h"
#include "services/settings_items.h"
#include "services/topics.h"
#include "setup/setting_look.h"
#include "window_registry/window_registry.h"

namespace qvm {

namespace {

// Where each database's browser stood when it last closed in this session,
// and the words of the search result it showed, by the database.
struct SessionPlace {
  qv::BrowseState state;
  qv::SearchMarks resultMarks;
};
QHash<QString, SessionPlace>& sessionStates() {
  static QHash<QString, SessionPlace> states;
  return states;
}

QString databaseKey() {
  return QString::fromStdString(qv::activeDatabaseDir()) + QLatin1Char('#') + QString::number(qv::activeDatabaseId());
}

QString tip(const char* text) { return text ? QString::fromLatin1(text) : QString(); }

// The date entry's date of a day number: day 0 ("no date") is the entry's
// lowest date, which it shows as a blank.
QDate entryDate(int32_t day) {
  int y, mo, d;
  qv::ymdFromDate(std::max(day, 0), y, mo, d);
  return QDate(y, mo, d);
}

// The limit flag of the item an entry chooses; nullptr for items without one.
bool* limitFlag(qv::BrowseState& s, EntryKind k) {
  switch (k) {
    case EntryKind::Thread: return &s.limitThread;
    case EntryKind::Sender: return &s.limitSender;
    case EntryKind::Receiver: return &s.limitReceiver;
    case EntryKind::Partner: return &s.limitPartner;
    default: return nullptr;
  }
}

qv::BrowsePerson& personOf(qv::BrowseState& s, EntryKind k) {
  return k == EntryKind::Sender ? s.sender : k == EntryKind::Receiver ? s.receiver : s.partner;
}
const qv::BrowsePerson& personOf(const qv::BrowseState& s, EntryKind k) {
  return k == EntryKind::Sender ? s.sender : k == EntryKind::Receiver ? s.receiver : s.partner;
}

// True when the state has an item chosen for the entry.
bool itemChosen(const qv::BrowseState& s, EntryKind k) {
  switch (k) {
    case EntryKind::Thread: return s.threadNumber != 0;
    case EntryKind::Section: return s.sectionId != 0;
    case EntryKind::Sender:
    case EntryKind::Receiver:
    case EntryKind::Partner: return personOf(s, k).id != 0;
    case EntryKind::Word: return s.wordId != 0;
    case EntryKind::Topic: return s.topicId != 0;
    default: return true;
  }
}

// Copies the item an entry chooses from one state to another.
void takeItem(qv::BrowseState& to, qv::BrowseState& from, EntryKind k) {
  switch (k) {
    case EntryKind::Thread:
      to.threadNumber = from.threadNumber;
      to.threadAlpha = from.threadAlpha;
      to.threadHeading = from.threadHeading;
      to.threadCount = from.threadCount;
      break;
    case EntryKind::Section:
      to.sectionId = from.sectionId;
      to.sectionLabel = from.sectionLabel;
      to.sectionCount = from.sectionCount;
      break;
    case EntryKind::Sender:
    case EntryKind::Receiver:
    case EntryKind::Partner: personOf(to, k) = personOf(from, k); break;
    default: break;
  }
}

// Forgets the item an entry chooses (its limit too).
void dropItem(qv::BrowseState& s, EntryKind k) {
  qv::BrowseState blank;
  takeItem(s, blank, k);
  if (bool* f = limitFlag(s, k)) *f = false;
  if (k == EntryKind::Word) {
    s.word.clear();
    s.wordId = 0;
  }
  if (k == EntryKind::Topic) s.topicId = 0;
}

}  // namespace

BrowseWindow::BrowseWindow(int kind, QWidget* parent)
    : QWidget(parent), kind_(kind), info_(browseKind(kind)) {
  setAttribute(Qt::WA_DeleteOnClose);
  setWindowIcon(systemIcon(QStringLiteral("AASYSTEM")));
  setMinimumSize(440, 250);
  files_ = qv::shareFiles(qv::rowFiles(kind));

  state_.kind = kind;
  auto it = sessionStates().find(databaseKey());
  if (it != sessionStates().end() && it->state.kind == kind) {
    state_ = it->state;
    resultMarks_ = it->resultMarks;
  }
  state_.mode = qv::storedBrowseMode(kind);
  if (modeInfo().entry == EntryKind::Section && state_.sectionId == 0) qv::chooseFirstSection(state_);
  // The view kept from before may have lost its subject or be empty (the
  // view is kept for forum and newsgroup databases alike): the browser
  // opens on one that shows the database's messages.
  qv::settleView(state_);
  resultOffered_ = state_.mode == qv::resultMode(kind);

  list_ = new BrowseList(kind, this);
  pane_ = new MessagePane(kind, this);
  saver_ = new AttachmentSaver(kind, pane_, this);
  pane_->headerRow()->addWidget(saver_->button());
  QHBoxLayout* top = buildTop();
  buildMenus();

  auto* split = new QSplitter(Qt::Vertical, this);
  split->addWidget(list_);
  split->addWidget(pane_);
  split->setChildrenCollapsible(false);
  split->setSizes({330, 270});

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(6, 6, 6, 6);
  layout->setSpacing(4);
  layout->addLayout(top);
  layout->addWidget(split, 1);

  const std::vector<int>& widths = info_.columnWidths;
  trackColumns(list_->table()->horizontalHeader(), info_.listSlot, QList<int>(widths.begin(), widths.end()));
  loadLooks();
  connect(list_, &BrowseList::messageSelected, this, &BrowseWindow::onSelected);

  fillSelector();
  relabel();
  refreshTitle();
  TmCreate(this, QString::fromLatin1(info_.threadName), kNotToolsGroup);
  rerun(state_.selected);
  // The view's entry control has the focus, else the list.
  if (!entry_->isHidden())
    entry_->setFocus();
  else if (!dateEntry_->isHidden())
    dateEntry_->setFocus();
  else
    list_->table()->setFocus();
  postToFrame(EvBrowseOpened);
}

BrowseWindow::~BrowseWindow() {
  if (!closed_) postToFrame(EvBrowseClosed);
}

const BrowseModeInfo& BrowseWindow::modeInfo() const { return browseMode(info_, state_.mode); }

QHBoxLayout* BrowseWindow::buildTop() {
  auto button = [this](const char* icon, Qt::ArrowType arrow) {
    auto* b = new QToolButton(this);
    if (icon)
      b->setIcon(systemIcon(QString::fromLatin1(icon)));
    else
      b->setArrowType(arrow);
    b->setAutoRaise(true);
    b->setFocusPolicy(Qt::TabFocus);
    return b;
  };
  previous_ = button(nullptr, Qt::LeftArrow);
  filter_ = button("FILTER", Qt::NoArrow);
  next_ = button(nullptr, Qt::RightArrow);
  connect(previous_, &QToolButton::clicked, this, &BrowseWindow::previousItem);
  connect(filter_, &QToolButton::clicked, this, &BrowseWindow::filterItem);
  connect(next_, &QToolButton::clicked, this, &BrowseWindow::nextItem);
  auto* prevKey = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_PageUp), this);
  auto* nextKey = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_PageDown), this);
  // F1 is the frame's: it opens the topic of the window in front.
  setProperty("helpTopic", QString::fromLatin1(info_.helpTopic));
  connect(prevKey, &QShortcut::activated, this, &BrowseWindow::previousItem);
  connect(nextKey, &QShortcut::activated, this, &BrowseWindow::nextItem);

  selector_ = new QComboBox(this);
  selector_->setSizeAdjustPolicy(QComboBox::AdjustToContents);
  connect(selector_, &QComboBox::activated, this, [this](int index) { setMode(selector_->itemData(index).toInt()); });

  modeLabel_ = new QLabel(this);
  entry_ = new QLineEdit(this);
  entry_->setMinimumWidth(160);
  connect(entry_, &QLineEdit::returnPressed, this, &BrowseWindow::entryDone);
  numberOnly_ = new QIntValidator(0, 2147483647, this);
  dateEntry_ = new QDateEdit(this);
  dateEntry_->setCalendarPopup(true);
  dateEntry_->setDisplayFormat(QStringLiteral("yyyy-MM-dd"));
  // A message without a date (day 0) shows a blank entry, not day 0's date.
  dateEntry_->setMinimumDate(entryDate(0));
  dateEntry_->setSpecialValueText(QStringLiteral(" "));
  dateEntry_->setDate(QDate::currentDate());
  connect(dateEntry_, &QDateEdit::editingFinished, this, &BrowseWindow::entryDone);
  connect(dateEntry_, &QDateEdit::dateChanged, this, [this] { dateTyped_ = true; });
  counter_ = new QLabel(this);
  counter_->setMinimumWidth(counter_->fontMetrics().horizontalAdvance(QStringLiteral("[000000]")));
  limit_ = new QCheckBox(QStringLiteral("Limit"), this);
  connect(limit_, &QCheckBox::clicked, this, &BrowseWindow::setLimit);
  lookup_ = button("LOOKUP", Qt::NoArrow);
  connect(lookup_, &QToolButton::clicked, this, &BrowseWindow::lookUp);
  bookmark_ = button("ALERTNO", Qt::NoArrow);
  showBookmark();
  bookmark_->setIconSize(QSize(24, 24));
  connect(bookmark_, &QToolButton::clicked, this, &BrowseWindow::toggleBookmark);

  auto* row = new QHBoxLayout;
  row->setSpacing(4);
  row->addWidget(previous_);
  row->addWidget(filter_);
  row->addWidget(next_);
  row->addSpacing(8);
  row->addWidget(selector_);
  row->addSpacing(8);
  row->addWidget(modeLabel_);
  row->addWidget(entry_, 1);
  row->addWidget(dateEntry_);
  row->addWidget(counter_);
  row->addWidget(limit_);
  row->addWidget(lookup_);
  row->addStretch(0);
  row->addWidget(bookmark_);
  return row;
}

// Colours and fonts of the settings: keep and delete rows, the hit marks,
// the counter, the list's and the reading pane's fonts.
void BrowseWindow::loadLooks() {
  keep_ = settingColour(qv::ItemColourKeep);
  delete_ = settingColour(qv::ItemColourDelete);
  list_->page()->setColours(keep_, delete_);
  pane_->setHighlight(settingColour(qv::ItemColourHighlight));
  // The counter stands on the counters colour, its text dark or light to match.
  QColor counters = settingColour(qv::ItemColourCounters);
  QPalette p = counter_->palette();
  p.setColor(QPalette::Window, counters);
  p.setColor(QPalette::WindowText, counters.lightness() > 140 ? Qt::black : Qt::white);
  counter_->setPalette(p);
  counter_->setAutoFillBackground(true);
  counter_->setAlignment(Qt::AlignCenter);
  counter_->setFont(settingFont(qv::ItemFontCounters, counter_->font()));
  QFont listFont = settingFont(qv::ItemFontLists, list_->table()->font());
  list_->table()->setFont(listFont);
  list_->table()->verticalHeader()->setDefaultSectionSize(QFontMetrics(listFont).height() + 6);
  pane_->reader()->setFont(settingFont(qv::ItemFontText, pane_->reader()->font()));
}

void BrowseWindow::refreshTitle() {
  setWindowTitle(QString::fromStdString(qv::browseTitle(kind_, qv::activeDescription(), qv::messageCount(kind_))));
}

// The selector offers every view of the kind; the result view only while
// a search result is there to show.
void BrowseWindow::fillSelector() {
  QSignalBlocker block(selector_);
  selector_->clear();
  int result = qv::resultMode(kind_);
  for (const BrowseModeInfo& m : info_.modes) {
    if (m.mode == result && !resultOffered_ && state_.mode != result) continue;
    selector_->addItem(QString::fromLatin1(m.selector), m.mode);
    selector_->setItemData(selector_->count() - 1, QString::fromLatin1(m.selector), Qt::ToolTipRole);
  }
  selector_->setCurrentIndex(selector_->findData(state_.mode));
}

QString BrowseWindow::chosenText() const {
  const qv::BrowseState& s = state_;
  switch (modeInfo().entry) {
    case EntryKind::Thread: return QString::fromStdString(s.threadHeading).trimmed();
    case EntryKind::Section: return QString::fromStdString(s.sectionLabel).trimmed();
    case EntryKind::Sender:
    case EntryKind::Receiver:
    case EntryKind::Partner: return QString::fromStdString(personOf(s, modeInfo().entry).name).trimmed();
    case EntryKind::Word: return QString::fromStdString(s.word).trimmed();
    case EntryKind::Topic:
      if (s.topicId == 0) return QString();
      for (const qv::Topic& t : qv::listTopics())
        if (t.id == s.topicId) return QString::fromStdString(t.text).trimmed();
      return QString();
    default: return QString();
  }
}

// The mode label, the entry with its limit and look-up, the item buttons'
// tips and the selector's tip of the current view.
void BrowseWindow::relabel() {
  const BrowseModeInfo& m = modeInfo();
  selector_->setCurrentIndex(selector_->findData(state_.mode));
  selector_->setToolTip(QString::fromLatin1(m.selector));
  modeLabel_->setText(QString::fromLatin1(m.label));
  bool text = m.entry != EntryKind::None && m.entry != EntryKind::Date;
  entry_->setVisible(text);
  dateEntry_->setVisible(m.entry == EntryKind::Date);
  entry_->setToolTip(tip(m.entryTip));
  entry_->setValidator(m.entry == EntryKind::Number ? numberOnly_ : nullptr);
  if (m.entry == EntryKind::Number) {
    entry_->clear();
  } else {
    entry_->setText(chosenText());
  }
  uint32_t count = 0;
  switch (m.entry) {
    case EntryKind::Thread: count = state_.threadCount; break;
    case EntryKind::Section: count = state_.sectionCount; break;
    case EntryKind::Sender: count = state_.sender.count; break;
    case EntryKind::Receiver: count = state_.receiver.count; break;
    case EntryKind::Partner: count = state_.partner.count; break;
    default: break;
  }
  // The result view counts its hits, from the moment the search ends.
  bool result = state_.mode == qv::resultMode(kind_);
  if (result) count = uint32_t(qv::searchResultCount());
  bool counted = count != 0 && itemChosen(state_, m.entry);
  counter_->setText(counted ? QStringLiteral("[%1]").arg(count) : QString());
  counter_->setToolTip(counted && result ? QStringLiteral("Messages in the search result") : QString());
  counter_->setVisible(counted);
  limit_->setVisible(m.limitTip != nullptr);
  limit_->setToolTip(tip(m.limitTip));
  bool* flag = limitFlag(state_, m.entry);
  limit_->setEnabled(flag != nullptr);
  limit_->setChecked(flag ? *flag : m.entry == EntryKind::Section);
  lookup_->setVisible(m.lookupTip != nullptr);
  lookup_->setToolTip(tip(m.lookupTip));
  previous_->setToolTip(tip(m.previousTip));
  filter_->setToolTip(tip(m.filterTip));
  next_->setToolTip(tip(m.nextTip));
  previous_->setEnabled(m.previousTip != nullptr);
  filter_->setEnabled(m.filterTip != nullptr);
  next_->setEnabled(m.nextTip != nullptr);
}

void BrowseWindow::rerun(uint32_t id) { list_->setView(state_, id); }

void BrowseWindow::setMode(int mode) {
  if (mode == state_.mode) return;
  state_.mode = browseMode(info_, mode).mode;
  EntryKind k = modeInfo().entry;
  qv::refreshSubject(state_);
  bool* flag = limitFlag(state_, k);
  if (state_.selected != 0 && (!itemChosen(state_, k) || (flag && !*flag))) {
    // A view without a chosen item, or not limited to it, starts with the
    // item of the selected message.
    qv::BrowseState from = state_;
    if (qv::chooseFromMessage(from, state_.selected)) takeItem(state_, from, k);
  }
  if (k == EntryKind::Section && state_.sectionId == 0) qv::chooseFirstSection(state_);
  fillSelector();
  relabel();
  rerun(state_.selected);
}

bool BrowseWindow::showMessage(uint32_t id) {
  if (id == 0 || !list_->showMessage(id)) return false;
  if (state_.selected == id) showHits();
  return true;
}

void BrowseWindow::onSelected(uint32_t id) {
  state_.selected = id;
  qv::BrowseRow row;
  bool have = id != 0 && qv::readBrowseRow(kind_, id, row);
  std::string shown;
  if (have) qv::readShownText(kind_, id, shown);
  pane_->setMessage(have ? &row : nullptr, shown);
  saver_->setMessage(have ? id : 0);
  if (have && modeInfo().entry == EntryKind::Date && !dateTyped_) {
    // The date entry follows the selection until a date is typed.
    QSignalBlocker block(dateEntry_);
    followedDate_ = entryDate(row.date);
    dateEntry_->setDate(followedDate_);
  }
  if (findHit_ != id) findHit_ = 0;
  if (followSelection()) relabel();
  showHits();
  tellSelection();
}

// A view that is not limited to its chosen item names the item of the
// selected message, so that the entry never shows an item the list is not
// at. A view without a chosen item (the look-up was cancelled) stays so.
bool BrowseWindow::followSelection() {
  EntryKind k = modeInfo().entry;
  bool* flag = limitFlag(state_, k);
  if (!flag || *flag || state_.selected == 0 || !itemChosen(state_, k)) return false;
  qv::BrowseState from = state_;
  if (!qv::chooseFromMessage(from, state_.selected)) return false;
  bool same = false;
  switch (k) {
    case EntryKind::Thread: same = from.threadNumber == state_.threadNumber; break;
    default: same = personOf(from, k).id == personOf(state_, k).id; break;
  }
  if (same) return false;
  takeItem(state_, from, k);
  return true;
}

// Marks the find string after a find hit, else the searched words in the
// result view and the key word in the key word view.
void BrowseWindow::showHits() {
  qv::Hits hits;
  const std::string& shown = pane_->shown();
  if (findHit_ != 0 && findHit_ == state_.selected) {
    const qv::FindSettings& fs = qv::findSettings();
    if (!fs.findString.empty()) hits = qv::scanHits(shown, fs.findString, fs.matchCase, fs.wholeWords);
  } else if (modeInfo().entry == EntryKind::Word && !state_.word.empty()) {
    hits = qv::wordHits(shown, {state_.word});
  } else if (state_.mode == qv::resultMode(kind_) && !resultMarks_.empty()) {
    hits = qv::searchHits(shown, resultMarks_);
  }
  pane_->setHits(hits);
}

void BrowseWindow::neighbour(bool forward) {
  if (!modeInfo().nextTip) return;
  if (!qv::neighbourItem(state_, forward)) {
    qv::Beep();
    return;
  }
  relabel();
  rerun(0);
}

// Limits the view to the item of the selected message; pressed again on
// the same item it lifts the limit (the section view is always limited).
void BrowseWindow::filterItem() {
  const BrowseModeInfo& m = modeInfo();
  if (!m.filterTip || state_.selected == 0) return;
  qv::BrowseState from = state_;
  if (!qv::chooseFromMessage(from, state_.selected)) {
    qv::Beep();
    return;
  }
  bool* flag = limitFlag(state_, m.entry);
  bool same = false;
  switch (m.entry) {
    case EntryKind::Thread: same = from.threadNumber == state_.threadNumber; break;
    case EntryKind::Section: same = from.sectionId == state_.sectionId; break;
    default: same = personOf(from, m.entry).id == personOf(state_, m.entry).id; break;
  }
  if (flag && *flag && same) {
    *flag = false;
  } else {
    takeItem(state_, from, m.entry);
    if (flag) *flag = true;
  }
  relabel();
  rerun(state_.selected);
}

void BrowseWindow::setLimit(bool on) {
  EntryKind k = modeInfo().entry;
  bool* flag = limitFlag(state_, k);
  if (!flag) return;
  if (on && !itemChosen(state_, k) && state_.selected != 0) {
    qv::BrowseState from = state_;
    if (qv::chooseFromMessage(from, state_.selected)) takeItem(state_, from, k);
  }
  *flag = on && itemChosen(state_, k);
  relabel();
  rerun(state_.selected);
}

void BrowseWindow::entryDone() {
  const BrowseModeInfo& m = modeInfo();
  switch (m.entry) {
    case EntryKind::None: return;
    case EntryKind::Number: {
      bool ok = false;
      uint32_t n = entry_->text().trimmed().toUInt(&ok);
      if (ok) list_->showNumber(n);
      return;
    }
    case EntryKind::Date: {
      QDate d = dateEntry_->date();
      if (d == followedDate_) return;  // left as the selection set it: nothing to find
      followedDate_ = d;
      dateTyped_ = false;
      int32_t date = qv::dateFromYMD(d.year(), d.month(), d.day());
      if (date == 0) return;
      state_.date = date;
      list_->showDate(date);
      return;
    }
    default:
      if (entry_->text().trimmed() == chosenText()) return;
      // Typed text that differs from the chosen item: the limit goes and the list opens.
      if (bool* flag = limitFlag(state_, m.entry); flag && *flag) {
        *flag = false;
        limit_->setChecked(false);
        rerun(state_.selected);
      }
      lookUp();
      return;
  }
}

// The look-up of the current view: the picker opens at the typed text.
void BrowseWindow::lookUp() {
  QPointer<BrowseWindow> self(this);
  auto done = [self](bool ok, uint32_t id) {
    if (self) self->pickDone(ok, id);
  };
  QString text = entry_->text().trimmed();
  EntryKind k = modeInfo().entry;
  switch (k) {
    case EntryKind::Thread: pickThread(this, text, done); break;
    case EntryKind::Section: pickSection(this, text, done); break;
    case EntryKind::Sender:
    case EntryKind::Receiver:
    case EntryKind::Partner: {
      pickPerson(this, text, text == chosenText() ? personOf(state_, k).id : 0, done);
      break;
    }
    case EntryKind::Word: pickWord(this, text, done); break;
    case EntryKind::Topic: {
      GpCodes* codes = openGpCodes(this, 0, [self](uint32_t id, QString) {
        if (self) self->pickDone(true, id);
      });
      connect(codes, &QDialog::rejected, this, [self] {
        if (self) self->pickDone(false, 0);
      });
      break;
    }
    case EntryKind::Number:
    case EntryKind::Date: entryDone(); break;
    case EntryKind::None: break;
  }
}

// A picker closed: the chosen item becomes the view's limit; cancelling
// clears the entry and the limit (the section view falls back to the first
// section).
void BrowseWindow::pickDone(bool ok, uint32_t id) {
  EntryKind k = modeInfo().entry;
  bool chosen = false;
  if (ok) {
    switch (k) {
      case EntryKind::Thread: chosen = qv::chooseThread(state_, id); break;
      case EntryKind::Section: chosen = qv::chooseSection(state_, id); break;
      case EntryKind::Sender:
      case EntryKind::Receiver:
      case EntryKind::Partner: chosen = qv::choosePerson(state_, state_.mode, id); break;
      case EntryKind::Word: chosen = qv::chooseWord(state_, id); break;
      case EntryKind::Topic: chosen = qv::chooseTopic(state_, id); break;
      default: break;
    }
  }
  if (chosen) {
    if (bool* flag = limitFlag(state_, k)) *flag = true;
    relabel();
    rerun(0);
    return;
  }
  if (k == EntryKind::Section)
    qv::chooseFirstSection(state_);
  else
    dropItem(state_, k);
  relabel();
  rerun(state_.selected);
}

void BrowseWindow::toggleBookmark() {
  if (!saved_) {
    saved_ = state_;
    showBookmark();
    return;
  }
  state_ = *saved_;
  saved_.reset();
  showBookmark();
  if (state_.mode == qv::resultMode(kind_)) resultOffered_ = true;
  fillSelector();
  relabel();
  rerun(state_.selected);
}

void BrowseWindow::showBookmark() {
  bookmark_->setIcon(systemIcon(saved_ ? QStringLiteral("ALERT") : QStringLiteral("ALERTNO")));
  bookmark_->setToolTip(saved_ ? QStringLiteral("Reset to BookMark") : QStringLiteral("Set BookMark"));
}

// Closing: a running text find or thread tree closes first and the close
// is tried again; then the view and position are kept and the frame told.
void BrowseWindow::closeEvent(QCloseEvent* e) {
  if (findWindowsOpen()) {
    e->ignore();
    TmDestroyGroup(kFindGroup);
    // A find window that refused to close keeps the browser open too.
    if (!findWindowsOpen()) QMetaObject::invokeMethod(this, &BrowseWindow::closeOuter, Qt::QueuedConnection);
    return;
  }
  qv::storeBrowseMode(kind_, state_.mode);
  sessionStates()[databaseKey()] = {state_, resultMarks_};
  TmDestroy(this);
  closed_ = true;
  postToFrame(EvBrowseClosed);
  e->accept();
}

bool BrowseWindow::findWindowsOpen() const {
  for (const QString& name : TmMembers(kFindGroup)) {
    QWidget* w = TmWindow(TmGetId(name));
    if (w && w->isVisible()) return true;
  }
  return false;
}

// Closes the window, with its frame when it lives in the frame's window area.
void BrowseWindow::closeOuter() {
  if (auto* sub = qobject_cast<QMdiSubWindow*>(parentWidget()))
    sub->close();
  else
    close();
}

// Opening the browsers.

namespace {
void openBrowse(int kind) {
  const BrowseKindInfo& k = browseKind(kind);
  showProcedureWindow(new BrowseWindow(kind), k.windowSlot);
}
}  // namespace

void openBrowseMsgNmbr() { openBrowse(threadedBrowseKind()); }
void openBrowseMail() { openBrowse(qv::KindMailDb); }

}  // namespace qvm
