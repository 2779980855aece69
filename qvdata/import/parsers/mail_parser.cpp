#include "import/parsers/mail_parser.h"

#include <algorithm>

#include "import/parsers/decode_pipeline.h"

namespace qv::mail {

namespace {

// A message of nothing but its separator line is none.
bool emptyMessage(std::string_view raw) {
  size_t lf = raw.find('\n');
  return lf == std::string_view::npos || blankMessage(raw.substr(lf + 1));
}

class MailParser : public Parser {
 public:
  MailParser(std::unique_ptr<Cutter> cutter, Flavour flavour) : cutter_(std::move(cutter)), flavour_(flavour) {}

  bool start(ImportContext& ctx) override {
    pipeline_.reset();
    reader_ = std::make_unique<BlockReader>(ctx.source());
    reader_->rewind();
    reported_ = 0;
    reached_ = 0;
    failed_ = false;
    done_ = false;
    cutDone_ = false;
    bool started = cutter_->start(ctx, *reader_);
    pipeline_ = std::make_unique<DecodePipeline>(started && cutter_->quiet() && decodeThreadWanted());
    return started;
  }

  // Writes the messages in the order they were cut; the progress told is
  // the cutter's once it had cut the last message written.
  bool convert(ImportContext& ctx) override {
    if (!reader_ && !start(ctx)) return true;
    for (int i = 0, slice = std::max(1, ctx.sliceSize()); i < slice && !done_ && !failed_; ++i) {
      cutAhead(ctx);
      std::unique_ptr<MailJob> job = pipeline_->take();
      if (!job) {
        done_ = true;
        reached_ = cutEnd_;
        break;
      }
      reached_ = job->progress;
      if (!convertMail(ctx, &job->original, [&] { return DecodePipeline::decoded(*job); })) failed_ = true;
    }
    ctx.progress(reached_ - reported_);
    reported_ = reached_;
    return done_ || failed_;
  }

 private:
  // Cuts messages and puts them in the pipeline while it has room.
  void cutAhead(ImportContext& ctx) {
    while (!cutDone_ && pipeline_->room()) {
      auto job = std::make_unique<MailJob>();
      if (!cutter_->next(job->raw)) {
        cutDone_ = true;
        cutEnd_ = cutter_->progress(*reader_);
        return;
      }
      job->original = cutter_->original(job->raw);
      job->flavour = flavour();
      Target* box = nullptr;
      job->wanted = mailSkipReason(ctx, box) == nullptr;
      job->progress = cutter_->progress(*reader_);
      pipeline_->put(std::move(job));
    }
  }

  // A Eudora mailbox with CR line ends was written by Eudora for the Mac,
  // which keeps text in Mac Roman.
  Flavour flavour() const {
    return flavour_ == Flavour::Eudora && cutter_->classicMac() ? Flavour::EudoraMac : flavour_;
  }

  std::unique_ptr<Cutter> cutter_;
  Flavour flavour_;
  std::unique_ptr<BlockReader> reader_;
  int64_t reported_ = 0;  // the progress told so far
  int64_t reached_ = 0;   // the cutter's progress at the last message written
  int64_t cutEnd_ = 0;    // the cutter's progress at the end of the file
  bool failed_ = false;
  bool done_ = false;
  bool cutDone_ = false;  // the cutter has no more messages
  // Last, so that the worker is stopped before the cutter and reader go.
  std::unique_ptr<DecodePipeline> pipeline_;
};

class SeparatorCutter : public Cutter {
 public:
  SeparatorCutter(SeparatorTest test, bool unescape) : isSeparator_(std::move(test)), unescape_(unescape) {}

  bool start(ImportContext&, BlockReader& r) override {
    lines_ = std::make_unique<MailLines>(r);
    message_.clear();
    return true;
  }

  bool classicMac() const override { return lines_ && lines_->crOnly(); }

  bool next(std::string& raw) override {
    MailLine line;
    while (lines_->next(line)) {
      if (line.start && line.ended && isSeparator_(line.text, lines_->peek())) {
        bool had = message_.started() && !emptyMessage(message_.bytes());
        if (had) {
          raw = message_.take();
          original_ = message_.takeOriginal();
          if (original_) dropSeparatorBlank(*original_);
        }
        message_.begin();
        message_.addLine(line.text, true);
        message_.restartOriginal();  // the separator is the store's, not the message's
        inHeader_ = true;
        if (had) return true;
        continue;
      }
      if (!message_.started()) continue;
      if (line.blank()) inHeader_ = false;
      if (unescape_ && !inHeader_ && line.start) unescapeFrom(line.text);
      message_.addLine(line.text, line.ended, line.eol);
    }
    if (!message_.started()) return false;
    raw = message_.take();
    original_ = message_.takeOriginal();
    if (original_) dropSeparatorBlank(*original_);
    return !emptyMessage(raw);
  }

  std::optional<std::string> original(const std::string&) override { return std::move(original_); }

 private:
  SeparatorTest isSeparator_;
  bool unescape_;
  std::unique_ptr<MailLines> lines_;
  MessageBytes message_;
  std::optional<std::string> original_;
  bool inHeader_ = false;
};

}  // namespace

std::unique_ptr<Parser> makeMailParser(std::unique_ptr<Cutter> cutter, Flavour flavour) {
  return std::make_unique<MailParser>(std::move(cutter), flavour);
}

std::unique_ptr<Cutter> makeSeparatorCutter(SeparatorTest isSeparator, bool unescape) {
  return std::make_unique<SeparatorCutter>(std::move(isSeparator), unescape);
}

}  // namespace qv::mail
