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

struct PrintRun::Impl : MessageSetRun {
  Impl() : MessageSetRun(view, kNoBatchRules) {}
  // A run dropped unfinished only lets go of its files: nobody waits for
  // its progress any more.
  ~Impl() override {
    if (walk) walk->close();
  }

  PrintRequest req;
  PrintView view;
  std::function<void(const PrintView&)> progress;
  std::vector<PrintBlock> blocks;
  int dateFormat = 17;

  void ended() override {
    if (walk) walk->close();
    view.collecting = false;
    if (progress) progress(view);
  }
  void refuse(const std::string& text) {
    Message(text, kCaption, Icon::Exclamation);
    view.failure = text;
    finish(PrintFailed);
  }
  void open() override;
  void workSlice() override;
};

void PrintRun::Impl::open() {
  view.title = reportTitle(exportedKind());
  MessageSet set;
  if (!setOfPrintScope(req.scope, set)) {
    refuse("There is no report of scope " + std::to_string(req.scope) + ".");
    return;
  }
  int64_t f = KonfigGet(ItemDateFormat);
  dateFormat = f > 0 ? int(f) : 17;
  walk = std::make_unique<MessageWalk>(SetRequest{set, req.messageId, req.wordId, req.topicId});
  if (!walk->open()) {
    refuse(walk->error());
    return;
  }
  walk->collect(kSetCollectSlice);
  if (!walk->error().empty()) refuse(walk->error());
}

void PrintRun::Impl::workSlice() {
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

PrintRun::~PrintRun() = default;

void PrintRun::onProgress(std::function<void(const PrintView&)> f) { impl_->progress = std::move(f); }

bool PrintRun::step() { return impl_->step(); }
void PrintRun::cancel() { impl_->stop(); }
int PrintRun::result() const { return impl_->result(); }
Status PrintRun::status() const { return impl_->status(); }
const PrintView& PrintRun::view() const { return impl_->view; }

std::vector<PrintBlock> PrintRun::takeBlocks() {
  std::vector<PrintBlock> out;
  out.swap(impl_->blocks);
  return out;
}

}  // namespace qv
