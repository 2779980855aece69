#include "frame/edit_buttons.h"

#include <QHBoxLayout>
#include <QPushButton>
#include <QTreeWidget>

namespace qvm {

namespace {

QPushButton* button(QWidget* owner, const QString& text, const QString& tip, std::function<void()> onClick) {
  auto* b = new QPushButton(text, owner);
  if (!tip.isEmpty()) b->setToolTip(tip);
  QObject::connect(b, &QPushButton::clicked, owner, std::move(onClick));
  return b;
}

}  // namespace

EditButtons makeEditButtons(QWidget* owner, QTreeWidget* list, const EditTips& tips, const EditRequests& requests,
                            std::function<void(int)> edit, QWidget* last) {
  EditButtons b;
  b.insert = button(owner, QStringLiteral("&Insert"), tips.insert, [edit, requests] { edit(requests.insert); });
  b.update = button(owner, QStringLiteral("&Update"), tips.update, [edit, requests] { edit(requests.update); });
  b.remove = button(owner, QStringLiteral("&Delete"), tips.remove, [edit, requests] { edit(requests.remove); });
  QObject::connect(list, &QTreeWidget::itemDoubleClicked, owner, [edit, requests] { edit(requests.update); });
  b.row = new QHBoxLayout;
  b.row->addWidget(b.insert);
  b.row->addWidget(b.update);
  b.row->addWidget(b.remove);
  b.row->addStretch();
  if (last) b.row->addWidget(last);
  return b;
}

}  // namespace qvm
