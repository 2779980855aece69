// A person's alias addresses under its current one; one of them can
// be swapped with the current address and the swap saved (procedure SALIAS).
#pragma once

#include <QWidget>

#include "persons/person_aliases.h"

class QLabel;
class QPushButton;
class QTreeWidget;

namespace qvm {

class ShowAlias : public QWidget {
  Q_OBJECT

 public:
  explicit ShowAlias(qv::AliasList aliases, QWidget* parent = nullptr);
  QLabel* currentLabel() const { return current_; }
  QTreeWidget* list() const { return list_; }
  QPushButton* swapButton() const { return swap_; }
  QPushButton* saveButton() const { return save_; }
  const qv::AliasList& aliases() const { return aliases_; }
  // Shows another person's aliases.
  void setAliases(qv::AliasList aliases);

  void swap();
  void save();

  QSize sizeHint() const override { return QSize(460, 300); }

 private:
  void redisplay();

  qv::AliasList aliases_;
  QLabel* current_;
  QTreeWidget* list_;
  QPushButton* swap_;
  QPushButton* save_;
};

// Opens the alias window on a person's aliases, or shows them in the one
// that runs.
void openShowAlias(qv::AliasList aliases);

}  // namespace qvm
