#include "maintenance/classify_run.h"

#include "dictionary/dictionary.h"
#include "dictionary/file_numbers.h"
#include "services/crash_point.h"
#include "services/db_kind.h"
#include "services/file_service.h"
#include "services/globals.h"
#include "services/messages.h"
#include "services/prompt.h"
#include "services/record_helpers.h"
#include "services/topics.h"
#include "storage/buffer_guard.h"

namespace qv {

namespace {

constexpr int kCollectSlice = 2000;
// Messages looked at in one slice, classified or not: a slice of filtered
// messages ends as soon as one of classified ones.
constexpr int kLookSlice = 2000;
constexpr const char* kCaption = "Classifying ..";
constexpr const char* kErrorCaption = "Classify Messages";

bool topicExists(uint32_t id) {
  for (const Topic& t : listTopics())
    if (t.id == id) return true;
  return false;
}

}  // namespace

struct ClassifyRun::Impl {
  ClassifyRequest req;
  bool started = false;
  bool done = false;
  bool filesOpen = false;
  int result = ClassifyRunning;
  ClassifyView view;
  std::function<void(const ClassifyView&)> progress;
  std::unique_ptr<MessageWalk> walk;
  size_t next = 0;

  void report() {
    if (progress) progress(view);
  }
  void finish(int r) {
    if (done) return;
    if (transactionActive()) rollbackTransaction();
    if (filesOpen) OP_CLOSE(OpRelease, {FileSIndex, FileCodes});
    filesOpen = false;
    if (walk) walk->close();
    done = true;
    result = r;
    view.collecting = false;
    report();
  }
  void fail(const std::string& text, const std::string& caption = kErrorCaption) {
    Message(text, caption, Icon::Exclamation);
    finish(ClassifyFailed);
  }
  void start();
  void classifySlice();
  // Reads the date of a message; false when it is gone.
  bool dateOf(uint32_t id, int32_t& date);
};

void ClassifyRun::Impl::start() {
  started = true;
  view.caption = kCaption;
  MessageSet set;
  if (req.scope < kClassifyFirstScope || req.scope > kClassifyLastScope || !setOfCopyScope(req.scope, set)) {
    fail("There is no classification of scope " + std::to_string(req.scope) + ".");
    return;
  }
  if (req.topicId == 0) {
    fail("No topic selected!", "Selection error");
    return;
  }
  if (!topicExists(req.topicId)) {
    fail("The topic " + std::to_string(req.topicId) + " is not in the database.");
    return;
  }
  walk = std::make_unique<MessageWalk>(SetRequest{set, req.messageId, req.wordId, req.setTopicId});
  if (!walk->open()) {
    fail(walk->error());
    return;
  }
  walk->collect(kCollectSlice);
  if (!walk->error().empty()) {
    fail(walk->error());
    return;
  }
  OP_CLOSE(OpShared, {FileSIndex, FileCodes});
  filesOpen = true;
}

bool ClassifyRun::Impl::dateOf(uint32_t id, int32_t& date) {
  BufferGuard guard({&MsgNmbr, &Mail, &Threads});
  int kind = walk->kind();
  if (!readMessage(kind, id)) return false;
  date = kind == KindMailDb ? MAI.DATE : MSG.DATE;
  return true;
}

void ClassifyRun::Impl::classifySlice() {
  const std::vector<uint32_t>& ids = walk->ids();
  const bool attach = classifyAttaches(req.scope);
  BufferGuard guard({&SIndex, &Codes});
  if (!BeginTransaction({&SIndex, &Codes}, 5)) {
    finish(ClassifyFailed);
    return;
  }
  int64_t delta = 0;
  int classified = 0;
  for (int looked = 0; looked < kLookSlice && classified < kClassifySlice && next < ids.size(); ++looked, ++next) {
    uint32_t id = ids[next];
    int32_t date = 0;
    if (!dateOf(id, date)) {
      ++view.missing;
      continue;
    }
    if (req.filter.skips(id, date)) {
      ++view.filtered;
      continue;
    }
    SIN = SIndexRec();
    SIN.ID = req.topicId;
    SIN.MSGNUMBER = id;
    bool linked = SIndex.get(SIN_IdKey);
    if (linked != attach) {
      SIN.ID = req.topicId;
      SIN.MSGNUMBER = id;
      // A link that cannot be written is reported and passed over.
      if (UppDat(SIndex, attach ? OpAdd : OpRemove, ReportShow)) delta += attach ? 1 : -1;
    }
    ++classified;
  }
  if (!addToTopicCount(req.topicId, delta)) {
    rollbackTransaction();
    fail("The count of the topic " + std::to_string(req.topicId) + " could not be written; the last " +
         std::to_string(classified) + " messages were left as they were.");
    return;
  }
  crashPoint("classify-before-commit");
  if (!commitTransaction()) {
    TransactionCheck();
    finish(ClassifyFailed);
    return;
  }
  crashPoint("classify-commit");
  view.classified += classified;
  if (delta > 0)
    view.linksAdded += delta;
  else
    view.linksRemoved -= delta;
  if (next >= ids.size())
    finish(ClassifyDone);
  else
    report();
}

ClassifyRun::ClassifyRun(const ClassifyRequest& request) : impl_(std::make_unique<Impl>()) { impl_->req = request; }

ClassifyRun::~ClassifyRun() {
  if (!impl_->done) impl_->finish(ClassifyCancelled);
}

void ClassifyRun::onProgress(std::function<void(const ClassifyView&)> f) { impl_->progress = std::move(f); }

bool ClassifyRun::step() {
  Impl& r = *impl_;
  if (r.done) return false;
  if (!r.started) {
    r.start();
  } else if (!r.walk->complete()) {
    r.walk->collect(kCollectSlice);
  } else {
    r.view.collecting = false;
    r.classifySlice();
  }
  if (r.walk) r.view.found = int64_t(r.walk->ids().size());
  return !r.done;
}

void ClassifyRun::cancel() {
  if (!impl_->done) impl_->finish(ClassifyCancelled);
}

int ClassifyRun::result() const { return impl_->result; }
const ClassifyView& ClassifyRun::view() const { return impl_->view; }

int TopicMsg(const ClassifyRequest& request, std::function<void(const ClassifyView&)> progress) {
  ClassifyRun run(request);
  run.onProgress(std::move(progress));
  while (run.step()) {
  }
  return run.result();
}

}  // namespace qv
