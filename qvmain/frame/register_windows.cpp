#include "browse/browse_window.h"
#include "browse/thread_tree_window.h"
#include "database/database_windows.h"
#include "frame/procedures.h"
#include "import/import_windows.h"
#include "maintenance/duplicates_window.h"
#include "maintenance/merge_windows.h"
#include "maintenance/purge_window.h"
#include "maintenance/rebuild_windows.h"
#include "persons/person_windows.h"
#include "persons/address_export_window.h"
#include "search/search_windows.h"
#include "setup/setup_windows.h"
#include "tasks/task_windows.h"
#include "topics/topic_windows.h"
#include "wordindex/wordindex_windows.h"

namespace qvm {

void registerAllWindows() {
  registerBrowseWindows();
  registerDatabaseWindows();
  registerImportWindows();
  registerMaintenanceWindows();
  registerMergeWindows();
  registerRebuildWindows();
  registerPersonWindows();
  registerDuplicatesWindows();
  registerAddressExportWindow();
  registerThreadTreeWindow();
  registerSearchWindows();
  registerSetupWindows();
  registerTaskWindows();
  registerTopicWindows();
  registerWordIndexWindows();
}

}  // namespace qvm
