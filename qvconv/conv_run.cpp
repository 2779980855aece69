#include "conv_run.h"

#include <cmath>
#include <cstdio>

#include "conv_files.h"
#include "conv_impl.h"
#include "services/crash_point.h"
#include "services/disk_space.h"
#include "services/prompt.h"

namespace qvconv {

std::string Conversion::rootFile(int number) const { return inst.root + "/" + idxName(number); }

bool fail(const std::string& text, const std::string& caption) {
  qv::Message(text, caption, qv::Icon::Hand);
  return false;
}

bool enoughSpace(const std::string& dir, int64_t bytes, const std::string& what) {
  int64_t need = int64_t(std::ceil(kSpaceFactor * double(bytes)));
  int64_t free = qv::freeSpace(dir);
  if (free >= 0 && free >= need) return true;
  return fail(what + " cannot be converted - too little free disk space! You need at least " + std::to_string(need) +
                  " bytes free space on " + dir + ".",
              "Conversion error!");
}

struct ConvRun::Impl {
  Conversion c;
  ConvState state = ConvState::Ready;
  std::string status = kStatusPreparing;
  std::function<void(const std::string&)> onStatus;
  int next = 0;  // the step to run: 0 preparation, 1..7 (or 1 for the minor upgrade)
  int current = 0;

  void setStatus(const std::string& s) {
    status = s;
    if (onStatus) onStatus(s);
  }
  // The full conversion, also of an installation whose last one was cut short.
  bool full() const { return c.inst.situation == Situation::Full || c.inst.situation == Situation::Interrupted; }
  // Takes back a conversion that was cut short; the installation is then
  // looked at again.
  bool takeBack() {
    std::string error;
    if (!restoreSaved(c.root(), c.status, error)) return fail(error, "Conversion error!");
    c.inst = inspect(c.root());
    if (c.inst.situation != Situation::Full)
      return fail("The files that the interrupted conversion saved were put back, but they do not hold an "
                  "installation to convert.",
                  "Conversion error!");
    return true;
  }
};

ConvRun::ConvRun(const Installation& inst) : d_(std::make_unique<Impl>()) {
  d_->c.inst = inst;
  d_->c.status = [this](const std::string& s) { d_->setStatus(s); };
}
ConvRun::~ConvRun() = default;

void ConvRun::onStatus(std::function<void(const std::string&)> f) { d_->onStatus = std::move(f); }

bool ConvRun::start() {
  if (!offersStart(d_->c.inst) || d_->state != ConvState::Ready) return false;
  d_->state = ConvState::Running;
  d_->next = d_->full() ? 0 : 1;
  return true;
}

bool ConvRun::step() {
  Impl& d = *d_;
  if (d.state != ConvState::Running) return false;
  Conversion& c = d.c;
  bool ok;
  d.current = d.next;
  if (!d.full()) {
    d.setStatus("Step 1 of 1");
    ok = c.inst.situation == Situation::Finishing ? removeOldFiles(c) : minorUpgrade(c);
    d.next = 2;
  } else {
    if (d.next > 0) d.setStatus("Step " + std::to_string(d.next) + " of 7");
    char point[32];
    std::snprintf(point, sizeof point, "conv-step-%d", d.next);
    qv::crashPoint(point);
    switch (d.next) {
      case 0: ok = (c.inst.situation != Situation::Interrupted || d.takeBack()) && prepare(c); break;
      case 1: ok = stepOwners(c); break;
      case 2: ok = stepDatabaseList(c); break;
      case 3: ok = stepSplitMail(c); break;
      case 4: ok = stepMailPersons(c); break;
      case 5: ok = stepForumFiles(c); break;
      case 6: ok = stepInternetHeaders(c); break;
      default: ok = stepMoveFiles(c); break;
    }
    ++d.next;
  }
  if (!ok) {
    d.state = ConvState::Failed;
    return false;
  }
  if ((!d.full() && d.next > 1) || d.next > 7) {
    d.state = ConvState::Finished;
    d.setStatus(kStatusFinished);
    return false;
  }
  return true;
}

ConvState ConvRun::state() const { return d_->state; }
const std::string& ConvRun::status() const { return d_->status; }
int ConvRun::stepNumber() const { return d_->current; }
int ConvRun::steps() const { return d_->full() ? 7 : 1; }

ConvState runToEnd(ConvRun& run) {
  while (run.step()) {
  }
  return run.state();
}

}  // namespace qvconv
