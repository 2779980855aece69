// The program's answer to the library's questions: a message box.
#pragma once

#include <QString>

#include "services/prompt.h"

namespace qvm {

class MessageBoxPrompter : public qv::Prompter {
 public:
  qv::Button ask(const qv::PromptRequest& r) override;
  void beep() override;
};

// The text of a message as a message box shows it: "\r\n" and "|" (in the
// texts that use it as a line break) become line breaks.
QString messageText(const std::string& text, bool barIsBreak = false);

}  // namespace qvm
