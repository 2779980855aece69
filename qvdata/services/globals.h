// Process-wide state shared by the program and the library's procedures.
#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace qv {

// Run modes (Mem.DoTask).
enum RunMode : int {
  RunInteractive = 0,
  RunTaskDue = 1,       // the scheduler found a task that is due and asked for it to start
  RunUnattended = 2,    // a scheduled task runs: nothing is shown
  RunAbandoning = 6,    // a faulty import procedure is being abandoned: nothing is shown
};

struct MemState {
  int DoTask = RunInteractive;
  std::string Net;          // the program's shared root; holds CFG
  std::string Dirnamn;      // subdirectory of the current database ("F" + directory number)
  uint32_t ForumNumber = 0; // FOR.ID of the current database
  std::string Description;  // FOR.DESCRIPTION of the current database
  std::string TempDir;      // temporary files
  std::string FileDir;      // root of the database subdirectories
  int ForumType = 0;        // the DbKind of the current database (0: none)
  uint32_t PersonID = 0;    // mail databases: the mailbox owner
  int32_t WordListIndexNeedsUpdate = 0;
};

extern MemState Mem;
extern std::string FileName;     // the file being opened
extern std::string FileTmpName;  // full path of an external file (files 11, 12, 20, 21, 31, 40)
extern std::string MasIdxPath;   // root of the word-index files
extern int GlobalRequest;
extern int GlobalResponse;
extern int32_t VCRRequest;
extern uint8_t IndexingInProgress;
// Word-breaking character classes, indexed by Windows-1252 code.
extern std::array<uint8_t, 256> IsJunkHash, StartWordHash, InWordHash, EndWordHash;

// True in the run modes where nothing may be shown (2 and 6).
inline bool unattended() { return Mem.DoTask == RunUnattended || Mem.DoTask == RunAbandoning; }

// Joins path parts with "/", trimming trailing blanks of each part.
std::string joinPath(std::initializer_list<std::string> parts);

}  // namespace qv
