// The progress window of a message export and of a printed report: it drives
// the engine from a zero-interval timer, one slice a tick, shows the messages
// done and skipped, and at the end says where an export wrote (in the window
// and in the frame's status bar). It closes itself then, or stays with its
// counts when the completion setting keeps finished jobs open. "Abort" (or
// closing the window) ends the run between slices: what an export wrote
// stays in its files, a report being printed is withdrawn.
#pragma once

#include <QString>
#include <QWidget>
#include <cstdint>
#include <functional>
#include <string>

#include "export/copy_msg.h"

class QLabel;
class QPushButton;
class QTimer;

namespace qvm {

// What a progress window drives.
struct ProgressJob {
  std::function<bool()> step;    // one slice; false once the run has ended
  std::function<void()> cancel;  // Abort, between slices
  std::function<void()> end;     // once, when the run has ended or was aborted
  std::function<QString()> where;  // after the end: where the run wrote ("" when nowhere to tell)
};

class CopyProgress : public QWidget {
  Q_OBJECT

 public:
  // `title` until the engine gives a caption; `doneText` names the messages
  // done ("messages written", "messages printed"), `skippedText` those left
  // out.
  CopyProgress(const QString& title, const QString& doneText, ProgressJob job, QWidget* parent = nullptr,
               const QString& skippedText = QStringLiteral("messages skipped"));
  ~CopyProgress() override;
  QLabel* writtenLabel() const { return written_; }
  QLabel* skippedLabel() const { return skipped_; }
  QPushButton* abortButton() const { return abort_; }
  // Where the run wrote, once it has ended (hidden before).
  QLabel* placeLabel() const { return place_; }

  // The engine's progress report: its caption ("" keeps the title) and counts.
  void showProgress(const std::string& caption, int64_t done, int64_t skipped);
  // One slice, as the timer runs it; the window closes after the last.
  void tick();

 protected:
  void closeEvent(QCloseEvent* e) override;

 private:
  void finish();

  ProgressJob job_;
  bool ended_ = false;
  QTimer* timer_;
  QLabel* written_;
  QLabel* skipped_;
  QLabel* place_;
  QPushButton* abort_;
};

// Exports messages as the browsers and the group window ask: scope 1 copies
// the message to the desktop's clipboard at once; every other scope runs in
// a progress window (returned; nullptr for the clipboard).
CopyProgress* copyMessages(const qv::CopyRequest& request);

}  // namespace qvm
