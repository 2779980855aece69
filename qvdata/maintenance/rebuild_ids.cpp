// The ID half of the rebuild: the highest ID every database, task and import
// definition holds, and the counter set above it.
#include <algorithm>
#include <filesystem>

#include "dictionary/dictionary.h"
#include "dictionary/file_numbers.h"
#include "maintenance/rebuild_impl.h"
#include "services/datetime.h"
#include "services/db_kind.h"
#include "services/file_scope.h"
#include "services/file_service.h"
#include "services/globals.h"
#include "services/prompt.h"
#include "services/record_helpers.h"
#include "services/settings.h"
#include "services/settings_items.h"
#include "storage/buffer_guard.h"

namespace qv {

namespace {

uint32_t highestBy(File& f, const Key& k, const uint32_t& field) {
  uint32_t high = 0;
  f.set(k);
  if (f.next()) high = field;
  f.set(k);
  if (f.previous()) high = std::max(high, field);
  return high;
}

// The highest ID of a file of the configuration area that may not be there.
uint32_t highestOfConfigFile(int number, File& f, const Key& k, const uint32_t& field) {
  std::error_code ec;
  if (!std::filesystem::is_regular_file(filePath(number), ec)) return 0;
  FileScope scope({number});
  uint32_t high = highestBy(f, k, field);
  return high;
}

}  // namespace

void RebuildRun::Impl::checkIds(uint32_t id) {
  FOR = ForumsRec();
  FOR.ID = id;
  if (!Forums.get(FOR_ForumKey)) return;
  std::error_code ec;
  if (!std::filesystem::is_directory(databaseDirectory(FOR.DIRNUMBER), ec)) return;
  DirectoryIds ids = idsIn(FOR.DIRNUMBER, FOR.TYPE, kOldestTextDate);
  highest = std::max(highest, ids.highest);
  int32_t created = FOR.CREATED == 0 ? today() : FOR.CREATED;
  if (ids.firstTextDate != 0 && ids.firstTextDate < created) created = ids.firstTextDate;
  if (created == FOR.CREATED) return;
  FOR = ForumsRec();
  FOR.ID = id;
  if (HoldRec(Forums, &FOR_ForumKey, true)) {
    FOR.CREATED = created;
    UppDat(Forums, OpChange, ReportShow);
    Forums.release();
  }
}

uint32_t RebuildRun::Impl::highestOfConfiguration() {
  BufferGuard keep({&Forums});
  uint32_t high = highestBy(Forums, FOR_ForumKey, FOR.ID);
  high = std::max(high, highestOfConfigFile(FileTasks, Tasks, TAS_IDKEY, TAS.ID));
  high = std::max(high, highestOfConfigFile(FileBatches, Batches, BAT_IDKEY, BAT.ID));
  // The message save file names databases by ID, also databases the list
  // lost: a new entry must not take such an ID, or its imports would skip
  // messages as imported before.
  high = std::max(high, highestOfConfigFile(FileImpRegistry, ImpRegistry, IMP_IDKEY, IMP.FORUMNUMBER));
  return high;
}

bool RebuildRun::Impl::raiseCounter(const std::vector<uint32_t>& dirs) {
  for (uint32_t dir : dirs) {
    DirFiles files = filesIn(dir);
    int kind = kindOfFiles(files);
    if (kind == DirPersonsOnly) kind = KindMailDb;
    if (kind == DirUnrecognisable) {
      // Whatever of it can be read: its own description may name a kind.
      if (!readDbRef(dir) || REF.TYPE < KindForumDb || REF.TYPE > KindNewsDb) continue;
      kind = REF.TYPE;
    }
    highest = std::max(highest, idsIn(dir, kind, kOldestTextDate).highest);
  }
  return storeCounter();
}

// The counter goes above the highest ID found. It is never lowered: an ID
// handed out before may still be named where the check does not look (the
// message save file, a search result), and must not be handed out again.
bool RebuildRun::Impl::storeCounter() {
  highest = std::max(highest, highestOfConfiguration());
  CTL = ControlRec();
  CTL.ID = BlockGeneral;
  if (!HoldRec(Control, &CTL_IdKey, true)) return fail("the control record cannot be had");
  uint32_t wanted = highest + 1;
  bool ok = true;
  if (CTL.NEXTNUMBER < wanted) {
    CTL.NEXTNUMBER = wanted;
    ok = UppDat(Control, OpChange, ReportShow);
  }
  next = CTL.NEXTNUMBER;
  Control.release();
  if (!ok) return fail("the ID counter cannot be written");
  KonfigSet(ItemLastIdCheck, today());
  Konfig(KSave);
  return true;
}

}  // namespace qv
