// The record layouts of the versions before 3.60, declared on the same
// keyed-file layer as the current ones: the converter reads the old files
// through these and copies their records into the current layouts field by
// field by field name.
//
// Files of the old layout live in the program directory (the database
// list, the control file, the list of mailboxes, the file lists of import
// definitions) and in one directory F<n> per database; all mail of every
// mailbox is in one mail database, each mail naming its mailbox by the
// owner's name.
#pragma once

#include <cstdint>

#include "storage/file.h"

namespace qvconv {

using qv::File;
using qv::Key;
using qv::Str;

// IDX002 before 3.00: the database list with a 30-character name. Forum
// databases were named "CIS:" + forum name; the one mail database is the
// record of type 2.
struct OldForums30Rec {
  uint32_t ID = 0;
  Str<30> DESCRIPTION;
  uint32_t DIRNUMBER = 0;
  uint8_t TYPE = 0;
  uint8_t NOIMPORT = 0;
  uint32_t MSGCOUNT = 0;
  uint8_t COUNTFLAG = 0;
  uint8_t DUMMY = 0;
  int32_t CREATED = 0;
};
extern OldForums30Rec OF3;
extern File OldForums30;
extern Key OF3_ForumKey;

// CFG/IDX002 from 3.00 to 3.29: the current layout with a 40-character name.
struct OldForums40Rec {
  uint32_t ID = 0;
  Str<40> DESCRIPTION;
  uint32_t DIRNUMBER = 0;
  uint8_t TYPE = 0;
  uint8_t NOIMPORT = 0;
  uint32_t MSGCOUNT = 0;
  uint8_t COUNTFLAG = 0;
  uint8_t DUMMY = 0;
  int32_t CREATED = 0;
  int32_t LOWDATE = 0;
  Str<60> MAILADDRESS;
  uint32_t PERSONID = 0;
  std::array<Str<60>, 10> ALTADDRESS;
  uint32_t LASTMSGID = 0;
  uint32_t RECSLASTTIME = 0;
  int32_t WORDLISTINDEXNEEDSUPDATE = 0;
  uint8_t INDEXTYPE = 0;
};
extern OldForums40Rec OF4;
extern File OldForums40;
extern Key OF4_ForumKey;

// IDX027 before 3.30: file specifications of import procedures, 40 characters.
struct OldFileListRec {
  uint32_t ID = 0;
  Str<40> FILESPEC;
};
extern OldFileListRec OFL;
extern File OldFileList;
extern Key OFL_IDKEY;

// IDX016 before 3.00: the mailboxes, by owner name and the owner's person.
struct MailBoxesRec {
  Str<40> OWNER;
  uint32_t PERSONID = 0;
};
extern MailBoxesRec MBX;
extern File MailBoxes;
extern Key MBX_OwnerKey;

// IDX013 of the one mail database before 3.00: the mailbox is named by its
// owner's name.
struct OldMailRec {
  int32_t DATE = 0;
  int32_t TIME = 0;
  Str<50> SUBJECT;
  uint32_t MAILID = 0;
  uint32_t FROMID = 0;
  Str<10> FROMALPHA;
  uint32_t TOID = 0;
  Str<10> TOALPHA;
  uint32_t PAIRID = 0;
  Str<25> PAIRALPHA;
  Str<2> RECIPTYPE;
  uint8_t CCR = 0;
  uint8_t DUMMY = 0;
  uint8_t FG = 0;
  Str<40> MAILBOX;  // the owner name of the mailbox the mail belongs to
};
extern OldMailRec OMA;
extern File OldMail;
extern Key OMA_IdKey, OMA_BoxKey;

// IDX004 before 3.00: the same layout as now, read under the name the
// conversion moved it to.
struct OldMsgTextRec {
  uint32_t MSGNUMBER = 0;
  int32_t DATE = 0;
  int32_t TIME = 0;
  std::string MsgText;
};
extern OldMsgTextRec OTX;
extern File OldMsgText;
extern Key OTX_IdKey;

// IDX005 before 3.00: persons with narrower name fields and no date of the
// latest message.
struct OldPersonRec {
  uint32_t PERSONID = 0;
  Str<60> PERSONSTRING;
  Str<20> LASTNAME;
  Str<20> FIRSTNAME;
  Str<40> ADDRESS;
  uint32_t FROMCOUNT = 0;
  uint32_t TOCOUNT = 0;
  uint8_t DUMMY = 0;
};
extern OldPersonRec OPE;
extern File OldPerson;
extern Key OPE_PersonKey;

// IDX001 before 3.00: key words, without date, time and match switches.
struct OldCodesRec {
  uint8_t TYPE = 0;
  Str<40> INDEX;
  uint32_t ID = 0;
  uint32_t COUNT = 0;
};
extern OldCodesRec OCO;
extern File OldCodes;
extern Key OCO_ClassKey;

}  // namespace qvconv
