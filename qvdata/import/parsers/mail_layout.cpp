#include "import/parsers/mail_layout.h"

#include <string>

#include "import/parsers/cis_text.h"
#include "import/parsers/message_record.h"
#include "import/skip_reasons.h"
#include "services/names.h"

namespace qv::cis {

namespace {

constexpr std::string_view kFrom = "From:";
constexpr std::string_view kSentTo = "MgTo:";
constexpr std::string_view kSubject = "Subj:";
constexpr std::string_view kReplyTo = "Reply to:";

// The subject of line 3: "Subj:  X" is X, "Reply to: X" is "Re: X" (X alone
// when it is a reply's subject already). False for any other line.
bool subjectOf(std::string_view line, std::string& subject) {
  if (line.starts_with(kSubject)) {
    subject = trim(line.substr(kSubject.size()));
    return true;
  }
  if (!line.starts_with(kReplyTo)) return false;
  std::string_view s = trim(line.substr(kReplyTo.size()));
  subject = startsWithNoCase(s, "Re:") ? std::string(s) : "Re: " + std::string(s);
  return true;
}

}  // namespace

bool mailLayoutStart(std::string_view line, std::string_view next) {
  return line.starts_with(kMailDateLabel) && (next.starts_with(kFrom) || next.starts_with(kSentTo));
}

bool convertLayoutMail(ImportContext& ctx, const MessageLines& msg, size_t textLine) {
  if (!ctx.settings().importMail) return skipped(ctx, kSkipMailNotImported);
  DateTime when = parseDateTime(after(msg.header(1), kMailDateLabel.size()));
  Target* box = ctx.mailbox();
  if (box == nullptr) return skipped(ctx, kSkipNoMailbox);
  if (ctx.creationOnly()) return skipped(ctx, kSkipCreationOnly);

  MessageFields m;
  std::string line2 = msg.header(2);
  MailDirection direction;
  if (line2.starts_with(kFrom)) {
    direction = MailReceived;
    FindCISAdress(2, after(line2, kFrom.size()), m.senderName, m.senderAddress);
  } else if (line2.starts_with(kSentTo)) {
    direction = MailSent;
    FindCISAdress(2, after(line2, kSentTo.size()), m.recipientName, m.recipientAddress);
  } else {
    return skipped(ctx);
  }
  if (!subjectOf(msg.header(3), m.subject)) return skipped(ctx);
  m.date = when.date;
  m.time = when.time;
  m.text = msg.text(textLine);
  return emitMail(ctx, *box, direction, m);
}

}  // namespace qv::cis
