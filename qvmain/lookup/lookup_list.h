// The window behind every look-up list (GP_THREAD, GP_SECTION, GP_ANS,
// GP_WORDLIST): a list over one keyed file in one of its sort orders that
// reads only the rows around what it shows, opened at a start text or a
// start ID, with an optional status menu.
#pragma once

#include <QAbstractTableModel>
#include <QDialog>
#include <QStringList>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "lookup/lookups.h"
#include "lookup/type_ahead.h"
#include "services/file_scope.h"
#include "services/lookup_walk.h"

class QComboBox;
class QKeyEvent;
class QTreeView;

namespace qvm {

// One row of a look-up list.
struct LookupRow {
  uint32_t id = 0;    // what the list returns
  int64_t pos = 0;    // the record's stored position, from which the walk goes on
  QStringList texts;  // one per column
  int status = 0;     // 0 normal, 1 keep, 2 delete (drawn in the colours of items 24 and 25)
};

// What a look-up list walks and how it shows it.
struct LookupDef {
  QString title;                 // " Threads [": the record count and "]" follow
  QStringList columns;
  QList<int> widths;             // default column widths
  QList<int> numberColumns;      // right-aligned columns
  QList<int> cuts;               // per column, the most characters shown (trimmed); 0 or none: as read
  QStringList orders;            // sort choices; none: one order
  int slot = 0;                  // window slot (position and size)
  int listSlot = 0;              // column widths
  QString help;                  // help topic; empty: no help button
  // The walk over the list's records, which holds their file open.
  std::shared_ptr<qv::LookupWalk> walk;
  // What the list adds to a row its walk read (the word list: its marks); none: nothing.
  std::function<void(LookupRow& row)> adjust;
  // The status menu: "Normal <word>|Keep <word>|Delete <word>"; empty: none.
  QString statusWord;
  // Stores status code 7 (normal), 8 (keep) or 9 (delete) of an ID.
  std::function<bool(uint32_t id, int code)> setStatus;

};

class LookupModel;

// What a list over a LookupModel does with its view, shared by the look-up
// lists and the person list: make a row current and centre it; fetch rows
// before the first, keeping the same rows in view; change the order,
// staying on the person or entry with ID `id` when there is one.
void showLookupRow(QTreeView* view, LookupModel* model, int row);
void fetchLookupRowsBefore(QTreeView* view, LookupModel* model);
void reorderLookup(QTreeView* view, LookupModel* model, int order, uint32_t id);
// The view of a list over a LookupModel as every such list shows it: whole
// rows, one selected, column widths kept under the list's slot, key presses
// to `keys` (its event filter), `activated` on a double-clicked row, and the
// rows before the first fetched when the view is scrolled to its top.
QTreeView* makeLookupView(QWidget* parent, LookupModel* model, const LookupDef& def, QObject* keys,
                          std::function<void()> activated);

// The keys every list over a LookupModel shares: Home and End load the
// start and the end, Up on the first row and Page Up within a page of it
// fetch the rows before, and printable keys type ahead (when a TypeAhead is
// given). True when the key was taken; Up and Page Up are left to the view
// to move on.
bool lookupNavigationKey(const QKeyEvent* k, QTreeView* view, LookupModel* model, TypeAhead* typeAhead);

// The rows of a look-up list: a window of rows over the walk, grown at
// either end as the view scrolls and trimmed at the other end so that it
// never holds more than a few pages.
class LookupModel : public QAbstractTableModel {
  Q_OBJECT

 public:
  explicit LookupModel(const LookupDef& def, QObject* parent = nullptr);

  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  int columnCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation o, int role) const override;
  bool canFetchMore(const QModelIndex& parent) const override;
  void fetchMore(const QModelIndex& parent) override;

  // More rows before the first one; false at the start of the walk.
  bool canFetchBefore() const { return !atStart_; }
  // Adds up to a page of rows in front; returns how many.
  int fetchBefore();

  void setOrder(int order) { order_ = order; }
  int order() const { return order_; }
  // Reloads the rows around a place in the walk and returns the row of that
  // place (-1 when the list is empty): the first record at or after a start
  // text, the record of an ID, the start or the end.
  int loadAtText(const QString& text);
  int loadAtId(uint32_t id);
  int loadAtStart();
  int loadAtEnd();

  const LookupRow* rowAt(int row) const;
  // Reads a row's record again (after its status changed).
  void refreshRow(int row);
  // Rows taken off the front by the last fetchMore (the view scrolls back by as many).
  int trimmedAtFront() const { return trimmedFront_; }
  // How many records the list walks.
  int64_t records() const { return walk_->records(); }

  static constexpr int kPage = 100;
  static constexpr int kMaxRows = 2000;

 private:
  // Up to n rows after (forward) or before the record at `pos`, nearest
  // first; pos 0 walks from the start (forward) or the end (backward).
  std::vector<LookupRow> walk(int64_t pos, int n, bool forward, bool& reachedEnd);
  int loadAround(int64_t pos);
  LookupRow rowOf(const qv::LookupEntry& e) const;

  const LookupDef& def_;
  std::shared_ptr<qv::LookupWalk> walk_;
  int order_ = 0;
  std::vector<LookupRow> rows_;
  bool atStart_ = true, atEnd_ = true;
  int trimmedFront_ = 0;
};

class LookupList : public QDialog {
  Q_OBJECT

 public:
  // Opens the files of the list and positions it at the start ID (when
  // given) or else at the start text.
  LookupList(LookupDef def, const QString& startText, uint32_t startId, QWidget* parent = nullptr);
  ~LookupList() override;

  QTreeView* view() const { return view_; }
  QComboBox* orderBox() const { return orderBox_; }
  LookupModel* model() const { return model_; }
  // The ID of the highlighted row; 0 when none.
  uint32_t currentId() const;
  uint32_t chosenId() const { return chosen_; }
  // The status menu's entries ("Normal Thread" ...); empty when the list has none.
  QStringList statusEntries() const;
  // Carries out a status menu entry on the highlighted row.
  bool applyStatus(const QString& entry);

  void accept() override;
  void done(int result) override;

 protected:
  void keyPressEvent(QKeyEvent* e) override;
  bool eventFilter(QObject* watched, QEvent* e) override;

 private:
  void showAt(int row);
  void reorder(int order);
  void showMenu(const QPoint& p);

  LookupDef def_;
  LookupModel* model_ = nullptr;
  QTreeView* view_ = nullptr;
  QComboBox* orderBox_ = nullptr;
  uint32_t chosen_ = 0;
  bool finished_ = false;
  TypeAhead typeAhead_;
};

// Opens a look-up list window-modal over `parent`; `done` is called once
// when it has closed.
LookupList* openLookupList(QWidget* parent, LookupDef def, const QString& startText, uint32_t startId,
                           PickDone done);

// The look-up lists of the current database (one source file each).
LookupDef threadLookup();      // GP_THREAD
LookupDef sectionLookup();     // GP_SECTION
LookupDef personLookup(int kind);  // GP_ANS; kind 1 forum, 2 mail, 3 newsgroup
LookupDef wordLookup();        // GP_WORDLIST

// A text trimmed and cut to at most n characters.
QString cutText(const QString& s, int n);

}  // namespace qvm
