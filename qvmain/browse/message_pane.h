// The browsers' header fields and reading pane: the selected message's
// number, reply number and date (mail: date and time), its text in pages
// with "Previous page" / "Next page", and its search hits marked, stepped
// through with "Locate previous / next search hit instance".
#pragma once

#include <QColor>
#include <QPoint>
#include <QWidget>
#include <string>
#include <vector>

#include "browse/browse_rows.h"
#include "browse/hit_marks.h"
#include "browse/reading_pane.h"

class QLineEdit;
class QPlainTextEdit;
class QToolButton;
class QHBoxLayout;

namespace qvm {

class MessagePane : public QWidget {
  Q_OBJECT

 public:
  explicit MessagePane(int kind, QWidget* parent = nullptr);

  // Shows a message: its header fields from `row` (nullptr: none) and the
  // shown text in pages, the first page on screen, no hits.
  void setMessage(const qv::BrowseRow* row, const std::string& shown);
  // Marks the hits (offsets in the shown text) and enables their buttons.
  void setHits(const qv::Hits& hits);
  void setHighlight(const QColor& c) { highlight_ = c; }

  void showPage(size_t page);
  void previousPage();
  void nextPage();
  // Selects the next / previous hit after / before the selection, switching
  // pages as needed; false when there is none in that direction.
  bool nextHit();
  bool previousHit();

  // The row of header fields, to which the window adds its own buttons.
  QHBoxLayout* headerRow() const { return headerRow_; }
  QPlainTextEdit* reader() const { return reader_; }
  QLineEdit* dateField() const { return date_; }
  QLineEdit* numberField() const { return number_; }
  QLineEdit* replyField() const { return reply_; }
  QToolButton* previousPageButton() const { return prevPage_; }
  QToolButton* nextPageButton() const { return nextPage_; }
  QToolButton* previousHitButton() const { return prevHit_; }
  QToolButton* nextHitButton() const { return nextHit_; }
  size_t pageCount() const { return pages_.size(); }
  size_t currentPage() const { return page_; }
  const qv::Hits& hits() const { return hits_; }
  const std::string& shown() const { return shown_; }
  // The shown-text offset where the selection begins; -1 when none.
  int selectionStart() const;
  // The shown-text offset of the character at `at` in the reader's
  // viewport; -1 when no text is shown.
  int offsetAt(const QPoint& at) const;

 private:
  bool stepHit(bool forward);
  int stepAnchor(bool forward) const;
  void markHits();
  void updateButtons();
  int toDisplay(size_t pageOffset) const;
  int shownOffset(int displayPosition) const;

  int kind_;
  std::string shown_;
  std::vector<qv::TextPage> pages_;
  size_t page_ = 0;
  qv::Hits hits_;
  std::vector<int> byteToDisplay_;  // of the page on screen, one more than its bytes
  QColor highlight_ = Qt::red;
  QHBoxLayout* headerRow_;
  QLineEdit* date_;
  QLineEdit* number_;
  QLineEdit* reply_;
  QPlainTextEdit* reader_;
  QToolButton* prevPage_;
  QToolButton* nextPage_;
  QToolButton* prevHit_;
  QToolButton* nextHit_;
};

// The page text as the pane shows it (CR LF as one line break) and, for each
// byte of the page text and its end, the index of the character it belongs
// to in that display text.
QString displayText(const std::string& page, std::vector<int>& byteToDisplay);

}  // namespace qvm
