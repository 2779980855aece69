// REBUILDMENY, the Rebuild Utility window (procedure 22): what the rebuild
// does, and the buttons Next ID and Rebuild, which start REBUILDIT
// (SemaFore 215) with the request 50 (the ID check) or 51 (the rebuild of
// the database list, then the ID check); while it runs only Abort is left.
// REBUILDIT shows the log as the library's engine writes it, driven from a
// zero-interval timer, and its closing line. From Next ID or Rebuild until
// the utility closes, and for as long as a rebuild runs, scheduled tasks are
// held; a running rebuild is never cut off mid-list: asked to close, it
// finishes first and then closes.
#pragma once

#include <QWidget>
#include <memory>
#include <optional>

#include "maintenance/rebuild_run.h"
#include "tasks/task_state.h"

class QLabel;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QTextEdit;
class QTimer;

namespace qvm {

class RebuildMeny : public QWidget {
  Q_OBJECT

 public:
  explicit RebuildMeny(QWidget* parent = nullptr);
  ~RebuildMeny() override;
  QTextEdit* instructions() const { return text_; }
  QPushButton* nextIdButton() const { return nextId_; }
  QPushButton* rebuildButton() const { return rebuild_; }
  QPushButton* abortButton() const { return abort_; }
  // Next ID (request 50) and Rebuild (51).
  void begin(int request);

 private:
  QTextEdit* text_;
  QPushButton* nextId_;
  QPushButton* rebuild_;
  QPushButton* abort_;
  std::optional<qv::TaskHold> hold_;  // from Next ID or Rebuild until the window closes
};

class RebuildIt : public QWidget {
  Q_OBJECT

 public:
  explicit RebuildIt(int request, QWidget* parent = nullptr);
  ~RebuildIt() override;
  QPlainTextEdit* logView() const { return log_; }
  QLabel* statusLabel() const { return status_; }
  QPushButton* closeButton() const { return close_; }
  // True until the run has ended.
  bool running() const { return running_; }
  qv::RebuildState state() const { return run_ ? run_->state() : qv::RebuildState::Ready; }
  // Starts the run (done by itself when the window is shown).
  void start();

 protected:
  void closeEvent(QCloseEvent* e) override;

 private:
  void tick();
  void showLog();
  void ended();

  std::unique_ptr<qv::RebuildRun> run_;
  size_t shown_ = 0;
  bool running_ = true;  // until the run has ended
  bool started_ = false;
  bool closeAsked_ = false;  // closing waits for the end of the run
  std::optional<qv::TaskHold> hold_;  // while the run lasts
  QTimer* timer_;
  QPlainTextEdit* log_;
  QLabel* status_;
  QProgressBar* progress_;
  QPushButton* close_;
};

// Registers "RebuildMeny" and SemaFore 215 (REBUILDIT).
void registerRebuildWindows();

}  // namespace qvm
