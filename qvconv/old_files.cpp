#include "old_files.h"

#include "dictionary/passwords.h"

namespace qvconv {

using qv::DeclBuilder;
using qv::FileDecl;
using qv::KeyDup;
using qv::KeyNoCase;
using qv::KeyPrimary;
using qv::KeyUnique;

// The old files carry the numbers of the files they become; they are opened
// by name, never through the file service.
OldForums30Rec OF3;
static FileDecl& oldForums30Decl() {
  static FileDecl d = [] {
    FileDecl decl{0, "Forums", "FOR", "ARDENT"};
    decl.password = qv::kPassword7;
    DeclBuilder<OldForums30Rec> b(decl, OF3);
    b.field("ID", &OldForums30Rec::ID)
        .field("DESCRIPTION", &OldForums30Rec::DESCRIPTION)
        .field("DIRNUMBER", &OldForums30Rec::DIRNUMBER)
        .field("TYPE", &OldForums30Rec::TYPE)
        .field("NOIMPORT", &OldForums30Rec::NOIMPORT)
        .field("MSGCOUNT", &OldForums30Rec::MSGCOUNT)
        .field("COUNTFLAG", &OldForums30Rec::COUNTFLAG)
        .field("DUMMY", &OldForums30Rec::DUMMY)
        .field("CREATED", &OldForums30Rec::CREATED);
    b.key("ForumKey", {{"ID"}}, KeyUnique | KeyPrimary).key("DirKey", {{"DIRNUMBER"}}, KeyDup);
    return decl;
  }();
  return d;
}
File OldForums30(oldForums30Decl());
Key OF3_ForumKey = OldForums30.key("ForumKey");

OldForums40Rec OF4;
static FileDecl& oldForums40Decl() {
  static FileDecl d = [] {
    FileDecl decl{0, "Forums", "FOR", "ARDENT"};
    decl.password = qv::kPassword7;
    DeclBuilder<OldForums40Rec> b(decl, OF4);
    b.field("ID", &OldForums40Rec::ID)
        .field("DESCRIPTION", &OldForums40Rec::DESCRIPTION)
        .field("DIRNUMBER", &OldForums40Rec::DIRNUMBER)
        .field("TYPE", &OldForums40Rec::TYPE)
        .field("NOIMPORT", &OldForums40Rec::NOIMPORT)
        .field("MSGCOUNT", &OldForums40Rec::MSGCOUNT)
        .field("COUNTFLAG", &OldForums40Rec::COUNTFLAG)
        .field("DUMMY", &OldForums40Rec::DUMMY)
        .field("CREATED", &OldForums40Rec::CREATED)
        .field("LOWDATE", &OldForums40Rec::LOWDATE)
        .field("MAILADDRESS", &OldForums40Rec::MAILADDRESS)
        .field("PERSONID", &OldForums40Rec::PERSONID)
        .field("ALTADDRESS", &OldForums40Rec::ALTADDRESS)
        .field("LASTMSGID", &OldForums40Rec::LASTMSGID)
        .field("RECSLASTTIME", &OldForums40Rec::RECSLASTTIME)
        .field("WORDLISTINDEXNEEDSUPDATE", &OldForums40Rec::WORDLISTINDEXNEEDSUPDATE)
        .field("INDEXTYPE", &OldForums40Rec::INDEXTYPE);
    b.key("ForumKey", {{"ID"}}, KeyUnique | KeyPrimary)
        .key("AlphaKey", {{"DESCRIPTION"}}, KeyUnique | KeyNoCase)
        .key("DirKey", {{"DIRNUMBER"}}, KeyUnique)
        .key("TypeKey", {{"TYPE"}}, KeyDup);
    return decl;
  }();
  return d;
}
File OldForums40(oldForums40Decl());
Key OF4_ForumKey = OldForums40.key("ForumKey");

OldFileListRec OFL;
static FileDecl& oldFileListDecl() {
  static FileDecl d = [] {
    FileDecl decl{0, "FileList", "FLI", "ARDENT"};
    DeclBuilder<OldFileListRec> b(decl, OFL);
    b.field("ID", &OldFileListRec::ID).field("FILESPEC", &OldFileListRec::FILESPEC);
    b.key("IDKEY", {{"ID"}, {"FILESPEC"}}, KeyUnique | KeyPrimary);
    return decl;
  }();
  return d;
}
File OldFileList(oldFileListDecl());
Key OFL_IDKEY = OldFileList.key("IDKEY");

MailBoxesRec MBX;
static FileDecl& mailBoxesDecl() {
  static FileDecl d = [] {
    FileDecl decl{0, "MailBoxes", "MBX", "ARDENT"};
    DeclBuilder<MailBoxesRec> b(decl, MBX);
    b.field("OWNER", &MailBoxesRec::OWNER).field("PERSONID", &MailBoxesRec::PERSONID);
    b.key("OwnerKey", {{"OWNER"}}, KeyDup | KeyNoCase);
    return decl;
  }();
  return d;
}
File MailBoxes(mailBoxesDecl());
Key MBX_OwnerKey = MailBoxes.key("OwnerKey");

OldMailRec OMA;
static FileDecl& oldMailDecl() {
  static FileDecl d = [] {
    FileDecl decl{0, "Mail", "MAI", "ARDENT"};
    decl.password = qv::kPassword7;
    DeclBuilder<OldMailRec> b(decl, OMA);
    b.field("DATE", &OldMailRec::DATE)
        .field("TIME", &OldMailRec::TIME)
        .field("SUBJECT", &OldMailRec::SUBJECT)
        .field("MAILID", &OldMailRec::MAILID)
        .field("FROMID", &OldMailRec::FROMID)
        .field("FROMALPHA", &OldMailRec::FROMALPHA)
        .field("TOID", &OldMailRec::TOID)
        .field("TOALPHA", &OldMailRec::TOALPHA)
        .field("PAIRID", &OldMailRec::PAIRID)
        .field("PAIRALPHA", &OldMailRec::PAIRALPHA)
        .field("RECIPTYPE", &OldMailRec::RECIPTYPE)
        .field("CCR", &OldMailRec::CCR)
        .field("DUMMY", &OldMailRec::DUMMY)
        .field("FG", &OldMailRec::FG)
        .field("MAILBOX", &OldMailRec::MAILBOX);
    b.key("IdKey", {{"MAILID", true}}, KeyUnique | KeyPrimary)
        .key("BoxKey", {{"MAILBOX"}, {"MAILID"}}, KeyDup | KeyNoCase);
    return decl;
  }();
  return d;
}
File OldMail(oldMailDecl());
Key OMA_IdKey = OldMail.key("IdKey");
Key OMA_BoxKey = OldMail.key("BoxKey");

OldMsgTextRec OTX;
static FileDecl& oldMsgTextDecl() {
  static FileDecl d = [] {
    FileDecl decl{0, "MsgText", "TXT", "ARDENT"};
    DeclBuilder<OldMsgTextRec> b(decl, OTX);
    b.field("MSGNUMBER", &OldMsgTextRec::MSGNUMBER)
        .field("DATE", &OldMsgTextRec::DATE)
        .field("TIME", &OldMsgTextRec::TIME)
        .memo("MsgText", &OldMsgTextRec::MsgText, 64000);
    b.key("IdKey", {{"MSGNUMBER"}}, KeyUnique | KeyPrimary).key("DateKey", {{"DATE"}}, KeyDup);
    return decl;
  }();
  return d;
}
File OldMsgText(oldMsgTextDecl());
Key OTX_IdKey = OldMsgText.key("IdKey");

OldPersonRec OPE;
static FileDecl& oldPersonDecl() {
  static FileDecl d = [] {
    FileDecl decl{0, "Person", "PER", "ARDENT"};
    DeclBuilder<OldPersonRec> b(decl, OPE);
    b.field("PERSONID", &OldPersonRec::PERSONID)
        .field("PERSONSTRING", &OldPersonRec::PERSONSTRING)
        .field("LASTNAME", &OldPersonRec::LASTNAME)
        .field("FIRSTNAME", &OldPersonRec::FIRSTNAME)
        .field("ADDRESS", &OldPersonRec::ADDRESS)
        .field("FROMCOUNT", &OldPersonRec::FROMCOUNT)
        .field("TOCOUNT", &OldPersonRec::TOCOUNT)
        .field("DUMMY", &OldPersonRec::DUMMY);
    b.key("PersonKey", {{"PERSONID"}}, KeyUnique | KeyPrimary)
        .key("StringKey", {{"PERSONSTRING"}}, KeyUnique | KeyNoCase);
    return decl;
  }();
  return d;
}
File OldPerson(oldPersonDecl());
Key OPE_PersonKey = OldPerson.key("PersonKey");

OldCodesRec OCO;
static FileDecl& oldCodesDecl() {
  static FileDecl d = [] {
    FileDecl decl{0, "Codes", "COD", "ARDENT"};
    DeclBuilder<OldCodesRec> b(decl, OCO);
    b.field("TYPE", &OldCodesRec::TYPE)
        .field("INDEX", &OldCodesRec::INDEX)
        .field("ID", &OldCodesRec::ID)
        .field("COUNT", &OldCodesRec::COUNT);
    b.key("ClassKey", {{"TYPE"}, {"INDEX"}}, KeyUnique | KeyNoCase | KeyPrimary);
    return decl;
  }();
  return d;
}
File OldCodes(oldCodesDecl());
Key OCO_ClassKey = OldCodes.key("ClassKey");

}  // namespace qvconv
