#include "topics/group_proc.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDateEdit>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QVBoxLayout>
#include <memory>

#include "browse/browse_kinds.h"
#include "database/topic_codes.h"
#include "events.h"
#include "export/copy_msg.h"
#include "export/print_msg.h"
#include "frame/window_host.h"
#include "maintenance/classify_run.h"
#include "originals/originals_export.h"
#include "print/copy_progress.h"
#include "print/print_messages.h"
#include "services/active_database.h"
#include "services/datetime.h"
#include "services/db_kind.h"
#include "services/prompt.h"
#include "services/settings.h"
#include "services/settings_items.h"
#include "services/topics.h"
#include "window_registry/window_registry.h"
#include "topics/topic_windows.h"

namespace qvm {

namespace {

// Rank of each scope button (value 0..8) in the scope codes.
constexpr int kRank[9] = {1, 3, 4, 2, 5, 6, 7, 8, 9};
const char* const kScopeText[9] = {" Message", " Sender", " Receiver", " Thread",       " Section",
                                   " Forum",   " KeyWord", " Topic",   " Search result"};
constexpr int kDefaultWrap = 78;

// A reader's format: the export layout that writes it and the files it
// names. An empty outbox hides the second file.
struct ExportFormat {
  const char* name;
  int layout;
  const char* inbox;
  const char* outbox;
};
// The first 8 characters of the database's name stand in for this inbox.
constexpr const char* kDatabaseSave = "*.SAV";
// Mail and newsgroup messages can also be written as they were imported,
// from the database's originals, into one mailbox file.
constexpr const char* kOriginalsFormat = "Originals as imported (mboxrd)";

const ExportFormat kForumFormats[] = {{"OzWin II", 4, kDatabaseSave, ""}, {"TAPCIS", 1, "SaveMsg.Txt", ""}};
const ExportFormat kMailFormats[] = {{"Eudora", 2, "InBox.MBX", "OutBox.MBX"},
                                     {"OzWin II", 4, "CISMAIL.IN", "CISMAIL.OUT"},
                                     {"TAPCIS", 1, "SaveMail.Txt", ""},
                                     {"Unix RFC822", 3, "InBox.MBX", "OutBox.MBX"},
                                     {kOriginalsFormat, qv::kLayoutOriginals, qv::kOriginalsFileName, ""}};
const ExportFormat kNewsFormats[] = {{"Unix RFC822", 3, "SaveMsg.TXT", ""},
                                     {kOriginalsFormat, qv::kLayoutOriginals, qv::kOriginalsFileName, ""}};

std::vector<ExportFormat> formatsOf(int kind) {
  if (kind == qv::KindMailDb) return {std::begin(kMailFormats), std::end(kMailFormats)};
  if (kind == qv::KindNewsDb) return {std::begin(kNewsFormats), std::end(kNewsFormats)};
  return {std::begin(kForumFormats), std::end(kForumFormats)};
}

// The settings item that keeps the layout last used for a kind (newsgroups
// have one format; their item keeps the originals choice of the settings).
int layoutItem(int kind) {
  return kind == qv::KindMailDb ? qv::ItemExportLayoutMail : kind == qv::KindForumDb ? qv::ItemExportLayoutForum : 0;
}

int32_t dayNumber(const QDate& d) { return d.isValid() ? qv::dateFromYMD(d.year(), d.month(), d.day()) : 0; }

// The scopes that are found from the current message; the whole database, a
// key word, a topic and the search result need none.
bool needsMessage(int scope) { return scope <= ScopeSection; }

}  // namespace

int groupScopeCode(int scope, int action) {
  int r = kRank[scope];
  if (action == ActionPrint) return r;
  return action == ActionNewFile || action == ActionAttach ? 2 * r : 2 * r + 1;
}

GroupProc::GroupProc(int request, QWidget* parent)
    : QWidget(parent), request_(request), kind_(qv::activeKind()) {
  setAttribute(Qt::WA_DeleteOnClose);
  setProperty("helpTopic", QStringLiteral("~Classify_Messages"));
  setWindowTitle(request == GroupExport  ? QStringLiteral("Export messages")
                 : request == GroupPrint ? QStringLiteral("Print Messages")
                                         : QStringLiteral("Classify Messages"));
  current_ = new QLabel(this);
  start_ = new QPushButton(QStringLiteral("Start"), this);
  start_->setDefault(true);
  connect(start_, &QPushButton::clicked, this, [this] { start(); });
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(current_);
  layout->addWidget(scopeBox());
  if (request_ != GroupPrint) layout->addWidget(actionBox());
  if (request_ == GroupExport) layout->addWidget(exportBox());
  layout->addWidget(filterBox());
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(start_);
  layout->addLayout(buttons);
  const QString thread = request == GroupExport  ? kExportProcThread
                         : request == GroupPrint ? kPrintProcThread
                                                 : kClassifyProcThread;
  TmCreate(this, thread, kFindGroup);
  takeSelection();
}

QGroupBox* GroupProc::scopeBox() {
  const QString title = request_ == GroupExport  ? QStringLiteral(" Export all messages related to the current:")
                        : request_ == GroupPrint ? QStringLiteral(" Print all messages related to the current:")
                                                 : QStringLiteral(" Classify all messages related to the current:");
  auto* box = new QGroupBox(title, this);
  auto* grid = new QGridLayout(box);
  scopes_ = new QButtonGroup(this);
  const bool mail = kind_ == qv::KindMailDb, news = kind_ == qv::KindNewsDb;
  for (int i = 0; i < 9; ++i) {
    QString text = QString::fromLatin1(kScopeText[i]);
    if (mail && i == ScopeThread) text = QStringLiteral(" MailPartner");
    if (mail && i == ScopeDatabase) text = QStringLiteral(" MailBox");
    if (news && i == ScopeDatabase) text = QStringLiteral(" NewsGroup");
    auto* b = new QRadioButton(text, box);
    scopes_->addButton(b, i);
    grid->addWidget(b, i % 5, i / 5);
    // Mail has no sections; a newsgroup database is one section.
    if (i == ScopeSection && (mail || news)) b->hide();
  }
  scopes_->button(ScopeMessage)->setChecked(true);
  connect(scopes_, &QButtonGroup::idToggled, this, [this] { enableStart(); });
  return box;
}

QGroupBox* GroupProc::actionBox() {
  auto* box = new QGroupBox(QStringLiteral(" Action"), this);
  auto* l = new QVBoxLayout(box);
  actions_ = new QButtonGroup(this);
  auto add = [&](int value, const QString& text) {
    auto* b = new QRadioButton(text, box);
    actions_->addButton(b, value);
    l->addWidget(b);
  };
  if (request_ == GroupExport) {
    add(ActionNewFile, QStringLiteral("Copy messages to new file"));
    add(ActionAppend, QStringLiteral("Append messages to existing file"));
    actions_->button(ActionNewFile)->setChecked(true);
  } else {
    add(ActionAttach, QStringLiteral("Attach topic"));
    add(ActionRemove, QStringLiteral("Remove topic"));
    actions_->button(ActionAttach)->setChecked(true);
    auto* row = new QHBoxLayout;
    auto* look = new QPushButton(QStringLiteral("&Topic..."), box);
    look->setToolTip(QStringLiteral("Choose the topic"));
    topicLabel_ = new QLabel(QStringLiteral("(no topic)"), box);
    connect(look, &QPushButton::clicked, this, [this] {
      openGpCodes(this, 0, [this](uint32_t id, const QString& text) { chooseTopic(id, text); });
    });
    row->addWidget(look);
    row->addWidget(topicLabel_, 1);
    l->addLayout(row);
  }
  return box;
}

QGroupBox* GroupProc::exportBox() {
  auto* box = new QGroupBox(QStringLiteral(" Export settings"), this);
  auto* f = new QFormLayout(box);
  format_ = new QComboBox(box);
  int stored = layoutItem(kind_) ? int(qv::KonfigGet(layoutItem(kind_))) : 0;
  for (const ExportFormat& x : formatsOf(kind_)) {
    format_->addItem(QString::fromLatin1(x.name), x.layout);
    if (x.layout == stored) format_->setCurrentIndex(format_->count() - 1);
  }
  inbox_ = new QLineEdit(box);
  outbox_ = new QLineEdit(box);
  for (QLineEdit* e : {inbox_, outbox_}) {
    e->setMaxLength(40);
    connect(e, &QLineEdit::editingFinished, this, [this, e] { checkName(e); });
  }
  outboxLabel_ = new QLabel(QStringLiteral("Outbox:"), box);
  hardCr_ = new QCheckBox(QStringLiteral("Use hard CRs"), box);
  hardCr_->setChecked(qv::KonfigGet(qv::ItemHardLineEnds) != 0);
  wrap_ = new QSpinBox(box);
  wrap_->setRange(20, 250);
  int64_t w = qv::KonfigGet(qv::ItemWrapColumn);
  wrap_->setValue(w > 0 ? int(w) : kDefaultWrap);
  wrap_->setEnabled(hardCr_->isChecked());
  // Both are stored at once.
  connect(hardCr_, &QCheckBox::toggled, this, [this](bool on) {
    wrap_->setEnabled(on);
    qv::KonfigSet(qv::ItemHardLineEnds, on ? 1 : 0);
    qv::Konfig(qv::KSaveDisplay);
  });
  connect(wrap_, &QSpinBox::valueChanged, this, [](int v) {
    qv::KonfigSet(qv::ItemWrapColumn, v);
    qv::Konfig(qv::KSaveDisplay);
  });
  // The format the user chooses is kept; opening the window changes nothing.
  connect(format_, &QComboBox::currentIndexChanged, this, [this] {
    formatChosen();
    if (int item = layoutItem(kind_)) {
      qv::KonfigSet(item, format_->currentData().toInt());
      qv::Konfig(qv::KSaveDisplay);
    }
  });
  f->addRow(QStringLiteral("Output format:"), format_);
  f->addRow(QStringLiteral("Inbox:"), inbox_);
  f->addRow(outboxLabel_, outbox_);
  f->addRow(hardCr_);
  f->addRow(QStringLiteral("Wrap column:"), wrap_);
  formatChosen();
  return box;
}

QGroupBox* GroupProc::filterBox() {
  auto* box = new QGroupBox(this);
  auto* l = new QHBoxLayout(box);
  dateFilter_ = new QCheckBox(QStringLiteral("Skip messages outside date range"), box);
  from_ = new QDateEdit(box);
  to_ = new QDateEdit(box);
  for (QDateEdit* d : {from_, to_}) {
    d->setCalendarPopup(true);
    d->setDisplayFormat(QStringLiteral("yyyy-MM-dd"));
    d->setDateRange(QDate(1900, 1, 1), QDate(2200, 12, 31));
    d->setDate(QDate::currentDate());
    d->setEnabled(false);
    connect(dateFilter_, &QCheckBox::toggled, d, &QWidget::setEnabled);
  }
  l->addWidget(dateFilter_);
  l->addWidget(new QLabel(QStringLiteral("From"), box));
  l->addWidget(from_);
  l->addWidget(new QLabel(QStringLiteral("To"), box));
  l->addWidget(to_);
  return box;
}

QAbstractButton* GroupProc::scopeButton(int scope) const { return scopes_->button(scope); }
QAbstractButton* GroupProc::actionButton(int action) const { return actions_ ? actions_->button(action) : nullptr; }
CopyProgress* GroupProc::progress() const { return qobject_cast<CopyProgress*>(progress_.data()); }

void GroupProc::formatChosen() {
  const std::vector<ExportFormat> formats = formatsOf(kind_);
  int i = format_->currentIndex();
  if (i < 0 || size_t(i) >= formats.size()) return;
  const ExportFormat& x = formats[size_t(i)];
  QString in = QString::fromLatin1(x.inbox);
  if (in == QLatin1String(kDatabaseSave))
    in = QString::fromStdString(qv::activeDescription()).left(8).trimmed() + QStringLiteral(".SAV");
  inbox_->setText(in);
  outbox_->setText(QString::fromLatin1(x.outbox));
  const bool two = x.outbox[0] != '\0';
  outbox_->setVisible(two);
  outboxLabel_->setVisible(two);
}

void GroupProc::checkName(QLineEdit* field) {
  if (!field->text().contains(QLatin1Char('\\'))) return;
  qv::Message("Do not include the path, just the filename!", "Filename error", qv::Icon::Exclamation);
  field->clear();
}

void GroupProc::chooseTopic(uint32_t id, const QString& text) {
  topic_ = id;
  if (topicLabel_) topicLabel_->setText(id ? text : QStringLiteral("(no topic)"));
}

// The browser's current message, key word and topic.
void GroupProc::takeSelection() {
  // Each kind of database publishes its browser's selection under its own
  // kind: a newsgroup's is read as a newsgroup's.
  context_ = qv::readBrowseContext(kind_);
  current_->setText(context_.selected ? QStringLiteral("Current message: %1").arg(context_.selected)
                                      : QStringLiteral("No message is selected."));
  scopes_->button(ScopeKeyWord)->setEnabled(context_.wordId != 0);
  scopes_->button(ScopeTopic)->setEnabled(context_.topicId != 0);
  QAbstractButton* checked = scopes_->checkedButton();
  if (checked && !checked->isEnabled()) scopes_->button(ScopeMessage)->setChecked(true);
  enableStart();
}

bool GroupProc::canStart() const { return context_.selected != 0 || !needsMessage(scopes_->checkedId()); }

void GroupProc::enableStart() { start_->setEnabled(canStart()); }

bool GroupProc::checkDates(qv::MessageRange& range) {
  if (!dateFilter_->isChecked()) return true;
  int32_t from = dayNumber(from_->date()), to = dayNumber(to_->date());
  qv::DateRangeFault fault = qv::dateRangeFault(from, to);
  if (fault != qv::DateRangeFault::None) {
    qv::Message(qv::dateRangeFaultText(fault), qv::kDateRangeCaption, qv::Icon::Exclamation);
    (fault == qv::DateRangeFault::From ? from_ : to_)->setFocus();
    return false;
  }
  range.dateRange = true;
  range.fromDate = from;
  range.toDate = to;
  return true;
}

bool GroupProc::start() {
  if (!canStart()) return false;
  const int action = request_ == GroupPrint ? ActionPrint : actions_->checkedId();
  const int scope = scopes_->checkedId();
  if (request_ == GroupClassify && topic_ == 0) {
    qv::Message("No topic selected!", "Selection error", qv::Icon::Exclamation);
    return false;
  }
  qv::MessageRange range;
  if (!checkDates(range)) return false;
  const int code = groupScopeCode(scope, action);
  postToThread(browseThreadName(kind_), EvBrowseToFront);
  if (request_ == GroupExport) {
    qv::CopyRequest r;
    r.scope = code;
    r.messageId = context_.selected;
    r.wordId = int32_t(context_.wordId);
    r.topicId = context_.topicId;
    r.defaultNames = false;
    r.file1 = inbox_->text().trimmed().toStdString();
    r.file2 = outbox_->text().trimmed().toStdString();
    r.layout = format_->currentData().toInt();
    r.filter = range;
    progress_ = copyMessages(r);
  } else if (request_ == GroupPrint) {
    qv::PrintRequest r;
    r.scope = code;
    r.messageId = context_.selected;
    r.wordId = int32_t(context_.wordId);
    r.topicId = context_.topicId;
    r.filter = range;
    progress_ = nullptr;
    printMessages(this, r);
  } else {
    classify(code, range);
  }
  return true;
}

void GroupProc::classify(int code, const qv::MessageRange& range) {
  qv::ClassifyRequest r;
  r.scope = code;
  r.messageId = context_.selected;
  r.wordId = int32_t(context_.wordId);
  r.setTopicId = context_.topicId;
  r.topicId = topic_;
  r.filter = range;
  auto run = std::make_shared<qv::ClassifyRun>(r);
  const int kind = kind_;
  auto* w = new CopyProgress(QStringLiteral("Classifying .."), QStringLiteral("messages classified"),
                             {[run] { return run->step(); }, [run] { run->cancel(); },
                              [kind] {
                                // The topic views and counts changed.
                                postToThread(browseThreadName(kind), EvToolsEnded);
                                postToThread(kBrowseTopicsThread, EvToolsEnded);
                                postToThread(kClassifyThread, EvAttachTopicsChanged);
                              },
                              {}},
                             nullptr, QStringLiteral("messages filtered out"));
  run->onProgress([w](const qv::ClassifyView& v) { w->showProgress(v.caption, v.classified, v.filtered); });
  w->show();
  progress_ = w;
}

bool GroupProc::event(QEvent* e) {
  const QvEvent* ev = privateEvent(e);
  if (ev && ev->number() == EvGroupSelection) {
    takeSelection();
    return true;
  }
  return QWidget::event(e);
}

void GroupProc::closeEvent(QCloseEvent* e) {
  postToThread(browseThreadName(kind_), EvGroupClosed);
  QWidget::closeEvent(e);
}

void openGroupProc(int request) {
  if (!qv::hasActiveDatabase()) return;
  if (request != GroupExport && request != GroupPrint && request != GroupClassify) request = GroupExport;
  showProcedureWindow(new GroupProc(request), SlotGroupProc, Geometry::PositionOnly);
}

}  // namespace qvm
