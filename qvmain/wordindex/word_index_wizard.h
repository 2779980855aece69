// The word index settings wizard. Its pages: indexing of numbers,
// footers of forum and newsgroup messages, frequent words moved to the stop
// list per kind of database, the word characters, the named word-definition
// sets of the active database, and the search pause. Save writes what
// changed; a change of the word characters asks first, because the word
// index must then be built again (procedure SEARCHWZ).
#pragma once

#include <QWidget>

#include "wordindex/word_settings.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QSpinBox;
class QStackedWidget;

namespace qvm {

class WordTablePage;

class SearchWz : public QWidget {
  Q_OBJECT

 public:
  enum Page : int { PageNumbers, PageFooters, PageFrequent, PageTables, PageSets, PagePause, PageCount };
  explicit SearchWz(QWidget* parent = nullptr);
  ~SearchWz() override;

  int page() const;
  void setPage(int page);
  QStackedWidget* pages() const { return pages_; }
  QCheckBox* numbersBox() const { return numbers_; }
  QCheckBox* forumFootersBox() const { return forumFooters_; }
  QCheckBox* newsFootersBox() const { return newsFooters_; }
  QCheckBox* frequentBox(int kind) const;  // 1 forum, 2 mail, 3 newsgroup
  WordTablePage* tablePage() const { return tables_; }
  QListWidget* setList() const { return sets_; }
  QLineEdit* setNameEdit() const { return setName_; }
  QSpinBox* pauseBox() const { return pause_; }
  QPushButton* backButton() const { return back_; }
  QPushButton* nextButton() const { return next_; }
  QPushButton* saveButton() const { return save_; }
  // True when the settings could be read (else the wizard only closes).
  bool readable() const { return readable_; }
  // The settings as the pages show them.
  qv::WordSettings edited() const;

  // Save: true when the settings were written (the wizard then closes).
  bool save();
  // Stores the characters as shown under the name typed (replacing a set of that name).
  bool storeSet();
  // Makes the highlighted set the current word definition (after asking) and saves.
  bool useSet();
  bool deleteSet();

 private:
  QWidget* switchPage(int text, std::initializer_list<QWidget*> boxes);
  QWidget* setsPage();
  void showSettings(const qv::WordSettings& s);
  void reloadSets();
  QString currentSet() const;

  qv::WordSettings stored_;
  bool readable_ = false;
  QStackedWidget* pages_;
  QLabel* pageTitle_;
  QCheckBox* numbers_;
  QCheckBox* forumFooters_;
  QCheckBox* newsFooters_;
  QCheckBox* frequent_[3];
  WordTablePage* tables_;
  QListWidget* sets_;
  QLineEdit* setName_;
  QPushButton* storeSet_;
  QPushButton* useSet_;
  QPushButton* deleteSet_;
  QSpinBox* pause_;
  QPushButton* back_;
  QPushButton* next_;
  QPushButton* save_;
};

void openSearchWz();

}  // namespace qvm
