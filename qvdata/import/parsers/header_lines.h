// Messages that begin with the five header lines of the CompuServe text
// readers (the OzCIS, TAPCIS and AUTOSIG family and GoldenCompass):
//   #: 12345 S3/Tools (Windows Forum)       number, section, forum (OzWin)
//       5-Mar-96 14:22                      date and time from column 5
//   Sb: #12300-Re: topic                    subject with the parent's number
//   Fm: John Smith 12345,678                sender
//   To: Mary Jones 23456,789                recipient
//   (one line passed over)
//   text ...
// Both a forum message and a mail are written this way; this file converts
// either kind into the temporary import record. The host shows a message
// without addressee with no "To:" line (its line 5 is then empty): it has no
// recipient, or the mailbox when it is a received mail, and its text follows.
#pragma once

#include <string>

#include "import/parser.h"
#include "import/parsers/line_reader.h"

namespace qv::cis {

// What a reader adds to the common header.
struct HeaderRules {
  // Line 1 ends with the forum name in parentheses (OzWin I and II).
  bool forumInLine = false;
  // Line 1 may name the parent after "Par:" (OzWin II).
  bool parentField = false;
  // The subject, sender and recipient may end with the marker "@b"
  // (TAPCIS 5.x).
  bool atMarkers = false;
  // A mail tells its direction on line 1: sent when it names "/Outbox", else
  // received. Received mail has no "To:" line and its text starts on line 6;
  // sent mail has no "Fm:" line (TAPCIS 5.x).
  bool outboxMail = false;
};

// Converts the forum message held in `msg`. `forum` is the database of
// messages whose first line names none. The message is counted as skipped
// when forum messages are not imported, its header does not match, its forum
// is empty or has no target, the import only creates databases, or the
// message was imported before. False when the record could not be written.
bool convertForumMessage(ImportContext& ctx, const MessageLines& msg, const HeaderRules& rules,
                         const std::string& forum);

// Converts the mail held in `msg` into a mail of the import's mailbox; its
// direction is decided by the owner's addresses unless the rules say the file
// tells it. Counted as skipped when mail is not imported, there is no mailbox,
// the import only creates databases or the header does not match. False when
// the record could not be written.
bool convertMailMessage(ImportContext& ctx, const MessageLines& msg, const HeaderRules& rules);

}  // namespace qv::cis
