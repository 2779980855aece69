#include "import/parsers/news_header_store.h"

#include <algorithm>
#include <memory>

#include "dictionary/dictionary.h"
#include "import/parsers/news_store_index.h"
#include "import/parsers/parsers.h"

namespace qv::news {

namespace {

constexpr int kMarker = 188;
constexpr size_t kMarkerIdAt = 22;   // the "<" of the Message-ID after the marker byte
constexpr size_t kMaxMarkerId = 250;
constexpr size_t kMaxHeldLines = 1000;
constexpr size_t kMaxHeldBytes = 65536;

}  // namespace

void HeaderStoreScanner::rewind() {
  reader_.rewind();
  crEnds_ = crLineEnds(reader_);
  havePending_ = false;
  pending_ = Start();
  held_.clear();
  heldBytes_ = 0;
  wholeLine_ = true;
  state_ = Scanning;
  start_ = -1;
  markerId_.clear();
}

void HeaderStoreScanner::readMarkerId() {
  lastId_.clear();
  reader_.skip(kMarkerIdAt + 1);
  std::string id;
  for (size_t i = 0; i < kMaxMarkerId; ++i) {
    int c = reader_.peek(0);
    // A Message-ID is printable ASCII; anything else means there is none (the
    // bytes stay for the line reader).
    if (c < 33 || c > 126 || c == '<') return;
    reader_.get();
    if (c == '>') {
      lastId_ = id;
      return;
    }
    id += char(c);
  }
}

HeaderStoreScanner::Piece HeaderStoreScanner::read(std::string& line, bool markers) {
  line.clear();
  eol_ = {};
  if (!markers) {
    bool read = reader_.readLine(line, kMaxLine, crEnds_);
    eol_ = reader_.lineEnd();
    return read ? Piece::Line : Piece::End;
  }
  bool any = false;
  for (;;) {
    int c = reader_.peek(0);
    if (c < 0) return any ? Piece::Line : Piece::End;
    if (c == kMarker && reader_.peek(kMarkerIdAt) == '<') {
      if (any) return Piece::Line;  // the line ends at the marker
      readMarkerId();
      return Piece::Marker;
    }
    reader_.get();
    any = true;
    if (c == '\n' || (c == '\r' && crEnds_)) {
      eol_ = c == '\r' ? "\r" : "\n";
      if (c == '\n' && !line.empty() && line.back() == '\r') {
        line.pop_back();
        eol_ = "\r\n";
      }
      return Piece::Line;
    }
    line += char(c);
    if (line.size() >= kMaxLine) return Piece::Line;
  }
}

void HeaderStoreScanner::add(Article& a, const std::string& text, std::string_view eol) {
  a.add(text, eol);
  parts_.line(text);
}

void HeaderStoreScanner::addHeld(Article& a) {
  for (const Line& l : held_) add(a, l.text, l.eol);
}

bool HeaderStoreScanner::hold(const std::string& line) {
  bool fits = held_.empty() ? isFromLine(line) || isHeaderForm(line) : isHeaderForm(line) || isContinuation(line);
  if (!fits || held_.size() >= kMaxHeldLines || heldBytes_ + line.size() > kMaxHeldBytes) return false;
  held_.push_back({line, eol_});
  heldBytes_ += line.size();
  return true;
}

void HeaderStoreScanner::begin(Article& a, Start& s) {
  a.clear();
  parts_.begin();
  markerId_.clear();
  start_ = s.offset;
  if (s.marker) {
    markerId_ = s.id;
    state_ = AfterMarker;
    return;
  }
  for (const Line& l : s.lines) add(a, l.text, l.eol);
  state_ = Collecting;
}

bool HeaderStoreScanner::next(Article& a) {
  a.clear();
  markerId_.clear();
  state_ = Scanning;
  if (havePending_) {
    havePending_ = false;
    begin(a, pending_);
  }
  auto clearHeld = [this] {
    held_.clear();
    heldBytes_ = 0;
  };
  auto startAt = [&](bool marker, std::string line, int64_t at) {
    Start s;
    s.marker = marker;
    s.offset = at;
    if (marker) {
      s.id = lastId_;
    } else {
      s.lines = std::move(held_);
      s.lines.push_back({std::move(line), eol_});
    }
    clearHeld();
    return s;
  };

  std::string line;
  for (;;) {
    // Within the body lines that the Lines header counts nothing starts an article.
    bool counted = state_ == Collecting && a.inBody() && a.lines() >= 0 && a.bodyLines() < a.lines();
    int64_t at = reader_.position();
    Piece p = read(line, markers_ && !counted);
    if (p == Piece::End) {
      if (state_ == Collecting)
        addHeld(a);
      clearHeld();
      return false;
    }
    if (p == Piece::Marker) {
      // Lines held at the end of a body are text after all.
      if (state_ == Collecting)
        addHeld(a);
      Start s = startAt(true, {}, at);
      if (state_ == Collecting || state_ == Trailing) {
        pending_ = std::move(s);
        havePending_ = true;
        return true;
      }
      begin(a, s);  // a record that showed no header line yet starts again here
      continue;
    }
    bool whole = wholeLine_;  // not the continuation of a longer line
    wholeLine_ = line.size() < kMaxLine;
    bool starts = whole && startsArticle(line);

    switch (state_) {
      case AfterMarker:
        if (isHeaderForm(line)) {
          state_ = Collecting;
          add(a, line, eol_);
        }
        continue;
      case Collecting:
        // Inside the parts of a multipart (a digest, a delivery report) a
        // header block is a part's or a forwarded message's: it ends nothing.
        if (a.inHeader() || counted || parts_.insideParts()) {
          addHeld(a);
          clearHeld();
          add(a, line, eol_);
          continue;
        }
        if (starts) {
          pending_ = startAt(false, std::move(line), at);
          havePending_ = true;
          return true;
        }
        if (a.lines() >= 0) {
          // The counted body has ended: up to the next article nothing is text.
          state_ = Trailing;
          if (!hold(line)) clearHeld();
          continue;
        }
        if (hold(line)) continue;
        addHeld(a);
        clearHeld();
        add(a, line, eol_);
        continue;
      case Scanning:
      case Trailing:
        if (starts) {
          Start s = startAt(false, std::move(line), at);
          if (state_ == Trailing) {
            pending_ = std::move(s);
            havePending_ = true;
            return true;
          }
          begin(a, s);
          continue;
        }
        if (!hold(line)) clearHeld();
        continue;
    }
  }
}

namespace {

// IE News and Outlook Express News (with record markers; the marker's
// Message-ID stands in for a missing one), Netscape News and Gravity (with
// the index beside the store where there is one).
class HeaderStoreParser : public Parser {
 public:
  explicit HeaderStoreParser(bool markers) : markers_(markers) {}

  bool start(ImportContext& /*ctx*/) override {
    scanner_.reset();
    writer_.reset();
    index_.close();
    return true;
  }

  bool convert(ImportContext& ctx) override {
    if (!scanner_) {
      scanner_ = std::make_unique<HeaderStoreScanner>(ctx.source(), markers_);
      scanner_->rewind();
      writer_ = std::make_unique<ArticleWriter>(ctx);
      if (!markers_) index_.open(ctx.filePath());
      done_ = false;
      lastPos_ = 0;
      previousStart_ = -1;
    }
    if (done_) return true;
    int slice = std::max(1, ctx.sliceSize());
    for (int i = 0; i < slice; ++i) {
      bool more = scanner_->next(article_);
      ctx.progress(scanner_->position() - lastPos_);
      lastPos_ = scanner_->position();
      if (!article_.empty()) {
        ctx.offerOriginal(article_.original());
        if (!writeArticle()) more = false;
      }
      if (!more) {
        done_ = true;
        index_.close();
        return true;
      }
    }
    return false;
  }

 private:
  bool writeArticle() {
    IndexEntry fromMarker;
    const IndexEntry* entry = nullptr;
    if (markers_) {
      fromMarker.messageId = scanner_->markerId();
      if (!fromMarker.messageId.empty()) entry = &fromMarker;
    } else {
      entry = index_.entryFor(previousStart_, scanner_->articleStart());
    }
    previousStart_ = scanner_->articleStart();
    return writer_->write(article_.bytes(), entry);
  }

  bool markers_;
  std::unique_ptr<HeaderStoreScanner> scanner_;
  std::unique_ptr<ArticleWriter> writer_;
  StoreIndex index_;
  Article article_;
  bool done_ = false;
  int64_t lastPos_ = 0;
  int64_t previousStart_ = -1;
};

}  // namespace

}  // namespace qv::news

namespace qv {

std::unique_ptr<Parser> makeNewsNchParser() { return std::make_unique<news::HeaderStoreParser>(true); }
std::unique_ptr<Parser> makeNewsNetscapeParser() { return std::make_unique<news::HeaderStoreParser>(false); }

}  // namespace qv
