// The words of the word list that match a typed word (by
// wildcard, Soundex or approximate matching), offered for the user to pick
// one or more of them (procedure SINGLE_ONEFLD).
#pragma once

#include <QDialog>
#include <functional>
#include <string>
#include <vector>

#include "wordindex/word_lookup.h"

class QPushButton;
class QTreeWidget;

namespace qvm {

class SingleOneFld : public QDialog {
  Q_OBJECT

 public:
  SingleOneFld(const std::string& typed, std::vector<qv::WordCandidate> candidates, QWidget* parent = nullptr);
  QTreeWidget* list() const { return list_; }
  QPushButton* pickButton() const { return pick_; }
  // The candidates selected in the list, in list order.
  std::vector<qv::WordCandidate> chosen() const;

 private:
  std::vector<qv::WordCandidate> candidates_;
  QTreeWidget* list_;
  QPushButton* pick_;
};

// Opens the pick list window-modal over parent; `picked` receives the chosen
// words when the user takes them (it is not called on Cancel, and `closed`,
// when given, is called either way after `picked`).
SingleOneFld* openSingleOneFld(QWidget* parent, const std::string& typed, std::vector<qv::WordCandidate> candidates,
                               std::function<void(std::vector<qv::WordCandidate>)> picked,
                               std::function<void()> closed = {});

}  // namespace qvm
