#include "import/parsers/header_lines.h"

#include <string_view>

#include "import/parsers/cis_text.h"
#include "import/parsers/message_record.h"
#include "services/names.h"
#include "storage/fixedstr.h"

namespace qv::cis {

namespace {

constexpr size_t npos = std::string::npos;

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
  std::string forum;  // with HeaderRules::forumInLine
  int section = 0;
  std::string sectionName;
  uint32_t parent = 0;  // with HeaderRules::parentField
  bool hasParent = false;
};

// Splits a section text: within its first 30 characters, "S7/Tools" is
// section 7 named Tools ("/" in column 1 or 2 gives no number); without "/"
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
    int v = sectionDigits(trim(s.substr(1, slash - 1)));
    if (v >= 0 && v <= 255) number = v;
  }
  name = trim(s.substr(slash + 1));
}

// Line 1 of a forum message. False when the message must be skipped (no valid
// number, or no forum name where the line must carry one).
bool parseForumLine(std::string_view line, const HeaderRules& rules, ForumLine& out) {
  // The number: from column 4 up to the next blank.
  size_t begin = 2;
  while (begin < line.size() && line[begin] == ' ') ++begin;
  size_t end = line.find(' ', begin);
  if (end == npos) end = line.size();
  out.number = messageNumber(line.substr(begin, end - begin));
  if (out.number == 0) return false;

  std::string_view rest = trimLeft(after(line, end));
  // A flag group "(X) " in front of the section is passed over.
  if (!rest.empty() && rest[0] == '(' && rest.size() > 1) {
    size_t close = 1 + charLength(rest, 1);
    if (close < rest.size() && rest[close] == ')' && (close + 1 == rest.size() || rest[close + 1] == ' '))
      rest = trimLeft(after(rest, close + 1));
  }

  std::string section(rest);
  if (rules.forumInLine) {
    size_t open = rest.rfind('(');
    size_t close = open == npos ? npos : rest.find(')', open + 1);
    if (close == npos) return false;
    out.forum = forumName(rest.substr(open + 1, close - open - 1));
    if (out.forum.empty()) return false;
    section = rest.substr(0, open);
  }

  if (rules.parentField) {
    size_t par = line.substr(0, 40).find("Par:");
    if (par != npos) {
      out.hasParent = true;
      std::string_view number = trim(line.substr(par + 4, 8));
      out.parent = messageNumber(number.substr(0, number.find(' ')));
      // "Par:" and the parent's number are no part of the section.
      size_t at = section.find("Par:");
      if (at != npos) {
        size_t past = at + 4;
        while (past < section.size() && section[past] == ' ') ++past;
        while (past < section.size() && isDigit(section[past])) ++past;
        section.erase(at, past - at);
      }
    }
  }
  splitSection(trim(section), out.section, out.sectionName);
  return true;
}

// The subject of a forum message and the parent it names: "#12345-Re: topic"
// or "12345-Re: topic" name message 12345 when that is at most the message's
// own number and not more than 30,000 below it; then the subject is what
// follows the "-". A subject that still begins with "#" loses it.
void splitSubject(std::string_view text, uint32_t number, uint32_t& parent, std::string& subject) {
  parent = 0;
  std::string_view s = trim(text);
  size_t digits = s.starts_with('#') ? 1 : 0;
  size_t dash = digits;
  // Up to seven digits: every valid message number fits.
  while (dash < s.size() && isDigit(s[dash]) && dash - digits < 8) ++dash;
  if (dash > digits && dash - digits <= 7 && dash < s.size() && s[dash] == '-') {
    uint32_t ref = messageNumber(s.substr(digits, dash - digits));
    if (ref > 0 && ref <= number && number - ref <= 30000) {
      parent = ref;
      s = trim(s.substr(dash + 1));
    }
  }
  if (s.starts_with('#')) s.remove_prefix(1);
  subject = s;
}

// The text after a three-character label ("Sb:", "Fm:", "To:"), less its
// markers.
std::string_view labelledText(std::string_view line, const HeaderRules& rules) {
  std::string_view s = trim(after(line, 3));
  if (rules.atMarkers) s = dropSuffix(s, "@b");
  return s;
}

// A sender or recipient line's text, less a trailing "(X)" too.
std::string_view partyText(std::string_view line, const HeaderRules& rules) {
  return dropSuffix(labelledText(line, rules), "(X)");
}

// The host leaves out the "To:" line of a message shown without addressee
// (mail shown forum-style: "#: 2 S0/EasyPlex"); line 5 is then the empty line
// before the text.
bool noRecipientLine(const MessageLines& msg) { return msg.lines.size() >= 5 && trim(msg.header(5)).empty(); }

// The date and time from column 5 of line 2.
void readDate(const MessageLines& msg, MessageFields& m) {
  DateTime when = parseDateTime(after(msg.header(2), 4));
  m.date = when.date;
  m.time = when.time;
}

}  // namespace

bool convertForumMessage(ImportContext& ctx, const MessageLines& msg, const HeaderRules& rules,
                         const std::string& forum) {
  if (!ctx.settings().importForum) return skipped(ctx);
  ForumLine h;
  if (!parseForumLine(msg.header(1), rules, h)) return skipped(ctx);
  MessageFields m;
  m.forum = rules.forumInLine ? h.forum : forum;
  if (m.forum.empty()) return skipped(ctx);
  Target* t = ctx.target(m.forum, KindForumDb);
  if (const char* why = forumSkipReason(ctx, t, h.number)) return skipped(ctx, why);
  if (!msg.lineStarts(3, "Sb:") || !msg.lineStarts(4, "Fm:")) return skipped(ctx);
  bool to = msg.lineStarts(5, "To:");
  if (!to && !noRecipientLine(msg)) return skipped(ctx);

  m.number = h.number;
  m.section = h.section;
  m.sectionName = h.sectionName;
  readDate(msg, m);
  std::string line3 = msg.header(3);
  std::string_view subject = labelledText(line3, rules);
  if (h.hasParent) {
    // A parent is always older than its reply: a newer one would make the
    // two each other's parent.
    m.parent = olderParent(h.parent, h.number);
    m.subject = subject.starts_with('#') ? subject.substr(1) : subject;
  } else {
    splitSubject(subject, h.number, m.parent, m.subject);
  }
  FindCISAdress(2, partyText(msg.header(4), rules), m.senderName, m.senderAddress);
  if (to) FindCISAdress(2, partyText(msg.header(5), rules), m.recipientName, m.recipientAddress);
  m.text = msg.text(to ? 7 : 6);
  return emitForumMessage(ctx, *t, m);
}

bool convertMailMessage(ImportContext& ctx, const MessageLines& msg, const HeaderRules& rules) {
  if (!ctx.settings().importMail) return skipped(ctx);
  Target* box = ctx.mailbox();
  if (box == nullptr || ctx.creationOnly()) return skipped(ctx);
  if (!msg.lineStarts(3, "Sb:")) return skipped(ctx);

  MessageFields m;
  readDate(msg, m);
  m.subject = labelledText(msg.header(3), rules);
  MailDirection direction = DirectionUndecided;  // the owner's addresses decide
  if (rules.outboxMail) direction = msg.header(1).find("/Outbox") != npos ? MailSent : MailReceived;
  if (direction != MailSent) {
    if (!msg.lineStarts(4, "Fm:")) return skipped(ctx);
    splitMailParty(partyText(msg.header(4), rules), m.senderName, m.senderAddress);
  }
  if (direction != MailReceived) {
    if (msg.lineStarts(5, "To:")) {
      splitMailParty(partyText(msg.header(5), rules), m.recipientName, m.recipientAddress);
    } else if (direction == DirectionUndecided && noRecipientLine(msg) && ctx.owner().foreign(m.senderAddress)) {
      direction = MailReceived;  // the mailbox is the recipient
    } else {
      return skipped(ctx);
    }
  }
  m.text = msg.text(direction == MailReceived ? 6 : 7);
  return emitMail(ctx, *box, direction, m);
}

}  // namespace qv::cis
