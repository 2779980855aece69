// The persons of the current database by last name or by
// address, with the numbers of messages each sent and received; from it the
// user opens a person's aliases, the merge window, the person's messages and
// the name form. Persons are dragged from it onto the merge window (procedure BROWSEPERSON).
#pragma once

#include <QWidget>
#include <cstdint>

#include "lookup/lookup_list.h"

class QPushButton;
class QRadioButton;
class QTreeView;

namespace qvm {

class PersonListModel;

class BrowsePerson : public QWidget {
  Q_OBJECT

 public:
  explicit BrowsePerson(QWidget* parent = nullptr);
  ~BrowsePerson() override;

  QTreeView* list() const { return view_; }
  PersonListModel* model() const { return model_; }
  QRadioButton* byNameButton() const { return byName_; }
  QRadioButton* byAddressButton() const { return byAddress_; }
  QPushButton* aliasButton() const { return alias_; }
  QPushButton* mergeButton() const { return merge_; }
  QPushButton* showButton() const { return show_; }
  QPushButton* updateButton() const { return update_; }

  // The highlighted person's ID; 0 when none.
  uint32_t currentId() const;
  // Highlights a person; false when it is not in the list.
  bool showPerson(uint32_t id);
  // Reads the title's count and the list again, keeping the highlighted
  // person where it can.
  void reload();

  // The buttons' actions.
  void showAliases();
  void openMerge();
  void showMessages();
  void updatePerson();

  QSize sizeHint() const override { return QSize(640, 420); }

 protected:
  bool event(QEvent* e) override;
  bool eventFilter(QObject* watched, QEvent* e) override;

 private:
  void retitle();
  void reorder(int order);
  void showAt(int row);
  void updateButtons();

  int kind_;
  LookupDef def_;
  PersonListModel* model_ = nullptr;
  QTreeView* view_ = nullptr;
  QRadioButton* byName_ = nullptr;
  QRadioButton* byAddress_ = nullptr;
  QPushButton* alias_ = nullptr;
  QPushButton* merge_ = nullptr;
  QPushButton* show_ = nullptr;
  QPushButton* update_ = nullptr;
  TypeAhead typeAhead_;
};

// The person list's rows, which can be dragged: each carries its person ID.
class PersonListModel : public LookupModel {
  Q_OBJECT

 public:
  using LookupModel::LookupModel;
  Qt::ItemFlags flags(const QModelIndex& index) const override;
  QStringList mimeTypes() const override;
  QMimeData* mimeData(const QModelIndexList& indexes) const override;
  Qt::DropActions supportedDragActions() const override { return Qt::CopyAction; }
};

}  // namespace qvm
