#include "import/parsers/news_article.h"

#include <algorithm>
#include <vector>

#include "dictionary/dictionary.h"
#include "import/parsers/ascii_text.h"
#include "import/skip_reasons.h"
#include "mime/mime_message.h"
#include "originals/original_packing.h"

namespace qv::news {

namespace {

using ascii::isBlank;
using ascii::startsWithNoCase;

// Blanks, NUL bytes and (at the end) a CR trimmed.
std::string_view trim(std::string_view s) {
  while (!s.empty() && (isBlank(s.front()) || s.front() == '\0')) s.remove_prefix(1);
  while (!s.empty() && (isBlank(s.back()) || s.back() == '\0' || s.back() == '\r')) s.remove_suffix(1);
  return s;
}

// The words of an ID list or group list written in an index: split at blanks
// and commas, angle brackets removed.
std::vector<std::string> words(std::string_view s, bool ids) {
  std::vector<std::string> out;
  size_t i = 0;
  auto separator = [ids](char c) { return isBlank(c) || c == ',' || c == '\0' || (ids && (c == '<' || c == '>')); };
  while (i < s.size()) {
    while (i < s.size() && separator(s[i])) ++i;
    size_t start = i;
    while (i < s.size() && !separator(s[i])) ++i;
    if (i > start) out.emplace_back(s.substr(start, i - start));
  }
  return out;
}

std::string bracketed(const std::string& bare) { return bare.empty() ? bare : "<" + bare + ">"; }

// Whether a decoded article has one of the headers every article has; the
// header-shaped lines of other data (a file that is no store) have none.
bool hasArticleHeader(const mime::DecodedMessage& m) {
  static constexpr std::string_view kArticleHeaders[] = {"FROM", "SUBJECT", "DATE", "MESSAGE-ID", "NEWSGROUPS",
                                                         "REFERENCES", "PATH", "TO"};
  for (const auto& [name, value] : m.headers)
    for (std::string_view h : kArticleHeaders)
      if (name.size() == h.size() && startsWithNoCase(name, h)) return true;
  return false;
}

}  // namespace

bool isHeaderForm(std::string_view line) {
  size_t i = 0;
  while (i < line.size() && line[i] != ':') {
    unsigned char c = static_cast<unsigned char>(line[i]);
    if (c <= 32 || c >= 127) return false;
    ++i;
  }
  return i > 0 && i < line.size();
}

bool isContinuation(std::string_view line) { return !line.empty() && isBlank(line[0]); }

bool isFromLine(std::string_view line) { return line.starts_with("From "); }

bool startsArticle(std::string_view line) {
  if (line.empty() || line[0] < 'A' || line[0] > 'Z') return false;
  if (startsWithNoCase(line, "From:") || startsWithNoCase(line, "Date:")) return true;
  if (!startsWithNoCase(line, "Newsg") && !startsWithNoCase(line, "Subje") && !startsWithNoCase(line, "Messa")) return false;
  size_t colon = line.find(':');
  return colon != std::string_view::npos && colon < 50;
}

bool headerFollows(BlockReader& reader) {
  size_t i = 0;
  int c;
  while ((c = reader.peek(i)) == '\r' || c == '\n') {
    if (++i > 64) return false;
  }
  size_t name = i;
  // A header name may be long (up to the line limit of the news servers).
  const size_t limit = name + 1000;
  for (; i < limit; ++i) {
    c = reader.peek(i);
    if (c == ':') return i > name;
    if (c <= 32 || c >= 127) return false;
  }
  return false;
}

bool crLineEnds(BlockReader& reader) {
  bool cr = false;
  for (size_t i = 0; i + 1 < BlockReader::kWindow - BlockReader::kBlock; ++i) {
    int c = reader.peek(i);
    if (c < 0) break;
    if (c == '\n') return false;
    if (c == '\r') cr = true;
  }
  return cr;
}

// ---------------------------------------------------------------------------
// Article

void Article::clear() {
  state_ = Before;
  bytes_.clear();
  original_.clear();
  originalCut_ = false;
  full_ = false;
  pendingEmpty_ = 0;
  bodyLines_ = 0;
  lines_ = -1;
  from_ = date_ = subject_ = to_ = false;
}

void Article::append(std::string_view line) {
  if (full_ || bytes_.size() + line.size() + 1 > kMaxArticleBytes) {
    full_ = true;  // the article keeps its beginning
    return;
  }
  bytes_.append(line);
  bytes_ += '\n';
}

namespace {

// A reader-written header line under the name the decoder knows; empty for
// any other line.
std::string readerHeader(std::string_view line) {
  if (startsWithNoCase(line, "     TO:")) return "To:" + std::string(line.substr(8));
  if (startsWithNoCase(line, "     FM:")) return "From:" + std::string(line.substr(8));
  if (startsWithNoCase(line, "REPLY TO:")) return "Reply-To:" + std::string(line.substr(9));
  if (startsWithNoCase(line, "SUBJ:")) return "Subject:" + std::string(line.substr(5));
  return {};
}

}  // namespace

void Article::addHeaderLine(std::string_view line) {
  std::string renamed = readerHeader(line);
  if (!renamed.empty()) line = renamed;

  if (startsWithNoCase(line, "FROM:")) from_ = true;
  else if (startsWithNoCase(line, "DATE:")) date_ = true;
  else if (startsWithNoCase(line, "SUBJECT:")) subject_ = true;
  else if (startsWithNoCase(line, "TO:")) to_ = true;
  else if (startsWithNoCase(line, "LINES:")) {
    std::string_view v = trim(line.substr(6));
    int64_t n = 0;
    size_t i = 0;
    while (i < v.size() && v[i] >= '0' && v[i] <= '9' && n < 100000000) n = n * 10 + (v[i++] - '0');
    lines_ = i > 0 && i == v.size() ? n : -1;
  }
  append(line);
}

void Article::toBody() {
  append("");
  state_ = Body;
  // Further empty lines that stood between header and body start the body.
  for (int i = 1; i < pendingEmpty_; ++i) {
    append("");
    ++bodyLines_;
  }
  pendingEmpty_ = 0;
}

void Article::add(std::string_view line, std::string_view eol) {
  bool before = state_ == Before && (line.empty() || (isFromLine(line) && bytes_.empty()));
  if (!before && !originalCut_) {
    if (original_.size() + line.size() + eol.size() > kOriginalMaxBytes) {
      originalCut_ = true;
      original_.clear();
    } else {
      original_.append(line);
      original_.append(eol);
    }
  }
  switch (state_) {
    case Before:
      if (line.empty()) return;
      if (isFromLine(line) && bytes_.empty()) {
        append(line);  // the separator line
        return;
      }
      state_ = Header;
      addHeaderLine(line);
      return;
    case Header:
      if (!line.empty()) {
        addHeaderLine(line);
        return;
      }
      if ((from_ && date_ && subject_) || to_) {
        pendingEmpty_ = 1;
        toBody();
        return;
      }
      state_ = PendingEmpty;
      pendingEmpty_ = 1;
      return;
    case PendingEmpty:
      if (line.empty()) {
        ++pendingEmpty_;
        return;
      }
      if (isHeaderForm(line) || isContinuation(line) || !readerHeader(line).empty()) {
        // Header lines after an empty line: the header goes on.
        state_ = Header;
        pendingEmpty_ = 0;
        addHeaderLine(line);
        return;
      }
      toBody();
      [[fallthrough]];
    case Body:
      append(line);
      ++bodyLines_;
      return;
  }
}

// ---------------------------------------------------------------------------
// ArticleWriter

uint32_t ArticleWriter::referenceNumber(const std::string& id) {
  auto it = numbers_.find(id);
  if (it != numbers_.end()) return it->second.number;
  uint32_t n = ctx_.nextNumber();
  if (!ctx_.emitMessageId(n, id)) return 0;
  numbers_[id] = Numbered{n, false};
  return n;
}

uint32_t ArticleWriter::articleNumber(const std::string& id) {
  auto it = numbers_.find(id);
  if (it != numbers_.end() && !it->second.article) {
    // Met before as a reference: the article takes that number.
    it->second.article = true;
    return it->second.number;
  }
  // New, or a second article with the same ID (posting tells it a duplicate).
  uint32_t n = ctx_.nextNumber();
  if (!ctx_.emitMessageId(n, id)) return 0;
  if (it == numbers_.end()) numbers_[id] = Numbered{n, true};
  return n;
}

Target* ArticleWriter::chooseGroup(const std::vector<std::string>& groups, std::string& chosen) {
  for (const std::string& g : groups)
    if (Target* t = ctx_.existingTarget(g, KindNewsDb)) {
      chosen = g;
      return t;
    }
  for (const std::string& g : groups)
    if (Target* t = ctx_.target(g, KindNewsDb)) {
      chosen = g;
      return t;
    }
  return nullptr;
}

bool ArticleWriter::write(std::string_view raw, const IndexEntry* index) {
  mime::DecodedMessage m = mime::decodeMessage(raw);
  if (!hasArticleHeader(m) && index == nullptr) return true;  // not an article: passed over

  std::vector<std::string> groups = m.newsgroups;
  if (groups.empty() && index) groups = words(index->newsgroups, false);
  if (groups.empty() && !lastGroup_.empty()) groups.push_back(lastGroup_);
  std::string group;
  Target* t = chooseGroup(groups, group);
  if (t == nullptr || ctx_.creationOnly()) {
    ctx_.skip(t != nullptr ? kSkipCreationOnly : groups.empty() ? kSkipNoNewsgroup : kSkipNoGroupDatabase);
    return true;
  }
  // The database's name as the database list spells it (letter case may differ).
  group = t->name;
  lastGroup_ = group;

  std::string id = bracketed(m.messageId);
  if (id.empty() && index) {
    std::vector<std::string> w = words(index->messageId, true);
    if (!w.empty()) id = bracketed(w.front());
  }
  if (id.empty()) {
    // Articles are told apart by their Message-ID: posting could not store it.
    ctx_.skip(kSkipNoMessageId);
    return true;
  }
  std::vector<std::string> refs = m.references;
  if (refs.empty() && index) refs = words(index->references, true);

  // References root first, then the article: parents get the lower numbers.
  uint32_t parent = 0;
  size_t first = refs.size() > kMaxReferences ? refs.size() - kMaxReferences : 0;
  for (size_t i = first; i < refs.size(); ++i) {
    parent = referenceNumber(bracketed(refs[i]));
    if (parent == 0) return false;
  }
  uint32_t number = articleNumber(id);
  if (number == 0) return false;

  std::string subject = m.subject;
  if (subject.empty() && index) subject = mime::decodeHeader(trim(index->subject));
  std::vector<mime::Address> from = m.from;
  if (from.empty() && m.fromRaw.empty() && index) from = mime::parseAddresses(trim(index->from));
  std::string name, address;
  if (!from.empty()) {
    address = from.front().address;
    name = from.front().name.empty() ? address : from.front().name;
  } else {
    name = m.fromRaw;
  }

  NHR = ImpHeaderRec();
  NHR.INTERNAL = t->id;
  NHR.MSGNUMBER = number;
  NHR.REFNUMBER = parent;
  NHR.FOR_DESCRIPTION = group;
  NHR.SECTIONNUMBER = 1;
  NHR.SEC_DESCRIPTION = group;
  NHR.HEADING = subject;
  NHR.SUBJECT = subject;
  setImportSender(name);
  NHR.S_CISADRESS = address;
  NHR.DATE = m.hasDate ? m.date : 0;
  NHR.TIME = m.hasDate ? m.time : 0;
  NHR.MSGTEXT = std::move(m.text);
  return ctx_.emit();
}

}  // namespace qv::news
