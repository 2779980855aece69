// The user types search words and chooses how they are matched
// (exact with wildcards, phrase, Soundex, approximate with a tolerance) and
// whether they go to the AND or the OR list. Each word is looked up in the
// word list; words found by wildcard, Soundex or approximate matching are
// offered for choice (SINGLE_ONEFLD) (procedure SINGLE_UI).
#pragma once

#include <QDialog>
#include <functional>
#include <string>
#include <vector>

#include "wordindex/search.h"
#include "wordindex/word_lookup.h"

class QCheckBox;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QSpinBox;

namespace qvm {

// What the user picked: the words for one list, and for a phrase search the
// phrase (its words go to the AND list).
struct PickedWords {
  std::vector<qv::SearchWord> words;
  bool toAnd = true;
  std::vector<std::string> phrase;
};

enum class TypedMatch { Exact, Phrase, Soundex, Approximate };

class SingleUi : public QDialog {
  Q_OBJECT

 public:
  explicit SingleUi(QWidget* parent = nullptr);
  QLineEdit* input() const { return input_; }
  QRadioButton* matchButton(TypedMatch m) const;
  QRadioButton* andButton() const { return toAnd_; }
  QRadioButton* orButton() const { return toOr_; }
  QSpinBox* tolerance() const { return tolerance_; }
  QPushButton* findButton() const { return find_; }
  // The words taken so far (also while a pick list is open).
  const PickedWords& picked() const { return picked_; }
  void accept() override;
  // Called with the words picked when the window closes having found some.
  std::function<void(const PickedWords&)> onPicked;

 private:
  TypedMatch match() const;
  void lookUpNext();
  void take(const qv::WordCandidate& c);
  void finish();

  QLineEdit* input_;
  QRadioButton* exact_;
  QRadioButton* phrase_;
  QRadioButton* soundex_;
  QRadioButton* approximate_;
  QSpinBox* tolerance_;
  QRadioButton* toAnd_;
  QRadioButton* toOr_;
  QPushButton* find_;
  // The words of the request still to look up, and the mode of the request.
  std::vector<std::string> pending_;
  bool picking_ = false;
  qv::LookupMode mode_ = qv::LookupMode::Exact;
  PickedWords picked_;
};

// Opens the window window-modal over parent; `done` receives the words picked
// when the user takes them (not on Cancel, nor when nothing was found).
SingleUi* openSingleUi(QWidget* parent, std::function<void(const PickedWords&)> done);

}  // namespace qvm
