#include "export/print_msg.h"

#include "export/export_headers.h"
#include "services/datetime.h"
#include "services/db_kind.h"
#include "services/globals.h"
#include "services/prompt.h"
#include "services/settings.h"
#include "services/settings_items.h"

namespace qv {

namespace {

constexpr int kCollectSlice = 2000;
constexpr int kPrintSlice = 50;
constexpr const char* kCaption = "Print Messages";

}  // namespace

std::string reportTitle(int kind) {
  return kind == KindMailDb ? "Mail from the Quorvane Message Archiver Database"
                            : "Messages from the Quorvane Message Archiver Database";
}

PrintBlock printBlock(const MessageData& m, int kind, const std::string& database, int dateFormat) {
  PrintBlock b;
  b.id = m.id;
  std::string id = std::to_string(m.id);
  if (m.ref != 0 && m.ref != m.id) id += "  (reply to " + std::to_string(m.ref) + ")";
  std::string date = formatDate(m.date, dateFormat);
  if (kind == KindMailDb) {
    b.header = {"Mail: " + id, "Date: " + date, "Subject: " + m.subject,
                "From: " + printedMailPerson(m.from), "To: " + printedMailPerson(m.to)};
  } else {
    b.header = {"Message: " + id,
                "Date: " + date,
                "Subject: " + m.subject,
                kind == KindNewsDb ? "Newsgroup: " + database : "Section: " + m.sectionName,
                "From: " + forumPerson(m.from),
                "To: " + forumPerson(m.to)};
  }
  b.lines = textLines(cutText(m.text, kPrintTextMax));
  return b;
}

struct PrintRun::Impl {
  PrintRequest req;
  bool started = false;
  bool done = false;
  int result = PrintRunning;
  PrintView view;
  std::function<void(const PrintView&)> progress;
  std::unique_ptr<MessageWalk> walk;
  std::vector<PrintBlock> blocks;
  size_t next = 0;
  int dateFormat = 17;

  void finish(int r) {
    if (walk) walk->close();
    done = true;
    result = r;
    view.collecting = false;
    if (progress) progress(view);
  }
  void fail(const std::string& text) {
    Message(text, kCaption, Icon::Exclamation);
    finish(PrintFailed);
  }
  void start();
  void printSlice();
};

void PrintRun::Impl::start() {
  started = true;
  view.title = reportTitle(exportedKind());
  MessageSet set;
  if (!setOfPrintScope(req.scope, set)) {
    fail("There is no report of scope " + std::to_string(req.scope) + ".");
    return;
  }
  int64_t f = KonfigGet(ItemDateFormat);
  dateFormat = f > 0 ? int(f) : 17;
  walk = std::make_unique<MessageWalk>(SetRequest{set, req.messageId, req.wordId, req.topicId});
  if (!walk->open()) {
    fail(walk->error());
    return;
  }
  walk->collect(kCollectSlice);
  if (!walk->error().empty()) fail(walk->error());
}

void PrintRun::Impl::printSlice() {
  const std::vector<uint32_t>& ids = walk->ids();
  for (int n = 0; n < kPrintSlice && next < ids.size(); ++n, ++next) {
    MessageData m;
    if (!walk->read(ids[next], m) || req.filter.skips(m.id, m.date)) {
      ++view.skipped;
      continue;
    }
    blocks.push_back(printBlock(m, walk->kind(), Mem.Description, dateFormat));
    ++view.printed;
  }
  if (next >= ids.size())
    finish(PrintDone);
  else if (progress)
    progress(view);
}

PrintRun::PrintRun(const PrintRequest& request) : impl_(std::make_unique<Impl>()) { impl_->req = request; }

PrintRun::~PrintRun() {
  if (impl_->walk) impl_->walk->close();
}

void PrintRun::onProgress(std::function<void(const PrintView&)> f) { impl_->progress = std::move(f); }

bool PrintRun::step() {
  Impl& r = *impl_;
  if (r.done) return false;
  if (!r.started) {
    r.start();
  } else if (!r.walk->complete()) {
    r.walk->collect(kCollectSlice);
  } else {
    r.view.collecting = false;
    r.printSlice();
  }
  if (r.walk) r.view.found = int64_t(r.walk->ids().size());
  return !r.done;
}

void PrintRun::cancel() {
  if (!impl_->done) impl_->finish(PrintCancelled);
}

int PrintRun::result() const { return impl_->result; }
const PrintView& PrintRun::view() const { return impl_->view; }

std::vector<PrintBlock> PrintRun::takeBlocks() {
  std::vector<PrintBlock> out;
  out.swap(impl_->blocks);
  return out;
}

}  // namespace qv
