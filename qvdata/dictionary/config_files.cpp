#include "dictionary/config_files.h"

#include "dictionary/file_numbers.h"
#include "dictionary/passwords.h"

namespace qv {

ForumsRec FOR;
static FileDecl& forumsDecl() {
  static FileDecl d = [] {
    FileDecl decl{FileForums, "Forums", "FOR", "ARDENT"};
    decl.password = kPassword7;
    DeclBuilder<ForumsRec> b(decl, FOR);
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
    return decl;
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
    FileDecl decl{FileControl, "Control", "CTL", "ARDENT"};
    decl.password = kPassword12;
    DeclBuilder<ControlRec> b(decl, CTL);
    b.field("ID", &ControlRec::ID).field("NEXTNUMBER", &ControlRec::NEXTNUMBER);
    b.beginGroup("CTLGROUP").field("CTLFIELD", &ControlRec::CTLFIELD).endGroup();
    b.key("IdKey", {{"ID"}}, KeyUnique | KeyPrimary);
    return decl;
  }();
  return d;
}
File Control(controlDecl());
Key CTL_IdKey = Control.key("IdKey");

ImpRegistryRec IMP;
static FileDecl& impRegistryDecl() {
  static FileDecl d = [] {
    FileDecl decl{FileImpRegistry, "ImpRegistry", "IMP", "ARDENT"};
    DeclBuilder<ImpRegistryRec> b(decl, IMP);
    b.field("FORUMNUMBER", &ImpRegistryRec::FORUMNUMBER).field("MSGNUMBER", &ImpRegistryRec::MSGNUMBER);
    b.key("IDKEY", {{"FORUMNUMBER"}, {"MSGNUMBER"}}, KeyUnique | KeyPrimary);
    return decl;
  }();
  return d;
}
File ImpRegistry(impRegistryDecl());
Key IMP_IDKEY = ImpRegistry.key("IDKEY");

TasksRec TAS;
static FileDecl& tasksDecl() {
  static FileDecl d = [] {
    FileDecl decl{FileTasks, "Tasks", "TAS", "ARDENT"};
    DeclBuilder<TasksRec> b(decl, TAS);
    b.field("ID", &TasksRec::ID)
        .field("DESCRIPTION", &TasksRec::DESCRIPTION)
        .field("RUNNOWDATE", &TasksRec::RUNNOWDATE)
        .field("RUNNOWTIME", &TasksRec::RUNNOWTIME)
        .field("RUNNEXTDATE", &TasksRec::RUNNEXTDATE)
        .field("RUNNEXTTIME", &TasksRec::RUNNEXTTIME)
        .field("LASTRUNDATE", &TasksRec::LASTRUNDATE)
        .field("LASTRUNTIME", &TasksRec::LASTRUNTIME);
    b.beginGroup("DAILYREPEAT").field("DAYS", &TasksRec::DAYS).endGroup();
    b.beginGroup("MONTHLYREPEAT").field("MONTHDAYS", &TasksRec::MONTHDAYS).endGroup();
    b.field("DODUPELIM", &TasksRec::DODUPELIM)
        .field("DOPURGE", &TasksRec::DOPURGE)
        .field("DOCOUNT", &TasksRec::DOCOUNT)
        .field("DOINDEX", &TasksRec::DOINDEX)
        .field("RESULTCODE", &TasksRec::RESULTCODE)
        .field("ACTIVE", &TasksRec::ACTIVE);
    b.key("IDKEY", {{"ID"}}, KeyUnique | KeyPrimary);
    return decl;
  }();
  return d;
}
File Tasks(tasksDecl());
Key TAS_IDKEY = Tasks.key("IDKEY");

BatchesRec BAT;
static FileDecl& batchesDecl() {
  static FileDecl d = [] {
    FileDecl decl{FileBatches, "Batches", "BAT", "ARDENT"};
    DeclBuilder<BatchesRec> b(decl, BAT);
    b.field("ID", &BatchesRec::ID)
        .field("TYPE", &BatchesRec::TYPE)
        .field("DESCRIPTION", &BatchesRec::DESCRIPTION)
        .field("DATABASE", &BatchesRec::DATABASE)
        .field("FILETYPE", &BatchesRec::FILETYPE)
        .field("IMPPATH", &BatchesRec::IMPPATH)
        .field("SELMETHOD", &BatchesRec::SELMETHOD)
        .field("MAILBOX", &BatchesRec::MAILBOX)
        .field("MAILMSG", &BatchesRec::MAILMSG)
        .field("FORUMMSG", &BatchesRec::FORUMMSG)
        .field("NEWSGROUPMSG", &BatchesRec::NEWSGROUPMSG)
        .field("MSGFILTER", &BatchesRec::MSGFILTER)
        .field("ALLOWREIMP", &BatchesRec::ALLOWREIMP)
        .field("MAILTOPIC", &BatchesRec::MAILTOPIC);
    b.key("IDKEY", {{"ID"}}, KeyUnique | KeyPrimary).key("TYPEKEY", {{"TYPE"}}, KeyDup);
    return decl;
  }();
  return d;
}
File Batches(batchesDecl());
Key BAT_IDKEY = Batches.key("IDKEY");
Key BAT_TYPEKEY = Batches.key("TYPEKEY");

TaskBatchRec TIM;
static FileDecl& taskBatchDecl() {
  static FileDecl d = [] {
    FileDecl decl{FileTaskBatch, "TaskBatch", "TIM", "ARDENT"};
    DeclBuilder<TaskBatchRec> b(decl, TIM);
    b.field("TASKID", &TaskBatchRec::TASKID)
        .field("BATCHID", &TaskBatchRec::BATCHID)
        .field("EVENTTIME", &TaskBatchRec::EVENTTIME)
        .field("RESULTCODE", &TaskBatchRec::RESULTCODE);
    b.key("TASKKEY", {{"TASKID"}, {"BATCHID"}}, KeyUnique | KeyPrimary).key("BATCHKEY", {{"BATCHID"}}, KeyDup);
    return decl;
  }();
  return d;
}
File TaskBatch(taskBatchDecl());
Key TIM_TASKKEY = TaskBatch.key("TASKKEY");
Key TIM_BATCHKEY = TaskBatch.key("BATCHKEY");

FileListRec FLI;
static FileDecl& fileListDecl() {
  static FileDecl d = [] {
    FileDecl decl{FileFileList, "FileList", "FLI", "ARDENT"};
    DeclBuilder<FileListRec> b(decl, FLI);
    b.field("ID", &FileListRec::ID).field("FILESPEC", &FileListRec::FILESPEC);
    b.key("IDKEY", {{"ID"}, {"FILESPEC"}}, KeyUnique | KeyPrimary);
    return decl;
  }();
  return d;
}
File FileList(fileListDecl());
Key FLI_IDKEY = FileList.key("IDKEY");

StopListRec STO;
static FileDecl& stopListDecl() {
  static FileDecl d = [] {
    FileDecl decl{FileStopList, "StopList", "STO", "ARDENT"};
    DeclBuilder<StopListRec> b(decl, STO);
    b.field("THEWORD", &StopListRec::THEWORD);
    b.key("BY_THEWORD", {{"THEWORD"}}, KeyUnique | KeyNoCase | KeyExcludeEmpty | KeyPrimary);
    return decl;
  }();
  return d;
}
File StopList(stopListDecl());
Key STO_BY_THEWORD = StopList.key("BY_THEWORD");

StopMovesRec SMV;
static FileDecl& stopMovesDecl() {
  static FileDecl d = [] {
    FileDecl decl{FileUnnumbered, "StopMoves", "SMV", "ARDENT"};
    DeclBuilder<StopMovesRec> b(decl, SMV);
    b.field("THEWORD", &StopMovesRec::THEWORD).field("DATABASE", &StopMovesRec::DATABASE);
    b.key("BY_THEWORD", {{"THEWORD"}}, KeyUnique | KeyNoCase | KeyExcludeEmpty | KeyPrimary);
    return decl;
  }();
  return d;
}
File StopMoves(stopMovesDecl());
Key SMV_BY_THEWORD = StopMoves.key("BY_THEWORD");

}  // namespace qv
