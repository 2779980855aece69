#include "import/import_wizard.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QFileInfo>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QStackedWidget>
#include <QVBoxLayout>
#include <optional>
#include <utility>

#include "database/database_selection.h"
#include "database/topic_codes.h"
#include "events.h"
#include "frame/icons.h"
#include "frame/window_host.h"
#include "help/help_window.h"
#include "import/directory_dialog.h"
#include "import/import_definition.h"
#include "import/import_it.h"
#include "prompt/message_box_prompter.h"
#include "services/database_list.h"
#include "services/databases.h"
#include "services/db_kind.h"
#include "services/menu_texts.h"
#include "services/prompt.h"
#include "services/settings.h"
#include "services/settings_items.h"
#include "window_registry/window_registry.h"

namespace qvm {

namespace {
// The body of a page text (its first line is the page's heading).
QString bodyOf(int text) {
  QString t = messageText(qv::GetMenuText(text));
  int cut = t.indexOf(QStringLiteral("\n\n"));
  return cut < 0 ? t : t.mid(cut + 2);
}

// True when `id` is a mailbox of the database list.
bool isMailbox(uint32_t id) {
  const std::optional<qv::DatabaseRecord> entry = id != 0 ? qv::readDatabase(id) : std::nullopt;
  return entry && entry->kind == qv::KindMailDb;
}

// The wizard that is open, and what was dropped for the next one to open.
QPointer<ImportMeny> openWizard;
QStringList pendingDrop;
}  // namespace

ImportMeny::ImportMeny(QWidget* parent) : QWidget(parent) {
  setAttribute(Qt::WA_DeleteOnClose);
  setWindowTitle(QStringLiteral(" Import Wizard"));
  setWindowIcon(systemIcon(QStringLiteral("IMPORT")));
  pages_ = new QStackedWidget(this);
  pages_->addWidget(welcomePage());
  pages_->addWidget(fileTypePage());
  pages_->addWidget(messageTypesPage());
  pages_->addWidget(methodPage());
  pages_->addWidget(filesPage());
  pages_->addWidget(reimportPage());

  auto* box = new QGroupBox(QStringLiteral(" Instructions for import"), this);
  instructions_ = new QLabel(box);
  instructions_->setWordWrap(true);
  instructions_->setAlignment(Qt::AlignTop | Qt::AlignLeft);
  auto* bl = new QVBoxLayout(box);
  bl->addWidget(instructions_);
  box->setFixedWidth(250);

  back_ = new QPushButton(QStringLiteral("&Back"), this);
  next_ = new QPushButton(QStringLiteral("&Next"), this);
  next_->setDefault(true);
  auto* quit = new QPushButton(QStringLiteral("Quit the Import Wizard"), this);
  connect(back_, &QPushButton::clicked, this, &ImportMeny::back);
  connect(next_, &QPushButton::clicked, this, [this] {
    if (page() == Reimport)
      start();
    else
      next();
  });
  connect(quit, &QPushButton::clicked, this, &QWidget::close);
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(helpButton(this, QStringLiteral("~Import_Wizard")));
  buttons->addStretch();
  buttons->addWidget(back_);
  buttons->addWidget(next_);
  buttons->addSpacing(12);
  buttons->addWidget(quit);
  auto* top = new QHBoxLayout;
  top->addWidget(pages_, 1);
  top->addWidget(box);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(top, 1);
  layout->addLayout(buttons);
  setMinimumSize(760, 460);

  TmCreate(this, QStringLiteral("ImportMeny"), kImportGroup);
  int number = int(qv::KonfigGet(qv::ItemImportFormat));
  const qv::FormatInfo* f = qv::formatByNumber(number);
  setFormat(QString::fromLatin1(f ? f->name : qv::formatByNumber(qv::kDefaultFormatNumber)->name));
  path_ = QString::fromStdString(qv::KonfigText(qv::ItemImportDirectory));
  formatChanged();
  update();
  openWizard = this;
  if (!pendingDrop.isEmpty()) takeDropped(std::exchange(pendingDrop, QStringList()));
}

void dropIntoImportMeny(const QStringList& paths) {
  if (openWizard)
    openWizard->takeDropped(paths);
  else
    pendingDrop = paths;
}

void ImportMeny::takeDropped(const QStringList& paths) {
  if (paths.isEmpty()) return;
  const QFileInfo first(paths.first());
  if (paths.size() == 1 && first.isDir()) {
    method_->button(qv::SelectDirectory)->setChecked(true);
    keepSelection_ = true;
    setSelection(first.absoluteFilePath(), masks_);
    return;
  }
  const QString folder = first.absolutePath();
  QStringList names;
  for (const QString& p : paths) {
    const QFileInfo f(p);
    if (f.isFile() && f.absolutePath() == folder) names << f.fileName();
  }
  if (names.isEmpty()) return;
  method_->button(qv::SelectFiles)->setChecked(true);
  keepSelection_ = true;
  setSelection(folder, names);
}

ImportMeny::~ImportMeny() { postToFrame(EvToolsEnded); }

QWidget* ImportMeny::page(const QString& heading, int text, QWidget* body) {
  auto* p = new QWidget(this);
  auto* l = new QVBoxLayout(p);
  l->addWidget(new QLabel(QStringLiteral("<h3>%1</h3>").arg(heading.trimmed().toHtmlEscaped()), p));
  auto* t = new QLabel(bodyOf(text), p);
  t->setWordWrap(true);
  l->addWidget(t);
  // Lists take the page's room; other pages keep their controls together at the top.
  bool grow = body && (body == formats_ || body->findChild<QListWidget*>());
  if (body) l->addWidget(body, grow ? 1 : 0);
  if (!grow) l->addStretch();
  return p;
}

QWidget* ImportMeny::welcomePage() {
  save_ = new QCheckBox(QStringLiteral(" Save this session for use in the Task Manager"), this);
  return page(QStringLiteral(" Welcome to the Import Wizard!"), qv::kMenuImportWelcome, save_);
}

QWidget* ImportMeny::fileTypePage() {
  formats_ = new QListWidget(this);
  for (const qv::FormatInfo* f : qv::offeredFormats()) {
    auto* it = new QListWidgetItem(QString::fromLatin1(f->name), formats_);
    it->setData(Qt::UserRole, f->number);
  }
  connect(formats_, &QListWidget::currentRowChanged, this, &ImportMeny::formatChanged);
  return page(QStringLiteral(" Import file type"), qv::kMenuImportFileType, formats_);
}

QWidget* ImportMeny::messageTypesPage() {
  auto* body = new QWidget(this);
  auto* g = new QGridLayout(body);
  g->setContentsMargins(0, 0, 0, 0);
  mail_ = new QCheckBox(QStringLiteral(" Mail import to:"), body);
  mailbox_ = new QComboBox(body);
  mailbox_->setMinimumWidth(220);
  mailLookup_ = new QPushButton(QStringLiteral("..."), body);
  mailLookup_->setFixedWidth(mailLookup_->fontMetrics().horizontalAdvance(QStringLiteral("....")) + 16);
  mailLookup_->setToolTip(QStringLiteral("Look up MailBox"));
  connect(mailLookup_, &QPushButton::clicked, this, [this] {
    openDatabaseSelection(this, 2, true, [this](uint32_t id, QString) {
      fillMailboxes();
      mailbox_->setCurrentIndex(mailbox_->findData(id));
    });
  });
  forum_ = new QCheckBox(QStringLiteral(" Forum message import to:"), body);
  forumName_ = new QLineEdit(body);
  forumName_->setMaxLength(100);
  forumName_->setPlaceholderText(QStringLiteral("Enter name of CompuServe Forum"));
  forumName_->setToolTip(QStringLiteral("Enter name of CompuServe Forum"));
  connect(forumName_, &QLineEdit::textEdited, this, [this] { forumId_ = 0; });
  forumLookup_ = new QPushButton(QStringLiteral("..."), body);
  forumLookup_->setFixedWidth(forumLookup_->fontMetrics().horizontalAdvance(QStringLiteral("....")) + 16);
  forumLookup_->setToolTip(QStringLiteral("Look up Forum name"));
  connect(forumLookup_, &QPushButton::clicked, this, [this] {
    openDatabaseSelection(this, 1, true, [this](uint32_t id, QString name) {
      forumName_->setText(name);
      forumId_ = id;
    });
  });
  news_ = new QCheckBox(QStringLiteral(" Newsgroup message import"), body);
  importAll_ = new QRadioButton(QStringLiteral(" Import all messages"), body);
  createOnly_ = new QRadioButton(QStringLiteral(" Import no messages (database creation only)"), body);
  importAll_->setChecked(true);
  g->addWidget(mail_, 0, 0);
  g->addWidget(mailbox_, 0, 1);
  g->addWidget(mailLookup_, 0, 2);
  g->addWidget(forum_, 1, 0);
  g->addWidget(forumName_, 1, 1);
  g->addWidget(forumLookup_, 1, 2);
  g->addWidget(news_, 2, 0, 1, 3);
  g->setRowMinimumHeight(3, 12);
  g->addWidget(importAll_, 4, 0, 1, 3);
  g->addWidget(createOnly_, 5, 0, 1, 3);
  g->setColumnStretch(1, 1);
  for (QCheckBox* c : {mail_, forum_, news_}) connect(c, &QCheckBox::toggled, this, &ImportMeny::update);
  fillMailboxes();
  return page(QStringLiteral(" Message types"), qv::kMenuImportMessageTypes, body);
}

QWidget* ImportMeny::methodPage() {
  auto* body = new QWidget(this);
  auto* l = new QVBoxLayout(body);
  l->setContentsMargins(0, 0, 0, 0);
  method_ = new QButtonGroup(this);
  const QStringList names = {QStringLiteral(" Directory Tree Selection"), QStringLiteral(" Directory Selection"),
                             QStringLiteral(" File selection")};
  for (int i = 0; i < names.size(); ++i) {
    auto* r = new QRadioButton(names[i], body);
    method_->addButton(r, i);
    l->addWidget(r);
  }
  method_->button(qv::SelectFiles)->setChecked(true);
  connect(method_, &QButtonGroup::idClicked, this, [this] {
    // Another method chooses its files anew.
    files_.clear();
    update();
  });
  return page(QStringLiteral(" Preferred selection method"), qv::kMenuImportSelection, body);
}

QWidget* ImportMeny::filesPage() {
  auto* body = new QWidget(this);
  auto* g = new QGridLayout(body);
  g->setContentsMargins(0, 0, 0, 0);
  directory_ = new QLabel(body);
  directory_->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  directory_->setTextFormat(Qt::PlainText);
  directory_->setMinimumWidth(300);
  selection_ = new QListWidget(body);
  selection_->setSelectionMode(QAbstractItemView::NoSelection);
  select_ = new QPushButton(QStringLiteral("&Select"), body);
  select_->setToolTip(QStringLiteral("Choose the directory and the files"));
  connect(select_, &QPushButton::clicked, this, &ImportMeny::openSelection);
  g->addWidget(new QLabel(QStringLiteral(" Directory for import files"), body), 0, 0, 1, 2);
  g->addWidget(directory_, 1, 0);
  g->addWidget(select_, 1, 1);
  g->addWidget(new QLabel(QStringLiteral(" Import messages from file(s)"), body), 2, 0, 1, 2);
  g->addWidget(selection_, 3, 0, 1, 2);
  g->setColumnStretch(0, 1);
  return page(QStringLiteral(" Directory for import files"), qv::kMenuImportFiles, body);
}

QWidget* ImportMeny::reimportPage() {
  auto* body = new QWidget(this);
  auto* g = new QGridLayout(body);
  g->setContentsMargins(0, 0, 0, 0);
  reimport_ = new QCheckBox(QStringLiteral(" Allow reimport (Update existing messages)"), body);
  topic_ = new QCheckBox(QStringLiteral(" Attach a topic to all imported mail messages"), body);
  topicName_ = new QLineEdit(body);
  topicName_->setReadOnly(true);
  topicLookup_ = new QPushButton(QStringLiteral("..."), body);
  topicLookup_->setFixedWidth(topicLookup_->fontMetrics().horizontalAdvance(QStringLiteral("....")) + 16);
  topicLookup_->setToolTip(QStringLiteral("Look up Topic"));
  connect(topicLookup_, &QPushButton::clicked, this, [this] {
    uint32_t box = mailbox_->currentData().toUInt();
    const std::optional<qv::DatabaseRecord> entry = box != 0 ? qv::readDatabase(box) : std::nullopt;
    if (!entry) return;
    openGpCodes(this, entry->dirNumber, [this](uint32_t id, QString text) {
      topicId_ = id;
      topicName_->setText(text);
      topic_->setChecked(true);
    });
  });
  connect(topic_, &QCheckBox::toggled, this, &ImportMeny::update);
  g->addWidget(reimport_, 0, 0, 1, 3);
  g->setRowMinimumHeight(1, 12);
  g->addWidget(topic_, 2, 0, 1, 3);
  g->addWidget(topicName_, 3, 0, 1, 2);
  g->addWidget(topicLookup_, 3, 2);
  g->setColumnStretch(1, 1);
  return page(QStringLiteral(" Allow reimport"), qv::kMenuImportReimport, body);
}

const qv::FormatInfo* ImportMeny::format() const {
  QListWidgetItem* it = formats_->currentItem();
  return it ? qv::formatByNumber(it->data(Qt::UserRole).toInt()) : nullptr;
}

void ImportMeny::setFormat(const QString& name) {
  for (int i = 0; i < formats_->count(); ++i)
    if (formats_->item(i)->text() == name) formats_->setCurrentRow(i);
}

void ImportMeny::fillMailboxes() {
  uint32_t keep = mailbox_->currentData().toUInt();
  if (keep == 0) keep = uint32_t(qv::KonfigGet(qv::ItemLastMailbox));
  mailbox_->clear();
  for (const qv::DatabaseEntry& e : qv::listDatabases(qv::KindMailDb)) {
    mailbox_->addItem(QString::fromStdString(e.name), e.id);
    if (e.id == keep) mailbox_->setCurrentIndex(mailbox_->count() - 1);
  }
}

void ImportMeny::formatChanged() {
  const qv::FormatInfo* f = format();
  if (!f) return;
  mail_->setChecked(f->kinds & qv::ImportsMail);
  forum_->setChecked(f->kinds & qv::ImportsForum);
  news_->setChecked(f->kinds & qv::ImportsNews);
  masks_ = QString::fromLatin1(f->defaultMask).split(QLatin1Char(';'), Qt::SkipEmptyParts);
  if (!keepSelection_) files_.clear();
  QString text = bodyOf(qv::kMenuImportInstructions);
  text += QStringLiteral("\n\nFile type: %1\nDefault files: %2").arg(QString::fromLatin1(f->name), QString::fromLatin1(f->defaultMask));
  if (qv::needsForumName(*f))
    text += QStringLiteral("\n\nThese files do not name their forum: enter the forum database to import to.");
  instructions_->setText(text);
  update();
}

void ImportMeny::update() {
  const qv::FormatInfo* f = format();
  unsigned kinds = f ? f->kinds : 0;
  mail_->setEnabled(kinds & qv::ImportsMail);
  forum_->setEnabled(kinds & qv::ImportsForum);
  news_->setEnabled(kinds & qv::ImportsNews);
  if (!(kinds & qv::ImportsMail)) mail_->setChecked(false);
  if (!(kinds & qv::ImportsForum)) forum_->setChecked(false);
  if (!(kinds & qv::ImportsNews)) news_->setChecked(false);
  mailbox_->setEnabled(mail_->isChecked());
  mailLookup_->setEnabled(mail_->isChecked());
  bool named = f && qv::needsForumName(*f) && forum_->isChecked();
  forumName_->setEnabled(named);
  forumLookup_->setEnabled(named);
  topicName_->setEnabled(topic_->isChecked());
  topicLookup_->setEnabled(mail_->isChecked());

  directory_->setText(path_);
  selection_->clear();
  selection_->addItems(method_->checkedId() == qv::SelectFiles ? files_ : masks_);

  int p = page();
  back_->setEnabled(p > 0 && !running_);
  next_->setText(p == Reimport ? QStringLiteral("S&tart") : QStringLiteral("&Next"));
  next_->setEnabled(!running_);
}

int ImportMeny::page() const { return pages_->currentIndex(); }

void ImportMeny::next() {
  if (page() < Reimport) pages_->setCurrentIndex(page() + 1);
  update();
}

void ImportMeny::back() {
  if (page() > 0) pages_->setCurrentIndex(page() - 1);
  update();
}

void ImportMeny::openSelection() {
  const qv::FormatInfo* f = format();
  auto mode = DirectoryMode(method_->checkedId());
  openDirectoryDialog(this, mode, QString::fromLatin1(f ? f->name : ""), path_, masks_, files_,
                      [this](QString dir, QStringList chosen) { setSelection(dir, chosen); });
}

void ImportMeny::setSelection(const QString& directory, const QStringList& masksOrFiles) {
  path_ = directory;
  if (method_->checkedId() == qv::SelectFiles)
    files_ = masksOrFiles;
  else
    masks_ = masksOrFiles;
  update();
}

qv::ImportSettings ImportMeny::settings() const {
  qv::ImportSettings s;
  const qv::FormatInfo* f = format();
  s.format = f ? f->name : "";
  s.method = method_->checkedId();
  s.path = path_.toStdString();
  for (const QString& m : (s.method == qv::SelectFiles ? files_ : masks_)) s.masks.push_back(m.toStdString());
  s.importMail = mail_->isEnabled() && mail_->isChecked();
  s.importForum = forum_->isEnabled() && forum_->isChecked();
  s.importNews = news_->isEnabled() && news_->isChecked();
  if (s.importMail) s.mailbox = mailbox_->currentData().toUInt();
  if (s.importForum && f && qv::needsForumName(*f)) s.forumName = forumName_->text().trimmed().toStdString();
  s.allowReimport = reimport_->isChecked();
  s.filter = createOnly_->isChecked() ? qv::FilterCreateOnly : qv::FilterAll;
  if (s.importMail && topic_->isChecked()) s.mailTopic = topicId_;
  return s;
}

bool ImportMeny::start() {
  qv::ImportSettings s = settings();
  const qv::FormatInfo* f = format();
  if (!f) return false;
  if (!s.importMail && !s.importForum && !s.importNews) {
    qv::Message("You must select at least one messagetype for import!", " Import definition error!", qv::Icon::Exclamation);
    return false;
  }
  if (s.importForum && qv::needsForumName(*f) && s.forumName.empty()) {
    qv::Message("You must select a database to import to!", "Import setup error!", qv::Icon::Exclamation);
    return false;
  }
  if (s.importMail && qv::listDatabases(qv::KindMailDb).empty()) {
    qv::Message("You must set up a MailBox to import to!", "No MailBox available!", qv::Icon::Exclamation);
    return false;
  }
  if (s.importMail && !isMailbox(s.mailbox)) {
    qv::Message("Specified mailbox does no longer exist!", "Import procedure specification error", qv::Icon::Exclamation);
    fillMailboxes();
    return false;
  }
  if (s.importForum && forumId_ != 0 && !qv::findDatabase(forumId_)) {
    qv::Message("Specified Forum database does no longer exist!", "Import procedure specification error",
                qv::Icon::Exclamation);
    forumId_ = 0;
    return false;
  }
  if (s.path.empty() || s.masks.empty()) {
    qv::Message("No file(s) selected", "Warning!", qv::Icon::Exclamation);
    return false;
  }
  if (save_->isChecked() && qv::SaveImportDefinition(s, "Saved from ImportWizard") == 0) return false;
  running_ = true;
  update();
  openImportIt(s);
  return true;
}

bool ImportMeny::event(QEvent* e) {
  if (const QvEvent* ev = privateEvent(e)) {
    if (ev->number() == EvImportFinished) {
      close();
      return true;
    }
    if (ev->number() == EvImportClosed) {
      running_ = false;
      fillMailboxes();
      update();
      return true;
    }
  }
  return QWidget::event(e);
}

void openImportMeny() { showProcedureWindow(new ImportMeny, SlotImportMeny); }

}  // namespace qvm
