// The procedures the frame starts, by their fixed numbers.
#pragma once

#include <QString>

namespace qvm {

struct Procedure {
  int number;
  const char* thread;       // thread name (mail databases where two are given)
  const char* threadOther;  // thread name for forum and newsgroup databases; nullptr: as `thread`
  int semafore;             // the library's start routine; 0: a window of the program
  int command;              // rows without a thread: the command posted to the running browse
  bool exclusive;           // needs the database to itself: the other windows close first
  bool toolBarOff;          // posts 1288 to the frame first
  bool noDatabaseTitle;     // the title shows "[No Active Database]" while it runs
};

// The procedure of a number; nullptr for a number the frame does not know.
const Procedure* procedure(int number);
// The thread name that a procedure runs under for a database kind.
QString threadName(const Procedure& p, int kind);
// True when this build has the procedure's window: for a command to the
// browse, when the browse answers it (itself or with a window it opens).
bool procedureInVersion(const Procedure& p, int kind);
// True when the procedure can be started now: it is in this version and, for
// a command to the browse, the browse of the database's kind runs.
bool procedureAvailable(const Procedure& p, int kind);

// Procedure numbers used by the frame itself.
enum ProcedureNumber : int {
  ProcImportWizard = 1,
  ProcChangeDatabase = 2,
  ProcPreferences = 3,
  ProcWordIndexStatus = 6,
  ProcBrowseMessages = 7,
  ProcBrowsePersons = 8,
  ProcMailBoxSetup = 9,
  ProcMergeDuplicates = 10,
  ProcCountMessages = 11,
  ProcPurgeMessages = 12,
  ProcCopyToClipboard = 13,
  ProcAbout = 20,
  ProcMergeDatabases = 21,
  ProcRebuild = 22,
  ProcThreadTree = 24,
  ProcStandardSearch = 25,
  ProcTopics = 26,
  ProcAttachTopics = 27,
  ProcScheduleTasks = 28,
  ProcRunTask = 29,
  ProcBuildIndex = 30,
  ProcIndexedWords = 31,
  ProcNonIndexedWords = 32,
  ProcDefineImports = 35,
  ProcShowTaskLog = 36,
  ProcProSearch = 37,
  ProcSearchWizard = 38,
  ProcExportAddresses = 40,
  ProcExportMessages = 41,
  ProcPrintMessages = 42,
  ProcClassifySets = 43,
};

}  // namespace qvm
