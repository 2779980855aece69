#include "frame/counter_grid.h"

namespace qvm {

QGridLayout* counterGrid(QWidget* owner, const QStringList& names, QList<QLabel*>& counters) {
  auto* grid = new QGridLayout;
  for (int i = 0; i < names.size(); ++i) {
    auto* value = new QLabel(QStringLiteral("0"), owner);
    value->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    value->setMinimumWidth(80);
    value->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    value->setAccessibleName(names[i]);
    counters << value;
    grid->addWidget(new QLabel(names[i], owner), i / 2, (i % 2) * 2);
    grid->addWidget(value, i / 2, (i % 2) * 2 + 1);
  }
  grid->setColumnMinimumWidth(2, 160);
  return grid;
}

QString counterSummary(const QWidget* window, const QList<QLabel*>& counters, long long seconds) {
  QStringList parts;
  for (const QLabel* c : counters) {
    QString caption = c->accessibleName().trimmed();
    if (!caption.endsWith(QLatin1Char(':'))) caption += QLatin1Char(':');
    parts << caption + QLatin1Char(' ') + c->text();
  }
  return window->windowTitle().trimmed() + QStringLiteral(": ") + parts.join(QStringLiteral(", ")) +
         QStringLiteral(" in %1 s").arg(seconds);
}

}  // namespace qvm
