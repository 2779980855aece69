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

struct ClassifyRun::Impl : MessageSetRun {
  Impl() : MessageSetRun(view, kNoBatchRules) {}
  ~Impl() override { stop(); }

  ClassifyRequest req;
  ClassifyView view;
  std::function<void(const ClassifyView&)> progress;

  void report() {
    if (progress) progress(view);
  }
  void ended() override {
    if (transactionActive()) rollbackTransaction();
    releaseHeldFiles();
    if (walk) walk->close();
    view.collecting = false;
    report();
  }
  void refuse(const std::string& text, const std::string& caption = kErrorCaption) {
    Message(text, caption, Icon::Exclamation);
    view.failure = text;
    finish(ClassifyFailed);
  }
  void open() override;
  void workSlice() override;
  // Reads the date of a message; false when it is gone.
  bool dateOf(uint32_t id, int32_t& date);
};

void ClassifyRun::Impl::open() {
  view.caption = kCaption;
  MessageSet set;
  if (req.scope < kClassifyFirstScope || req.scope > kClassifyLastScope || !setOfCopyScope(req.scope, set)) {
    refuse("There is no classification of scope " + std::to_string(req.scope) + ".");
    return;
  }
  if (req.topicId == 0) {
    refuse("No topic selected!", "Selection error");
    return;
  }
  if (!topicExists(req.topicId)) {
    refuse("The topic " + std::to_string(req.topicId) + " is not in the database.");
    return;
  }
  walk = std::make_unique<MessageWalk>(SetRequest{set, req.messageId, req.wordId, req.setTopicId});
  if (!walk->open()) {
    refuse(walk->error());
    return;
  }
  walk->collect(kSetCollectSlice);
  if (!walk->error().empty()) {
    refuse(walk->error());
    return;
  }
  holdFiles({FileSIndex, FileCodes});
}

bool ClassifyRun::Impl::dateOf(uint32_t id, int32_t& date) {
  BufferGuard guard({&MsgNmbr, &Mail, &Threads});
  int kind = walk->kind();
  if (!readMessage(kind, id)) return false;
  date = kind == KindMailDb ? MAI.DATE : MSG.DATE;
  return true;
}

void ClassifyRun::Impl::workSlice() {
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
    refuse("The count of the topic " + std::to_string(req.topicId) + " could not be written; the last " +
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

ClassifyRun::~ClassifyRun() = default;

void ClassifyRun::onProgress(std::function<void(const ClassifyView&)> f) { impl_->progress = std::move(f); }

bool ClassifyRun::step() { return impl_->step(); }
void ClassifyRun::cancel() { impl_->stop(); }
int ClassifyRun::result() const { return impl_->result(); }
Status ClassifyRun::status() const { return impl_->status(); }
const ClassifyView& ClassifyRun::view() const { return impl_->view; }

int TopicMsg(const ClassifyRequest& request, std::function<void(const ClassifyView&)> progress) {
  ClassifyRun run(request);
  run.onProgress(std::move(progress));
  while (run.step()) {
  }
  return run.result();
}

}  // namespace qv
