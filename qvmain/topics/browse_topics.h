// The list of the current database's topics with the number of
// messages attached to each; topics are added, changed and deleted through
// the topic form (start routine 210) (procedure BROWSETOPICS).
#pragma once

#include <QWidget>
#include <cstdint>

class QPushButton;
class QTreeWidget;

namespace qvm {

class BrowseTopics : public QWidget {
  Q_OBJECT

 public:
  explicit BrowseTopics(QWidget* parent = nullptr);
  QTreeWidget* list() const { return list_; }
  QPushButton* insertButton() const { return insert_; }
  QPushButton* updateButton() const { return update_; }
  QPushButton* deleteButton() const { return delete_; }
  // Runs the form with request 1 (insert), 2 (update) or 3 (delete) on the
  // highlighted topic; on success the title's count and the list follow.
  void edit(int request);
  // Reads the topics again, keeping the highlighted one where it can.
  void reload();
  QSize sizeHint() const override { return QSize(460, 340); }

 protected:
  bool event(QEvent* e) override;

 private:
  void retitle();

  QTreeWidget* list_;
  QPushButton* insert_;
  QPushButton* update_;
  QPushButton* delete_;
  int count_ = 0;
};

void openBrowseTopics();

}  // namespace qvm
