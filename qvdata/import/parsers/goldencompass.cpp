// The parser of GoldenCompass message files, read as byte blocks.
//
// A message begins with a line that starts with "#:" and runs to the next
// such line or the end of the file; what comes before the first one is passed
// over. A message has the five header lines of the CompuServe text readers
// (header_lines.h) without their additions. Forum messages go to the forum
// database the import names; mail to the mailbox of the import, its direction
// decided by the owner's addresses.
#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "import/parsers/block_reader.h"
#include "import/parsers/cis_text.h"
#include "import/parsers/header_lines.h"
#include "import/parsers/line_reader.h"
#include "import/parsers/parsers.h"

namespace qv {

namespace {

constexpr int kMailPerCall = 3;

class GoldenCompassParser : public Parser {
 public:
  bool start(ImportContext& ctx) override {
    reader_ = std::make_unique<BlockReader>(ctx.source());
    reader_->rewind();
    kind_ = cisKindOf(ctx);
    splitter_.reset();
    failed_ = false;
    reported_ = 0;
    return true;
  }

  bool convert(ImportContext& ctx) override {
    if (!reader_) start(ctx);
    if (failed_) return true;
    int slice = kind_ == KindMailDb ? kMailPerCall : std::max(1, ctx.sliceSize());
    bool more = true;
    for (int i = 0; i < slice && more; ++i) {
      more = collect();
      if (!more) break;
      if (!convertMessage(ctx)) {
        failed_ = true;
        more = false;
      }
    }
    ctx.progress(reader_->position() - reported_);
    reported_ = reader_->position();
    return !more || (!splitter_.holdsNext() && reader_->atEnd());
  }

 private:
  // The next line (ended by CR LF, LF or a lone CR), less NUL bytes
  // (padding in the files, never text).
  bool nextLine(std::string& line) {
    if (!reader_->readLine(line, cis::kMaxText, true)) return false;
    line.erase(std::remove(line.begin(), line.end(), '\0'), line.end());
    return true;
  }

  // Reads the next message into msg_; false when the file holds no more.
  bool collect() {
    return splitter_.collect(
        msg_, [this](std::string& line) { return nextLine(line); },
        [](std::string& line, std::vector<std::string>&) { return line.starts_with("#:"); });
  }

  // Converts msg_; false when its temporary record could not be written.
  bool convertMessage(ImportContext& ctx) {
    cis::HeaderRules rules;
    if (kind_ == KindMailDb) return cis::convertMailMessage(ctx, msg_, rules);
    return cis::convertForumMessage(ctx, msg_, rules, cis::forumName(ctx.settings().forumName));
  }

  std::unique_ptr<BlockReader> reader_;
  int kind_ = KindForumDb;
  cis::MessageSplitter splitter_;
  bool failed_ = false;
  int64_t reported_ = 0;  // bytes reported as progress
  cis::MessageLines msg_;
};

}  // namespace

std::unique_ptr<Parser> makeGoldenCompassParser() { return std::make_unique<GoldenCompassParser>(); }

}  // namespace qv
