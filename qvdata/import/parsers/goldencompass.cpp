// The parser of GoldenCompass message files, read as byte blocks.
//
// A message begins with a line that starts with "#:" and runs to the next
// such line or the end of the file; what comes before the first one is passed
// over. A message is a header of five lines, one line passed over, and the
// text, as the CompuServe line readers write them:
//   #: 12345 S3/Tools                     number, section number and name
//       5-Mar-96 14:22                    date and time from column 5
//   Sb: #12300-Re: topic                  subject with the parent's number
//   Fm: John Smith 12345,678              sender
//   To: Mary Jones 23456,789              recipient
// Forum messages go to the forum database the import names; mail to the
// mailbox of the import, its direction decided by the owner's addresses.
#include <algorithm>
#include <memory>
#include <string>

#include "dictionary/dictionary.h"
#include "import/parsers/block_reader.h"
#include "import/parsers/cis_text.h"
#include "import/parsers/line_reader.h"
#include "import/parsers/parsers.h"
#include "services/names.h"

namespace qv {

namespace {

using cis::trim;
using cis::trimLeft;
using cis::trimRight;

constexpr size_t npos = std::string::npos;
constexpr int kMailPerCall = 3;

std::string_view after(std::string_view s, size_t n) { return n < s.size() ? s.substr(n) : std::string_view(); }

bool isDigit(char c) { return c >= '0' && c <= '9'; }

// Byte length of the UTF-8 character at s[i].
size_t charLength(std::string_view s, size_t i) {
  size_t n = 1;
  while (i + n < s.size() && (static_cast<unsigned char>(s[i + n]) & 0xC0) == 0x80) ++n;
  return n;
}

// The "#:" line: the number from column 4 up to the next blank, then the
// section: within its first 30 characters, "S7/Tools" is section 7 named
// Tools ("/" in column 1 or 2 gives no number); without "/" the whole text is
// the name. A flag group "(X) " before the section is passed over.
bool parseNumberLine(std::string_view line, uint32_t& number, int& section, std::string& sectionName) {
  size_t begin = 2;
  while (begin < line.size() && line[begin] == ' ') ++begin;
  size_t end = line.find(' ', begin);
  if (end == npos) end = line.size();
  number = cis::messageNumber(line.substr(begin, end - begin));
  if (number == 0) return false;

  std::string_view rest = trimLeft(after(line, end));
  if (rest.size() > 1 && rest[0] == '(') {
    size_t close = 1 + charLength(rest, 1);
    if (close < rest.size() && rest[close] == ')' && (close + 1 == rest.size() || rest[close + 1] == ' '))
      rest = trimLeft(after(rest, close + 1));
  }
  rest = trim(rest);
  std::string_view s = rest.substr(0, utf8CutLength(rest, 30));
  section = 0;
  size_t slash = s.find('/');
  if (slash == npos) {
    sectionName = trim(s);
    return true;
  }
  if (slash >= 2) {
    std::string_view digits = trim(s.substr(1, slash - 1));
    if (!digits.empty() && digits.size() <= 3 && std::all_of(digits.begin(), digits.end(), isDigit)) {
      int v = std::stoi(std::string(digits));
      if (v <= 255) section = v;
    }
  }
  sectionName = trim(s.substr(slash + 1));
  return true;
}

// "#12345-Re: topic" or "12345-Re: topic" names message 12345 as the parent
// when it is at most the message's own number and not more than 30,000 below
// it; then the subject is what follows the "-". A subject that still begins
// with "#" loses it.
void splitSubject(std::string_view text, uint32_t number, uint32_t& parent, std::string& subject) {
  parent = 0;
  std::string_view s = trim(text);
  size_t digits = s.starts_with('#') ? 1 : 0;
  size_t dash = digits;
  while (dash < s.size() && isDigit(s[dash]) && dash - digits < 8) ++dash;
  if (dash > digits && dash - digits <= 7 && dash < s.size() && s[dash] == '-') {
    uint32_t ref = cis::messageNumber(s.substr(digits, dash - digits));
    if (ref > 0 && ref <= number && number - ref <= 30000) {
      parent = ref;
      s = trim(s.substr(dash + 1));
    }
  }
  if (s.starts_with('#')) s.remove_prefix(1);
  subject = s;
}

// The text after "Fm:" or "To:", less a trailing "(X)".
std::string_view partyText(std::string_view line) {
  std::string_view s = trimRight(trim(after(line, 3)));
  if (s.ends_with("(X)")) s = trimRight(s.substr(0, s.size() - 3));
  return s;
}

class GoldenCompassParser : public Parser {
 public:
  bool start(ImportContext& ctx) override {
    reader_ = std::make_unique<BlockReader>(ctx.source());
    reader_->rewind();
    kind_ = ctx.fileKind();
    if (kind_ != 1 && kind_ != 2) kind_ = ctx.settings().importMail && !ctx.settings().importForum ? 2 : 1;
    havePending_ = false;
    pending_.clear();
    failed_ = false;
    reported_ = 0;
    return true;
  }

  bool convert(ImportContext& ctx) override {
    if (!reader_) start(ctx);
    if (failed_) return true;
    int slice = kind_ == 2 ? kMailPerCall : std::max(1, ctx.sliceSize());
    bool more = true;
    for (int i = 0; i < slice && more; ++i) {
      more = collect();
      if (!more) break;
      if (!convertMessage(ctx)) ctx.skip();
      if (failed_) more = false;
    }
    ctx.progress(reader_->position() - reported_);
    reported_ = reader_->position();
    return !more || (!havePending_ && reader_->atEnd());
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
    msg_.clear();
    std::string line;
    if (!havePending_) {
      while (nextLine(line)) {
        if (line.starts_with("#:")) {
          pending_ = std::move(line);
          havePending_ = true;
          break;
        }
      }
      if (!havePending_) return false;
    }
    msg_.hold(std::move(pending_));
    pending_.clear();
    havePending_ = false;
    while (nextLine(line)) {
      if (line.starts_with("#:")) {
        pending_ = std::move(line);
        havePending_ = true;
        break;
      }
      msg_.hold(std::move(line));
    }
    return true;
  }

  bool convertMessage(ImportContext& ctx) { return kind_ == 2 ? convertMail(ctx) : convertForum(ctx); }

  bool convertForum(ImportContext& ctx) {
    if (!ctx.settings().importForum) return false;
    uint32_t number = 0;
    int section = 0;
    std::string sectionName;
    if (!parseNumberLine(msg_.header(1), number, section, sectionName)) return false;
    std::string forum = cis::forumName(ctx.settings().forumName);
    if (forum.empty()) return false;
    Target* t = ctx.target(forum, 1);
    if (t == nullptr || ctx.creationOnly() || ctx.alreadyImported(t->id, number)) return false;
    if (!msg_.lineStarts(3, "Sb:") || !msg_.lineStarts(4, "Fm:") || !msg_.lineStarts(5, "To:")) return false;

    cis::DateTime when = cis::parseDateTime(after(msg_.header(2), 4));
    uint32_t parent = 0;
    std::string subject;
    splitSubject(after(msg_.header(3), 3), number, parent, subject);
    std::string sName, sAddr, rName, rAddr;
    FindCISAdress(2, partyText(msg_.header(4)), sName, sAddr);
    FindCISAdress(2, partyText(msg_.header(5)), rName, rAddr);

    NHR = ImpHeaderRec();
    NHR.INTERNAL = t->id;
    NHR.MSGNUMBER = number;
    NHR.REFNUMBER = parent;
    NHR.FOR_DESCRIPTION = forum;
    NHR.SECTIONNUMBER = static_cast<uint8_t>(section);
    NHR.SEC_DESCRIPTION = sectionName;
    NHR.HEADING = subject;
    NHR.S_NAME = sName;
    NHR.S_CISADRESS = sAddr;
    NHR.R_NAME = rName;
    NHR.R_CISADRESS = rAddr;
    NHR.DATE = when.date;
    NHR.TIME = when.time;
    NHR.MAILTYPE = 0;
    NHR.MSGTEXT = msg_.text(7);
    if (!ctx.emit()) failed_ = true;
    return true;
  }

  bool convertMail(ImportContext& ctx) {
    if (!ctx.settings().importMail) return false;
    Target* box = ctx.mailbox();
    if (box == nullptr || ctx.creationOnly()) return false;
    if (!msg_.lineStarts(3, "Sb:") || !msg_.lineStarts(4, "Fm:") || !msg_.lineStarts(5, "To:")) return false;

    cis::DateTime when = cis::parseDateTime(after(msg_.header(2), 4));
    std::string subject(trim(after(msg_.header(3), 3)));
    std::string sName, sAddr, rName, rAddr;
    cis::splitMailParty(partyText(msg_.header(4)), sName, sAddr);
    cis::splitMailParty(partyText(msg_.header(5)), rName, rAddr);
    int direction = ctx.owner().direction(sAddr, rAddr);
    std::string owner = ctx.owner().name();
    if (owner.empty()) owner = Str<40>(box->name).str();
    if (direction == 2)
      sName = owner;
    else
      rName = owner;

    uint32_t number = ctx.nextNumber();
    NHR = ImpHeaderRec();
    NHR.INTERNAL = box->id;
    NHR.MSGNUMBER = number;
    NHR.REFNUMBER = number;
    NHR.FOR_DESCRIPTION = box->name;
    NHR.HEADING = subject;
    NHR.S_NAME = sName;
    NHR.S_CISADRESS = sAddr;
    NHR.R_NAME = rName;
    NHR.R_CISADRESS = rAddr;
    NHR.DATE = when.date;
    NHR.TIME = when.time;
    NHR.MAILTYPE = static_cast<uint8_t>(direction);
    NHR.RECIPTYPE = "TO";
    NHR.MSGTEXT = msg_.text(7);
    if (!ctx.emit()) failed_ = true;
    return true;
  }

  std::unique_ptr<BlockReader> reader_;
  int kind_ = 1;
  bool havePending_ = false;
  std::string pending_;  // the "#:" line of the next message
  bool failed_ = false;
  int64_t reported_ = 0;  // bytes reported as progress
  cis::MessageLines msg_;
};

}  // namespace

std::unique_ptr<Parser> makeGoldenCompassParser() { return std::make_unique<GoldenCompassParser>(); }

}  // namespace qv
