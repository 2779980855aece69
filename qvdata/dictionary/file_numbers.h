// The numbers by which the declared files are opened, closed, emptied, packed
// and deleted (services/file_service.h), one name each. The number is part
// of every file's name on disk (IDX003.ADF is file 3).
#pragma once

namespace qv {

enum FileNumber : int {
  FileUnnumbered = 0,    // declared for a driver only, opened by its name
  FileCodes = 1,         // topics                                   F<n>/IDX001.ADF
  FileForums = 2,        // the database list                        CFG/IDX002.ADF
  FileMsgNmbr = 3,       // forum and newsgroup messages             F<n>/IDX003.ADF
  FileMsgText = 4,       // message texts                            F<n>/IDX004.ADF
  FilePerson = 5,        // persons                                  F<n>/IDX005.ADF
  FileSections = 6,      // sections                                 F<n>/IDX006.ADF
  FileThreads = 7,       // threads                                  F<n>/IDX007.ADF
  FileControl = 8,       // the ID counter and the settings blocks   CFG/IDX008.ADF
  FileSIndex = 9,        // topic links                              F<n>/IDX009.ADF
  FileImpHeader = 10,    // messages waiting to be posted            TEMP/IDX010.ADF
  FileHreStore = 11,     // a reader's DBF store                     (a source file)
  FileRawFile = 12,      // a source read as bytes                   (a source file)
  FileMail = 13,         // mail                                     F<n>/IDX013.ADF
  FileSubjects = 14,     // whole subjects                           F<n>/IDX014.ADF
  FileExtras = 15,       // what record fields cannot hold           F<n>/IDX015.ADF
  FileCCR = 17,          // carbon copies                            F<n>/IDX017.ADF
  FileImpRegistry = 18,  // the message save file                    CFG/IDX018.ADF
  FileImpCCR = 19,       // carbon copies waiting to be posted       TEMP/IDX019.ADF
  FileCcoStore = 20,     // a reader's DBF store                     (a source file)
  FileCmaStore = 21,     // a reader's DBF store                     (a source file)
  FileDbRef = 22,        // a database's self-description            F<n>/IDX022.DAT
  FilePLINK = 23,        // person string links                      F<n>/IDX023.ADF
  FileImpThreadId = 24,  // identifiers met by an import             TEMP/IDX024.ADF
  FileMsgIdIndex = 25,   // Message-IDs of a newsgroup               F<n>/IDX025.ADF
  FileTasks = 26,        // scheduled tasks                          CFG/IDX026.ADF
  FileFileList = 27,     // file lists of import definitions         CFG/IDX027.ADF
  FileWordList = 28,     // indexed words                            <index root>/F<n>/IDX028.DAT
  FileMasIdx = 29,       // word occurrences                         <index root>/F<n>/IDX029.ADF
  FileStopList = 30,     // words never indexed                      CFG/IDX030.ADF
  FileRawFile2 = 31,     // a second source read as bytes            (a source file)
  FileSearch = 32,       // the last search result                   TEMP/IDX032.ADF
  FilePurgeList = 33,    // words marked for removal                 <index root>/F<n>/IDX033.DAT
  FileBatches = 34,      // import definitions                       CFG/IDX034.ADF
  FileTaskBatch = 35,    // links of tasks and import definitions    CFG/IDX035.ADF
  FileOriginals = 36,    // raw bytes of mail and articles           F<n>/IDX036.ADF
  FileImpOriginal = 37,  // originals waiting to be posted           TEMP/IDX037.ADF
  FileWordDefs = 39,     // word-definition sets                     <index root>/F<n>/IDX039.ADF
  FileOuiStore = 40,     // a reader's DBF store                     (a source file)
};
constexpr int kFirstFileNumber = FileCodes;
constexpr int kLastFileNumber = FileOuiStore;

// Where a numbered file lives (services/file_service.h makes its path).
enum class FilePlace {
  Config,     // CFG under the installation's root
  Temp,       // the temporary directory
  Database,   // the current database's directory
  WordIndex,  // the current database's directory under the word-index root
  Source,     // a source file an import reads, named by FileTmpName
};
FilePlace filePlace(int number);
// A file of the older keyed format (.DAT); the others are .ADF.
bool olderFormatFile(int number);

}  // namespace qv
