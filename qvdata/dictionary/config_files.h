// Files of the configuration area (CFG): the database list, the control file
// with the ID counter and the settings blocks, the import registry, scheduled
// tasks, import definitions and the stop list.
#pragma once

#include <array>
#include <cstdint>

#include "storage/file.h"

namespace qv {

// File 2, Forums (CFG/IDX002.ADF): the database list, one record per database.
struct ForumsRec {
  uint32_t ID = 0;
  Str<100> DESCRIPTION;
  uint32_t DIRNUMBER = 0;
  uint8_t TYPE = 0;  // 1 forum, 2 mail, 3 newsgroup
  uint8_t NOIMPORT = 0;
  uint32_t MSGCOUNT = 0;
  uint8_t COUNTFLAG = 0;
  uint8_t DUMMY = 0;  // 0 normal, 1 keep, 2 delete
  int32_t CREATED = 0;
  int32_t LOWDATE = 0;
  Str<60> MAILADDRESS;
  uint32_t PERSONID = 0;
  std::array<Str<60>, 10> ALTADDRESS;  // 0-based here; the system numbers them 1..10
  uint32_t LASTMSGID = 0;
  uint32_t RECSLASTTIME = 0;
  int32_t WORDLISTINDEXNEEDSUPDATE = 0;
  uint8_t INDEXTYPE = 0;
};
extern ForumsRec FOR;
extern File Forums;
extern Key FOR_ForumKey, FOR_AlphaKey, FOR_DirKey, FOR_TypeKey;

// File 8, Control (CFG/IDX008.ADF): one record per settings block, by CTL.ID.
struct ControlRec {
  uint8_t ID = 0;
  uint32_t NEXTNUMBER = 0;
  std::array<uint8_t, 200> CTLFIELD{};  // the group CTLGROUP: 200 one-byte settings
};
extern ControlRec CTL;
extern File Control;
extern Key CTL_IdKey;

// File 18, ImpRegistry (CFG/IDX018.ADF): the (database, source message number)
// pairs already imported, asked by the importer before it posts a message.
struct ImpRegistryRec {
  uint32_t FORUMNUMBER = 0;  // a database ID
  uint32_t MSGNUMBER = 0;    // the message number as the source numbered it
};
extern ImpRegistryRec IMP;
extern File ImpRegistry;
extern Key IMP_IDKEY;

// File 26, Tasks (CFG/IDX026.ADF): scheduled tasks.
struct TasksRec {
  uint32_t ID = 0;
  Str<50> DESCRIPTION;
  int32_t RUNNOWDATE = 0;
  int32_t RUNNOWTIME = 0;
  int32_t RUNNEXTDATE = 0;
  int32_t RUNNEXTTIME = 0;
  int32_t LASTRUNDATE = 0;
  int32_t LASTRUNTIME = 0;
  std::array<uint8_t, 7> DAYS{};       // group DAILYREPEAT: one flag per weekday (0-based here)
  std::array<uint8_t, 5> MONTHDAYS{};  // group MONTHLYREPEAT (0-based here)
  uint8_t DODUPELIM = 0;  // after the imports: duplicate elimination,
  uint8_t DOPURGE = 0;    // purge,
  uint8_t DOCOUNT = 0;    // count,
  uint8_t DOINDEX = 0;    // word indexing
  uint8_t RESULTCODE = 0;
  uint8_t ACTIVE = 0;
};
extern TasksRec TAS;
extern File Tasks;
extern Key TAS_IDKEY;

// File 34, Batches (CFG/IDX034.ADF): predefined import procedures.
struct BatchesRec {
  uint32_t ID = 0;
  uint32_t TYPE = 0;  // source format
  Str<50> DESCRIPTION;
  uint32_t DATABASE = 0;  // target database ID
  uint8_t FILETYPE = 0;
  Str<100> IMPPATH;
  uint8_t SELMETHOD = 0;  // selected files, or files by extension in a directory tree
  uint32_t MAILBOX = 0;   // target mail database ID
  uint8_t MAILMSG = 0;
  uint8_t FORUMMSG = 0;
  uint8_t NEWSGROUPMSG = 0;
  uint8_t MSGFILTER = 0;
  uint8_t ALLOWREIMP = 0;  // 1 = already imported messages are not skipped
  uint32_t MAILTOPIC = 0;  // topic ID given to imported mail
};
extern BatchesRec BAT;
extern File Batches;
extern Key BAT_IDKEY, BAT_TYPEKEY;

// File 35, TaskBatch (CFG/IDX035.ADF): the batches a task runs.
struct TaskBatchRec {
  uint32_t TASKID = 0;
  uint32_t BATCHID = 0;
  int32_t EVENTTIME = 0;
  uint8_t RESULTCODE = 0;
};
extern TaskBatchRec TIM;
extern File TaskBatch;
extern Key TIM_TASKKEY, TIM_BATCHKEY;

// File 27, FileList (CFG/IDX027.ADF): the file and directory specifications
// of a batch.
struct FileListRec {
  uint32_t ID = 0;  // batch ID
  Str<100> FILESPEC;
};
extern FileListRec FLI;
extern File FileList;
extern Key FLI_IDKEY;

// File 30, StopList (CFG/IDX030.ADF): the installation's stop words.
struct StopListRec {
  Str<40> THEWORD;
};
extern StopListRec STO;
extern File StopList;
extern Key STO_BY_THEWORD;

// StopMoves (CFG/STOPMOVE.ADF, no file number): the stop words that an
// indexing run's frequent-word move put on the stop list, each with the
// database whose run moved it. A full run of that database gives them back
// to indexing; words the user put on the stop list are not listed here.
struct StopMovesRec {
  Str<40> THEWORD;
  uint32_t DATABASE = 0;  // FOR.ID of the database whose run moved the word
};
extern StopMovesRec SMV;
extern File StopMoves;
extern Key SMV_BY_THEWORD;

}  // namespace qv
