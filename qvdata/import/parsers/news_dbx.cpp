// IE News and Outlook Express News: a file that begins with the signature
// of an Outlook Express 5 store (".dbx") is read through its index, each
// message's text an article (dbx_reading.h tells what is skipped and
// told); any other file is an ".NCH" store (news_header_store.h).
#include <memory>

#include "import/parsers/dbx_reading.h"
#include "import/parsers/news_article.h"
#include "import/parsers/parsers.h"
#include "import/skip_reasons.h"

namespace qv {

namespace {

// Lines longer than this go to the article in pieces.
constexpr size_t kLinePiece = 64000;

// Cuts a text given piece by piece into the lines of an article, each with
// its line end as the store holds it.
class ArticleLines {
 public:
  explicit ArticleLines(news::Article& a) : article_(a) {}

  void add(std::string_view s) {
    while (!s.empty()) {
      size_t lf = s.find('\n');
      if (lf == std::string_view::npos) {
        line_.append(s);
        if (line_.size() >= kLinePiece) {
          // Keep a CR at the end: its LF may come with the next piece.
          bool cr = line_.back() == '\r';
          if (cr) line_.pop_back();
          article_.add(line_, "");
          line_.clear();
          if (cr) line_.push_back('\r');
        }
        return;
      }
      line_.append(s.substr(0, lf));
      s.remove_prefix(lf + 1);
      bool cr = !line_.empty() && line_.back() == '\r';
      if (cr) line_.pop_back();
      article_.add(line_, cr ? "\r\n" : "\n");
      line_.clear();
    }
  }

  void finish() {
    if (!line_.empty()) article_.add(line_, "");
    line_.clear();
  }

 private:
  news::Article& article_;
  std::string line_;
};

class DbxNewsParser : public Parser {
 public:
  bool start(ImportContext& ctx) override {
    reader_ = std::make_unique<BlockReader>(ctx.source());
    writer_ = std::make_unique<news::ArticleWriter>(ctx);
    reported_ = 0;
    done_ = false;
    return reading_.start(ctx, *reader_);
  }

  bool convert(ImportContext& ctx) override {
    for (int i = 0, slice = std::max(1, ctx.sliceSize()); i < slice && !done_; ++i) {
      article_.clear();
      ArticleLines lines(article_);
      if (!reading_.next([&lines](std::string_view s) { lines.add(s); })) {
        done_ = true;
        break;
      }
      lines.finish();
      if (article_.empty()) {
        ctx.skip(kSkipNoTextInStore);
        continue;
      }
      ctx.offerOriginal(article_.original());
      if (!writer_->write(article_.bytes())) done_ = true;
    }
    ctx.progress(reading_.consumed() - reported_);
    reported_ = reading_.consumed();
    return done_;
  }

 private:
  std::unique_ptr<BlockReader> reader_;
  std::unique_ptr<news::ArticleWriter> writer_;
  dbx::StoreReading reading_;
  news::Article article_;
  int64_t reported_ = 0;
  bool done_ = false;
};

// Chooses the reader by the file's first bytes.
class IeNewsParser : public Parser {
 public:
  bool start(ImportContext& ctx) override {
    BlockReader r(ctx.source());
    r.rewind();
    if (r.startsWith(dbx::kSignature))
      inner_ = std::make_unique<DbxNewsParser>();
    else
      inner_ = makeNewsNchParser();
    return inner_->start(ctx);
  }

  bool convert(ImportContext& ctx) override {
    if (!inner_ && !start(ctx)) return true;
    return inner_->convert(ctx);
  }

 private:
  std::unique_ptr<Parser> inner_;
};

}  // namespace

std::unique_ptr<Parser> makeNewsIeParser() { return std::make_unique<IeNewsParser>(); }

}  // namespace qv
