#include "dictionary/temp_files.h"

#include "dictionary/database_files.h"
#include "dictionary/file_numbers.h"
#include "dictionary/original_limits.h"
#include "dictionary/passwords.h"

namespace qv {

SearchRec SEA;
static FileDecl& searchDecl() {
  static FileDecl d = [] {
    FileDecl decl{FileSearch, "Search", "SEA", "ARDENT"};
    decl.reusePositions = true;
    decl.scratch = true;
    DeclBuilder<SearchRec> b(decl, SEA);
    b.field("ID", &SearchRec::ID);
    b.key("IdKey", {{"ID", true}}, KeyUnique | KeyPrimary);
    return decl;
  }();
  return d;
}
File Search(searchDecl());
Key SEA_IdKey = Search.key("IdKey");

ImpHeaderRec NHR;
static FileDecl& impHeaderDecl() {
  static FileDecl d = [] {
    FileDecl decl{FileImpHeader, "ImpHeader", "NHR", "ARDENT"};
    decl.reusePositions = true;
    decl.scratch = true;
    decl.heldWhileOpen = true;
    decl.password = kPassword12;
    DeclBuilder<ImpHeaderRec> b(decl, NHR);
    b.field("INTERNAL", &ImpHeaderRec::INTERNAL)
        .field("MSGNUMBER", &ImpHeaderRec::MSGNUMBER)
        .field("REFNUMBER", &ImpHeaderRec::REFNUMBER)
        .field("FOR_DESCRIPTION", &ImpHeaderRec::FOR_DESCRIPTION)
        .field("SECTIONNUMBER", &ImpHeaderRec::SECTIONNUMBER)
        .field("SEC_DESCRIPTION", &ImpHeaderRec::SEC_DESCRIPTION)
        .field("HEADING", &ImpHeaderRec::HEADING)
        .field("S_CISADRESS", &ImpHeaderRec::S_CISADRESS)
        .field("S_NAME", &ImpHeaderRec::S_NAME)
        .field("R_CISADRESS", &ImpHeaderRec::R_CISADRESS)
        .field("R_NAME", &ImpHeaderRec::R_NAME)
        .field("DUMMY", &ImpHeaderRec::DUMMY)
        .field("DATE", &ImpHeaderRec::DATE)
        .field("TIME", &ImpHeaderRec::TIME)
        .field("MAILTYPE", &ImpHeaderRec::MAILTYPE)
        .field("RECIPTYPE", &ImpHeaderRec::RECIPTYPE)
        .field("IMPDATE", &ImpHeaderRec::IMPDATE)
        .field("IMPTIME", &ImpHeaderRec::IMPTIME)
        .memo("MSGTEXT", &ImpHeaderRec::MSGTEXT, 64000)
        .memo("SUBJECT", &ImpHeaderRec::SUBJECT, kSubjectMax)
        .memo("SENDER", &ImpHeaderRec::SENDER, kWholeNameMax)
        .memo("RECIPIENT", &ImpHeaderRec::RECIPIENT, kWholeNameMax);
    b.key("MSGKEY", {{"INTERNAL"}, {"MSGNUMBER"}}, KeyUnique | KeyPrimary);
    return decl;
  }();
  return d;
}
File ImpHeader(impHeaderDecl());
Key NHR_MSGKEY = ImpHeader.key("MSGKEY");

namespace {

std::string wholeName(std::string_view name) { return std::string(name.substr(0, utf8CutLength(name, kWholeNameMax))); }

}  // namespace

void setImportSender(std::string_view name) {
  NHR.S_NAME = name;
  NHR.SENDER = wholeName(name);
}

void setImportRecipient(std::string_view name) {
  NHR.R_NAME = name;
  NHR.RECIPIENT = wholeName(name);
}

std::string importSender() { return NHR.SENDER.empty() ? NHR.S_NAME.str() : NHR.SENDER; }

std::string importRecipient() { return NHR.RECIPIENT.empty() ? NHR.R_NAME.str() : NHR.RECIPIENT; }

ImpOriginalRec NHO;
static FileDecl& impOriginalDecl() {
  static FileDecl d = [] {
    FileDecl decl{FileImpOriginal, "ImpOriginal", "NHO", "ARDENT"};
    decl.reusePositions = true;
    decl.scratch = true;
    decl.heldWhileOpen = true;
    DeclBuilder<ImpOriginalRec> b(decl, NHO);
    b.field("INTERNAL", &ImpOriginalRec::INTERNAL)
        .field("MSGNUMBER", &ImpOriginalRec::MSGNUMBER)
        .field("STATE", &ImpOriginalRec::STATE)
        .field("HASH", &ImpOriginalRec::HASH)
        .field("SIZE", &ImpOriginalRec::SIZE)
        .field("PACKING", &ImpOriginalRec::PACKING)
        .memo("DATA", &ImpOriginalRec::DATA, kOriginalMaxBytes);
    b.key("MSGKEY", {{"INTERNAL"}, {"MSGNUMBER"}}, KeyUnique | KeyPrimary);
    return decl;
  }();
  return d;
}
File ImpOriginal(impOriginalDecl());
Key NHO_MSGKEY = ImpOriginal.key("MSGKEY");

ImpCCRRec CCT;
static FileDecl& impCcrDecl() {
  static FileDecl d = [] {
    FileDecl decl{FileImpCCR, "ImpCCR", "CCT", "ARDENT"};
    decl.reusePositions = true;
    decl.scratch = true;
    decl.heldWhileOpen = true;
    DeclBuilder<ImpCCRRec> b(decl, CCT);
    b.field("MAILID", &ImpCCRRec::MAILID)
        .field("R_NAME", &ImpCCRRec::R_NAME)
        .field("R_CISADRESS", &ImpCCRRec::R_CISADRESS)
        .field("RECIPTYPE", &ImpCCRRec::RECIPTYPE);
    b.key("IDKEY", {{"MAILID"}, {"R_CISADRESS"}, {"R_NAME"}}, KeyUnique | KeyPrimary);
    return decl;
  }();
  return d;
}
File ImpCCR(impCcrDecl());
Key CCT_IDKEY = ImpCCR.key("IDKEY");

ImpThreadIdRec TID;
static FileDecl& impThreadIdDecl() {
  static FileDecl d = [] {
    FileDecl decl{FileImpThreadId, "ImpThreadId", "TID", "ARDENT"};
    decl.reusePositions = true;
    decl.scratch = true;
    decl.heldWhileOpen = true;
    DeclBuilder<ImpThreadIdRec> b(decl, TID);
    b.field("IDSTRING", &ImpThreadIdRec::IDSTRING).field("MSGNUMBER", &ImpThreadIdRec::MSGNUMBER);
    b.key("IDKEY", {{"MSGNUMBER"}}, KeyUnique | KeyPrimary);
    return decl;
  }();
  return d;
}
File ImpThreadId(impThreadIdDecl());
Key TID_IDKEY = ImpThreadId.key("IDKEY");

}  // namespace qv
