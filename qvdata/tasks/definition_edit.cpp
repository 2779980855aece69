#include "tasks/definition_edit.h"

#include <functional>

#include "dictionary/dictionary.h"
#include "dictionary/file_numbers.h"
#include "import/formats.h"
#include "import/import_definition.h"
#include "services/databases.h"
#include "services/db_kind.h"
#include "services/file_scope.h"
#include "services/file_service.h"
#include "services/prompt.h"
#include "services/record_helpers.h"
#include "storage/buffer_guard.h"
#include "storage/collation.h"
#include "storage/fixedstr.h"

namespace qv {

namespace {

const char* const kFileSpecCaption = " File specification error!";

bool hasMailbox(uint32_t id) {
  if (id == 0) return false;
  BufferGuard guard({&Forums});
  return findDatabase(id) && FOR.TYPE == KindMailDb;
}

bool anyName(const std::vector<std::string>& masks) {
  for (const std::string& m : masks)
    if (m.find_first_not_of(' ') != std::string::npos) return true;
  return false;
}

// Removes every record of `file` whose key prefix (set up by `fill`) matches,
// inside the caller's transaction.
bool removeAll(File& file, const Key& key, const std::function<void()>& fill, const std::function<bool()>& same) {
  fill();
  file.setPrefix(key, 1);
  std::vector<int64_t> found;
  while (file.next() && same()) found.push_back(file.position());
  for (int64_t pos : found)
    if (!file.getPosition(pos) || !UppDat(file, OpRemove, ReportRollback)) return false;
  return true;
}

bool finish(bool ok) {
  if (ok && !commitTransaction()) {
    TransactionCheck();
    ok = false;
  }
  if (!ok && transactionActive()) rollbackTransaction();
  return ok;
}

}  // namespace

bool CheckImportDefinition(const ImportSettings& s) {
  if (s.method == SelectFiles && !anyName(s.masks)) {
    Message("When using the file selection method \r\nyou must select which file(s) to import!", kFileSpecCaption,
            Icon::Exclamation);
    return false;
  }
  if (!anyName(s.masks)) {
    Message("You must specify which files to import!", kFileSpecCaption, Icon::Exclamation);
    return false;
  }
  if (s.importMail && !hasMailbox(s.mailbox)) {
    Message("Set up MailBox before import!", "No MailBox available!", Icon::Exclamation);
    return false;
  }
  return DefinitionFitsRecord(s);
}

uint32_t AddImportDefinition(const std::string& description, const ImportSettings& s) {
  if (!formatByName(s.format) || !CheckImportDefinition(s)) return 0;
  return SaveImportDefinition(s, description);
}

bool UpdateImportDefinition(const ImportDefinition& d) {
  if (!formatByName(d.settings.format) || !CheckImportDefinition(d.settings)) return false;
  FileScope scope({FileBatches, FileFileList});
  bool ok = BeginTransaction({&Batches, &FileList}, 5, ReportShow);
  if (ok) {
    BAT = BatchesRec();
    BAT.ID = d.id;
    ok = HoldRec(Batches, &BAT_IDKEY, true) && FillDefinitionRecord(d.settings, d.description) &&
         UppDat(Batches, OpChange, ReportRollback);
    Batches.release();
    ok = finish(ok && WriteDefinitionFiles(d.id, d.settings.masks));
  }
  return ok;
}

bool DeleteImportDefinition(uint32_t id) {
  FileScope scope({FileBatches, FileFileList, FileTaskBatch});
  bool ok = BeginTransaction({&Batches, &FileList, &TaskBatch}, 5, ReportShow);
  if (ok) {
    BAT = BatchesRec();
    BAT.ID = id;
    ok = HoldRec(Batches, &BAT_IDKEY, true) && UppDat(Batches, OpRemove, ReportRollback);
    ok = ok && removeAll(FileList, FLI_IDKEY, [&] { FLI = FileListRec(); FLI.ID = id; }, [&] { return FLI.ID == id; });
    ok = ok && removeAll(TaskBatch, TIM_BATCHKEY, [&] { TIM = TaskBatchRec(); TIM.BATCHID = id; },
                         [&] { return TIM.BATCHID == id; });
    ok = finish(ok);
  }
  return ok;
}

bool ReadImportDefinition(uint32_t id, ImportDefinition& d) {
  d = ImportDefinition();
  if (!LoadImportDefinition(id, d.settings)) return false;
  d.id = id;
  d.description = BAT.DESCRIPTION.str();
  return true;
}

std::vector<ImportDefinition> ListImportDefinitions() {
  std::vector<uint32_t> ids;
  FileScope scope({FileBatches});
  Batches.set(BAT_IDKEY);
  while (Batches.next()) ids.push_back(BAT.ID);
  scope.release();
  std::vector<ImportDefinition> out;
  for (uint32_t id : ids) {
    ImportDefinition d;
    if (ReadImportDefinition(id, d)) out.push_back(d);
  }
  return out;
}

uint32_t FindImportDefinition(const std::string& description) {
  std::string wanted = foldUpper(trimRight(description));
  uint32_t found = 0;
  FileScope scope({FileBatches});
  Batches.set(BAT_IDKEY);
  while (found == 0 && Batches.next())
    if (foldUpper(BAT.DESCRIPTION.view()) == wanted) found = BAT.ID;
  return found;
}

}  // namespace qv
