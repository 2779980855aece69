// A window that drives an engine shows the engine's state after each slice;
// a message the engine gives in the middle of a slice would otherwise appear
// over what the window showed before it (the file before the one the message
// is about). While a RefreshBeforePrompt lives, every question or message
// first lets the window bring itself up to date, then goes to the prompter
// that was installed before.
#pragma once

#include <functional>

#include "services/prompt.h"

namespace qvm {

class RefreshBeforePrompt : public qv::Prompter {
 public:
  explicit RefreshBeforePrompt(std::function<void()> refresh);
  ~RefreshBeforePrompt() override;
  RefreshBeforePrompt(const RefreshBeforePrompt&) = delete;
  RefreshBeforePrompt& operator=(const RefreshBeforePrompt&) = delete;

  qv::Button ask(const qv::PromptRequest& r) override;
  void beep() override;

 private:
  std::function<void()> refresh_;
  qv::Prompter* outer_;
};

}  // namespace qvm
