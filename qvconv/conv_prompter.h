// How qvconv asks and tells: message boxes for the window, the terminal for
// --unattended (which takes the default answer where it is offered, else OK).
#pragma once

#include "services/prompt.h"

namespace qvconv {

class UnattendedPrompter : public qv::Prompter {
 public:
  qv::Button ask(const qv::PromptRequest& r) override;
};

}  // namespace qvconv
