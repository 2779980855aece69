#include "import/import_definition.h"

#include "dictionary/dictionary.h"
#include "dictionary/file_numbers.h"
#include "import/formats.h"
#include "services/databases.h"
#include "services/file_scope.h"
#include "services/file_service.h"
#include "services/ids.h"
#include "services/prompt.h"
#include "services/record_helpers.h"

namespace qv {

bool DefinitionFitsRecord(const ImportSettings& s) {
  // A definition keeps paths of 100 bytes: a longer one would be cut and name another file.
  bool tooLong = s.path.size() > 100;
  for (const std::string& m : s.masks) tooLong = tooLong || m.size() > 100;
  if (tooLong)
    Message("The import path or a file name is longer than 100 characters\r\nand cannot be kept in an import procedure!",
            "Import definition error!", Icon::Exclamation);
  return !tooLong;
}

bool FillDefinitionRecord(const ImportSettings& s, const std::string& description) {
  const FormatInfo* f = formatByName(s.format);
  if (!f) return false;
  uint32_t forum = 0;
  if (!s.forumName.empty()) {
    BatchesRec saved = BAT;
    if (findDatabase(s.forumName)) forum = FOR.ID;
    BAT = saved;
  }
  BAT.TYPE = uint32_t(f->number);
  BAT.FILETYPE = uint8_t(f->number);
  BAT.DESCRIPTION = description;
  BAT.DATABASE = forum;
  BAT.IMPPATH = s.path;
  BAT.SELMETHOD = uint8_t(s.method);
  BAT.MAILBOX = s.mailbox;
  BAT.MAILMSG = s.importMail ? 1 : 0;
  BAT.FORUMMSG = s.importForum ? 1 : 0;
  BAT.NEWSGROUPMSG = s.importNews ? 1 : 0;
  BAT.MSGFILTER = uint8_t(s.filter);
  BAT.ALLOWREIMP = s.allowReimport ? 1 : 0;
  BAT.MAILTOPIC = s.mailTopic;
  return true;
}

bool WriteDefinitionFiles(uint32_t id, const std::vector<std::string>& masks) {
  FLI = FileListRec();
  FLI.ID = id;
  FileList.setPrefix(FLI_IDKEY, 1);
  std::vector<int64_t> old;
  while (FileList.next() && FLI.ID == id) old.push_back(FileList.position());
  for (int64_t pos : old)
    if (!FileList.getPosition(pos) || !UppDat(FileList, OpRemove, ReportRollback)) return false;
  for (const std::string& spec : masks) {
    FLI = FileListRec();
    FLI.ID = id;
    FLI.FILESPEC = spec;
    // The same name twice is kept once.
    if (FileList.get(FLI_IDKEY)) continue;
    FLI = FileListRec();
    FLI.ID = id;
    FLI.FILESPEC = spec;
    if (!UppDat(FileList, OpAdd, ReportRollback)) return false;
  }
  return true;
}

uint32_t SaveImportDefinition(const ImportSettings& s, const std::string& description) {
  if (!formatByName(s.format) || !DefinitionFitsRecord(s)) return 0;
  FileScope scope({FileControl, FileBatches, FileFileList});
  uint32_t id = 0;
  if (BeginTransaction({&Control, &Batches, &FileList}, 5, ReportShow)) {
    id = NextNr();
    bool ok = id != 0;
    if (ok) {
      BAT = BatchesRec();
      BAT.ID = id;
      ok = FillDefinitionRecord(s, description) && UppDat(Batches, OpAdd, ReportRollback);
    }
    ok = ok && WriteDefinitionFiles(id, s.masks);
    if (ok && !commitTransaction()) {
      TransactionCheck();
      ok = false;
    }
    if (!ok) {
      if (transactionActive()) rollbackTransaction();
      id = 0;
    }
  }
  return id;
}

bool LoadImportDefinition(uint32_t id, ImportSettings& s) {
  FileScope scope({FileBatches, FileFileList});
  BAT = BatchesRec();
  BAT.ID = id;
  bool ok = Batches.get(BAT_IDKEY);
  const FormatInfo* f = ok ? formatByNumber(BAT.FILETYPE) : nullptr;
  if (f) {
    s = ImportSettings();
    s.format = f->name;
    s.method = BAT.SELMETHOD;
    s.path = BAT.IMPPATH.str();
    s.importMail = BAT.MAILMSG != 0;
    s.importForum = BAT.FORUMMSG != 0;
    s.importNews = BAT.NEWSGROUPMSG != 0;
    s.mailbox = BAT.MAILBOX;
    s.filter = BAT.MSGFILTER == FilterCreateOnly ? FilterCreateOnly : FilterAll;
    s.allowReimport = BAT.ALLOWREIMP != 0;
    s.mailTopic = BAT.MAILTOPIC;
    uint32_t forum = BAT.DATABASE;
    FLI = FileListRec();
    FLI.ID = id;
    FileList.setPrefix(FLI_IDKEY, 1);
    while (FileList.next() && FLI.ID == id) s.masks.push_back(FLI.FILESPEC.str());
    scope.release();
    if (forum != 0 && findDatabase(forum)) s.forumName = FOR.DESCRIPTION.str();
    return true;
  }
  return false;
}

}  // namespace qv
