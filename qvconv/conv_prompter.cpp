#include "conv_prompter.h"

#include <cstdio>

#include "services/terminal_text.h"

namespace qvconv {

qv::Button UnattendedPrompter::ask(const qv::PromptRequest& r) {
  // The default where it is offered (a question whose OK would lose data
  // defaults to Cancel), else OK.
  qv::Button answer = (r.buttons & r.defaultButton) ? r.defaultButton : (r.buttons & qv::BtnOk) ? qv::BtnOk : r.defaultButton;
  std::printf("%s: %s\n", qv::terminalText(r.caption).c_str(), qv::terminalText(qv::plainLines(r.text)).c_str());
  if (r.buttons != qv::BtnOk) std::printf("(answered %s)\n", answer == qv::BtnOk ? "OK" : "Cancel");
  std::fflush(stdout);
  return answer;
}

}  // namespace qvconv
