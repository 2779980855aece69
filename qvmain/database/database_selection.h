// GP_FORUM and ForumLup: the list of the databases of one kind, by name or
// by directory, for choosing one. GP_FORUM makes the chosen database the
// current one; ForumLup only hands its name back (the import wizard's
// forum look-up). "Allow import" / "Disallow import" change the chosen
// database's import flag; "Add a new Forum" opens ADDFORUM.
#pragma once

#include <QDialog>
#include <cstdint>
#include <functional>

class QComboBox;
class QTreeWidget;

namespace qvm {

class DatabaseSelection : public QDialog {
  Q_OBJECT

 public:
  // kind: 1 forum, 2 mail, 3 newsgroup. `lookup` leaves the current database as it is.
  DatabaseSelection(int kind, bool lookup, QWidget* parent = nullptr);
  QTreeWidget* list() const { return list_; }
  uint32_t chosenId() const { return chosen_; }
  QString chosenName() const { return chosenName_; }
  void reload();
  void accept() override;

 private:
  int kind_;
  bool lookup_;
  QComboBox* order_;
  QTreeWidget* list_;
  uint32_t chosen_ = 0;
  QString chosenName_;
};

// The caption of the list of a kind (" Forum Database Selection" ...).
QString selectionCaption(int kind);

DatabaseSelection* openDatabaseSelection(QWidget* parent, int kind, bool lookup,
                                         std::function<void(uint32_t, QString)> chosen);

}  // namespace qvm
