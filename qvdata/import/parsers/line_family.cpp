// The parser of the CompuServe readers that keep their messages as text:
// OzCIS, OzWin I, OzWin II, TAPCIS 5.x, TAPCIS 6.x and AUTOSIG.
//
// A forum message is a header of five lines and a text:
//   #: 12345 S3/Tools (Windows Forum)       number, section, forum (OzWin)
//       5-Mär-96 14:22                      date and time from column 5
//   Sb: #12300-Re: topic                    subject with the parent's number
//   Fm: John Smith 12345,678                sender
//   To: Mary Jones 23456,789                recipient
//   (one line passed over)
//   text ...
// Mail of the OzCIS family starts with "Date:  ", then "From:" (received) or
// "MgTo:" (sent), then "Subj:"; TAPCIS and AUTOSIG mail looks like a forum
// message.
#include <algorithm>
#include <memory>
#include <string>

#include "dictionary/dictionary.h"
#include "import/parsers/cis_text.h"
#include "import/parsers/line_reader.h"
#include "import/parsers/parsers.h"
#include "services/names.h"

namespace qv {

namespace {

using cis::MessageLines;
using cis::trim;
using cis::trimLeft;
using cis::trimRight;

constexpr size_t npos = std::string::npos;

enum class Variant { OzCis, OzWin1, OzWin2, Tapcis5, Tapcis6, Autosig, Other };

Variant variantOf(std::string_view name) {
  if (name == "OzCIS") return Variant::OzCis;
  if (name == "OzWin I") return Variant::OzWin1;
  if (name == "OzWin II") return Variant::OzWin2;
  if (name == "TAPCIS 5.x") return Variant::Tapcis5;
  if (name == "TAPCIS 6.x") return Variant::Tapcis6;
  if (name == "AUTOSIG") return Variant::Autosig;
  return Variant::Other;
}

bool ozFamily(Variant v) { return v == Variant::OzCis || v == Variant::OzWin1 || v == Variant::OzWin2; }
bool namesForum(Variant v) { return v == Variant::OzWin1 || v == Variant::OzWin2; }

std::string_view after(std::string_view s, size_t n) { return n < s.size() ? s.substr(n) : std::string_view(); }

bool isDigit(char c) { return c >= '0' && c <= '9'; }

// Byte length of the UTF-8 character at s[i].
size_t charLength(std::string_view s, size_t i) {
  size_t n = 1;
  while (i + n < s.size() && (static_cast<unsigned char>(s[i + n]) & 0xC0) == 0x80) ++n;
  return n;
}

// Removes a trailing marker and the blanks before it.
std::string_view dropSuffix(std::string_view s, std::string_view suffix) {
  s = trimRight(s);
  if (s.ends_with(suffix)) s = trimRight(s.substr(0, s.size() - suffix.size()));
  return s;
}

// What line 1 of a forum message says.
struct ForumLine {
  uint32_t number = 0;
  std::string forum;  // OzWin I and II
  int section = 0;
  std::string sectionName;
  uint32_t parent = 0;  // OzWin II "Par:"
  bool hasParent = false;
};

// Splits a section text: "S7/Tools" is section 7 named Tools; without "/"
// the whole text is the name.
void splitSection(std::string_view text, int& number, std::string& name) {
  std::string_view s = text.substr(0, utf8CutLength(text, 30));
  number = 0;
  size_t slash = s.find('/');
  if (slash == npos) {
    name = trim(s);
    return;
  }
  if (slash >= 2) {
    std::string_view digits = trim(s.substr(1, slash - 1));
    if (!digits.empty() && digits.size() <= 3 && std::all_of(digits.begin(), digits.end(), isDigit)) {
      int v = std::stoi(std::string(digits));
      if (v <= 255) number = v;
    }
  }
  name = trim(s.substr(slash + 1));
}

// Line 1 of a forum message. False when the message must be skipped (no valid
// number, or no forum name where the line must carry one).
bool parseForumLine(std::string_view line, Variant v, ForumLine& out) {
  // The number: from column 4 up to the next blank.
  size_t begin = 2;
  while (begin < line.size() && line[begin] == ' ') ++begin;
  size_t end = line.find(' ', begin);
  if (end == npos) end = line.size();
  out.number = cis::messageNumber(line.substr(begin, end - begin));
  if (out.number == 0) return false;

  std::string_view rest = trimLeft(after(line, end));
  // A flag group "(X) " in front of the section is passed over.
  if (!rest.empty() && rest[0] == '(' && rest.size() > 1) {
    size_t close = 1 + charLength(rest, 1);
    if (close < rest.size() && rest[close] == ')' && (close + 1 == rest.size() || rest[close + 1] == ' '))
      rest = trimLeft(after(rest, close + 1));
  }

  std::string section(rest);
  if (namesForum(v)) {
    size_t open = rest.rfind('(');
    size_t close = open == npos ? npos : rest.find(')', open + 1);
    if (close == npos) return false;
    out.forum = cis::forumName(rest.substr(open + 1, close - open - 1));
    if (out.forum.empty()) return false;
    section = rest.substr(0, open);
  }

  if (v == Variant::OzWin2) {
    size_t par = line.substr(0, 40).find("Par:");
    if (par != npos) {
      out.hasParent = true;
      std::string_view number = trim(line.substr(par + 4, 8));
      out.parent = cis::messageNumber(number.substr(0, number.find(' ')));
      // "Par:" and the parent's number are no part of the section.
      size_t at = section.find("Par:");
      if (at != npos) {
        size_t end = at + 4;
        while (end < section.size() && section[end] == ' ') ++end;
        while (end < section.size() && isDigit(section[end])) ++end;
        section.erase(at, end - at);
      }
    }
  }
  splitSection(trim(section), out.section, out.sectionName);
  return true;
}

// The subject of a forum message and the parent it names: "#12345-Re: topic"
// or "12345-Re: topic" name message 12345 when that is at most the message's
// own number and not more than 30,000 below it.
void splitSubject(std::string_view text, uint32_t number, uint32_t& parent, std::string& subject) {
  parent = 0;
  std::string_view s = trim(text);
  size_t digits = s.starts_with('#') ? 1 : 0;
  size_t dash = digits;
  // Up to seven digits: every valid message number fits.
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

// The text after "Fm:" or "To:", less its markers.
std::string_view partyText(std::string_view line, Variant v) {
  std::string_view s = trim(after(line, 3));
  if (v == Variant::Tapcis5) s = dropSuffix(s, "@b");
  return dropSuffix(s, "(X)");
}

class LineFamilyParser : public Parser {
 public:
  bool start(ImportContext&) override {
    reader_.reset();
    begun_ = false;
    failed_ = false;
    havePending_ = false;
    pending_.clear();
    return true;
  }

  bool convert(ImportContext& ctx) override {
    if (!begun_) begin(ctx);
    if (variant_ == Variant::Other || failed_) return true;
    reader_->onFileLine([&ctx] { ctx.progress(1); });
    int slice = std::max(1, ctx.sliceSize());
    for (int i = 0; i < slice; ++i) {
      if (!collect()) return true;
      convertMessage(ctx);
      // A temporary record that cannot be written ends the file.
      if (failed_) return true;
    }
    return reader_->atEnd() && !havePending_;
  }

 private:
  void begin(ImportContext& ctx) {
    begun_ = true;
    variant_ = variantOf(ctx.format().name);
    kind_ = ctx.fileKind();
    if (kind_ != 1 && kind_ != 2) kind_ = ctx.settings().importMail && !ctx.settings().importForum ? 2 : 1;
    reader_ = std::make_unique<cis::LineReader>(ctx.source());
    reader_->rewind();
  }

  bool isBoundary(const std::string& line) const {
    if (kind_ == 2 && ozFamily(variant_)) return line.starts_with("Date:  ");
    return line.starts_with("#:");
  }

  // Reads the next message into msg_; false when the file holds no more.
  bool collect() {
    msg_.clear();
    std::string line;
    if (!havePending_) {
      while (reader_->next(line)) {
        if (isBoundary(line)) {
          pending_ = std::move(line);
          havePending_ = true;
          break;
        }
      }
      if (!havePending_) return false;
    }
    msg_.hold(std::move(pending_));
    havePending_ = false;
    while (reader_->next(line)) {
      if (isBoundary(line)) {
        pending_ = std::move(line);
        havePending_ = true;
        break;
      }
      msg_.hold(std::move(line));
    }
    return true;
  }

  void convertMessage(ImportContext& ctx) {
    bool ok;
    if (kind_ == 1)
      ok = convertForum(ctx);
    else if (ozFamily(variant_))
      ok = convertOzMail(ctx);
    else
      ok = convertTapcisMail(ctx);
    if (!ok) ctx.skip();
  }

  bool convertForum(ImportContext& ctx) {
    if (!ctx.settings().importForum) return false;
    ForumLine h;
    if (!parseForumLine(msg_.header(1), variant_, h)) return false;
    std::string forum = namesForum(variant_) ? h.forum : std::string(trim(ctx.settings().forumName));
    if (forum.empty()) return false;
    Target* t = ctx.target(forum, 1);
    if (t == nullptr || ctx.creationOnly() || ctx.alreadyImported(t->id, h.number)) return false;

    if (!msg_.lineStarts(3, "Sb:") || !msg_.lineStarts(4, "Fm:") || !msg_.lineStarts(5, "To:")) return false;
    std::string line2 = msg_.header(2);
    cis::DateTime when = cis::parseDateTime(after(line2, 4));

    std::string line3 = msg_.header(3);
    std::string_view subjectText = trim(after(line3, 3));
    if (variant_ == Variant::Tapcis5) subjectText = dropSuffix(subjectText, "@b");
    uint32_t parent = 0;
    std::string subject;
    if (h.hasParent) {
      parent = h.parent;
      subject = subjectText.starts_with('#') ? subjectText.substr(1) : subjectText;
    } else {
      splitSubject(subjectText, h.number, parent, subject);
    }

    std::string sName, sAddr, rName, rAddr;
    std::string line4 = msg_.header(4), line5 = msg_.header(5);
    FindCISAdress(2, partyText(line4, variant_), sName, sAddr);
    FindCISAdress(2, partyText(line5, variant_), rName, rAddr);

    NHR = ImpHeaderRec();
    NHR.INTERNAL = t->id;
    NHR.MSGNUMBER = h.number;
    NHR.REFNUMBER = parent;
    NHR.FOR_DESCRIPTION = forum;
    NHR.SECTIONNUMBER = static_cast<uint8_t>(h.section);
    NHR.SEC_DESCRIPTION = h.sectionName;
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

  // The mailbox owner as a party of a mail.
  static std::string ownerName(ImportContext& ctx, const Target& box) {
    std::string name = ctx.owner().name();
    return name.empty() ? Str<40>(box.name).str() : name;
  }

  bool emitMail(ImportContext& ctx, const Target& box, int direction, const std::string& subject,
                const cis::DateTime& when, const std::string& sName, const std::string& sAddr,
                const std::string& rName, const std::string& rAddr, size_t textLine) {
    uint32_t number = ctx.nextNumber();
    NHR = ImpHeaderRec();
    NHR.INTERNAL = box.id;
    NHR.MSGNUMBER = number;
    NHR.REFNUMBER = number;
    NHR.FOR_DESCRIPTION = box.name;
    NHR.HEADING = subject;
    NHR.S_NAME = sName;
    NHR.S_CISADRESS = sAddr;
    NHR.R_NAME = rName;
    NHR.R_CISADRESS = rAddr;
    NHR.DATE = when.date;
    NHR.TIME = when.time;
    NHR.MAILTYPE = static_cast<uint8_t>(direction);
    NHR.RECIPTYPE = "TO";
    NHR.MSGTEXT = msg_.text(textLine);
    if (!ctx.emit()) failed_ = true;
    return true;
  }

  bool convertOzMail(ImportContext& ctx) {
    if (!ctx.settings().importMail) return false;
    cis::DateTime when = cis::parseDateTime(after(msg_.header(1), 7));
    Target* box = ctx.mailbox();
    if (box == nullptr || ctx.creationOnly()) return false;

    std::string line2 = msg_.header(2);
    std::string sName, sAddr, rName, rAddr;
    int direction;
    if (line2.starts_with("From:")) {
      direction = 1;
      FindCISAdress(2, after(line2, 5), sName, sAddr);
      rName = ownerName(ctx, *box);
      rAddr = ctx.owner().mainAddress();
    } else if (line2.starts_with("MgTo:")) {
      direction = 2;
      FindCISAdress(2, after(line2, 5), rName, rAddr);
      sName = ownerName(ctx, *box);
      sAddr = ctx.owner().mainAddress();
    } else {
      return false;
    }
    if (!msg_.lineStarts(3, "Subj:")) return false;
    std::string subject(trim(after(msg_.header(3), 5)));
    size_t textLine = variant_ == Variant::OzWin2 ? 6 : 5;
    return emitMail(ctx, *box, direction, subject, when, sName, sAddr, rName, rAddr, textLine);
  }

  bool convertTapcisMail(ImportContext& ctx) {
    if (!ctx.settings().importMail) return false;
    Target* box = ctx.mailbox();
    if (box == nullptr || ctx.creationOnly()) return false;

    cis::DateTime when = cis::parseDateTime(after(msg_.header(2), 4));
    if (!msg_.lineStarts(3, "Sb:")) return false;
    std::string line3 = msg_.header(3);
    std::string_view subjectText = trim(after(line3, 3));
    if (variant_ == Variant::Tapcis5) subjectText = dropSuffix(subjectText, "@b");
    std::string subject(subjectText);

    std::string sName, sAddr, rName, rAddr;
    std::string line4 = msg_.header(4), line5 = msg_.header(5);
    if (variant_ == Variant::Tapcis5) {
      bool sent = msg_.header(1).find("/Outbox") != npos;
      if (!sent) {
        if (!msg_.lineStarts(4, "Fm:")) return false;
        cis::splitMailParty(partyText(line4, variant_), sName, sAddr);
        rName = ownerName(ctx, *box);
        rAddr = ctx.owner().mainAddress();
        return emitMail(ctx, *box, 1, subject, when, sName, sAddr, rName, rAddr, 6);
      }
      if (!msg_.lineStarts(5, "To:")) return false;
      cis::splitMailParty(partyText(line5, variant_), rName, rAddr);
      sName = ownerName(ctx, *box);
      sAddr = ctx.owner().mainAddress();
      return emitMail(ctx, *box, 2, subject, when, sName, sAddr, rName, rAddr, 7);
    }

    if (!msg_.lineStarts(4, "Fm:") || !msg_.lineStarts(5, "To:")) return false;
    cis::splitMailParty(partyText(line4, variant_), sName, sAddr);
    cis::splitMailParty(partyText(line5, variant_), rName, rAddr);
    int direction = ctx.owner().direction(sAddr, rAddr);
    if (direction == 2)
      sName = ownerName(ctx, *box);
    else
      rName = ownerName(ctx, *box);
    return emitMail(ctx, *box, direction, subject, when, sName, sAddr, rName, rAddr, 7);
  }

  std::unique_ptr<cis::LineReader> reader_;
  Variant variant_ = Variant::Other;
  int kind_ = 1;
  bool begun_ = false;
  bool failed_ = false;
  bool havePending_ = false;
  std::string pending_;  // the first line of the next message
  MessageLines msg_;
};

}  // namespace

std::unique_ptr<Parser> makeLineFamilyParser() { return std::make_unique<LineFamilyParser>(); }

}  // namespace qv
