// The temporary import records of one message: what a parser read of a forum
// message or a mail, put into NHR (and CCT for a mail's further recipients)
// and handed to the import run.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "import/parser.h"

namespace qv {

// What a parser read of one forum message or mail.
struct MessageFields {
  uint32_t number = 0;  // a forum message's number; a mail's is set by emitMail()
  uint32_t parent = 0;  // the forum message answered; 0 for none
  std::string forum;    // the forum name the message gives (forum messages)
  int section = 0;      // 0 .. 255
  std::string sectionName;
  std::string subject;
  std::string senderName;
  std::string senderAddress;
  std::string recipientName;
  std::string recipientAddress;
  int32_t date = 0;  // day number; 0 when unknown
  int32_t time = 0;  // hundredths since midnight + 1; 0 when unknown
  std::string text;  // UTF-8, at most 64000 bytes
  MailDirection direction = DirectionUndecided;  // a mail's, as emitMail() decided it
  uint8_t status = 0;  // the reader's own mark of the message (NHR.DUMMY): 1 kept, 2 deleted
};

// A recipient of a mail besides its main one.
struct Recipient {
  std::string name;
  std::string address;
  const char* type = "TO";  // "TO", "CC" or "BC"
};

// Counts the message as skipped. True: no record failed to be written (for
// conversions that answer false only when a record could not be written).
inline bool skipped(ImportContext& ctx, const char* reason = nullptr) {
  if (reason)
    ctx.skip(reason);
  else
    ctx.skip();
  return true;
}

// Why a forum message numbered `number` for the database `t` is not
// converted (no database, database creation only, already imported), or
// nullptr when it is to be converted.
const char* forumSkipReason(ImportContext& ctx, const Target* t, uint32_t number);

// Writes a forum message of the database `t`; its text is moved out of `m`.
// False when the record could not be written.
bool emitForumMessage(ImportContext& ctx, const Target& t, MessageFields& m);

// Writes a mail of the mailbox `box`; its text is moved out of `m`. First the
// mailbox owner becomes a party of the mail:
//   DirectionUndecided: the owner's addresses decide (OwnerAddresses::direction):
//     received when the sender address is none of them; the owner's main
//     address goes on the owner's side, and a sent mail's recipient address
//     is lower-cased;
//   MailReceived or MailSent as the file tells: the owner's main
//     address goes on the owner's side, the other addresses stay as read;
// and the owner's name (the mailbox name when the owner has none) goes on the
// owner's side: the sender of a sent mail, else the recipient. The mail takes
// the run's next number, kept in m.number for its carbon copies, and the
// direction decided is kept in m.direction. False when the record could not
// be written.
bool emitMail(ImportContext& ctx, const Target& box, MailDirection direction, MessageFields& m);

// Writes a carbon-copy record of the mail numbered `mailId` for each
// recipient of the list from index `first` on. False when one could not be
// written; the rest are then not written.
bool emitCarbonCopies(ImportContext& ctx, uint32_t mailId, const std::vector<Recipient>& list, size_t first);

}  // namespace qv
