#include "database/set_index.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>
#include <optional>

#include "frame/icons.h"
#include "frame/window_host.h"
#include "help/help_window.h"
#include "originals/originals_store.h"
#include "services/active_database.h"
#include "services/database_list.h"
#include "services/databases.h"
#include "services/record_helpers.h"
#include "window_registry/window_registry.h"
#include "wordindex/index_status.h"

namespace qvm {

SetIndex::SetIndex(QWidget* parent) : QWidget(parent) {
  setAttribute(Qt::WA_DeleteOnClose);
  setWindowTitle(QStringLiteral(" Word Index Status "));
  setWindowIcon(systemIcon(QStringLiteral("KONTROLL")));
  indexed_ = new QLabel(this);
  auto_ = new QLabel(this);
  toggle_ = new QPushButton(this);
  connect(toggle_, &QPushButton::clicked, this, &SetIndex::toggle);
  originals_ = new QLabel(this);
  keepToggle_ = new QPushButton(this);
  connect(keepToggle_, &QPushButton::clicked, this, &SetIndex::toggleOriginals);
  auto* close = new QPushButton(QStringLiteral("Close"), this);
  connect(close, &QPushButton::clicked, this, &QWidget::close);
  auto* name = new QLabel(QStringLiteral("<b>%1</b>").arg(QString::fromStdString(qv::activeDescription()).toHtmlEscaped()), this);
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(helpButton(this, QStringLiteral("~Word_index_status")));
  buttons->addStretch();
  buttons->addWidget(close);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(name);
  layout->addWidget(indexed_);
  layout->addWidget(auto_);
  layout->addSpacing(8);
  layout->addWidget(toggle_);
  layout->addSpacing(8);
  layout->addWidget(originals_);
  layout->addWidget(keepToggle_);
  layout->addLayout(buttons);
  layout->setSizeConstraint(QLayout::SetFixedSize);
  TmCreate(this, QStringLiteral("SetIndex"), kNotToolsGroup);
  refresh();
}

void SetIndex::refresh() {
  indexed_->setText(qv::isWordIndexed() ? QStringLiteral("The database is word indexed")
                                         : QStringLiteral("The database is not word indexed"));
  const uint32_t active = qv::activeDatabaseId();
  const std::optional<qv::DatabaseRecord> entry = qv::readDatabase(active);
  on_ = entry && entry->autoIndexing;
  auto_->setText(on_ ? QStringLiteral("Auto indexing (in Task Manager) is activated")
                     : QStringLiteral("Auto indexing (in Task Manager) is deactivated"));
  toggle_->setText(on_ ? QStringLiteral(" Deactivate auto word indexing (in Task Manager)")
                       : QStringLiteral(" Activate auto word indexing (in Task Manager)"));
  toggle_->setEnabled(active != 0);
  // Forum messages are their own originals: the setting is for mail and news.
  const int kind = qv::activeKind();
  bool kept = active != 0 && (kind == qv::KindMailDb || kind == qv::KindNewsDb);
  keeps_ = kept && qv::keepsOriginals(kind);
  originals_->setText(keeps_ ? QStringLiteral("Originals (full headers and attachments) are kept")
                             : QStringLiteral("Originals (full headers and attachments) are not kept"));
  keepToggle_->setText(keeps_ ? QStringLiteral(" Stop keeping originals of imported messages")
                              : QStringLiteral(" Keep originals of imported messages"));
  originals_->setVisible(kept);
  keepToggle_->setVisible(kept);
}

void SetIndex::toggleOriginals() {
  qv::setKeepOriginals(qv::activeKind(), !keeps_, qv::ReportShow);
  refresh();
}

void SetIndex::toggle() {
  qv::setAutoIndexing(qv::activeDatabaseId(), !on_);
  refresh();
}

void openSetIndex() { showProcedureWindow(new SetIndex, SlotSetIndex, Geometry::PositionOnly); }

}  // namespace qvm
