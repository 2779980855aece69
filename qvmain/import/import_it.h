// The window of one import run. It drives the import engine from a
// zero-interval timer, one slice per tick, and shows the engine's status,
// file and target, counters and progress, and its result once it has ended:
// all of it the engine's view, with no text of the window's own. Stop (or
// closing the window) interrupts the run between slices (procedure IMPORTIT).
#pragma once

#include <QWidget>
#include <memory>

#include "import/import_settings.h"

class QLabel;
class QProgressBar;
class QPushButton;
class QTimer;

namespace qv {
class ImportRun;
}

namespace qvm {

class ImportIt : public QWidget {
  Q_OBJECT

 public:
  explicit ImportIt(const qv::ImportSettings& settings, QWidget* parent = nullptr);
  ~ImportIt() override;
  qv::ImportRun& run() { return *run_; }
  QPushButton* stopButton() const { return stop_; }
  QLabel* statusLabel() const { return status_; }
  // The file the run is reading (after "Importing from").
  QLabel* fileLabel() const { return fromName_; }
  // The run's result once it has ended (hidden before).
  QLabel* resultLabel() const { return result_; }
  QProgressBar* progressBar() const { return progress_; }
  // The counters as shown: imported, skipped, temporary records, already in the database.
  QList<QLabel*> counters() const { return counters_; }
  // Why messages were skipped, as far as the readers told (hidden when they told nothing).
  QLabel* skipReasonsLabel() const { return skipReasons_; }

 protected:
  void closeEvent(QCloseEvent* e) override;

 private:
  void tick();
  void refresh();
  void runClosed();

  std::unique_ptr<qv::ImportRun> run_;
  QTimer* timer_;
  QLabel* status_;
  QLabel* result_;
  QLabel* fromLabel_;
  QLabel* fromName_;
  QLabel* toLabel_;
  QLabel* toName_;
  QProgressBar* progress_;
  QList<QLabel*> counters_;
  QLabel* skipReasons_;
  QPushButton* stop_;
  bool notified_ = false;
};

// Starts an import run in its window (thread "ImportIt", group "ImportGroup").
ImportIt* openImportIt(const qv::ImportSettings& settings);

}  // namespace qvm
