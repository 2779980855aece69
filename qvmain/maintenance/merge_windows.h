// MERGEMENY, the Merge Databases window (procedure 21): the source and the
// target chosen by name, each with a look-up; an unknown name clears its
// field, and a target of another kind than the source is cleared with the
// refusal. Merge starts MergeIt, the window that runs the library's merge
// engine from a zero-interval timer with its counters, and tells MergeMeny
// when it closes. Stop (or closing MergeIt) ends the merge, keeping what
// was merged, with its counts.
#pragma once

#include <QWidget>
#include <memory>

#include "maintenance/merge_run.h"

class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QTimer;

namespace qvm {

class MergeMeny : public QWidget {
  Q_OBJECT

 public:
  explicit MergeMeny(QWidget* parent = nullptr);
  ~MergeMeny() override;
  QLineEdit* sourceField() const { return source_; }
  QLineEdit* targetField() const { return target_; }
  QPushButton* sourceLookup() const { return sourceLookup_; }
  QPushButton* targetLookup() const { return targetLookup_; }
  QPushButton* mergeButton() const { return merge_; }
  uint32_t sourceId() const { return sourceId_; }
  uint32_t targetId() const { return targetId_; }
  // A name typed into a field and left (or chosen with the look-up).
  void setSource(const QString& name);
  void setTarget(const QString& name);
  // The Merge button: opens MergeIt for the chosen pair.
  void merge();

 protected:
  bool event(QEvent* e) override;

 private:
  void check();

  QLineEdit* source_;
  QLineEdit* target_;
  QPushButton* sourceLookup_;
  QPushButton* targetLookup_;
  QPushButton* merge_;
  QPushButton* quit_;
  uint32_t sourceId_ = 0;
  uint32_t targetId_ = 0;
};

class MergeIt : public QWidget {
  Q_OBJECT

 public:
  MergeIt(uint32_t source, uint32_t target, QWidget* parent = nullptr);
  ~MergeIt() override;
  QLabel* statusLabel() const { return status_; }
  QLabel* fromLabel() const { return from_; }
  QLabel* toLabel() const { return to_; }
  QList<QLabel*> counters() const { return counters_; }
  QProgressBar* progressBar() const { return progress_; }
  QPushButton* stopButton() const { return stop_; }
  bool running() const { return running_; }
  const qv::MergeRun& run() const { return *run_; }
  // Starts the merge (done by itself when the window is shown).
  void start();
  // The Stop button.
  void stop();

 protected:
  void closeEvent(QCloseEvent* e) override;

 private:
  void tick();
  void refresh();
  void ended();

  std::unique_ptr<qv::MergeRun> run_;
  bool running_ = false;
  bool started_ = false;
  QTimer* timer_;
  QLabel* status_;
  QLabel* from_;
  QLabel* to_;
  QList<QLabel*> counters_;
  QProgressBar* progress_;
  QPushButton* stop_;
};

// Registers "MergeMeny" and SemaFore 203 (MERGEMENY).
void registerMergeWindows();

}  // namespace qvm
