// Files of the temporary directory: the result set of the last search and the
// staging files of an import run.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "storage/file.h"

namespace qv {

// File 32, Search (IDX032): the result set of the last search, newest first.
struct SearchRec {
  uint32_t ID = 0;  // a message ID
};
extern SearchRec SEA;
extern File Search;
extern Key SEA_IdKey;

// File 10, ImpHeader (IDX010): messages parsed from a source and waiting to be
// posted into a database.
struct ImpHeaderRec {
  uint32_t INTERNAL = 0;   // FOR.ID of the target database
  uint32_t MSGNUMBER = 0;  // the message's final number
  uint32_t REFNUMBER = 0;  // the source number of the message answered
  Str<100> FOR_DESCRIPTION;
  uint8_t SECTIONNUMBER = 0;
  Str<30> SEC_DESCRIPTION;
  Str<50> HEADING;      // the subject's start, as the database records hold it
  Str<60> S_CISADRESS;
  Str<40> S_NAME;       // the sender's name's start (SENDER holds it whole)
  Str<60> R_CISADRESS;
  Str<40> R_NAME;       // the recipient's name's start (RECIPIENT holds it whole)
  uint8_t DUMMY = 0;
  int32_t DATE = 0;
  int32_t TIME = 0;
  uint8_t MAILTYPE = 0;  // 1 received by the mailbox owner, 2 sent by the owner, 0 not mail
  Str<2> RECIPTYPE;      // "TO" for the main recipient
  int32_t IMPDATE = 0;
  int32_t IMPTIME = 0;
  std::string MSGTEXT;  // at most 64000 bytes
  std::string SUBJECT;  // the whole subject (HEADING holds its start)
  std::string SENDER;     // the sender's whole name
  std::string RECIPIENT;  // the recipient's whole name
};
// Sets the sender's or the recipient's name of the record in the NHR buffer:
// its start in the field, the whole beside it.
void setImportSender(std::string_view name);
void setImportRecipient(std::string_view name);
// The whole names of the record in the NHR buffer (a record written by an
// older run carries the fields only).
std::string importSender();
std::string importRecipient();
extern ImpHeaderRec NHR;
extern File ImpHeader;
extern Key NHR_MSGKEY;

// File 37, ImpOriginal (IDX037): the originals of the messages in ImpHeader
// that go to databases keeping originals (originals/originals_store.h), by
// the same key, packed as the Originals file keeps them.
struct ImpOriginalRec {
  uint32_t INTERNAL = 0;   // NHR.INTERNAL
  uint32_t MSGNUMBER = 0;  // NHR.MSGNUMBER
  uint8_t STATE = 0;       // ImportOriginalState
  Str<64> HASH;
  uint32_t SIZE = 0;
  uint8_t PACKING = 0;
  std::string DATA;
};
extern ImpOriginalRec NHO;
extern File ImpOriginal;
extern Key NHO_MSGKEY;
// ImpOriginal.STATE.
enum ImportOriginalState : uint8_t {
  OriginalNone = 1,     // the source holds none (a CompuServe reader's message)
  OriginalPacked = 2,   // HASH, SIZE, PACKING and DATA hold it
  OriginalTooLong = 3,  // longer than an original may be
  OriginalUnpacked = 4, // HASH, SIZE and DATA hold it unpacked, to be packed when posted
};

// File 19, ImpCCR (IDX019): further recipients of the messages in ImpHeader,
// laid out as CCR.
struct ImpCCRRec {
  uint32_t MAILID = 0;
  Str<40> R_NAME;
  Str<60> R_CISADRESS;
  Str<2> RECIPTYPE;
};
extern ImpCCRRec CCT;
extern File ImpCCR;
extern Key CCT_IDKEY;

// File 24, ImpThreadId (IDX024): identifier strings of the messages met
// during an import run, by the number each was given.
struct ImpThreadIdRec {
  Str<60> IDSTRING;
  uint32_t MSGNUMBER = 0;
};
extern ImpThreadIdRec TID;
extern File ImpThreadId;
extern Key TID_IDKEY;

}  // namespace qv
