// Duplicates / DupMail: the duplicate elimination of the active database's
// persons in a window. The frame starts it as procedure 10; S&tart runs the
// library's engine from a zero-interval timer, each tick working a few
// milliseconds. Abort while records are being changed asks first, since
// stopping then leaves counts wrong until a count run; what was committed
// stays either way. Scheduled tasks are held while a run lasts.
#pragma once

#include <QWidget>
#include <memory>
#include <optional>

#include "maintenance/dup_run.h"
#include "tasks/task_state.h"

class QLabel;
class QProgressBar;
class QPushButton;
class QTimer;

namespace qvm {

class DuplicatesWindow : public QWidget {
  Q_OBJECT

 public:
  explicit DuplicatesWindow(QWidget* parent = nullptr);
  ~DuplicatesWindow() override;

  QLabel* heading() const { return heading_; }
  QList<QLabel*> counters() const { return counters_; }
  QLabel* stepLabel() const { return step_; }
  QProgressBar* progressBar() const { return progress_; }
  QPushButton* startButton() const { return start_; }
  QPushButton* abortButton() const { return abort_; }
  QString helpTopic() const { return helpTopic_; }
  bool running() const { return run_ != nullptr; }
  qv::DupStep step() const { return run_ ? run_->step() : qv::DupDone; }
  // The state the last run ended in (Ready before any).
  qv::PurgeState lastState() const { return lastState_; }

  // The S&tart button.
  void start();
  // The Abort button: asks while records are being changed; closes unless
  // the user chose to go on.
  void requestAbort();
  // One timer tick (tests drive the run with it).
  void tick();

 private:
  void refresh();
  void finish();

  int kind_;
  std::unique_ptr<qv::DupRun> run_;
  std::optional<qv::TaskHold> hold_;  // scheduled tasks wait while the run lasts
  qv::PurgeState lastState_ = qv::PurgeState::Ready;
  QString helpTopic_;
  QTimer* timer_;
  QLabel* heading_;
  QList<QLabel*> counters_;
  QLabel* step_;
  QProgressBar* progress_;
  QPushButton* start_;
  QPushButton* abort_;
};

// Registers the openers of "Duplicates" and "DupMail".
void registerDuplicatesWindows();

}  // namespace qvm
