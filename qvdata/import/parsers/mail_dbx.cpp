// The cutter of Outlook Express 5 and later message stores (".dbx"), read
// by the formats of the .MBX stores when a file begins with the store's
// signature.
//
// Each message's text, as the store keeps it, is the message and its
// original. A store that holds no messages (the folder list, the offline
// work) is skipped with a message naming what it is. A message the store
// keeps no text of is counted as skipped; so is a message whose entry or
// first block is damaged. A chain of blocks that breaks after some text
// gives the text read so far. Damage anywhere is told once, at the end of
// the store, message by message; the other messages are read.
#include <memory>

#include "import/parsers/dbx_store.h"
#include "import/parsers/mail_parser.h"
#include "import/skip_reasons.h"
#include "services/prompt.h"

namespace qv::mail {

namespace {

// Problems listed in the message at the end of a damaged store; the rest
// are counted.
constexpr size_t kProblemsShown = 10;

class DbxCutter : public Cutter {
 public:
  bool start(ImportContext& ctx, BlockReader& r) override {
    ctx_ = &ctx;
    problems_.clear();
    messages_ = 0;
    reported_ = false;
    std::string first;
    r.rewind();
    r.read(first, 8);
    r.rewind();
    dbx::StoreKind kind = dbx::kindOf(first);
    if (kind != dbx::StoreKind::Messages) {
      Message(ctx.filePath() + " is " + dbx::kindText(kind) + ".\r\nThis file will be skipped!", "Warning!",
              Icon::Exclamation);
      return false;
    }
    store_ = std::make_unique<dbx::MessageStore>(r);
    std::string problem;
    if (!store_->open(problem)) {
      Message(ctx.filePath() + " is a damaged Outlook Express message store: " + problem +
                  ".\r\nThis file will be skipped!",
              "Warning!", Icon::Exclamation);
      store_.reset();
      return false;
    }
    return true;
  }

  bool next(std::string& raw) override {
    if (!store_) return false;
    std::string problem;
    for (;;) {
      message_.begin();
      dbx::MessageStore::Got got = store_->next([this](std::string_view s) { message_.add(s); }, problem);
      if (got == dbx::MessageStore::Got::End) {
        report();
        return false;
      }
      ++messages_;
      raw = message_.take();
      original_ = message_.takeOriginal();
      if (!problem.empty()) problems_.push_back("message " + std::to_string(messages_) + ": " + problem);
      if (got == dbx::MessageStore::Got::NoText) {
        ctx_->skip(kSkipNoTextInStore);
        continue;
      }
      if (got == dbx::MessageStore::Got::Damaged || blankMessage(raw)) {
        ctx_->skip(kSkipDamagedInStore);
        continue;
      }
      return true;
    }
  }

  std::optional<std::string> original(const std::string&) override { return std::move(original_); }

  int64_t progress(const BlockReader& r) const override { return store_ ? store_->consumed() : r.position(); }

 private:
  // Tells the user once about the damage met in the store.
  void report() {
    if (reported_) return;
    reported_ = true;
    std::vector<std::string> all = store_->treeProblems();
    all.insert(all.end(), problems_.begin(), problems_.end());
    if (all.empty() && store_->headerCount() == messages_) return;
    std::string text = ctx_->filePath() + " is a damaged Outlook Express message store:\r\n";
    for (size_t i = 0; i < all.size() && i < kProblemsShown; ++i) text += "- " + all[i] + "\r\n";
    if (all.size() > kProblemsShown)
      text += "- and " + std::to_string(all.size() - kProblemsShown) + " more problems\r\n";
    if (store_->headerCount() != messages_)
      text += "- the store's header counts " + std::to_string(store_->headerCount()) +
              " messages, its index lists " + std::to_string(messages_) + "\r\n";
    text += "The other messages were read.";
    Message(text, "Warning!", Icon::Exclamation);
  }

  ImportContext* ctx_ = nullptr;
  std::unique_ptr<dbx::MessageStore> store_;
  MessageBytes message_;
  std::optional<std::string> original_;
  std::vector<std::string> problems_;
  uint32_t messages_ = 0;
  bool reported_ = false;
};

}  // namespace

std::unique_ptr<Cutter> makeDbxCutter() { return std::make_unique<DbxCutter>(); }

}  // namespace qv::mail
