// The one way library code shows a message or asks a question.
//
// The program installs a Prompter: the GUI answers with a message box, qvcli
// on the terminal, tests with scripted answers. In the unattended run modes
// nothing is shown and the answer that skips or aborts is taken.
#pragma once

#include <string>
#include <vector>

namespace qv {

enum Button : unsigned {
  BtnOk = 1,
  BtnYes = 2,
  BtnNo = 4,
  BtnCancel = 8,
  BtnAbort = 16,
  BtnRetry = 32,
  BtnIgnore = 64,
};

enum class Icon { None, Information, Question, Exclamation, Hand };

struct PromptRequest {
  std::string text;     // "\r\n" is a line break
  std::string caption;
  Icon icon = Icon::None;
  unsigned buttons = BtnOk;
  Button defaultButton = BtnOk;
};

class Prompter {
 public:
  virtual ~Prompter() = default;
  virtual Button ask(const PromptRequest& r) = 0;
  virtual void beep() {}
};

// Installs the prompter (nullptr: write to stderr and take the default).
void setPrompter(Prompter* p);
Prompter* prompter();

// Shows a message or question and returns the button chosen. In unattended
// modes returns unattendedAnswer(buttons) without showing anything.
Button Message(const std::string& text, const std::string& caption, Icon icon = Icon::None,
               unsigned buttons = BtnOk, Button defaultButton = BtnOk);
void Beep();

// While one lives, every warning and error given on this thread (a Message
// with Icon::Exclamation or Icon::Hand) is also kept in `into` as one line,
// "caption: text", whether it was shown or not: a run that nobody may be
// asked in (unattended) can still say afterwards what went wrong. The
// innermost log takes the line.
class WarningLog {
 public:
  explicit WarningLog(std::vector<std::string>& into);
  ~WarningLog();
  WarningLog(const WarningLog&) = delete;
  WarningLog& operator=(const WarningLog&) = delete;

 private:
  friend Button Message(const std::string&, const std::string&, Icon, unsigned, Button);
  std::vector<std::string>& into_;
  WarningLog* outer_;
};

// The answer taken when nobody may be asked: the one that skips or aborts.
Button unattendedAnswer(unsigned buttons);

// Stops the work with a last word (the platform's HALT): throws ProgramHalt
// carrying the text. The library never ends the process itself: the
// program catches ProgramHalt at its boundary (its main, its event loop),
// shows the text and ends with kHaltExitStatus. Every scope unwound on the
// way releases what it holds (an open batch transaction rolls back).
struct ProgramHalt {
  std::string text;
};
[[noreturn]] void Halt(const std::string& text);

// The exit status of a program ended by a halt.
inline constexpr int kHaltExitStatus = 3;

// Centres each line of a text in a field of the given width (blank-padded
// on both sides).
std::string centreLines(const std::string& text, size_t width);

// A message with its "\r\n" line breaks as plain "\n", for a terminal.
std::string plainLines(const std::string& text);

}  // namespace qv
