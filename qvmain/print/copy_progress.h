// The progress window of a message export: it drives the export engine
// from a zero-interval timer, shows the messages written and skipped, and
// closes itself at the end. "Abort" ends the export between slices; what
// was written stays in the files.
#pragma once

#include <QWidget>
#include <memory>

#include "export/copy_msg.h"

class QLabel;
class QPushButton;
class QTimer;

namespace qvm {

class CopyProgress : public QWidget {
  Q_OBJECT

 public:
  explicit CopyProgress(const qv::CopyRequest& request, QWidget* parent = nullptr);
  ~CopyProgress() override;
  qv::CopyRun& run() { return *run_; }
  QLabel* writtenLabel() const { return written_; }
  QPushButton* abortButton() const { return abort_; }

 protected:
  void closeEvent(QCloseEvent* e) override;

 private:
  void tick();
  void refresh(const qv::CopyView& v);

  std::unique_ptr<qv::CopyRun> run_;
  QTimer* timer_;
  QLabel* written_;
  QLabel* skipped_;
  QPushButton* abort_;
};

// Exports messages as the browsers and the group window ask: scope 1 copies
// the message to the desktop's clipboard at once; every other scope runs in
// a progress window (returned; nullptr for the clipboard).
CopyProgress* copyMessages(const qv::CopyRequest& request);

}  // namespace qvm
