// The parser of NavCIS save files. Every message starts with a block of four
// header lines, each label ten characters wide:
//   Subject:  #12300-Re: topic                  Msg Number: 12345
//      From:  John Smith 12345,678
//        To:  Mary Jones 23456,789
//     Forum:  CIS:WINFORUM Sec: 3-Tools         (forum messages)
//      Date:  12-Mar-96 14:22                   (mail)
// and the text follows up to the next block.
#include <memory>
#include <string>
#include <vector>

#include "import/parsers/cis_text.h"
#include "import/parsers/line_file_parser.h"
#include "import/parsers/message_record.h"
#include "import/parsers/parsers.h"
#include "services/names.h"

namespace qv {

namespace {

using cis::after;
using cis::isDigit;
using cis::trim;

constexpr size_t npos = std::string::npos;

constexpr std::string_view kSubject = "Subject:  ";
constexpr std::string_view kFrom = "   From:  ";
constexpr std::string_view kTo = "     To:  ";
constexpr std::string_view kForum = "  Forum:  ";
constexpr std::string_view kDate = "   Date:  ";
constexpr std::string_view kMsgNumber = "Msg Number:";

bool continuationByte(char c) { return (static_cast<unsigned char>(c) & 0xC0) == 0x80; }

// The position `n` characters (UTF-8) before `pos`; 0 when there are fewer.
size_t charsBefore(std::string_view s, size_t pos, int n) {
  for (; n > 0 && pos > 0; --n)
    do --pos;
    while (pos > 0 && continuationByte(s[pos]));
  return pos;
}

// The position after the character at `pos`.
size_t charAfter(std::string_view s, size_t pos) {
  if (pos >= s.size()) return s.size();
  do ++pos;
  while (pos < s.size() && continuationByte(s[pos]));
  return pos;
}

// Lines 2 to 4 of a header block, given its "Subject:" line.
bool headerRest(const std::string& from, const std::string& to, const std::string& fourth) {
  return from.starts_with(kFrom) && to.starts_with(kTo) && (fourth.starts_with(kDate) || fourth.starts_with(kForum));
}

class NavCisSaveParser : public cis::LineFileParser {
 protected:
  // A "Subject:" line begins a message when the three lines after it make a
  // header block with it; else they are given back.
  bool startsMessage(std::string& line, std::vector<std::string>& more) override {
    if (!line.starts_with(kSubject)) return false;
    std::string next;
    while (more.size() < 3 && reader().next(next)) more.push_back(std::move(next));
    if (more.size() == 3 && headerRest(more[0], more[1], more[2])) return true;
    reader().giveBack(std::move(more));
    more.clear();
    return false;
  }

  bool convertMessage(ImportContext& ctx) override {
    return msg_.lines.size() >= 4 && msg_.lines[3].starts_with(kForum) ? convertForum(ctx) : convertMail(ctx);
  }

 private:
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
      end = charsBefore(line, token, 2);
      std::string_view number = trim(after(line, token + kMsgNumber.size()));
      r.number = cis::messageNumber(number.substr(0, number.find(' ')));
    }
    size_t begin = kSubject.size();
    if (forum && line.size() > begin && line[begin] == '#') {
      size_t digits = begin + 1, stop = digits;
      while (stop < line.size() && stop - digits < 7 && isDigit(line[stop])) ++stop;
      if (stop > digits) {
        r.parent = cis::messageNumber(line.substr(digits, stop - digits));
        begin = charAfter(line, stop);
      }
    }
    r.subject = begin < end ? trim(line.substr(begin, end - begin)) : std::string_view();
    return r;
  }

  bool convertForum(ImportContext& ctx) {
    if (!ctx.settings().importForum) return skipped(ctx);
    SubjectLine s = parseSubjectLine(msg_.header(1), true);
    if (s.number == 0) return skipped(ctx);

    MessageFields m;
    std::string forumLine = msg_.header(4);
    std::string_view text = after(forumLine, kForum.size() - 1);
    size_t sec = text.find("Sec: ");
    m.forum = cis::forumName(text.substr(0, sec));
    if (m.forum.empty()) return skipped(ctx);
    Target* t = ctx.target(m.forum, KindForumDb);
    if (const char* why = forumSkipReason(ctx, t, s.number)) return skipped(ctx, why);

    m.number = s.number;
    // A parent can only be older than its reply.
    m.parent = s.parent > s.number ? 0 : s.parent;
    m.subject = std::move(s.subject);
    if (sec != npos) {
      std::string_view rest = trim(text.substr(sec + 5));
      size_t dash = rest.find('-');
      int v = cis::sectionDigits(trim(rest.substr(0, dash)));
      if (v >= 0) {
        m.section = v <= 255 ? v : 0;
        m.sectionName = dash == npos ? std::string_view() : trim(rest.substr(dash + 1));
      } else {
        m.sectionName = dash == npos ? rest : trim(rest.substr(dash + 1));
      }
    }

    // A date line may follow the forum line.
    size_t textLine = 5;
    if (msg_.lineStarts(5, kDate)) {
      cis::DateTime when = cis::parseDateTime(after(msg_.header(5), kDate.size()));
      m.date = when.date;
      m.time = when.time;
      textLine = 6;
    }
    FindCISAdress(2, after(msg_.header(2), kFrom.size()), m.senderName, m.senderAddress);
    FindCISAdress(2, after(msg_.header(3), kTo.size()), m.recipientName, m.recipientAddress);
    m.text = msg_.text(textLine);
    return emitForumMessage(ctx, *t, m);
  }

  bool convertMail(ImportContext& ctx) {
    if (!ctx.settings().importMail) return skipped(ctx);
    Target* box = ctx.mailbox();
    if (box == nullptr || ctx.creationOnly()) return skipped(ctx);

    MessageFields m;
    m.subject = parseSubjectLine(msg_.header(1), false).subject;
    cis::DateTime when = cis::parseDateTime(after(msg_.header(4), kDate.size()));
    m.date = when.date;
    m.time = when.time;
    cis::splitMailParty(after(msg_.header(2), kFrom.size()), m.senderName, m.senderAddress);
    cis::splitMailParty(after(msg_.header(3), kTo.size()), m.recipientName, m.recipientAddress);
    m.text = msg_.text(5);
    return emitMail(ctx, *box, DirectionUndecided, m);
  }

};

}  // namespace

std::unique_ptr<Parser> makeNavCisSaveParser() { return std::make_unique<NavCisSaveParser>(); }

}  // namespace qv
