// Files of a database directory (F<n>/IDXnnn.ADF and F<n>/IDX022.DAT):
// messages, texts, persons, sections, threads, mail, topics and the
// database's own description.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "storage/file.h"

namespace qv {

// File 3, MsgNmbr (IDX003): one record per forum or newsgroup message.
struct MsgNmbrRec {
  uint32_t MSGNUMBER = 0;     // the message's ID
  uint32_t SECSYSID = 0;      // SEC.SECSYSID of its section
  uint32_t REFNUMBER = 0;     // MSGNUMBER of the message answered; 0 when none
  uint32_t THREADNUMBER = 0;  // THR.THREADNUMBER of its thread
  Str<10> THREADALPHA;        // copy of THR.ALPHA
  uint32_t FROMID = 0;        // PER.PERSONID of the sender
  Str<10> FROMALPHA;          // first 10 characters of the sender's last name
  uint32_t TOID = 0;          // PER.PERSONID of the recipient
  Str<10> TOALPHA;            // first 10 characters of the recipient's last name
  int32_t DATE = 0;
  uint8_t DUMMY = 0;  // 0 normal, 1 keep, 2 delete
  uint8_t FG = 0;
};
extern MsgNmbrRec MSG;
extern File MsgNmbr;
extern Key MSG_IdKey, MSG_Threadkey, MSG_SECkey, MSG_FromKey, MSG_ToKey, MSG_DateKey, MSG_StatusKey;

// File 4, MsgText (IDX004): the text of every message, forum, newsgroup and
// mail alike.
struct MsgTextRec {
  uint32_t MSGNUMBER = 0;  // MSG.MSGNUMBER or MAI.MAILID
  int32_t DATE = 0;
  int32_t TIME = 0;
  std::string MsgText;  // at most 64000 bytes
};
extern MsgTextRec TXT;
extern File MsgText;
extern Key TXT_IdKey, TXT_DateKey;

// File 5, Person (IDX005): forum members, mail partners, newsgroup participants.
struct PersonRec {
  uint32_t PERSONID = 0;
  Str<100> PERSONSTRING;  // name and address as they stand in messages
  Str<25> LASTNAME;
  Str<25> FIRSTNAME;
  Str<60> ADDRESS;
  uint32_t FROMCOUNT = 0;
  uint32_t TOCOUNT = 0;
  int32_t LASTDATE = 0;
  uint8_t DUMMY = 0;  // 0 normal, 1 keep, 2 delete
};
extern PersonRec PER;
extern File Person;
extern Key PER_PersonKey, PER_StringKey, PER_AddressKey, PER_NameKey;

// File 23, PLINK (IDX023): further person strings standing for a person.
struct PLINKRec {
  Str<100> PERSONSTRING;
  uint32_t PERSONID = 0;
};
extern PLINKRec PLI;
extern File PLINK;
extern Key PLI_StringKey, PLI_PersonKey;

// File 6, Sections (IDX006).
struct SectionsRec {
  uint8_t SECTIONNUMBER = 0;  // as the forum numbers it
  uint32_t SECSYSID = 0;      // the section's ID
  Str<30> DESCRIPTION;
  uint32_t MSGCOUNT = 0;
  uint8_t DUMMY = 0;  // 0 normal, 1 keep, 2 delete
};
extern SectionsRec SEC;
extern File Sections;
extern Key SEC_SysIdKey, SEC_SectionKey;

// File 7, Threads (IDX007).
struct ThreadsRec {
  uint32_t THREADNUMBER = 0;  // the thread's ID
  uint32_t SECSYSID = 0;
  Str<10> ALPHA;  // group HEADING: the subject's first 10 characters
  Str<40> BETA;   //   and the next 40
  uint32_t MSGCOUNT = 0;
  uint8_t DUMMY = 0;  // 0 normal, 1 keep, 2 delete
};
extern ThreadsRec THR;
extern File Threads;
extern Key THR_ThreadKey, THR_SecKey, THR_AlphaKey, THR_StatusKey;

// File 13, Mail (IDX013): one record per mail message.
struct MailRec {
  int32_t DATE = 0;
  int32_t TIME = 0;
  Str<50> SUBJECT;
  uint32_t MAILID = 0;
  uint32_t FROMID = 0;  // PER.PERSONID of the sender
  Str<10> FROMALPHA;
  uint32_t TOID = 0;  // PER.PERSONID of the (first) recipient
  Str<10> TOALPHA;
  uint32_t PAIRID = 0;  // the mail partner: the other party than the mailbox owner
  Str<25> PAIRALPHA;
  Str<2> RECIPTYPE;
  uint8_t CCR = 0;    // 1 = further recipients are stored in CCRFile
  uint8_t DUMMY = 0;  // 0 normal, 1 keep, 2 delete
  uint8_t FG = 0;
};
extern MailRec MAI;
extern File Mail;
extern Key MAI_IdKey, MAI_DateKey, MAI_PairKey, MAI_FromKey, MAI_ToKey, MAI_SubjectKey, MAI_StatusKey;

// File 17, CCR (IDX017): further recipients of mail. The file's label and its
// prefix are the same word; the record buffer keeps the prefix (CCR.MAILID),
// so the File is CCRFile.
struct CCRRec {
  uint32_t MAILID = 0;
  Str<40> R_NAME;
  Str<60> R_CISADRESS;
  Str<2> RECIPTYPE;
};
extern CCRRec CCR;
extern File CCRFile;
extern Key CCR_IdKey;

// File 25, MsgIdIndex (IDX025, newsgroup databases): message identifier
// strings and the messages they belong to.
struct MsgIdIndexRec {
  Str<60> IDSTRING;
  uint32_t MSGNUMBER = 0;
};
extern MsgIdIndexRec MST;
extern File MsgIdIndex;
extern Key MST_IDSTRINGKEY, MST_IDKEY;

// The longest subject kept whole.
inline constexpr uint32_t kSubjectMax = 64000;

// File 14, Subjects (IDX014, forum, newsgroup and mail databases): the whole
// subject of a thread or a mail whose record cannot hold it: one longer than
// its fields, or one whose cut falls inside a character or before a blank
// that the record's padding would hide. The record's fields keep the start,
// for the keys; the heading of a message is read through services/messages.h.
struct SubjectsRec {
  uint32_t ID = 0;      // THR.THREADNUMBER or MAI.MAILID
  std::string SUBJECT;  // the subject as imported
};
extern SubjectsRec SUB;
extern File Subjects;
extern Key SUB_IdKey;

// The longest whole name or address kept beside a person.
inline constexpr uint32_t kWholeNameMax = 1000;

// File 15, Extras (IDX015, forum, newsgroup and mail databases): what the
// fixed fields of the records cannot hold, in rows of three kinds under one
// key (ID, KIND, PERSONSTRING):
// - a name row (ID a person, PERSONSTRING blank) keeps a person's whole last
//   and first name when either is longer than its field (25 bytes); the
//   fields keep their start, for the keys (services/whole_names.h);
// - an address row (ID 0, PERSONSTRING an alias's person string) keeps the
//   address that string ends with when the string alone cannot tell it (an
//   address holding a blank, "goran at domain.com"); a string's address
//   never changes, whichever person it stands for;
// - a time row (ID a forum or newsgroup message) keeps the time of day its
//   source gave (MsgNmbr has a date only; services/messages.h).
// One file, not three: a posting transaction may hold at most 11 files.
enum ExtraKind : uint8_t {
  ExtraName = 1,
  ExtraAliasAddress = 2,
  ExtraTime = 3,
};
struct ExtrasRec {
  uint32_t ID = 0;
  uint8_t KIND = 0;  // ExtraKind
  Str<100> PERSONSTRING;
  int32_t TIME = 0;
  std::string LASTNAME;
  std::string FIRSTNAME;
  std::string ADDRESS;
};
extern ExtrasRec EXT;
extern File Extras;
extern Key EXT_IdKey;

// File 36, Originals (IDX036, mail and newsgroup databases): the bytes of
// every imported mail and article as its source held them, each distinct
// content once. A content row (MSGID 0) holds the packed bytes of one
// content under its HASH and counts the messages that name it; a message
// row (MSGID the message's ID) names the content of that message by HASH.
// The row of MSGID 0 and a blank HASH holds the database's setting: SIZE 1
// while the database keeps originals, and in PACKING the form of the
// file's hashes (originals_store.h HashForm). The layout is told in
// docs/originals.md; originals/originals_store.h reads and writes the file.
struct OriginalsRec {
  uint32_t MSGID = 0;    // MSG.MSGNUMBER or MAI.MAILID; 0 for a content row
  Str<64> HASH;          // SHA-256 of the original bytes: its 32 bytes, or 64 hex digits in older files
  uint32_t SIZE = 0;     // bytes of the original (the setting on the settings row)
  uint8_t PACKING = 0;   // content rows: how DATA is packed (originals/original_packing.h)
  uint32_t REFS = 0;     // content rows: the message rows that name it
  std::string DATA;      // content rows: the packed bytes
};
extern OriginalsRec ORI;
extern File Originals;
extern Key ORI_IdKey;

// File 1, Codes (IDX001): topics.
struct CodesRec {
  uint8_t TYPE = 0;
  Str<40> INDEX;  // the string searched for
  uint32_t ID = 0;
  uint32_t COUNT = 0;
  int32_t DATE = 0;
  int32_t TIME = 0;
  uint8_t CHARCASE = 0;  // 1 = match letter case
  uint8_t WORDONLY = 0;  // 1 = whole words only
};
extern CodesRec COD;
extern File Codes;
extern Key COD_ClassKey;

// File 9, SIndex (IDX009): links between topics and messages.
struct SIndexRec {
  uint32_t ID = 0;  // COD.ID
  uint32_t MSGNUMBER = 0;
};
extern SIndexRec SIN;
extern File SIndex;
extern Key SIN_IdKey, SIN_MsgKey;

// File 22, DbRef (IDX022.DAT): a copy of the database's own entry in the
// database list, from which a lost list is rebuilt.
struct DbRefRec {
  uint8_t TYPE = 0;
  Str<100> DESCRIPTION;
  int32_t PERSONID = 0;
  Str<60> MAILADDRESS;
  std::array<Str<60>, 10> ALTADDRESS;  // 0-based here; the system numbers them 1..10
};
extern DbRefRec REF;
extern File DbRef;

}  // namespace qv
