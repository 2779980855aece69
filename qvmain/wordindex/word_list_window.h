// The word list of the active database, alphabetically or by
// the number of messages each word occurs in, where the user marks words for
// removal. The marks are read from the database's PurgeList when the window
// opens and written back when it closes; the next indexing run moves the
// marked words to the stop list. Before the list is shown, a count order
// left stale by an interrupted indexing run is rebuilt (procedure BROWSEWORDLIST).
#pragma once

#include <QWidget>

#include "lookup/lookup_list.h"
#include "wordindex/word_marks.h"

class QComboBox;
class QPushButton;
class QTreeView;

namespace qvm {

class BrowseWordList : public QWidget {
  Q_OBJECT

 public:
  explicit BrowseWordList(QWidget* parent = nullptr);
  ~BrowseWordList() override;

  QTreeView* view() const { return view_; }
  QComboBox* orderBox() const { return orderBox_; }
  QPushButton* markButton() const { return mark_; }
  LookupModel* model() const { return model_; }
  const qv::WordMarks& marks() const { return marks_; }
  // The word of the highlighted row; empty when none.
  QString currentWord() const;
  // Highlights a word (the first at or after it in the current order).
  void showWord(const QString& word);
  // "Mark highlighted word for deletion": toggles the mark of the highlighted word.
  void toggleMark();
  // Order 0 alphabetically, 1 by the number of related messages.
  void setOrder(int order);
  QSize sizeHint() const override { return QSize(460, 420); }

 protected:
  void closeEvent(QCloseEvent* e) override;
  bool eventFilter(QObject* watched, QEvent* e) override;

 private:
  void showAt(int row);
  void saveMarks();
  uint32_t currentId() const;

  LookupDef def_;
  LookupModel* model_;
  QTreeView* view_;
  QComboBox* orderBox_;
  QPushButton* mark_;
  qv::WordMarks marks_;
  qv::WordMarks loaded_;
  bool saved_ = false;
};

void openBrowseWordList();

}  // namespace qvm
