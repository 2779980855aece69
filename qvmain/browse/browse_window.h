// BROWSEMSGNMBR (forum and newsgroup databases) and BROWSEMAIL (mail
// databases): the main working window of a database. A paged list of the
// messages in one of the views of the database's kind, the header fields and
// the reading pane of the selected message, the view selector with its entry,
// limit and look-up, the previous / filter / next item buttons, the bookmark,
// status marks, copy and print, the professional search and the events the
// frame, the find, the thread tree and the group windows post to it.
// One class serves both kinds through the tables of browse_kinds.h.
#pragma once

#include <QColor>
#include <QDate>
#include <QPointer>
#include <QWidget>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "browse/browse_kinds.h"
#include "browse/browse_state.h"
#include "browse/hit_marks.h"
#include "services/file_scope.h"

class QCheckBox;
class QComboBox;
class QDateEdit;
class QHBoxLayout;
class QLabel;
class QLineEdit;
class QMenu;
class QToolButton;
class QValidator;

namespace qvm {

class AttachmentSaver;
class BrowseList;
class MessagePane;

class BrowseWindow : public QWidget {
  Q_OBJECT

 public:
  // kind: the active database's (1 forum, 2 mail, 3 newsgroup).
  explicit BrowseWindow(int kind, QWidget* parent = nullptr);
  ~BrowseWindow() override;

  int kind() const { return kind_; }
  const qv::BrowseState& state() const { return state_; }
  uint32_t selected() const { return state_.selected; }

  BrowseList* list() const { return list_; }
  MessagePane* pane() const { return pane_; }
  AttachmentSaver* attachmentSaver() const { return saver_; }
  QComboBox* modeSelector() const { return selector_; }
  QLabel* modeLabel() const { return modeLabel_; }
  QLineEdit* entry() const { return entry_; }
  QDateEdit* dateEntry() const { return dateEntry_; }
  QLabel* counter() const { return counter_; }
  QCheckBox* limitBox() const { return limit_; }
  QToolButton* lookupButton() const { return lookup_; }
  QToolButton* previousItemButton() const { return previous_; }
  QToolButton* filterButton() const { return filter_; }
  QToolButton* nextItemButton() const { return next_; }
  QToolButton* bookmarkButton() const { return bookmark_; }
  bool hasBookmark() const { return saved_.has_value(); }
  // True while the selector offers the result view.
  bool resultViewOffered() const { return resultOffered_; }

  // Changes the view; the list keeps the selected message when the new view
  // holds it, else shows the view's first message.
  void setMode(int mode);
  // Selects a message of the current view; false when the view lacks it.
  bool showMessage(uint32_t id);
  void toggleBookmark();
  void previousItem() { neighbour(false); }
  void nextItem() { neighbour(true); }
  void filterItem();
  void setLimit(bool on);
  // The look-up button, and Enter in the entry field.
  void lookUp();
  void entryDone();
  // Status menu: sets the status of a level (qv::StatusLevel) for the selected message.
  bool markStatus(int level, int status);
  void copy(int scope);
  void print(int scope);
  // Event 1395.
  void professionalSearch();
  // What the professional search searches: the selection the browser shows
  // (its hits outside it are dropped), else the whole database.
  QString searchScope() const;
  // Steps 3 to 5 of the professional search over the hits the search window returned.
  void takeSearchHits(const std::vector<uint32_t>& hits, const qv::SearchMarks& marks);
  // The list's context menu (status and copy sub-menus) and the copy menu.
  QMenu* contextMenu() const { return contextMenu_; }
  QMenu* copyMenu() const { return copyMenu_; }
  void refreshTitle();
  // Room for the columns at their default widths and a readable pane.
  QSize sizeHint() const override { return QSize(900, 600); }

 protected:
  bool event(QEvent* e) override;
  void closeEvent(QCloseEvent* e) override;

 private:
  QHBoxLayout* buildTop();
  void buildMenus();
  void loadLooks();
  void fillSelector();
  void relabel();
  void rerun(uint32_t id);
  void onSelected(uint32_t id);
  bool followSelection();
  void showHits();
  void neighbour(bool forward);
  void pickDone(bool ok, uint32_t id);
  void takeContext(bool jump);
  void confirmDelete();
  void tellSelection();
  void closeOuter();
  void showBookmark();
  bool findWindowsOpen() const;
  QString chosenText() const;
  const BrowseModeInfo& modeInfo() const;

  int kind_;
  const BrowseKindInfo& info_;
  qv::BrowseState state_;
  std::optional<qv::BrowseState> saved_;  // the bookmark
  std::shared_ptr<qv::FileScope> files_;  // the files of the rows, for as long as the window lives
  bool resultOffered_ = false;
  qv::SearchMarks resultMarks_;  // what the search whose result is shown looked for
  uint32_t findHit_ = 0;  // the message the text find marked (its hits are shown)
  bool closed_ = false;
  QColor keep_, delete_;
  QDate followedDate_;  // the date the date entry took from the selection
  bool dateTyped_ = false;  // a date was picked and not yet looked up

  BrowseList* list_;
  MessagePane* pane_;
  AttachmentSaver* saver_;
  QComboBox* selector_;
  QLabel* modeLabel_;
  QLineEdit* entry_;
  QValidator* numberOnly_;
  QDateEdit* dateEntry_;
  QLabel* counter_;
  QCheckBox* limit_;
  QToolButton* lookup_;
  QToolButton* previous_;
  QToolButton* filter_;
  QToolButton* next_;
  QToolButton* bookmark_;
  QMenu* contextMenu_;
  QMenu* copyMenu_;
};

// Opens the browser of the active database (procedure 7).
void openBrowseMsgNmbr();
void openBrowseMail();
// True when the browser of a database kind answers a command the frame posts
// to it (event number) by acting itself or by opening a window this build has.
bool browseCommandInVersion(int command, int kind);
// False for a command the browser of that kind does not offer (the thread
// tree of a mail database).
bool browseCommandOffered(int command, int kind);
// Registers the two browsers with the frame's procedure starter.
void registerBrowseWindows();

}  // namespace qvm
