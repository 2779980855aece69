// The browsers' list as a page window over a view: the model holds only the
// rows on screen, read from the view's key walk around the top row, and
// moves by rows and pages; it never counts or reads the whole view.
#pragma once

#include <QAbstractTableModel>
#include <QColor>
#include <QFont>
#include <QStringList>
#include <memory>
#include <vector>

#include "browse/browse_rows.h"
#include "browse/browse_state.h"
#include "browse/browse_view.h"

namespace qvm {

class BrowsePage : public QAbstractTableModel {
  Q_OBJECT

 public:
  explicit BrowsePage(int kind, QObject* parent = nullptr);
  ~BrowsePage() override;

  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation o, int role) const override;

  // Text colours of kept and deleted rows.
  void setColours(const QColor& keep, const QColor& del);

  // A new view; the page is empty until it is positioned.
  void setView(const qv::BrowseState& s);
  const qv::BrowseState& state() const { return state_; }
  // Rows on a page (at least 1); the page is read again from its top row.
  void setPageRows(int n);
  int pageRows() const { return page_; }

  // Positioning; each reads the page anew. False when the view is empty
  // (or does not hold the message): the page is then empty or unchanged.
  bool showFirst();
  bool showLast();
  // The page that begins with the message (the last page when fewer follow it).
  bool showMessage(uint32_t id);
  // The locators of the number and date views.
  bool showNumber(uint32_t number);
  bool showDate(int32_t date);
  // Moves the page by `rows` (negative: towards the start); returns the
  // rows actually moved.
  int scroll(int rows);
  // Reads the rows of the page again (after a status change).
  void refresh();

  // The message the last positioning found (the page begins with it unless
  // the view ends first).
  uint32_t located() const { return located_; }
  bool atStart() const { return atStart_; }
  bool atEnd() const { return atEnd_; }
  bool empty() const { return rows_.empty(); }
  uint32_t idAt(int row) const;
  int rowOf(uint32_t id) const;
  const qv::BrowseRow& rowData(int row) const { return rows_[size_t(row)].data; }

  // Where the page stands in the view, 0..1 (0 start, 1 end), for the scroll
  // bar; the number and date views estimate it from the number or date of
  // the top row, other views answer 0.5 between their ends.
  double position() const;
  // Moves the page to about that place: the ends exactly, the number and
  // date views by their locators; other views do not move (false).
  bool showAt(double where);

 private:
  struct Row {
    qv::BrowseRow data;
    QStringList texts;
  };
  void fill(std::vector<uint32_t> ids);
  bool fillFrom(uint32_t top);
  void measureEnds();
  bool hasFollowing(uint32_t id);
  bool hasPreceding(uint32_t id);
  double estimate(const qv::BrowseRow& r) const;

  int kind_;
  qv::BrowseState state_;
  std::unique_ptr<qv::BrowseView> view_;
  QStringList columns_;
  std::vector<Row> rows_;
  int page_ = 20;
  uint32_t located_ = 0;
  bool atStart_ = true;
  bool atEnd_ = true;
  QColor keep_, delete_;
  // The values of the view's first and last message, for the position estimate.
  bool estimable_ = false;
  double firstValue_ = 0, lastValue_ = 0;
};

}  // namespace qvm
