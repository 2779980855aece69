// The engines over a set of messages: open, collect, then work in slices
// (see message_set_run.h).
#include "export/message_set_run.h"

namespace qv {

MessageSetRun::MessageSetRun(MessageSetView& view, const RunTransactionRules& rules)
    : EngineRun(view, rules), setView_(view) {}

MessageSetRun::~MessageSetRun() = default;

bool MessageSetRun::step() {
  if (state() == EngineState::Ready) begin(kEngineDone);
  return tick(std::chrono::milliseconds(0));
}

void MessageSetRun::stop() {
  if (state() == EngineState::Ready) begin(kEngineDone);
  cancel();
}

bool MessageSetRun::runSlice(std::chrono::milliseconds) {
  if (!opened_) {
    opened_ = true;
    open();
  } else if (!walk->complete()) {
    walk->collect(kSetCollectSlice);
  } else {
    setView_.collecting = false;
    workSlice();
  }
  if (walk) setView_.found = int64_t(walk->ids().size());
  return running();
}

void MessageSetRun::finish(int result) {
  switch (result) {
    case SetRunDone: end(EngineState::Finished); break;
    case SetRunFailed: end(EngineState::Failed); break;
    default: end(EngineState::Stopped); break;
  }
}

int MessageSetRun::result() const {
  switch (state()) {
    case EngineState::Finished: return SetRunDone;
    case EngineState::Failed: return SetRunFailed;
    case EngineState::Stopped: return SetRunCancelled;
    default: return SetRunRunning;
  }
}

}  // namespace qv
