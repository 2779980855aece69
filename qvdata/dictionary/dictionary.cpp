#include "dictionary/dictionary.h"

#include <array>

namespace qv {

namespace {

// Indexed by file number; built on first use so that it never depends on the
// order in which the declaring translation units are initialised.
const std::array<File*, kLastFileNumber + 1>& numberTable() {
  static const std::array<File*, kLastFileNumber + 1> table = [] {
    std::array<File*, kLastFileNumber + 1> t{};
    t[FileCodes] = &Codes;
    t[FileForums] = &Forums;
    t[FileMsgNmbr] = &MsgNmbr;
    t[FileMsgText] = &MsgText;
    t[FilePerson] = &Person;
    t[FileSections] = &Sections;
    t[FileThreads] = &Threads;
    t[FileControl] = &Control;
    t[FileSIndex] = &SIndex;
    t[FileImpHeader] = &ImpHeader;
    t[FileHreStore] = &HreStore;
    t[FileRawFile] = &RawFile;
    t[FileMail] = &Mail;
    t[FileSubjects] = &Subjects;
    t[FileExtras] = &Extras;
    t[FileCCR] = &CCRFile;
    t[FileImpRegistry] = &ImpRegistry;
    t[FileImpCCR] = &ImpCCR;
    t[FileCcoStore] = &CcoStore;
    t[FileCmaStore] = &CmaStore;
    t[FileDbRef] = &DbRef;
    t[FilePLINK] = &PLINK;
    t[FileImpThreadId] = &ImpThreadId;
    t[FileMsgIdIndex] = &MsgIdIndex;
    t[FileTasks] = &Tasks;
    t[FileFileList] = &FileList;
    t[FileWordList] = &WordList;
    t[FileMasIdx] = &MasIdx;
    t[FileStopList] = &StopList;
    t[FileRawFile2] = &RawFile2;
    t[FileSearch] = &Search;
    t[FilePurgeList] = &PurgeList;
    t[FileBatches] = &Batches;
    t[FileTaskBatch] = &TaskBatch;
    t[FileOriginals] = &Originals;
    t[FileImpOriginal] = &ImpOriginal;
    t[FileWordDefs] = &WordDefs;
    t[FileOuiStore] = &OuiStore;
    return t;
  }();
  return table;
}

}  // namespace

File* fileByNumber(int n) {
  if (n < kFirstFileNumber || n > kLastFileNumber) return nullptr;
  return numberTable()[static_cast<size_t>(n)];
}

FilePlace filePlace(int n) {
  switch (n) {
    case FileForums:
    case FileControl:
    case FileImpRegistry:
    case FileTasks:
    case FileFileList:
    case FileStopList:
    case FileBatches:
    case FileTaskBatch: return FilePlace::Config;
    case FileImpHeader:
    case FileImpCCR:
    case FileImpThreadId:
    case FileImpOriginal:
    case FileSearch: return FilePlace::Temp;
    case FileWordList:
    case FileMasIdx:
    case FilePurgeList:
    case FileWordDefs: return FilePlace::WordIndex;
    case FileHreStore:
    case FileRawFile:
    case FileCcoStore:
    case FileCmaStore:
    case FileRawFile2:
    case FileOuiStore: return FilePlace::Source;
    default: return FilePlace::Database;
  }
}

bool olderFormatFile(int n) { return n == FileDbRef || n == FileWordList || n == FilePurgeList; }

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
