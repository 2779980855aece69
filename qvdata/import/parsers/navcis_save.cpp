// The parser of NavCIS save files. Every message starts with a block of four
// header lines, each label ten characters wide:
//   Subject:  #12300-Re: topic                  Msg Number: 12345
//      From:  John Smith 12345,678
//        To:  Mary Jones 23456,789
//     Forum:  CIS:WINFORUM Sec: 3-Tools         (forum messages)
//      Date:  12-Mar-96 14:22                   (mail)
// and the text follows up to the next block.
#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "dictionary/dictionary.h"
#include "import/parsers/cis_text.h"
#include "import/parsers/line_reader.h"
#include "import/parsers/parsers.h"
#include "services/names.h"

namespace qv {

namespace {

using cis::MessageLines;
using cis::trim;

constexpr size_t npos = std::string::npos;

constexpr std::string_view kSubject = "Subject:  ";
constexpr std::string_view kFrom = "   From:  ";
constexpr std::string_view kTo = "     To:  ";
constexpr std::string_view kForum = "  Forum:  ";
constexpr std::string_view kDate = "   Date:  ";
constexpr std::string_view kMsgNumber = "Msg Number:";

std::string_view after(std::string_view s, size_t n) { return n < s.size() ? s.substr(n) : std::string_view(); }

bool isDigit(char c) { return c >= '0' && c <= '9'; }

// Lines 2 to 4 of a header block, given its "Subject:" line.
bool headerRest(const std::string& from, const std::string& to, const std::string& fourth) {
  return from.starts_with(kFrom) && to.starts_with(kTo) && (fourth.starts_with(kDate) || fourth.starts_with(kForum));
}

class NavCisSaveParser : public Parser {
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
    if (!begun_) {
      begun_ = true;
      reader_ = std::make_unique<cis::LineReader>(ctx.source());
      reader_->rewind();
    }
    if (failed_) return true;
    reader_->onFileLine([&ctx] { ctx.progress(1); });
    int slice = std::max(1, ctx.sliceSize());
    for (int i = 0; i < slice; ++i) {
      if (!collect()) return true;
      if (!convertMessage(ctx)) ctx.skip();
      if (failed_) return true;
    }
    return reader_->atEnd() && !havePending_;
  }

 private:
  // Given a "Subject:" line, reads the three lines after it; true when the
  // four make a header block (kept in `block`), else the three are given back.
  bool readBlock(std::string first, std::vector<std::string>& block) {
    std::vector<std::string> rest;
    std::string line;
    while (rest.size() < 3 && reader_->next(line)) rest.push_back(std::move(line));
    if (rest.size() == 3 && headerRest(rest[0], rest[1], rest[2])) {
      block.clear();
      block.push_back(std::move(first));
      for (std::string& l : rest) block.push_back(std::move(l));
      return true;
    }
    reader_->giveBack(std::move(rest));
    return false;
  }

  bool collect() {
    msg_.clear();
    std::string line;
    std::vector<std::string> block;
    if (!havePending_) {
      while (reader_->next(line)) {
        if (line.starts_with(kSubject) && readBlock(line, pending_)) {
          havePending_ = true;
          break;
        }
      }
      if (!havePending_) return false;
    }
    for (std::string& l : pending_) msg_.hold(std::move(l));
    pending_.clear();
    havePending_ = false;
    while (reader_->next(line)) {
      if (line.starts_with(kSubject) && readBlock(line, pending_)) {
        havePending_ = true;
        break;
      }
      msg_.hold(std::move(line));
    }
    return true;
  }

  // The subject line: the subject, the parent it names after a "#" in column
  // 11 (forum messages), and the number after "Msg Number:".
  struct SubjectLine {
    std::string subject;
    uint32_t parent = 0;
    uint32_t number = 0;
  };

  static SubjectLine parseSubjectLine(std::string_view line, bool forum) {
    SubjectLine r;
    size_t token = line.find(kMsgNumber);
    size_t end = line.size();
    if (token != npos) {
      end = token >= 2 ? token - 2 : 0;
      std::string_view number = trim(after(line, token + kMsgNumber.size()));
      r.number = cis::messageNumber(number.substr(0, number.find(' ')));
    }
    size_t begin = kSubject.size();
    if (forum && line.size() > begin && line[begin] == '#') {
      size_t digits = begin + 1, stop = digits;
      while (stop < line.size() && stop - digits < 7 && isDigit(line[stop])) ++stop;
      if (stop > digits) {
        r.parent = cis::messageNumber(line.substr(digits, stop - digits));
        begin = stop + 1;
      }
    }
    r.subject = begin < end ? trim(line.substr(begin, end - begin)) : std::string_view();
    return r;
  }

  bool convertMessage(ImportContext& ctx) {
    return msg_.lines.size() >= 4 && msg_.lines[3].starts_with(kForum) ? convertForum(ctx) : convertMail(ctx);
  }

  bool convertForum(ImportContext& ctx) {
    if (!ctx.settings().importForum) return false;
    SubjectLine s = parseSubjectLine(msg_.header(1), true);
    if (s.number == 0) return false;
    // A parent can only be older than its reply.
    if (s.parent > s.number) s.parent = 0;

    std::string forumLine = msg_.header(4);
    std::string_view text = after(forumLine, kForum.size() - 1);
    size_t sec = text.find("Sec: ");
    std::string forum = cis::forumName(text.substr(0, sec));
    if (forum.empty()) return false;
    Target* t = ctx.target(forum, 1);
    if (t == nullptr || ctx.creationOnly() || ctx.alreadyImported(t->id, s.number)) return false;

    int section = 0;
    std::string sectionName;
    if (sec != npos) {
      std::string_view rest = trim(text.substr(sec + 5));
      size_t dash = rest.find('-');
      std::string_view digits = trim(rest.substr(0, dash));
      bool numeric = !digits.empty() && digits.size() <= 3 && std::all_of(digits.begin(), digits.end(), isDigit);
      if (numeric) {
        int v = std::stoi(std::string(digits));
        section = v <= 255 ? v : 0;
        sectionName = dash == npos ? std::string_view() : trim(rest.substr(dash + 1));
      } else {
        sectionName = dash == npos ? rest : trim(rest.substr(dash + 1));
      }
    }

    // A date line may follow the forum line.
    cis::DateTime when;
    size_t textLine = 5;
    if (msg_.lineStarts(5, kDate)) {
      when = cis::parseDateTime(after(msg_.header(5), kDate.size()));
      textLine = 6;
    }

    std::string sName, sAddr, rName, rAddr;
    FindCISAdress(2, after(msg_.header(2), kFrom.size()), sName, sAddr);
    FindCISAdress(2, after(msg_.header(3), kTo.size()), rName, rAddr);

    NHR = ImpHeaderRec();
    NHR.INTERNAL = t->id;
    NHR.MSGNUMBER = s.number;
    NHR.REFNUMBER = s.parent;
    NHR.FOR_DESCRIPTION = forum;
    NHR.SECTIONNUMBER = static_cast<uint8_t>(section);
    NHR.SEC_DESCRIPTION = sectionName;
    NHR.HEADING = s.subject;
    NHR.S_NAME = sName;
    NHR.S_CISADRESS = sAddr;
    NHR.R_NAME = rName;
    NHR.R_CISADRESS = rAddr;
    NHR.DATE = when.date;
    NHR.TIME = when.time;
    NHR.MAILTYPE = 0;
    NHR.MSGTEXT = msg_.text(textLine);
    if (!ctx.emit()) failed_ = true;
    return true;
  }

  bool convertMail(ImportContext& ctx) {
    if (!ctx.settings().importMail) return false;
    Target* box = ctx.mailbox();
    if (box == nullptr || ctx.creationOnly()) return false;

    SubjectLine s = parseSubjectLine(msg_.header(1), false);
    cis::DateTime when = cis::parseDateTime(after(msg_.header(4), kDate.size()));
    std::string sName, sAddr, rName, rAddr;
    cis::splitMailParty(after(msg_.header(2), kFrom.size()), sName, sAddr);
    cis::splitMailParty(after(msg_.header(3), kTo.size()), rName, rAddr);
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
    NHR.HEADING = s.subject;
    NHR.S_NAME = sName;
    NHR.S_CISADRESS = sAddr;
    NHR.R_NAME = rName;
    NHR.R_CISADRESS = rAddr;
    NHR.DATE = when.date;
    NHR.TIME = when.time;
    NHR.MAILTYPE = static_cast<uint8_t>(direction);
    NHR.RECIPTYPE = "TO";
    NHR.MSGTEXT = msg_.text(5);
    if (!ctx.emit()) failed_ = true;
    return true;
  }

  std::unique_ptr<cis::LineReader> reader_;
  bool begun_ = false;
  bool failed_ = false;
  bool havePending_ = false;
  std::vector<std::string> pending_;  // the header block of the next message
  MessageLines msg_;
};

}  // namespace

std::unique_ptr<Parser> makeNavCisSaveParser() { return std::make_unique<NavCisSaveParser>(); }

}  // namespace qv
