#include "dictionary/dictionary.h"

#include <array>

namespace qv {

namespace {

// Indexed by file number; built on first use so that it never depends on the
// order in which the declaring translation units are initialised.
const std::array<File*, 41>& numberTable() {
  static const std::array<File*, 41> table = [] {
    std::array<File*, 41> t{};
    t[1] = &Codes;
    t[2] = &Forums;
    t[3] = &MsgNmbr;
    t[4] = &MsgText;
    t[5] = &Person;
    t[6] = &Sections;
    t[7] = &Threads;
    t[8] = &Control;
    t[9] = &SIndex;
    t[10] = &ImpHeader;
    t[11] = &HreStore;
    t[12] = &RawFile;
    t[13] = &Mail;
    t[14] = &Subjects;
    t[17] = &CCRFile;
    t[18] = &ImpRegistry;
    t[19] = &ImpCCR;
    t[20] = &CcoStore;
    t[21] = &CmaStore;
    t[22] = &DbRef;
    t[23] = &PLINK;
    t[24] = &ImpThreadId;
    t[25] = &MsgIdIndex;
    t[26] = &Tasks;
    t[27] = &FileList;
    t[28] = &WordList;
    t[29] = &MasIdx;
    t[30] = &StopList;
    t[31] = &RawFile2;
    t[32] = &Search;
    t[33] = &PurgeList;
    t[34] = &Batches;
    t[35] = &TaskBatch;
    t[39] = &WordDefs;
    t[40] = &OuiStore;
    return t;
  }();
  return table;
}

}  // namespace

File* fileByNumber(int n) {
  if (n < 1 || n > 40) return nullptr;
  return numberTable()[static_cast<size_t>(n)];
}

const std::vector<File*>& allDeclaredFiles() {
  static const std::vector<File*> all = [] {
    std::vector<File*> v;
    for (File* f : numberTable())
      if (f) v.push_back(f);
    v.push_back(&LineFile);
    v.push_back(&LineFile2);
    v.push_back(&StopMoves);
    return v;
  }();
  return all;
}

}  // namespace qv
