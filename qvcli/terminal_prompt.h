// Messages and questions of the library on the terminal.
#pragma once

#include "services/prompt.h"

namespace qvcli {

// Writes messages to stderr; asks questions on the terminal when stdin is
// one, else takes the default answer.
class TerminalPrompter : public qv::Prompter {
 public:
  qv::Button ask(const qv::PromptRequest& r) override;
  void beep() override;
};

}  // namespace qvcli
