#include "import/parsers/mail_parser.h"

#include <algorithm>

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
    reader_ = std::make_unique<BlockReader>(ctx.source());
    reader_->rewind();
    reported_ = 0;
    failed_ = false;
    done_ = false;
    return cutter_->start(ctx, *reader_);
  }

  bool convert(ImportContext& ctx) override {
    if (!reader_ && !start(ctx)) return true;
    std::string raw;
    for (int i = 0, slice = std::max(1, ctx.sliceSize()); i < slice && !done_ && !failed_; ++i) {
      if (!cutter_->next(raw)) {
        done_ = true;
        break;
      }
      std::optional<std::string> original = cutter_->original(raw);
      if (!convertMail(ctx, raw, &original, flavour())) failed_ = true;
    }
    int64_t now = cutter_->progress(*reader_);
    ctx.progress(now - reported_);
    reported_ = now;
    return done_ || failed_;
  }

 private:
  // A Eudora mailbox with CR line ends was written by Eudora for the Mac,
  // which keeps text in Mac Roman.
  Flavour flavour() const {
    return flavour_ == Flavour::Eudora && cutter_->classicMac() ? Flavour::EudoraMac : flavour_;
  }

  std::unique_ptr<Cutter> cutter_;
  Flavour flavour_;
  std::unique_ptr<BlockReader> reader_;
  int64_t reported_ = 0;
  bool failed_ = false;
  bool done_ = false;
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
