// The converter's window "FILECONV$BASEWINDOW": the explanatory text for the
// installation's version, a status line, and the start and exit buttons.
// Start disables both buttons and drives the conversion from a timer; at
// the end only exit is enabled. A failure (told in its message box) ends
// the program: the window closes with the result Failed.
#pragma once

#include <QTimer>
#include <QWidget>
#include <memory>

#include "conv_run.h"
#include "services/prompt.h"

class QLabel;
class QPushButton;

namespace qvconv {

class FILECONV : public QWidget {
  Q_OBJECT
 public:
  explicit FILECONV(const Installation& inst, QWidget* parent = nullptr);
  ~FILECONV() override;

  QLabel* textLabel() const { return text_; }
  QLabel* statusLabel() const { return status_; }
  QPushButton* startButton() const { return start_; }
  QPushButton* exitButton() const { return exit_; }
  // The run once started; nullptr before.
  const ConvRun* run() const { return run_.get(); }

 Q_SIGNALS:
  // The conversion ended (finished or failed).
  void ended(bool finished);

 private:
  void startConversion();
  void tick();

  Installation inst_;
  QLabel* text_;
  QLabel* status_;
  QPushButton* start_;
  QPushButton* exit_;
  QTimer timer_;
  std::unique_ptr<ConvRun> run_;
};

// The window's way of asking: a message box.
class BoxPrompter : public qv::Prompter {
 public:
  qv::Button ask(const qv::PromptRequest& r) override;
  void beep() override;
};

}  // namespace qvconv
