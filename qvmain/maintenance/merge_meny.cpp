#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>
#include <optional>

#include "database/database_selection.h"
#include "events.h"
#include "frame/icons.h"
#include "frame/procedures.h"
#include "frame/window_host.h"
#include "maintenance/merge_windows.h"
#include "services/database_list.h"
#include "services/databases.h"
#include "services/globals.h"
#include "services/prompt.h"
#include "services/procedure_starter.h"
#include "window_registry/window_registry.h"

namespace qvm {

namespace {

const QString kMenyThread = QStringLiteral("MergeMeny");
const QString kItThread = QStringLiteral("MergeIt");
constexpr int kMergeSemaFore = 203;

// The database of a name; nothing when the name is blank or no database has it.
std::optional<qv::DatabaseRecord> databaseNamed(const QString& name) {
  if (name.trimmed().isEmpty()) return std::nullopt;
  return qv::readDatabase(name.trimmed().toStdString());
}

}  // namespace

MergeMeny::MergeMeny(QWidget* parent) : QWidget(parent) {
  setAttribute(Qt::WA_DeleteOnClose);
  setWindowTitle(QStringLiteral(" Merge Databases "));
  setWindowIcon(systemIcon(QStringLiteral("ADMIN")));
  source_ = new QLineEdit(this);
  target_ = new QLineEdit(this);
  source_->setMinimumWidth(280);
  sourceLookup_ = new QPushButton(QStringLiteral("..."), this);
  targetLookup_ = new QPushButton(QStringLiteral("..."), this);
  for (QPushButton* b : {sourceLookup_, targetLookup_}) b->setToolTip(QStringLiteral("Look up Forum name"));
  merge_ = new QPushButton(QStringLiteral("&Merge"), this);
  merge_->setToolTip(QStringLiteral("Merge the source database into the target database"));
  merge_->setEnabled(false);
  quit_ = new QPushButton(QStringLiteral("&Quit"), this);
  auto* grid = new QGridLayout;
  grid->addWidget(new QLabel(QStringLiteral("Enter name of Source Forum"), this), 0, 0);
  grid->addWidget(source_, 0, 1);
  grid->addWidget(sourceLookup_, 0, 2);
  grid->addWidget(new QLabel(QStringLiteral("Enter name of Target Forum"), this), 1, 0);
  grid->addWidget(target_, 1, 1);
  grid->addWidget(targetLookup_, 1, 2);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(grid);
  layout->addStretch(1);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(merge_);
  buttons->addWidget(quit_);
  layout->addLayout(buttons);

  connect(source_, &QLineEdit::editingFinished, this, [this] { setSource(source_->text()); });
  connect(target_, &QLineEdit::editingFinished, this, [this] { setTarget(target_->text()); });
  auto lookup = [this](bool forSource) {
    openDatabaseSelection(this, qv::kAllDbKinds, true, [this, forSource](uint32_t, QString name) {
      if (forSource)
        setSource(name);
      else
        setTarget(name);
    });
  };
  connect(sourceLookup_, &QPushButton::clicked, this, [lookup] { lookup(true); });
  connect(targetLookup_, &QPushButton::clicked, this, [lookup] { lookup(false); });
  connect(merge_, &QPushButton::clicked, this, &MergeMeny::merge);
  connect(quit_, &QPushButton::clicked, this, &QWidget::close);
  TmCreate(this, kMenyThread, kNotToolsGroup);
}

MergeMeny::~MergeMeny() {
  if (!qv::unattended()) postToFrame(EvToolsEnded);
}

void MergeMeny::setSource(const QString& name) {
  const std::optional<qv::DatabaseRecord> entry = databaseNamed(name);
  sourceId_ = entry ? entry->id : 0;
  source_->setText(entry ? QString::fromStdString(entry->name) : QString());
  check();
}

void MergeMeny::setTarget(const QString& name) {
  const std::optional<qv::DatabaseRecord> entry = databaseNamed(name);
  targetId_ = entry ? entry->id : 0;
  target_->setText(entry ? QString::fromStdString(entry->name) : QString());
  check();
}

// A target of another kind than the source (or the source itself) is
// cleared with the refusal.
void MergeMeny::check() {
  if (sourceId_ != 0 && targetId_ != 0) {
    qv::MergeSelection s = qv::checkMergeSelection(sourceId_, targetId_);
    if (s != qv::MergeSelection::Fine) {
      targetId_ = 0;
      target_->clear();
      qv::Message(qv::mergeRefusalText(s), qv::mergeRefusalCaption(s), qv::Icon::Exclamation);
    }
  }
  merge_->setEnabled(sourceId_ != 0 && targetId_ != 0 && TmGetId(kItThread) == 0);
}

void MergeMeny::merge() {
  if (TmGetId(kItThread) != 0) {
    postToThread(kItThread, EvActivate);
    return;
  }
  if (sourceId_ == 0 || targetId_ == 0) return;
  merge_->setEnabled(false);
  showProcedureWindow(new MergeIt(sourceId_, targetId_), 0, Geometry::PositionOnly);
}

bool MergeMeny::event(QEvent* e) {
  const QvEvent* ev = privateEvent(e);
  if (ev && ev->number() == EvToolsEnded) {
    // MergeIt closed.
    merge_->setEnabled(sourceId_ != 0 && targetId_ != 0);
    return true;
  }
  return QWidget::event(e);
}

void registerMergeWindows() {
  auto open = [] { showProcedureWindow(new MergeMeny, 0, Geometry::PositionOnly); };
  registerProcedure(kMenyThread, open);
  qv::registerSemaFore(kMergeSemaFore, [open] {
    open();
    return 1;
  }, 50000);
}

}  // namespace qvm
