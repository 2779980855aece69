#include "dictionary/database_files.h"

#include "dictionary/file_numbers.h"
#include "dictionary/original_limits.h"
#include "dictionary/passwords.h"

namespace qv {

MsgNmbrRec MSG;
static FileDecl& msgNmbrDecl() {
  static FileDecl d = [] {
    FileDecl decl{FileMsgNmbr, "MsgNmbr", "MSG", "ARDENT"};
    DeclBuilder<MsgNmbrRec> b(decl, MSG);
    b.field("MSGNUMBER", &MsgNmbrRec::MSGNUMBER)
        .field("SECSYSID", &MsgNmbrRec::SECSYSID)
        .field("REFNUMBER", &MsgNmbrRec::REFNUMBER)
        .field("THREADNUMBER", &MsgNmbrRec::THREADNUMBER)
        .field("THREADALPHA", &MsgNmbrRec::THREADALPHA)
        .field("FROMID", &MsgNmbrRec::FROMID)
        .field("FROMALPHA", &MsgNmbrRec::FROMALPHA)
        .field("TOID", &MsgNmbrRec::TOID)
        .field("TOALPHA", &MsgNmbrRec::TOALPHA)
        .field("DATE", &MsgNmbrRec::DATE)
        .field("DUMMY", &MsgNmbrRec::DUMMY)
        .field("FG", &MsgNmbrRec::FG);
    b.key("IdKey", {{"MSGNUMBER", true}}, KeyUnique | KeyPrimary)
        .key("Threadkey", {{"THREADALPHA"}, {"THREADNUMBER"}, {"MSGNUMBER"}}, KeyDup | KeyNoCase)
        .key("SECkey", {{"SECSYSID"}, {"THREADALPHA"}, {"THREADNUMBER"}, {"MSGNUMBER"}}, KeyDup | KeyNoCase)
        .key("FromKey", {{"FROMALPHA"}, {"FROMID"}, {"MSGNUMBER", true}}, KeyDup | KeyNoCase)
        .key("ToKey", {{"TOALPHA"}, {"TOID"}, {"MSGNUMBER", true}}, KeyDup | KeyNoCase)
        .key("DateKey", {{"DATE", true}, {"MSGNUMBER", true}}, KeyDup | KeyNoCase)
        .key("StatusKey", {{"DUMMY"}}, KeyDup);
    return decl;
  }();
  return d;
}
File MsgNmbr(msgNmbrDecl());
Key MSG_IdKey = MsgNmbr.key("IdKey");
Key MSG_Threadkey = MsgNmbr.key("Threadkey");
Key MSG_SECkey = MsgNmbr.key("SECkey");
Key MSG_FromKey = MsgNmbr.key("FromKey");
Key MSG_ToKey = MsgNmbr.key("ToKey");
Key MSG_DateKey = MsgNmbr.key("DateKey");
Key MSG_StatusKey = MsgNmbr.key("StatusKey");

MsgTextRec TXT;
static FileDecl& msgTextDecl() {
  static FileDecl d = [] {
    FileDecl decl{FileMsgText, "MsgText", "TXT", "ARDENT"};
    DeclBuilder<MsgTextRec> b(decl, TXT);
    b.field("MSGNUMBER", &MsgTextRec::MSGNUMBER)
        .field("DATE", &MsgTextRec::DATE)
        .field("TIME", &MsgTextRec::TIME)
        .memo("MsgText", &MsgTextRec::MsgText, 64000);
    b.key("IdKey", {{"MSGNUMBER"}}, KeyUnique | KeyPrimary).key("DateKey", {{"DATE"}}, KeyDup);
    return decl;
  }();
  return d;
}
File MsgText(msgTextDecl());
Key TXT_IdKey = MsgText.key("IdKey");
Key TXT_DateKey = MsgText.key("DateKey");

PersonRec PER;
static FileDecl& personDecl() {
  static FileDecl d = [] {
    FileDecl decl{FilePerson, "Person", "PER", "ARDENT"};
    DeclBuilder<PersonRec> b(decl, PER);
    b.field("PERSONID", &PersonRec::PERSONID)
        .field("PERSONSTRING", &PersonRec::PERSONSTRING)
        .field("LASTNAME", &PersonRec::LASTNAME)
        .field("FIRSTNAME", &PersonRec::FIRSTNAME)
        .field("ADDRESS", &PersonRec::ADDRESS)
        .field("FROMCOUNT", &PersonRec::FROMCOUNT)
        .field("TOCOUNT", &PersonRec::TOCOUNT)
        .field("LASTDATE", &PersonRec::LASTDATE)
        .field("DUMMY", &PersonRec::DUMMY);
    b.key("PersonKey", {{"PERSONID"}}, KeyUnique | KeyPrimary)
        .key("StringKey", {{"PERSONSTRING"}}, KeyUnique | KeyNoCase)
        .key("AddressKey", {{"ADDRESS"}}, KeyDup)
        .key("NameKey", {{"LASTNAME"}, {"FIRSTNAME"}}, KeyDup);
    return decl;
  }();
  return d;
}
File Person(personDecl());
Key PER_PersonKey = Person.key("PersonKey");
Key PER_StringKey = Person.key("StringKey");
Key PER_AddressKey = Person.key("AddressKey");
Key PER_NameKey = Person.key("NameKey");

PLINKRec PLI;
static FileDecl& plinkDecl() {
  static FileDecl d = [] {
    FileDecl decl{FilePLINK, "PLINK", "PLI", "ARDENT"};
    DeclBuilder<PLINKRec> b(decl, PLI);
    b.field("PERSONSTRING", &PLINKRec::PERSONSTRING).field("PERSONID", &PLINKRec::PERSONID);
    b.key("StringKey", {{"PERSONSTRING"}}, KeyUnique | KeyNoCase | KeyPrimary)
        .key("PersonKey", {{"PERSONID"}}, KeyDup);
    return decl;
  }();
  return d;
}
File PLINK(plinkDecl());
Key PLI_StringKey = PLINK.key("StringKey");
Key PLI_PersonKey = PLINK.key("PersonKey");

SectionsRec SEC;
static FileDecl& sectionsDecl() {
  static FileDecl d = [] {
    FileDecl decl{FileSections, "Sections", "SEC", "ARDENT"};
    DeclBuilder<SectionsRec> b(decl, SEC);
    b.field("SECTIONNUMBER", &SectionsRec::SECTIONNUMBER)
        .field("SECSYSID", &SectionsRec::SECSYSID)
        .field("DESCRIPTION", &SectionsRec::DESCRIPTION)
        .field("MSGCOUNT", &SectionsRec::MSGCOUNT)
        .field("DUMMY", &SectionsRec::DUMMY);
    b.key("SysIdKey", {{"SECSYSID"}}, KeyUnique | KeyPrimary).key("SectionKey", {{"SECTIONNUMBER"}}, KeyDup);
    return decl;
  }();
  return d;
}
File Sections(sectionsDecl());
Key SEC_SysIdKey = Sections.key("SysIdKey");
Key SEC_SectionKey = Sections.key("SectionKey");

ThreadsRec THR;
static FileDecl& threadsDecl() {
  static FileDecl d = [] {
    FileDecl decl{FileThreads, "Threads", "THR", "ARDENT"};
    DeclBuilder<ThreadsRec> b(decl, THR);
    b.field("THREADNUMBER", &ThreadsRec::THREADNUMBER).field("SECSYSID", &ThreadsRec::SECSYSID);
    b.beginGroup("HEADING").field("ALPHA", &ThreadsRec::ALPHA).field("BETA", &ThreadsRec::BETA).endGroup();
    b.field("MSGCOUNT", &ThreadsRec::MSGCOUNT).field("DUMMY", &ThreadsRec::DUMMY);
    b.key("ThreadKey", {{"THREADNUMBER"}}, KeyUnique | KeyPrimary)
        .key("SecKey", {{"SECSYSID"}, {"ALPHA"}}, KeyDup)
        .key("AlphaKey", {{"ALPHA"}}, KeyDup)
        .key("StatusKey", {{"DUMMY"}}, KeyDup);
    return decl;
  }();
  return d;
}
File Threads(threadsDecl());
Key THR_ThreadKey = Threads.key("ThreadKey");
Key THR_SecKey = Threads.key("SecKey");
Key THR_AlphaKey = Threads.key("AlphaKey");
Key THR_StatusKey = Threads.key("StatusKey");

MailRec MAI;
static FileDecl& mailDecl() {
  static FileDecl d = [] {
    FileDecl decl{FileMail, "Mail", "MAI", "ARDENT"};
    decl.password = kPassword7;
    DeclBuilder<MailRec> b(decl, MAI);
    b.field("DATE", &MailRec::DATE)
        .field("TIME", &MailRec::TIME)
        .field("SUBJECT", &MailRec::SUBJECT)
        .field("MAILID", &MailRec::MAILID)
        .field("FROMID", &MailRec::FROMID)
        .field("FROMALPHA", &MailRec::FROMALPHA)
        .field("TOID", &MailRec::TOID)
        .field("TOALPHA", &MailRec::TOALPHA)
        .field("PAIRID", &MailRec::PAIRID)
        .field("PAIRALPHA", &MailRec::PAIRALPHA)
        .field("RECIPTYPE", &MailRec::RECIPTYPE)
        .field("CCR", &MailRec::CCR)
        .field("DUMMY", &MailRec::DUMMY)
        .field("FG", &MailRec::FG);
    // Every group of mail lists the newest first: date, time and ID descend
    // after the leading components.
    b.key("IdKey", {{"MAILID", true}}, KeyUnique | KeyPrimary)
        .key("DateKey", {{"DATE", true}, {"TIME", true}, {"MAILID", true}}, KeyDup | KeyNoCase)
        .key("PairKey", {{"PAIRALPHA"}, {"PAIRID"}, {"DATE", true}, {"TIME", true}, {"MAILID", true}},
             KeyDup | KeyNoCase)
        .key("FromKey", {{"FROMALPHA"}, {"FROMID"}, {"DATE", true}, {"TIME", true}, {"MAILID", true}},
             KeyDup | KeyNoCase)
        .key("ToKey", {{"TOALPHA"}, {"TOID"}, {"DATE", true}, {"TIME", true}, {"MAILID", true}},
             KeyDup | KeyNoCase)
        .key("SubjectKey", {{"SUBJECT"}, {"DATE", true}, {"TIME", true}, {"MAILID", true}}, KeyDup | KeyNoCase)
        .key("StatusKey", {{"DUMMY"}}, KeyDup);
    return decl;
  }();
  return d;
}
File Mail(mailDecl());
Key MAI_IdKey = Mail.key("IdKey");
Key MAI_DateKey = Mail.key("DateKey");
Key MAI_PairKey = Mail.key("PairKey");
Key MAI_FromKey = Mail.key("FromKey");
Key MAI_ToKey = Mail.key("ToKey");
Key MAI_SubjectKey = Mail.key("SubjectKey");
Key MAI_StatusKey = Mail.key("StatusKey");

CCRRec CCR;
static FileDecl& ccrDecl() {
  static FileDecl d = [] {
    FileDecl decl{FileCCR, "CCR", "CCR", "ARDENT"};
    DeclBuilder<CCRRec> b(decl, CCR);
    b.field("MAILID", &CCRRec::MAILID)
        .field("R_NAME", &CCRRec::R_NAME)
        .field("R_CISADRESS", &CCRRec::R_CISADRESS)
        .field("RECIPTYPE", &CCRRec::RECIPTYPE);
    b.key("IdKey", {{"MAILID"}, {"R_CISADRESS"}, {"R_NAME"}}, KeyUnique | KeyPrimary);
    return decl;
  }();
  return d;
}
File CCRFile(ccrDecl());
Key CCR_IdKey = CCRFile.key("IdKey");

MsgIdIndexRec MST;
static FileDecl& msgIdIndexDecl() {
  static FileDecl d = [] {
    FileDecl decl{FileMsgIdIndex, "MsgIdIndex", "MST", "ARDENT"};
    DeclBuilder<MsgIdIndexRec> b(decl, MST);
    b.field("IDSTRING", &MsgIdIndexRec::IDSTRING).field("MSGNUMBER", &MsgIdIndexRec::MSGNUMBER);
    b.key("IDSTRINGKEY", {{"IDSTRING"}}, KeyUnique | KeyPrimary)
        .key("IDKEY", {{"MSGNUMBER"}}, KeyUnique);
    return decl;
  }();
  return d;
}
File MsgIdIndex(msgIdIndexDecl());
Key MST_IDSTRINGKEY = MsgIdIndex.key("IDSTRINGKEY");
Key MST_IDKEY = MsgIdIndex.key("IDKEY");

SubjectsRec SUB;
static FileDecl& subjectsDecl() {
  static FileDecl d = [] {
    FileDecl decl{FileSubjects, "Subjects", "SUB", "ARDENT"};
    DeclBuilder<SubjectsRec> b(decl, SUB);
    b.field("ID", &SubjectsRec::ID).memo("SUBJECT", &SubjectsRec::SUBJECT, kSubjectMax);
    b.key("IdKey", {{"ID"}}, KeyUnique | KeyPrimary);
    return decl;
  }();
  return d;
}
File Subjects(subjectsDecl());
Key SUB_IdKey = Subjects.key("IdKey");

ExtrasRec EXT;
static FileDecl& extrasDecl() {
  static FileDecl d = [] {
    FileDecl decl{FileExtras, "Extras", "EXT", "ARDENT"};
    DeclBuilder<ExtrasRec> b(decl, EXT);
    b.field("ID", &ExtrasRec::ID)
        .field("KIND", &ExtrasRec::KIND)
        .field("PERSONSTRING", &ExtrasRec::PERSONSTRING)
        .field("TIME", &ExtrasRec::TIME)
        .memo("LASTNAME", &ExtrasRec::LASTNAME, kWholeNameMax)
        .memo("FIRSTNAME", &ExtrasRec::FIRSTNAME, kWholeNameMax)
        .memo("ADDRESS", &ExtrasRec::ADDRESS, kWholeNameMax);
    b.key("IdKey", {{"ID"}, {"KIND"}, {"PERSONSTRING"}}, KeyUnique | KeyNoCase | KeyPrimary);
    return decl;
  }();
  return d;
}
File Extras(extrasDecl());
Key EXT_IdKey = Extras.key("IdKey");

OriginalsRec ORI;
static FileDecl& originalsDecl() {
  static FileDecl d = [] {
    FileDecl decl{FileOriginals, "Originals", "ORI", "ARDENT"};
    decl.pageSize = kOriginalsPageSize;
    DeclBuilder<OriginalsRec> b(decl, ORI);
    b.field("MSGID", &OriginalsRec::MSGID)
        .field("HASH", &OriginalsRec::HASH)
        .field("SIZE", &OriginalsRec::SIZE)
        .field("PACKING", &OriginalsRec::PACKING)
        .field("REFS", &OriginalsRec::REFS)
        .memo("DATA", &OriginalsRec::DATA, kOriginalMaxBytes);
    b.key("IdKey", {{"MSGID"}, {"HASH"}}, KeyUnique | KeyPrimary);
    return decl;
  }();
  return d;
}
File Originals(originalsDecl());
Key ORI_IdKey = Originals.key("IdKey");

CodesRec COD;
static FileDecl& codesDecl() {
  static FileDecl d = [] {
    FileDecl decl{FileCodes, "Codes", "COD", "ARDENT"};
    DeclBuilder<CodesRec> b(decl, COD);
    b.field("TYPE", &CodesRec::TYPE)
        .field("INDEX", &CodesRec::INDEX)
        .field("ID", &CodesRec::ID)
        .field("COUNT", &CodesRec::COUNT)
        .field("DATE", &CodesRec::DATE)
        .field("TIME", &CodesRec::TIME)
        .field("CHARCASE", &CodesRec::CHARCASE)
        .field("WORDONLY", &CodesRec::WORDONLY);
    b.key("ClassKey", {{"TYPE"}, {"INDEX"}}, KeyUnique | KeyNoCase | KeyPrimary);
    return decl;
  }();
  return d;
}
File Codes(codesDecl());
Key COD_ClassKey = Codes.key("ClassKey");

SIndexRec SIN;
static FileDecl& sIndexDecl() {
  static FileDecl d = [] {
    FileDecl decl{FileSIndex, "SIndex", "SIN", "ARDENT"};
    DeclBuilder<SIndexRec> b(decl, SIN);
    b.field("ID", &SIndexRec::ID).field("MSGNUMBER", &SIndexRec::MSGNUMBER);
    b.key("IdKey", {{"ID"}, {"MSGNUMBER", true}}, KeyUnique | KeyPrimary)
        .key("MsgKey", {{"MSGNUMBER"}}, KeyDup);
    return decl;
  }();
  return d;
}
File SIndex(sIndexDecl());
Key SIN_IdKey = SIndex.key("IdKey");
Key SIN_MsgKey = SIndex.key("MsgKey");

DbRefRec REF;
static FileDecl& dbRefDecl() {
  static FileDecl d = [] {
    FileDecl decl{FileDbRef, "DbRef", "REF", "VELDRA"};
    DeclBuilder<DbRefRec> b(decl, REF);
    b.field("TYPE", &DbRefRec::TYPE)
        .field("DESCRIPTION", &DbRefRec::DESCRIPTION)
        .field("PERSONID", &DbRefRec::PERSONID)
        .field("MAILADDRESS", &DbRefRec::MAILADDRESS)
        .field("ALTADDRESS", &DbRefRec::ALTADDRESS);
    return decl;
  }();
  return d;
}
File DbRef(dbRefDecl());

}  // namespace qv
