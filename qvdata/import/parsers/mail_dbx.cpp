// The cutter of Outlook Express 5 and later message stores (".dbx"), read
// by the formats of the .MBX stores when a file begins with the store's
// signature: each message's text, as the store keeps it, is the message
// and its original (dbx_reading.h tells what is skipped and told).
#include <memory>

#include "import/parsers/dbx_reading.h"
#include "import/parsers/mail_parser.h"
#include "import/skip_reasons.h"

namespace qv::mail {

namespace {

class DbxCutter : public Cutter {
 public:
  bool start(ImportContext& ctx, BlockReader& r) override {
    ctx_ = &ctx;
    return reading_.start(ctx, r);
  }

  bool next(std::string& raw) override {
    for (;;) {
      message_.begin();
      if (!reading_.next([this](std::string_view s) { message_.add(s); })) return false;
      raw = message_.take();
      original_ = message_.takeOriginal();
      if (!blankMessage(raw)) return true;
      ctx_->skip(kSkipNoTextInStore);
    }
  }

  std::optional<std::string> original(const std::string&) override { return std::move(original_); }

  int64_t progress(const BlockReader&) const override { return reading_.consumed(); }

  // Messages without text and damaged ones are counted as skipped as they
  // are read, and the store's damage is told at its end.
  bool quiet() const override { return false; }

 private:
  ImportContext* ctx_ = nullptr;
  dbx::StoreReading reading_;
  MessageBytes message_;
  std::optional<std::string> original_;
};

}  // namespace

std::unique_ptr<Cutter> makeDbxCutter() { return std::make_unique<DbxCutter>(); }

}  // namespace qv::mail
