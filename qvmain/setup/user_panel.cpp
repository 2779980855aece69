#include "setup/user_panel.h"

#include <QCheckBox>
#include <QColorDialog>
#include <QComboBox>
#include <QDate>
#include <QFileDialog>
#include <QFontDialog>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>
#include <QSpinBox>
#include <QTabWidget>
#include <QTime>
#include <QTimeEdit>
#include <QVBoxLayout>
#include <filesystem>

#include "events.h"
#include "frame/icons.h"
#include "frame/main_frame.h"
#include "frame/window_host.h"
#include "help/help_window.h"
#include "import/formats.h"
#include "originals/originals_export.h"
#include "services/prompt.h"
#include "services/settings.h"
#include "services/settings_items.h"
#include "services/temp_directory.h"
#include "setup/setting_look.h"
#include "window_registry/window_registry.h"

namespace qvm {

namespace {

constexpr int kColourItems[5] = {qv::ItemColourHighlight, qv::ItemColourCounters, qv::ItemColourKeep,
                                 qv::ItemColourDelete, qv::ItemColourThreadTree};
const char* const kColourNames[5] = {"Highlighted words", "Counters", "Items to keep", "Items to delete", "Thread tree"};
const char* const kFontNames[4] = {"Lists", "Message text", "Counters", "Thread tree"};
const char* const kSpeedNames[5] = {"Maintenance runs (purge, count, duplicates)", "List refresh", "Word indexing",
                                    "Word search", "Import and merging"};

// The export layout that writes the messages as they were imported.
const char* const kOriginalsLayoutText = "Originals as imported (mailbox file, mboxrd)";

void selectData(QComboBox* box, int value) {
  int i = box->findData(value);
  box->setCurrentIndex(i >= 0 ? i : 0);
}

// Minutes after midnight kept in a 16-bit item (0: not set).
QTime fromMinutes(int64_t m) { return QTime(0, 0).addSecs(int(m % 1440) * 60); }
int toMinutes(const QTime& t) { return t.hour() * 60 + t.minute(); }

}  // namespace

UserPanel::UserPanel(QWidget* parent) : QWidget(parent) {
  setAttribute(Qt::WA_DeleteOnClose);
  setWindowTitle(QStringLiteral("Changing program setup"));
  setWindowIcon(systemIcon(QStringLiteral("SETUP")));
  tabs_ = new QTabWidget(this);
  tabs_->addTab(directoriesTab(), QStringLiteral("&Directories"));
  tabs_->addTab(displayTab(), QStringLiteral("D&isplay"));
  tabs_->addTab(speedTab(), QStringLiteral("&Speed"));
  tabs_->addTab(exportTab(), QStringLiteral("&Export"));
  tabs_->addTab(tasksTab(), QStringLiteral("&Tasks"));
  auto* ok = new QPushButton(QStringLiteral("OK"), this);
  ok->setDefault(true);
  auto* cancel = new QPushButton(QStringLiteral("Cancel"), this);
  connect(ok, &QPushButton::clicked, this, [this] {
    if (save()) close();
  });
  connect(cancel, &QPushButton::clicked, this, &QWidget::close);
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(helpButton(this, QStringLiteral("~Changing_program_setup")));
  buttons->addStretch();
  buttons->addWidget(ok);
  buttons->addWidget(cancel);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(tabs_);
  layout->addLayout(buttons);
  TmCreate(this, QStringLiteral("UserPanel"), kNotToolsGroup);
}

UserPanel::~UserPanel() { postToFrame(EvToolsEnded); }

QWidget* UserPanel::directoryRow(QLineEdit*& edit, const std::string& value) {
  auto* row = new QWidget(this);
  auto* l = new QHBoxLayout(row);
  l->setContentsMargins(0, 0, 0, 0);
  edit = new QLineEdit(QString::fromStdString(value), row);
  edit->setMaxLength(100);
  edit->setMinimumWidth(340);
  auto* browse = new QPushButton(QStringLiteral("..."), row);
  browse->setToolTip(QStringLiteral("Choose the directory"));
  QLineEdit* e = edit;
  connect(browse, &QPushButton::clicked, this, [this, e] {
    QString d = QFileDialog::getExistingDirectory(this, QStringLiteral("Choose a directory"), e->text());
    if (!d.isEmpty()) e->setText(d);
  });
  l->addWidget(edit, 1);
  l->addWidget(browse);
  return row;
}

QWidget* UserPanel::directoriesTab() {
  auto* w = new QWidget(this);
  auto* f = new QFormLayout(w);
  f->addRow(QStringLiteral("Temporary files:"), directoryRow(temp_, qv::AutoPathGet(qv::ItemTempDirectory)));
  f->addRow(QStringLiteral("Data files (databases):"), directoryRow(data_, qv::AutoPathGet(qv::ItemDataDirectory)));
  f->addRow(QStringLiteral("Word index files:"), directoryRow(index_, qv::WSVarsText(qv::ItemIndexRoot)));
  f->addRow(QStringLiteral("Default import files:"), directoryRow(import_, qv::KonfigText(qv::ItemImportDirectory)));
  defaultFormat_ = new QComboBox(w);
  for (const qv::FormatInfo* fi : qv::offeredFormats()) defaultFormat_->addItem(QString::fromLatin1(fi->name), fi->number);
  int fmt = int(qv::KonfigGet(qv::ItemImportFormat));
  selectData(defaultFormat_, qv::formatByNumber(fmt) ? fmt : qv::kDefaultFormatNumber);
  f->addRow(QStringLiteral("Default import file type:"), defaultFormat_);
  auto* note = new QLabel(QStringLiteral("A changed data or word index directory is used from the next start of Quorvane."), w);
  note->setWordWrap(true);
  f->addRow(note);
  return w;
}

QWidget* UserPanel::displayTab() {
  auto* w = new QWidget(this);
  auto* f = new QFormLayout(w);
  date_ = new QComboBox(w);
  date_->addItem(QStringLiteral("Month-Day-Year"), 2);
  date_->addItem(QStringLiteral("Day-Month-Year"), 6);
  date_->addItem(QStringLiteral("Year-Month-Day"), 10);
  date_->addItem(QStringLiteral("Desktop setting"), 17);
  selectData(date_, int(qv::KonfigGet(qv::ItemDateFormat)));
  time_ = new QComboBox(w);
  time_->addItem(QStringLiteral("Hours:Minutes (24 hours)"), 1);
  time_->addItem(QStringLiteral("Hours:Minutes AM/PM"), 3);
  time_->addItem(QStringLiteral("Desktop setting"), 7);
  selectData(time_, int(qv::KonfigGet(qv::ItemTimeFormat)));
  preview_ = new QLabel(w);
  connect(date_, &QComboBox::currentIndexChanged, this, &UserPanel::updatePreview);
  connect(time_, &QComboBox::currentIndexChanged, this, &UserPanel::updatePreview);
  f->addRow(QStringLiteral("Date format:"), date_);
  f->addRow(QStringLiteral("Time format:"), time_);
  f->addRow(QStringLiteral("Shown as:"), preview_);
  updatePreview();
  for (int i = 0; i < 5; ++i) {
    colourValues_[size_t(i)] = unsigned(qv::KonfigGet(kColourItems[i]));
    colours_[size_t(i)] = new QPushButton(w);
    colours_[size_t(i)]->setMinimumWidth(120);
    connect(colours_[size_t(i)], &QPushButton::clicked, this, [this, i] {
      QColor c = QColorDialog::getColor(colourOfBgr(colourValues_[size_t(i)]), this, QString::fromLatin1(kColourNames[i]));
      if (c.isValid()) {
        colourValues_[size_t(i)] = bgrOfColour(c);
        showColour(i);
      }
    });
    showColour(i);
    f->addRow(QStringLiteral("Colour of %1:").arg(QString::fromLatin1(kColourNames[i]).toLower()), colours_[size_t(i)]);
  }
  for (int i = 0; i < 4; ++i) {
    qv::FontSetting fs = qv::KonfigFont(qv::ItemFontFirst + i);
    QFont font(QString::fromStdString(fs.name), fs.size > 0 ? fs.size : 8);
    font.setBold(fs.bold);
    fontValues_[size_t(i)] = font;
    fonts_[size_t(i)] = new QPushButton(w);
    connect(fonts_[size_t(i)], &QPushButton::clicked, this, [this, i] {
      bool ok = false;
      QFont chosen = QFontDialog::getFont(&ok, fontValues_[size_t(i)], this, QString::fromLatin1(kFontNames[i]));
      if (ok) {
        fontValues_[size_t(i)] = chosen;
        showFont(i);
      }
    });
    showFont(i);
    f->addRow(QStringLiteral("Font of %1:").arg(QString::fromLatin1(kFontNames[i]).toLower()), fonts_[size_t(i)]);
  }
  restoreFrame_ = new QCheckBox(QStringLiteral("Open the main window where it was left"), w);
  restoreFrame_->setChecked(qv::KonfigGet(qv::ItemRestoreFrame) != 0);
  f->addRow(restoreFrame_);
  return w;
}

void UserPanel::showColour(int i) {
  QColor c = colourOfBgr(colourValues_[size_t(i)]);
  colours_[size_t(i)]->setText(c.name());
  colours_[size_t(i)]->setStyleSheet(QStringLiteral("QPushButton { background: %1; color: %2; }")
                                         .arg(c.name(), c.lightness() > 128 ? QStringLiteral("black") : QStringLiteral("white")));
}

void UserPanel::showFont(int i) {
  const QFont& f = fontValues_[size_t(i)];
  fonts_[size_t(i)]->setText(QStringLiteral("%1, %2%3").arg(f.family()).arg(f.pointSize()).arg(f.bold() ? QStringLiteral(", bold") : QString()));
}

void UserPanel::updatePreview() {
  QDateTime now = QDateTime::currentDateTime();
  preview_->setText(formatDate(now.date(), date_->currentData().toInt()) + QStringLiteral("  ") +
                    formatTime(now.time(), time_->currentData().toInt()));
}

QWidget* UserPanel::speedTab() {
  auto* w = new QWidget(this);
  auto* f = new QFormLayout(w);
  auto* note = new QLabel(QStringLiteral("Faster settings do more work between two updates of the window; slower "
                                         "settings keep the program more responsive on a slow machine."),
                          w);
  note->setWordWrap(true);
  f->addRow(note);
  for (int i = 0; i < 5; ++i) {
    auto* s = new QSlider(Qt::Horizontal, w);
    s->setRange(1, 7);
    s->setTickPosition(QSlider::TicksBelow);
    s->setPageStep(1);
    int64_t pos = qv::KonfigGet(qv::ItemSpeedDuplicates + i);
    s->setValue(pos >= 1 && pos <= 7 ? int(pos) : 4);
    s->setMinimumWidth(220);
    speeds_[size_t(i)] = s;
    auto* row = new QWidget(w);
    auto* l = new QHBoxLayout(row);
    l->setContentsMargins(0, 0, 0, 0);
    l->addWidget(new QLabel(QStringLiteral("Slow"), row));
    l->addWidget(s, 1);
    l->addWidget(new QLabel(QStringLiteral("Fast"), row));
    f->addRow(QString::fromLatin1(kSpeedNames[i]) + QStringLiteral(":"), row);
  }
  return w;
}

QWidget* UserPanel::exportTab() {
  auto* w = new QWidget(this);
  auto* f = new QFormLayout(w);
  hardCr_ = new QCheckBox(QStringLiteral("Use hard CRs (wrap long lines)"), w);
  hardCr_->setChecked(qv::KonfigGet(qv::ItemHardLineEnds) != 0);
  wrap_ = new QSpinBox(w);
  wrap_->setRange(20, 250);
  int64_t col = qv::KonfigGet(qv::ItemWrapColumn);
  wrap_->setValue(col > 0 ? int(col) : 78);
  mailLayout_ = new QComboBox(w);
  mailLayout_->addItem(QStringLiteral("No header"), 0);
  mailLayout_->addItem(QStringLiteral("CompuServe mail (#: Sb: Fm: To:)"), 1);
  mailLayout_->addItem(QStringLiteral("Unix mailbox (From line)"), 2);
  mailLayout_->addItem(QStringLiteral("Internet mail (From: Date: Subject: To:)"), 3);
  mailLayout_->addItem(QStringLiteral("OzCIS mail (Date: MgTo: Subj:)"), 4);
  mailLayout_->addItem(QString::fromLatin1(kOriginalsLayoutText), qv::kLayoutOriginals);
  selectData(mailLayout_, int(qv::KonfigGet(qv::ItemExportLayoutMail)));
  forumLayout_ = new QComboBox(w);
  forumLayout_->addItem(QStringLiteral("No header"), 0);
  forumLayout_->addItem(QStringLiteral("Forum message (#: Sb: Fm: To:)"), 1);
  forumLayout_->addItem(QStringLiteral("Forum message with CIS: and reply line"), 4);
  selectData(forumLayout_, int(qv::KonfigGet(qv::ItemExportLayoutForum)));
  newsLayout_ = new QComboBox(w);
  newsLayout_->addItem(QStringLiteral("Newsgroup article (From: Date: Subject: Newsgroups:)"), 0);
  newsLayout_->addItem(QString::fromLatin1(kOriginalsLayoutText), qv::kLayoutOriginals);
  selectData(newsLayout_, int(qv::KonfigGet(qv::ItemExportLayoutNews)));
  f->addRow(hardCr_);
  f->addRow(QStringLiteral("Wrap column:"), wrap_);
  f->addRow(QStringLiteral("Mail header layout:"), mailLayout_);
  f->addRow(QStringLiteral("Forum header layout:"), forumLayout_);
  f->addRow(QStringLiteral("Newsgroup layout:"), newsLayout_);
  return w;
}

QWidget* UserPanel::tasksTab() {
  auto* w = new QWidget(this);
  auto* f = new QFormLayout(w);
  noTasks_ = new QCheckBox(QStringLiteral("Deactivate all tasks"), w);
  noTasks_->setChecked(qv::KonfigGet(qv::ItemNoTasks) != 0);
  restrict_ = new QCheckBox(QStringLiteral("Start no task between"), w);
  restrictFrom_ = new QTimeEdit(w);
  restrictTo_ = new QTimeEdit(w);
  for (QTimeEdit* t : {restrictFrom_, restrictTo_}) t->setDisplayFormat(QStringLiteral("HH:mm"));
  int64_t from = qv::KonfigGet(qv::ItemTaskQuietFrom), to = qv::KonfigGet(qv::ItemTaskQuietTo);
  restrict_->setChecked(to > from);
  restrictFrom_->setTime(fromMinutes(from));
  restrictTo_->setTime(fromMinutes(to));
  auto* period = new QWidget(w);
  auto* pl = new QHBoxLayout(period);
  pl->setContentsMargins(0, 0, 0, 0);
  pl->addWidget(restrict_);
  pl->addWidget(restrictFrom_);
  pl->addWidget(new QLabel(QStringLiteral("and"), period));
  pl->addWidget(restrictTo_);
  pl->addStretch();
  afterTask_ = new QComboBox(w);
  afterTask_->addItem(QStringLiteral("Exit Quorvane after task has finished"), 1);
  afterTask_->addItem(QStringLiteral("Return to the last used database"), 0);
  afterTask_->addItem(QStringLiteral("Stay with the task's database"), 2);
  selectData(afterTask_, int(qv::KonfigGet(qv::ItemAfterTask)));
  completion_ = new QComboBox(w);
  completion_->addItem(QStringLiteral("Show the time taken, then close the window"), 1);
  completion_->addItem(QStringLiteral("Close the window at once"), 0);
  completion_->addItem(QStringLiteral("Keep the window open"), 2);
  selectData(completion_, int(qv::KonfigGet(qv::ItemImportCompletion)));
  f->addRow(noTasks_);
  f->addRow(QStringLiteral("Task restriction time period:"), period);
  f->addRow(QStringLiteral("When a scheduled task has finished:"), afterTask_);
  f->addRow(QStringLiteral("When a long process has finished:"), completion_);
  return w;
}

bool UserPanel::save() {
  // Directories must exist; a missing one may be made now.
  for (QLineEdit* e : {temp_, data_, index_}) {
    std::string dir = e->text().trimmed().toStdString();
    std::error_code ec;
    if (dir.empty() || std::filesystem::is_directory(dir, ec)) continue;
    if (qv::Message("The specified path " + dir + " does not exist.\r\nShall it be created?", " Path Not Found",
                    qv::Icon::Question, qv::BtnYes | qv::BtnNo, qv::BtnNo) != qv::BtnYes ||
        !std::filesystem::create_directories(dir, ec) || ec) {
      tabs_->setCurrentIndex(0);
      e->setFocus();
      return false;
    }
  }
  std::string t = temp_->text().trimmed().toStdString(), d = data_->text().trimmed().toStdString();
  qv::setTempDirectory(t);
  qv::AutoPath(qv::KSet, qv::ItemDataDirectory, d);
  qv::WSVarsSetText(qv::ItemIndexRoot, index_->text().trimmed().toStdString());
  qv::KonfigSetText(qv::ItemImportDirectory, import_->text().trimmed().toStdString());
  qv::KonfigSet(qv::ItemImportFormat, defaultFormat_->currentData().toInt());
  qv::KonfigSet(qv::ItemDateFormat, date_->currentData().toInt());
  qv::KonfigSet(qv::ItemTimeFormat, time_->currentData().toInt());
  qv::KonfigSet(qv::ItemNoTasks, noTasks_->isChecked() ? 1 : 0);
  qv::KonfigSet(qv::ItemTaskQuietFrom, restrict_->isChecked() ? toMinutes(restrictFrom_->time()) : 0);
  qv::KonfigSet(qv::ItemTaskQuietTo, restrict_->isChecked() ? toMinutes(restrictTo_->time()) : 0);
  for (int i = 0; i < 5; ++i) qv::KonfigSet(kColourItems[i], int64_t(colourValues_[size_t(i)]));
  for (int i = 0; i < 4; ++i) {
    const QFont& f = fontValues_[size_t(i)];
    qv::KonfigSetFont(qv::ItemFontFirst + i, {f.family().toStdString(), f.pointSize() > 0 ? f.pointSize() : 8, f.bold()});
  }
  for (int i = 0; i < 5; ++i) qv::KonfigSet(qv::ItemSpeedDuplicates + i, speeds_[size_t(i)]->value());
  qv::KonfigSet(qv::ItemRestoreFrame, restoreFrame_->isChecked() ? 1 : 0);
  qv::KonfigSet(qv::ItemWrapColumn, wrap_->value());
  qv::KonfigSet(qv::ItemHardLineEnds, hardCr_->isChecked() ? 1 : 0);
  qv::KonfigSet(qv::ItemExportLayoutMail, mailLayout_->currentData().toInt());
  qv::KonfigSet(qv::ItemExportLayoutForum, forumLayout_->currentData().toInt());
  // A newsgroup layout other than the originals keeps what the item held.
  if (newsLayout_->currentData().toInt() == qv::kLayoutOriginals)
    qv::KonfigSet(qv::ItemExportLayoutNews, qv::kLayoutOriginals);
  else if (qv::KonfigGet(qv::ItemExportLayoutNews) == qv::kLayoutOriginals)
    qv::KonfigSet(qv::ItemExportLayoutNews, 0);
  qv::KonfigSet(qv::ItemAfterTask, afterTask_->currentData().toInt());
  qv::KonfigSet(qv::ItemImportCompletion, completion_->currentData().toInt());
  bool ok = qv::Konfig(qv::KSave) && qv::Konfig(qv::KSaveDisplay) && qv::AutoPath(qv::KSave) && qv::WSVars(qv::KSave);
  qv::SpeedVal(qv::KSet, 0);  // the working values from the positions just saved
  return ok;
}

void openUserPanel() { showProcedureWindow(new UserPanel, SlotUserPanel, Geometry::PositionOnly); }

}  // namespace qvm
