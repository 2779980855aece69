// PurgeMess / PurgeMail: the purge or count run of the active database in a
// window. The frame starts it as procedure 12 (purging, GlobalRequest 1) or
// 11 (counting); S&tart runs the library's engine from a zero-interval timer,
// each tick working a few milliseconds, so the window answers at once while
// the run goes at full speed. Abort (or closing the window) ends the run;
// what was committed stays. Scheduled tasks are held while a run lasts.
#pragma once

#include <QWidget>
#include <memory>
#include <optional>

#include "maintenance/purge_run.h"
#include "tasks/task_state.h"

class QCheckBox;
class QLabel;
class QProgressBar;
class QPushButton;
class QSpinBox;
class QTimer;

namespace qvm {

class PurgeWindow : public QWidget {
  Q_OBJECT

 public:
  // `mode`: qv::PurgePurging or qv::PurgeCounting.
  explicit PurgeWindow(int mode, QWidget* parent = nullptr);
  ~PurgeWindow() override;

  QLabel* heading() const { return heading_; }
  QList<QLabel*> counters() const { return counters_; }
  QCheckBox* ageing() const { return ageing_; }
  QSpinBox* ageWeeks() const { return weeks_; }
  QLabel* stepLabel() const { return step_; }
  QProgressBar* progressBar() const { return progress_; }
  QPushButton* startButton() const { return start_; }
  QPushButton* abortButton() const { return abort_; }
  bool running() const { return run_ != nullptr; }
  // The state the last run ended in (Ready before any).
  qv::PurgeState lastState() const { return lastState_; }
  double lastSeconds() const { return lastSeconds_; }

  // The S&tart button.
  void start();

 private:
  void ageingToggled(bool on);
  void tick();
  void refresh();
  void finish();

  int mode_;
  int kind_;
  std::unique_ptr<qv::PurgeRun> run_;
  std::optional<qv::TaskHold> hold_;  // scheduled tasks wait while the run lasts
  qv::PurgeState lastState_ = qv::PurgeState::Ready;
  double lastSeconds_ = 0;
  QTimer* timer_;
  QLabel* heading_;
  QList<QLabel*> counters_;
  QCheckBox* ageing_ = nullptr;
  QSpinBox* weeks_ = nullptr;
  QLabel* step_;
  QProgressBar* progress_;
  QPushButton* start_;
  QPushButton* abort_;
};

// Registers the openers of "PurgeMess" and "PurgeMail".
void registerMaintenanceWindows();

}  // namespace qvm
