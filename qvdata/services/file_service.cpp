#include "services/file_service.h"

#include <sys/stat.h>

#include <array>
#include <cstdio>
#include <filesystem>

#include "dictionary/dictionary.h"
#include "services/globals.h"
#include "services/installation.h"
#include "services/paths.h"
#include "services/prompt.h"
#include "storage/collation.h"
#include "storage/file.h"
#include "storage/sqlite_driver.h"

namespace fs = std::filesystem;

namespace qv {

namespace {

std::array<int, kLastFileNumber + 1> counts{};

std::string nnn(int n) {
  char b[8];
  std::snprintf(b, sizeof b, "%03d", n);
  return b;
}

bool isOneOf(int n, std::initializer_list<int> list) {
  for (int x : list)
    if (x == n) return true;
  return false;
}

std::string directoryOf(const std::string& path) {
  size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? std::string(".") : path.substr(0, slash);
}

[[noreturn]] void fatal(const std::string& text, const std::string& caption, const std::string& last = "") {
  Message(text, caption, Icon::Hand);
  Halt(last.empty() ? text : last);
}

// A file whose stored layout differs may be deleted and made anew only when
// it holds nothing worth keeping: the files of the temporary directory always
// (each run empties them before use, and again when it ends), and a few small
// files while they hold no records.
bool disposable(int n, const std::string& path, const std::string& label) {
  if (filePlace(n) == FilePlace::Temp) return true;
  if (!isOneOf(n, {FileCodes, FileSIndex, FileSubjects, FileExtras, FileImpRegistry, FileFileList,
                   FileTaskBatch, FileDbRef, FileTasks, FilePurgeList, FileBatches}))
    return false;
  return storedRecordCount(path, label) == 0;
}

void removeArchiveFile(const std::string& path) {
  std::error_code ec;
  for (const char* suffix : {"", "-journal", "-wal", "-shm"}) fs::remove(path + suffix, ec);
}

// A word-index file of a database whose word index lives under a root of
// its own (not the database root).
bool underOwnWordIndexRoot(int n) {
  return filePlace(n) == FilePlace::WordIndex && !Mem.Dirnamn.empty() &&
         compareNoCase(trimRight(MasIdxPath), trimRight(Mem.FileDir)) != 0;
}

// Opens file n in the share mode of the action, recovering from the failures
// that can be recovered from. Returns false only for a probe that found a
// differing layout. An installation opened for reading opens every file
// read-only and repairs nothing: a file that is not there stays closed and
// reads as empty, as does a word index or temporary directory never made;
// a missing database or configuration directory is reported as for a
// writer, since the archive that should be there is not.
bool openDeclared(int n, File& f, int action) {
  bool reading = installationReadOnly();
  // A database's word index may live under its own root: its directory is
  // made there for every action that opens the file.
  if (underOwnWordIndexRoot(n) && !reading) makePrivateDirectory(joinPath({MasIdxPath, Mem.Dirnamn}));
  Share share = Share::Shared;
  if (action == OpShared && (n == FileHreStore || n == FileRawFile)) share = Share::ReadOnly;
  if (action == OpExclusive) share = Share::Exclusive;
  if (action == OpEmpty || action == OpPack || action == OpProbe) share = Share::DenyWrite;
  if (reading) share = Share::ReadOnly;

  FileName = filePath(n);
  f.setName(FileName);
  const std::string& name = FileName;
  for (int attempt = 0;; ++attempt) {
    if (f.isOpen() || f.open(share)) return true;
    int code = ErrorCode();
    std::string text = ErrorText();
    if (attempt >= 4) code = ErrOther;  // recovery did not help: report what is left
    switch (code) {
      case ErrFileNotFound:
        if (reading) return true;
        if (!f.create())
          fatal("The file " + name +
                    " is missing!\r\nThis file cannot be created by the program\r\nand Quorvane will terminate.",
                "File Open Error");
        continue;
      case ErrPathNotFound:
        // A word index under its own root that was never built, or a
        // temporary directory never made, holds nothing to read; a missing
        // database or configuration directory is an archive gone missing.
        if (reading && (underOwnWordIndexRoot(n) || filePlace(n) == FilePlace::Temp)) return true;
        fatal("The path " + directoryOf(name) + " does not exist.\r\nQuorvane will terminate.", "Path Not Found",
              "Check your directory setup in Preferences and run File/Rebuild.");
      case ErrAccessDenied:
      case ErrHeld:
        if (action == OpEmpty)
          fatal("The file " + name + " cannot be emptied.\r\nExclusive access not granted \r\nQuorvane will terminate.",
                "File Empty Error");
        fatal("The file " + name + " cannot be opened!\r\nQuorvane will terminate.", " File Open Error - Access denied",
              "Check your network access rights or the possible need for SHARE or VSHARE");
      case ErrInterrupted:
        fatal("The file " + name +
                  " was left unfinished by an interrupted job\r\nand cannot be read here.\r\nQuorvane will terminate.",
              " File Open Error - Interrupted job",
              "Run the interrupted job again where the installation can be written, which repairs the file.");
      case ErrInvalidFileName:
        fatal("The file " + name +
                  " cannot be opened.\r\nThe filename is not a valid DOS file name \r\nQuorvane will terminate.",
              "Invalid File Name Error");
      case ErrBadKeys:
        if (reading)
          fatal("The file " + name + " cannot be read\r\ndue to corrupted indices.\r\nQuorvane will terminate.",
                "File Open Error - Bad keys");
        if (!unattended())
          Message("The file " + name + " cannot be opened\r\ndue to corrupted indices.\r\nAutomatic rebuild will take place.",
                  "File Open Error - Bad keys", Icon::Exclamation);
        if (!f.buildKeys())
          fatal("The file " + name + " cannot be rebuilt.\r\nQuorvane will terminate.", "File Rebuild Error");
        continue;
      case ErrLayout:
        if (action == OpProbe) return false;
        if (!reading && disposable(n, name, f.label())) {
          removeArchiveFile(name);
          continue;
        }
        fatal("The file " + name +
                  " cannot be opened\r\nas the file definition is incorrect.\r\nQuorvane will terminate.",
              " File Open Error - Invalid record declaration");
      default:
        fatal("The file " + name + " cannot be opened.\r\nError no " + std::to_string(code) + "\r\n" + text +
                  "\r\nQuorvane will terminate.",
              "File Open Error");
    }
  }
}

// A file without a path, or a database file while no database is selected,
// has no place on disk: opening it would make a stray file.
void refuseUnplacedFile(int n) {
  std::string path = filePath(n);
  FilePlace place = filePlace(n);
  if (path.empty() || (Mem.Dirnamn.empty() && (place == FilePlace::Database || place == FilePlace::WordIndex)))
    fatal("The file " + path +
              " cannot be opened.\r\nThe filename is not a valid DOS file name or the path does not exist "
              "\r\nQuorvane will terminate.",
          "Invalid File Name Error");
}

}  // namespace

std::string filePath(int n) {
  std::string name = "IDX" + nnn(n) + (olderFormatFile(n) ? ".DAT" : ".ADF");
  switch (filePlace(n)) {
    case FilePlace::Config: return joinPath({Mem.Net, "CFG", name});
    case FilePlace::Temp: return joinPath({Mem.TempDir, name});
    case FilePlace::WordIndex: return joinPath({MasIdxPath, Mem.Dirnamn, name});
    case FilePlace::Source: return std::string(trimRight(FileTmpName));
    case FilePlace::Database: break;
  }
  return joinPath({Mem.FileDir, Mem.Dirnamn, name});
}

bool readableIfPresent(int n) {
  File& f = declaredFile(n);
  std::string path = filePath(n);
  if (f.isOpen() && f.name() == path) return true;
  if (useCount(n) > 0) return false;  // open for a procedure on another database
  std::error_code ec;
  if (!fs::exists(path, ec)) return false;
  f.close();
  f.setName(path);
  return f.open(Share::ReadOnly);
}

int useCount(int n) { return n >= kFirstFileNumber && n <= kLastFileNumber ? counts[n] : 0; }

File& declaredFile(int n) {
  File* f = fileByNumber(n);
  if (!f) {
    std::string text = centreLines("File no " + std::to_string(n) + " not defined!", 40) + "\r\n" +
                       centreLines("Quorvane will terminate!", 40);
    Message(text, "Program Failure!", Icon::Hand);
    Halt(text);
  }
  return *f;
}

bool OP_CLOSE(int action, std::initializer_list<int> files) { return OP_CLOSE(action, std::vector<int>(files)); }

bool OP_CLOSE(int action, const std::vector<int>& files) {
  bool layoutOk = true;
  for (int n : files) {
    File& f = declaredFile(n);
    switch (action) {
      case OpRelease:
        if (counts[n] > 0 && --counts[n] == 0) f.close();
        break;
      case OpForceClose:
        f.close();
        counts[n] = 0;
        break;
      case OpShared:
      case OpExclusive: {
        if (counts[n] == 0) {
          f.close();
          refuseUnplacedFile(n);
          openDeclared(n, f, action);
        }
        ++counts[n];
        break;
      }
      case OpEmpty:
      case OpPack:
      case OpProbe: {
        f.close();
        counts[n] = 0;
        refuseUnplacedFile(n);
        bool ok = openDeclared(n, f, action);
        if (!ok) {
          layoutOk = false;
          break;
        }
        if (action == OpEmpty && !f.empty())
          fatal("The file " + FileName + " cannot be emptied.\r\nExclusive access not granted \r\nQuorvane will terminate.",
                "File Empty Error");
        if (action == OpPack) f.pack();
        f.close();
        break;
      }
      case OpDelete: {
        counts[n] = 0;
        f.close();
        std::string path = filePath(n);
        std::error_code ec;
        if (fs::exists(path, ec) && !installationReadOnly()) removeArchiveFile(path);
        break;
      }
      default: break;
    }
  }
  return layoutOk;
}

}  // namespace qv
