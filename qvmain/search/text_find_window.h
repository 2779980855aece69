// TEXTFIND and MAILFIND: the standard search window of the forum and
// newsgroup browser (thread "FindText") and of the mail browser (thread
// "MailFind"), both in group "FindGroup". "Next" finds the next message of
// the browser's view whose subject or text holds the string; the engine runs
// from a timer and the browser hears of the start, each hit and the end by
// posted events.
#pragma once

#include <QWidget>
#include <memory>

#include "browse/text_find.h"

class QCheckBox;
class QDateEdit;
class QGroupBox;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QTimer;

namespace qvm {

class TextFindWindow : public QWidget {
  Q_OBJECT

 public:
  // kind: 1 forum, 2 mail (MAILFIND), 3 newsgroup.
  explicit TextFindWindow(int kind, QWidget* parent = nullptr);
  ~TextFindWindow() override;

  QLineEdit* findField() const { return field_; }
  QPushButton* nextButton() const { return next_; }
  QPushButton* optionsButton() const { return options_; }
  QWidget* optionsPanel() const { return panel_; }
  // scope 1 subject and text, 2 subject only.
  QRadioButton* scopeButton(int scope) const { return scope == 2 ? subjectOnly_ : subjectAndText_; }
  // direction 1 " Newest msg" (forward), 2 " Oldest msg" (backward).
  QRadioButton* startButton(int direction) const { return direction == 2 ? oldest_ : newest_; }
  QCheckBox* caseBox() const { return case_; }
  QCheckBox* wordBox() const { return word_; }
  QDateEdit* fromDate() const { return from_; }
  QDateEdit* toDate() const { return to_; }
  bool searching() const;
  const qv::TextFind& engine() const { return *engine_; }
  // The thread name of the browser this window serves.
  QString browserName() const;

  // "Next": starts a search from the browser's current message.
  void findNext();
  // How long one timer tick may go on searching, batch after batch; 0: one
  // batch of the speed setting's size per tick.
  void setTimeSlice(int milliseconds) { sliceMs_ = milliseconds; }

 protected:
  void closeEvent(QCloseEvent* e) override;

 private:
  void tick();
  void idle();
  qv::TextFindOptions options() const;

  int kind_;
  std::unique_ptr<qv::TextFind> engine_;
  QLineEdit* field_;
  QPushButton* next_;
  QPushButton* options_;
  QWidget* panel_;
  QRadioButton* subjectAndText_;
  QRadioButton* subjectOnly_;
  QRadioButton* newest_;
  QRadioButton* oldest_;
  QCheckBox* case_;
  QCheckBox* word_;
  QDateEdit* from_;
  QDateEdit* to_;
  QTimer* timer_;
  int sliceMs_;
};

// Opens the find window of the kind (or activates the running one).
void openTextFind(int kind);

}  // namespace qvm
