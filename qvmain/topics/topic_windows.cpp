#include "topics/topic_windows.h"

#include "frame/procedures.h"
#include "topics/browse_topics.h"
#include "topics/classify_window.h"
#include "topics/group_proc.h"

namespace qvm {

void registerTopicWindows() {
  registerProcedure(kBrowseTopicsThread, openBrowseTopics);
  registerProcedure(kClassifyThread, openClassify);
  registerProcedure(kExportProcThread, [] { openGroupProc(GroupExport); });
  registerProcedure(kPrintProcThread, [] { openGroupProc(GroupPrint); });
  registerProcedure(kClassifyProcThread, [] { openGroupProc(GroupClassify); });
}

}  // namespace qvm
