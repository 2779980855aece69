// The parser of the news stores that separate their articles by a line:
// VirtualAccess (a line of ten "=" starts an article) and Agent News and
// Unix News (a "From " line starts an article, the mailbox convention).
//
// A "From " line counts as a separator only when a header line follows it
// (after any empty lines): a body line that happens to begin with "From "
// stays in its article. Text before the first separator is an article of its
// own when it begins with a header line; so a file that holds one article and
// no separator at all (a news server's spool file) is one article.
#include <memory>
#include <optional>
#include <string>

#include "import/parsers/block_reader.h"
#include "import/parsers/mail_lines.h"
#include "import/parsers/news_article.h"
#include "import/parsers/parsers.h"

namespace qv {

namespace {

bool isTenEquals(std::string_view line) {
  while (!line.empty() && (line.back() == ' ' || line.back() == '\t')) line.remove_suffix(1);
  return line == "==========";
}

class NewsSpoolParser : public Parser {
 public:
  bool start(ImportContext& /*ctx*/) override {
    reader_.reset();
    writer_.reset();
    return true;
  }

  bool convert(ImportContext& ctx) override {
    if (!reader_) {
      reader_ = std::make_unique<BlockReader>(ctx.source());
      reader_->rewind();
      writer_ = std::make_unique<news::ArticleWriter>(ctx);
      equalsLines_ = std::string_view(ctx.format().name) == "VirtualAccess";
      crEnds_ = news::crLineEnds(*reader_);
      mode_ = Leading;
      pendingSeparator_.reset();
      done_ = false;
      wholeLine_ = true;
      lastPos_ = 0;
    }
    if (done_) return true;
    int slice = std::max(1, ctx.sliceSize());
    for (int i = 0; i < slice; ++i) {
      bool more = collect();
      ctx.progress(reader_->position() - lastPos_);
      lastPos_ = reader_->position();
      if (!article_.empty()) {
        std::optional<std::string> original = article_.original();
        // Between "From " separators an article is followed by the store's empty line.
        if (original && mode_ == Articles && !equalsLines_) mail::dropSeparatorBlank(*original);
        ctx.offerOriginal(std::move(original));
        if (!writer_->write(article_.bytes())) more = false;
      }
      if (!more) {
        done_ = true;
        return true;
      }
    }
    return false;
  }

 private:
  // A separator line; it is the first line of a new article.
  bool isSeparator(const std::string& line) {
    if (equalsLines_) return isTenEquals(line);
    return news::isFromLine(line) && news::headerFollows(*reader_);
  }

  // Reads the next article into article_ (left empty when there is none).
  // False when the file has ended.
  bool collect() {
    article_.clear();
    if (pendingSeparator_) {
      if (!equalsLines_) article_.add(*pendingSeparator_);
      pendingSeparator_.reset();
    }
    std::string line;
    while (reader_->readLine(line, news::kMaxLine, crEnds_)) {
      bool whole = wholeLine_;  // the line does not continue a longer one
      wholeLine_ = line.size() < news::kMaxLine;
      if (whole && isSeparator(line)) {
        mode_ = Articles;
        if (!article_.empty()) {
          pendingSeparator_ = std::move(line);
          return true;
        }
        article_.clear();
        if (!equalsLines_) article_.add(line);
        continue;
      }
      // Before the first separator: an article only when it begins with a header line.
      if (mode_ == Leading && article_.empty() && !line.empty() && !news::isHeaderForm(line)) mode_ = LeadingText;
      if (mode_ == LeadingText) continue;
      article_.add(line, reader_->lineEnd());
    }
    return false;
  }

  std::unique_ptr<BlockReader> reader_;
  std::unique_ptr<news::ArticleWriter> writer_;
  news::Article article_;
  std::optional<std::string> pendingSeparator_;
  bool equalsLines_ = false;
  bool crEnds_ = false;
  enum Mode { Leading, LeadingText, Articles } mode_ = Leading;
  bool done_ = false;
  bool wholeLine_ = true;
  int64_t lastPos_ = 0;
};

}  // namespace

std::unique_ptr<Parser> makeNewsSpoolParser() { return std::make_unique<NewsSpoolParser>(); }

}  // namespace qv
