// An operation on every message related to the browser's current
// message in a chosen way (the message, its sender, receiver, thread or mail
// partner, section, the whole forum, mailbox or newsgroup, the current key
// word or topic, the last search result): export to a file in a reader's
// layout (request 10), print (11), or attach or remove a topic (12), with an
// optional date filter. Export and print run in the export's progress
// window; classifying in one of its own ("Classifying ..") (procedure GROUPPROC).
#pragma once

#include <QPointer>
#include <QWidget>
#include <cstdint>

#include "browse/browse_state.h"
#include "export/message_set.h"

class QAbstractButton;
class QButtonGroup;
class QCheckBox;
class QComboBox;
class QDateEdit;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;

namespace qvm {

class CopyProgress;

enum GroupRequest : int { GroupExport = 10, GroupPrint = 11, GroupClassify = 12 };

// The scope buttons, by their value in the window.
enum GroupScope : int {
  ScopeMessage = 0,
  ScopeSender = 1,
  ScopeReceiver = 2,
  ScopeThread = 3,
  ScopeSection = 4,
  ScopeDatabase = 5,
  ScopeKeyWord = 6,
  ScopeTopic = 7,
  ScopeSearchResult = 8,
};
// The actions.
enum GroupAction : int { ActionNewFile = 1, ActionAppend = 2, ActionPrint = 3, ActionAttach = 4, ActionRemove = 5 };

// The scope code handed to the export, the report and the classification:
// the rank r of the scope (1 message, 2 thread, 3 sender, 4 receiver,
// 5 section, 6 database, 7 key word, 8 topic, 9 search result) for printing,
// 2r for a new file and attaching, 2r + 1 for appending and removing.
int groupScopeCode(int scope, int action);

class GroupProc : public QWidget {
  Q_OBJECT

 public:
  explicit GroupProc(int request, QWidget* parent = nullptr);
  int request() const { return request_; }
  QAbstractButton* scopeButton(int scope) const;
  QAbstractButton* actionButton(int action) const;
  QComboBox* format() const { return format_; }
  QLineEdit* inbox() const { return inbox_; }
  QLineEdit* outbox() const { return outbox_; }
  QCheckBox* hardCrs() const { return hardCr_; }
  QSpinBox* wrapColumn() const { return wrap_; }
  QCheckBox* dateFilter() const { return dateFilter_; }
  QDateEdit* fromDate() const { return from_; }
  QDateEdit* toDate() const { return to_; }
  QPushButton* startButton() const { return start_; }
  // The topic attached or removed (classify).
  void chooseTopic(uint32_t id, const QString& text);
  uint32_t topic() const { return topic_; }
  // The progress window of the last operation started (nullptr when none
  // runs or it was a report, which asks for the printer first).
  CopyProgress* progress() const;
  // Checks the choices and starts the operation; false when refused.
  bool start();

 protected:
  bool event(QEvent* e) override;
  void closeEvent(QCloseEvent* e) override;

 private:
  QGroupBox* scopeBox();
  QGroupBox* actionBox();
  QGroupBox* exportBox();
  QGroupBox* filterBox();
  void takeSelection();
  // A scope found from the current message needs one to be selected.
  bool canStart() const;
  void enableStart();
  void formatChosen();
  void checkName(QLineEdit* field);
  bool checkDates(qv::MessageRange& range);
  void classify(int scope, const qv::MessageRange& range);

  int request_;
  int kind_;
  qv::BrowseState context_;
  QButtonGroup* scopes_;
  QButtonGroup* actions_ = nullptr;
  QComboBox* format_ = nullptr;
  QLineEdit* inbox_ = nullptr;
  QLineEdit* outbox_ = nullptr;
  QLabel* outboxLabel_ = nullptr;
  QCheckBox* hardCr_ = nullptr;
  QSpinBox* wrap_ = nullptr;
  QCheckBox* dateFilter_;
  QDateEdit* from_;
  QDateEdit* to_;
  QLabel* topicLabel_ = nullptr;
  QLabel* current_;
  QPushButton* start_;
  uint32_t topic_ = 0;
  QPointer<QWidget> progress_;
};

// Opens the group window of GlobalRequest (10, 11 or 12) on the browser's
// selection.
void openGroupProc(int request);

}  // namespace qvm
