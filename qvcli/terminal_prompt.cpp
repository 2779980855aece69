#include "terminal_prompt.h"

#include <unistd.h>

#include <cstdio>
#include <iostream>
#include <string>
#include <utility>
#include <vector>

#include "commands.h"

namespace qvcli {

qv::Button TerminalPrompter::ask(const qv::PromptRequest& r) {
  std::string caption = r.caption;
  while (!caption.empty() && caption.front() == ' ') caption.erase(0, 1);
  sayError("%s%s%s\n", caption.c_str(), caption.empty() ? "" : ": ", qv::plainLines(r.text).c_str());
  static const std::vector<std::pair<qv::Button, const char*>> names = {
      {qv::BtnOk, "ok"},       {qv::BtnYes, "yes"},     {qv::BtnNo, "no"},        {qv::BtnCancel, "cancel"},
      {qv::BtnAbort, "abort"}, {qv::BtnRetry, "retry"}, {qv::BtnIgnore, "ignore"}};
  int choices = 0;
  for (auto& [b, n] : names)
    if (r.buttons & b) ++choices;
  if (choices <= 1) return r.defaultButton;
  if (!::isatty(STDIN_FILENO)) return (r.buttons & r.defaultButton) ? r.defaultButton : qv::unattendedAnswer(r.buttons);
  for (;;) {
    std::string prompt;
    for (auto& [b, n] : names)
      if (r.buttons & b) prompt += std::string(prompt.empty() ? "" : "/") + (b == r.defaultButton ? "[" : "") + n + (b == r.defaultButton ? "]" : "");
    std::fprintf(stderr, "%s? ", prompt.c_str());
    std::string line;
    if (!std::getline(std::cin, line)) return r.defaultButton;
    if (line.empty()) return r.defaultButton;
    for (auto& [b, n] : names)
      if ((r.buttons & b) && std::string(n).rfind(line, 0) == 0) return b;
  }
}

void TerminalPrompter::beep() { std::fputc('\a', stderr); }

}  // namespace qvcli
