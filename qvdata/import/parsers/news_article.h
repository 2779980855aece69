// What the parsers of the news readers' stores share: the collection of one
// article's lines (header block, then body) and the conversion of a collected
// article into a temporary record.
//
// The stores differ only in where an article starts and where its body ends;
// each parser cuts its articles and hands them to an ArticleWriter, which
// decodes them (mime::decodeMessage) and applies the newsgroup, number and
// parent rules:
// - newsgroup: of the groups an article names, the first that already has a
//   newsgroup database open to imports; when none has, the first group a
//   database can be made for. An article that names none takes the group of
//   the article before it in the same store; the first one is skipped.
// - numbers: the article gets the run's next number and a message-ID record;
//   its parent (the last ID of References, else of In-Reply-To) gets a number
//   and a message-ID record of its own, which posting resolves through the
//   database's message-ID file. The IDs an article references are numbered
//   root first, before the article itself, and an article whose ID was met
//   earlier in the same store as a reference takes the number given then: so
//   within a store a parent is always posted before its replies, wherever it
//   stands in the file.
// - an article without a Message-ID (in the article or the store's index) is
//   counted as skipped for that reason: posting tells articles apart by it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "import/parser.h"
#include "import/parsers/block_reader.h"

namespace qv::news {

inline constexpr size_t kMaxLine = 64000;             // longer lines are read in pieces
inline constexpr size_t kMaxArticleBytes = 8u << 20;  // bytes of one article kept for decoding
inline constexpr size_t kMaxReferences = 32;          // references numbered per article (the last ones)

// "Name: value": a header name of printable ASCII characters other than the
// colon, directly followed by ":".
bool isHeaderForm(std::string_view line);
// A line that begins with a blank or a tab continues the header line before it.
bool isContinuation(std::string_view line);
// A mailbox separator line: it begins with "From ".
bool isFromLine(std::string_view line);
// The first header line of an article in the stores that keep articles
// without separator lines: an upper-case letter first, and "From:" or
// "Date:", or "Newsg", "Subje" or "Messa" with a ":" within the first 50
// characters.
bool startsArticle(std::string_view line);
// True when the bytes at the reader's position begin a header line ("Name:"),
// after any line ends; the reader does not move.
bool headerFollows(BlockReader& reader);
// True when the file's lines end in a CR alone (classic Mac files): its first
// block holds a CR but no LF.
bool crLineEnds(BlockReader& reader);

// The lines of one article as a store yields them.
//
// Empty lines before the header are passed over; a "From " line there is the
// article's separator line, kept for the decoder. The header ends at the first
// empty line after From, Date and Subject were seen, or after a To line; an
// empty line before that ends it too unless a header line follows (the empty
// line is then dropped). Reader-written header lines are named as the decoder
// knows them: "Subj:" as "Subject:", "Reply To:" as "Reply-To:", and the "TO:"
// and "FM:" lines indented by five blanks as "To:" and "From:".
//
// Beside it the article's original is kept: every line from its first header
// line on, as the store holds it with its line end `eol` (empty for a piece
// of a longer line); the separator line and empty lines before the header
// are the store's. An original longer than kOriginalMaxBytes is not kept.
class Article {
 public:
  void clear();
  void add(std::string_view line, std::string_view eol = "\n");
  // The original; nullopt when it was too long to keep.
  std::optional<std::string> original() const {
    if (originalCut_) return std::nullopt;
    return original_;
  }
  // Nothing but empty lines (or a separator line) so far.
  bool empty() const { return state_ == Before; }
  bool inHeader() const { return state_ == Header || state_ == PendingEmpty; }
  bool inBody() const { return state_ == Body; }
  int64_t bodyLines() const { return bodyLines_; }
  // The value of the Lines header; -1 when there is none or it is no number.
  int64_t lines() const { return lines_; }
  const std::string& bytes() const { return bytes_; }

 private:
  enum State { Before, Header, PendingEmpty, Body };
  void append(std::string_view line);
  void addHeaderLine(std::string_view line);
  void toBody();

  State state_ = Before;
  std::string bytes_;
  std::string original_;
  bool originalCut_ = false;
  bool full_ = false;  // kMaxArticleBytes reached
  int pendingEmpty_ = 0;
  int64_t bodyLines_ = 0;
  int64_t lines_ = -1;
  bool from_ = false, date_ = false, subject_ = false, to_ = false;
};

// Values of a store's index entry for one article, used where the article
// itself lacks them.
struct IndexEntry {
  std::string messageId;
  std::string references;
  std::string newsgroups;
  std::string subject;
  std::string from;
};

// Converts the articles of one store file into temporary records.
class ArticleWriter {
 public:
  explicit ArticleWriter(ImportContext& ctx) : ctx_(ctx) {}
  // Converts one article. Returns false when a temporary record could not be
  // written (the run ends); a skipped article is counted and returns true.
  bool write(std::string_view raw, const IndexEntry* index = nullptr);

 private:
  struct Numbered {
    uint32_t number = 0;
    bool article = false;  // the number belongs to an article of this store
  };
  // The number of a referenced ID: the one given before in this store, else
  // a new one with its message-ID record. 0 when the record failed.
  uint32_t referenceNumber(const std::string& id);
  // The article's own number (its message-ID record written when new).
  uint32_t articleNumber(const std::string& id);
  Target* chooseGroup(const std::vector<std::string>& groups, std::string& chosen);

  ImportContext& ctx_;
  std::map<std::string, Numbered> numbers_;  // IDs met in this store
  std::string lastGroup_;
};

}  // namespace qv::news
