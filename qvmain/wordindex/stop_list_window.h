// The installation's stop list ("Ignore List"), the words
// that are never indexed, with add, change and delete through the form
// UPDATESTOPLIST (procedure BROWSESTOPLIST).
#pragma once

#include <QWidget>

class QLabel;
class QPushButton;
class QTreeWidget;

namespace qvm {

class BrowseStopList : public QWidget {
  Q_OBJECT

 public:
  explicit BrowseStopList(QWidget* parent = nullptr);
  QTreeWidget* list() const { return list_; }
  QPushButton* addButton() const { return add_; }
  QPushButton* changeButton() const { return change_; }
  QPushButton* deleteButton() const { return delete_; }
  // Opens the form for request 1 (add), 2 (change) or 3 (delete) on the
  // highlighted word; the list follows when the form did its work.
  void edit(int request);
  // Reads the list again and highlights `word` (or the word where it was).
  void reload(const QString& word = QString());
  QString currentWord() const;
  QSize sizeHint() const override { return QSize(380, 420); }

 private:
  QTreeWidget* list_;
  QPushButton* add_;
  QPushButton* change_;
  QPushButton* delete_;
};

void openBrowseStopList();

}  // namespace qvm
