#include "import/parsers/message_record.h"

#include <utility>

#include "dictionary/dictionary.h"
#include "import/skip_reasons.h"

namespace qv {

namespace {

// The owner's name as a party of a mail: the mailbox name when the owner has none.
std::string ownerName(ImportContext& ctx, const Target& box) {
  std::string name = ctx.owner().name();
  return name.empty() ? Str<40>(box.name).str() : name;
}

// Makes the mailbox owner a party of the mail; gives the direction decided.
MailDirection placeOwner(ImportContext& ctx, const Target& box, MailDirection direction, MessageFields& m) {
  const OwnerAddresses& owner = ctx.owner();
  if (direction == DirectionUndecided) {
    direction = owner.direction(m.senderAddress, m.recipientAddress);
  } else if (direction == MailSent) {
    m.senderAddress = owner.mainAddress();
  } else {
    m.recipientAddress = owner.mainAddress();
  }
  if (direction == MailSent)
    m.senderName = ownerName(ctx, box);
  else
    m.recipientName = ownerName(ctx, box);
  return direction;
}

// The fields every message record has.
void fillRecord(const MessageFields& m) {
  NHR.HEADING = m.subject;
  NHR.SUBJECT = m.subject;
  setImportSender(m.senderName);
  NHR.S_CISADRESS = m.senderAddress;
  setImportRecipient(m.recipientName);
  NHR.R_CISADRESS = m.recipientAddress;
  NHR.DATE = m.date;
  NHR.TIME = m.time;
  NHR.DUMMY = m.status;
}

}  // namespace

bool emitForumMessage(ImportContext& ctx, const Target& t, MessageFields& m) {
  NHR = ImpHeaderRec();
  NHR.INTERNAL = t.id;
  NHR.MSGNUMBER = m.number;
  NHR.REFNUMBER = m.parent;
  NHR.FOR_DESCRIPTION = m.forum;
  NHR.SECTIONNUMBER = static_cast<uint8_t>(m.section);
  NHR.SEC_DESCRIPTION = m.sectionName;
  fillRecord(m);
  NHR.MAILTYPE = DirectionUndecided;  // not a mail
  NHR.MSGTEXT = std::move(m.text);
  return ctx.emit();
}

bool emitMail(ImportContext& ctx, const Target& box, MailDirection direction, MessageFields& m) {
  m.direction = placeOwner(ctx, box, direction, m);
  m.number = ctx.nextNumber();
  NHR = ImpHeaderRec();
  NHR.INTERNAL = box.id;
  NHR.MSGNUMBER = m.number;
  NHR.REFNUMBER = m.number;
  NHR.FOR_DESCRIPTION = box.name;
  fillRecord(m);
  NHR.MAILTYPE = static_cast<uint8_t>(m.direction);
  NHR.RECIPTYPE = "TO";
  NHR.MSGTEXT = std::move(m.text);
  return ctx.emit();
}

const char* forumSkipReason(ImportContext& ctx, const Target* t, uint32_t number) {
  if (t == nullptr) return kSkipNoForumDatabase;
  if (ctx.creationOnly()) return kSkipCreationOnly;
  if (ctx.alreadyImported(t->id, number)) return kSkipInDatabase;
  return nullptr;
}

bool emitCarbonCopies(ImportContext& ctx, uint32_t mailId, const std::vector<Recipient>& list, size_t first) {
  for (size_t i = first; i < list.size(); ++i) {
    CCT = ImpCCRRec();
    CCT.MAILID = mailId;
    CCT.R_NAME = list[i].name;
    CCT.R_CISADRESS = list[i].address;
    CCT.RECIPTYPE = list[i].type;
    if (!ctx.emitCarbonCopy()) return false;
  }
  return true;
}

}  // namespace qv
