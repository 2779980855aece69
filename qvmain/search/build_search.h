// The word search window. The user collects words into an AND
// list and an OR list (each word with its count and a NOT mark), then runs
// the search over the database's word index; the matching message IDs go
// back to the caller when the window closes (procedure BUILDSEARCH).
#pragma once

#include <QDialog>
#include <QWidget>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "wordindex/search.h"

class QLabel;
class QPushButton;
class QTreeWidget;

namespace qvm {

struct PickedWords;

class BuildSearch : public QDialog {
  Q_OBJECT

 public:
  // kind: 1 forum, 2 mail, 3 newsgroup (the current database's).
  explicit BuildSearch(int kind, QWidget* parent = nullptr);
  QTreeWidget* andList() const { return lists_[0]; }
  QTreeWidget* orList() const { return lists_[1]; }
  QPushButton* insertButton() const { return insert_; }
  QPushButton* deleteButton() const { return delete_; }
  QPushButton* notButton() const { return not_; }
  QPushButton* searchButton() const { return search_; }
  QPushButton* closeButton() const { return close_; }
  QLabel* statusLabel() const { return status_; }
  // What the search searches, as the caller names it (hidden when empty).
  QLabel* scopeLabel() const { return scope_; }
  void setScope(const QString& text);
  qv::WordSearch& search() { return engine_; }
  // The hits found so far (what the window returns when it closes now).
  const std::vector<uint32_t>& results() const { return results_; }

  // Adds words picked in the input window to their list.
  void addWords(const PickedWords& words);
  void deleteSelected();
  void negateSelected();
  void runSearch();

 private:
  // The selected entry: list 0 AND, 1 OR; -1 when none.
  bool selected(int& list, int& row) const;
  void listsChanged();
  void refresh();
  std::vector<qv::SearchWord>& words(int list) { return list == 0 ? engine_.andList : engine_.orList; }

  qv::WordSearch engine_;
  std::vector<uint32_t> results_;
  QTreeWidget* lists_[2];
  QPushButton* insert_;
  QPushButton* delete_;
  QPushButton* not_;
  QPushButton* search_;
  QPushButton* close_;
  QLabel* status_;
  QLabel* scope_;
};

// Opens the search window for the current database (kind 1 forum, 2 mail, 3 newsgroup), window-modal
// over parent; when it closes, done receives the matching message IDs (empty when none or cancelled).
// `scope` names the messages the caller keeps the hits within, shown at the top.
void buildSearch(QWidget* parent, int kind, std::function<void(std::vector<uint32_t> ids)> done,
                 const QString& scope = {});

}  // namespace qvm
