// Helpers for the window tests: a prompter that records every message and
// answers as scripted, a fresh installation in a temporary directory, and
// waiting for posted events and windows.
#pragma once

#include <QColor>
#include <QString>
#include <QTemporaryDir>
#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "services/prompt.h"

class QWidget;

namespace qvtest {

// Records every request and answers with the next scripted button, or with
// the request's default button when nothing is scripted.
class RecordingPrompter : public qv::Prompter {
 public:
  qv::Button ask(const qv::PromptRequest& r) override;
  void script(qv::Button b) { answers.push_back(b); }
  void reset();
  // "[caption] text" of every request, for failure output.
  QString transcript() const;
  // How many requests had this caption.
  int count(const std::string& caption) const;

  std::vector<qv::PromptRequest> requests;
  std::deque<qv::Button> answers;
  // Called with each request before it is answered (a test may act on the
  // windows while the "message box" is up).
  std::function<void(const qv::PromptRequest&)> onAsk;
};

// An installation in a temporary directory. open() runs the program's
// start-up checks on it; close() closes the installation and every window.
class TestInstallation {
 public:
  TestInstallation();
  ~TestInstallation();
  QString root() const { return dir_.path(); }
  std::string rootStd() const { return dir_.path().toStdString(); }
  // Runs the start-up checks; returns their result (0, 1 or 99).
  int open();
  void close();

  RecordingPrompter prompts;

 private:
  QTemporaryDir dir_;
  bool open_ = false;
};

// Processes posted events until `done` holds or about five seconds passed.
bool waitFor(const std::function<bool()>& done);
// Processes the events posted so far (and those they post), a few rounds.
void settle();
// The top-level or sub-window whose window title contains `title`.
QWidget* findWindow(const QString& title);

// The colour a colour item of the settings (0xBBGGRR) stands for, read
// here on its own so that a test does not take the windows' reading on trust.
QColor colourItem(int item);

// The folder of sample files made by other programs ("" when absent).
QString corpusDir();

}  // namespace qvtest
