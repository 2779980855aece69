#include "dictionary/external_files.h"

#include "dictionary/file_numbers.h"

namespace qv {

// The other readers' dBASE/FoxPro tables are read through the DBF driver,
// registered in the keyed-file layer under this name.
constexpr const char* kDbfDriver = "FoxPro";

LineFileRec ASC;
static FileDecl& lineFileDecl() {
  static FileDecl d = [] {
    FileDecl decl{FileUnnumbered, "LineFile", "ASC", "LINE"};
    DeclBuilder<LineFileRec> b(decl, ASC);
    b.memo("LINE", &LineFileRec::LINE, kLineMax);
    return decl;
  }();
  return d;
}
File LineFile(lineFileDecl());

LineFile2Rec EXP;
static FileDecl& lineFile2Decl() {
  static FileDecl d = [] {
    FileDecl decl{FileUnnumbered, "LineFile2", "EXP", "LINE"};
    DeclBuilder<LineFile2Rec> b(decl, EXP);
    b.memo("LINE", &LineFile2Rec::LINE, kLineMax);
    return decl;
  }();
  return d;
}
File LineFile2(lineFile2Decl());

RawFileRec DOS;
static FileDecl& rawFileDecl() {
  static FileDecl d = [] {
    FileDecl decl{FileRawFile, "RawFile", "DOS", "FLAT"};
    DeclBuilder<RawFileRec> b(decl, DOS);
    b.field("CHAR", &RawFileRec::CHAR);
    return decl;
  }();
  return d;
}
File RawFile(rawFileDecl());

RawFile2Rec TOC;
static FileDecl& rawFile2Decl() {
  static FileDecl d = [] {
    FileDecl decl{FileRawFile2, "RawFile2", "TOC", "FLAT"};
    DeclBuilder<RawFile2Rec> b(decl, TOC);
    b.field("CHAR", &RawFile2Rec::CHAR);
    return decl;
  }();
  return d;
}
File RawFile2(rawFile2Decl());

CcoStoreRec CCO;
static FileDecl& ccoStoreDecl() {
  static FileDecl d = [] {
    FileDecl decl{FileCcoStore, "CcoStore", "CCO", kDbfDriver};
    DeclBuilder<CcoStoreRec> b(decl, CCO);
    b.field("MSG_NUMBER", &CcoStoreRec::MSG_NUMBER)
        .field("MSG_DATE", &CcoStoreRec::MSG_DATE)
        .field("MSG_TIME", &CcoStoreRec::MSG_TIME)
        .field("MSG_SUBJEC", &CcoStoreRec::MSG_SUBJEC)
        .field("MSG_SENDER", &CcoStoreRec::MSG_SENDER)
        .field("MSG_SENDID", &CcoStoreRec::MSG_SENDID)
        .field("MSG_RECVR", &CcoStoreRec::MSG_RECVR)
        .field("MSG_RECVID", &CcoStoreRec::MSG_RECVID)
        .field("MSG_PARENT", &CcoStoreRec::MSG_PARENT)
        .field("MSG_NXTSIB", &CcoStoreRec::MSG_NXTSIB)
        .field("MSG_FSTCHD", &CcoStoreRec::MSG_FSTCHD)
        .field("MSG_THRDID", &CcoStoreRec::MSG_THRDID)
        .field("MSG_SECTNO", &CcoStoreRec::MSG_SECTNO)
        .field("MSG_SECT", &CcoStoreRec::MSG_SECT)
        .memo("MSG_TEXT", &CcoStoreRec::MSG_TEXT, kDbfMemoMax)
        .field("MSG_FLAGS", &CcoStoreRec::MSG_FLAGS)
        .field("MSG_SEQ", &CcoStoreRec::MSG_SEQ)
        .field("MSG_ISFROM", &CcoStoreRec::MSG_ISFROM)
        .field("MSG_ISTO", &CcoStoreRec::MSG_ISTO)
        .field("MSG_TAGGED", &CcoStoreRec::MSG_TAGGED)
        .field("MSG_MARKED", &CcoStoreRec::MSG_MARKED)
        .field("MSG_UNREAD", &CcoStoreRec::MSG_UNREAD)
        .field("MSG_ISROOT", &CcoStoreRec::MSG_ISROOT);
    return decl;
  }();
  return d;
}
File CcoStore(ccoStoreDecl());

CmaStoreRec CMA;
static FileDecl& cmaStoreDecl() {
  static FileDecl d = [] {
    FileDecl decl{FileCmaStore, "CmaStore", "CMA", kDbfDriver};
    DeclBuilder<CmaStoreRec> b(decl, CMA);
    b.field("MSG_NUMBER", &CmaStoreRec::MSG_NUMBER)
        .field("MSG_DATE", &CmaStoreRec::MSG_DATE)
        .field("MSG_TIME", &CmaStoreRec::MSG_TIME)
        .field("MSG_SUBJEC", &CmaStoreRec::MSG_SUBJEC)
        .field("MSG_SENDER", &CmaStoreRec::MSG_SENDER)
        .memo("MSG_SENDID", &CmaStoreRec::MSG_SENDID, kDbfMemoMax)
        .field("MSG_RECVR", &CmaStoreRec::MSG_RECVR)
        .memo("MSG_RECVID", &CmaStoreRec::MSG_RECVID, kDbfMemoMax)
        .field("MSG_PARENT", &CmaStoreRec::MSG_PARENT)
        .memo("MSG_TEXT", &CmaStoreRec::MSG_TEXT, kDbfMemoMax)
        .field("MSG_FLAGS", &CmaStoreRec::MSG_FLAGS)
        .field("MSG_SEQ", &CmaStoreRec::MSG_SEQ)
        .field("MSG_ISFROM", &CmaStoreRec::MSG_ISFROM)
        .field("MSG_ISTO", &CmaStoreRec::MSG_ISTO)
        .field("MSG_TAGGED", &CmaStoreRec::MSG_TAGGED)
        .field("MSG_MARKED", &CmaStoreRec::MSG_MARKED)
        .field("MSG_UNREAD", &CmaStoreRec::MSG_UNREAD);
    return decl;
  }();
  return d;
}
File CmaStore(cmaStoreDecl());

HreStoreRec HRE;
static FileDecl& hreStoreDecl() {
  static FileDecl d = [] {
    FileDecl decl{FileHreStore, "HreStore", "HRE", kDbfDriver};
    DeclBuilder<HreStoreRec> b(decl, HRE);
    b.field("IS_MAIL", &HreStoreRec::IS_MAIL)
        .field("FORUM_NAME", &HreStoreRec::FORUM_NAME)
        .field("INTERNAL", &HreStoreRec::INTERNAL)
        .field("SEC_NUMBER", &HreStoreRec::SEC_NUMBER)
        .field("SEC_NAME", &HreStoreRec::SEC_NAME)
        .field("SUBJECT", &HreStoreRec::SUBJECT)
        .field("SEND_ID", &HreStoreRec::SEND_ID)
        .field("FROMNET", &HreStoreRec::FROMNET)
        .field("SEND_NAME", &HreStoreRec::SEND_NAME)
        .field("RECV_ID", &HreStoreRec::RECV_ID)
        .field("RECV_NAME", &HreStoreRec::RECV_NAME)
        .field("MSG_NUMBER", &HreStoreRec::MSG_NUMBER)
        .field("MSG_PARENT", &HreStoreRec::MSG_PARENT)
        .field("RECEIVED", &HreStoreRec::RECEIVED)
        .field("IS_PRIVATE", &HreStoreRec::IS_PRIVATE)
        .field("REPLIED", &HreStoreRec::REPLIED)
        .field("SAVED", &HreStoreRec::SAVED)
        .field("REPLIES", &HreStoreRec::REPLIES)
        .field("RECEIPT", &HreStoreRec::RECEIPT)
        .field("BINARY", &HreStoreRec::BINARY)
        .field("DL", &HreStoreRec::DL)
        .field("BFILENAME", &HreStoreRec::BFILENAME)
        .field("KEEP", &HreStoreRec::KEEP)
        .field("IS_DELETE", &HreStoreRec::IS_DELETE)
        .field("MSG_DATE", &HreStoreRec::MSG_DATE)
        .field("MSG_TIME", &HreStoreRec::MSG_TIME)
        .field("TIME_ZONE", &HreStoreRec::TIME_ZONE)
        .memo("MSG_TEXT", &HreStoreRec::MSG_TEXT, kDbfMemoMax)
        .field("IS_NAVCIS", &HreStoreRec::IS_NAVCIS)
        .memo("NAV_CODES", &HreStoreRec::NAV_CODES, kDbfMemoMax)
        .field("SESSION", &HreStoreRec::SESSION)
        .field("REC_DATE", &HreStoreRec::REC_DATE)
        .field("REC_TIME", &HreStoreRec::REC_TIME)
        .field("GROUP_CNT", &HreStoreRec::GROUP_CNT)
        .memo("GROUP_LIST", &HreStoreRec::GROUP_LIST, kDbfMemoMax);
    return decl;
  }();
  return d;
}
File HreStore(hreStoreDecl());

OuiStoreRec OUI;
static FileDecl& ouiStoreDecl() {
  static FileDecl d = [] {
    FileDecl decl{FileOuiStore, "OuiStore", "OUI", kDbfDriver};
    DeclBuilder<OuiStoreRec> b(decl, OUI);
    b.field("IDENTIFIER", &OuiStoreRec::IDENTIFIER)
        .field("INSTANCE", &OuiStoreRec::INSTANCE)
        .field("READ", &OuiStoreRec::READ)
        .field("MSG_NUMBER", &OuiStoreRec::MSG_NUMBER)
        .field("MSG_PARENT", &OuiStoreRec::MSG_PARENT)
        .field("ID_TOPMOST", &OuiStoreRec::ID_TOPMOST)
        .field("SECT_NUMB", &OuiStoreRec::SECT_NUMB)
        .field("SECT_NAME", &OuiStoreRec::SECT_NAME)
        .field("SUBJECT", &OuiStoreRec::SUBJECT)
        .field("SESSION", &OuiStoreRec::SESSION)
        .field("REPLIES", &OuiStoreRec::REPLIES)
        .field("PARENT", &OuiStoreRec::PARENT)
        .field("REPLY_NUM", &OuiStoreRec::REPLY_NUM)
        .field("KEEP", &OuiStoreRec::KEEP)
        .field("DELETE", &OuiStoreRec::DELETE)
        .field("MSG_DATE", &OuiStoreRec::MSG_DATE)
        .field("MSG_TIME", &OuiStoreRec::MSG_TIME)
        .field("MSG_ZONE", &OuiStoreRec::MSG_ZONE)
        .field("RECV_DATE", &OuiStoreRec::RECV_DATE)
        .field("RECV_TIME", &OuiStoreRec::RECV_TIME)
        .field("STATUS", &OuiStoreRec::STATUS)
        .field("NETWORK", &OuiStoreRec::NETWORK)
        .field("EXTRA", &OuiStoreRec::EXTRA)
        .field("RECV_IDPAR", &OuiStoreRec::RECV_IDPAR)
        .memo("RECV_ID", &OuiStoreRec::RECV_ID, kDbfMemoMax)
        .field("SEND_IDPAR", &OuiStoreRec::SEND_IDPAR)
        .memo("SEND_ID", &OuiStoreRec::SEND_ID, kDbfMemoMax)
        .memo("MSG_BODY", &OuiStoreRec::MSG_BODY, kDbfMemoMax)
        .memo("MSG_EXTRA", &OuiStoreRec::MSG_EXTRA, kDbfMemoMax)
        .memo("MSG_ATTACH", &OuiStoreRec::MSG_ATTACH, kDbfMemoMax);
    return decl;
  }();
  return d;
}
File OuiStore(ouiStoreDecl());
}  // namespace qv
