#include "search/text_find_window.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QElapsedTimer>
#include <QDateEdit>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <QVBoxLayout>

#include "browse/browse_kinds.h"
#include "browse/browse_state.h"
#include "browse/hit_scan.h"
#include "events.h"
#include "frame/icons.h"
#include "frame/window_host.h"
#include "help/help_window.h"
#include "services/datetime.h"
#include "services/db_kind.h"
#include "services/globals.h"
#include "services/prompt.h"
#include "services/settings.h"
#include "services/settings_items.h"
#include "services/utilities.h"
#include "window_registry/window_registry.h"

namespace qvm {

namespace {

constexpr int kTickMs = 10;
constexpr int kSliceMs = 8;  // time a tick may search for
constexpr int kStopwatch = 4;

// The ends of the date edits stand for "no limit on that side".
const QDate kFirstDate(1980, 1, 1);
const QDate kLastDate(2099, 12, 31);

int32_t dayOf(const QDate& d) { return qv::dateFromYMD(d.year(), d.month(), d.day()); }

QRadioButton* radio(const QString& text, const QString& tip, QWidget* parent) {
  auto* b = new QRadioButton(text, parent);
  if (!tip.isEmpty()) b->setToolTip(tip);
  return b;
}

QDateEdit* dateEdit(const QDate& value, QWidget* parent) {
  auto* d = new QDateEdit(value, parent);
  d->setDisplayFormat(QStringLiteral("yyyy-MM-dd"));
  d->setDateRange(kFirstDate, kLastDate);
  d->setCalendarPopup(true);
  return d;
}

}  // namespace

TextFindWindow::TextFindWindow(int kind, QWidget* parent)
    : QWidget(parent), kind_(kind), engine_(std::make_unique<qv::TextFind>(kind)), sliceMs_(kSliceMs) {
  setAttribute(Qt::WA_DeleteOnClose);
  setWindowTitle(QStringLiteral(" Standard Search"));
  setWindowIcon(systemIcon(QStringLiteral("SEARCH2")));
  const bool mail = kind_ == qv::KindMailDb;
  const qv::FindSettings& s = qv::findSettings();

  auto* label = new QLabel(QStringLiteral("Text string to find"), this);
  field_ = new QLineEdit(this);
  field_->setMaxLength(int(qv::kFindStringChars));
  field_->setMinimumWidth(200);
  field_->setToolTip(QStringLiteral("Text string to find"));
  field_->setText(QString::fromStdString(qv::cutFindString(s.findString)));
  label->setBuddy(field_);
  next_ = new QPushButton(QStringLiteral("&Next"), this);
  next_->setToolTip(QStringLiteral("Find next occurance of text"));
  next_->setDefault(true);
  options_ = new QPushButton(QStringLiteral("&Options"), this);
  options_->setToolTip(QStringLiteral("Show search options"));
  options_->setCheckable(true);

  panel_ = new QWidget(this);
  auto* scopeBox = new QGroupBox(QStringLiteral("Search"), panel_);
  subjectAndText_ = radio(mail ? QStringLiteral(" Mail text/Mail subject") : QStringLiteral(" Msgtext/Thread subject"),
                          QString(), scopeBox);
  subjectOnly_ = radio(mail ? QStringLiteral(" Mail subject only") : QStringLiteral(" Thread subject only"), QString(),
                       scopeBox);
  subjectAndText_->setChecked(true);
  auto* scopeLayout = new QVBoxLayout(scopeBox);
  scopeLayout->addWidget(subjectAndText_);
  scopeLayout->addWidget(subjectOnly_);

  auto* startBox = new QGroupBox(QStringLiteral("Start at"), panel_);
  newest_ = radio(mail ? QStringLiteral(" Newest mail") : QStringLiteral(" Newest msg"),
                  mail ? QStringLiteral("Start search with newest mail message")
                       : QStringLiteral("Start search with newest message"),
                  startBox);
  oldest_ = radio(mail ? QStringLiteral(" Oldest mail") : QStringLiteral(" Oldest msg"),
                  mail ? QStringLiteral("Start search with oldest mail message")
                       : QStringLiteral("Start search with oldest message"),
                  startBox);
  newest_->setChecked(true);
  auto* startLayout = new QVBoxLayout(startBox);
  startLayout->addWidget(newest_);
  startLayout->addWidget(oldest_);

  auto* matchBox = new QGroupBox(QStringLiteral("Match"), panel_);
  case_ = new QCheckBox(QStringLiteral("Case"), matchBox);
  case_->setToolTip(QStringLiteral("Text with matching character case only"));
  case_->setChecked(s.matchCase);
  word_ = new QCheckBox(QStringLiteral("Word"), matchBox);
  word_->setToolTip(QStringLiteral("Matching words only"));
  word_->setChecked(s.wholeWords);
  auto* matchLayout = new QVBoxLayout(matchBox);
  matchLayout->addWidget(case_);
  matchLayout->addWidget(word_);

  auto* dateBox = new QGroupBox(QStringLiteral("Date range"), panel_);
  from_ = dateEdit(kFirstDate, dateBox);
  from_->setToolTip(QStringLiteral("Leave out messages dated before this day"));
  to_ = dateEdit(kLastDate, dateBox);
  to_->setToolTip(QStringLiteral("Leave out messages dated after this day"));
  auto* dateLayout = new QGridLayout(dateBox);
  dateLayout->addWidget(new QLabel(QStringLiteral("From:"), dateBox), 0, 0);
  dateLayout->addWidget(from_, 0, 1);
  dateLayout->addWidget(new QLabel(QStringLiteral("To:"), dateBox), 1, 0);
  dateLayout->addWidget(to_, 1, 1);

  auto* panelLayout = new QGridLayout(panel_);
  panelLayout->setContentsMargins(0, 0, 0, 0);
  panelLayout->addWidget(scopeBox, 0, 0);
  panelLayout->addWidget(startBox, 0, 1);
  panelLayout->addWidget(matchBox, 1, 0);
  panelLayout->addWidget(dateBox, 1, 1);
  panel_->setVisible(false);

  connect(next_, &QPushButton::clicked, this, &TextFindWindow::findNext);
  connect(field_, &QLineEdit::returnPressed, this, &TextFindWindow::findNext);
  connect(options_, &QPushButton::toggled, this, [this](bool on) {
    panel_->setVisible(on);
    layout()->activate();
    adjustSize();
    // Inside the frame's window area the sub-window follows.
    if (auto* sub = qobject_cast<QMdiSubWindow*>(parentWidget())) sub->adjustSize();
  });

  auto* top = new QGridLayout;
  top->addWidget(label, 0, 0, 1, 2);
  top->addWidget(field_, 1, 0);
  top->addWidget(next_, 1, 1);
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(options_);
  buttons->addStretch();
  buttons->addWidget(helpButton(this, QStringLiteral("~Standard_Search_and_Find")));
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(top);
  layout->addLayout(buttons);
  layout->addWidget(panel_);
  layout->setSizeConstraint(QLayout::SetFixedSize);

  timer_ = new QTimer(this);
  timer_->setInterval(kTickMs);
  connect(timer_, &QTimer::timeout, this, &TextFindWindow::tick);
  TmCreate(this, QString::fromLatin1(browseKind(kind_).findThread), kFindGroup);
}

TextFindWindow::~TextFindWindow() { timer_->stop(); }

QString TextFindWindow::browserName() const {
  return browseThreadName(kind_);
}

bool TextFindWindow::searching() const { return timer_->isActive(); }

qv::TextFindOptions TextFindWindow::options() const {
  qv::TextFindOptions o;
  o.scope = subjectOnly_->isChecked() ? 2 : 1;
  o.direction = oldest_->isChecked() ? 2 : 1;
  o.fromDate = from_->date() > kFirstDate ? dayOf(from_->date()) : 0;
  o.toDate = to_->date() < kLastDate ? dayOf(to_->date()) : 0;
  return o;
}

void TextFindWindow::findNext() {
  if (searching()) return;
  std::string text = qv::cutFindString(field_->text().toStdString());
  if (QString::fromStdString(text).trimmed().isEmpty() || TmGetId(browserName()) == 0) {
    qv::Beep();  // nothing to find, or no browser to show it
    return;
  }
  qv::FindSettings& s = qv::findSettings();
  s.findString = text;
  s.matchCase = case_->isChecked();
  s.wholeWords = word_->isChecked();
  engine_->start(options());
  postToThread(browserName(), EvFindStart);
  next_->setEnabled(false);
  panel_->setEnabled(false);
  qv::StartStop(1, kStopwatch);
  timer_->start();
}

void TextFindWindow::tick() {
  // Batches of the speed setting's size, as many as fit in a few
  // milliseconds: the window stays responsive between ticks, and a large
  // database is not searched a handful of messages per tick.
  QElapsedTimer slice;
  slice.start();
  qv::FindStep r;
  do r = engine_->step(int(qv::SpeedVal(qv::KGet, qv::ItemSpeedFind)));
  while (r == qv::FindStep::Searching && slice.elapsed() < sliceMs_);
  if (r == qv::FindStep::Searching) return;
  qv::BrowseState now = qv::readBrowseContext(kind_);
  now.selected = engine_->view().selected;
  if (!(now == engine_->view())) {
    // The browser changed its view while the search ran: what was found
    // (or not) is not what it shows, so the search starts again in the new
    // view from its current message.
    engine_->start(options());
    return;
  }
  timer_->stop();
  if (r == qv::FindStep::EndOfView) {
    int64_t seconds = qv::StartStop(2, kStopwatch);
    postToThread(browserName(), EvFindEnd);
    if (qv::KonfigGet(qv::ItemImportCompletion) == 1) {
      qv::Beep();
      qv::Message("The time for completion was: " + std::to_string(seconds) + " seconds", " Standard Search  ",
                  qv::Icon::Information);
    }
    qv::Message("No more messages in this direction!", " End of File!", qv::Icon::Information);
  } else {
    qv::StartStop(2, kStopwatch);
    // The browser shows the message the find leaves in its context.
    qv::writeBrowseContext(now);
    postToThread(browserName(), r == qv::FindStep::SubjectHit ? EvFindSubjectHit : EvFindTextHit);
  }
  idle();
}

void TextFindWindow::idle() {
  next_->setEnabled(true);
  panel_->setEnabled(true);
  if (isVisible()) field_->setFocus();
}

void TextFindWindow::closeEvent(QCloseEvent* e) {
  timer_->stop();
  postToThread(browserName(), EvFindEnd);
  postToThread(browserName(), EvFindClosed);
  TmDestroy(this);
  e->accept();
}

void openTextFind(int kind) {
  const QString name = QString::fromLatin1(browseKind(kind).findThread);
  if (QWidget* running = TmWindow(TmGetId(name))) {
    activateWindow(running);
    return;
  }
  showProcedureWindow(new TextFindWindow(kind), SlotTextFind, Geometry::PositionOnly);
}

}  // namespace qvm
