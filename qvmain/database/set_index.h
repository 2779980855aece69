// Whether the active database is word indexed, and the switch of
// its automatic indexing by the task manager; for a mail or newsgroup
// database also whether it keeps the originals of what is imported, and
// the switch of that setting (procedure SETINDEX).
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
  QLabel* originalsLabel() const { return originals_; }
  QPushButton* originalsButton() const { return keepToggle_; }
  void toggle();
  void toggleOriginals();

 private:
  void refresh();
  QLabel* indexed_;
  QLabel* auto_;
  QPushButton* toggle_;
  QLabel* originals_;
  QPushButton* keepToggle_;
  bool on_ = false;
  bool keeps_ = false;
};

void openSetIndex();

}  // namespace qvm
