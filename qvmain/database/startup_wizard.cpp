#include "database/startup_wizard.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStackedWidget>
#include <QVBoxLayout>

#include "database/update_box.h"
#include "events.h"
#include "frame/icons.h"
#include "frame/window_host.h"
#include "help/help_window.h"
#include "import/formats.h"
#include "prompt/message_box_prompter.h"
#include "services/active_database.h"
#include "services/databases.h"
#include "services/menu_texts.h"
#include "services/procedure_starter.h"
#include "services/settings.h"
#include "services/settings_items.h"
#include "window_registry/window_registry.h"

namespace qvm {

StartupWizard::StartupWizard(QWidget* parent) : QWidget(parent) {
  setAttribute(Qt::WA_DeleteOnClose);
  setWindowTitle(QStringLiteral(" Quorvane StartUp Wizard"));
  setWindowIcon(systemIcon(QStringLiteral("AASYSTEM")));

  auto* boxPanel = new QWidget(this);
  auto* bl = new QHBoxLayout(boxPanel);
  bl->setContentsMargins(0, 0, 0, 0);
  mailbox_ = new QPushButton(QStringLiteral("Set up a MailBox ..."), boxPanel);
  mailboxState_ = new QLabel(boxPanel);
  bl->addWidget(mailbox_);
  bl->addWidget(mailboxState_, 1);
  connect(mailbox_, &QPushButton::clicked, this, [this] {
    openUpdateBox(this, 1, 0, [this](uint32_t id) {
      if (id != 0) created_ = id;
      update();
    });
  });

  format_ = new QComboBox(this);
  int current = int(qv::KonfigGet(qv::ItemImportFormat));
  if (!qv::formatByNumber(current)) current = qv::kDefaultFormatNumber;
  for (const qv::FormatInfo* f : qv::offeredFormats()) {
    format_->addItem(QString::fromLatin1(f->name), f->number);
    if (f->number == current) format_->setCurrentIndex(format_->count() - 1);
  }

  auto* dirPanel = new QWidget(this);
  auto* dl = new QHBoxLayout(dirPanel);
  dl->setContentsMargins(0, 0, 0, 0);
  directory_ = new QLineEdit(QString::fromStdString(qv::KonfigText(qv::ItemImportDirectory)), dirPanel);
  directory_->setMaxLength(100);
  auto* browse = new QPushButton(QStringLiteral("Browse ..."), dirPanel);
  connect(browse, &QPushButton::clicked, this, [this] {
    QString d = QFileDialog::getExistingDirectory(this, QStringLiteral("Default directory for import files"), directory_->text());
    if (!d.isEmpty()) directory_->setText(d);
  });
  dl->addWidget(directory_, 1);
  dl->addWidget(browse);

  pages_ = new QStackedWidget(this);
  pages_->addWidget(makePage(qv::kMenuMailboxSetup, boxPanel));
  pages_->addWidget(makePage(qv::kMenuImportDefaults, format_));
  pages_->addWidget(makePage(qv::kMenuImportDirectory, dirPanel));
  pages_->addWidget(makePage(qv::kMenuFirstImport, nullptr));

  back_ = new QPushButton(QStringLiteral("Go back to previous step"), this);
  next_ = new QPushButton(QStringLiteral("Proceed to next step"), this);
  start_ = new QPushButton(QStringLiteral("Start the ImportWizard"), this);
  quit_ = new QPushButton(QStringLiteral("Quit the StartUpWizard"), this);
  next_->setDefault(true);
  connect(back_, &QPushButton::clicked, this, &StartupWizard::back);
  connect(next_, &QPushButton::clicked, this, &StartupWizard::next);
  connect(start_, &QPushButton::clicked, this, &StartupWizard::startImport);
  connect(quit_, &QPushButton::clicked, this, &QWidget::close);
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(helpButton(this, QStringLiteral("~StartUp_Wizard")));
  buttons->addStretch();
  buttons->addWidget(back_);
  buttons->addWidget(next_);
  buttons->addWidget(start_);
  buttons->addWidget(quit_);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(pages_, 1);
  layout->addLayout(buttons);
  setMinimumSize(640, 420);
  TmCreate(this, QStringLiteral("StartUpWizard"), kNotToolsGroup);
  update();
}

QWidget* StartupWizard::makePage(int text, QWidget* extra) {
  QString t = messageText(qv::GetMenuText(text));
  int cut = t.indexOf(QStringLiteral("\n\n"));
  auto* page = new QWidget(this);
  auto* heading = new QLabel(QStringLiteral("<h3>%1</h3>").arg(t.left(cut).toHtmlEscaped()), page);
  auto* body = new QLabel(t.mid(cut + 2), page);
  body->setWordWrap(true);
  body->setAlignment(Qt::AlignTop | Qt::AlignLeft);
  auto* l = new QVBoxLayout(page);
  l->addWidget(heading);
  l->addWidget(body);
  if (extra) l->addWidget(extra);
  l->addStretch();
  return page;
}

int StartupWizard::page() const { return pages_->currentIndex(); }

void StartupWizard::update() {
  auto boxes = qv::listDatabases(2);
  mailboxState_->setText(boxes.empty() ? QStringLiteral("No MailBox is set up yet.")
                                       : QStringLiteral("MailBox set up: %1").arg(QString::fromStdString(boxes.back().name)));
  int p = page();
  back_->setEnabled(p > 0);
  next_->setVisible(p < pages_->count() - 1);
  start_->setVisible(p == pages_->count() - 1);
  if (p == pages_->count() - 1) start_->setDefault(true);
}

void StartupWizard::next() {
  if (page() < pages_->count() - 1) pages_->setCurrentIndex(page() + 1);
  update();
}

void StartupWizard::back() {
  if (page() > 0) pages_->setCurrentIndex(page() - 1);
  update();
}

void StartupWizard::saveDefaults() {
  qv::KonfigSet(qv::ItemImportFormat, format_->currentData().toInt());
  qv::KonfigSetText(qv::ItemImportDirectory, directory_->text().trimmed().toStdString());
  qv::Konfig(qv::KSave);
}

void StartupWizard::startImport() {
  importFollows_ = true;
  close();
  if (TmGetId(kFrameThread))
    postToFrame(EvImportWizard);
  else
    qv::SemaFore(201);
}

// The mailbox made here becomes the active database when there is none, as
// a database chosen in the database selection does: the frame takes it up
// (title, commands and its browser). When the import wizard follows, the
// frame takes it up once the import has ended.
void StartupWizard::activateCreated() {
  if (created_ == 0 || qv::activeDatabaseId() != 0 || !qv::ActivateDatabase(created_)) return;
  if (!importFollows_) postToFrame(EvReevaluate);
}

void StartupWizard::closeEvent(QCloseEvent* e) {
  saveDefaults();
  activateCreated();
  e->accept();
}

void openStartupWizard() { showProcedureWindow(new StartupWizard, SlotStartupWizard); }

}  // namespace qvm
