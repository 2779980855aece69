// Files read or written as text lines or raw blocks, and the dBASE/FoxPro
// tables of other readers that the importers read through the table driver
// "DBF". All of them have no keys; their paths are chosen at run time.
#pragma once

#include <cstdint>
#include <string>

#include "storage/file.h"

namespace qv {

// Longest memo of an external table.
inline constexpr uint32_t kDbfMemoMax = 65280;
// Longest line of a line file.
inline constexpr uint32_t kLineMax = 64000;
// Largest raw block.
inline constexpr uint32_t kRawBlock = 10000;

// LineFile: every text file read or written line by line (import sources,
// logs, exports). One record per line; lines end with CR LF.
struct LineFileRec {
  std::string LINE;
};
extern LineFileRec ASC;
extern File LineFile;

// LineFile2: the second file of a two-file export.
struct LineFile2Rec {
  std::string LINE;
};
extern LineFile2Rec EXP;
extern File LineFile2;

// File 12, RawFile: any file read or written as raw blocks.
struct RawFileRec {
  Str<kRawBlock> CHAR;
};
extern RawFileRec DOS;
extern File RawFile;

// File 31, RawFile2: a second raw file.
struct RawFile2Rec {
  Str<kRawBlock> CHAR;
};
extern RawFile2Rec TOC;
extern File RawFile2;

// External tables. Character columns are Str<n>, numeric columns doubles,
// date columns day numbers, logical columns one character.

// File 20, CcoStore: forum messages of another reader's message store.
struct CcoStoreRec {
  Str<10> MSG_NUMBER;
  int32_t MSG_DATE = 0;  // day number
  Str<5> MSG_TIME;
  Str<24> MSG_SUBJEC;
  Str<25> MSG_SENDER;
  Str<11> MSG_SENDID;
  Str<25> MSG_RECVR;
  Str<11> MSG_RECVID;
  Str<10> MSG_PARENT;
  double MSG_NXTSIB = 0;  // N(10.0)
  double MSG_FSTCHD = 0;  // N(10.0)
  double MSG_THRDID = 0;  // N(10.0)
  Str<2> MSG_SECTNO;
  Str<20> MSG_SECT;
  std::string MSG_TEXT;  // memo
  Str<2> MSG_FLAGS;
  double MSG_SEQ = 0;  // N(10.0)
  Str<1> MSG_ISFROM;  // logical
  Str<1> MSG_ISTO;  // logical
  Str<1> MSG_TAGGED;  // logical
  Str<1> MSG_MARKED;  // logical
  Str<1> MSG_UNREAD;  // logical
  Str<1> MSG_ISROOT;  // logical
};
extern CcoStoreRec CCO;
extern File CcoStore;

// File 21, CmaStore: mail of another reader's message store.
struct CmaStoreRec {
  Str<10> MSG_NUMBER;
  int32_t MSG_DATE = 0;  // day number
  Str<5> MSG_TIME;
  Str<40> MSG_SUBJEC;
  Str<25> MSG_SENDER;
  std::string MSG_SENDID;  // memo
  Str<25> MSG_RECVR;
  std::string MSG_RECVID;  // memo
  Str<10> MSG_PARENT;
  std::string MSG_TEXT;  // memo
  Str<2> MSG_FLAGS;
  double MSG_SEQ = 0;  // N(10.0)
  Str<1> MSG_ISFROM;  // logical
  Str<1> MSG_ISTO;  // logical
  Str<1> MSG_TAGGED;  // logical
  Str<1> MSG_MARKED;  // logical
  Str<1> MSG_UNREAD;  // logical
};
extern CmaStoreRec CMA;
extern File CmaStore;

// File 11, HreStore: messages of another reader's store, forum and mail.
struct HreStoreRec {
  Str<1> IS_MAIL;
  Str<20> FORUM_NAME;
  double INTERNAL = 0;  // N(8.0)
  double SEC_NUMBER = 0;  // N(3.0)
  Str<20> SEC_NAME;
  Str<60> SUBJECT;
  Str<60> SEND_ID;
  double FROMNET = 0;  // N(2.0)
  Str<40> SEND_NAME;
  Str<60> RECV_ID;
  Str<40> RECV_NAME;
  double MSG_NUMBER = 0;  // N(8.0)
  double MSG_PARENT = 0;  // N(8.0)
  Str<1> RECEIVED;
  Str<1> IS_PRIVATE;
  Str<1> REPLIED;
  Str<1> SAVED;
  Str<1> REPLIES;
  Str<1> RECEIPT;
  Str<1> BINARY;
  Str<1> DL;
  Str<128> BFILENAME;
  Str<1> KEEP;
  Str<1> IS_DELETE;
  Str<10> MSG_DATE;
  Str<10> MSG_TIME;
  Str<5> TIME_ZONE;
  std::string MSG_TEXT;  // memo
  Str<1> IS_NAVCIS;
  std::string NAV_CODES;  // memo
  double SESSION = 0;  // N(8.0)
  Str<8> REC_DATE;
  Str<8> REC_TIME;
  double GROUP_CNT = 0;  // N(4.0)
  std::string GROUP_LIST;  // memo
};
extern HreStoreRec HRE;
extern File HreStore;

// File 40, OuiStore: messages of another reader's store.
struct OuiStoreRec {
  Str<10> IDENTIFIER;
  double INSTANCE = 0;  // N(4.0)
  Str<1> READ;
  Str<40> MSG_NUMBER;
  Str<40> MSG_PARENT;
  Str<40> ID_TOPMOST;
  double SECT_NUMB = 0;  // N(10.0)
  Str<20> SECT_NAME;
  Str<80> SUBJECT;
  double SESSION = 0;  // N(8.0)
  Str<1> REPLIES;
  Str<1> PARENT;
  double REPLY_NUM = 0;  // N(4.0)
  Str<1> KEEP;
  Str<1> DELETE;
  int32_t MSG_DATE = 0;  // day number
  Str<14> MSG_TIME;
  Str<5> MSG_ZONE;
  int32_t RECV_DATE = 0;  // day number
  Str<14> RECV_TIME;
  double STATUS = 0;  // N(10.0)
  Str<5> NETWORK;
  double EXTRA = 0;  // N(10.0)
  Str<10> RECV_IDPAR;
  std::string RECV_ID;  // memo
  Str<10> SEND_IDPAR;
  std::string SEND_ID;  // memo
  std::string MSG_BODY;  // memo
  std::string MSG_EXTRA;  // memo
  std::string MSG_ATTACH;  // memo
};
extern OuiStoreRec OUI;
extern File OuiStore;
}  // namespace qv
