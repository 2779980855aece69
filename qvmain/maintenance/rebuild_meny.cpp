#include <QHBoxLayout>
#include <QPushButton>
#include <QTextEdit>
#include <QVBoxLayout>

#include "events.h"
#include "frame/icons.h"
#include "frame/procedures.h"
#include "frame/window_host.h"
#include "maintenance/rebuild_windows.h"
#include "services/globals.h"
#include "services/menu_texts.h"
#include "services/procedure_starter.h"
#include "window_registry/window_registry.h"

namespace qvm {

namespace {

const QString kMenyThread = QStringLiteral("RebuildMeny");
const QString kItThread = QStringLiteral("RebuildIt");
// The code with which the library's numbered starter opens REBUILDIT.
constexpr int kRebuildSemaFore = 215;

void openRebuildMeny() { showProcedureWindow(new RebuildMeny, 0, Geometry::PositionOnly); }

}  // namespace

RebuildMeny::RebuildMeny(QWidget* parent) : QWidget(parent) {
  setAttribute(Qt::WA_DeleteOnClose);
  setWindowTitle(QStringLiteral(" Rebuild Utility "));
  setWindowIcon(systemIcon(QStringLiteral("ADMIN")));
  text_ = new QTextEdit(this);
  text_->setReadOnly(true);
  text_->setPlainText(QString::fromStdString(qv::GetMenuText(qv::kMenuRebuild)).replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
  text_->setMinimumSize(420, 200);
  nextId_ = new QPushButton(QStringLiteral("Next ID"), this);
  nextId_->setToolTip(QStringLiteral("Check for highest ID and bump next ID generator"));
  rebuild_ = new QPushButton(QStringLiteral("Rebuild"), this);
  rebuild_->setToolTip(QStringLiteral("Start the rebuild procedure"));
  abort_ = new QPushButton(QStringLiteral("Abort"), this);
  abort_->setToolTip(QStringLiteral("Quit the rebuild procedure"));
  connect(nextId_, &QPushButton::clicked, this, [this] { begin(qv::RequestNextId); });
  connect(rebuild_, &QPushButton::clicked, this, [this] { begin(qv::RequestRebuild); });
  connect(abort_, &QPushButton::clicked, this, &QWidget::close);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(text_);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(nextId_);
  buttons->addWidget(rebuild_);
  buttons->addWidget(abort_);
  layout->addLayout(buttons);
  TmCreate(this, kMenyThread, kNotToolsGroup);
}

RebuildMeny::~RebuildMeny() {
  // The frame's menus come back.
  if (!qv::unattended()) postToFrame(EvToolsEnded);
}

void RebuildMeny::begin(int request) {
  // Scheduled tasks wait until the utility closes.
  if (!hold_) hold_.emplace();
  // A rebuild that runs already is brought forward; nothing else starts.
  if (TmGetId(kItThread) != 0) {
    postToThread(kItThread, EvActivate);
    return;
  }
  text_->setEnabled(false);
  nextId_->hide();
  rebuild_->hide();
  abort_->setDefault(true);
  qv::GlobalRequest = request;
  qv::SemaFore(kRebuildSemaFore);
}

void registerRebuildWindows() {
  registerProcedure(kMenyThread, openRebuildMeny);
  qv::registerSemaFore(kRebuildSemaFore, [] {
    int request = qv::GlobalRequest == qv::RequestNextId ? qv::RequestNextId : qv::RequestRebuild;
    qv::GlobalRequest = 0;
    showProcedureWindow(new RebuildIt(request), 0, Geometry::PositionAndSize);
    return 1;
  }, 40000);
}

}  // namespace qvm
