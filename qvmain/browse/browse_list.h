// The browsers' message list: a table over the page model with its own
// scroll bar. Arrow keys, Page Up/Down, Home and End, the mouse wheel and the
// scroll bar move the page through the view; the bar's thumb stands at the
// start, at the end, or where the page is estimated to be.
#pragma once

#include <QTableView>
#include <QWidget>
#include <cstdint>

#include "browse/browse_page.h"

class QScrollBar;

namespace qvm {

class BrowseTable : public QTableView {
  Q_OBJECT

 public:
  using QTableView::QTableView;
  std::function<bool(QKeyEvent*)> keyHandler;
  std::function<void(int)> wheelHandler;

 protected:
  void keyPressEvent(QKeyEvent* e) override;
  void wheelEvent(QWheelEvent* e) override;

 private:
  int wheelDelta_ = 0;
};

class BrowseList : public QWidget {
  Q_OBJECT

 public:
  explicit BrowseList(int kind, QWidget* parent = nullptr);

  BrowsePage* page() const { return page_; }
  QTableView* table() const { return table_; }
  QScrollBar* scrollBar() const { return bar_; }

  // A new view, positioned at message `id` when the view holds it, else at
  // its first message. Returns the message selected (0: the view is empty).
  uint32_t setView(const qv::BrowseState& s, uint32_t id);
  // Selects a message of the view (its page begins with it); false when the
  // view does not hold it.
  bool showMessage(uint32_t id);
  bool showNumber(uint32_t number);
  bool showDate(int32_t date);
  void toFirst();
  void toLast();
  // Moves the selection by `rows` (negative: up), moving the page at its edges.
  void moveBy(int rows);
  // Moves the page and the selection by a page.
  void pageBy(int pages);
  // Moves the page by `rows`, keeping the selected row where it is on screen.
  void scrollBy(int rows);
  void refreshRows();

  uint32_t currentId() const;
  int currentRow() const;

 Q_SIGNALS:
  // The selected message changed (0: none).
  void messageSelected(uint32_t id);

 protected:
  void resizeEvent(QResizeEvent* e) override;
  void showEvent(QShowEvent* e) override;

 private:
  void selectRow(int row);
  void afterMove(int row);
  void updateBar();
  void barAction(int action);
  int visibleRows() const;

  BrowsePage* page_;
  BrowseTable* table_;
  QScrollBar* bar_;
  uint32_t selected_ = 0;
  bool selecting_ = false;
};

}  // namespace qvm
