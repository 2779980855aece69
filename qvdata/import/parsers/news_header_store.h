// Cutting articles out of the news stores that keep them one after another
// without separator lines: IE News and Outlook Express News (".NCH" files)
// and Netscape News and Gravity.
//
// An article starts at its first header line (news::startsArticle()); in the
// ".NCH" stores also at a record marker, the byte 188 whose 22nd following
// byte is "<", which opens a record with the article's Message-ID; the lines
// after a marker are passed over up to the first header line.
//
// The body ends:
// - with a Lines header of n: after n body lines, in which nothing starts an
//   article. The next line ends it: when it starts an article, that article
//   begins there; otherwise it and the lines after it, up to the next
//   article, are passed over (the store's bytes between records);
// - without a Lines header: where the next article starts.
// Header lines just before an article's starting line (an article's "Path:"
// line before its "Newsgroups:" line), and a "From " separator line before
// them, belong to that article, not to the body before it.
// Inside the parts of a multipart article whose closing boundary has not come
// (mail_parts.h), nothing starts an article: the header blocks of a digest's
// messages or of a delivery report's returned message are the article's own.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "import/parsers/block_reader.h"
#include "import/parsers/mail_parts.h"
#include "import/parsers/news_article.h"

namespace qv::news {

class HeaderStoreScanner {
 public:
  HeaderStoreScanner(File& f, bool markers) : reader_(f), markers_(markers) {}
  void rewind();
  // Reads the next article into `a` (left empty when there is none). False
  // when the file has ended.
  bool next(Article& a);
  int64_t position() const { return reader_.position(); }
  // File offset of the current article's starting line or record marker.
  int64_t articleStart() const { return start_; }
  // The Message-ID that the record marker before the current article names;
  // empty when none.
  const std::string& markerId() const { return markerId_; }

 private:
  enum class Piece { Line, Marker, End };
  struct Line {
    std::string text;
    std::string_view eol;  // its line end as the store holds it
  };
  struct Start {
    bool marker = false;
    std::vector<Line> lines;  // held lines and the starting line
    std::string id;                  // of a marker
    int64_t offset = -1;
  };
  Piece read(std::string& line, bool markers);
  void readMarkerId();
  bool hold(const std::string& line);
  // Adds the held lines to the article.
  void addHeld(Article& a);
  // Adds a line to the article, and to what the part tracker follows.
  void add(Article& a, const std::string& text, std::string_view eol);
  void begin(Article& a, Start& s);

  BlockReader reader_;
  bool markers_;
  bool crEnds_ = false;  // classic Mac line ends
  std::string piece_;  // bytes of a line read so far before a marker
  std::string lastId_;  // the Message-ID of the marker just read

  Start pending_;  // the start of the next article, met while reading this one
  bool havePending_ = false;
  std::vector<Line> held_;
  std::string_view eol_;  // the line end of the line read last
  size_t heldBytes_ = 0;
  bool wholeLine_ = true;

  enum State { Scanning, AfterMarker, Collecting, Trailing } state_ = Scanning;
  int64_t start_ = -1;
  std::string markerId_;
  mail::PartTracker parts_;  // the MIME parts of the current article
};

}  // namespace qv::news
