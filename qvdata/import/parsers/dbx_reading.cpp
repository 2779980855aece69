#include "import/parsers/dbx_reading.h"

#include "import/skip_reasons.h"
#include "services/prompt.h"

namespace qv::dbx {

namespace {

// Problems listed in the message at the end of a damaged store; the rest
// are counted.
constexpr size_t kProblemsShown = 10;

}  // namespace

bool StoreReading::start(ImportContext& ctx, BlockReader& r) {
  ctx_ = &ctx;
  problems_.clear();
  messages_ = 0;
  reported_ = false;
  store_.reset();
  std::string first;
  r.rewind();
  r.read(first, 8);
  r.rewind();
  StoreKind kind = kindOf(first);
  if (kind != StoreKind::Messages) {
    Message(ctx.filePath() + " is " + kindText(kind) + ".\r\nThis file will be skipped!", "Warning!",
            Icon::Exclamation);
    return false;
  }
  auto store = std::make_unique<MessageStore>(r);
  std::string problem;
  if (!store->open(problem)) {
    Message(ctx.filePath() + " is a damaged Outlook Express message store: " + problem +
                ".\r\nThis file will be skipped!",
            "Warning!", Icon::Exclamation);
    return false;
  }
  store_ = std::move(store);
  return true;
}

bool StoreReading::next(const std::function<void(std::string_view)>& sink) {
  if (!store_) return false;
  std::string problem;
  for (;;) {
    MessageStore::Got got = store_->next(sink, problem);
    if (got == MessageStore::Got::End) {
      report();
      return false;
    }
    ++messages_;
    if (!problem.empty()) problems_.push_back("message " + std::to_string(messages_) + ": " + problem);
    if (got == MessageStore::Got::Message) return true;
    ctx_->skip(got == MessageStore::Got::NoText ? kSkipNoTextInStore : kSkipDamagedInStore);
  }
}

void StoreReading::report() {
  if (reported_) return;
  reported_ = true;
  std::vector<std::string> all = store_->treeProblems();
  all.insert(all.end(), problems_.begin(), problems_.end());
  if (all.empty() && store_->headerCount() == messages_) return;
  std::string text = ctx_->filePath() + " is a damaged Outlook Express message store:\r\n";
  for (size_t i = 0; i < all.size() && i < kProblemsShown; ++i) text += "- " + all[i] + "\r\n";
  if (all.size() > kProblemsShown) text += "- and " + std::to_string(all.size() - kProblemsShown) + " more problems\r\n";
  if (store_->headerCount() != messages_)
    text += "- the store's header counts " + std::to_string(store_->headerCount()) + " messages, its index lists " +
            std::to_string(messages_) + "\r\n";
  text += "The other messages were read.";
  Message(text, "Warning!", Icon::Exclamation);
}

}  // namespace qv::dbx
