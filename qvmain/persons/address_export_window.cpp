#include "persons/address_export_window.h"

#include <QButtonGroup>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <QVBoxLayout>

#include "export/address_entries.h"
#include "export/export_names.h"
#include "frame/icons.h"
#include "frame/procedures.h"
#include "frame/window_host.h"
#include "services/active_database.h"
#include "services/prompt.h"
#include "window_registry/window_registry.h"

namespace qvm {

namespace {

const QString kThread = QStringLiteral("AddressExport");
constexpr const char* kCaption = "Export Address Book";
constexpr const char* kPathRefused = "Do not include the path, just the filename!";

void openAddressExport() {
  showProcedureWindow(new AddressExportWindow, SlotAddressExport, Geometry::PositionOnly);
}

QString defaultName(int code) {
  const qv::AddressFormatInfo* f = qv::addressFormatInfo(code);
  return f ? QString::fromUtf8(f->defaultFile) : QString();
}

}  // namespace

AddressExportWindow::AddressExportWindow(QWidget* parent) : QWidget(parent), kind_(qv::activeKind()) {
  setAttribute(Qt::WA_DeleteOnClose);
  setWindowIcon(systemIcon(QStringLiteral("EXPADR")));
  setWindowTitle(QStringLiteral(" Export Address Book "));

  auto* formatBox = new QGroupBox(QStringLiteral(" Output address book format "), this);
  auto* formatLayout = new QVBoxLayout(formatBox);
  formats_ = new QButtonGroup(this);
  int chosen = qv::rememberedAddressFormat(kind_);
  for (const qv::AddressFormatInfo& f : qv::addressFormatsOf(kind_)) {
    auto* b = new QRadioButton(QString::fromUtf8(f.name), formatBox);
    formats_->addButton(b, f.code);
    formatLayout->addWidget(b);
    if (f.code == chosen) b->setChecked(true);
  }
  connect(formats_, &QButtonGroup::idClicked, this, &AddressExportWindow::formatChosen);

  auto* nameBox = new QGroupBox(QStringLiteral(" Address book file name in \\TEMP directory "), this);
  auto* nameLayout = new QVBoxLayout(nameBox);
  name_ = new QLineEdit(defaultName(chosen), nameBox);
  name_->setMaxLength(int(qv::kExportNameMax));
  name_->setMinimumWidth(name_->fontMetrics().averageCharWidth() * int(qv::kExportNameMax));
  nameLayout->addWidget(name_);

  count_ = new QLabel(this);
  result_ = new QLabel(this);
  result_->setWordWrap(true);
  result_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  start_ = new QPushButton(QStringLiteral("Start"), this);
  start_->setDefault(true);
  connect(start_, &QPushButton::clicked, this, &AddressExportWindow::start);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(formatBox);
  layout->addWidget(nameBox);
  auto* bottom = new QHBoxLayout;
  bottom->addWidget(count_);
  bottom->addStretch();
  bottom->addWidget(start_);
  layout->addLayout(bottom);
  layout->addWidget(result_);
  layout->addStretch(1);
  layout->setSizeConstraint(QLayout::SetMinimumSize);

  timer_ = new QTimer(this);
  timer_->setInterval(0);
  connect(timer_, &QTimer::timeout, this, &AddressExportWindow::tick);
  TmCreate(this, kThread, kFindGroup);
}

AddressExportWindow::~AddressExportWindow() {
  timer_->stop();
  run_.reset();  // a run still going is cancelled: an older file stays as it was
}

int AddressExportWindow::format() const { return formats_->checkedId(); }

void AddressExportWindow::formatChosen(int code) {
  // A default name follows the format; a name the user typed stays.
  QString name = name_->text().trimmed();
  bool isDefault = name.isEmpty();
  for (const qv::AddressFormatInfo& f : qv::addressFormats())
    if (name == QString::fromUtf8(f.defaultFile)) isDefault = true;
  if (isDefault) name_->setText(defaultName(code));
}

void AddressExportWindow::start() {
  if (run_ || format() <= 0) return;
  std::string name = name_->text().trimmed().toStdString();
  std::string problem = name.empty() ? std::string() : qv::exportNameProblem(name);
  if (!problem.empty()) {
    qv::Message(problem, "Filename error", qv::Icon::Exclamation);
    if (problem == kPathRefused) name_->clear();
    name_->setFocus();
    return;
  }
  qv::rememberAddressFormat(kind_, format());
  run_ = std::make_unique<qv::AddressRun>(format(), name);
  result_->clear();
  count_->setText(QStringLiteral("0 msg"));
  start_->setEnabled(false);
  timer_->start();
}

void AddressExportWindow::tick() {
  bool more = run_->step();
  count_->setText(QLocale().toString(qlonglong(run_->view().written)) + QStringLiteral(" msg"));
  if (!more) finish();
}

void AddressExportWindow::finish() {
  timer_->stop();
  lastResult_ = run_->result();
  std::string failure = run_->failure();
  // A failure the library already told (no memory) is not told twice.
  bool told = run_->view().failureShown;
  QString path = QString::fromStdString(run_->path());
  run_.reset();
  start_->setEnabled(true);
  if (lastResult_ == qv::AddressDone) {
    result_->setText(QStringLiteral("Written to ") + path);
  } else if (lastResult_ == qv::AddressNoPersons) {
    result_->setText(QStringLiteral("The database has no persons: no address book was written."));
  } else if (lastResult_ == qv::AddressFailed) {
    result_->setText(QStringLiteral("No address book was written."));
    if (!told) qv::Message(failure, kCaption, qv::Icon::Exclamation);
  }
}

void registerAddressExportWindow() { registerProcedure(kThread, openAddressExport); }

}  // namespace qvm
