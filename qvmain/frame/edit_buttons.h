// The button row of a list window whose records are added, changed and
// deleted through a form: Insert, Update and Delete on the left, one last
// button (Close or Help) on the right. A double click on a row means Update.
#pragma once

#include <QString>
#include <functional>

class QHBoxLayout;
class QPushButton;
class QTreeWidget;
class QWidget;

namespace qvm {

struct EditButtons {
  QPushButton* insert = nullptr;
  QPushButton* update = nullptr;
  QPushButton* remove = nullptr;
  QHBoxLayout* row = nullptr;
};

// The tooltips of the three buttons (an empty one is left out).
struct EditTips {
  QString insert, update, remove;
};

// The form's requests that the three buttons pass to `edit`.
struct EditRequests {
  int insert, update, remove;
};

EditButtons makeEditButtons(QWidget* owner, QTreeWidget* list, const EditTips& tips, const EditRequests& requests,
                            std::function<void(int)> edit, QWidget* last);

}  // namespace qvm
