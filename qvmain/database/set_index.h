// SETINDEX: whether the active database is word indexed, and the switch of
// its automatic indexing by the task manager.
#pragma once

#include <QWidget>

class QLabel;
class QPushButton;

namespace qvm {

class SetIndex : public QWidget {
  Q_OBJECT

 public:
  explicit SetIndex(QWidget* parent = nullptr);
  QLabel* indexedLabel() const { return indexed_; }
  QLabel* autoLabel() const { return auto_; }
  QPushButton* toggleButton() const { return toggle_; }
  void toggle();

 private:
  void refresh();
  QLabel* indexed_;
  QLabel* auto_;
  QPushButton* toggle_;
  bool on_ = false;
};

void openSetIndex();

}  // namespace qvm
