#include "maintenance/rebuild_dirs.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <functional>

#include "dictionary/file_numbers.h"
#include "services/db_kind.h"
#include "services/dbref.h"
#include "services/file_scope.h"
#include "services/file_service.h"
#include "services/globals.h"
#include "storage/buffer_guard.h"

namespace fs = std::filesystem;

namespace qv {

namespace {

bool exists(const std::string& path) {
  std::error_code ec;
  return fs::is_regular_file(path, ec);
}

// Runs `fn` with F<dirNumber> as the current database directory and those
// of `files` that are there on disk open; puts the current directory back
// afterwards. A file still open under another directory's name is closed
// first, so that nothing is read from (or written to) the wrong database.
void inDirectory(uint32_t dirNumber, const std::vector<int>& files, const std::function<void(const std::vector<int>&)>& fn) {
  std::string saved = Mem.Dirnamn;
  Mem.Dirnamn = "F" + std::to_string(dirNumber);
  std::vector<int> there;
  for (int n : files) {
    if (!exists(filePath(n))) continue;
    if (useCount(n) > 0 && declaredFile(n).name() != filePath(n)) OP_CLOSE(OpForceClose, {n});
    // A file of another layout (a stray file) is not read.
    if (useCount(n) == 0 && !OP_CLOSE(OpProbe, {n})) continue;
    there.push_back(n);
  }
  {
    FileScope scope(there);
    fn(scope.files());
  }
  Mem.Dirnamn = saved;
}

bool has(const std::vector<int>& open, int n) { return std::find(open.begin(), open.end(), n) != open.end(); }

// The highest value of an ID field over a key, whichever way the key runs:
// its first and its last record.
uint32_t highestBy(File& f, const Key& k, const uint32_t& field) {
  uint32_t high = 0;
  f.set(k);
  if (f.next()) high = field;
  f.set(k);
  if (f.previous()) high = std::max(high, field);
  return high;
}

}  // namespace

std::string databaseDirectory(uint32_t dirNumber) { return joinPath({Mem.FileDir, "F" + std::to_string(dirNumber)}); }

std::string fileIn(uint32_t dirNumber, int number) {
  char name[16];
  std::snprintf(name, sizeof name, "IDX%03d.%s", number, olderFormatFile(number) ? "DAT" : "ADF");
  return joinPath({databaseDirectory(dirNumber), name});
}

DirFiles filesIn(uint32_t dirNumber) {
  DirFiles f;
  f.messages = exists(fileIn(dirNumber, FileMsgNmbr));
  f.persons = exists(fileIn(dirNumber, FilePerson));
  f.threads = exists(fileIn(dirNumber, FileThreads));
  f.mail = exists(fileIn(dirNumber, FileMail));
  f.messageIds = exists(fileIn(dirNumber, FileMsgIdIndex));
  return f;
}

int kindOfFiles(const DirFiles& f) {
  if (f.messageIds && f.messages && f.threads && !f.mail) return DirNews;
  if (f.messages && f.threads && !f.mail && !f.messageIds) return DirForum;
  if (f.mail && !f.messages) return DirMail;
  if (f.persons && !f.messages && !f.threads && !f.mail && !f.messageIds) return DirPersonsOnly;
  return DirUnrecognisable;
}

bool noMessageFiles(const DirFiles& f) { return !f.messages && !f.threads && !f.mail && !f.messageIds; }

std::vector<uint32_t> databaseDirectories() {
  std::vector<uint32_t> out;
  std::error_code ec;
  for (fs::directory_iterator it(Mem.FileDir, ec), end; !ec && it != end; it.increment(ec)) {
    if (!it->is_directory(ec) || it->is_symlink(ec)) continue;
    std::string name = it->path().filename().string();
    if (name.size() < 2 || name.size() > 11 || (name[0] != 'F' && name[0] != 'f')) continue;
    if (name.find_first_not_of("0123456789", 1) != std::string::npos) continue;
    unsigned long long n = std::stoull(name.substr(1));
    if (n == 0 || n > 0xffffffffULL) continue;
    // Only the name the program makes: "F" and the number without leading zeros.
    if (name != "F" + std::to_string(n)) continue;
    out.push_back(uint32_t(n));
  }
  std::sort(out.begin(), out.end());
  return out;
}

bool readDbRef(uint32_t dirNumber) {
  bool found = false;
  REF = DbRefRec();
  inDirectory(dirNumber, {FileDbRef}, [&](const std::vector<int>& open) {
    if (!has(open, FileDbRef)) return;
    DbRef.setFileOrder();
    found = DbRef.next();
  });
  if (!found) REF = DbRefRec();
  return found;
}

bool writeDbRef(uint32_t dirNumber, int mode) {
  bool ok = false;
  std::string saved = Mem.Dirnamn;
  Mem.Dirnamn = "F" + std::to_string(dirNumber);
  if (useCount(FileDbRef) > 0 && declaredFile(FileDbRef).name() != filePath(FileDbRef)) OP_CLOSE(OpForceClose, {FileDbRef});
  FileScope scope({FileDbRef});
  ok = UpdREF(mode);
  scope.release();
  Mem.Dirnamn = saved;
  return ok;
}

int64_t personsIn(uint32_t dirNumber, uint32_t& onlyPerson) {
  int64_t n = 0;
  onlyPerson = 0;
  BufferGuard keep({&Person});
  inDirectory(dirNumber, {FilePerson}, [&](const std::vector<int>& open) {
    if (!has(open, FilePerson)) return;
    n = Person.records();
    if (n == 1) {
      Person.setFileOrder();
      if (Person.next()) onlyPerson = PER.PERSONID;
    }
  });
  return n;
}

bool personIn(uint32_t dirNumber, uint32_t personId) {
  bool found = false;
  BufferGuard keep({&Person});
  inDirectory(dirNumber, {FilePerson}, [&](const std::vector<int>& open) {
    if (!has(open, FilePerson)) return;
    PER = PersonRec();
    PER.PERSONID = personId;
    found = Person.get(PER_PersonKey);
  });
  return found;
}

DirectoryIds idsIn(uint32_t dirNumber, int kind, int32_t oldestDate) {
  DirectoryIds ids;
  std::vector<int> files = {FileMsgText, FilePerson, FileCodes};
  if (kind == KindMailDb) {
    files.push_back(FileMail);
  } else {
    files.insert(files.end(), {FileMsgNmbr, FileSections, FileThreads});
    if (kind == KindNewsDb) files.push_back(FileMsgIdIndex);
  }
  inDirectory(dirNumber, files, [&](const std::vector<int>& open) {
    auto raise = [&](uint32_t v) { ids.highest = std::max(ids.highest, v); };
    if (has(open, FileMsgText)) {
      raise(highestBy(MsgText, TXT_IdKey, TXT.MSGNUMBER));
      MsgText.setFileOrder();
      while (MsgText.next())
        if (TXT.DATE > oldestDate) {
          ids.firstTextDate = TXT.DATE;
          break;
        }
    }
    if (has(open, FilePerson)) raise(highestBy(Person, PER_PersonKey, PER.PERSONID));
    if (has(open, FileMail)) {
      raise(highestBy(Mail, MAI_IdKey, MAI.MAILID));
      ids.messages = Mail.records();
    }
    if (has(open, FileMsgNmbr)) {
      raise(highestBy(MsgNmbr, MSG_IdKey, MSG.MSGNUMBER));
      ids.messages = MsgNmbr.records();
    }
    if (has(open, FileSections)) raise(highestBy(Sections, SEC_SysIdKey, SEC.SECSYSID));
    if (has(open, FileThreads)) raise(highestBy(Threads, THR_ThreadKey, THR.THREADNUMBER));
    if (has(open, FileMsgIdIndex)) raise(highestBy(MsgIdIndex, MST_IDKEY, MST.MSGNUMBER));
    if (has(open, FileCodes)) {
      // Topics are few and have no key by ID.
      Codes.setFileOrder();
      while (Codes.next()) raise(COD.ID);
    }
  });
  return ids;
}

std::vector<FileProbe> probeFiles(uint32_t dirNumber, int kind) {
  std::vector<std::pair<int, const char*>> roles;
  switch (kind) {
    case KindMailDb:
      roles = {{FileMail, "mail header file"}, {FileMsgText, "mail text file"}, {FilePerson, "mail partner file"}};
      break;
    case KindForumDb:
      roles = {{FileMsgNmbr, "Forum msg header file"}, {FileMsgText, "Forum msg text file"},
               {FileSections, "Forum section file"},   {FileThreads, "Forum thread file"},
               {FilePerson, "Forum member file"}};
      break;
    case KindNewsDb:
      roles = {{FileMsgNmbr, "newsgroup header file"},   {FileMsgText, "newsgroup text file"},
               {FileSections, "newsgroup section file"}, {FileThreads, "newsgroup thread file"},
               {FilePerson, "newsgroup participant file"}};
      break;
    default: break;
  }
  std::vector<FileProbe> out;
  std::string saved = Mem.Dirnamn;
  Mem.Dirnamn = "F" + std::to_string(dirNumber);
  for (auto [n, role] : roles) {
    FileProbe p;
    p.role = role;
    p.path = filePath(n);
    if (!exists(p.path)) continue;
    // A file open for another procedure is not taken from it.
    p.ok = useCount(n) > 0 && declaredFile(n).name() == p.path ? true : OP_CLOSE(OpProbe, {n});
    out.push_back(p);
  }
  Mem.Dirnamn = saved;
  return out;
}

}  // namespace qv
