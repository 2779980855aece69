#include "dictionary/config_files.h"

#include "dictionary/passwords.h"

namespace qv {

ForumsRec FOR;
static FileDecl& forumsDecl() {
  static FileDecl d = [] {
    FileDecl d{2, "Forums", "FOR", "ARDENT"};
    d.password = kPassword7;
    DeclBuilder<ForumsRec> b(d, FOR);
    b.field("ID", &ForumsRec::ID)
        .field("DESCRIPTION", &ForumsRec::DESCRIPTION)
        .field("DIRNUMBER", &ForumsRec::DIRNUMBER)
        .field("TYPE", &ForumsRec::TYPE)
        .field("NOIMPORT", &ForumsRec::NOIMPORT)
        .field("MSGCOUNT", &ForumsRec::MSGCOUNT)
        .field("COUNTFLAG", &ForumsRec::COUNTFLAG)
        .field("DUMMY", &ForumsRec::DUMMY)
        .field("CREATED", &ForumsRec::CREATED)
        .field("LOWDATE", &ForumsRec::LOWDATE)
        .field("MAILADDRESS", &ForumsRec::MAILADDRESS)
        .field("PERSONID", &ForumsRec::PERSONID)
        .field("ALTADDRESS", &ForumsRec::ALTADDRESS)
        .field("LASTMSGID", &ForumsRec::LASTMSGID)
        .field("RECSLASTTIME", &ForumsRec::RECSLASTTIME)
        .field("WORDLISTINDEXNEEDSUPDATE", &ForumsRec::WORDLISTINDEXNEEDSUPDATE)
        .field("INDEXTYPE", &ForumsRec::INDEXTYPE);
    b.key("ForumKey", {{"ID"}}, KeyUnique | KeyPrimary)
        .key("AlphaKey", {{"DESCRIPTION"}}, KeyUnique | KeyNoCase)
        .key("DirKey", {{"DIRNUMBER"}}, KeyUnique)
        .key("TypeKey", {{"TYPE"}}, KeyDup);
    return d;
  }();
  return d;
}
File Forums(forumsDecl());
Key FOR_ForumKey = Forums.key("ForumKey");
Key FOR_AlphaKey = Forums.key("AlphaKey");
Key FOR_DirKey = Forums.key("DirKey");
Key FOR_TypeKey = Forums.key("TypeKey");

ControlRec CTL;
static FileDecl& controlDecl() {
  static FileDecl d = [] {
    FileDecl d{8, "Control", "CTL", "ARDENT"};
    d.password = kPassword12;
    DeclBuilder<ControlRec> b(d, CTL);
    b.field("ID", &ControlRec::ID).field("NEXTNUMBER", &ControlRec::NEXTNUMBER);
    b.beginGroup("CTLGROUP").field("CTLFIELD", &ControlRec::CTLFIELD).endGroup();
    b.key("IdKey", {{"ID"}}, KeyUnique | KeyPrimary);
    return d;
  }();
  return d;
}
File Control(controlDecl());
Key CTL_IdKey = Control.key("IdKey");

}  // namespace qv
