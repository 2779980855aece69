#include "database/about.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>
#include <QWidget>

#include "frame/icons.h"
#include "frame/window_host.h"
#include "services/startup.h"
#include "window_registry/window_registry.h"

namespace qvm {

QString programVersion() { return QString::number(qv::kConfigVersion / 100.0, 'f', 2); }

void openAbout() {
  auto* w = new QWidget;
  w->setAttribute(Qt::WA_DeleteOnClose);
  w->setWindowTitle(QStringLiteral("About Quorvane"));
  w->setWindowIcon(systemIcon(QStringLiteral("AASYSTEM")));
  auto* icon = new QLabel(w);
  icon->setPixmap(systemIcon(QStringLiteral("AASYSTEM")).pixmap(64, 64));
  auto* text = new QLabel(QStringLiteral("<h2>Quorvane</h2>"
                                         "<p>Mail, Forum &amp; Newsgroup Message Archiver</p>"
                                         "<p>Version %1</p>"
                                         "<p>Build %2</p>")
                              .arg(programVersion(), QStringLiteral(QV_VERSION)),
                          w);
  auto* ok = new QPushButton(QStringLiteral("OK"), w);
  ok->setDefault(true);
  QObject::connect(ok, &QPushButton::clicked, w, &QWidget::close);
  auto* top = new QHBoxLayout;
  top->addWidget(icon, 0, Qt::AlignTop);
  top->addSpacing(12);
  top->addWidget(text);
  auto* layout = new QVBoxLayout(w);
  layout->addLayout(top);
  layout->addWidget(ok, 0, Qt::AlignRight);
  layout->setSizeConstraint(QLayout::SetFixedSize);
  TmCreate(w, QStringLiteral("About"), kNotToolsGroup);
  showProcedureWindow(w, SlotAbout, Geometry::PositionOnly);
}

}  // namespace qvm
