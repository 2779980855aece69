// A window brought up to date before each message (see refresh_before_prompt.h).
#include "prompt/refresh_before_prompt.h"

#include <utility>

namespace qvm {

RefreshBeforePrompt::RefreshBeforePrompt(std::function<void()> refresh)
    : refresh_(std::move(refresh)), outer_(qv::prompter()) {
  // Without a prompter the library writes its messages to stderr itself.
  if (outer_) qv::setPrompter(this);
}

RefreshBeforePrompt::~RefreshBeforePrompt() {
  if (outer_) qv::setPrompter(outer_);
}

qv::Button RefreshBeforePrompt::ask(const qv::PromptRequest& r) {
  refresh_();
  return outer_->ask(r);
}

void RefreshBeforePrompt::beep() { outer_->beep(); }

}  // namespace qvm
