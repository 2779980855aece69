// The persons to be merged into one. Persons are dropped on its list
// from the person list (or added with the button, or Insert in the person
// list); one is kept, the others are merged into it (procedure PMERGE).
#pragma once

#include <QWidget>
#include <cstdint>

#include "persons/person_merge.h"

class QPushButton;
class QTreeWidget;

namespace qvm {

class MergePersons : public QWidget {
  Q_OBJECT

 public:
  explicit MergePersons(QWidget* parent = nullptr);
  QTreeWidget* list() const { return list_; }
  QPushButton* addButton() const { return add_; }
  QPushButton* keepButton() const { return keep_; }
  QPushButton* removeButton() const { return remove_; }
  QPushButton* mergeButton() const { return merge_; }
  const qv::MergeList& entries() const { return entries_; }

  // Adds a person (a drop, the add button); nothing when it is not found or
  // listed already.
  void addPerson(uint32_t personId);
  void keepHighlighted();
  void removeHighlighted();
  void mergeSelected();

  QSize sizeHint() const override { return QSize(520, 300); }

 protected:
  bool eventFilter(QObject* watched, QEvent* e) override;

 private:
  void redisplay(int current);

  qv::MergeList entries_;
  QTreeWidget* list_;
  QPushButton* add_;
  QPushButton* keep_;
  QPushButton* remove_;
  QPushButton* merge_;
};

void openMergePersons();

}  // namespace qvm
