#include "search/search_word_entry.h"

#include <QButtonGroup>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include "help/help_window.h"
#include "search/single_onefld.h"
#include "services/prompt.h"
#include "wordindex/search_input.h"

namespace qvm {

namespace {
constexpr int kInputChars = 256;
}

SingleUi::SingleUi(QWidget* parent) : QDialog(parent) {
  setAttribute(Qt::WA_DeleteOnClose);
  setWindowTitle(QStringLiteral(" Search Words"));
  input_ = new QLineEdit(this);
  input_->setMaxLength(kInputChars);
  input_->setMinimumWidth(360);
  input_->setToolTip(QStringLiteral("Type one or more words; * and ? stand for any letters"));

  auto* matchBox = new QGroupBox(QStringLiteral("Match"), this);
  exact_ = new QRadioButton(QStringLiteral("&Exact words (wildcards * and ? allowed)"), matchBox);
  exact_->setToolTip(QStringLiteral("Find each word as typed"));
  phrase_ = new QRadioButton(QStringLiteral("&Phrase (the words next to each other)"), matchBox);
  phrase_->setToolTip(QStringLiteral("Find the words standing next to each other in this order"));
  soundex_ = new QRadioButton(QStringLiteral("S&oundex (words that sound alike)"), matchBox);
  soundex_->setToolTip(QStringLiteral("Find words that sound like the typed word"));
  approximate_ = new QRadioButton(QStringLiteral("&Approximate (words spelled nearly alike)"), matchBox);
  approximate_->setToolTip(QStringLiteral("Find words that hold the typed word with a few letters wrong"));
  exact_->setChecked(true);
  tolerance_ = new QSpinBox(matchBox);
  tolerance_->setRange(1, 3);
  tolerance_->setValue(1);
  tolerance_->setToolTip(QStringLiteral("Letters that may be wrong, missing or extra"));
  auto* toleranceLabel = new QLabel(QStringLiteral("&Letters allowed to differ:"), matchBox);
  toleranceLabel->setBuddy(tolerance_);
  auto* matchLayout = new QGridLayout(matchBox);
  matchLayout->addWidget(exact_, 0, 0, 1, 3);
  matchLayout->addWidget(phrase_, 1, 0, 1, 3);
  matchLayout->addWidget(soundex_, 2, 0, 1, 3);
  matchLayout->addWidget(approximate_, 3, 0, 1, 3);
  matchLayout->addWidget(toleranceLabel, 4, 0);
  matchLayout->addWidget(tolerance_, 4, 1);
  matchLayout->setColumnStretch(2, 1);
  matchLayout->setColumnMinimumWidth(0, 20);
  auto enableTolerance = [this, toleranceLabel] {
    tolerance_->setEnabled(approximate_->isChecked());
    toleranceLabel->setEnabled(approximate_->isChecked());
  };
  connect(approximate_, &QRadioButton::toggled, this, enableTolerance);
  enableTolerance();

  auto* listBox = new QGroupBox(QStringLiteral("Add the words to"), this);
  toAnd_ = new QRadioButton(QStringLiteral("A&ND list (all must occur)"), listBox);
  toOr_ = new QRadioButton(QStringLiteral("O&R list (one must occur)"), listBox);
  toAnd_->setChecked(true);
  auto* listLayout = new QVBoxLayout(listBox);
  listLayout->addWidget(toAnd_);
  listLayout->addWidget(toOr_);
  // A phrase always goes to the AND list.
  connect(phrase_, &QRadioButton::toggled, this, [this](bool on) {
    if (on) toAnd_->setChecked(true);
    toOr_->setEnabled(!on);
  });

  find_ = new QPushButton(QStringLiteral("&Find"), this);
  find_->setToolTip(QStringLiteral("Look the words up in the word list"));
  find_->setDefault(true);
  auto* buttons = new QDialogButtonBox(this);
  buttons->addButton(find_, QDialogButtonBox::AcceptRole);
  buttons->addButton(QDialogButtonBox::Cancel);
  buttons->addButton(helpButton(this, QStringLiteral("~Professional_Search")), QDialogButtonBox::HelpRole);
  connect(buttons, &QDialogButtonBox::accepted, this, &SingleUi::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

  auto* label = new QLabel(QStringLiteral("&Words to search for:"), this);
  label->setBuddy(input_);
  auto* choices = new QHBoxLayout;
  choices->addWidget(matchBox, 1);
  choices->addWidget(listBox, 0, Qt::AlignTop);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(label);
  layout->addWidget(input_);
  layout->addLayout(choices);
  layout->addWidget(buttons);
  layout->setSizeConstraint(QLayout::SetFixedSize);
}

QRadioButton* SingleUi::matchButton(TypedMatch m) const {
  switch (m) {
    case TypedMatch::Exact: return exact_;
    case TypedMatch::Phrase: return phrase_;
    case TypedMatch::Soundex: return soundex_;
    case TypedMatch::Approximate: return approximate_;
  }
  return exact_;
}

TypedMatch SingleUi::match() const {
  if (phrase_->isChecked()) return TypedMatch::Phrase;
  if (soundex_->isChecked()) return TypedMatch::Soundex;
  if (approximate_->isChecked()) return TypedMatch::Approximate;
  return TypedMatch::Exact;
}

void SingleUi::accept() {
  if (picking_) return;  // a pick list is open
  picked_ = PickedWords();
  pending_.clear();
  const TypedMatch m = match();
  mode_ = m == TypedMatch::Soundex ? qv::LookupMode::Soundex
          : m == TypedMatch::Approximate ? qv::LookupMode::Approximate
                                           : qv::LookupMode::Exact;
  picked_.toAnd = toAnd_->isChecked() || m == TypedMatch::Phrase;
  std::vector<std::string> words;
  if (!qv::typedSearchWords(input_->text().toStdString(), mode_, m == TypedMatch::Phrase, words)) {
    input_->setFocus();
    return;
  }
  if (m == TypedMatch::Phrase) {
    std::vector<qv::SearchWord> entries;
    if (!qv::lookupPhrase(words, entries)) {
      input_->setFocus();
      return;
    }
    picked_.words = std::move(entries);
    // A phrase of one word is a plain word.
    if (words.size() > 1) picked_.phrase = words;
    finish();
    return;
  }
  pending_ = std::move(words);
  lookUpNext();
}

// Looks the pending words up one by one; a word with several candidates
// waits for the user's pick before the next is looked up.
void SingleUi::lookUpNext() {
  while (!pending_.empty()) {
    std::string w = pending_.front();
    pending_.erase(pending_.begin());
    std::vector<qv::WordCandidate> found;
    if (!qv::lookupTyped(w, mode_, tolerance_->value(), found)) {
      pending_.clear();
      return;
    }
    if (found.empty()) {
      qv::Message("The word was not found in any document.\r\nWord:" + w, "No matches", qv::Icon::Information);
      continue;
    }
    if (qv::wordLookupMode(w, mode_) == qv::LookupMode::Exact) {
      take(found[0]);
      continue;
    }
    qv::limitPickList(w, found);
    picking_ = true;
    openSingleOneFld(
        this, w, std::move(found),
        [this](std::vector<qv::WordCandidate> chosen) {
          for (const qv::WordCandidate& c : chosen) take(c);
        },
        [this] {
          picking_ = false;
          lookUpNext();
        });
    return;
  }
  finish();
}

void SingleUi::take(const qv::WordCandidate& c) {
  qv::addSearchWord(picked_.words, {c.word, c.wordId, c.count, false});
}

void SingleUi::finish() {
  if (picked_.words.empty()) {
    input_->setFocus();  // nothing found: the user may type again or cancel
    return;
  }
  if (onPicked) onPicked(picked_);
  QDialog::accept();
}

SingleUi* openSingleUi(QWidget* parent, std::function<void(const PickedWords&)> done) {
  auto* dlg = new SingleUi(parent);
  dlg->onPicked = std::move(done);
  dlg->setWindowModality(Qt::WindowModal);
  dlg->open();
  return dlg;
}

}  // namespace qvm
