#include "services/prompt.h"

#include <cstdio>

#include "services/globals.h"

namespace qv {

namespace {
Prompter* current = nullptr;
thread_local WarningLog* warningLog = nullptr;

// A message as one line: its caption without outer blanks, then its lines.
std::string oneLine(const std::string& text, const std::string& caption) {
  size_t first = caption.find_first_not_of(' ');
  size_t last = caption.find_last_not_of(' ');
  std::string line = first == std::string::npos ? "" : caption.substr(first, last - first + 1) + ": ";
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
      line += ' ';
      ++i;
    } else {
      line += text[i] == '\n' ? ' ' : text[i];
    }
  }
  return line;
}
}  // namespace

WarningLog::WarningLog(std::vector<std::string>& into) : into_(into), outer_(warningLog) { warningLog = this; }
WarningLog::~WarningLog() { warningLog = outer_; }

void setPrompter(Prompter* p) { current = p; }
Prompter* prompter() { return current; }

Button unattendedAnswer(unsigned buttons) {
  for (Button b : {BtnNo, BtnCancel, BtnAbort, BtnIgnore, BtnOk, BtnYes, BtnRetry})
    if (buttons & b) return b;
  return BtnOk;
}

Button Message(const std::string& text, const std::string& caption, Icon icon, unsigned buttons,
               Button defaultButton) {
  if (warningLog && (icon == Icon::Exclamation || icon == Icon::Hand))
    warningLog->into_.push_back(oneLine(text, caption));
  if (unattended()) return unattendedAnswer(buttons);
  if (!current) {
    std::fprintf(stderr, "%s%s%s\n", caption.c_str(), caption.empty() ? "" : ": ", plainLines(text).c_str());
    return (buttons & defaultButton) ? defaultButton : unattendedAnswer(buttons);
  }
  return current->ask(PromptRequest{text, caption, icon, buttons, defaultButton});
}

void Beep() {
  if (!unattended() && current) current->beep();
}

void Halt(const std::string& text) { throw ProgramHalt{text}; }

std::string centreLines(const std::string& text, size_t width) {
  std::string out;
  size_t start = 0;
  while (start <= text.size()) {
    size_t end = text.find("\r\n", start);
    bool last = end == std::string::npos;
    std::string line = text.substr(start, last ? std::string::npos : end - start);
    if (line.size() < width) {
      size_t left = (width - line.size()) / 2;
      line = std::string(left, ' ') + line + std::string(width - line.size() - left, ' ');
    }
    out += line;
    if (last) break;
    out += "\r\n";
    start = end + 2;
  }
  return out;
}

std::string plainLines(const std::string& text) {
  std::string s;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
    s += text[i];
  }
  return s;
}

}  // namespace qv
