// Build Word Index: the indexing run of the active database in a progress
// window. The window offers a full or a partial run, the one the recount
// recommends chosen, and drives the indexing engine from a zero-interval
// timer; Stop (or closing the window) cancels between steps, keeping what
// the last flush wrote. The engine asks its questions through the prompt
// interface and holds the database's files while it runs; the frame refuses
// to close meanwhile.
#pragma once

#include <QWidget>
#include <memory>

#include "wordindex/index_run.h"

class QLabel;
class QProgressBar;
class QPushButton;
class QRadioButton;
class QTimer;

namespace qvm {

class IndexControl : public QWidget {
  Q_OBJECT

 public:
  explicit IndexControl(QWidget* parent = nullptr);
  ~IndexControl() override;

  QRadioButton* fullChoice() const { return full_; }
  QRadioButton* partialChoice() const { return partial_; }
  QLabel* adviceLabel() const { return advice_; }
  QLabel* statusLabel() const { return status_; }
  QProgressBar* progressBar() const { return progress_; }
  // The counters as shown: messages indexed, messages to index, words, index entries.
  QList<QLabel*> counters() const { return counters_; }
  QPushButton* startButton() const { return start_; }
  QPushButton* stopButton() const { return stop_; }
  QPushButton* recountButton() const { return recount_; }
  QLabel* explanation() const { return explanation_; }
  // What the last recount recommended (qv::IndexAdvice: 1 full, 2 partial, 99 nothing to do).
  int advice() const { return advice_value_; }
  // True when the window runs for a scheduled task.
  bool unattendedMode() const { return unattended_; }
  // True while a run is under way.
  bool running() const { return run_ != nullptr; }
  // The result of the last run (1 completed, 2 not completed); 0 before any.
  int lastResult() const { return lastResult_; }

  // The Index button: starts the chosen run.
  void start();
  // The Recount button: recounts, preselects the recommended run and shows
  // the recommendation.
  void recount();
  // How long a timer tick runs engine steps (milliseconds; 0: one step a tick).
  void setTickBudget(qint64 milliseconds) { tickBudget_ = milliseconds; }

 Q_SIGNALS:
  // The window is done: 1 the run completed, 2 it did not, 99 there was
  // nothing to do (an unattended window closes without indexing).
  void indexingEnded(int result);

 protected:
  void closeEvent(QCloseEvent* e) override;

 private:
  void tick();
  void refresh();
  void ended();
  void runRecount();
  void autoStart();

  uint32_t database_;
  qv::IndexState state_;
  std::unique_ptr<qv::IndexRun> run_;
  bool stopAsked_ = false;
  qint64 tickBudget_;
  int lastResult_ = 0;
  int advice_value_ = 0;
  bool unattended_ = false;
  bool readable_ = false;
  QTimer* timer_;
  QLabel* advice_;
  QRadioButton* full_;
  QRadioButton* partial_;
  QLabel* status_;
  QProgressBar* progress_;
  QList<QLabel*> counters_;
  QPushButton* start_;
  QPushButton* stop_;
  QPushButton* recount_;
  QLabel* explanation_;
};

// Opens the indexing window of the active database (thread "AutoIndex").
void openIndexControl();

}  // namespace qvm
